#include "standin/FileUtil.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "standin/ProcessId.h"
#include "standin/RootedPath.h"

namespace standin {
namespace detail {

std::string DirName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool CheckRegular(int fd, struct stat* st) {
  if (GetFileSystem()->Fstat(fd, st) != 0) return false;
  if (S_ISREG(st->st_mode)) return true;
  errno = S_ISDIR(st->st_mode) ? EISDIR : EINVAL;
  return false;
}

int OpenRegular(const std::string& path, int flags, unsigned int mode, struct stat* stOut) {
  FileSystem* fs = GetFileSystem();
  const int fd = fs->Open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat st;
  if (!CheckRegular(fd, &st)) {
    const int saved = errno;
    fs->Close(fd);
    errno = saved;
    return -1;
  }
  if ((flags & O_NONBLOCK) == 0) fs->SetBlocking(fd);
  if (stOut != nullptr) *stOut = st;
  return fd;
}

ReadResult ReadWholeFile(const std::string& path, std::string* out, std::size_t limit, bool* cut) {
  out->clear();
  if (cut != nullptr) *cut = false;
  FileSystem* fs = GetFileSystem();
  struct stat st;
  const int fd = OpenRegular(path, O_RDONLY, 0, &st);
  if (fd < 0) {
    return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::kMissing : ReadResult::kError;
  }
  if (cut == nullptr && st.st_size > 0 && static_cast<unsigned long long>(st.st_size) > limit) {
    fs->Close(fd);
    errno = EFBIG;
    return ReadResult::kError;
  }
  if (st.st_size > 0) {
    out->reserve(static_cast<std::size_t>(st.st_size) < limit ? static_cast<std::size_t>(st.st_size) : limit);
  }
  char chunk[16384];
  for (;;) {
    const long long n = fs->Read(fd, chunk, sizeof chunk);
    if (n < 0) {
      const int saved = errno;
      fs->Close(fd);
      out->clear();
      errno = saved;
      return ReadResult::kError;
    }
    if (n == 0) break;
    const std::size_t room = limit - out->size();
    if (static_cast<std::size_t>(n) > room) {
      if (cut == nullptr) {
        // Grew past the limit while being read.
        fs->Close(fd);
        out->clear();
        errno = EFBIG;
        return ReadResult::kError;
      }
      out->append(chunk, room);
      *cut = true;
      break;
    }
    out->append(chunk, static_cast<std::size_t>(n));
  }
  fs->Close(fd);
  return ReadResult::kOk;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  FileSystem* fs = GetFileSystem();
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const long long n = fs->Write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

std::atomic<unsigned long> g_tempCounter{0};

// A random start for the numbers of this process's temporary files: a name
// another user could predict would let them block a write by planting a
// file there first (the exclusive creation then fails).
unsigned long long TempSeed() {
  static const unsigned long long seed = [] {
    unsigned long long v = 0;
    if (::getrandom(&v, sizeof v, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof v)) {
      v = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    return v >> 4;  // room for the counter
  }();
  return seed;
}

std::string TempNameFor(const std::string& target) {
  const unsigned long long n = TempSeed() + g_tempCounter.fetch_add(1, std::memory_order_relaxed);
  // Hidden, beside the target (same file system, so the rename is atomic),
  // unique per process and call.
  return JoinPath(DirName(target), "." + BaseName(target) + "." + std::to_string(CurrentPid()) + "." +
                                       std::to_string(n) + ".tmp");
}

// Whether a file last changed at t was last changed before this boot. The
// start of the boot is the wall clock minus the time since boot; a second of
// margin covers the clocks' different ticks.
bool BeforeThisBoot(const struct timespec& t) {
  struct timespec now;
  struct timespec sinceBoot;
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || ::clock_gettime(CLOCK_BOOTTIME, &sinceBoot) != 0) return false;
  return static_cast<long long>(t.tv_sec) < static_cast<long long>(now.tv_sec) - sinceBoot.tv_sec - 1;
}

// True when name (in dir) is "." + base + "." + <pid> + "." + <n> + ".tmp"
// and its writer is gone: a process that no longer exists, or any process
// of an earlier boot. Process ids start again at every boot, and a unit's
// boot is much the same each time: after a power cut the id in a leftover's
// name may well be that of a live process, or ours.
bool IsStaleTempOf(FileSystem* fs, const std::string& dir, const std::string& name, const std::string& base) {
  const std::string head = "." + base + ".";
  const std::string tail = ".tmp";
  if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
      name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  const std::string middle = name.substr(head.size(), name.size() - head.size() - tail.size());
  const std::size_t dot = middle.find('.');
  if (dot == 0 || dot == std::string::npos || dot + 1 == middle.size()) return false;
  long long pid = 0;
  for (std::size_t i = 0; i < middle.size(); ++i) {
    const char c = middle[i];
    if (i == dot) continue;
    if (c < '0' || c > '9') return false;
    if (i < dot) {
      pid = pid * 10 + (c - '0');
      if (pid > 0x7fffffffLL) return false;
    }
  }
  if (pid <= 0) return false;
  struct stat st;
  if (fs->Stat(JoinPath(dir, name), &st) == 0 && S_ISREG(st.st_mode) && BeforeThisBoot(st.st_mtim)) return true;
  if (pid == static_cast<long long>(CurrentPid())) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// A process killed between creating its temporary file and renaming it
// leaves the file behind; a unit that loses power mid-write again and again
// would slowly fill its storage. A write of a target removes what dead
// writers of the same target left. Only files of processes that no longer
// exist, or of an earlier boot, are touched, so a concurrent writer's
// temporary file is safe.
// This is housekeeping outside the durable path, so it goes to the file
// system beneath any fault-injecting wrapper (FileSystem::Untracked).
//
// Reading the directory costs a tenth of a durable write of a small file, so
// a process does it at its first write of a target and then at most once a
// second for that target: every process that starts after a crash or a power
// cut clears what the dead writer left at its first write, and a process
// that lives on clears leftovers of writers that die beside it within a
// second of activity.
constexpr std::chrono::seconds kStaleTempScanInterval{1};

bool StaleTempScanDue(const std::string& target) {
  struct LastScan {
    pid_t pid;
    std::chrono::steady_clock::time_point when;
  };
  static std::mutex* const mutex = new std::mutex();
  static auto* const scans = new std::unordered_map<std::string, LastScan>();
  const pid_t pid = CurrentPid();
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> lock(*mutex);
  const auto it = scans->find(target);
  // A forked child inherits the parent's record, not its scan.
  if (it != scans->end() && it->second.pid == pid && now - it->second.when < kStaleTempScanInterval) return false;
  (*scans)[target] = LastScan{pid, now};
  return true;
}

void RemoveStaleTemps(const std::string& target) {
  const int saved = errno;
  const std::string base = BaseName(target);
  const std::string dir = DirName(target);
  FileSystem* fs = GetFileSystem()->Untracked();
  std::vector<std::string> names;
  if (fs->ListDir(dir, &names) == 0) {
    for (const std::string& name : names) {
      if (name[0] == '.' && IsStaleTempOf(fs, dir, name, base)) fs->Unlink(JoinPath(dir, name));
    }
  }
  errno = saved;
}

}  // namespace

AtomicWriter::~AtomicWriter() { Abort(); }

bool AtomicWriter::Begin(const std::string& target, unsigned int mode) {
  Abort();
  if (target.empty() || target.back() == '/') return false;
  if (StaleTempScanDue(target)) RemoveStaleTemps(target);
  FileSystem* fs = GetFileSystem();
  const std::string temp = TempNameFor(target);
  const int fd = fs->Open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode & 0666u);
  if (fd < 0) return false;
  target_ = target;
  temp_ = temp;
  fd_ = fd;
  return true;
}

bool AtomicWriter::Append(const void* data, std::size_t size) {
  if (fd_ < 0) return false;
  return WriteAll(fd_, data, size);
}

bool AtomicWriter::Commit(int* keepFd) {
  if (fd_ < 0) return false;
  FileSystem* fs = GetFileSystem();
  if (fs->Sync(fd_) != 0) {
    Abort();
    return false;
  }
  if (keepFd == nullptr) {
    const int fd = fd_;
    fd_ = -1;
    if (fs->Close(fd) != 0) {
      Abort();
      return false;
    }
  }
  if (fs->Rename(temp_, target_) != 0) {
    Abort();
    return false;
  }
  temp_.clear();
  // The rename is only durable once the directory entry is.
  const bool durable = fs->SyncDir(DirName(target_)) == 0;
  if (keepFd != nullptr) {
    if (durable) {
      *keepFd = fd_;
    } else {
      fs->Close(fd_);
    }
    fd_ = -1;
  }
  return durable;
}

void AtomicWriter::Abort() {
  // The caller reports why the write failed: keep that errno.
  const int saved = errno;
  FileSystem* fs = GetFileSystem();
  if (fd_ >= 0) {
    fs->Close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    fs->Unlink(temp_);
    temp_.clear();
  }
  errno = saved;
}

namespace {

std::atomic<long long> g_waitDeadlineMs{0};

// One attempt without waiting: 1 taken, 0 held by another, -1 error.
int TryLockOnce(int fd) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 1;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return 0;
    if (errno != EINVAL) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 1;
    if (errno == EINTR) continue;
    return errno == EWOULDBLOCK ? 0 : -1;
  }
}

// Polls until the lock is taken or the end (monotonic ms) has passed. The
// pause grows from a tenth of a millisecond to 5 ms, so a lock handed over
// quickly is taken quickly and a long wait costs little; the deadline is read
// again at every pause, so moving it ends a wait at once.
bool PollLock(int fd, long long ownEnd) {
  long long pauseUs = 100;
  for (;;) {
    const int rc = TryLockOnce(fd);
    if (rc > 0) return true;
    if (rc < 0) return false;
    const long long deadline = g_waitDeadlineMs.load(std::memory_order_relaxed);
    long long end = ownEnd;
    if (deadline > 0 && (end == 0 || deadline < end)) end = deadline;
    const long long now = MonotonicMs();
    if (end > 0 && now >= end) {
      errno = ETIMEDOUT;
      return false;
    }
    const struct timespec pause = {0, static_cast<long>(pauseUs * 1000)};
    ::nanosleep(&pause, nullptr);
    if (pauseUs < 5000) pauseUs *= 2;
  }
}

}  // namespace

