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
  if (from == nullptr || to == nullptr || from[0] == '\0' || to[0] == '\0') return false;
  const std::string source = TqSimPath(from);
  const std::string target = TqSimPath(to);
  standin::FileSystem* fs = standin::GetFileSystem();
  const int in = fs->Open(source, O_RDONLY | O_CLOEXEC, 0);
  if (in < 0) return false;
  struct stat st;
  if (fs->Fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    fs->Close(in);
    return false;
  }
  standin::detail::AtomicWriter writer;
  if (!writer.Begin(target)) {
    fs->Close(in);
    return false;
  }
  char chunk[65536];
  for (;;) {
    const long long n = fs->Read(in, chunk, sizeof chunk);
    if (n < 0) {
      fs->Close(in);
      return false;  // the writer drops its temporary file
    }
    if (n == 0) break;
    if (!writer.Append(chunk, static_cast<std::size_t>(n))) {
      fs->Close(in);
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
    // A removal that a power cut could undo would bring back, for example, a
    // one-shot customization that was already applied.
    fs->SyncDir(standin::detail::DirName(where));
    return true;
  }
  if (errno == ENOENT || errno == ENOTDIR) return true;
  struct stat st;
  return fs->Stat(where, &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}
