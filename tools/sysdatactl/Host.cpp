#include "Host.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <system_error>
#include <vector>

#include "Cli.h"
#include "SafeFile.h"
#include "platform/SystemDef.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/FileSystem.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/StoreControl.h"

namespace sysdatactl {

// Through the stand-in's file layer: a path in the unit is resolved as the
// library resolves it, so a link in the unit is followed as if the unit's
// root were "/" and never leads to a file outside it; other paths are used
// as they are.
bool isDirectory(const std::string& path) {
  struct stat st;
  return standin::GetFileSystem()->Stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return standin::GetFileSystem()->Stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

bool pathExists(const std::string& path) {
  struct stat st;
  if (standin::GetFileSystem()->Stat(path, &st) == 0) return true;
  // Something is there that cannot be looked into (a dangling link is not).
  return errno != ENOENT && errno != ENOTDIR;
}

long long fileSize(const std::string& path) {
  struct stat st;
  if (standin::GetFileSystem()->Stat(path, &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

bool readWholeFile(const std::string& path, std::string* content) {
  return readRegularFile(path, kMaxSettingsFileBytes, content).status == ReadStatus::kOk;
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

class DirFd {
 public:
  explicit DirFd(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~DirFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  DirFd(const DirFd&) = delete;
  DirFd& operator=(const DirFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool readBoots(const std::string& root, int* boots, std::string* error) {
  const std::string path = root + "/" + kUnitStateName;
  DirFd dir(root);
  if (dir.get() < 0) {
    *error = "cannot open the unit at " + root + ": " + errnoText(errno);
    return false;
  }
  std::string text;
  const ReadResult read = readRegularFile(dir.get(), kUnitStateName, kMaxUnitStateBytes, &text);
  if (read.status == ReadStatus::kMissing) {
    *boots = 0;
    return true;
  }
  if (read.status != ReadStatus::kOk) {
    *error = "cannot read " + path + ": " + read.reason();
    return false;
  }
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 6, "boots=") == 0) {
      std::int64_t n = 0;
      if (parseInRange(line.substr(6), 0, INT32_MAX, &n)) {
        *boots = static_cast<int>(n);
        return true;
      }
    }
  }
  *error = path + ": damaged (no line boots=N); remove it to count boots from 0 again";
  return false;
}

bool loadUnit(const std::string& rootArg, Unit* unit, std::string* error) {
  if (!isDirectory(rootArg)) {
    *error = "no unit at '" + rootArg + "': the directory does not exist";
    return false;
  }
  const std::string root = absolutePath(rootArg);
  const std::string confPath = root + "/" + kUnitConfigName;
  DirFd dir(root);
  if (dir.get() < 0) {
    *error = "cannot open the unit at " + root + ": " + errnoText(errno);
    return false;
  }
  std::string text;
  const ReadResult read = readRegularFile(dir.get(), kUnitConfigName, kMaxUnitConfBytes, &text);
  if (read.status == ReadStatus::kMissing) {
    *error = "'" + rootArg + "' is not a unit (no " + kUnitConfigName + "); make one with 'sysdatactl create'";
    return false;
  }
  if (read.status != ReadStatus::kOk) {
    // Never the content: a link could make it another file's.
    *error = "cannot read " + confPath + ": " + read.reason();
    return false;
  }
  std::string parseError;
  if (!parseUnitConfig(text, &unit->config, &parseError)) {
    *error = confPath + ": " + parseError;
    return false;
  }
  unit->root = root;
  return readBoots(root, &unit->boots, error);
}

bool writeBoots(const Unit& unit, int boots, std::string* error) {
  DirFd dir(unit.root);
  std::string reason;
  if (dir.get() < 0) {
    reason = errnoText(errno);
  } else if (replaceFile(dir.get(), kUnitStateName, "boots=" + std::to_string(boots) + "\n", 0644, &reason)) {
    return true;
  }
  *error = "cannot write " + unit.root + "/" + kUnitStateName + ": " + reason;
  return false;
}

bool writeUnitConfig(const std::string& root, const std::string& text, std::string* error) {
  DirFd dir(root);
  std::string reason;
  if (dir.get() < 0) {
    reason = errnoText(errno);
  } else if (replaceFile(dir.get(), kUnitConfigName, text, 0644, &reason)) {
    return true;
  }
  *error = "cannot write " + root + "/" + kUnitConfigName + ": " + reason;
  return false;
}

int lockUnitDirectory(const std::string& root, std::string* error) {
  std::string why;
  const int fd = standin::testing::LockUnit(root, &why);
  if (fd < 0) *error = "cannot lock the unit at " + root + ": " + why;
  return fd;
}

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
// Wakes the watcher when the command is done.
constexpr int kWake = SIGUSR2;
constexpr std::chrono::milliseconds kInterruptGrace{500};

sigset_t watchedSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kInterrupts) sigaddset(&set, sig);
  sigaddset(&set, kWake);
  return set;
}

[[noreturn]] void endBySignal(int sig) {
  ::signal(sig, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

}  // namespace

bool InterruptWatch::start(std::function<void()> emergencyPowerOff) {
  emergency_ = std::move(emergencyPowerOff);
  const sigset_t set = watchedSignals();
  // The watcher inherits the mask: in no thread does a signal act at once.
  if (::pthread_sigmask(SIG_BLOCK, &set, &saved_) != 0) return false;
  // At the process limit (or short of memory) no thread can be had: the
  // caller says it cannot watch for interrupts, nothing is left blocked.
  try {
    thread_ = std::thread([this]() { watch(); });
  } catch (const std::system_error& e) {
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    errno = e.code().value() != 0 ? e.code().value() : EAGAIN;
    return false;
  } catch (const std::bad_alloc&) {
    ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    errno = ENOMEM;
    return false;
  }
  started_ = true;
  return true;
}

void InterruptWatch::watch() {
  const sigset_t set = watchedSignals();
  for (;;) {
    siginfo_t info;
    const int sig = ::sigwaitinfo(&set, &info);
    if (sig < 0) continue;  // EINTR
    std::unique_lock<std::mutex> lock(mutex_);
    if (done_) return;
    if (sig == kWake) continue;  // not ours: the command is still running
    pending_ = sig;
    if (poweredOff_.wait_for(lock, kInterruptGrace, [this]() { return done_; })) return;
    // Stuck: the segments must not outlive the process.
    emergency_();
    endBySignal(sig);
  }
}

void InterruptWatch::finish() {
  if (!started_) return;
  started_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  poweredOff_.notify_all();
  ::pthread_kill(thread_.native_handle(), kWake);
  thread_.join();
  int pending = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending = pending_;
  }
  if (pending != 0) endBySignal(pending);
  ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

HostSession::HostSession(const Unit& unit) : HostSession(unit, false) {}

HostSession::HostSession(const Unit& unit, bool ephemeralRoot) : unit_(unit), ephemeral_(ephemeralRoot) {
  powerOn();
}

namespace {

// A throw-away unit is "<tmp>/sysdatactl-<pid>-XXXXXX" holding this marker.
constexpr const char* kEphemeralPrefix = "sysdatactl-";
constexpr const char* kEphemeralMarker = ".sysdatactl-throw-away-unit";

// A run killed before its power-off leaves its throw-away unit and the
// unit's segments: remove those of runs that are gone. Only directories (no link is followed) of
// this user that carry the marker are touched.
void removeDeadRunsUnits(const std::string& parent) {
  DIR* dir = ::opendir(parent.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> dead;
  const std::string prefix = kEphemeralPrefix;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 10) continue;
    long long pid = 0;
    bool digits = true;
    for (std::size_t i = prefix.size(); i < dash; ++i) {
      digits = digits && name[i] >= '0' && name[i] <= '9';
      if (digits) pid = pid * 10 + (name[i] - '0');
    }
    if (!digits || pid <= 0 || pid > 0x7fffffffLL || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string path = parent + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    struct stat marker;
    if (::lstat((path + "/" + kEphemeralMarker).c_str(), &marker) != 0 || !S_ISREG(marker.st_mode)) continue;
    dead.push_back(path);
  }
  ::closedir(dir);
  for (const std::string& path : dead) {
    // Its segments first: their names come from the unit's root.
    TqSimSetRoot(path.c_str());
    standin::testing::RemoveSimSegments();
    TqSimSetRoot("");
    removeTree(path);
  }
}

}  // namespace

std::unique_ptr<HostSession> HostSession::ephemeral(const UnitConfig& config) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string parent = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  removeDeadRunsUnits(parent);
  std::string pattern = parent + "/" + kEphemeralPrefix + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  Unit unit;
  unit.config = config;
  if (::mkdtemp(buf.data()) != nullptr) {
    unit.root = absolutePath(buf.data());
    const int marker = ::open((unit.root + "/" + kEphemeralMarker).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (marker >= 0) ::close(marker);
    makeDirectories(unit.root + config.saveDir);
    makeDirectories(unit.root + config.calibrationDir);
    makeDirectories(unit.root + "/Syslog");
  }
  std::unique_ptr<HostSession> session(new HostSession(unit, true));
  if (unit.root.empty()) session->error_ = "cannot make a temporary directory under " + parent + ": " + errnoText(errno);
  return session;
}

void HostSession::powerOn() {
  if (unit_.root.empty()) return;
  if (!ephemeral_) {
    // One power-on at a time per unit: the segments are the unit's, and the
    // power-off removes them.
    lockFd_ = lockUnitDirectory(unit_.root, &error_);
    if (lockFd_ < 0) return;
    // What another invocation did while this one waited for the lock counts.
    if (!readBoots(unit_.root, &unit_.boots, &error_)) return;
  }
  // Every command is short; a SIGINT, SIGTERM, SIGHUP or SIGQUIT that comes
  // in while the unit is on takes effect once it is off again.
  const std::string root = unit_.root;
  const bool ephemeral = ephemeral_;
  if (!interrupts_.start([root, ephemeral]() {
        // The command is stuck, maybe holding what a normal power-off
        // would wait for: remove the segments without waiting.
        standin::testing::RemoveSimSegmentsNow();
        if (ephemeral) removeTree(root);
      })) {
    error_ = "cannot watch for interrupts: " + errnoText(errno);
    return;
  }
  // A temporary unit's segments must not outlive a killed run.
  standin::testing::SetSimUnitTemporary(ephemeral_);
  TqSimSetRoot(unit_.root.c_str());
  // Segments left by an invocation that was killed belong to an earlier
  // power cycle: a power-on starts from empty records.
  standin::testing::RemoveSimSegments();
  // The unit's own namespace of segments, or a reason why it can have none
  // (another live unit holds it, or the platform is linked so that the
  // library's segments would bypass it).
  std::string why;
  if (!standin::testing::ClaimSimSegments(&why)) {
    error_ = "cannot power on the unit: " + why;
    return;
  }

  const UnitConfig& c = unit_.config;
  // The host's records, as the host fills them at power-on.
  namespace records = standin::host_records;
  // The reason of the first write that failed: a segment that could not be
  // had (no room in /dev/shm, say) leaves it in errno.
  int failure = 0;
  bool written = true;
  const auto fill = [&failure, &written](bool ok) {
    if (!ok && written) failure = errno;
    written = written && ok;
  };
  errno = 0;
  fill(records::setPair(static_cast<SystemDef::SYS_INFO_MODEL>(c.model),
                        static_cast<SystemDef::SYS_INFO_DESTINATION>(c.destination)));
  fill(records::setSaveFileDir(c.saveDir.c_str()));
  fill(records::setCalibrationDir(c.calibrationDir.c_str()));
  fill(records::setLangSetCode(c.langSetCode));
  fill(records::setCustomizeFileName(c.customizeFileName.c_str()));
  fill(records::setDemoUserInit(c.demoUserInit));
  fill(records::setCameraHd(c.cameraHd));
  if (!written) {
    const std::string lock = standin::testing::LastLockFailure();
    error_ = "cannot fill the unit's shared-memory records";
    if (!lock.empty()) {
      error_ += ": " + lock;
    } else if (failure != 0) {
      error_ += ": " + errnoText(failure);
    } else {
      error_ += " (see TQ_DEBUG_LOG=1 for the cause)";
    }
    return;
  }
  // The host fills the factory default table at every start.
  util_.initSysDataDefault(static_cast<SystemDef::SYS_INFO_MODEL>(c.model),
                           static_cast<SystemDef::SYS_INFO_DESTINATION>(c.destination));
}

HostSession::~HostSession() {
  if (!unit_.root.empty()) {
    // Also the power-off of a command that ran out of memory: the segments
    // go whatever fails before.
    try {
      TqSingletonFinalizer::runDestroyFuncs();
    } catch (...) {
    }
    standin::testing::RemoveSimSegments();
    try {
      TqSimSetRoot("");
      if (ephemeral_) removeTree(unit_.root);
    } catch (...) {
    }
  }
  if (lockFd_ >= 0) ::close(lockFd_);
  interrupts_.finish();
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
