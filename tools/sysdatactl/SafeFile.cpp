#include "SafeFile.h"

#include <dirent.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "UnitAccess.h"
#include "platform/TqSimulation.h"

namespace sysdatactl {

std::string errnoText(int error) { return std::strerror(error); }

std::string ReadResult::reason() const {
  switch (status) {
    case ReadStatus::kOk:
      return std::string();
    case ReadStatus::kMissing:
      return "no such file";
    case ReadStatus::kNotRegular:
      return "not a regular file";
    case ReadStatus::kTooLarge:
      return "larger than " + std::to_string(limit) + " bytes";
    case ReadStatus::kError:
      return errnoText(error);
  }
  return std::string();
}

namespace {

// The part of absolute after root ("/x/y"), or "" when it is not strictly
// beneath root.
std::string below(const std::string& root, const std::string& absolute) {
  if (absolute.size() <= root.size() + 1 || absolute.compare(0, root.size(), root) != 0 ||
      absolute[root.size()] != '/') {
    return std::string();
  }
  return absolute.substr(root.size());
}

}  // namespace

std::string unitHostPathOf(const std::string& path) {
  const std::string root = TqSimRoot();
  if (root.empty() || root == "/" || path.empty()) return std::string();
  std::string absolute = path;
  if (absolute[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return "/";  // cannot tell: treat as the unit's
    absolute = std::string(cwd) + "/" + path;
  }
  std::string host = below(root, absolute);
  if (!host.empty()) return host;
  // Through a link into the unit: the nearest directory that exists, with
  // its links resolved, and the rest of the path.
  std::string head = absolute;
  std::string tail;
  for (int depth = 0; depth < 256 && !head.empty(); ++depth) {
    char resolved[PATH_MAX];
    if (::realpath(head.c_str(), resolved) != nullptr) {  // door-ok: resolves a path the user named, to tell whether it leads into the unit
      const std::string real = std::string(resolved) + tail;
      if (real == root) return std::string();
      return below(root, real);
    }
    const std::size_t slash = head.find_last_of('/');
    if (slash == std::string::npos || slash == 0) break;
    tail = head.substr(slash) + tail;
    head.erase(slash);
  }
  return std::string();
}

bool beneathUnit(const std::string& path) { return !unitHostPathOf(path).empty(); }

namespace {

// Every plain call of the tool starts here: a unit's file is never one.
bool refuseUnitPath(const std::string& path) {
  if (!beneathUnit(path)) return false;
  errno = EXDEV;
  return true;
}

}  // namespace

ReadResult openFailure(int error, std::size_t limit) {
  ReadResult result;
  result.limit = limit;
  if (error == ENOENT || error == ENOTDIR) {
    result.status = ReadStatus::kMissing;
  } else if (error == ELOOP || error == ENXIO || error == EISDIR) {
    result.status = ReadStatus::kNotRegular;
  } else {
    result.status = ReadStatus::kError;
    result.error = error;
  }
  return result;
}

ReadResult readRegularFile(int dirFd, const std::string& path, std::size_t limit, std::string* content,
                           bool followLink) {
  ReadResult result;
  result.limit = limit;
  if (dirFd == AT_FDCWD && refuseUnitPath(path)) {
    result.error = errno;
    return result;
  }
  // O_NONBLOCK: opening a FIFO for reading returns at once instead of
  // waiting for a writer; O_NOFOLLOW: a final link fails with ELOOP.
  int fd;
  do {
    fd = ::openat(dirFd, path.c_str(), O_RDONLY | (followLink ? 0 : O_NOFOLLOW) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);  // door-ok: a file the user named; AT_FDCWD paths were refused above when beneath the unit
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return openFailure(errno, limit);
  return readMachineFile(fd, limit, content);
}

std::string readProblem(const std::string& path) {
  if (refuseUnitPath(path)) return errnoText(errno);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? "no such file" : errnoText(errno);  // door-ok: a file the user named, refused above when beneath the unit
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);  // door-ok: the same file the user named
  if (fd < 0) return errnoText(errno);
  ::close(fd);
  return std::string();
}

std::string createProblem(const std::string& dir) {
  if (refuseUnitPath(dir)) return errnoText(errno);
  const int fd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);  // door-ok: a directory the user named (export target), refused above when beneath the unit
  if (fd < 0) return errnoText(errno);
  int error = 0;
  if (::faccessat(fd, ".", W_OK | X_OK, 0) != 0) {  // door-ok: on the descriptor of that directory
    error = errno;
  } else {
    struct statvfs vfs;
    if (::fstatvfs(fd, &vfs) == 0) {
      const bool privileged = ::geteuid() == 0;
      const unsigned long long blocks = privileged ? vfs.f_bfree : vfs.f_bavail;
      const unsigned long long inodes = privileged ? vfs.f_ffree : vfs.f_favail;
      const unsigned long long unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
      if (blocks * unit < 4096 || (vfs.f_files != 0 && inodes == 0)) {
        error = ENOSPC;
      } else if ((vfs.f_flag & ST_RDONLY) != 0) {
        error = EROFS;
      }
    }
  }
  ::close(fd);
  return error == 0 ? std::string() : errnoText(error);
}

bool isRegularFileNoFollow(const std::string& path, long long* size) {
  if (refuseUnitPath(path)) return false;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;  // door-ok: a file the user named, refused above when beneath the unit
  *size = static_cast<long long>(st.st_size);
  return true;
}

bool listDirectory(const std::string& dir, std::vector<std::string>* names) {
  names->clear();
  if (refuseUnitPath(dir)) return false;
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);  // door-ok: TMPDIR or another directory outside every unit, refused above when beneath one
  if (fd < 0) return false;
  DIR* d = ::fdopendir(fd);  // door-ok: on the descriptor just opened
  if (d == nullptr) {
    ::close(fd);
    return false;
  }
  while (const dirent* entry = ::readdir(d)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names->push_back(entry->d_name);
  }
  ::closedir(d);
  return true;
}

