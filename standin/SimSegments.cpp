// Each simulated unit's own namespace of shared-memory segments.
//
// A unit's segments are named "/<prefix><name>" with a prefix of six
// characters ("u" and five hex digits), short enough that a 248-character
// segment name still fits a file name of /dev/shm. A prefix is derived from
// the root, but 20 bits cannot tell every root apart, so it is CLAIMED: a file
// "/dev/shm/<prefix>" that records the root's path and identity (device and
// inode), made complete under a private name and then linked into place, so
// that it appears whole or not at all and only one root can own it. A root
// whose first candidate is held by another live root takes the next one.
//
// The claim is checked at the first segment use of every power-on (each
// process, and each TqSimSetRoot). A claim whose root no longer exists, or is
// another directory now, belongs to a unit that is gone, and so does the
// claim of a temporary unit (one made for a single run) whose run has died:
// their segments and the claim are removed by the next claimer, as are
// half-made claim files of killed runs. A prefix named by TQ_SIM_SHM_PREFIX
// is claimed the same way, and refused while another live unit holds it.
//
// Claims, sweeps and removals of one user's units are serialised by a lock
// file in that user's own lock directory, which no other user can open, so
// no other user's process can stall them; the claim itself (a link, which
// fails when the name exists) keeps two users' units apart. Every wait for
// the lock ends at the process's wait deadline (FileUtil.h) and after a few
// seconds in any case.
//
// The stand-in also defines shm_open and shm_unlink, which map a name into the
// current unit's namespace and forward to the C library's own functions. The
// product library calls plain shm_open: on the real host, which has no such
// wrapper, the names stay unchanged. For the wrapper to be found, this library
// must come before the C library in the process's global symbol scope (link it
// into the executable, or preload it). Where it does not, the product's calls
// would reach the C library directly and units would share the machine's
// segments, so a power-on with a root refuses, saying how to link. A program
// linked statically has no C library to forward to (and no other shm_open
// than this one): there the wrapper opens the name in /dev/shm itself, as the
// C library would.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"
#include "standin/FileUtil.h"
#include "standin/SimulationState.h"

