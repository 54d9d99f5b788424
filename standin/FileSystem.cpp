#include "standin/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "standin/RootedPath.h"

namespace standin {

FileSystem::~FileSystem() = default;

int FileSystem::Lock(int fd) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLKW, &fl) == 0) return 0;
    if (errno == EINTR) continue;
    if (errno != EINVAL) return -1;
    // No OFD locks in this kernel: flock belongs to the open file as well.
    while (::flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) return -1;
    }
    return 0;
  }
}

int FileSystem::Unlock(int fd) {
  struct flock fl = {};
  fl.l_type = F_UNLCK;
  fl.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
  return ::flock(fd, LOCK_UN);
}

int FileSystem::SetBlocking(int fd) {
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl < 0) return -1;
  return (fl & O_NONBLOCK) == 0 ? 0 : ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
}

int FileSystem::ListDir(const std::string& dir, std::vector<std::string>* names) {
  names->clear();
  // Resolved as every other path of the unit is: a link planted as the
  // directory cannot lead the listing out of the unit.
  const int fd = detail::OpenPath(dir.empty() ? std::string(".") : dir,
                                  O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC, 0);
  if (fd < 0) return -1;
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  while (const dirent* entry = ::readdir(d)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  ::closedir(d);
  return 0;
}

namespace {

// The directory holding a path's last component, resolved beneath the
// simulation root when the path lies there (so a link planted as a parent
// directory cannot redirect a creation, rename or removal), and that name.
struct Parent {
  explicit Parent(const std::string& path) { fd = detail::OpenParentOf(path, &name, &owned); }
  ~Parent() {
    if (owned && fd >= 0) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
    }
  }
  Parent(const Parent&) = delete;
  Parent& operator=(const Parent&) = delete;
  bool ok() const { return fd >= 0 || fd == AT_FDCWD; }
  int fd = -1;
  bool owned = false;
  std::string name;
};

class PosixFs final : public FileSystem {
 public:
  int Open(const std::string& path, int flags, unsigned int mode) override {
    return detail::OpenPath(path, flags, static_cast<mode_t>(mode));
  }

  int Close(int fd) override { return ::close(fd); }

  long long Read(int fd, void* buf, std::size_t size) override {
    ssize_t n;
    do {
      n = ::read(fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long long>(n);
  }

  long long Write(int fd, const void* data, std::size_t size) override {
    ssize_t n;
    do {
      n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long long>(n);
  }

  long long Seek(int fd, long long offset, int whence) override {
    return static_cast<long long>(::lseek(fd, static_cast<off_t>(offset), whence));
  }

  int Sync(int fd) override {
    int rc;
    do {
      rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc;
  }

  int SyncDir(const std::string& dir) override {
    const int fd = Open(dir.empty() ? std::string(".") : dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int rc = Sync(fd);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return rc;
  }

  int Rename(const std::string& from, const std::string& to) override {
    Parent a(from);
    if (!a.ok()) return -1;
    // A replacement renames within one directory: resolve it once.
    const std::size_t slashFrom = from.find_last_of('/');
    const std::size_t slashTo = to.find_last_of('/');
    if (a.owned && slashFrom != std::string::npos && slashFrom == slashTo &&
        from.compare(0, slashFrom, to, 0, slashTo) == 0) {
      return ::renameat(a.fd, a.name.c_str(), a.fd, to.c_str() + slashTo + 1);
    }
    Parent b(to);
    if (!b.ok()) return -1;
    return ::renameat(a.fd, a.name.c_str(), b.fd, b.name.c_str());
  }

  int Unlink(const std::string& path) override {
    Parent p(path);
    if (!p.ok()) return -1;
    return ::unlinkat(p.fd, p.name.c_str(), 0);
  }

  int Truncate(int fd, long long size) override {
    int rc;
    do {
      rc = ::ftruncate(fd, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc;
  }

  int Mkdir(const std::string& path, unsigned int mode) override {
    Parent p(path);
    if (!p.ok()) return -1;
    return ::mkdirat(p.fd, p.name.c_str(), static_cast<mode_t>(mode));
  }

  int Stat(const std::string& path, struct stat* st) override {
    detail::RootedPath rooted;
    if (!detail::SplitRootedAs(path, &rooted, false)) return ::stat(path.c_str(), st);
    return detail::StatBeneath(path, st);
  }

  int Fstat(int fd, struct stat* st) override { return ::fstat(fd, st); }
};

std::atomic<FileSystem*> g_current{nullptr};

}  // namespace

FileSystem* PosixFileSystem() {
  // Never destroyed: descriptors may still be closed through it while static
  // destructors run at exit.
  static FileSystem* const posix = new PosixFs();
  return posix;
}

FileSystem* GetFileSystem() {
  FileSystem* fs = g_current.load(std::memory_order_acquire);
  return fs != nullptr ? fs : PosixFileSystem();
}

void SetFileSystem(FileSystem* fs) { g_current.store(fs, std::memory_order_release); }

}  // namespace standin
