#include "platform/TqSimulation.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "standin/SimulationState.h"

namespace {

struct SimState {
  std::mutex mutex;
  bool envRead = false;
  std::string root;  // normalised; empty = none
};

SimState& State() {
  // Never destroyed: paths may still be mapped by static destructors.
  static SimState* const state = new SimState();
  return *state;
}

std::string Normalise(const char* root) {
  if (root == nullptr || root[0] == '\0') return std::string();
  std::string r(root);
  if (r[0] != '/') {
    // A relative root would make "already under the root" depend on the
    // working directory of every later call.
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) r = std::string(cwd) + "/" + r;
  }
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

// Caller holds the mutex.
const std::string& RootLocked(SimState& s) {
  if (!s.envRead) {
    s.envRead = true;
    s.root = Normalise(std::getenv("TQ_SIM_ROOT"));
  }
  return s.root;
}

std::string PrefixFor(const std::string& root) {
  if (root.empty()) return std::string();
  const char* env = std::getenv("TQ_SIM_SHM_PREFIX");
  if (env != nullptr && env[0] != '\0') {
    std::string prefix;
    for (const char* p = env; *p != '\0' && prefix.size() < 6; ++p) {
      if (*p != '/') prefix.push_back(*p);
    }
    if (!prefix.empty()) return prefix;
  }
  // FNV-1a of the root, folded to 20 bits: "u" + 5 hex digits.
  std::uint32_t h = 2166136261u;
  for (unsigned char c : root) {
    h ^= c;
    h *= 16777619u;
  }
  h = (h >> 20) ^ (h & 0xFFFFFu);
  char buf[8];
  std::snprintf(buf, sizeof buf, "u%05x", static_cast<unsigned>(h & 0xFFFFFu));
  return buf;
}

}  // namespace

std::string TqSimPath(const char* path) {
  if (path == nullptr) return std::string();
  std::string root;
  {
    SimState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    root = RootLocked(s);
  }
  if (root.empty() || path[0] != '/' || root == "/") return path;
  const std::size_t n = root.size();
  // strncmp stops at the end of a path shorter than the root.
  if (std::strncmp(path, root.c_str(), n) == 0 && (path[n] == '\0' || path[n] == '/')) {
    return path;
  }
  return root + path;
}

std::string TqSimShmName(const char* name) {
  if (name == nullptr) return std::string();
  const std::string prefix = standin::detail::SimShmPrefix();
  if (prefix.empty()) return name;
  if (name[0] == '/') return "/" + prefix + (name + 1);
  return prefix + name;
}

void TqSimSetRoot(const char* root) {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.envRead = true;
  s.root = Normalise(root);
}

std::string TqSimRoot() {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return RootLocked(s);
}

namespace standin {
namespace detail {

std::string SimShmPrefix() {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return PrefixFor(RootLocked(s));
}

}  // namespace detail
}  // namespace standin
