#include "platform/TqDbgOutput.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "standin/LogSink.h"

namespace {

std::string Format(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(&out[0], out.size(), format, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

void Emit(const char* file, const char* function, int line, int tag, std::string message, int err) {
  if (std::getenv("TQ_DEBUG_LOG") != nullptr) {
    std::string text = message;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (tag < 0) {
      char buf[256];
      // The GNU strerror_r returns the text (maybe not in buf).
      const char* what = ::strerror_r(err, buf, sizeof buf);
      text += std::string(": ") + what;
    }
    std::fprintf(stderr, "[%d] %s:%d %s: %s\n", tag, file != nullptr ? file : "?", line,
                 function != nullptr ? function : "?", text.c_str());
  }
  standin::detail::DeliverLog(file, function, line, tag, std::move(message));
}

}  // namespace

void TqDbgOutput::DbgPrint(const char* file, const char* function, int line, EN_TAG tag, const char* format,
                           ...) {
  const int saved = errno;
  va_list args;
  va_start(args, format);
  std::string message = Format(format, args);
  va_end(args);
  Emit(file, function, line, static_cast<int>(tag), std::move(message), saved);
  errno = saved;
}

void TqDbgOutput::DbgPrintStdErr(const char* file, const char* function, int line, const char* format, ...) {
  const int saved = errno;
  va_list args;
  va_start(args, format);
  std::string message = Format(format, args);
  va_end(args);
  Emit(file, function, line, -1, std::move(message), saved);
  errno = saved;
}