namespace standin {
namespace detail {
namespace {

constexpr const char kShmDir[] = "/dev/shm";
constexpr std::size_t kPrefixLength = 6;
// How many candidates a root tries before giving up.
constexpr unsigned kCandidates = 256;
constexpr const char kClaimMagic[] = "tq-sim-claim 1\n";
constexpr const char kTempPrefix[] = ".tq-sim-claim-";
// A claim holds a path of at most PATH_MAX in hex and four short lines.
constexpr std::size_t kClaimReadLimit = 16384;

using ShmOpenFn = int (*)(const char*, int, mode_t);
using ShmUnlinkFn = int (*)(const char*);

// The C library's rules for a segment name: leading slashes dropped, then a
// non-empty name of at most NAME_MAX with no slash, and not "." or "..".
// Fills in "/dev/shm/<name>", or returns false with errno set.
bool SegmentPath(const char* name, char (&path)[sizeof(kShmDir) + NAME_MAX + 1]) {
  while (*name == '/') ++name;
  const std::size_t length = std::strlen(name);
  if (length == 0 || length > NAME_MAX || std::strchr(name, '/') != nullptr || std::strcmp(name, ".") == 0 ||
      std::strcmp(name, "..") == 0) {
    errno = length > NAME_MAX ? ENAMETOOLONG : EINVAL;
    return false;
  }
  std::memcpy(path, kShmDir, sizeof(kShmDir) - 1);
  path[sizeof(kShmDir) - 1] = '/';
  std::memcpy(path + sizeof(kShmDir), name, length + 1);
  return true;
}

int DirectShmOpen(const char* name, int oflag, mode_t mode) {
  char path[sizeof(kShmDir) + NAME_MAX + 1];
  if (!SegmentPath(name, path)) return -1;
  return ::open(path, oflag | O_NOFOLLOW | O_CLOEXEC, mode);
}

int DirectShmUnlink(const char* name) {
  char path[sizeof(kShmDir) + NAME_MAX + 1];
  if (!SegmentPath(name, path)) return -1;
  const int rc = ::unlink(path);
  if (rc != 0 && errno == EPERM) errno = EACCES;
  return rc;
}

ShmOpenFn RealShmOpen() {
  static const ShmOpenFn fn = []() {
    const auto found = reinterpret_cast<ShmOpenFn>(::dlsym(RTLD_NEXT, "shm_open"));
    return found != nullptr ? found : &DirectShmOpen;
  }();
  return fn;
}

ShmUnlinkFn RealShmUnlink() {
  static const ShmUnlinkFn fn = []() {
    const auto found = reinterpret_cast<ShmUnlinkFn>(::dlsym(RTLD_NEXT, "shm_unlink"));
    return found != nullptr ? found : &DirectShmUnlink;
  }();
  return fn;
}

struct ClaimCache {
  std::mutex mutex;
  bool valid = false;
  std::string root;
  std::uint64_t generation = 0;
  std::string prefix;
};

ClaimCache& Cache() {
  static ClaimCache* const cache = new ClaimCache();
  return *cache;
}

// The prefix TQ_SIM_SHM_PREFIX names, cut to six characters ('/' dropped);
// empty when unset. *valid is false for one shorter than six characters or
// with a character a segment name should not hold: a shorter prefix would be
// the beginning of other prefixes, and the namespace of one unit would take
// in the segments of others.
std::string EnvPrefix(bool* valid) {
  *valid = true;
  const char* env = std::getenv("TQ_SIM_SHM_PREFIX");
  std::string prefix;
  if (env == nullptr) return prefix;
  for (const char* p = env; *p != '\0' && prefix.size() < kPrefixLength; ++p) {
    if (*p != '/') prefix.push_back(*p);
  }
  if (prefix.empty()) return prefix;
  bool plain = prefix.size() == kPrefixLength && prefix[0] != '.';
  for (char c : prefix) {
    plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '-' || c == '.');
  }
  *valid = plain;
  return prefix;
}

// Why the last claim of this process failed, for the host to say.
std::mutex& ProblemMutex() {
  static std::mutex* const mutex = new std::mutex();
  return *mutex;
}
std::string& ProblemText() {
  static std::string* const text = new std::string();
  return *text;
}
void SetProblem(const std::string& text) {
  std::lock_guard<std::mutex> lock(ProblemMutex());
  ProblemText() = text;
}

// The claimed prefix of the current power-on, readable without any lock (up
// to six characters and a length byte in one word), for a power-off that
// must not wait.
std::atomic<std::uint64_t> g_published{0};

void Publish(const std::string& prefix) {
  std::uint64_t word = 0;
  if (!prefix.empty() && prefix.size() <= kPrefixLength) {
    word = prefix.size();
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      word |= static_cast<std::uint64_t>(static_cast<unsigned char>(prefix[i])) << (8 * (i + 1));
    }
  }
  g_published.store(word);
}

// The published prefix into a buffer of its own: a signal handler reads it.
void Published(char (&prefix)[kPrefixLength + 1]) {
  const std::uint64_t word = g_published.load();
  const std::size_t n = static_cast<std::size_t>(word & 0xFF);
  std::size_t i = 0;
  for (; i < n && i < kPrefixLength; ++i) prefix[i] = static_cast<char>((word >> (8 * (i + 1))) & 0xFF);
  prefix[i] = '\0';
}

// Whether this library's shm_open and shm_unlink are the ones the process's
// global scope gives (so the product library's calls reach them). A symbol
// of this library that nothing can interpose tells which object it is.
int AnchorOfThisLibrary() { return 0; }

bool Interposed(std::string* why) {
  Dl_info self = {};
  if (::dladdr(reinterpret_cast<void*>(&AnchorOfThisLibrary), &self) == 0 || self.dli_fbase == nullptr) {
    return true;  // cannot tell: assume the ordinary link
  }
  for (const char* name : {"shm_open", "shm_unlink"}) {
    void* found = ::dlsym(RTLD_DEFAULT, name);
    Dl_info where = {};
    if (found == nullptr || ::dladdr(found, &where) == 0 || where.dli_fbase != self.dli_fbase) {
      *why = std::string("the stand-in platform's ") + name + " is not the process's " + name + " (" +
             (where.dli_fname != nullptr ? where.dli_fname : "none") +
             " comes first), so units would share the machine's segments: link libtqplatform before the C "
             "library (on the link line before -lc, with -Wl,--no-as-needed), or LD_PRELOAD it";
      return false;
    }
  }
  return true;
}

bool IsClaimName(const char* name) {
  if (std::strlen(name) != kPrefixLength || name[0] != 'u') return false;
  for (std::size_t i = 1; i < kPrefixLength; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

struct Identity {
  std::string root;
  unsigned long long dev = 0;
  unsigned long long ino = 0;
  // The run that owns a temporary unit; 0 for a unit that outlives its runs.
  long pid = 0;
};

std::atomic<bool> g_ephemeral{false};

Identity IdentityOf(const std::string& root) {
  Identity id;
  id.root = root;
  if (g_ephemeral.load()) id.pid = static_cast<long>(::getpid());
  struct stat st;
  if (::stat(root.c_str(), &st) == 0) {
    id.dev = static_cast<unsigned long long>(st.st_dev);
    id.ino = static_cast<unsigned long long>(st.st_ino);
  }
  return id;
}

// The root in hex: a path may hold any byte but NUL, a line feed included.
std::string Hex(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

bool Unhex(const std::string& hex, std::string* text) {
  if (hex.size() % 2 != 0) return false;
  text->clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (std::size_t k = i; k < i + 2; ++k) {
      const char c = hex[k];
      const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    text->push_back(static_cast<char>(v));
  }
  return true;
}

std::string ClaimText(const Identity& id) {
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "dev=%llu\nino=%llu\n", id.dev, id.ino);
  std::string text = std::string(kClaimMagic) + "root=" + Hex(id.root) + "\n" + numbers;
  if (id.pid > 0) text += "pid=" + std::to_string(id.pid) + "\n";
  return text;
}

bool ParseClaim(const std::string& text, Identity* id) {
  if (text.compare(0, sizeof kClaimMagic - 1, kClaimMagic) != 0) return false;
  std::size_t pos = sizeof kClaimMagic - 1;
  if (text.compare(pos, 5, "root=") != 0) return false;
  const std::size_t end = text.find('\n', pos);
  if (end == std::string::npos) return false;
  if (!Unhex(text.substr(pos + 5, end - pos - 5), &id->root)) return false;
  if (std::sscanf(text.c_str() + end + 1, "dev=%llu\nino=%llu\n", &id->dev, &id->ino) != 2) return false;
  const std::size_t pid = text.find("\npid=", end);
  id->pid = pid == std::string::npos ? 0 : std::strtol(text.c_str() + pid + 5, nullptr, 10);
  return true;
}

// Serialises claims, sweeps and removals of this user's simulated units: a
// lock file in the user's own lock directory (made with plain system calls,
// beside the file layer a test may be breaking). Waits at most kClaimWaitMs,
// and never past the process's wait deadline.
//
// The directory is the user's runtime directory when the session has one
// (XDG_RUNTIME_DIR, private to the user by its definition), else one in /tmp
// named after the user; either is refused unless the user owns it and no
// one else can write it.
std::string PrivateDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/tqplatform";
  return "/tmp/.tqlocks-" + std::to_string(static_cast<unsigned long>(::geteuid()));
}

constexpr long long kClaimWaitMs = 5000;
constexpr const char kClaimLockName[] = "shm-namespaces.lock";

class ShmDirLock {
 public:
  ShmDirLock() {
    const std::string dir = PrivateDir();
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
      why_ = "cannot create " + dir + ": " + std::strerror(errno);
      return;
    }
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    if (dirFd < 0 || ::fstat(dirFd, &st) != 0) {
      why_ = "cannot open " + dir + ": " + std::strerror(errno);
      if (dirFd >= 0) ::close(dirFd);
      return;
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      why_ = dir + " belongs to another user or is writable by others";
      ::close(dirFd);
      return;
    }
    fd_ = ::openat(dirFd, kClaimLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int saved = errno;
    ::close(dirFd);
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
      why_ = "cannot open " + dir + "/" + kClaimLockName + ": " + std::strerror(fd_ < 0 ? saved : EINVAL);
      return;
    }
    if ((st.st_mode & 077) != 0) ::fchmod(fd_, 0600);
    held_ = LockFdFor(fd_, kClaimWaitMs);
    if (!held_) why_ = "cannot lock " + dir + "/" + kClaimLockName + ": " + std::strerror(errno);
  }
  ~ShmDirLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ShmDirLock(const ShmDirLock&) = delete;
  ShmDirLock& operator=(const ShmDirLock&) = delete;
  bool held() const { return held_; }
  const std::string& why() const { return why_; }

 private:
  int fd_ = -1;
  bool held_ = false;
  std::string why_;
};

std::string ShmPath(const std::string& name) { return std::string(kShmDir) + "/" + name; }

enum class ClaimState { kAbsent, kOurs, kStale, kHeld };

// What the claim file of prefix says about root. Caller holds the dir lock.
ClaimState ExamineClaim(const std::string& prefix, const Identity& self) {
  const int fd = ::open(ShmPath(prefix).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ClaimState::kAbsent : ClaimState::kHeld;
  struct stat st;
  std::string text;
  bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (regular && static_cast<std::size_t>(st.st_size) <= kClaimReadLimit) {
    char buf[kClaimReadLimit];
    ssize_t n;
    do {
      n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    if (n > 0) text.assign(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  Identity claimed;
  const bool parsed = regular && ParseClaim(text, &claimed);
  if (parsed && claimed.root == self.root && claimed.dev == self.dev && claimed.ino == self.ino) {
    return ClaimState::kOurs;
  }
  // Only our own user's claims can be taken over (/dev/shm is sticky).
  if (!regular || st.st_uid != ::geteuid()) return ClaimState::kHeld;
  if (!parsed) return ClaimState::kStale;
  // A temporary unit lives as long as the run that made it.
  if (claimed.pid > 0 && ::kill(static_cast<pid_t>(claimed.pid), 0) != 0 && errno == ESRCH) {
    return ClaimState::kStale;
  }
  struct stat rootStat;
  if (::stat(claimed.root.c_str(), &rootStat) != 0) {
    // A root we may not look at may still be alive.
    return errno == ENOENT || errno == ENOTDIR ? ClaimState::kStale : ClaimState::kHeld;
  }
  if (claimed.dev == 0 && claimed.ino == 0) return ClaimState::kHeld;  // claimed before it existed
  const bool same = static_cast<unsigned long long>(rootStat.st_dev) == claimed.dev &&
                    static_cast<unsigned long long>(rootStat.st_ino) == claimed.ino;
  return same ? ClaimState::kHeld : ClaimState::kStale;
}

std::vector<std::string> NamesWithPrefix(const std::string& prefix) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(kShmDir);
  if (dir == nullptr) return names;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0 && prefix != entry->d_name) {
      names.emplace_back(entry->d_name);
    }
  }
  ::closedir(dir);
  return names;
}

// Segments first, the claim last: while any segment is left the prefix stays
// taken. Caller holds the dir lock, or is the emergency power-off.
//
// This is the power-off of a process that may have run out of memory, so it
// allocates nothing: the directory is read with getdents64 into a buffer on
// the stack (opendir would fail for want of memory and leave the segments)
// and entries are removed relative to its descriptor. Removing while reading
// may make a pass skip an entry, so passes repeat until one removes nothing.
// It is also what a signal handler calls: only calls that are safe there.
void RemoveNamespace(const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  const int dir = ::open(kShmDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  for (int pass = 0; pass < 16; ++pass) {
    bool removed = false;
    if (::lseek(dir, 0, SEEK_SET) != 0) break;
    alignas(struct dirent64) char buf[4096];
    for (;;) {
      const ssize_t n = ::getdents64(dir, buf, sizeof buf);
      if (n <= 0) break;
      for (ssize_t off = 0; off < n;) {
        const struct dirent64* entry = reinterpret_cast<const struct dirent64*>(buf + off);
        off += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strncmp(name, prefix, length) != 0 || name[length] == '\0') continue;
        if (::unlinkat(dir, name, 0) == 0) removed = true;
      }
    }
    if (!removed) break;
  }
  ::unlinkat(dir, prefix, 0);
  ::close(dir);
}

void RemoveNamespace(const std::string& prefix) { RemoveNamespace(prefix.c_str()); }

// Half-made claim files of killed runs: ".tq-sim-claim-<pid>-<n>".
void RemoveDeadTemporaries() {
  DIR* dir = ::opendir(kShmDir);
  if (dir == nullptr) return;
  std::vector<std::string> dead;
  const std::size_t n = sizeof kTempPrefix - 1;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, kTempPrefix, n) != 0) continue;
    const long pid = std::strtol(entry->d_name + n, nullptr, 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) dead.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : dead) ::unlink(ShmPath(name).c_str());
}

