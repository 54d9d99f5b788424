#include "Output.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace sysdatactl {

Json Json::boolean(bool v) { return Json(nlohmann::ordered_json(v)); }

Json Json::integer(std::int64_t v) { return Json(nlohmann::ordered_json(v)); }

Json Json::string(std::string v) { return Json(nlohmann::ordered_json(std::move(v))); }

Json Json::array() { return Json(nlohmann::ordered_json::array()); }

Json Json::object() { return Json(nlohmann::ordered_json::object()); }

Json& Json::push(Json value) {
  value_.push_back(std::move(value.value_));
  return *this;
}

Json& Json::set(const std::string& key, Json value) {
  value_[key] = std::move(value.value_);
  return *this;
}

namespace {

constexpr auto kReplace = nlohmann::ordered_json::error_handler_t::replace;

}  // namespace

std::string Json::dump() const { return value_.dump(-1, ' ', false, kReplace); }

std::string Json::pretty() const { return value_.dump(2, ' ', false, kReplace); }

std::string jsonQuote(const std::string& text) { return nlohmann::json(text).dump(-1, ' ', false, kReplace); }

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
