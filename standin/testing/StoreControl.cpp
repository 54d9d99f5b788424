#include "standin/testing/StoreControl.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <mutex>
#include <set>

#include "standin/FileSystem.h"
#include "standin/FileUtil.h"
#include "standin/SimulationState.h"
#include "standin/StoreRecorder.h"

namespace standin {
namespace {

struct StoreState {
  std::mutex mutex;
  std::vector<testing::CreationCall> calls;
  std::set<std::string> failing;
};

StoreState& State() {
  static StoreState* const state = new StoreState();
  return *state;
}

}  // namespace

namespace detail {

bool RecordCreation(const char* op, const char* name, const char* mode) {
  StoreState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.push_back(testing::CreationCall{op, name != nullptr ? name : "", mode != nullptr ? mode : ""});
  return name == nullptr || s.failing.count(name) == 0;
}

}  // namespace detail

namespace testing {

std::vector<CreationCall> CreationCalls() {
  StoreState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.calls;
}

void ClearCreationCalls() {
  StoreState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.clear();
}

void FailCreationOf(const std::string& name) {
  StoreState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.failing.insert(name);
}

void ClearCreationFailures() {
  StoreState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.failing.clear();
}

std::vector<std::string> SimSegments() {
  // Without a simulation root there is no prefix: the machine's own segments
  // are never listed (and so never removed).
  return detail::SimSegmentNames();
}

void RemoveSimSegments() {
  // A host's power-off: whatever happens, nothing is thrown out of it.
  try {
    detail::RemoveSimNamespace();
  } catch (...) {
    detail::RemoveSimNamespaceNow();
  }
}

void RemoveSimSegmentsNow() { detail::RemoveSimNamespaceNow(); }

bool ClaimSimSegments(std::string* why) {
  try {
    bool ok = true;
    detail::SimShmPrefix(&ok);
    if (!ok) *why = detail::SimNamespaceProblem();
    return ok;
  } catch (const std::bad_alloc&) {
    *why = "cannot claim a segment namespace: out of memory";
    return false;
  }
}

void SetWaitBudget(long long ms) { detail::SetWaitDeadline(ms > 0 ? detail::MonotonicMs() + ms : 0); }

int LockUnit(const std::string& root, std::string* why) {
  const char* dirWhy = nullptr;
  const std::string dir = detail::UnitLockDir(root, &dirWhy);
  if (dir.empty()) {
    *why = std::string(dirWhy != nullptr ? dirWhy : "no lock directory") + ": " + std::strerror(errno);
    return -1;
  }
  // A name no record's lock file can have (those never start with '.').
  const std::string path = dir + "/.unit.lock";
  const int fd = detail::OpenOwnLockFile(path);
  if (fd < 0) {
    *why = "cannot open " + path + ": " + std::strerror(errno);
    return -1;
  }
  if (!detail::LockFd(fd)) {
    const int err = errno;
    GetFileSystem()->Close(fd);
    *why = err == ETIMEDOUT ? "another power-on of the unit holds " + path + " (waited in vain)"
                            : "cannot lock " + path + ": " + std::strerror(err);
    return -1;
  }
  return fd;
}

void UnlockUnit(int fd) {
  if (fd >= 0) GetFileSystem()->Close(fd);
}

int RemoveStaleSimSegments() { return detail::RemoveStaleSimNamespaces(); }

void SetSimUnitTemporary(bool temporary) { detail::SetSimUnitEphemeral(temporary); }

std::string SimShmPrefixCandidate(const std::string& root, unsigned n) {
  return detail::SimShmPrefixCandidate(root, n);
}

}  // namespace testing
}  // namespace standin