// Caller holds the dir lock.
int SweepStaleLocked() {
  RemoveDeadTemporaries();
  std::vector<std::string> claims;
  if (DIR* dir = ::opendir(kShmDir)) {
    while (dirent* entry = ::readdir(dir)) {
      if (IsClaimName(entry->d_name)) claims.emplace_back(entry->d_name);
    }
    ::closedir(dir);
  }
  int removed = 0;
  const Identity nobody;  // matches no claim
  for (const std::string& prefix : claims) {
    if (ExamineClaim(prefix, nobody) == ClaimState::kStale) {
      RemoveNamespace(prefix);
      ++removed;
    }
  }
  return removed;
}

// Creates the claim of prefix for self: 1 made, 0 another claim got there
// first, -1 it could not be written (errno says why: /dev/shm full, say).
int CreateClaim(const std::string& prefix, const Identity& self) {
  static std::atomic<unsigned> counter{0};
  const std::string temp = ShmPath(std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
                                   std::to_string(counter.fetch_add(1)));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  const std::string text = ClaimText(self);
  const ssize_t n = ::write(fd, text.data(), text.size());
  int err = n < 0 ? errno : ENOSPC;
  const bool written = n == static_cast<ssize_t>(text.size());
  ::close(fd);
  int result = -1;
  if (written) {
    if (::link(temp.c_str(), ShmPath(prefix).c_str()) == 0) {
      result = 1;
    } else {
      err = errno;
      result = err == EEXIST ? 0 : -1;
    }
  }
  ::unlink(temp.c_str());
  errno = err;
  return result;
}

