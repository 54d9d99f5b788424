#include "standin/UnitFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/FileUtil.h"
#include "standin/ProcessId.h"

namespace standin {
namespace unit {

namespace {

// The path of this machine the stand-in's file layer resolves beneath the
// root; empty (errno set) when there is no unit or the host path is not
// absolute. Never handed out: only this layer maps host paths.
std::string Place(const std::string& hostPath) {
  if (hostPath.empty() || hostPath[0] != '/' || hostPath.find('\0') != std::string::npos) {
    errno = EINVAL;
    return std::string();
  }
  const std::string root = TqSimRoot();
  if (root.empty() || root == "/") {
    errno = ENXIO;
    return std::string();
  }
  std::size_t start = 0;
  while (start < hostPath.size() && hostPath[start] == '/') ++start;
  if (start == hostPath.size()) return root;  // the root itself
  return root + "/" + hostPath.substr(start);
}

void CloseKeepErrno(int fd) {
  const int saved = errno;
  GetFileSystem()->Close(fd);
  errno = saved;
}

bool AllDigits(const std::string& text, bool hex) {
  if (text.empty()) return false;
  for (char c : text) {
    const bool digit = c >= '0' && c <= '9';
    const bool letter = hex && c >= 'a' && c <= 'f';
    if (!digit && !letter) return false;
  }
  return true;
}

// "." + name + "." + pid + "." + number + ".tmp": the pid, or 0.
long long TemporaryPid(const std::string& name) {
  const std::string tail = ".tmp";
  if (name.size() < 1 + 1 + 2 + 2 + tail.size() || name[0] != '.' ||
      name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
    return 0;
  }
  const std::string body = name.substr(1, name.size() - 1 - tail.size());
  const std::size_t lastDot = body.find_last_of('.');
  if (lastDot == std::string::npos || lastDot == 0) return 0;
  // The store numbers its files in decimal; the tool's earlier writers used
  // hexadecimal tags.
  if (!AllDigits(body.substr(lastDot + 1), true)) return 0;
  const std::size_t pidDot = body.find_last_of('.', lastDot - 1);
  if (pidDot == std::string::npos || pidDot == 0) return 0;
  const std::string pidText = body.substr(pidDot + 1, lastDot - pidDot - 1);
  if (!AllDigits(pidText, false) || pidText.size() > 10) return 0;
  long long pid = 0;
  for (char c : pidText) pid = pid * 10 + (c - '0');
  return pid > 0 && pid <= 0x7fffffffLL ? pid : 0;
}

constexpr int kMaxSweepDepth = 16;
constexpr std::size_t kMaxSweepEntries = 100000;

// Whether name is a temporary file of a writer that is gone (not this
// process, and no process of its id exists).
bool DeadWritersTemporary(const std::string& name) {
  const long long pid = TemporaryPid(name);
  if (pid == 0 || pid == detail::CurrentPid()) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Walks the directory dirFd (descriptor-relative, no link followed, so the
// walk can never leave the tree it started in) and removes dead writers'
// temporary files.
void SweepDirectory(int dirFd, int depth, std::size_t* seen, int* removed) {
  const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  std::vector<std::string> subdirs;
  std::vector<std::string> dead;
  while (const dirent* entry = ::readdir(dir)) {
    if (++*seen > kMaxSweepEntries) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        subdirs.push_back(name);
        continue;
      }
    }
    if (!DeadWritersTemporary(name)) continue;
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    dead.push_back(name);
  }
  ::closedir(dir);
  bool changed = false;
  for (const std::string& name : dead) {
    if (::unlinkat(dirFd, name.c_str(), 0) == 0) {
      ++*removed;
      changed = true;
    }
  }
  // The removal must not come back after a power cut.
  if (changed) ::fsync(dirFd);
  if (depth >= kMaxSweepDepth) return;
  for (const std::string& name : subdirs) {
    const int sub = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (sub < 0) continue;
    SweepDirectory(sub, depth + 1, seen, removed);
    ::close(sub);
  }
}

// The kind of what is at path, a last link not followed (-1: nothing there).
int KindNoFollow(FileSystem* fs, const std::string& path, struct stat* st) {
  const int fd = fs->Open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int rc = fs->Fstat(fd, st);
  fs->Close(fd);
  return rc;
}

// The same walk on a file system whose descriptors are not the kernel's
// (one in memory): by paths, each resolved beneath the root as the seam
// resolves every path of a unit, so it cannot leave the unit either.
void SweepDirectoryOf(FileSystem* fs, const std::string& dir, int depth, std::size_t* seen, int* removed) {
  std::vector<std::string> names;
  if (fs->ListDir(dir, &names) != 0) return;
  std::vector<std::string> subdirs;
  bool changed = false;
  for (const std::string& name : names) {
    if (++*seen > kMaxSweepEntries) break;
    const std::string path = dir + "/" + name;
    struct stat st;
    if (KindNoFollow(fs, path, &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      subdirs.push_back(path);
      continue;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || !DeadWritersTemporary(name)) continue;
    if (fs->Unlink(path) == 0) {
      ++*removed;
      changed = true;
    }
  }
  if (changed) fs->SyncDir(dir);
  if (depth >= kMaxSweepDepth) return;
  for (const std::string& sub : subdirs) SweepDirectoryOf(fs, sub, depth + 1, seen, removed);
}

// Whether the descriptors of the file system in use are the kernel's (the
// disk's, or a wrapper of it that counts or fails calls).
bool KernelDescriptors(FileSystem* fs) { return fs->Untracked() == PosixFileSystem(); }

}  // namespace

int Open(const std::string& hostPath, int flags, unsigned int mode) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  return GetFileSystem()->Open(path, flags | O_CLOEXEC, mode);
}

int Stat(const std::string& hostPath, struct stat* st) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  return GetFileSystem()->Stat(path, st);
}

int Lstat(const std::string& hostPath, struct stat* st) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  FileSystem* fs = GetFileSystem();
  const int fd = fs->Open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int rc = fs->Fstat(fd, st);
  CloseKeepErrno(fd);
  return rc;
}

