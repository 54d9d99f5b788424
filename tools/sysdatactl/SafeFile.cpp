#include "SafeFile.h"

#include <dirent.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "standin/FileSystem.h"

namespace sysdatactl {

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// 16 hexadecimal digits nobody can guess in advance.
std::string randomTag() {
  unsigned char bytes[8] = {};
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof bytes) {
    // No getrandom (an old kernel or emulator): the kernel's pool by file.
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0) {
      while (got < sizeof bytes) {
        const ssize_t n = ::read(fd, bytes + got, sizeof bytes - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      ::close(fd);
    }
  }
  if (got < sizeof bytes) {
    timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec) * 6364136223846793005ull ^
                                   static_cast<unsigned long long>(::getpid()) << 32 ^
                                   reinterpret_cast<std::uintptr_t>(&now);
    std::memcpy(bytes, &mix, sizeof bytes);
  }
  std::string tag;
  char buf[3];
  for (unsigned char b : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    tag += buf;
  }
  return tag;
}

// "." + name + "." + pid + "." + tag + ".tmp"
std::string tempNameFor(const std::string& name) {
  return "." + name + "." + std::to_string(::getpid()) + "." + randomTag() + ".tmp";
}

// A temporary file of name made by a process that no longer exists, owned
// by us: what a writer killed between creating and renaming leaves.
bool isDeadWritersTemp(int dirFd, const std::string& entry, const std::string& name) {
  const std::string head = "." + name + ".";
  const std::string tail = ".tmp";
  if (entry.size() <= head.size() + tail.size() || entry.compare(0, head.size(), head) != 0 ||
      entry.compare(entry.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  const std::string middle = entry.substr(head.size(), entry.size() - head.size() - tail.size());
  const std::size_t dot = middle.find('.');
  if (dot == 0 || dot == std::string::npos || dot > 10) return false;
  long long pid = 0;
  for (std::size_t i = 0; i < dot; ++i) {
    if (middle[i] < '0' || middle[i] > '9') return false;
    pid = pid * 10 + (middle[i] - '0');
  }
  if (pid <= 0 || pid > 0x7fffffffLL || pid == ::getpid()) return false;
  if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return false;
  struct stat st;
  if (::fstatat(dirFd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

void removeDeadWritersTemps(int dirFd, const std::string& name) {
  const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0) return;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  std::vector<std::string> dead;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.' && isDeadWritersTemp(dirFd, entry->d_name, name)) dead.push_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& entry : dead) ::unlinkat(dirFd, entry.c_str(), 0);
}

}  // namespace

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

int typeAt(int dirFd, const std::string& path, mode_t* mode) {
  struct stat st;
  if (::fstatat(dirFd, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return -1;
  *mode = st.st_mode;
  return 0;
}

ReadResult readRegularFile(int dirFd, const std::string& path, std::size_t limit, std::string* content,
                           bool followLink) {
  ReadResult result;
  result.limit = limit;
  // O_NONBLOCK: opening a FIFO for reading returns at once instead of
  // waiting for a writer; O_NOFOLLOW: a final link fails with ELOOP.
  Fd fd(::openat(dirFd, path.c_str(), O_RDONLY | (followLink ? 0 : O_NOFOLLOW) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int error = errno;
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
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) {
    result.error = errno;
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.status = ReadStatus::kNotRegular;
    return result;
  }
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > limit) {
    result.status = ReadStatus::kTooLarge;
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
    const ssize_t n = ::read(fd.get(), &data[got], data.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.error = errno;
      return result;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > limit) {
    result.status = ReadStatus::kTooLarge;
    return result;
  }
  data.resize(got);
  *content = std::move(data);
  result.status = ReadStatus::kOk;
  return result;
}

bool replaceFile(int dirFd, const std::string& name, const std::string& content, mode_t mode, std::string* reason) {
  removeDeadWritersTemps(dirFd, name);
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 8 && raw < 0; ++attempt) {
    temp = tempNameFor(name);
    raw = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (raw < 0 && errno != EEXIST) break;
  }
  if (raw < 0) {
    *reason = errnoText(errno);
    return false;
  }
  Fd fd(raw);
  auto failWith = [&](int error) {
    ::unlinkat(dirFd, temp.c_str(), 0);
    *reason = errnoText(error);
    return false;
  };
  if (!writeAll(fd.get(), content.data(), content.size())) return failWith(errno);
  if (::fsync(fd.get()) != 0) return failWith(errno);
  if (::close(fd.release()) != 0) return failWith(errno);
  if (::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) return failWith(errno);
  // The new name is durable only once the directory is.
  const int syncFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (syncFd < 0 || ::fsync(syncFd) != 0) {
    const int error = errno;
    if (syncFd >= 0) ::close(syncFd);
    *reason = errnoText(error);
    return false;
  }
  ::close(syncFd);
  return true;
}

std::string probeWritable(const std::string& dir) {
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return errnoText(errno);
  Fd dirHolder(dirFd);
  const std::string temp = tempNameFor("probe");
  const int raw = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (raw < 0) return errnoText(errno);
  Fd fd(raw);
  // An empty file needs no room: write a block to learn whether there is.
  const std::string block(4096, '\0');
  int error = 0;
  if (!writeAll(fd.get(), block.data(), block.size()) || ::fsync(fd.get()) != 0) error = errno;
  ::unlinkat(dirFd, temp.c_str(), 0);
  return error == 0 ? std::string() : errnoText(error);
}

bool makeDirectoriesBeneath(int dirFd, const std::string& path, std::string* reason) {
  int current = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (current < 0) {
    *reason = errnoText(errno);
    return false;
  }
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      ::close(current);
      *reason = "'..' in the path";
      return false;
    }
    if (::mkdirat(current, part.c_str(), 0755) != 0 && errno != EEXIST) {
      *reason = errnoText(errno);
      ::close(current);
      return false;
    }
    const int next = ::openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    struct stat st;
    const bool link = next < 0 && ::fstatat(current, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISLNK(st.st_mode);
    ::close(current);
    if (next < 0) {
      *reason = link ? "'" + part + "' is a symbolic link, which is not followed here" : errnoText(error);
      return false;
    }
    current = next;
  }
  ::close(current);
  return true;
}

std::string readProblem(const std::string& path) {
  // As the library would reach it: a link in the unit stays in the unit.
  standin::FileSystem* fs = standin::GetFileSystem();
  struct stat st;
  if (fs->Stat(path, &st) != 0) return errno == ENOENT ? "no such file" : errnoText(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = fs->Open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) return errnoText(errno);
  fs->Close(fd);
  return std::string();
}

std::string storeProblem(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return "not a regular file";
  const std::size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  return probeWritable(dir);
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
