#include "ApplyMarker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "standin/FileSystem.h"

namespace sysdatactl {

namespace {

std::string markerPath(const std::string& root) { return root + "/" + kApplyMarkerName; }

std::string reasonOf(const std::string& what, const std::string& path, int error) {
  return "cannot " + what + " " + path + ": " + std::strerror(error);
}

}  // namespace

bool applyPending(const std::string& root) {
  struct stat st;
  return standin::GetFileSystem()->Stat(markerPath(root), &st) == 0 && S_ISREG(st.st_mode);
}

bool markApplyStarted(const std::string& root, std::string* error) {
  standin::FileSystem* fs = standin::GetFileSystem();
  const std::string path = markerPath(root);
  // Never through a link; a record left by a cut apply is simply reused.
  const int fd = fs->Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = reasonOf("record the customization apply in", path, errno);
    return false;
  }
  struct stat st;
  if (fs->Fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    fs->Close(fd);
    *error = "cannot record the customization apply in " + path + ": not a regular file";
    return false;
  }
  static const char kText[] = "a customization apply is under way; the next boot finishes it\n";
  const long long n = fs->Write(fd, kText, sizeof kText - 1);
  const bool synced = n == static_cast<long long>(sizeof kText - 1) && fs->Sync(fd) == 0;
  const int saved = errno;
  if (fs->Close(fd) != 0 || !synced) {
    *error = reasonOf("record the customization apply in", path, synced ? errno : saved);
    return false;
  }
  // The record's name is durable only once its directory is.
  if (fs->SyncDir(root) != 0) {
    *error = reasonOf("record the customization apply in", root, errno);
    return false;
  }
  return true;
}

bool markApplyFinished(const std::string& root, std::string* error) {
  standin::FileSystem* fs = standin::GetFileSystem();
  const std::string path = markerPath(root);
  if (fs->Unlink(path) != 0) {
    if (errno == ENOENT) return true;
    *error = reasonOf("remove", path, errno);
    return false;
  }
  if (fs->SyncDir(root) != 0) {
    *error = reasonOf("remove", path, errno);
    return false;
  }
  return true;
}

}  // namespace sysdatactl
