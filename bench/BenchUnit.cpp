#include "bench/BenchUnit.h"

#include <cstdio>
#include <cstdlib>

namespace sysdata_bench {

void replaceFile(const std::string& path, const std::string& content) {
  const std::string temp = path + ".bench-tmp";
  writeFile(temp, content);
  ::rename(temp.c_str(), path.c_str());
}

BenchUnit::BenchUnit() {
  const char* base = std::getenv("SYSDATA_BENCH_TMP");
  const std::string parent = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  root_ = sysdata_test::openUnitRoot(parent, "bench-unit-");
  if (root_.empty()) {
    std::fprintf(stderr, "mkdtemp failed under %s\n", parent.c_str());
    return;
  }
  if (!sysdata_test::bootUnitRecords(root_, SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5)) {
    std::fprintf(stderr, "cannot map the host records of %s\n", root_.c_str());
    std::abort();
  }
}

BenchUnit::~BenchUnit() { sysdata_test::closeUnitRoot(root_); }

std::string BenchUnit::makeDir(const std::string& relative) const {
  const std::string path = root_ + "/" + relative;
  makeDirs(path);
  return path;
}

}  // namespace sysdata_bench
