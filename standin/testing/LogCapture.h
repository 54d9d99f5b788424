// Test access to what the product logged through TqDbgOutput.
#pragma once

#include <string>
#include <vector>

#include "platform/TqPlatformExport.h"

namespace standin {
namespace testing {

struct LogRecord {
  std::string file;      // source path as passed
  std::string function;  // bare function name
  int line = 0;
  int tag = 0;           // DbgPrint's tag; -1 for DbgPrintStdErr
  std::string message;   // the formatted message (DbgPrintStdErr without the errno text)
};

// While a capture is alive, every message of every thread is recorded.
class TQPLATFORM_API ScopedLogCapture {
 public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::vector<LogRecord> records() const;
  // Only the formatted messages, in order.
  std::vector<std::string> messages() const;
  void clear();
};

}  // namespace testing
}  // namespace standin
