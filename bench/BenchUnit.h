// A simulated unit for the benchmarks: its own root directory under a
// temporary parent, its own namespace of shared-memory segments, and the
// host's records filled as on a booted unit. The destructor runs the host's
// singleton teardown, removes the unit's segments and deletes the root.
#pragma once

#include <cstddef>
#include <string>

#include "platform/SystemDef.h"
#include "tests/support/UnitFiles.h"

namespace sysdata_bench {

class BenchUnit {
 public:
  // Host-side directories of the unit (mapped under root() by the stand-in).
  static constexpr const char* kSaveDir = sysdata_test::kUnitSaveDir;
  static constexpr const char* kCalibrationDir = sysdata_test::kUnitCalibrationDir;
  static constexpr const char* kCustomizeFileName = sysdata_test::kUnitCustomizeFileName;

  BenchUnit();
  ~BenchUnit();
  BenchUnit(const BenchUnit&) = delete;
  BenchUnit& operator=(const BenchUnit&) = delete;

  bool ok() const { return !root_.empty(); }
  const std::string& root() const { return root_; }
  // Where a host path lies on this machine.
  std::string disk(const std::string& hostPath) const { return root_ + hostPath; }
  // On-disk path of a settings file in the save directory.
  std::string saveFile(const std::string& name) const { return root_ + kSaveDir + "/" + name; }
  // A fresh directory under the root (on-disk path).
  std::string makeDir(const std::string& relative) const;

 private:
  std::string root_;
};

// Plain file helpers (no durability: setup work outside the timed regions).
using sysdata_test::makeDirs;
using sysdata_test::readFile;
using sysdata_test::removeTree;
using sysdata_test::writeFile;
// Replaces path by rename, as every writer of a settings file does.
void replaceFile(const std::string& path, const std::string& content);

}  // namespace sysdata_bench