void ClaimWriteProblem(int err) {
  SetProblem(std::string("cannot write the claim of a segment namespace in /dev/shm: ") + std::strerror(err));
}

// Caller holds the dir lock. Empty when every candidate is held.
std::string ClaimLocked(const std::string& root) {
  SweepStaleLocked();
  const Identity self = IdentityOf(root);
  for (unsigned n = 0; n < kCandidates; ++n) {
    const std::string prefix = SimShmPrefixCandidate(root, n);
    ClaimState state = ExamineClaim(prefix, self);
    if (state == ClaimState::kOurs) return prefix;
    if (state == ClaimState::kStale) {
      RemoveNamespace(prefix);
      state = ClaimState::kAbsent;
    }
    if (state != ClaimState::kAbsent) continue;
    // Segments without a claim were left by no live unit (every live unit
    // holds its claim): a fresh namespace starts empty.
    for (const std::string& name : NamesWithPrefix(prefix)) ::unlink(ShmPath(name).c_str());
    const int made = CreateClaim(prefix, self);
    if (made > 0) return prefix;
    if (made < 0) {
      ClaimWriteProblem(errno);
      return std::string();
    }
    if (ExamineClaim(prefix, self) == ClaimState::kOurs) return prefix;
  }
  SetProblem("no segment namespace is free for the unit (" + std::to_string(kCandidates) +
             " candidates held by other units)");
  return std::string();
}

