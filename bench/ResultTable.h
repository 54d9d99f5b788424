// What the suite reports beyond Google Benchmark's own lines: one row per
// operation and bound (its floor or its peer) with both medians and their
// ratio, and the growth series that scripts/bench.sh plots.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace sysdata_bench {

struct RatioRow {
  std::string operation;
  double operationUs;
  std::string bound;
  double boundUs;
  // The ratio operation/bound must stay at or below goal; 0: reported only.
  double goal;
};

struct GrowthPoint {
  std::string series;  // "get", "set", "get floor", "threads get different files", ...
  double x;            // keys in the file, or threads
  double value;        // microseconds per operation, or speed-up over one thread
};

class ResultTable {
 public:
  static ResultTable& instance();

  void addRatio(const RatioRow& row);
  void addGrowth(const GrowthPoint& point);

  // Rows of repeated runs of one (operation, bound) are merged by their
  // medians. Markdown.
  void printRatios(std::FILE* out) const;
  void printGrowth(std::FILE* out) const;
  // One block per series for gnuplot: "x value" lines, blocks separated by
  // two blank lines, each headed by "# series".
  void writeGrowthData(std::FILE* out) const;

 private:
  std::vector<RatioRow> ratios_;
  std::vector<GrowthPoint> growth_;
};

double median(std::vector<double> values);

}  // namespace sysdata_bench
