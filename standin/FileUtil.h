// Internal file helpers of the stand-in: whole-file reads and whole-file
// replacements, all through the current standin::FileSystem.
#pragma once

#include <cstddef>
#include <string>

#include "standin/FileSystem.h"

namespace standin {
namespace detail {

// Directory part of path: "a/b" -> "a", "/b" -> "/", "b" -> ".".
std::string DirName(const std::string& path);
// Last component of path: "a/b" -> "b".
std::string BaseName(const std::string& path);
// dir + "/" + name without doubling a trailing '/'.
std::string JoinPath(const std::string& dir, const std::string& name);

// Largest file the stand-in loads whole; a longer file is read up to this
// size (its tail is treated as damage).
constexpr std::size_t kMaxWholeFile = 16u * 1024u * 1024u;

// Opens the file at path with flags (O_CLOEXEC added) through the current
// FileSystem without ever blocking in open: O_NONBLOCK is added for the open
// and cleared again afterwards, so a FIFO or a device in the place of a file
// cannot hang the process. Refuses (-1) what is not a regular file, with an
// errno that a caller can tell from "missing" (ENOENT): EISDIR for a
// directory, EINVAL for any other kind (FIFO, socket, device). *st, when
// given, receives the file's status.
int OpenRegular(const std::string& path, int flags, unsigned int mode = 0, struct stat* st = nullptr);
// The same check on a descriptor already open: false (errno as above, fd
// left open) when it is not a regular file.
bool CheckRegular(int fd, struct stat* st);

enum class ReadResult { kOk, kMissing, kError };
// Reads the regular file at path into *out (at most limit bytes; *cut says
// whether more was there). A missing file (or missing directory) is kMissing.
// When cut is null, a file longer than limit is refused before anything is
// read (kError, errno EFBIG); a FIFO, a directory or a device is kError too
// (errno EINVAL or EISDIR), and errno tells every other failure.
ReadResult ReadWholeFile(const std::string& path, std::string* out, std::size_t limit = kMaxWholeFile,
                         bool* cut = nullptr);

// Writes all of data to fd, looping over short writes.
bool WriteAll(int fd, const void* data, std::size_t size);

// A whole-file replacement: data goes to a uniquely named file beside the
// target; Commit makes it durable and renames it over the target, then makes
// the rename durable. Anything short of a successful Commit leaves the
// target untouched and removes the temporary file.
class AtomicWriter {
 public:
  AtomicWriter() = default;
  ~AtomicWriter();
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  // Creates the temporary file (exclusively, never through a link) with at
  // most the permission bits mode; false when the target's directory does
  // not exist or is not writable.
  bool Begin(const std::string& target, unsigned int mode = 0666);
  bool Append(const void* data, std::size_t size);
  // fsync, rename over the target, fsync of the directory. true only when all
  // of them succeeded. When keepFd is given and the commit succeeded, the
  // descriptor of the new file (now at the target) is handed over instead of
  // being closed.
  bool Commit(int* keepFd = nullptr);
  // Drops the temporary file (nothing to do when none is pending).
  void Abort();
  bool active() const { return fd_ >= 0 || !temp_.empty(); }

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

// An exclusive open-file-description lock on the whole of fd (flock where
// the kernel lacks OFD locks). Both kinds belong to the open file, so two
// descriptors of one process exclude each other, and the kernel drops them
// when the last descriptor closes or the process dies.
//
// It waits until the process's wait deadline (SetWaitDeadline), without
// limit while none is set; false with errno ETIMEDOUT once the deadline has
// passed. LockFdFor waits at most maxMs more, and never past the deadline.
bool LockFd(int fd);
bool LockFdFor(int fd, long long maxMs);
void UnlockFd(int fd);

// The end of every wait of this process for a lock, on the monotonic clock
// in milliseconds (0: none). A host whose every command must end in bounded
// time sets it once per command; waits that started before it was set see
// the new value.
void SetWaitDeadline(long long monotonicMs);
long long WaitDeadline();
long long MonotonicMs();

// Replaces path with content atomically and durably.
bool WriteFileAtomically(const std::string& path, const std::string& content, int* keepFd = nullptr);

}  // namespace detail
}  // namespace standin
