#include "src/customize/CustomizeUtility.h"

#include <cstdint>
#include <cstring>

#include "platform/TqDbgOutput.h"
#include "platform/TqStrUtil.h"

namespace {

constexpr const char* kSource = "src/customize/CustomizeUtility";

// The value text is cut to this many characters before it is converted.
constexpr unsigned int kValueBufferSize = 16;
constexpr unsigned int kValueMaxLength = 15;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isControl(char c) { return c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

bool CustomizeUtility::parseHex(const char* text, unsigned int& value) {
  if (text == nullptr) return false;
  const char* p = text;
  while (isBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = (*p == '-');
    ++p;
  }
  bool converted = false;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    // The prefix alone already reads as 0.
    converted = true;
    p += 2;
  }
  std::uint64_t magnitude = 0;
  bool overflow = false;
  for (int digit = hexDigit(*p); digit >= 0; digit = hexDigit(*++p)) {
    converted = true;
    if (!overflow) {
      magnitude = magnitude * 16u + static_cast<std::uint64_t>(digit);
      if (magnitude > 0xFFFFFFFFu) overflow = true;
    }
  }
  if (!converted) return false;
  if (overflow) {
    value = 0xFFFFFFFFu;
  } else {
    const std::uint32_t low = static_cast<std::uint32_t>(magnitude);
    value = negative ? static_cast<std::uint32_t>(0u - low) : low;
  }
  return true;
}

bool CustomizeUtility::getValue(const char* line, unsigned int& value) {
  const char* bracket = (line != nullptr) ? std::strchr(line, ']') : nullptr;
  if (bracket == nullptr) {
    TqDbgOutput::DbgPrint(kSource, "getValue", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- Failure to get value !!!!! ----->\n");
    return false;
  }
  char buffer[kValueBufferSize] = {};
  if (tq_strncpy(buffer, kValueBufferSize, bracket + 1, kValueMaxLength) != 0) return false;
  unsigned int parsed = 0;
  if (!parseHex(buffer, parsed)) return false;
  value = parsed;
  return true;
}

bool CustomizeUtility::getValue(const char* line, std::string& value) {
  const char* bracket = (line != nullptr) ? std::strchr(line, ']') : nullptr;
  if (bracket == nullptr) {
    TqDbgOutput::DbgPrint(kSource, "getValue", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- Failure to get value !!!!! ----->\n");
    return false;
  }
  value = bracket + 1;
  return true;
}

void CustomizeUtility::removeControlChars(char* line) {
  if (line == nullptr) return;
  char* out = line;
  for (const char* in = line; *in != '\0'; ++in) {
    if (!isControl(*in)) *out++ = *in;
  }
  *out = '\0';
}

void CustomizeUtility::removeControlChars(std::string& line) {
  std::string::size_type out = 0;
  for (char c : line) {
    if (!isControl(c)) line[out++] = c;
  }
  line.resize(out);
}

bool CustomizeUtility::isEndLine(const char* rawLine) {
  return rawLine != nullptr && std::strncmp(rawLine, "~END", 4) == 0;
}

bool CustomizeUtility::startsWith(const std::string& line, const char* key) {
  return line.compare(0, std::strlen(key), key) == 0;
}

std::string CustomizeUtility::directoryOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
