#include "standin/testing/StoreControl.h"

#include <cstring>
#include <mutex>
#include <set>

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

void RemoveSimSegments() { detail::RemoveSimNamespace(); }

int RemoveStaleSimSegments() { return detail::RemoveStaleSimNamespaces(); }

void SetSimUnitTemporary(bool temporary) { detail::SetSimUnitEphemeral(temporary); }

std::string SimShmPrefixCandidate(const std::string& root, unsigned n) {
  return detail::SimShmPrefixCandidate(root, n);
}

}  // namespace testing
}  // namespace standin
