#include "bench/ResultTable.h"

#include <algorithm>
#include <map>

namespace sysdata_bench {

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

ResultTable& ResultTable::instance() {
  static ResultTable table;
  return table;
}

void ResultTable::addRatio(const RatioRow& row) { ratios_.push_back(row); }

void ResultTable::addGrowth(const GrowthPoint& point) { growth_.push_back(point); }

namespace {

std::string formatUs(double us) {
  char buf[32];
  if (us >= 1000.0) {
    std::snprintf(buf, sizeof buf, "%.2f ms", us / 1000.0);
  } else {
    std::snprintf(buf, sizeof buf, "%.1f us", us);
  }
  return buf;
}

}  // namespace

void ResultTable::printRatios(std::FILE* out) const {
  // Merge repetitions, keeping first-seen order.
  std::vector<std::pair<std::string, std::string>> order;
  std::map<std::pair<std::string, std::string>, std::vector<const RatioRow*>> groups;
  for (const RatioRow& row : ratios_) {
    const auto key = std::make_pair(row.operation, row.bound);
    if (groups.find(key) == groups.end()) order.push_back(key);
    groups[key].push_back(&row);
  }
  std::fprintf(out, "| Operation | Median | Floor or peer | Its median | Ratio | Goal |\n");
  std::fprintf(out, "|---|---:|---|---:|---:|---|\n");
  for (const auto& key : order) {
    const auto& rows = groups[key];
    std::vector<double> op, bound, ratio;
    for (const RatioRow* r : rows) {
      op.push_back(r->operationUs);
      bound.push_back(r->boundUs);
      ratio.push_back(r->boundUs > 0 ? r->operationUs / r->boundUs : 0.0);
    }
    const double goal = rows.front()->goal;
    const double m = median(ratio);
    std::string verdict = "-";
    if (goal > 0) {
      char buf[48];
      std::snprintf(buf, sizeof buf, "<= %.2f: %s", goal, m <= goal ? "met" : "MISSED");
      verdict = buf;
    }
    std::fprintf(out, "| %s | %s | %s | %s | %.2f | %s |\n", key.first.c_str(), formatUs(median(op)).c_str(),
                 key.second.c_str(), formatUs(median(bound)).c_str(), m, verdict.c_str());
  }
}

void ResultTable::printGrowth(std::FILE* out) const {
  std::vector<std::string> order;
  std::map<std::string, std::map<double, std::vector<double>>> series;
  for (const GrowthPoint& p : growth_) {
    if (series.find(p.series) == series.end()) order.push_back(p.series);
    series[p.series][p.x].push_back(p.value);
  }
  std::fprintf(out, "| Series | x | Value |\n|---|---:|---:|\n");
  for (const std::string& name : order) {
    for (const auto& point : series[name]) {
      std::fprintf(out, "| %s | %g | %.2f |\n", name.c_str(), point.first, median(point.second));
    }
  }
}

void ResultTable::writeGrowthData(std::FILE* out) const {
  std::vector<std::string> order;
  std::map<std::string, std::map<double, std::vector<double>>> series;
  for (const GrowthPoint& p : growth_) {
    if (series.find(p.series) == series.end()) order.push_back(p.series);
    series[p.series][p.x].push_back(p.value);
  }
  bool first = true;
  for (const std::string& name : order) {
    if (!first) std::fprintf(out, "\n\n");
    first = false;
    std::fprintf(out, "# %s\n", name.c_str());
    for (const auto& point : series[name]) std::fprintf(out, "%g %.4f\n", point.first, median(point.second));
  }
}

}  // namespace sysdata_bench
