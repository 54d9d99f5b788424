// Internal: the on-disk form of a key=value settings file.
//
// One entry per line, "Key=Value\n". A key is one or more bytes, none of them
// '=' or a control byte (below 0x20, or 0x7F). A value is stored escaped:
// a backslash as "\\", every control byte (a line feed, a carriage return, a
// NUL, ...) as "\xHH"; every other byte as itself, blanks included. So any
// byte string round-trips and a line never holds a raw control byte.
//
// Reading is lenient: a line without '=' or with an unusable key is skipped,
// a repeated key keeps its first line, a raw control byte or a stray
// backslash in a value is taken literally, a carriage return before the line
// feed is dropped and a last line without line feed counts. Whatever was
// read, the document serialises to the clean form above.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace standin {
namespace detail {

std::string EscapeValue(const std::string& bytes);
std::string UnescapeValue(const std::string& stored);

// Strict readers of a stored value: decimal digits only (and a leading '-'
// for int), in range.
bool ParseInt32(const std::string& text, std::int32_t* out);
bool ParseUint32(const std::string& text, std::uint32_t* out);
bool ParseBool(const std::string& text, bool* out);
bool ParseUint8(const std::string& text, std::uint8_t* out);

// A key that a line can hold (see above).
bool IsValidKey(const char* key);

class KeyValueDocument {
 public:
  // Replaces the content with what text holds; returns true when text is
  // exactly the clean serialised form of the result.
  bool Parse(const std::string& text);
  std::string Serialise() const;
  void Clear();

  // The stored (escaped) value of key, or null.
  const std::string* Find(const std::string& key) const;
  // Sets the stored value; a new key goes last. Returns true when the
  // document changed.
  bool Set(const std::string& key, const std::string& stored);
  std::vector<std::string> Keys() const;
  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<std::pair<std::string, std::string>> entries_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace detail
}  // namespace standin
