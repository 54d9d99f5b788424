#include "bench/Floors.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/TqSimulation.h"

namespace sysdata_bench {
namespace {

bool writeAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::atomic<unsigned> g_tempCounter{0};

int parseInt(std::string_view text) {
  int value = 0;
  bool negative = false;
  std::size_t i = 0;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    i = 1;
  }
  for (; i < text.size(); ++i) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

}  // namespace

void lockFdFor(int fd, short type) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  while (::fcntl(fd, type == F_UNLCK ? F_OFD_SETLK : F_OFD_SETLKW, &fl) != 0 && errno == EINTR) {
  }
}


void ParsedText::parse(std::string text) {
  text_ = std::move(text);
  entries_.clear();
  const char* p = text_.data();
  const char* end = p + text_.size();
  while (p < end) {
    const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (eol == nullptr) eol = end;
    const char* eq = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(eol - p)));
    if (eq != nullptr && eq > p) {
      entries_.emplace_back(std::string_view(p, static_cast<std::size_t>(eq - p)),
                            std::string_view(eq + 1, static_cast<std::size_t>(eol - eq - 1)));
    }
    p = eol + 1;
  }
}

const std::string_view* ParsedText::find(std::string_view key) const {
  for (const auto& e : entries_) {
    if (e.first == key) return &e.second;
  }
  return nullptr;
}

std::string ParsedText::serialiseWith(std::string_view key, std::string_view value) const {
  std::string out;
  out.reserve(text_.size() + key.size() + value.size() + 2);
  bool found = false;
  for (const auto& e : entries_) {
    out.append(e.first);
    out.push_back('=');
    if (e.first == key) {
      out.append(value);
      found = true;
    } else {
      out.append(e.second);
    }
    out.push_back('\n');
  }
  if (!found) {
    out.append(key);
    out.push_back('=');
    out.append(value);
    out.push_back('\n');
  }
  return out;
}

std::string ParsedText::serialise() const {
  std::string out;
  out.reserve(text_.size());
  for (const auto& e : entries_) {
    out.append(e.first);
    out.push_back('=');
    out.append(e.second);
    out.push_back('\n');
  }
  return out;
}

FloorDir::FloorDir(std::string path) : path_(std::move(path)) {
  ::mkdir(path_.c_str(), 0755);
  fd_ = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) {
    std::fprintf(stderr, "cannot open floor directory %s\n", path_.c_str());
    std::abort();
  }
}

FloorDir::~FloorDir() {
  if (fd_ >= 0) ::close(fd_);
}

std::string FloorDir::read(const std::string& name) const { return readWhole(path(name)); }