// The prefix the environment names, claimed for root like any other: it is
// the unit's only while no other live unit holds it. Caller holds the dir lock.
bool ClaimNamedLocked(const std::string& prefix, const std::string& root) {
  const Identity self = IdentityOf(root);
  ClaimState state = ExamineClaim(prefix, self);
  if (state == ClaimState::kOurs) return true;
  if (state == ClaimState::kStale) {
    RemoveNamespace(prefix);
    state = ClaimState::kAbsent;
  }
  if (state == ClaimState::kAbsent) {
    const int made = CreateClaim(prefix, self);
    if (made > 0 || (made == 0 && ExamineClaim(prefix, self) == ClaimState::kOurs)) return true;
    if (made < 0) {
      ClaimWriteProblem(errno);
      return false;
    }
  }
  SetProblem("the segment namespace \"" + prefix +
             "\" of TQ_SIM_SHM_PREFIX is held by another live unit; unset TQ_SIM_SHM_PREFIX to give each unit "
             "its own");
  return false;
}

// The claimed prefix of the current root from the cache, or by looking for
// (claim=false) or making (claim=true) the claim. *ok false on failure.
std::string PrefixFor(bool claim, bool* ok) {
  *ok = true;
  {
    // Every segment open asks: answered without copying the root.
    const std::uint64_t now = SimGeneration();
    ClaimCache& cache = Cache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.valid && cache.generation == now) return cache.prefix;
  }
  std::uint64_t generation = 0;
  const std::string root = SimRootAndGeneration(&generation);
  if (root.empty()) return std::string();
  ClaimCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.valid && cache.root == root && cache.generation == generation) return cache.prefix;
  if (claim) {
    // Checked once a process: how it was linked does not change.
    static std::string unlinked;
    static const bool interposed = Interposed(&unlinked);
    if (!interposed) {
      static std::once_flag said;
      // A desk program that never asks why still shows it.
      std::call_once(said, [] { std::fprintf(stderr, "tqplatform: %s\n", unlinked.c_str()); });
      SetProblem(unlinked);
      *ok = false;
      return std::string();
    }
  }
  bool envValid = true;
  const std::string env = EnvPrefix(&envValid);
  if (!envValid) {
    SetProblem("TQ_SIM_SHM_PREFIX \"" + env + "\" is not six letters, digits, '.', '_' or '-'");
    *ok = false;
    return std::string();
  }
  ShmDirLock dirLock;
  if (!dirLock.held()) {
    SetProblem("cannot claim a segment namespace: " + dirLock.why());
    *ok = false;
    return std::string();
  }
  std::string prefix;
  if (!env.empty()) {
    const Identity self = IdentityOf(root);
    if (claim) {
      if (ClaimNamedLocked(env, root)) prefix = env;
    } else if (ExamineClaim(env, self) == ClaimState::kOurs) {
      prefix = env;
    } else {
      return prefix;  // nothing claimed yet; nothing cached
    }
  } else if (claim) {
    prefix = ClaimLocked(root);
  } else {
    const Identity self = IdentityOf(root);
    for (unsigned n = 0; n < kCandidates && prefix.empty(); ++n) {
      const std::string candidate = SimShmPrefixCandidate(root, n);
      const ClaimState state = ExamineClaim(candidate, self);
      if (state == ClaimState::kOurs) prefix = candidate;
      if (state == ClaimState::kAbsent) break;  // a root takes the first free candidate
    }
    if (prefix.empty()) return prefix;  // nothing claimed yet; nothing cached
  }
  if (prefix.empty()) {
    *ok = false;
    return prefix;
  }
  cache.valid = true;
  cache.root = root;
  cache.generation = generation;
  cache.prefix = prefix;
  Publish(prefix);
  return prefix;
}

