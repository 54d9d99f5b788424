#include "standin/KeyValueText.h"

#include <cstdio>
#include <cstring>

namespace standin {
namespace detail {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHexEscape(std::string& out, unsigned char c) {
  static const char kHex[] = "0123456789ABCDEF";
  out += "\\x";
  out.push_back(kHex[c >> 4]);
  out.push_back(kHex[c & 0xF]);
}

// Brings a value read from disk to the stored form: valid escapes stay, a
// stray backslash and raw control bytes are escaped (taken literally).
std::string CanonicalValue(const char* p, std::size_t n) {
  std::string out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c == '\\') {
      if (i + 1 < n && p[i + 1] == '\\') {
        out += "\\\\";
        ++i;
      } else if (i + 3 < n && p[i + 1] == 'x' && HexDigit(p[i + 2]) >= 0 && HexDigit(p[i + 3]) >= 0) {
        out.append(p + i, 4);
        i += 3;
      } else {
        out += "\\\\";
      }
    } else if (IsControl(c)) {
      AppendHexEscape(out, c);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

bool ParseDigits(const std::string& text, std::size_t start, std::uint64_t limit, std::uint64_t* out) {
  if (start >= text.size()) return false;
  std::uint64_t value = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > limit) return false;
  }
  *out = value;
  return true;
}

}  // namespace

std::string EscapeValue(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\\') {
      out += "\\\\";
    } else if (IsControl(c)) {
      AppendHexEscape(out, c);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

std::string UnescapeValue(const std::string& stored) {
  std::string out;
  out.reserve(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c == '\\' && i + 1 < stored.size() && stored[i + 1] == '\\') {
      out.push_back('\\');
      ++i;
    } else if (c == '\\' && i + 3 < stored.size() && stored[i + 1] == 'x' && HexDigit(stored[i + 2]) >= 0 &&
               HexDigit(stored[i + 3]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(stored[i + 2]) * 16 + HexDigit(stored[i + 3])));
      i += 3;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool ParseInt32(const std::string& text, std::int32_t* out) {
  const bool negative = !text.empty() && text[0] == '-';
  std::uint64_t magnitude = 0;
  if (!ParseDigits(text, negative ? 1 : 0, negative ? 2147483648ull : 2147483647ull, &magnitude)) return false;
  *out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                  : static_cast<std::int32_t>(magnitude);
  return true;
}

bool ParseUint32(const std::string& text, std::uint32_t* out) {
  std::uint64_t value = 0;
  if (!ParseDigits(text, 0, 4294967295ull, &value)) return false;
  *out = static_cast<std::uint32_t>(value);
  return true;
}

bool ParseBool(const std::string& text, bool* out) {
  if (text == "0") {
    *out = false;
    return true;
  }
  if (text == "1") {
    *out = true;
    return true;
  }
  return false;
}

bool ParseUint8(const std::string& text, std::uint8_t* out) {
  std::uint64_t value = 0;
  if (!ParseDigits(text, 0, 255, &value)) return false;
  *out = static_cast<std::uint8_t>(value);
  return true;
}

bool IsValidKey(const char* key) {
  if (key == nullptr || key[0] == '\0') return false;
  for (const char* p = key; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '=' || IsControl(c)) return false;
  }
  return true;
}

bool KeyValueDocument::Parse(const std::string& text) {
  Clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    const std::size_t next = eol == std::string::npos ? text.size() : eol + 1;
    if (eol == std::string::npos) eol = text.size();
    std::size_t lineEnd = eol;
    if (lineEnd > pos && text[lineEnd - 1] == '\r') --lineEnd;
    // Look for '=' in this line only: a search past it would make a file of
    // many lines without '=' quadratic.
    const void* hit = std::memchr(text.data() + pos, '=', lineEnd - pos);
    const std::size_t eq = hit == nullptr ? std::string::npos
                                          : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if (eq != std::string::npos && eq > pos) {
      bool keyOk = true;
      for (std::size_t i = pos; i < eq; ++i) {
        if (IsControl(static_cast<unsigned char>(text[i]))) {
          keyOk = false;
          break;
        }
      }
      if (keyOk) {
        std::string key = text.substr(pos, eq - pos);
        if (index_.find(key) == index_.end()) {
          index_.emplace(key, entries_.size());
          entries_.emplace_back(std::move(key), CanonicalValue(text.data() + eq + 1, lineEnd - eq - 1));
        }
      }
    }
    pos = next;
  }
  return Serialise() == text;
}

std::string KeyValueDocument::Serialise() const {
  std::size_t total = 0;
  for (const auto& e : entries_) total += e.first.size() + e.second.size() + 2;
  std::string out;
  out.reserve(total);
  for (const auto& e : entries_) {
    out += e.first;
    out.push_back('=');
    out += e.second;
    out.push_back('\n');
  }
  return out;
}

void KeyValueDocument::Clear() {
  entries_.clear();
  index_.clear();
}

const std::string* KeyValueDocument::Find(const std::string& key) const {
  const auto it = index_.find(key);
  return it == index_.end() ? nullptr : &entries_[it->second].second;
}

bool KeyValueDocument::Set(const std::string& key, const std::string& stored) {
  const auto it = index_.find(key);
  if (it != index_.end()) {
    std::string& value = entries_[it->second].second;
    if (value == stored) return false;
    value = stored;
    return true;
  }
  index_.emplace(key, entries_.size());
  entries_.emplace_back(key, stored);
  return true;
}

std::vector<std::string> KeyValueDocument::Keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const auto& e : entries_) keys.push_back(e.first);
  return keys;
}

}  // namespace detail
}  // namespace standin
