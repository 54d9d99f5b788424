// SettingsDataAccessor::describe, which the tool lists and resolves data keys
// with, must say what the accessor really does: for every data key, set
// writes the keys it names in the file it names, and a missing key is filled
// from the default table offset it names.
#include <unistd.h>

#include <string>

#include "accessor/SettingsDataAccessor.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "tests/support/SimUnit.h"

namespace {

TEST(AccessorDescribe, AgreesWithWhatTheAccessorDoes) {
  for (const bool demoInSettings : {true, false}) {
    for (int n = 0; n < settings_datakey::DATAKEY_MAX; ++n) {
      const auto id = static_cast<settings_datakey::DataKeyID>(n);
      SCOPED_TRACE("data key " + std::to_string(n) + (demoInSettings ? ", demo in Settings.ini" : ""));
      sysdata_test::SimUnit unit;
      unit.setDemoUserInit(demoInSettings ? 1 : 0);
      SettingsDataAccessor::KeyInfo info;
      ASSERT_TRUE(SettingsDataAccessor::describe(id, demoInSettings, &info));
      ASSERT_NE(info.file, nullptr);
      ASSERT_NE(info.key, nullptr);
      ASSERT_NE(info.setKeys[0], nullptr);

      SettingsDataAccessor accessor;
      const int written = 1000 + n;
      accessor.setDataKeyIValue(id, written);
      const std::string path = unit.saveFile(info.file);
      for (const char* key : info.setKeys) {
        if (key == nullptr) continue;
        EXPECT_EQ(sysdata_test::keyValue(path, key), std::to_string(written)) << key;
      }
      EXPECT_EQ(accessor.getDataKeyIValue(id), written);

      // With the file gone, the value comes from the offset described.
      ::unlink(path.c_str());
      {
        SysDataDefault defaults;
        ASSERT_TRUE(sysdata::writeU32(defaults, info.defaultOffset, static_cast<std::uint32_t>(2000 + n)));
      }
      EXPECT_EQ(accessor.getDataKeyIValue(id), 2000 + n);
      EXPECT_EQ(sysdata_test::keyValue(path, info.key), std::to_string(2000 + n));
    }
  }
  SettingsDataAccessor::KeyInfo info;
  EXPECT_FALSE(SettingsDataAccessor::describe(settings_datakey::DATAKEY_MAX, true, &info));
  EXPECT_FALSE(SettingsDataAccessor::describe(static_cast<settings_datakey::DataKeyID>(-1), true, &info));
  EXPECT_FALSE(SettingsDataAccessor::describe(settings_datakey::DATAKEY_BEEP_VOL, true, nullptr));
}

}  // namespace
