// The state every benchmark starts from: a simulated unit with its default
// table filled, all 38 product files reset, the common files holding their
// keys, and a floor directory with the segments the floors map.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "bench/BenchUnit.h"
#include "bench/Floors.h"
#include "util/SysDataUtilProduct.h"

namespace sysdata_bench {

// Keys of a "Settings.ini" with n keys: "BeepVol" first, then the other keys
// the accessor reads, then host keys, all with small values.
std::vector<std::pair<std::string, int>> settingsKeys(std::size_t n);

// The same text with the value of its first line changed: a file that a
// reset or an export must write again.
std::string withFirstValueChanged(const std::string& text);

struct Scenario {
  explicit Scenario(std::size_t settingsKeyCount = 72);
  ~Scenario();
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  // Copies the unit's save file name into the floor directory.
  void mirror(const std::string& name) const;

  BenchUnit unit;
  SysDataUtilProduct util;
  FloorDir floor;
  FloorSegment systemInfo;
  FloorSegment sysDataInfo;
  FloorSegment funcInfo;
  FloorSegment funcInfoProduct;
  FloorSegment sysDataDefault;
};

}  // namespace sysdata_bench
