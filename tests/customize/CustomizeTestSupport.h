// Shared pieces of the customization tests: a unit with a medium that holds
// the dealer's file, the validation pass run on a text, and the messages the
// customization logged.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TqStorage.h"
#include "src/customize/CustomizeSysDataProductImpl.h"
#include "standin/testing/LogCapture.h"
#include "tests/support/SimUnit.h"

namespace customize_test {

constexpr const char* kHeader = "DOP_Customize\n";
constexpr const char* kSettingsSource = "src/customize/CustomizeSettings";
constexpr const char* kImplSource = "src/customize/CustomizeSysDataProductImpl";
constexpr const char* kUtilitySource = "src/customize/CustomizeUtility";

// One message as the tests expect it.
struct Logged {
  std::string source;
  std::string function;
  std::string message;
  bool operator==(const Logged& other) const {
    return source == other.source && function == other.function && message == other.message;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Logged& logged) {
  return out << logged.source << " " << logged.function << " \"" << logged.message << "\"";
}

// The customization's messages (tag 1, from src/customize/), in order.
inline std::vector<Logged> customizeLogs(const standin::testing::ScopedLogCapture& capture) {
  std::vector<Logged> out;
  for (const auto& record : capture.records()) {
    if (record.file.rfind("src/customize/", 0) != 0) continue;
    EXPECT_EQ(record.tag, 1) << record.message;
    out.push_back({record.file, record.function, record.message});
  }
  return out;
}

// A unit with a medium for the dealer's files.
class CustomizeUnit {
 public:
  // The medium the dealer's file comes on (a host path, mapped under the
  // unit's root by the framework).
  static constexpr const char* kMedia = "/media/usb/";
  static constexpr const char* kFileName = "dop.txt";

  CustomizeUnit() { unit.makeDir("media/usb"); }

  sysdata_test::SimUnit unit;

  std::string mediaDisk(const std::string& name) const { return unit.disk(std::string(kMedia) + name); }
  std::string syslogDisk(const std::string& name) const { return unit.disk("/Syslog/" + name); }

  // Writes the customization file; returns its host path.
  std::string writeCustomization(const std::string& content) const {
    sysdata_test::writeFile(mediaDisk(kFileName), content);
    return std::string(kMedia) + kFileName;
  }

  // The validation pass (header, then every entry) over content.
  bool validate(const std::string& content) const {
    const std::string path = writeCustomization(content);
    TqStorage file(path.c_str(), "rb");
    EXPECT_TRUE(file.IsOpen());
    CustomizeSysDataProductImpl impl;
    return impl.checkHeader(file) && impl.checkData(file, kMedia);
  }
};

class CustomizeTest : public ::testing::Test, public CustomizeUnit {};

}  // namespace customize_test