long long MonotonicMs() {
  struct timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SetWaitDeadline(long long monotonicMs) { g_waitDeadlineMs.store(monotonicMs); }

long long WaitDeadline() { return g_waitDeadlineMs.load(); }

// A wait without a deadline is the current file system's own lock (on the
// disk an OFD lock; in a test, whatever the test put in place). With a
// deadline, the lock of the disk is polled so that the wait ends in time.
bool LockFd(int fd) {
  FileSystem* fs = GetFileSystem();
  if (fs != PosixFileSystem() || g_waitDeadlineMs.load(std::memory_order_relaxed) == 0) return fs->Lock(fd) == 0;
  return PollLock(fd, 0);
}

// Only for descriptors of the machine itself (the claim lock beside
// /dev/shm's segments), never a unit's file: no other file system sees them.
bool LockFdFor(int fd, long long maxMs) {
  return PollLock(fd, MonotonicMs() + (maxMs > 0 ? maxMs : 1));
}

void UnlockFd(int fd) { GetFileSystem()->Unlock(fd); }

bool WriteFileAtomically(const std::string& path, const std::string& content, int* keepFd) {
  AtomicWriter writer;
  if (!writer.Begin(path)) return false;
  if (!writer.Append(content.data(), content.size())) return false;
  return writer.Commit(keepFd);
}

}  // namespace detail
}  // namespace standin
