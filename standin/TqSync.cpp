#include "platform/TqSync.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/TqDbgOutput.h"
#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/FileUtil.h"
#include "standin/ProcessId.h"
#include "standin/RootedPath.h"
#include "standin/SimulationState.h"
#include "standin/testing/StoreControl.h"

TqSyncObjectBase::~TqSyncObjectBase() = default;

// ---- TqSync: a process-local recursive mutex with a timeout ----
//
// A plain pthread mutex plus the holder's id and depth: a waiter sleeps on
// the mutex itself (one futex, no condition variable to wake and re-check),
// so threads queueing on one settings file hand it over without a convoy of
// wake-ups. Only the holder changes the depth; another thread reads the
// holder's id only to learn that it is not itself.

struct TqSync::Impl {
  pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
  std::atomic<std::thread::id> owner{std::thread::id()};
  unsigned long depth = 0;
  ~Impl() { pthread_mutex_destroy(&mutex); }
};

TqSync::TqSync() : impl_(new Impl()) {}

TqSync::~TqSync() { delete impl_; }

bool TqSync::Lock(unsigned int timeout) {
  const std::thread::id me = std::this_thread::get_id();
  if (impl_->owner.load(std::memory_order_relaxed) == me) {
    ++impl_->depth;
    return true;
  }
  int rc;
  if (timeout == static_cast<unsigned int>(-1)) {
    rc = pthread_mutex_lock(&impl_->mutex);
  } else if (timeout == 0) {
    rc = pthread_mutex_trylock(&impl_->mutex);
  } else {
    // The calls every thread checker knows; the deadline is on the wall clock.
    struct timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += static_cast<time_t>(timeout / 1000);
    deadline.tv_nsec += static_cast<long>(timeout % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    rc = pthread_mutex_timedlock(&impl_->mutex, &deadline);
  }
  if (rc != 0) return false;
  impl_->owner.store(me, std::memory_order_relaxed);
  impl_->depth = 1;
  return true;
}

void TqSync::Unlock() {
  if (impl_->owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) return;
  if (--impl_->depth > 0) return;
  impl_->owner.store(std::thread::id(), std::memory_order_relaxed);
  pthread_mutex_unlock(&impl_->mutex);
}

void TqSync::lock() const { const_cast<TqSync*>(this)->Lock(static_cast<unsigned int>(-1)); }

void TqSync::unlock() const { const_cast<TqSync*>(this)->Unlock(); }

TqSyncGuard::TqSyncGuard(const TqSyncObjectBase& object) : object_(object) { object_.lock(); }

TqSyncGuard::~TqSyncGuard() { object_.unlock(); }

// ---- TqSharedSyncObject ----
//
// Every object of one name in this process shares one entry: a local
// recursive lock (owner thread, depth) that the threads of the process queue
// on, and one descriptor of the name's lock file, which carries an
// open-file-description lock while some thread of the process holds the
// entry. The kernel drops that lock when the process dies, however it dies.
//
// Views of a record are made and dropped around every single access, so the
// entry of a name outlives its objects: it stays in the table, with its lock
// file open, for as long as the simulation root stays the same. Making a view
// then costs no path lookups and no open or close of the lock file. When the
// root changes, the entries no object uses any more are dropped.

namespace {

struct SharedEntry {
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id owner;
  unsigned long depth = 0;
  std::string name;      // empty: an object without name
  std::string lockPath;  // empty: process-local only (so far)
  int fd = -1;
  pid_t fdPid = 0;  // the process that opened fd (a forked child reopens)
  bool fileLocked = false;

  ~SharedEntry() {
    if (fd >= 0) standin::GetFileSystem()->Close(fd);
  }
};

struct SharedTable {
  std::mutex mutex;
  bool rootKnown = false;
  std::string root;  // the simulation root the entries' lock files belong to
  std::uint64_t generation = 0;  // the root's generation when it was last compared
  std::map<std::string, std::shared_ptr<SharedEntry>> entries;  // by name
};

SharedTable& Table() {
  static SharedTable* const table = new SharedTable();
  return *table;
}

// File-name-safe form of a lock name: letters, digits, '-' and '_' stay,
// every other byte becomes %HH; very long names are cut and hashed.
std::string EncodeName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  if (out.size() > 200) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : name) {
      h ^= c;
      h *= 1099511628211ull;
    }
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    out = out.substr(0, 100) + "-" + buf;
  }
  return out + ".lock";
}

