#include "Output.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace sysdatactl {

Json Json::boolean(bool v) {
  Json j;
  j.kind_ = Kind::Bool;
  j.bool_ = v;
  return j;
}

Json Json::integer(std::int64_t v) {
  Json j;
  j.kind_ = Kind::Int;
  j.int_ = v;
  return j;
}

Json Json::string(std::string v) {
  Json j;
  j.kind_ = Kind::String;
  j.string_ = std::move(v);
  return j;
}

Json Json::array() {
  Json j;
  j.kind_ = Kind::Array;
  return j;
}

Json Json::object() {
  Json j;
  j.kind_ = Kind::Object;
  return j;
}

Json& Json::push(Json value) {
  items_.push_back(std::move(value));
  return *this;
}

Json& Json::set(const std::string& key, Json value) {
  for (auto& member : members_) {
    if (member.first == key) {
      member.second = std::move(value);
      return *this;
    }
  }
  members_.emplace_back(key, std::move(value));
  return *this;
}

std::string jsonQuote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          // Bytes above 0x7f pass as they are; settings text is ASCII.
          out += static_cast<char>(c);
        }
    }
  }
  out += "\"";
  return out;
}

namespace {

bool isScalar(const Json& j) { return j.kind() != Json::Kind::Array && j.kind() != Json::Kind::Object; }

}  // namespace

void Json::write(std::string& out, int indent, bool prettyPrint) const {
  const std::string pad = prettyPrint ? std::string(static_cast<std::size_t>(indent + 2), ' ') : "";
  const std::string closePad = prettyPrint ? std::string(static_cast<std::size_t>(indent), ' ') : "";
  switch (kind_) {
    case Kind::Null:
      out += "null";
      return;
    case Kind::Bool:
      out += bool_ ? "true" : "false";
      return;
    case Kind::Int:
      out += std::to_string(int_);
      return;
    case Kind::String:
      out += jsonQuote(string_);
      return;
    case Kind::Array: {
      if (items_.empty()) {
        out += "[]";
        return;
      }
      const bool flat = !prettyPrint || std::all_of(items_.begin(), items_.end(), isScalar);
      out += "[";
      for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i != 0) out += flat && prettyPrint ? ", " : ",";
        if (!flat) out += "\n" + pad;
        items_[i].write(out, indent + 2, prettyPrint);
      }
      if (!flat) out += "\n" + closePad;
      out += "]";
      return;
    }
    case Kind::Object: {
      if (members_.empty()) {
        out += "{}";
        return;
      }
      out += "{";
      for (std::size_t i = 0; i < members_.size(); ++i) {
        if (i != 0) out += ",";
        if (prettyPrint) out += "\n" + pad;
        out += jsonQuote(members_[i].first);
        out += prettyPrint ? ": " : ":";
        members_[i].second.write(out, indent + 2, prettyPrint);
      }
      if (prettyPrint) out += "\n" + closePad;
      out += "}";
      return;
    }
  }
}

std::string Json::dump() const {
  std::string out;
  write(out, 0, false);
  return out;
}

std::string Json::pretty() const {
  std::string out;
  write(out, 0, true);
  return out;
}

Table::Table(std::vector<std::string> headers) : headers_(std::move(headers)) {}

void Table::add(std::vector<std::string> row) {
  row.resize(headers_.size());
  rows_.push_back(std::move(row));
}

void Table::print(std::ostream& out, bool withHeader) const {
  std::vector<std::size_t> widths(headers_.size(), 0);
  auto measure = [&widths](const std::vector<std::string>& row) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  };
  if (withHeader) measure(headers_);
  for (const auto& row : rows_) measure(row);
  auto emit = [&](const std::vector<std::string>& row) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i + 1 == row.size()) {
        line += row[i];
      } else {
        line += row[i];
        line.append(widths[i] - row[i].size() + 2, ' ');
      }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << "\n";
  };
  if (withHeader) emit(headers_);
  for (const auto& row : rows_) emit(row);
}

std::string hex32(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", value);
  return buf;
}

std::string hex8(std::uint8_t value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02x", value);
  return buf;
}

}  // namespace sysdatactl