int List(const std::string& hostPath, std::vector<std::string>* names, std::size_t maxEntries) {
  names->clear();
  FileSystem* fs = GetFileSystem();
  if (!KernelDescriptors(fs)) {
    const std::string path = Place(hostPath);
    if (path.empty() || fs->ListDir(path, names) != 0) return -1;
    if (names->size() <= maxEntries) return 0;
    names->resize(maxEntries);
    errno = E2BIG;
    return -1;
  }
  const int fd = Open(hostPath, O_RDONLY | O_DIRECTORY | O_NONBLOCK, 0);
  if (fd < 0) return -1;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    CloseKeepErrno(fd);
    return -1;
  }
  int rc = 0;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (names->size() >= maxEntries) {
      errno = E2BIG;
      rc = -1;
      break;
    }
    names->push_back(name);
  }
  if (rc == 0 && errno != 0) rc = -1;
  const int saved = errno;
  ::closedir(dir);
  errno = saved;
  return rc;
}

int Unlink(const std::string& hostPath) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  return GetFileSystem()->Unlink(path);
}

int Mkdir(const std::string& hostPath, unsigned int mode) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  return GetFileSystem()->Mkdir(path, mode);
}

int SyncDir(const std::string& hostPath) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  return GetFileSystem()->SyncDir(path);
}

int ReplaceFile(const std::string& hostPath, const std::string& content, unsigned int mode) {
  const std::string path = Place(hostPath);
  if (path.empty()) return -1;
  detail::AtomicWriter writer;
  if (!writer.Begin(path, mode)) return -1;
  if (!writer.Append(content.data(), content.size())) return -1;
  return writer.Commit() ? 0 : -1;
}

int CheckCreatable(const std::string& hostDir) {
  const int fd = Open(hostDir, O_PATH | O_DIRECTORY, 0);
  if (fd < 0) return -1;
  // A file system in memory has no rights or mounts to ask about: the
  // directory is there, and that is all it can say without creating.
  if (!KernelDescriptors(GetFileSystem())) {
    CloseKeepErrno(fd);
    return 0;
  }
  // The kernel's own answer for this process: write and search rights, and
  // a read-only mount (EROFS).
  int rc = ::faccessat(fd, ".", W_OK | X_OK, 0);
  if (rc == 0) {
    struct statvfs vfs;
    if (::fstatvfs(fd, &vfs) == 0) {
      const bool privileged = ::geteuid() == 0;
      const unsigned long long blocks = privileged ? vfs.f_bfree : vfs.f_bavail;
      const unsigned long long inodes = privileged ? vfs.f_ffree : vfs.f_favail;
      const unsigned long long unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
      // A new file takes an inode and, once written, at least a block; a
      // file system that counts no inodes reports 0 of 0.
      if (blocks * unit < 4096 || (vfs.f_files != 0 && inodes == 0)) {
        errno = ENOSPC;
        rc = -1;
      } else if ((vfs.f_flag & ST_RDONLY) != 0) {
        errno = EROFS;
        rc = -1;
      }
    }
  }
  CloseKeepErrno(fd);
  return rc;
}

int DirectoryId(const std::string& hostPath, unsigned long long* dev, unsigned long long* ino) {
  struct stat st;
  if (Stat(hostPath, &st) != 0) return -1;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return -1;
  }
  *dev = static_cast<unsigned long long>(st.st_dev);
  *ino = static_cast<unsigned long long>(st.st_ino);
  return 0;
}

int SweepTemporaries() {
  const int saved = errno;
  const std::string root = Place("/");
  if (root.empty()) return 0;
  // Housekeeping, not an operation's work.
  FileSystem* fs = GetFileSystem()->Untracked();
  if (!KernelDescriptors(fs)) {
    std::size_t seen = 0;
    int removed = 0;
    SweepDirectoryOf(fs, root, 0, &seen, &removed);
    errno = saved;
    return removed;
  }
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    errno = saved;
    return 0;
  }
  std::size_t seen = 0;
  int removed = 0;
  SweepDirectory(fd, 0, &seen, &removed);
  ::close(fd);
  errno = saved;
  return removed;
}

bool IsTemporaryName(const std::string& name) { return TemporaryPid(name) != 0; }

}  // namespace unit
}  // namespace standin