std::string MapName(const char* name, bool* ok) {
  const std::string prefix = PrefixFor(true, ok);
  if (!*ok || prefix.empty()) return name;
  if (name[0] == '/') return "/" + prefix + (name + 1);
  return prefix + name;
}

}  // namespace

std::string SimShmPrefixCandidate(const std::string& root, unsigned n) {
  // FNV-1a of the root, folded to 20 bits, then the following values.
  std::uint32_t h = 2166136261u;
  for (unsigned char c : root) {
    h ^= c;
    h *= 16777619u;
  }
  h = (h >> 20) ^ (h & 0xFFFFFu);
  char buf[8];
  std::snprintf(buf, sizeof buf, "u%05x", static_cast<unsigned>((h + n) & 0xFFFFFu));
  return buf;
}

std::string SimShmPrefix(bool* ok) { return PrefixFor(true, ok); }

void SetSimUnitEphemeral(bool ephemeral) { g_ephemeral.store(ephemeral); }

std::string SimShmPrefixIfClaimed() {
  bool ok = true;
  return PrefixFor(false, &ok);
}

std::vector<std::string> SimSegmentNames() {
  const std::string prefix = SimShmPrefixIfClaimed();
  if (prefix.empty()) return {};
  return NamesWithPrefix(prefix);
}

