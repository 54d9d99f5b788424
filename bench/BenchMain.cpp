// The suite's entry point: Google Benchmark's own flags, plus
//   --table_out=PATH   the ratio table (Markdown) also written to PATH;
//   --growth_out=PATH  the growth series as gnuplot data blocks.
// The ratio table and the growth table are printed at the end of the run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ResultTable.h"

namespace {

bool takeFlag(const char* arg, const char* name, std::string* value) {
  const std::size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0 || arg[n] != '=') return false;
  *value = arg + n + 1;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string tableOut;
  std::string growthOut;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && (takeFlag(argv[i], "--table_out", &tableOut) || takeFlag(argv[i], "--growth_out", &growthOut))) {
      continue;
    }
    rest.push_back(argv[i]);
  }
  int restCount = static_cast<int>(rest.size());
  rest.push_back(nullptr);
  benchmark::Initialize(&restCount, rest.data());
  if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const sysdata_bench::ResultTable& table = sysdata_bench::ResultTable::instance();
  std::printf("\nOperation against its floor and its peer (medians of interleaved samples)\n\n");
  table.printRatios(stdout);
  std::printf("\nGrowth\n\n");
  table.printGrowth(stdout);
  if (!tableOut.empty()) {
    if (std::FILE* f = std::fopen(tableOut.c_str(), "w")) {
      table.printRatios(f);
      std::fprintf(f, "\n");
      table.printGrowth(f);
      std::fclose(f);
    }
  }
  if (!growthOut.empty()) {
    if (std::FILE* f = std::fopen(growthOut.c_str(), "w")) {
      table.writeGrowthData(f);
      std::fclose(f);
    }
  }
  return 0;
}
