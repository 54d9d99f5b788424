#include "UnitAccess.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/UnitFiles.h"

namespace sysdatactl {

UnitPath::UnitPath(std::string hostPath) : host_(std::move(hostPath)) {
  if (host_.empty() || host_[0] != '/') host_.insert(0, "/");
  while (host_.size() > 1 && host_.back() == '/') host_.pop_back();
}

UnitPath UnitPath::child(const std::string& name) const {
  return UnitPath(host_ == "/" ? "/" + name : host_ + "/" + name);
}

std::string UnitPath::name() const {
  const std::size_t slash = host_.find_last_of('/');
  return host_.substr(slash + 1);
}

std::string hostPathOfStoreFile(const std::string& storePath) {
  const std::string root = TqSimRoot();
  if (root.empty() || root == "/" || storePath.size() <= root.size() + 1 ||
      storePath.compare(0, root.size(), root) != 0 || storePath[root.size()] != '/') {
    return std::string();
  }
  return storePath.substr(root.size());
}

bool descriptorsExhausted() {
  const int saved = errno;
  // A few at once: the store needs a descriptor for the file, its lock and
  // its directory.
  int fds[3] = {-1, -1, -1};
  bool exhausted = false;
  for (int& fd : fds) {
    fd = ::fcntl(2, F_DUPFD_CLOEXEC, 0);
    if (fd < 0 && errno == EMFILE) exhausted = true;
    if (fd < 0) break;
  }
  for (int fd : fds) {
    if (fd >= 0) standin::GetFileSystem()->Close(fd);
  }
  errno = saved;
  return exhausted;
}

bool unitIsDirectory(const UnitPath& path) {
  struct stat st;
  return standin::unit::Stat(path.host(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool unitIsRegularFile(const UnitPath& path) {
  struct stat st;
  return standin::unit::Stat(path.host(), &st) == 0 && S_ISREG(st.st_mode);
}

bool unitExists(const UnitPath& path) {
  struct stat st;
  if (standin::unit::Stat(path.host(), &st) == 0) return true;
  // Something is there that cannot be looked into (a dangling link is not).
  return errno != ENOENT && errno != ENOTDIR;
}

long long unitFileSize(const UnitPath& path) {
  struct stat st;
  if (standin::unit::Stat(path.host(), &st) != 0) return -1;
  return static_cast<long long>(st.st_size);
}

namespace {

ReadResult readOpen(standin::FileSystem* fs, int fd, std::size_t limit, std::string* content) {
  ReadResult result;
  result.limit = limit;
  struct stat st;
  if (fs->Fstat(fd, &st) != 0) {
    result.error = errno;
    fs->Close(fd);
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.status = ReadStatus::kNotRegular;
    fs->Close(fd);
    return result;
  }
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > limit) {
    result.status = ReadStatus::kTooLarge;
    fs->Close(fd);
    return result;
  }
  std::string data;
  data.resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  // The file may grow after the fstat: read one byte past the limit at most.
  for (;;) {
    if (got == data.size()) {
      if (data.size() > limit) break;
      data.resize(data.size() + 1);
    }
    const long long n = fs->Read(fd, &data[got], data.size() - got);
    if (n < 0) {
      result.error = errno;
      fs->Close(fd);
      return result;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  fs->Close(fd);
  if (got > limit) {
    result.status = ReadStatus::kTooLarge;
    return result;
  }
  data.resize(got);
  *content = std::move(data);
  result.status = ReadStatus::kOk;
  return result;
}

}  // namespace

ReadResult readOpenFile(int fd, std::size_t limit, std::string* content) {
  return readOpen(standin::GetFileSystem(), fd, limit, content);
}

ReadResult readMachineFile(int fd, std::size_t limit, std::string* content) {
  return readOpen(standin::PosixFileSystem(), fd, limit, content);
}

ReadResult readUnitFile(const UnitPath& path, std::size_t limit, std::string* content, bool followLink) {
  // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer.
  const int fd = standin::unit::Open(path.host(), O_RDONLY | (followLink ? 0 : O_NOFOLLOW) | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return openFailure(errno, limit);
  return readOpenFile(fd, limit, content);
}

std::string unitReadProblem(const UnitPath& path) {
  struct stat st;
  if (standin::unit::Stat(path.host(), &st) != 0) return errno == ENOENT ? "no such file" : errnoText(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = standin::unit::Open(path.host(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return errnoText(errno);
  standin::GetFileSystem()->Close(fd);
  return std::string();
}

std::string unitCreateProblem(const UnitPath& dir) {
  if (standin::unit::CheckCreatable(dir.host()) == 0) return std::string();
  return errnoText(errno);
}

std::string unitStoreProblem(const UnitPath& path) {
  struct stat st;
  if (standin::unit::Stat(path.host(), &st) == 0 && !S_ISREG(st.st_mode)) return "not a regular file";
  const std::size_t slash = path.host().find_last_of('/');
  return unitCreateProblem(UnitPath(slash == 0 ? "/" : path.host().substr(0, slash)));
}

bool replaceUnitFile(const UnitPath& path, const std::string& content, unsigned int mode, std::string* reason) {
  if (standin::unit::ReplaceFile(path.host(), content, mode) == 0) return true;
  *reason = errnoText(errno);
  return false;
}

bool removeUnitFile(const UnitPath& path, std::string* reason) {
  if (standin::unit::Unlink(path.host()) != 0) {
    if (errno == ENOENT) return true;
    *reason = errnoText(errno);
    return false;
  }
  const std::string& host = path.host();
  const std::size_t slash = host.rfind('/');
  const std::string dir = slash == 0 || slash == std::string::npos ? "/" : host.substr(0, slash);
  if (standin::unit::SyncDir(dir) != 0) {
    *reason = errnoText(errno);
    return false;
  }
  return true;
}

bool makeUnitDirectories(const UnitPath& dir, std::string* reason) {
  std::string partial;
  std::size_t pos = 1;
  const std::string& host = dir.host();
  while (pos <= host.size()) {
    std::size_t slash = host.find('/', pos);
    if (slash == std::string::npos) slash = host.size();
    const std::string part = host.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      *reason = "'..' in the path";
      return false;
    }
    partial += "/" + part;
    struct stat st;
    if (standin::unit::Lstat(partial, &st) != 0) {
      if (errno != ENOENT) {
        *reason = errnoText(errno);
        return false;
      }
      if (standin::unit::Mkdir(partial, 0755) != 0) {
        if (errno != EEXIST) {
          *reason = errnoText(errno);
          return false;
        }
      } else {
        // A directory made is there after a power cut only once the one
        // holding it is synced: before anything is written into it.
        const std::size_t above = partial.find_last_of('/');
        if (standin::unit::SyncDir(above == 0 ? std::string("/") : partial.substr(0, above)) != 0) {
          *reason = errnoText(errno);
          return false;
        }
      }
      if (standin::unit::Lstat(partial, &st) != 0) {
        *reason = errnoText(errno);
        return false;
      }
    }
    if (S_ISLNK(st.st_mode)) {
      *reason = "'" + part + "' is a symbolic link, which is not followed here";
      return false;
    }
    if (!S_ISDIR(st.st_mode)) {
      *reason = "'" + partial + "' is not a directory";
      return false;
    }
  }
  return true;
}

bool unitDirectoryId(const UnitPath& dir, DirectoryId* id) {
  return standin::unit::DirectoryId(dir.host(), &id->dev, &id->ino) == 0;
}

}  // namespace sysdatactl
