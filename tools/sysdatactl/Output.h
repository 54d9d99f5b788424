// Output of sysdatactl: aligned text tables for people, JSON for scripts.
// Both are built from the same rows so they cannot say different things.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sysdatactl {

// A JSON value: null, bool, integer, string, array or object (keys in the
// order they were added).
class Json {
 public:
  enum class Kind { Null, Bool, Int, String, Array, Object };

  Json() = default;
  static Json null() { return Json(); }
  static Json boolean(bool v);
  static Json integer(std::int64_t v);
  static Json string(std::string v);
  static Json array();
  static Json object();

  // Arrays.
  Json& push(Json value);
  // Objects.
  Json& set(const std::string& key, Json value);

  Kind kind() const { return kind_; }
  // Compact, one line, keys in insertion order.
  std::string dump() const;
  // Indented by two spaces; arrays of scalars stay on one line.
  std::string pretty() const;

 private:
  void write(std::string& out, int indent, bool prettyPrint) const;

  Kind kind_ = Kind::Null;
  bool bool_ = false;
  std::int64_t int_ = 0;
  std::string string_;
  std::vector<Json> items_;
  std::vector<std::pair<std::string, Json>> members_;
};

std::string jsonQuote(const std::string& text);

// A table of text cells; the last column is not padded, so lines carry no
// trailing blanks.
class Table {
 public:
  explicit Table(std::vector<std::string> headers);
  void add(std::vector<std::string> row);
  bool empty() const { return rows_.empty(); }
  void print(std::ostream& out, bool withHeader = true) const;

 private:
  std::vector<std::string> headers_;
  std::vector<std::vector<std::string>> rows_;
};

// Text forms used throughout.
std::string hex32(std::uint32_t value);
std::string hex8(std::uint8_t value);

}  // namespace sysdatactl
