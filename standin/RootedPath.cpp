#include "standin/RootedPath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/TqSimulation.h"

namespace standin {
namespace detail {

RootDir::~RootDir() {
  if (fd_ >= 0) ::close(fd_);
}

namespace {

std::atomic<int> g_walkForced{-1};      // -1: not decided yet (environment)
std::atomic<bool> g_openat2Missing{false};

std::mutex& RootMutex() {
  static std::mutex* const m = new std::mutex();
  return *m;
}

std::shared_ptr<RootDir>& CachedRoot() {
  static auto* const root = new std::shared_ptr<RootDir>();
  return *root;
}

// The root's descriptor, opened once per root. A root directory that was
// removed (and maybe made again under the same name) is opened again.
// validate: check that the kept descriptor's directory still exists (a
// caller that finds its file through it has shown that already).
std::shared_ptr<RootDir> RootFor(const std::string& root, bool validate) {
  std::lock_guard<std::mutex> lock(RootMutex());
  std::shared_ptr<RootDir>& cached = CachedRoot();
  if (cached && cached->path() == root) {
    struct stat st;
    if (!validate || (::fstat(cached->fd(), &st) == 0 && st.st_nlink > 0)) return cached;
  }
  int fd;
  do {
    fd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  cached = std::make_shared<RootDir>(fd, root);
  return cached;
}

void CloseKeepErrno(int fd) {
  const int saved = errno;
  ::close(fd);
  errno = saved;
}

// Appends the components of text to the front of comps, in order.
void PushFront(std::deque<std::string>* comps, const std::string& text) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t slash = text.find('/', pos);
    const std::size_t end = slash == std::string::npos ? text.size() : slash;
    if (end > pos) parts.emplace_back(text, pos, end - pos);
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  for (auto it = parts.rbegin(); it != parts.rend(); ++it) comps->push_front(*it);
}

bool ReadLinkAt(int dirfd, const std::string& name, std::string* target) {
  char buf[4096];
  const ssize_t n = ::readlinkat(dirfd, name.c_str(), buf, sizeof buf);
  if (n < 0) return false;
  if (static_cast<std::size_t>(n) >= sizeof buf) {
    errno = ENAMETOOLONG;
    return false;
  }
  target->assign(buf, static_cast<std::size_t>(n));
  return true;
}

// The component walk. Directories on the way are held as O_PATH
// descriptors in dirs (dirs[0] is the root, not owned); ".." pops one but
// never the root, and a link's target is spliced into what is left of the
// path (an absolute one from the root again).
class Walker {
 public:
  explicit Walker(int rootFd) { dirs_.push_back(rootFd); }
  ~Walker() {
    for (std::size_t i = 1; i < dirs_.size(); ++i) ::close(dirs_[i]);
  }
  Walker(const Walker&) = delete;
  Walker& operator=(const Walker&) = delete;

  // Resolves every component of rel but the last, leaving the last in
  // *last. With followLast, a last component that is a link is resolved
  // too (and the walk goes on with its target). The caller then works on
  // dir() and *last; Link(last) splices a link found there.
  bool Start(const std::string& rel) {
    PushFront(&comps_, rel);
    return true;
  }

