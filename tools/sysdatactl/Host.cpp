#include "Host.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <csignal>
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

// The lock's descriptor belongs to the unit's file system (one in memory
// under test), not necessarily to the kernel: it is closed there.
void unlockUnitDirectory(int fd) { standin::testing::UnlockUnit(fd); }

namespace {

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr suseconds_t kInterruptGraceUs = 500000;

// What the handlers share with the command: written before they are
// installed, read by them only.
volatile std::sig_atomic_t g_pendingSignal = 0;
char g_throwAwayRoot[PATH_MAX] = {};
struct sigaction g_savedActions[sizeof(kInterrupts) / sizeof(kInterrupts[0]) + 1];
// One set of handlers per process, owned by the watch that installed it.
bool g_installed = false;

[[noreturn]] void endBySignal(int sig) {
  ::signal(sig, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);
}

// The first interrupt is noted, and the grace period starts.
void onInterrupt(int sig) {
  if (g_pendingSignal != 0) return;
  g_pendingSignal = sig;
  const int saved = errno;
  struct itimerval grace = {};
  grace.it_value.tv_usec = kInterruptGraceUs;
  ::setitimer(ITIMER_REAL, &grace, nullptr);
  errno = saved;
}

// The grace period is over and the command has not powered off: it is
// stuck, maybe holding what a normal power-off would wait for. Only what is
// safe in a signal handler: no memory, no locks.
void onStuck(int) {
  standin::testing::RemoveSimSegmentsNow();
  if (g_throwAwayRoot[0] != '\0') removeTreeNow(g_throwAwayRoot);
  endBySignal(g_pendingSignal != 0 ? static_cast<int>(g_pendingSignal) : SIGTERM);
}

void install(int sig, void (*handler)(int), struct sigaction* saved) {
  struct sigaction action = {};
  action.sa_handler = handler;
  // Interrupted system calls go on: the command finishes, then the signal
  // takes effect.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int other : kInterrupts) sigaddset(&action.sa_mask, other);
  ::sigaction(sig, &action, saved);
}

}  // namespace

bool InterruptWatch::start(const std::string& throwAwayRoot) {
  if (started_ || g_installed) return true;
  if (throwAwayRoot.size() >= sizeof(g_throwAwayRoot)) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(g_throwAwayRoot, throwAwayRoot.c_str(), throwAwayRoot.size() + 1);
  g_pendingSignal = 0;
  install(SIGALRM, &onStuck, &g_savedActions[0]);
  for (std::size_t i = 0; i < sizeof(kInterrupts) / sizeof(kInterrupts[0]); ++i) {
    install(kInterrupts[i], &onInterrupt, &g_savedActions[i + 1]);
  }
  g_installed = true;
  started_ = true;
  return true;
}

void InterruptWatch::finish() {
  if (!started_) return;
  started_ = false;
  for (std::size_t i = 0; i < sizeof(kInterrupts) / sizeof(kInterrupts[0]); ++i) {
    ::sigaction(kInterrupts[i], &g_savedActions[i + 1], nullptr);
  }
  // The timer stops before its handler goes: a late expiry finds the
  // segments gone already.
  const struct itimerval off = {};
  ::setitimer(ITIMER_REAL, &off, nullptr);
  ::sigaction(SIGALRM, &g_savedActions[0], nullptr);
  g_throwAwayRoot[0] = '\0';
  g_installed = false;
  const int pending = g_pendingSignal;
  g_pendingSignal = 0;
  if (pending != 0) endBySignal(pending);
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
  if (!interrupts_.start(ephemeral_ ? unit_.root : std::string())) {
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
  unlockUnitDirectory(lockFd_);
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