void RemoveSimNamespace() {
  const std::string prefix = SimShmPrefixIfClaimed();
  if (prefix.empty()) return;
  ClaimCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  // The lock keeps a claimer of the same user from reading a claim half
  // removed; the segments are this unit's own, so they go even without it.
  ShmDirLock dirLock;
  RemoveNamespace(prefix);
  cache.valid = false;
  Publish(std::string());
}

void RemoveSimNamespaceNow() {
  char prefix[kPrefixLength + 1];
  Published(prefix);
  if (prefix[0] == '\0') return;
  RemoveNamespace(prefix);
}

std::string SimNamespaceProblem() {
  std::lock_guard<std::mutex> lock(ProblemMutex());
  return ProblemText();
}

int RemoveStaleSimNamespaces() {
  ShmDirLock dirLock;
  if (!dirLock.held()) return 0;
  return SweepStaleLocked();
}

}  // namespace detail
}  // namespace standin

// The simulated unit's namespace for every caller of the process, the product
// library included. Without a root the names pass unchanged.
extern "C" TQPLATFORM_API int shm_open(const char* name, int oflag, mode_t mode) {
  const standin::detail::ShmOpenFn real = standin::detail::RealShmOpen();
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  if (name == nullptr) return real(name, oflag, mode);
  // Called from C and from the product library: nothing may be thrown across.
  try {
    bool ok = true;
    const std::string prefix = standin::detail::PrefixFor(true, &ok);
    if (!ok) {
      errno = EAGAIN;  // no namespace of its own could be claimed for the unit
      return -1;
    }
    if (prefix.empty()) return real(name, oflag, mode);
    // Every segment view opens its name once or twice: on the stack, not
    // on the heap, whenever it fits.
    char mapped[NAME_MAX + 2];
    const bool slash = name[0] == '/';
    const std::size_t rest = std::strlen(name + (slash ? 1 : 0));
    const std::size_t length = (slash ? 1 : 0) + prefix.size() + rest;
    if (length >= sizeof mapped) return real(standin::detail::MapName(name, &ok).c_str(), oflag, mode);
    char* at = mapped;
    if (slash) *at++ = '/';
    std::memcpy(at, prefix.data(), prefix.size());
    std::memcpy(at + prefix.size(), name + (slash ? 1 : 0), rest + 1);
    return real(mapped, oflag, mode);
  } catch (...) {
    errno = ENOMEM;
    return -1;
  }
}

extern "C" TQPLATFORM_API int shm_unlink(const char* name) {
  const standin::detail::ShmUnlinkFn real = standin::detail::RealShmUnlink();
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  if (name == nullptr) return real(name);
  try {
    bool ok = true;
    const std::string mapped = standin::detail::MapName(name, &ok);
    if (!ok) {
      errno = EAGAIN;
      return -1;
    }
    return real(mapped.c_str());
  } catch (...) {
    errno = ENOMEM;
    return -1;
  }
}