  // Walks to the directory of the next last component. false with errno on
  // failure. *last is "." when the path ends in a directory itself.
  bool ToLast(std::string* last) {
    for (;;) {
      if (comps_.empty()) {
        *last = ".";
        return true;
      }
      std::string name = std::move(comps_.front());
      comps_.pop_front();
      if (name == ".") continue;
      if (name == "..") {
        Pop();
        continue;
      }
      if (comps_.empty()) {
        *last = std::move(name);
        return true;
      }
      int fd;
      do {
        fd = ::openat(dir(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
      } while (fd < 0 && errno == EINTR);
      if (fd < 0) return false;
      struct stat st;
      if (::fstat(fd, &st) != 0) {
        CloseKeepErrno(fd);
        return false;
      }
      if (S_ISLNK(st.st_mode)) {
        ::close(fd);
        if (!Splice(name)) return false;
        continue;
      }
      if (!S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = ENOTDIR;
        return false;
      }
      dirs_.push_back(fd);
    }
  }

  // name (in dir()) is a link: its target replaces it in the path.
  bool Splice(const std::string& name) {
    if (++links_ > kMaxLinks) {
      errno = ELOOP;
      return false;
    }
    std::string target;
    if (!ReadLinkAt(dir(), name, &target)) return false;
    if (target.empty()) {
      errno = ENOENT;
      return false;
    }
    if (target[0] == '/') {
      while (dirs_.size() > 1) Pop();
    }
    PushFront(&comps_, target);
    return true;
  }

  int dir() const { return dirs_.back(); }
  bool done() const { return comps_.empty(); }

  // A descriptor of dir() the caller owns.
  int TakeDir() {
    if (dirs_.size() == 1) return ::fcntl(dirs_[0], F_DUPFD_CLOEXEC, 0);
    const int fd = dirs_.back();
    dirs_.pop_back();
    return fd;
  }

 private:
  void Pop() {
    if (dirs_.size() > 1) {
      ::close(dirs_.back());
      dirs_.pop_back();
    }
  }

  std::vector<int> dirs_;
  std::deque<std::string> comps_;
  int links_ = 0;
};

int WalkOpen(int rootFd, const std::string& rel, int flags, mode_t mode) {
  Walker walker(rootFd);
  walker.Start(rel);
  const bool follow = (flags & O_NOFOLLOW) == 0;
  for (;;) {
    std::string last;
    if (!walker.ToLast(&last)) return -1;
    int fd;
    do {
      fd = ::openat(walker.dir(), last.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && (flags & O_PATH) != 0 && follow) {
      // O_PATH|O_NOFOLLOW opens a link itself rather than failing.
      struct stat st;
      if (::fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
        ::close(fd);
        if (!walker.Splice(last)) return -1;
        continue;
      }
    }
    if (fd >= 0) return fd;
    // A link met with O_NOFOLLOW fails with ELOOP, or with ENOTDIR when
    // O_DIRECTORY is asked for too.
    const int err = errno;
    if (!follow || (err != ELOOP && err != ENOTDIR)) return -1;
    struct stat st;
    if (::fstatat(walker.dir(), last.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode)) {
      errno = err;
      return -1;
    }
    if (!walker.Splice(last)) return -1;
  }
}

int WalkParent(int rootFd, const std::string& rel, std::string* last) {
  Walker walker(rootFd);
  walker.Start(rel);
  if (!walker.ToLast(last)) return -1;
  if (*last == "." || *last == "..") {
    errno = EINVAL;
    return -1;
  }
  return walker.TakeDir();
}

bool UseWalk() {
  int forced = g_walkForced.load(std::memory_order_relaxed);
  if (forced < 0) {
    const char* env = std::getenv("TQ_SIM_RESOLVE_WALK");
    forced = (env != nullptr && env[0] != '\0' && std::strcmp(env, "0") != 0) ? 1 : 0;
    g_walkForced.store(forced, std::memory_order_relaxed);
  }
  return forced == 1 || g_openat2Missing.load(std::memory_order_relaxed);
}

// openat2 beneath the root. -2: not usable here (the caller walks instead).
int Openat2(int rootFd, const char* rel, int flags, mode_t mode) {
  struct open_how how;
  std::memset(&how, 0, sizeof how);
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? mode : 0;
  how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS;
  long fd;
  int races = 0;
  for (;;) {
    fd = ::syscall(SYS_openat2, rootFd, rel, &how, sizeof how);
    if (fd >= 0 || errno == EINTR) {
      if (fd >= 0) break;
      continue;
    }
    // The kernel answers EAGAIN when a rename or mount anywhere on the
    // machine raced with the lookup and it cannot prove that ".." stayed
    // inside: try again, then let the walk decide.
    if (errno != EAGAIN) break;
    if (++races > 8) return -2;
  }
  if (fd >= 0) return static_cast<int>(fd);
  if (errno == ENOSYS) {
    g_openat2Missing.store(true, std::memory_order_relaxed);
    return -2;
  }
  // A seccomp filter that refuses the call answers EPERM (or, in some
  // sandboxes, EINVAL/E2BIG); the walk gives the real answer.
  if (errno == EPERM || errno == EINVAL || errno == E2BIG) return -2;
  return -1;
}

}  // namespace

bool SplitRooted(const std::string& path, RootedPath* out) { return SplitRootedAs(path, out, true); }

bool SplitRootedAs(const std::string& path, RootedPath* out, bool validateRoot) {
  out->root.reset();
  out->rel.clear();
  if (path.empty() || path[0] != '/') return false;
  const std::string root = TqSimRoot();
  if (root.empty() || root == "/") return false;
  const std::size_t n = root.size();
  if (path.size() <= n + 1 || path.compare(0, n, root) != 0 || path[n] != '/') return false;
  std::size_t start = n;
  while (start < path.size() && path[start] == '/') ++start;
  if (start == path.size()) return false;  // the root itself
  out->rel.assign(path, start, std::string::npos);
  out->root = RootFor(root, validateRoot);
  return true;
}

int OpenBeneath(int rootFd, const std::string& rel, int flags, mode_t mode) {
  if (!UseWalk()) {
    const int fd = Openat2(rootFd, rel.c_str(), flags, mode);
    if (fd != -2) return fd;
  }
  return WalkOpen(rootFd, rel, flags, mode);
}

int OpenParentBeneath(int rootFd, const std::string& rel, std::string* last) {
  std::size_t end = rel.size();
  while (end > 0 && rel[end - 1] == '/') --end;
  const std::size_t slash = rel.find_last_of('/', end == 0 ? 0 : end - 1);
  std::string name = slash == std::string::npos ? rel.substr(0, end) : rel.substr(slash + 1, end - slash - 1);
  if (!UseWalk() && !name.empty() && name != "." && name != "..") {
    if (slash == std::string::npos) {
      const int fd = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
      if (fd >= 0) *last = std::move(name);
      return fd;
    }
    const int fd = Openat2(rootFd, rel.substr(0, slash + 1).c_str(), O_PATH | O_DIRECTORY, 0);
    if (fd >= 0) *last = std::move(name);
    if (fd != -2) return fd;
  }
  return WalkParent(rootFd, rel, last);
}

int OpenPath(const std::string& path, int flags, mode_t mode) {
  RootedPath rooted;
  if (!SplitRooted(path, &rooted)) {
    int fd;
    do {
      fd = ::open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
  }
  if (!rooted.root) return -1;
  return OpenBeneath(rooted.root->fd(), rooted.rel, flags, mode);
}

int OpenParentOf(const std::string& path, std::string* last, bool* owned) {
  RootedPath rooted;
  if (!SplitRooted(path, &rooted)) {
    *owned = false;
    *last = path;
    return AT_FDCWD;
  }
  *owned = true;
  if (!rooted.root) return -1;
  return OpenParentBeneath(rooted.root->fd(), rooted.rel, last);
}

namespace {

// The kept directories of one root. Descriptors are closed only when the
// cache goes (with its root, once no caller uses it), so a caller may use a
// descriptor outside the mutex.
class DirCache {
 public:
  ~DirCache() {
    for (auto& entry : dirs_) ::close(entry.second);
    for (int fd : retired_) ::close(fd);
  }
  std::mutex mutex;
  std::unordered_map<std::string, int> dirs_;
  std::vector<int> retired_;
  std::weak_ptr<RootDir> root;
};

constexpr std::size_t kMaxKeptDirs = 64;

std::shared_ptr<DirCache> CacheFor(const std::shared_ptr<RootDir>& root) {
  static std::mutex* const mutex = new std::mutex();
  static auto* const current = new std::shared_ptr<DirCache>();
  std::lock_guard<std::mutex> lock(*mutex);
  if (!*current || (*current)->root.lock() != root) {
    *current = std::make_shared<DirCache>();
    (*current)->root = root;
  }
  return *current;
}

// The kept descriptor of directory relDir beneath root; -1 when it cannot be
// kept (the caller resolves the whole path instead).
// fresh: drop the kept descriptor and resolve the directory again.
int KeptDir(DirCache& cache, int rootFd, const std::string& relDir, bool fresh) {
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto it = cache.dirs_.find(relDir);
  if (it != cache.dirs_.end()) {
    if (!fresh) return it->second;
    // The old descriptor may be in use by another thread: keep it open.
    cache.retired_.push_back(it->second);
    cache.dirs_.erase(it);
  }
  if (cache.dirs_.size() >= kMaxKeptDirs || cache.retired_.size() >= kMaxKeptDirs) return -1;
  const int fd = OpenBeneath(rootFd, relDir, O_PATH | O_DIRECTORY, 0);
  if (fd < 0) return -1;
  cache.dirs_.emplace(relDir, fd);
  return fd;
}

int StatByResolution(int rootFd, const std::string& rel, struct stat* st) {
  const int fd = OpenBeneath(rootFd, rel, O_PATH, 0);
  if (fd < 0) return -1;
  const int rc = ::fstat(fd, st);
  CloseKeepErrno(fd);
  return rc;
}

}  // namespace

int StatBeneath(const std::string& path, struct stat* st) {
  // Found through the kept directory, a file shows that directory (and so
  // the root) still exists: the root is not checked first.
  RootedPath rooted;
  SplitRootedAs(path, &rooted, false);
  if (!rooted.root) return -1;
  const std::string& rel = rooted.rel;
  const std::size_t slash = rel.find_last_of('/');
  const std::string base = slash == std::string::npos ? rel : rel.substr(slash + 1);
  const std::string relDir = slash == std::string::npos ? std::string() : rel.substr(0, slash);
  if (!base.empty() && base != "." && base != "..") {
    // A file in the root itself needs no kept directory.
    const std::shared_ptr<DirCache> cache = relDir.empty() ? nullptr : CacheFor(rooted.root);
    const int dirFd = cache ? KeptDir(*cache, rooted.root->fd(), relDir, false) : rooted.root->fd();
    if (dirFd >= 0 && ::fstatat(dirFd, base.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(st->st_mode)) {
      return 0;
    }
    // Missing there, or a link (followed within the root, as by the full
    // resolution), or the kept directory is gone: resolve afresh.
    if (cache && dirFd >= 0) KeptDir(*cache, rooted.root->fd(), relDir, true);
  }
  SplitRootedAs(path, &rooted, true);
  if (!rooted.root) return -1;
  return StatByResolution(rooted.root->fd(), rel, st);
}

bool WalkForced() { return UseWalk(); }

void SetWalkForced(bool forced) { g_walkForced.store(forced ? 1 : 0, std::memory_order_relaxed); }

}  // namespace detail
}  // namespace standin
