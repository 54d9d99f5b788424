#include "standin/testing/LogCapture.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "standin/LogSink.h"

namespace standin {
namespace testing {
namespace {

struct Captures {
  std::mutex mutex;
  std::vector<ScopedLogCapture*> live;
  std::vector<std::pair<ScopedLogCapture*, LogRecord>> records;
};

Captures& State() {
  static Captures* const state = new Captures();
  return *state;
}

}  // namespace

ScopedLogCapture::ScopedLogCapture() {
  Captures& c = State();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.live.push_back(this);
}

ScopedLogCapture::~ScopedLogCapture() {
  Captures& c = State();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.live.erase(std::remove(c.live.begin(), c.live.end(), this), c.live.end());
  c.records.erase(std::remove_if(c.records.begin(), c.records.end(),
                                 [this](const std::pair<ScopedLogCapture*, LogRecord>& r) { return r.first == this; }),
                  c.records.end());
}

std::vector<LogRecord> ScopedLogCapture::records() const {
  Captures& c = State();
  std::lock_guard<std::mutex> lock(c.mutex);
  std::vector<LogRecord> out;
  for (const auto& r : c.records) {
    if (r.first == this) out.push_back(r.second);
  }
  return out;
}

std::vector<std::string> ScopedLogCapture::messages() const {
  std::vector<std::string> out;
  for (const LogRecord& r : records()) out.push_back(r.message);
  return out;
}

void ScopedLogCapture::clear() {
  Captures& c = State();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.records.erase(std::remove_if(c.records.begin(), c.records.end(),
                                 [this](const std::pair<ScopedLogCapture*, LogRecord>& r) { return r.first == this; }),
                  c.records.end());
}

}  // namespace testing

namespace detail {

void DeliverLog(const char* file, const char* function, int line, int tag, std::string message) {
  testing::Captures& c = testing::State();
  std::lock_guard<std::mutex> lock(c.mutex);
  if (c.live.empty()) return;
  testing::LogRecord record;
  record.file = file != nullptr ? file : "";
  record.function = function != nullptr ? function : "";
  record.line = line;
  record.tag = tag;
  record.message = std::move(message);
  for (testing::ScopedLogCapture* capture : c.live) c.records.emplace_back(capture, record);
}

}  // namespace detail
}  // namespace standin