std::string readWhole(const std::string& path) {
  std::string out;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

bool FloorDir::replaceDurably(const std::string& name, const void* data, std::size_t size) const {
  const std::string target = path(name);
  const std::string temp = path("." + name + "." + std::to_string(g_tempCounter.fetch_add(1)) + ".tmp");
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool ok = writeAll(fd, data, size) && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return ::fsync(fd_) == 0;
}

bool FloorDir::copyDurably(const std::string& fromPath, const std::string& name) const {
  return replaceDurably(name, readWhole(fromPath));
}

bool FloorDir::writePlain(const std::string& name, const void* data, std::size_t size) const {
  std::FILE* f = std::fopen(path(name).c_str(), "w");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void contractGet(int lockFd, const std::string& path) {
  struct stat st;
  lockFdFor(lockFd, F_WRLCK);
  ::stat(path.c_str(), &st);
  lockFdFor(lockFd, F_UNLCK);
}

int floorGet(const FloorDir& dir, const std::string& name, const char* key) {
  ParsedText parsed;
  parsed.parse(dir.read(name));
  const std::string_view* value = parsed.find(key);
  return value == nullptr ? 0 : parseInt(*value);
}

void floorSet(const FloorDir& dir, const std::string& name, const char* key, int value) {
  ParsedText parsed;
  parsed.parse(dir.read(name));
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%d", value);
  dir.replaceDurably(name, parsed.serialiseWith(key, std::string_view(text, static_cast<std::size_t>(n))));
}

FloorSegment::FloorSegment(const char* hostName, std::size_t recordSize, const std::string& lockPath)
    // shm_open places the name in the unit's namespace, as it does for the
    // library's segments.
    : shmName_(std::string("/") + hostName), segmentSize_(recordSize + 4) {
  lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd_ < 0) {
    std::fprintf(stderr, "cannot open floor lock %s\n", lockPath.c_str());
    std::abort();
  }
}

FloorSegment::~FloorSegment() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

std::uint32_t FloorSegment::cycle(std::size_t offset, int words) const {
  const int fd = ::shm_open(shmName_.c_str(), O_RDWR, 0);
  if (fd < 0) return 0;
  void* map = ::mmap(nullptr, segmentSize_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  std::uint32_t sum = 0;
  if (map != MAP_FAILED) {
    const unsigned char* record = static_cast<const unsigned char*>(map) + 4;
    lockFdFor(lockFd_, F_WRLCK);
    for (int w = 0; w < words; ++w) {
      std::uint32_t v;
      std::memcpy(&v, record + offset + 4 * static_cast<std::size_t>(w), 4);
      sum += v;
    }
    lockFdFor(lockFd_, F_UNLCK);
    ::munmap(map, segmentSize_);
  }
  ::close(fd);
  return sum;
}

void FloorSegment::designCycle(int holds, const std::function<void(unsigned char* record)>& access) const {
  lockFdFor(lockFd_, F_WRLCK);
  int fd = ::shm_open(shmName_.c_str(), O_CREAT | O_EXCL | O_RDWR, 0664);
  if (fd < 0 && errno == EEXIST) fd = ::shm_open(shmName_.c_str(), O_CREAT | O_RDWR, 0664);
  if (fd < 0) {
    lockFdFor(lockFd_, F_UNLCK);
    return;
  }
  // The segment template checks the size of a segment it did not create.
  struct stat st;
  ::fstat(fd, &st);
  void* map = ::mmap(nullptr, segmentSize_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map != MAP_FAILED) {
    const std::uint32_t size = static_cast<std::uint32_t>(segmentSize_ - 4);
    std::memcpy(map, &size, 4);
  }
  lockFdFor(lockFd_, F_UNLCK);
  if (map != MAP_FAILED) {
    unsigned char* record = static_cast<unsigned char*>(map) + 4;
    for (int h = 0; h < holds; ++h) {
      lockFdFor(lockFd_, F_WRLCK);
      if (h == holds - 1) {
        access(record);
      } else {
        static_cast<void>(*static_cast<volatile unsigned char*>(record));
      }
      lockFdFor(lockFd_, F_UNLCK);
    }
    ::munmap(map, segmentSize_);
  }
  ::close(fd);
}

std::uint32_t FloorSegment::designCycle(std::size_t offset, int words, int holds) const {
  std::uint32_t sum = 0;
  designCycle(holds, [&](unsigned char* record) {
    for (int w = 0; w < words; ++w) {
      std::uint32_t v;
      std::memcpy(&v, record + offset + 4 * static_cast<std::size_t>(w), 4);
      sum += v;
    }
  });
  return sum;
}

void FloorSegment::copyOutAndBack(unsigned char* buffer) const {
  const int fd = ::shm_open(shmName_.c_str(), O_RDWR, 0);
  if (fd < 0) return;
  void* map = ::mmap(nullptr, segmentSize_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map != MAP_FAILED) {
    unsigned char* record = static_cast<unsigned char*>(map) + 4;
    const std::size_t size = segmentSize_ - 4;
    lockFdFor(lockFd_, F_WRLCK);
    std::memcpy(buffer, record, size);
    std::memcpy(record, buffer, size);
    lockFdFor(lockFd_, F_UNLCK);
    ::munmap(map, segmentSize_);
  }
  ::close(fd);
}

std::string keyValueText(const std::vector<std::pair<std::string, int>>& entries) {
  std::string out;
  for (const auto& e : entries) out += e.first + "=" + std::to_string(e.second) + "\n";
  return out;
}

}  // namespace sysdata_bench
