#include "standin/testing/HostCalls.h"

#include <map>
#include <mutex>

#include "standin/HostRecorder.h"

namespace standin {
namespace {

struct HostState {
  std::mutex mutex;
  std::vector<testing::HostCall> calls;
  std::map<std::string, bool> results;
};

HostState& State() {
  static HostState* const state = new HostState();
  return *state;
}

}  // namespace

namespace detail {

bool RecordHostCall(const std::string& op, const std::string& arg) {
  HostState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.push_back(testing::HostCall{op, arg});
  const auto it = s.results.find(op);
  return it == s.results.end() ? true : it->second;
}

}  // namespace detail

namespace testing {

std::vector<HostCall> HostCalls() {
  HostState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.calls;
}

void ClearHostCalls() {
  HostState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.calls.clear();
}

void SetHostResult(const std::string& op, bool result) {
  HostState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.results[op] = result;
}

void ResetHostResults() {
  HostState& s = State();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.results.clear();
}

}  // namespace testing
}  // namespace standin
