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
  std::uint64_t generation = 0;
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
  bool ok = true;
  const std::string prefix = standin::detail::SimShmPrefix(&ok);
  if (!ok) return std::string();
  if (prefix.empty()) return name;
  if (name[0] == '/') return "/" + prefix + (name + 1);
  return prefix + name;
}

void TqSimSetRoot(const char* root) {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.envRead = true;
  s.root = Normalise(root);
  ++s.generation;
}

std::string TqSimRoot() {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return RootLocked(s);
}

namespace standin {
namespace detail {

std::uint64_t SimGeneration() {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.generation;
}

std::string SimRootAndGeneration(std::uint64_t* generation) {
  SimState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  const std::string root = RootLocked(s);
  if (generation != nullptr) *generation = s.generation;
  return root;
}

}  // namespace detail
}  // namespace standin
