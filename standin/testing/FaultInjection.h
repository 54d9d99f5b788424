// A file system for tests that fails chosen calls and simulates power cuts.
//
// FaultInjectionFileSystem wraps another FileSystem (POSIX by default) and
// passes every call through, while it
// - counts calls by kind (CallCount), so that a test can run an operation
//   once to learn how many calls of a kind it makes, then sweep N = 1..count;
// - fails the Nth call of a kind from the moment FailNth is armed, with an
//   errno (EIO by default): once (kOnce), or that call and every mutating
//   call after it (kCrash: the process is dead as far as the disk can tell);
//   a failed call has no effect;
// - remembers what is not durable yet, and SimulatePowerCut() drops it as a
//   power cut would: a file written since its last Sync goes back to its
//   content at that Sync (a file never synced goes back to empty), and each
//   creation, rename, removal or mkdir not followed by a SyncDir of its
//   directory is undone, latest first (an overwritten rename target comes
//   back from a backup the wrapper keeps until that SyncDir).
//
// Files written before the wrapper was installed count as durable. Call
// SimulatePowerCut only while the code under test holds no file open (after
// the operation returned), as after a reboot. Thread-safe.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"
#include "standin/FileSystem.h"

namespace standin {
namespace testing {

enum class CallKind {
  kOpen,      // every Open
  kRead,
  kWrite,
  kSync,      // Sync of a file
  kSyncDir,
  kRename,
  kUnlink,
  kTruncate,
  kMkdir,
  kMutating,  // any call that changes the disk: Write, Sync, SyncDir, Rename,
              // Unlink, Truncate, Mkdir, and Open with O_CREAT or O_TRUNC
};

TQPLATFORM_API const char* CallKindName(CallKind kind);

class TQPLATFORM_API FaultInjectionFileSystem : public FileSystem {
 public:
  enum class FailMode { kOnce, kCrash };

  explicit FaultInjectionFileSystem(FileSystem* base = nullptr);
  ~FaultInjectionFileSystem() override;

  // Counting.
  std::size_t CallCount(CallKind kind) const;
  void ResetCounts();

  // Fails the nth (1-based) call of kind counted from now. Replaces an
  // earlier arming. n == 0 disarms.
  void FailNth(CallKind kind, std::size_t n, FailMode mode = FailMode::kOnce, int error = 5 /* EIO */);
  // Disarms and ends a crash: calls pass again.
  void ClearFaults();
  // Whether the armed failure has happened.
  bool Fired() const;
  // Calls that failed by injection since construction or ResetCounts.
  std::size_t InjectedFailures() const;

  // Drops every change that is not durable (see above) and forgets the
  // bookkeeping: what is on disk afterwards counts as durable.
  void SimulatePowerCut();
  // Forgets the bookkeeping without dropping anything (all counts as durable).
  void MarkAllDurable();

  // FileSystem.
  int Open(const std::string& path, int flags, unsigned int mode) override;
  int Close(int fd) override;
  long long Read(int fd, void* buf, std::size_t size) override;
  long long Write(int fd, const void* data, std::size_t size) override;
  long long Seek(int fd, long long offset, int whence) override;
  int Sync(int fd) override;
  int SyncDir(const std::string& dir) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Unlink(const std::string& path) override;
  int Truncate(int fd, long long size) override;
  int Mkdir(const std::string& path, unsigned int mode) override;
  int Stat(const std::string& path, struct stat* st) override;
  int Fstat(int fd, struct stat* st) override;
  // Passed through uncounted.
  int Lock(int fd) override { return base_->Lock(fd); }
  int Unlock(int fd) override { return base_->Unlock(fd); }
  int SetBlocking(int fd) override { return base_->SetBlocking(fd); }
  int ListDir(const std::string& dir, std::vector<std::string>* names) override { return base_->ListDir(dir, names); }
  FileSystem* Untracked() override { return base_->Untracked(); }

 private:
  struct FileState {
    bool dirty = false;  // written since the last Sync
    std::string synced;  // content at the last Sync (or when first seen)
  };
  struct DirOp {
    enum Kind { kCreate, kRename, kUnlink, kMkdir } kind;
    std::string dir;   // the directory whose SyncDir makes it durable
    std::string path;  // created / removed path, or rename target
    std::string from;  // rename source
    bool hadOld = false;
    std::string old;   // backup of an overwritten or removed file
  };

  // Counts the call and decides whether it fails; caller holds mutex_.
  bool ShouldFail(CallKind kind, bool mutating);
  bool ReadRaw(const std::string& path, std::string* content);
  bool WriteRaw(const std::string& path, const std::string& content);
  void TrackWritable(const std::string& path);
  void MarkDirty(int fd);

  FileSystem* base_;
  mutable std::mutex mutex_;
  std::map<CallKind, std::size_t> counts_;
  CallKind failKind_ = CallKind::kWrite;
  std::size_t failAt_ = 0;  // 0: disarmed
  std::size_t failSeen_ = 0;
  FailMode failMode_ = FailMode::kOnce;
  int failErrno_ = 5;
  bool fired_ = false;
  bool crashed_ = false;
  std::size_t injected_ = 0;

  std::map<int, std::string> fdPaths_;  // descriptors opened for writing
  std::map<std::string, FileState> files_;
  std::vector<DirOp> dirOps_;
};

// Installs a FaultInjectionFileSystem for the life of the object.
class TQPLATFORM_API ScopedFaultInjection {
 public:
  ScopedFaultInjection();
  ~ScopedFaultInjection();
  ScopedFaultInjection(const ScopedFaultInjection&) = delete;
  ScopedFaultInjection& operator=(const ScopedFaultInjection&) = delete;
  FaultInjectionFileSystem& fs() { return fs_; }
  FaultInjectionFileSystem* operator->() { return &fs_; }

 private:
  FaultInjectionFileSystem fs_;
};

}  // namespace testing
}  // namespace standin
