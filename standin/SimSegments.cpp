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
// half-made claim files of killed runs. All of this happens under an exclusive flock on /dev/shm, held
// for microseconds and waited for at most a few seconds.
//
// The stand-in also defines shm_open and shm_unlink, which map a name into the
// current unit's namespace and forward to the C library's own functions. The
// product library calls plain shm_open: on the real host, which has no such
// wrapper, the names stay unchanged. For the wrapper to be found, this library
// must come before the C library in the process's global symbol scope (link it
// into the executable, or preload it).
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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"
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

ShmOpenFn RealShmOpen() {
  static const ShmOpenFn fn = reinterpret_cast<ShmOpenFn>(::dlsym(RTLD_NEXT, "shm_open"));
  return fn;
}

ShmUnlinkFn RealShmUnlink() {
  static const ShmUnlinkFn fn = reinterpret_cast<ShmUnlinkFn>(::dlsym(RTLD_NEXT, "shm_unlink"));
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

std::string EnvPrefix() {
  const char* env = std::getenv("TQ_SIM_SHM_PREFIX");
  std::string prefix;
  if (env == nullptr) return prefix;
  for (const char* p = env; *p != '\0' && prefix.size() < kPrefixLength; ++p) {
    if (*p != '/') prefix.push_back(*p);
  }
  return prefix;
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

// Serialises claims, sweeps and removals of this machine's simulated units.
class ShmDirLock {
 public:
  ShmDirLock() {
    fd_ = ::open(kShmDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    // Bounded: a lock held by a stuck process must not hang every unit.
    for (int waited = 0; waited < 5000; ++waited) {
      if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      const struct timespec ms = {0, 1000000};
      ::nanosleep(&ms, nullptr);
    }
  }
  ~ShmDirLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  ShmDirLock(const ShmDirLock&) = delete;
  ShmDirLock& operator=(const ShmDirLock&) = delete;
  bool held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
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
// taken. Caller holds the dir lock.
void RemoveNamespace(const std::string& prefix) {
  for (const std::string& name : NamesWithPrefix(prefix)) ::unlink(ShmPath(name).c_str());
  ::unlink(ShmPath(prefix).c_str());
}

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

// Creates the claim of prefix for self; false when another claim got there.
bool CreateClaim(const std::string& prefix, const Identity& self) {
  static std::atomic<unsigned> counter{0};
  const std::string temp = ShmPath(std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
                                   std::to_string(counter.fetch_add(1)));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = ClaimText(self);
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  const bool linked = written && ::link(temp.c_str(), ShmPath(prefix).c_str()) == 0;
  ::unlink(temp.c_str());
  return linked;
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
    if (CreateClaim(prefix, self)) return prefix;
    if (ExamineClaim(prefix, self) == ClaimState::kOurs) return prefix;
  }
  return std::string();
}

// The claimed prefix of the current root from the cache, or by looking for
// (claim=false) or making (claim=true) the claim. *ok false on failure.
std::string PrefixFor(bool claim, bool* ok) {
  *ok = true;
  std::uint64_t generation = 0;
  const std::string root = SimRootAndGeneration(&generation);
  if (root.empty()) return std::string();
  const std::string env = EnvPrefix();
  if (!env.empty()) return env;
  ClaimCache& cache = Cache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.valid && cache.root == root && cache.generation == generation) return cache.prefix;
  ShmDirLock dirLock;
  if (!dirLock.held()) {
    *ok = false;
    return std::string();
  }
  std::string prefix;
  if (claim) {
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
  ShmDirLock dirLock;
  if (EnvPrefix().empty()) {
    RemoveNamespace(prefix);
  } else {
    for (const std::string& name : NamesWithPrefix(prefix)) ::unlink(ShmPath(name).c_str());
  }
  cache.valid = false;
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
  bool ok = true;
  const std::string mapped = standin::detail::MapName(name, &ok);
  if (!ok) {
    errno = EAGAIN;  // no namespace of its own could be claimed for the unit
    return -1;
  }
  return real(mapped.c_str(), oflag, mode);
}

extern "C" TQPLATFORM_API int shm_unlink(const char* name) {
  const standin::detail::ShmUnlinkFn real = standin::detail::RealShmUnlink();
  if (real == nullptr) {
    errno = ENOSYS;
    return -1;
  }
  if (name == nullptr) return real(name);
  bool ok = true;
  const std::string mapped = standin::detail::MapName(name, &ok);
  if (!ok) {
    errno = EAGAIN;
    return -1;
  }
  return real(mapped.c_str());
}
