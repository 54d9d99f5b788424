#include "platform/TqStorage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/FileUtil.h"

struct TqStorage::Impl {
  enum class Mode { kNone, kRead, kWrite };
  Mode mode = Mode::kNone;

  // Read mode: the descriptor and a read-ahead buffer.
  int fd = -1;
  std::vector<char> buffer;
  std::size_t begin = 0;  // next unread byte in buffer
  std::size_t end = 0;    // bytes held in buffer
  bool failed = false;    // a read error ends the stream

  // Write mode: the whole-file replacement; a failed write spoils it.
  standin::detail::AtomicWriter writer;
  bool writeFailed = false;

  // Next byte, or -1 at the end of the file or on error.
  int next() {
    if (begin == end) {
      if (failed) return -1;
      const long long n = standin::GetFileSystem()->Read(fd, buffer.data(), buffer.size());
      if (n <= 0) {
        if (n < 0) failed = true;
        return -1;
      }
      begin = 0;
      end = static_cast<std::size_t>(n);
    }
    return static_cast<unsigned char>(buffer[begin++]);
  }
};

TqStorage::TqStorage() : impl_(new Impl()) {}

TqStorage::TqStorage(const char* path, const char* mode) : impl_(new Impl()) { Open(path, mode); }

TqStorage::~TqStorage() {
  Close();
  delete impl_;
}

bool TqStorage::Open(const char* path, const char* mode) {
  if (impl_->mode != Impl::Mode::kNone) Close();
  if (path == nullptr || path[0] == '\0' || mode == nullptr) return false;
  const std::string where = TqSimPath(path);
  if (std::strcmp(mode, "w") == 0) {
    if (!impl_->writer.Begin(where)) return false;
    impl_->writeFailed = false;
    impl_->mode = Impl::Mode::kWrite;
    return true;
  }
  if (std::strcmp(mode, "rb") == 0 || std::strcmp(mode, "r") == 0) {
    // A FIFO or a device is refused without blocking, a directory too.
    struct stat st;
    const int fd = standin::detail::OpenRegular(where, O_RDONLY, 0, &st);
    if (fd < 0) return false;
    if (st.st_size > kMaxReadSize) {
      standin::GetFileSystem()->Close(fd);
      errno = EFBIG;
      return false;
    }
    impl_->fd = fd;
    impl_->buffer.resize(8192);
    impl_->begin = impl_->end = 0;
    impl_->failed = false;
    impl_->mode = Impl::Mode::kRead;
    return true;
  }
  return false;
}

bool TqStorage::IsOpen() const { return impl_->mode != Impl::Mode::kNone; }

long long TqStorage::Write(const void* data, long long size) {
  if (impl_->mode != Impl::Mode::kWrite || size < 0) return -1;
  if (size == 0) return 0;
  if (data == nullptr) return -1;
  if (!impl_->writer.Append(data, static_cast<std::size_t>(size))) {
    // Part of the data may be in the temporary file: never publish it.
    impl_->writeFailed = true;
    return -1;
  }
  return size;
}

int TqStorage::ReadLine(char* buf, int size) {
  if (impl_->mode != Impl::Mode::kRead || buf == nullptr || size <= 0) return -1;
  const std::size_t room = static_cast<std::size_t>(size) - 1;
  std::size_t n = 0;
  bool got = false;
  for (;;) {
    const int c = impl_->next();
    if (c < 0) break;
    got = true;
    if (n < room) {
      buf[n++] = static_cast<char>(c);
      if (c == '\n') break;
    } else {
      // The buffer is full: drop the rest of this line, its line feed too, so
      // that the next call starts at the next line whatever the buffer size.
      int d = c;
      while (d >= 0 && d != '\n') d = impl_->next();
      break;
    }
  }
  buf[n] = '\0';
  return got ? 0 : -1;
}

int TqStorage::Seek(long long offset, EN_POS pos) {
  if (impl_->mode != Impl::Mode::kRead) return -1;
  int whence;
  switch (pos) {
    case TQ_SEEK_SET:
      whence = SEEK_SET;
      break;
    case TQ_SEEK_CUR:
      whence = SEEK_CUR;
      // The descriptor is ahead of the reader by what is still buffered.
      offset -= static_cast<long long>(impl_->end - impl_->begin);
      break;
    case TQ_SEEK_END:
      whence = SEEK_END;
      break;
    default:
      return -1;
  }
  if (standin::GetFileSystem()->Seek(impl_->fd, offset, whence) < 0) return -1;
  impl_->begin = impl_->end = 0;
  impl_->failed = false;
  return 0;
}

int TqStorage::Close() {
  const Impl::Mode mode = impl_->mode;
  impl_->mode = Impl::Mode::kNone;
  if (mode == Impl::Mode::kRead) {
    const int fd = impl_->fd;
    impl_->fd = -1;
    impl_->buffer.clear();
    impl_->buffer.shrink_to_fit();
    return standin::GetFileSystem()->Close(fd) == 0 ? 0 : -1;
  }
  if (mode == Impl::Mode::kWrite) {
    if (impl_->writeFailed) {
      impl_->writer.Abort();
      return -1;
    }
    return impl_->writer.Commit() ? 0 : -1;
  }
  return -1;
}
