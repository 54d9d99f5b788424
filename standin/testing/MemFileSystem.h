// A file system in memory behind the stand-in's seam, with a model of what a
// power cut may leave of it.
//
// MemFileSystem implements standin::FileSystem with POSIX semantics and no
// disk underneath: regular files and directories (no links), renames,
// descriptors with offsets shared by everyone using the same open file,
// O_CREAT, O_EXCL, O_TRUNC, O_APPEND, O_DIRECTORY, O_NOFOLLOW (nothing to
// follow) and O_NONBLOCK (nothing blocks), OFD-style locks, and the errors
// of the real calls: ENOENT, EEXIST, EISDIR, ENOTDIR, ENOTEMPTY, EBADF,
// EINVAL, and ENOSPC once the file data would pass a configured capacity.
// Paths are absolute or taken from the process's working directory (a
// directory of the disk; the same path must be there in memory); "." and
// ".." work as usual. Descriptor
// numbers start far above the process's own and are never reused, so a stale
// Close of a descriptor that a power cut took away fails with EBADF instead of
// closing somebody else's.
//
// The persistence model. From the first MarkDurable() on (before it nothing
// is recorded, so a long run such as a fuzzer's keeps no history), every
// successful changing call is recorded: creations, removals, renames, writes, truncations, and
// the Sync/SyncDir calls that make them durable. A data change of a file is
// durable once a Sync of that file followed; a creation, removal or rename
// once a SyncDir of its directory (of both, for a rename between two)
// followed. A crash point p (0..ChangeCount()) is the moment after the first
// p recorded calls; CrashStates(p, model, ...) gives the file systems a power
// cut at p may leave:
// - kOrdered: changes reach the disk in the order they were made: any prefix
//   of the calls before p that holds every durable change, the last write of
//   the prefix also torn after each whole 512-byte sector;
// - kWeak: every durable change, and any subset of the changes that are not
//   durable yet, each write split into 512-byte sectors that land or not
//   independently. A rename is one change: the old name or the new, never
//   neither. (Changes of a subset are applied in the order they were made:
//   apart from overlapping writes of one file, the order does not change the
//   result.)
// Small sets are enumerated exhaustively; above `limit` states a sample of
// `limit` subsets drawn with `seed` is taken (CrashStateSet::exhaustive).
// PowerOn(state) replaces the file system's content by the state: every
// descriptor and lock is gone, what is there counts as durable, and every
// file was last changed before the current boot (times far in the past, each
// its own, so that nothing a process kept takes a file for another).
//
// Versions(path) are the contents path had at a durable point: at
// MarkDurable, and after each Sync or SyncDir that made it durable.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"
#include "standin/FileSystem.h"

namespace standin {
namespace testing {

class TQPLATFORM_API MemFileSystem : public FileSystem {
 public:
  enum class Model { kOrdered, kWeak };
  struct Image;      // the whole content of the file system
  struct Recording;  // the durable image and the changes recorded since
  struct CrashState {
    std::string what;  // which changes landed, for a failure message
    std::shared_ptr<const Image> image;
  };
  struct CrashStateSet {
    std::vector<CrashState> states;
    bool exhaustive = true;
  };

  // capacity: bytes of file data the file system holds (0: no limit).
  explicit MemFileSystem(std::size_t capacity = 0);
  ~MemFileSystem() override;

  void SetCapacity(std::size_t capacity);

  // Helpers for tests (not recorded, no errors beyond false).
  bool MakeDirs(const std::string& path);
  bool PutFile(const std::string& path, const std::string& content);
  bool GetFile(const std::string& path, std::string* content) const;
  // Removes a file, or a directory with all it holds.
  bool Remove(const std::string& path);
  bool Exists(const std::string& path) const;
  std::vector<std::string> List(const std::string& dir) const;
  // Every regular file beneath dir (paths), in name order.
  std::vector<std::string> FilesBeneath(const std::string& dir) const;

