// The file-system calls of the stand-in platform, behind one interface.
//
// Every file-system call the stand-in makes (the settings store, TqStorage,
// TqFileSys, the lock files of TqSharedSyncObject) goes through the process's
// current FileSystem, so that a test can watch and break them: count calls,
// fail the Nth one, or drop everything that was not made durable (see
// standin/testing/FaultInjection.h).
//
// Contract of every implementation (POSIX semantics):
// - Each call is one system call's worth of work and reports like one: a
//   descriptor or count >= 0 on success, -1 with errno set on failure. A call
//   that fails has no effect (a failed Write writes nothing).
// - Open(path, flags, mode) is open(2); flags are the O_* flags of <fcntl.h>.
//   Close(fd) is close(2) and is never retried.
// - Read and Write may transfer fewer bytes than asked; callers loop. Neither
//   returns -1 with errno EINTR (the implementation retries).
// - Sync(fd) makes the file's data and size durable (fsync(2)). SyncDir(dir)
//   makes the directory's entries durable: creations, renames and removals in
//   dir survive a power cut only after it.
// - Rename(from, to) atomically replaces to (rename(2)); Unlink, Mkdir,
//   Truncate (ftruncate on a descriptor), Seek (lseek), Stat, Fstat as POSIX.
// - Paths are used as given: the caller has already mapped them under the
//   simulation root. A path that lies beneath the simulation root is
//   resolved as if the root were "/" (standin/RootedPath.h): a link in the
//   unit, wherever it is, never leads out of it. Rename, Unlink and Mkdir
//   work on the directory so resolved (renameat, unlinkat, mkdirat), Stat
//   follows a last link within the root. Other paths are used as they are.
//
// - Lock(fd) takes an exclusive lock of the whole file for the open file
//   behind fd, waiting without limit; Unlock(fd) drops it (the lock belongs
//   to the open file, as an OFD lock: two descriptors of one process exclude
//   each other, and the lock goes with the last descriptor).
//   SetBlocking(fd) clears O_NONBLOCK. ListDir(dir, names) lists the entries
//   of dir ("." and ".." left out). These four have POSIX defaults.
// - Untracked() is the file system housekeeping uses (the sweep of dead
//   writers' temporary files, the lock directory's checks): a wrapper that
//   counts or fails calls returns what it wraps, so that housekeeping never
//   counts as an operation's work.
//
// SetFileSystem(fs) makes fs the current implementation for the whole process
// (null restores POSIX). It must be called while no other thread is inside
// the stand-in, and fs must outlive its use. Descriptors opened through one
// implementation are closed through whichever is current; implementations
// accept descriptors they did not open.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"

namespace standin {

class TQPLATFORM_API FileSystem {
 public:
  FileSystem() = default;
  virtual ~FileSystem();
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  virtual int Open(const std::string& path, int flags, unsigned int mode) = 0;
  virtual int Close(int fd) = 0;
  virtual long long Read(int fd, void* buf, std::size_t size) = 0;
  virtual long long Write(int fd, const void* data, std::size_t size) = 0;
  virtual long long Seek(int fd, long long offset, int whence) = 0;
  virtual int Sync(int fd) = 0;
  virtual int SyncDir(const std::string& dir) = 0;
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Unlink(const std::string& path) = 0;
  virtual int Truncate(int fd, long long size) = 0;
  virtual int Mkdir(const std::string& path, unsigned int mode) = 0;
  virtual int Stat(const std::string& path, struct stat* st) = 0;
  virtual int Fstat(int fd, struct stat* st) = 0;
  virtual int Lock(int fd);
  virtual int Unlock(int fd);
  virtual int SetBlocking(int fd);
  virtual int ListDir(const std::string& dir, std::vector<std::string>* names);
  virtual FileSystem* Untracked() { return this; }
};

// The plain POSIX implementation (a process-wide object, never destroyed).
TQPLATFORM_API FileSystem* PosixFileSystem();
// The implementation in use now.
TQPLATFORM_API FileSystem* GetFileSystem();
// Makes fs current for the whole process; null restores POSIX.
TQPLATFORM_API void SetFileSystem(FileSystem* fs);

}  // namespace standin
