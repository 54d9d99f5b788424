#include "Host.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "Cli.h"
#include "platform/SystemDef.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/StoreControl.h"

namespace sysdatactl {

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool pathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

long long fileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

bool readWholeFile(const std::string& path, std::string* content) {
  if (!isRegularFile(path)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  *content = buffer.str();
  return true;
}

bool writeWholeFile(const std::string& path, const std::string& content) {
  // Whole or not at all: beside the target, then renamed over it.
  const std::string temp = path + ".tmp." + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << content;
    out.flush();
    if (!out) {
      ::unlink(temp.c_str());
      return false;
    }
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  std::stringstream parts(path);
  std::string part;
  if (path[0] == '/') partial = "";
  bool first = true;
  while (std::getline(parts, part, '/')) {
    if (part.empty()) {
      first = false;
      continue;
    }
    partial += (first && path[0] != '/') ? part : "/" + part;
    first = false;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return isDirectory(path);
}

void removeTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        removeTree(path + "/" + entry->d_name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

std::string absolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;
  return std::string();
}

namespace {

int readBoots(const std::string& root) {
  std::string text;
  if (!readWholeFile(root + "/" + kUnitStateName, &text)) return 0;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 6, "boots=") == 0) {
      std::int64_t n = 0;
      if (parseInRange(line.substr(6), 0, INT32_MAX, &n)) return static_cast<int>(n);
    }
  }
  return 0;
}

}  // namespace

bool loadUnit(const std::string& rootArg, Unit* unit, std::string* error) {
  if (!isDirectory(rootArg)) {
    *error = "no unit at '" + rootArg + "': the directory does not exist";
    return false;
  }
  const std::string root = absolutePath(rootArg);
  const std::string confPath = root + "/" + kUnitConfigName;
  std::string text;
  if (!readWholeFile(confPath, &text)) {
    *error = "'" + rootArg + "' is not a unit (no readable " + kUnitConfigName +
             "); make one with 'sysdatactl create'";
    return false;
  }
  std::string parseError;
  if (!parseUnitConfig(text, &unit->config, &parseError)) {
    *error = confPath + ": " + parseError;
    return false;
  }
  unit->root = root;
  unit->boots = readBoots(root);
  return true;
}

bool writeBoots(const Unit& unit, int boots, std::string* error) {
  if (!writeWholeFile(unit.root + "/" + kUnitStateName, "boots=" + std::to_string(boots) + "\n")) {
    *error = "cannot write " + unit.root + "/" + kUnitStateName + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

HostSession::HostSession(const Unit& unit) : HostSession(unit, false) {}

HostSession::HostSession(const Unit& unit, bool ephemeralRoot) : unit_(unit), ephemeral_(ephemeralRoot) {
  powerOn();
}

std::unique_ptr<HostSession> HostSession::ephemeral(const UnitConfig& config) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/sysdatactl-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  Unit unit;
  unit.config = config;
  if (::mkdtemp(buf.data()) != nullptr) {
    unit.root = absolutePath(buf.data());
    makeDirectories(unit.root + config.saveDir);
    makeDirectories(unit.root + config.calibrationDir);
    makeDirectories(unit.root + "/Syslog");
  }
  std::unique_ptr<HostSession> session(new HostSession(unit, true));
  if (unit.root.empty()) session->error_ = "cannot make a temporary directory under " + pattern;
  return session;
}

void HostSession::powerOn() {
  if (unit_.root.empty()) return;
  if (!ephemeral_) {
    // One power-on at a time per unit: the segments are the unit's, and the
    // power-off removes them.
    lockFd_ = ::open((unit_.root + "/" + kUnitConfigName).c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd_ < 0 || ::flock(lockFd_, LOCK_EX) != 0) {
      error_ = "cannot lock the unit at " + unit_.root + ": " + std::strerror(errno);
      return;
    }
  }
  // Every command is short; a SIGINT, SIGTERM, SIGHUP or SIGQUIT that comes
  // in while the unit is on takes effect once it is off again.
  sigset_t deferred;
  sigemptyset(&deferred);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&deferred, sig);
  signalsDeferred_ = ::sigprocmask(SIG_BLOCK, &deferred, &savedSignals_) == 0;
  // A temporary unit's segments must not outlive a killed run.
  standin::testing::SetSimUnitTemporary(ephemeral_);
  TqSimSetRoot(unit_.root.c_str());
  // Segments left by an invocation that was killed belong to an earlier
  // power cycle: a power-on starts from empty records.
  standin::testing::RemoveSimSegments();

  const UnitConfig& c = unit_.config;
  // The host's records, as the host fills them at power-on.
  namespace records = standin::host_records;
  bool written = records::setPair(static_cast<SystemDef::SYS_INFO_MODEL>(c.model),
                                  static_cast<SystemDef::SYS_INFO_DESTINATION>(c.destination));
  written = records::setSaveFileDir(c.saveDir.c_str()) && written;
  written = records::setCalibrationDir(c.calibrationDir.c_str()) && written;
  written = records::setLangSetCode(c.langSetCode) && written;
  written = records::setCustomizeFileName(c.customizeFileName.c_str()) && written;
  written = records::setDemoUserInit(c.demoUserInit) && written;
  written = records::setCameraHd(c.cameraHd) && written;
  if (!written) {
    error_ = "cannot fill the unit's shared-memory records (see TQ_DEBUG_LOG=1 for the cause)";
    return;
  }
  // The host fills the factory default table at every start.
  util_.initSysDataDefault(static_cast<SystemDef::SYS_INFO_MODEL>(c.model),
                           static_cast<SystemDef::SYS_INFO_DESTINATION>(c.destination));
}

HostSession::~HostSession() {
  if (!unit_.root.empty()) {
    TqSingletonFinalizer::runDestroyFuncs();
    standin::testing::RemoveSimSegments();
    TqSimSetRoot("");
    if (ephemeral_) removeTree(unit_.root);
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  if (signalsDeferred_) ::sigprocmask(SIG_SETMASK, &savedSignals_, nullptr);
}

std::string HostSession::calibrationFile() const {
  return disk(unit_.config.calibrationDir + "/AirGestureCalibration.ini");
}

bool enterDirectory(const std::string& dir, std::string* relative, std::string* error) {
  if (!isDirectory(dir)) {
    *error = "'" + dir + "' is not a directory";
    return false;
  }
  if (::chdir(dir.c_str()) != 0) {
    *error = "cannot enter '" + dir + "': " + std::strerror(errno);
    return false;
  }
  *relative = ".";
  return true;
}

bool enterDirectoryOf(const std::string& file, std::string* relative, std::string* error) {
  const std::size_t slash = file.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
  const std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
  if (base.empty()) {
    *error = "'" + file + "' names a directory, not a file";
    return false;
  }
  std::string ignored;
  if (!enterDirectory(dir, &ignored, error)) return false;
  *relative = base;
  return true;
}

}  // namespace sysdatactl