  // Persistence model.
  void MarkDurable();
  std::size_t ChangeCount() const;
  // The recorded call at index i, e.g. "rename /a/.x.tmp -> /a/x".
  std::string ChangeName(std::size_t i) const;
  CrashStateSet CrashStates(std::size_t point, Model model, std::size_t limit, std::uint64_t seed) const;
  // The same from a recording kept apart (PowerOn forgets the file system's).
  std::shared_ptr<const Recording> Recorded() const;
  static std::size_t ChangeCount(const Recording& recording);
  static CrashStateSet CrashStates(const Recording& recording, std::size_t point, Model model, std::size_t limit,
                                   std::uint64_t seed);
  void PowerOn(const CrashState& state);
  std::set<std::string> Versions(const std::string& path) const;
  std::map<std::string, std::set<std::string>> AllVersions() const;
  // Content of path in a crash state (false: absent or not a file).
  static bool FileIn(const Image& image, const std::string& path, std::string* content);
  // Every regular file of a crash state (or of the file system now) beneath
  // dir: path -> content.
  static std::map<std::string, std::string> FilesIn(const Image& image, const std::string& dir);
  std::map<std::string, std::string> FilesNow(const std::string& dir) const;
  // Puts the regular files beneath dir back as files (taken by FilesNow(dir))
  // has them, leaving alone those for which keep(path) is true: a file whose
  // content differs is replaced by a new file (as a writer that replaces it
  // would), one not in files is removed, a missing one is made again. Not
  // recorded. Returns the paths put back. Nothing is copied but what differs,
  // so that a fuzzer can undo an input's changes after every input.
  std::vector<std::string> RestoreFiles(const std::string& dir, const std::map<std::string, std::string>& files,
                                        bool (*keep)(const std::string& path));

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
  int Lock(int fd) override;
  int Unlock(int fd) override;
  int SetBlocking(int fd) override;
  int ListDir(const std::string& dir, std::vector<std::string>* names) override;

  struct Change;
  struct OpenFile;

 private:
  struct Resolved;
  bool ResolveParent(const std::string& path, Resolved* out) const;
  int Lookup(const std::string& path) const;  // inode or -1 with errno
  OpenFile* Desc(int fd);
  void Record(Change change);
  void Remember(int ino);
  void RememberDir(int dirIno);
  std::size_t DataBytes() const;
  void Touch(int ino);
  long long Tick();

  mutable std::mutex mutex_;
  std::condition_variable unlocked_;
  std::size_t capacity_;
  std::unique_ptr<Image> now_;
  std::shared_ptr<const Image> durable_;
  std::vector<Change> log_;
  std::map<int, std::shared_ptr<OpenFile>> fds_;
  std::map<int, const OpenFile*> locks_;  // inode -> holder (null: free)
  int nextFd_;
  long long clock_ = 0;
  long long sinceBoot_ = 0;
  bool recording_ = false;  // from the first MarkDurable on
  std::map<std::string, std::set<std::string>> versions_;
};

// Installs a MemFileSystem for the life of the object.
class TQPLATFORM_API ScopedMemFileSystem {
 public:
  explicit ScopedMemFileSystem(std::size_t capacity = 0);
  ~ScopedMemFileSystem();
  ScopedMemFileSystem(const ScopedMemFileSystem&) = delete;
  ScopedMemFileSystem& operator=(const ScopedMemFileSystem&) = delete;
  MemFileSystem& fs() { return fs_; }
  MemFileSystem* operator->() { return &fs_; }

 private:
  MemFileSystem fs_;
};

// Tests: the process id the stand-in uses for its temporary files and locks
// (0: the real one). A writer that "died" in a power cut runs under an id no
// process has; the next "boot" runs under the real one, as a new process
// would.
TQPLATFORM_API void PretendProcessId(int pid);

}  // namespace testing
}  // namespace standin