// The directory of lock files, created when missing; empty when unusable,
// with *why saying why (errno tells the system's reason).
//
// A lock file that another user can create, replace or remove is no lock:
// that user could make two processes believe each holds it. So the
// directory must be a real directory (not a link), owned by this user (or,
// in a simulated unit, by the unit's owner), and writable by nobody else.
// Anything else is an error, never a quiet fall-back to a lock that only
// this process respects.
// The last inter-process lock this process could not take, for a host on a
// desk that has to say why a file could not be used.
std::mutex& LockFailureMutex() {
  static std::mutex* const mutex = new std::mutex();
  return *mutex;
}
std::string& LastLockFailureText() {
  static std::string* const text = new std::string();
  return *text;
}
void RememberLockFailure(const std::string& text) {
  std::lock_guard<std::mutex> lock(LockFailureMutex());
  LastLockFailureText() = text;
}

std::string LockDirOf(const std::string& root, const char** why) {
  standin::FileSystem* fs = standin::GetFileSystem();
  std::string dir;
  if (!root.empty()) {
    dir = (root == "/" ? std::string() : root) + "/.tqlocks";
  } else {
    dir = "/tmp/.tqlocks-" + std::to_string(static_cast<unsigned long>(::geteuid()));
  }
  struct stat st;
  if (fs->Stat(dir, &st) != 0 && fs->Mkdir(dir, root.empty() ? 0700 : 0755) != 0 && errno != EEXIST) {
    *why = "cannot create the lock directory";
    return std::string();
  }
  // Checked through the file system beneath any fault-injecting wrapper:
  // the check is housekeeping, not part of an operation's work.
  standin::FileSystem* plain = fs->Untracked();
  const int fd = plain->Open(dir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
  if (fd < 0) {
    if (errno == ELOOP) {
      *why = "the lock directory is a symbolic link";
    } else if (errno == ENOTDIR) {
      *why = "the lock directory is not a directory";
    } else {
      *why = "cannot open the lock directory";
    }
    return std::string();
  }
  const bool statOk = plain->Fstat(fd, &st) == 0;
  const int saved = errno;
  plain->Close(fd);
  errno = saved;
  if (!statOk) {
    *why = "cannot read the lock directory's status";
    return std::string();
  }
  bool ownerOk = st.st_uid == ::geteuid();
  if (!ownerOk && !root.empty()) {
    struct stat rootSt;
    ownerOk = plain->Stat(root, &rootSt) == 0 && rootSt.st_uid == st.st_uid;
  }
  if (!ownerOk) {
    errno = EPERM;
    *why = "the lock directory belongs to another user";
    return std::string();
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    errno = EPERM;
    *why = "the lock directory is writable by other users";
    return std::string();
  }
  return dir;
}

std::string LockDir(const char** why) { return LockDirOf(TqSimRoot(), why); }

// A lock file is opened only by its owner: anyone who can open it can also
// lock it (a read lock needs no more than read access) and stall every
// process that waits for it. One made earlier with wider rights is narrowed.
int OpenLockFile(const std::string& path) {
  const int fd = standin::detail::OpenRegular(path, O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
  if (fd < 0) return fd;
  // Narrowed where it is a file of the disk; another file system in place
  // (one in memory) has no owners to keep out.
  struct stat st;
  if (standin::GetFileSystem() == standin::PosixFileSystem() && ::fstat(fd, &st) == 0 && (st.st_mode & 077) != 0 &&
      st.st_uid == ::geteuid()) {
    ::fchmod(fd, 0600);
  }
  return fd;
}

}  // namespace

namespace standin {
namespace detail {

std::string PrivateLockDir(const char** why) { return LockDirOf(std::string(), why); }

std::string UnitLockDir(const std::string& root, const char** why) { return LockDirOf(root, why); }

int OpenOwnLockFile(const std::string& path) { return OpenLockFile(path); }

}  // namespace detail
}  // namespace standin

struct TqSharedSyncObject::Impl {
  std::shared_ptr<SharedEntry> entry;
};

TqSharedSyncObject::TqSharedSyncObject(const char* name) : impl_(new Impl()) {
  if (name == nullptr || name[0] == '\0') {
    impl_->entry = std::make_shared<SharedEntry>();
    return;
  }
  SharedTable& table = Table();
  // A view of a segment is made for every read of a record: while the
  // root's generation stands, the root is the one last compared, and is not
  // copied again.
  const std::uint64_t generation = standin::detail::SimGeneration();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (!table.rootKnown || table.generation != generation) {
    std::uint64_t now = 0;
    const std::string root = standin::detail::SimRootAndGeneration(&now);
    if (!table.rootKnown || table.root != root) {
      // The lock files of another unit: forget them. An entry still in use
      // lives on with its objects and goes with the last of them.
      table.entries.clear();
      table.root = root;
      table.rootKnown = true;
    }
    table.generation = now;
  }
  std::shared_ptr<SharedEntry>& slot = table.entries[name];
  if (!slot) {
    slot = std::make_shared<SharedEntry>();
    slot->name = name;
    const char* why = nullptr;
    const std::string dir = LockDir(&why);
    // An unusable directory is reported by lock(), which tries again.
    if (!dir.empty()) slot->lockPath = dir + "/" + EncodeName(name);
  }
  impl_->entry = slot;
}

TqSharedSyncObject::~TqSharedSyncObject() {
  SharedTable& table = Table();
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    // The table keeps the entry (and its lock file open) for the next object
    // of the name; an entry of an earlier root goes with its last object.
    impl_->entry.reset();
  }
  delete impl_;
}

