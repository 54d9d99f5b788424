#include "Host.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
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
#include "UnitAccess.h"
#include "standin/UnitFiles.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/StoreControl.h"

namespace sysdatactl {

bool readBoots(const std::string& root, int* boots, std::string* error) {
  const std::string path = root + "/" + kUnitStateName;
  std::string text;
  const ReadResult read = readUnitFile(UnitPath(std::string("/") + kUnitStateName), kMaxUnitStateBytes, &text);
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
    *error = pathExists(rootArg) ? "no unit at '" + rootArg + "': not a directory"
                                 : "no unit at '" + rootArg + "': the directory does not exist";
    return false;
  }
  const std::string root = absolutePath(rootArg);
  if (root.empty()) {
    *error = "cannot open the unit at " + rootArg + ": " + errnoText(errno);
    return false;
  }
  const std::string confPath = root + "/" + kUnitConfigName;
  // From here on the unit's files are reached beneath its root only.
  TqSimSetRoot(root.c_str());
  std::string text;
  const ReadResult read = readUnitFile(UnitPath(std::string("/") + kUnitConfigName), kMaxUnitConfBytes, &text);
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
  std::string reason;
  if (replaceUnitFile(UnitPath(std::string("/") + kUnitStateName), "boots=" + std::to_string(boots) + "\n", 0644,
                      &reason)) {
    return true;
  }
  *error = "cannot write " + unit.root + "/" + kUnitStateName + ": " + reason;
  return false;
}

bool writeUnitConfig(const std::string& root, const std::string& text, std::string* error) {
  std::string reason;
  UnitConfig back;
  if (!parseUnitConfig(text, &back, &reason)) {
    *error = "refusing to write " + root + "/" + kUnitConfigName + " that would not be read back: " + reason;
    return false;
  }
  if (replaceUnitFile(UnitPath(std::string("/") + kUnitConfigName), text, 0644, &reason)) return true;
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
  // A constructor that throws gets no destructor: a power-on that runs out
  // of memory half way powers off here, or its segments would stay.
  try {
    powerOn();
  } catch (...) {
    powerOff();
    throw;
  }
}

namespace {

// A throw-away unit is "<tmp>/sysdatactl-<pid>-XXXXXX" holding this marker.
constexpr const char* kEphemeralPrefix = "sysdatactl-";
constexpr const char* kEphemeralMarker = ".sysdatactl-throw-away-unit";

// A run killed before its power-off leaves its throw-away unit and the
// unit's segments: remove those of runs that are gone. Only directories (no link is followed) of
// this user that carry the marker are touched.
void removeDeadRunsUnits(const std::string& parent) {
  std::vector<std::string> names;
  if (!listDirectory(parent, &names)) return;
  std::vector<std::string> dead;
  const std::string prefix = kEphemeralPrefix;
  for (const std::string& name : names) {
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
    if (isMarkedDirectory(path, kEphemeralMarker)) dead.push_back(path);
  }
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
  Unit unit;
  unit.config = config;
  unit.root = makeThrowAwayDirectory(parent, kEphemeralPrefix + std::to_string(::getpid()) + "-", kEphemeralMarker);
  const int makeError = errno;
  if (!unit.root.empty()) {
    TqSimSetRoot(unit.root.c_str());
    std::string ignored;
    makeUnitDirectories(UnitPath(config.saveDir), &ignored);
    makeUnitDirectories(UnitPath(config.calibrationDir), &ignored);
    makeUnitDirectories(UnitPath("/Syslog"), &ignored);
  }
  errno = makeError;
  std::unique_ptr<HostSession> session(new HostSession(unit, true));
  if (unit.root.empty()) session->error_ = "cannot make a temporary directory under " + parent + ": " + errnoText(errno);
  return session;
}

namespace {

// What the power-off itself opens: the segments' directory, a lock.
constexpr int kPowerOffDescriptors = 4;
// What the most demanding command (verify, every settings file with its
// lock and directory) holds at once, with room to spare.
constexpr rlim_t kDescriptorsNeeded = 128;

}  // namespace

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
  // A command that runs out of descriptors half-way cannot always tell (the
  // library's reads fall back on defaults): make sure of enough at once,
  // raising the soft limit where the hard limit allows, or refuse now.
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < kDescriptorsNeeded) {
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kDescriptorsNeeded
                              ? static_cast<rlim_t>(kDescriptorsNeeded)
                              : limit.rlim_max;
    const rlim_t had = limit.rlim_cur;
    limit.rlim_cur = wanted;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0 || wanted < kDescriptorsNeeded) {
      error_ = "cannot power the unit on: " + errnoText(EMFILE) + " (the limit of " + std::to_string(had) +
               " open files is below the " + std::to_string(kDescriptorsNeeded) + " a command may need)";
      return;
    }
  }
  // The power-off needs descriptors of its own: taken now, before anything
  // of the unit exists, and given back to it at the end.
  for (int i = 0; i < kPowerOffDescriptors; ++i) {
    int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (fd < 0 && errno == EBADF && lockFd_ >= 0) fd = ::fcntl(lockFd_, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) {
      error_ = "cannot power the unit on: " + errnoText(errno);
      return;
    }
    reserve_.push_back(fd);
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
  // Whatever a killed command left beneath the unit (a half-written copy,
  // a temporary file of the store) goes at the next power-on.
  if (!ephemeral_) standin::unit::SweepTemporaries();

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
    if (descriptorsExhausted()) {
      error_ += ": " + errnoText(EMFILE);
    } else if (!lock.empty()) {
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

HostSession::~HostSession() { powerOff(); }

void HostSession::powerOff() {
  for (int fd : reserve_) ::close(fd);
  reserve_.clear();
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
  unit_.root.clear();
  if (lockFd_ >= 0) ::close(lockFd_);
  lockFd_ = -1;
  interrupts_.finish();
}

UnitPath HostSession::calibrationFile() const {
  return UnitPath(unit_.config.calibrationDir + "/AirGestureCalibration.ini");
}

bool enterDirectory(const std::string& dir, std::string* relative, std::string* error) {
  if (!isDirectory(dir)) {
    *error = "'" + dir + "' is not a directory";
    return false;
  }
  if (!changeDirectory(dir, error)) return false;
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
  // A file of the unit is handed to the library by its host path, which the
  // library resolves beneath the unit's root as it does its own files.
  const std::string host = unitHostPathOf(file);
  if (!host.empty()) {
    *relative = host;
    return true;
  }
  std::string ignored;
  if (!enterDirectory(dir, &ignored, error)) return false;
  *relative = base;
  return true;
}

}  // namespace sysdatactl
