// A simulated unit for one test: its own root directory under the build
// tree's test-tmp (or the system temp directory), its own namespace of
// shared-memory segments, the host's records filled as a booted unit has
// them. Destroying it runs the host's singleton teardown, removes the unit's
// segments and deletes the root, so a test leaves nothing behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/SystemDef.h"
#include "tests/support/UnitFiles.h"

namespace sysdata_test {

class SimUnit {
 public:
  // Host-side directories of the unit (mapped under root() by the stand-in).
  static constexpr const char* kSaveDir = kUnitSaveDir;
  static constexpr const char* kCalibrationDir = kUnitCalibrationDir;
  static constexpr const char* kCustomizeFileName = kUnitCustomizeFileName;

  explicit SimUnit(SystemDef::SYS_INFO_MODEL model = SystemDef::SYS_INFO_MODEL_6,
                   SystemDef::SYS_INFO_DESTINATION destination = SystemDef::SYS_INFO_DESTINATION_5);
  ~SimUnit();
  SimUnit(const SimUnit&) = delete;
  SimUnit& operator=(const SimUnit&) = delete;

  const std::string& root() const { return root_; }
  // Where a host path lies on this machine: root() + hostPath.
  std::string disk(const std::string& hostPath) const;
  // On-disk path of a settings file in the save directory.
  std::string saveFile(const std::string& name) const;
  // On-disk path of "AirGestureCalibration.ini".
  std::string calibrationFile() const;
  // A fresh empty directory under the root (on-disk path), e.g. an export medium.
  std::string makeDir(const std::string& relative) const;
  // Creates <root>/Syslog/ (the library never creates it).
  std::string makeSyslog() const;

  // The host's records.
  void setPair(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination);
  void setLangSetCode(std::uint32_t code);
  void setCustomizeFileName(const char* name);
  void setDemoUserInit(std::uint8_t value);
  void setCameraHd(std::uint8_t value);
  void setSaveFileDir(const char* dir);
  void setCalibrationDir(const char* dir);

 private:
  std::string root_;
};

// Test fixture with one unit per test.
class SimUnitTest : public ::testing::Test {
 protected:
  SimUnit unit;
};

// ---- file helpers for assertions (readFile, writeFile: UnitFiles.h) ----
bool fileExists(const std::string& path);
// "Key=Value" lines of a settings file, raw value text, in file order.
std::vector<std::pair<std::string, std::string>> readKeyFile(const std::string& path);
// The raw value text of key, or "<missing>".
std::string keyValue(const std::string& path, const std::string& key);

}  // namespace sysdata_test