bool isDirectory(const std::string& path) {
  if (refuseUnitPath(path)) return false;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);  // door-ok: a path the user named, refused above when beneath the unit
}

bool isRegularFile(const std::string& path) {
  if (refuseUnitPath(path)) return false;
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);  // door-ok: a path the user named, refused above when beneath the unit
}

bool pathExists(const std::string& path) {
  if (refuseUnitPath(path)) return false;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return true;  // door-ok: a path the user named, refused above when beneath the unit
  // Something is there that cannot be looked into (a dangling link is not).
  return errno != ENOENT && errno != ENOTDIR;
}

bool makeDirectories(const std::string& path) {
  if (path.empty() || refuseUnitPath(path)) return false;
  std::string partial;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    pos = slash + 1;
    if (partial.empty() || partial.back() == '/') continue;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;  // door-ok: the export directory the user named, refused above when beneath the unit
  }
  return isDirectory(path);
}

namespace {

// Removes name in dirFd and all beneath it, directories up to maxDepth deep;
// descriptor-relative, no link followed, so it never leaves the tree it was
// given. It asks for no memory (the directory is read into a buffer on the
// stack), so a signal handler may call it too. Whether name is gone.
bool removeTreeAt(int dirFd, const char* name, int depth, int maxDepth) {
  struct stat st;
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;  // door-ok: relative to a tree outside every unit, no link followed
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(dirFd, name, 0) == 0;  // door-ok: the same tree
  if (depth < maxDepth) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);  // door-ok: the same tree, no link followed
    if (fd >= 0) {
      // Removing while reading may make a pass skip an entry: passes repeat
      // while one removes something.
      for (int pass = 0; pass < 16; ++pass) {
        bool removed = false;
        if (::lseek(fd, 0, SEEK_SET) != 0) break;
        alignas(struct dirent64) char buf[2048];
        ssize_t n;
        while ((n = ::getdents64(fd, buf, sizeof buf)) > 0) {
          for (ssize_t off = 0; off < n;) {
            const struct dirent64* entry = reinterpret_cast<const struct dirent64*>(buf + off);
            off += entry->d_reclen;
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
            if (removeTreeAt(fd, entry->d_name, depth + 1, maxDepth)) removed = true;
          }
        }
        if (!removed) break;
      }
      ::close(fd);
    }
  }
  return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0;  // door-ok: the same tree
}

}  // namespace

void removeTreeNow(const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  removeTreeAt(AT_FDCWD, path, 0, 8);
}

void removeTree(const std::string& path) {
  if (path.empty() || refuseUnitPath(path)) return;
  removeTreeAt(AT_FDCWD, path.c_str(), 0, 64);
}

std::string absolutePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) return resolved;  // door-ok: the --root or a path the user named, before any unit is powered on
  return std::string();
}

bool changeDirectory(const std::string& dir, std::string* error) {
  if (refuseUnitPath(dir) || ::chdir(dir.c_str()) != 0) {  // door-ok: a directory the user named, refused when beneath the unit
    *error = "cannot enter '" + dir + "': " + errnoText(errno);
    return false;
  }
  return true;
}

std::string makeThrowAwayDirectory(const std::string& parent, const std::string& prefix, const std::string& marker) {
  std::string pattern = parent + "/" + prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) return std::string();  // door-ok: a throw-away unit under TMPDIR, made before it is powered on
  const std::string dir = absolutePath(buf.data());
  if (dir.empty()) return dir;
  const int fd = ::open((dir + "/" + marker).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);  // door-ok: the marker of that throw-away unit, before it is powered on
  if (fd >= 0) ::close(fd);
  return dir;
}

bool isMarkedDirectory(const std::string& path, const std::string& marker) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;  // door-ok: a throw-away unit of a dead run under TMPDIR, none powered on
  struct stat mark;
  return ::lstat((path + "/" + marker).c_str(), &mark) == 0 && S_ISREG(mark.st_mode);  // door-ok: its marker, no link followed
}

FileState fileState(const std::string& path) {
  FileState state;
  struct stat st;
  if (refuseUnitPath(path) || ::lstat(path.c_str(), &st) != 0) return state;  // door-ok: a file the user named, refused when beneath the unit
  state.exists = true;
  state.dev = static_cast<unsigned long long>(st.st_dev);
  state.ino = static_cast<unsigned long long>(st.st_ino);
  state.size = static_cast<long long>(st.st_size);
  state.ctimeNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
  state.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return state;
}

bool directoryChain(const std::string& dir, std::vector<std::pair<unsigned long long, unsigned long long>>* chain) {
  chain->clear();
  // Only looked at, never read or written: the climb may pass through a
  // unit's directories when dir lies in one, which is what it is to find.
  int fd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);  // door-ok: looked at, never read or written: the identity of each directory above it
  if (fd < 0) return false;
  for (int depth = 0; depth < 4096; ++depth) {
    struct stat st;
    if (::fstat(fd, &st) != 0) break;
    const auto id = std::make_pair(static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
    if (!chain->empty() && chain->back() == id) break;  // "/" is its own parent
    chain->push_back(id);
    const int up = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);  // door-ok: the parent of a directory only looked at
    ::close(fd);
    fd = up;
    if (fd < 0) break;
  }
  if (fd >= 0) ::close(fd);
  return !chain->empty();
}

std::string printable(const std::string& text, std::size_t limit) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (out.size() >= limit) {
      out += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace sysdatactl
