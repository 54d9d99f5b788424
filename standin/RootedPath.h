// Resolution of paths beneath the simulation root.
//
// A simulated unit is a directory that someone else may have filled: any
// directory or file in it can be a symbolic link, and a link must never lead
// out of the unit. Every path beneath the root is therefore resolved as if
// the root were "/": an absolute link target starts again at the root, ".."
// never climbs above it, and "/proc"-style magic links are refused. Linux's
// openat2(RESOLVE_IN_ROOT) does exactly this; where the kernel (or an
// emulator, or a seccomp filter) lacks it, the path is walked one component
// at a time with O_PATH|O_NOFOLLOW and each link is resolved here, within
// the root, at most kMaxLinks times.
//
// Paths that do not lie beneath the root (no root set, a relative path, the
// root itself) are not touched: callers use the plain system calls for them,
// as the real host does.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>

namespace standin {
namespace detail {

constexpr int kMaxLinks = 40;

// An open descriptor of the current simulation root.
class RootDir {
 public:
  RootDir(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~RootDir();
  RootDir(const RootDir&) = delete;
  RootDir& operator=(const RootDir&) = delete;
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

// A path beneath the root: the root's descriptor and the path relative to it.
struct RootedPath {
  std::shared_ptr<RootDir> root;  // null: not beneath a root
  std::string rel;                // never empty when root is set
};

// Splits path into root and relative part when it lies strictly beneath the
// current simulation root. false (and out->root null) otherwise. When the
// root directory itself cannot be opened, returns true with out->root null
// and errno set: the caller must fail the call rather than use the path as
// it stands.
bool SplitRooted(const std::string& path, RootedPath* out);
// The same; validateRoot false skips the check that the root directory
// still exists (the caller proves it otherwise).
bool SplitRootedAs(const std::string& path, RootedPath* out, bool validateRoot);

// open(2) of rel beneath root: flags as for open; a link in the last
// component is followed within the root unless flags has O_NOFOLLOW.
int OpenBeneath(int rootFd, const std::string& rel, int flags, mode_t mode);

// The directory that holds the last component of rel, resolved beneath root
// (links in the directories followed within the root), as an O_PATH
// descriptor the caller closes, and that last component (not resolved).
// -1 with errno on failure.
int OpenParentBeneath(int rootFd, const std::string& rel, std::string* last);

// stat(2) of path (which lies beneath the root: SplitRooted said so), a link
// in the last component followed within the root. The directories that hold the files looked at are kept open (as
// O_PATH descriptors resolved beneath the root, so they can never point out
// of it even if a directory is later replaced by a link): a settings file
// is checked at every open, and a full resolution each time would cost more
// than the check itself. When the file is not found through a kept
// directory, the directory is resolved again (it may have been removed or
// replaced) and the answer is that of the full resolution. (A directory
// renamed away while its files stay is still looked in until a file is not
// found there: never outside the root, but possibly out of date.)
int StatBeneath(const std::string& path, struct stat* st);

// The same operations for any path: beneath the root when the path lies
// there, plain otherwise. OpenParentOf returns AT_FDCWD (nothing to close)
// and the path itself as *last for a path outside the root; *owned says
// whether the descriptor must be closed.
int OpenPath(const std::string& path, int flags, mode_t mode);
int OpenParentOf(const std::string& path, std::string* last, bool* owned);

// Whether the component walk replaces openat2 (forced, or openat2 missing).
bool WalkForced();
void SetWalkForced(bool forced);

}  // namespace detail
}  // namespace standin
