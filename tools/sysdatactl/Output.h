// Output of sysdatactl: aligned text tables for people, JSON for scripts.
// Both are built from the same rows so they cannot say different things.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace sysdatactl {

// A JSON value: null, bool, integer, string, array or object (keys in the
// order they were added), written by nlohmann-json. Text that is not UTF-8
// (a file name or value from a unit or a USB stick can hold any bytes) is
// written with U+FFFD in place of each invalid byte, so the output is valid
// JSON whatever the input.
class Json {
 public:
  Json() = default;
  static Json null() { return Json(); }
  static Json boolean(bool v);
  static Json integer(std::int64_t v);
  static Json string(std::string v);
  static Json array();
  static Json object();

  // Arrays.
  Json& push(Json value);
  // Objects; a key given again replaces its value.
  Json& set(const std::string& key, Json value);

  // Compact, one line, keys in insertion order.
  std::string dump() const;
  // Indented by two spaces.
  std::string pretty() const;

 private:
  explicit Json(nlohmann::ordered_json value) : value_(std::move(value)) {}
  nlohmann::ordered_json value_;
};

// text as a JSON string literal (quotes included), invalid UTF-8 replaced.
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