void TqSharedSyncObject::lock() const {
  SharedEntry& e = *impl_->entry;
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(e.mutex);
  const pid_t pid = standin::detail::CurrentPid();
  if (e.fd >= 0 && e.fdPid != pid) {
    // A child of fork: the inherited descriptor shares the parent's open file
    // (and so its lock), and the inherited holder is a thread of the parent.
    standin::GetFileSystem()->Close(e.fd);
    e.fd = -1;
    e.fileLocked = false;
    e.depth = 0;
    e.owner = std::thread::id();
  }
  if (e.depth > 0 && e.owner == me) {
    ++e.depth;
    return;
  }
  e.released.wait(lock, [&e] { return e.depth == 0; });
  e.owner = me;
  e.depth = 1;
  e.fileLocked = false;
  if (e.name.empty()) return;  // an object without name is local by contract
  const char* why = nullptr;
  int err = 0;  // the failed call's errno, when one failed
  if (e.lockPath.empty()) {
    // The directory of lock files was unusable when the entry was made: try
    // again, it may have been repaired.
    const std::string dir = LockDir(&why);
    if (!dir.empty()) {
      e.lockPath = dir + "/" + EncodeName(e.name);
    } else {
      err = errno;  // each refusal of LockDir leaves its reason there
    }
  }
  if (!e.lockPath.empty() && e.fd < 0) {
    // Never blocks on a FIFO planted as the lock file, never follows a link.
    e.fd = OpenLockFile(e.lockPath);
    // The directory of lock files may have gone since the entry was made.
    if (e.fd < 0 && errno == ENOENT) {
      if (LockDir(&why).empty()) {
        err = errno;
      } else {
        e.fd = OpenLockFile(e.lockPath);
      }
    }
    if (e.fd < 0 && why == nullptr) {
      why = "cannot open the lock file";
      err = errno;
    }
    e.fdPid = pid;
  }
  if (e.fd >= 0) {
    const int fd = e.fd;
    // Other threads of this process wait on depth; the file lock may take long.
    lock.unlock();
    const bool locked = standin::detail::LockFd(fd);
    if (!locked) err = errno;
    lock.lock();
    e.fileLocked = locked;
    if (!locked) why = "cannot lock the lock file";
  }
  if (!e.fileLocked) {
    // The caller holds only the process-local part: say so loudly, and let
    // HeldAcrossProcesses() tell the caller not to go on as if locked.
    if (why == nullptr) why = "no lock file";
    std::string reason = why;
    if (err != 0) reason += std::string(": ") + std::strerror(err);
    reason += std::string(", ") + (e.lockPath.empty() ? "no lock directory" : e.lockPath.c_str());
    TqDbgOutput::DbgPrintStdErr(__FILE__, "lock", __LINE__, "inter-process lock \"%s\" not taken (%s)\n",
                                e.name.c_str(), reason.c_str());
    RememberLockFailure("inter-process lock \"" + e.name + "\" not taken (" + reason + ")");
  }
}

bool TqSharedSyncObject::HeldAcrossProcesses() const {
  SharedEntry& e = *impl_->entry;
  std::lock_guard<std::mutex> lock(e.mutex);
  return e.depth > 0 && e.owner == std::this_thread::get_id() && e.fileLocked;
}

void TqSharedSyncObject::unlock() const {
  SharedEntry& e = *impl_->entry;
  std::lock_guard<std::mutex> lock(e.mutex);
  if (e.depth == 0 || e.owner != std::this_thread::get_id()) return;
  if (--e.depth > 0) return;
  if (e.fileLocked && e.fd >= 0) standin::detail::UnlockFd(e.fd);
  e.fileLocked = false;
  e.owner = std::thread::id();
  e.released.notify_one();
}

namespace standin {
namespace testing {

std::string LastLockFailure() {
  std::lock_guard<std::mutex> lock(LockFailureMutex());
  return LastLockFailureText();
}

}  // namespace testing
}  // namespace standin
