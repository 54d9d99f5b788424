#include "platform/TqFileSys.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/FileUtil.h"

bool TqFileSys::IsExist(const char* path) {
  if (path == nullptr || path[0] == '\0') return false;
  struct stat st;
  return standin::GetFileSystem()->Stat(TqSimPath(path), &st) == 0;
}

bool TqFileSys::Copy(const char* from, const char* to, bool /*overwriteReadOnly*/, bool /*keepTimes*/) {
  if (from == nullptr || to == nullptr || from[0] == '\0' || to[0] == '\0') {
    errno = EINVAL;
    return false;
  }
  const std::string source = TqSimPath(from);
  const std::string target = TqSimPath(to);
  standin::FileSystem* fs = standin::GetFileSystem();
  // Never blocks on a FIFO or a device; refuses anything but a regular file.
  struct stat st;
  const int in = standin::detail::OpenRegular(source, O_RDONLY, 0, &st);
  if (in < 0) return false;
  if (st.st_size > kMaxCopySize) {
    fs->Close(in);
    errno = EFBIG;
    return false;
  }
  // The copy never grants more than its source did: a 0600 source gives a
  // 0600 copy (the umask may take away more).
  standin::detail::AtomicWriter writer;
  if (!writer.Begin(target, static_cast<unsigned int>(st.st_mode) & 0666u)) {
    const int saved = errno;
    fs->Close(in);
    errno = saved;
    return false;
  }
  char chunk[65536];
  long long total = 0;
  for (;;) {
    const long long n = fs->Read(in, chunk, sizeof chunk);
    if (n < 0) {
      const int saved = errno;
      fs->Close(in);
      errno = saved;
      return false;  // the writer drops its temporary file
    }
    if (n == 0) break;
    total += n;
    if (total > kMaxCopySize) {
      // Grew past the limit while being copied.
      fs->Close(in);
      errno = EFBIG;
      return false;
    }
    if (!writer.Append(chunk, static_cast<std::size_t>(n))) {
      const int saved = errno;
      fs->Close(in);
      errno = saved;
      return false;
    }
  }
  fs->Close(in);
  return writer.Commit();
}

bool TqFileSys::Delete(const char* path, bool /*force*/) {
  if (path == nullptr || path[0] == '\0') return false;
  const std::string where = TqSimPath(path);
  standin::FileSystem* fs = standin::GetFileSystem();
  if (fs->Unlink(where) == 0) {
    const int saved = errno;
    // A removal that a power cut could undo would bring back, for example, a
    // one-shot customization that was already applied.
    fs->SyncDir(standin::detail::DirName(where));
    errno = saved;
    return true;
  }
  if (errno == ENOENT || errno == ENOTDIR) return true;
  const int reason = errno;
  struct stat st;
  if (fs->Stat(where, &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return true;
  errno = reason;
  return false;
}
