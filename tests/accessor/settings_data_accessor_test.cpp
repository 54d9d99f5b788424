// Reads and writes of the common settings by data key: which file and key
// each data key stands for, the fill from the factory default table on a
// missing key, the unsigned keys, the two homes of demo mode, and what
// happens when a file object or a record is not there.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "accessor/SettingsDataKey.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "standin/testing/StoreControl.h"
#include "tests/accessor/UnmappableSegment.h"
#include "tests/support/SimUnit.h"

namespace {

using settings_datakey::DataKeyID;
using sysdata_test::keyValue;

constexpr const char* kSettings = "Settings.ini";
constexpr const char* kNoUserInit = "SettingsNoUserInit.ini";
constexpr const char* kSpecial = "SettingsSpecial.ini";
constexpr const char* kMissing = "<missing>";

void writeDefault(std::size_t offset, std::uint32_t value) {
  SysDataDefault view;
  ASSERT_TRUE(sysdata::writeU32(view, offset, value)) << offset;
}

int get(int id) { return SettingsDataAccessor().getDataKeyIValue(static_cast<DataKeyID>(id)); }
void set(int id, int value) { SettingsDataAccessor().setDataKeyIValue(static_cast<DataKeyID>(id), value); }

class SettingsDataAccessorTest : public sysdata_test::SimUnitTest {
 protected:
  std::string stored(const char* file, const char* key) const { return keyValue(unit.saveFile(file), key); }
};

// Every data key but demo mode: where it lives, and where its default is.
struct KeyRow {
  int id;
  const char* file;
  const char* key;
  std::size_t defaultOffset;
  bool isUnsigned;
};

std::ostream& operator<<(std::ostream& out, const KeyRow& row) {
  return out << "data key " << row.id << " (" << row.file << " " << row.key << ")";
}

const KeyRow kKeys[] = {
    {0, kSettings, "SystemLang", 1840, false},
    {1, kSettings, "VoiceLang", 1924, false},
    {2, kSettings, "SystemLang", 1840, false},
    {3, kSettings, "LangSelectMode", 1824, false},
    {4, kSettings, "SecurityIndicator", 1832, false},
    {5, kSettings, "BeepVol", 1768, false},
    {6, kSettings, "BeepOnOff", 1764, false},
    {7, kSettings, "DimmerControl", 1788, false},
    {8, kSettings, "DimmerLumiSensorLv", 1792, false},
    {9, kSettings, "KeyIllumiPreset", 1808, false},
    {10, kSettings, "KeyIllumiRGBUser1Dim", 1812, true},
    {11, kSettings, "KeyIllumiRGBUser2Dim", 1816, true},
    {12, kSettings, "KeyIllumiRGBUser3Dim", 1820, true},
    {13, kSettings, "OptionSwitch", 1920, false},
    {14, kSettings, "ClockOnOff", 1772, false},
    {15, kSettings, "ClockSync", 1776, false},
    {16, kSettings, "TimeZone", 1844, false},
    {17, kSettings, "GuidePhoneVolOnOff", 1804, false},
    {19, kSettings, "AutoAntenna", 1760, false},
    {20, kSettings, "AntennaControlOnOff", 1756, false},
    {21, kSpecial, "DebugInfoOnOff", 1948, false},
    {22, kSpecial, "SnapshotOnOff", 1956, false},
    {23, kSpecial, "TextcheckOnOff", 1960, false},
    {24, kSpecial, "SafemodeOnOff", 1952, false},
    {25, kSettings, "SetupmemLock", 1836, false},
    {26, kNoUserInit, "DemoSettingVisible", 1940, false},
    {27, kSettings, "ExpConnect", 1800, false},
    {28, kSettings, "UsbTetheringOnOff", 1848, false},
    {29, kSettings, "SteeringWheelPosition", 1928, false},
    {30, kSpecial, "TextOverflowCheckOnOff", 1964, false},
};

// A fresh file lacks the key: get answers the default at the row's record
// offset and stores it; a later get reads the file, not the table; set then
// stores its argument unchanged, and get returns it.
TEST(SettingsDataAccessorTable, EveryKeyFillsFromItsDefaultThenReadsAndWritesItsFile) {
  for (const KeyRow& row : kKeys) {
    SCOPED_TRACE(::testing::Message() << row);
    sysdata_test::SimUnit unit;  // each row on a fresh unit
    // A value no other row uses, negative for the signed keys so that the
    // sign survives, all 32 bits for the unsigned ones.
    const std::uint32_t fill = row.isUnsigned ? 0xF0000000u + row.id : static_cast<std::uint32_t>(-100 - row.id);
    const std::string fillText = row.isUnsigned ? std::to_string(fill) : std::to_string(-100 - row.id);
    writeDefault(row.defaultOffset, fill);
    const std::string file = unit.saveFile(row.file);
    ASSERT_EQ(keyValue(file, row.key), kMissing);

    EXPECT_EQ(get(row.id), static_cast<int>(fill));
    EXPECT_EQ(keyValue(file, row.key), fillText);

    writeDefault(row.defaultOffset, 7);
    EXPECT_EQ(get(row.id), static_cast<int>(fill)) << "second get must read the file";

    set(row.id, 12345);
    EXPECT_EQ(keyValue(file, row.key), "12345");
    EXPECT_EQ(get(row.id), 12345);
  }
}

// What one set writes, and what it leaves alone.
struct SetRow {
  const char* name;
  int id;
  int value;
  std::vector<std::pair<const char*, const char*>> written;    // file, key: value in decimal
  std::vector<std::pair<const char*, const char*>> untouched;  // file, key: stays missing
  const char* text;                                            // the stored text
};

TEST(SettingsDataAccessorTable, SetWritesExactlyTheKeysOfItsDataKey) {
  const SetRow rows[] = {
      {"0 writes all three languages", 0, 3,
       {{kSettings, "SystemLang"}, {kSettings, "VoiceLang"}, {kSettings, "DisplayLang"}}, {}, "3"},
      {"2 writes the system language only", 2, 4, {{kSettings, "SystemLang"}},
       {{kSettings, "VoiceLang"}, {kSettings, "DisplayLang"}}, "4"},
      {"1 writes the voice language only", 1, 5, {{kSettings, "VoiceLang"}},
       {{kSettings, "SystemLang"}, {kSettings, "DisplayLang"}}, "5"},
      {"10 stores all 32 bits unsigned", 10, -1, {{kSettings, "KeyIllumiRGBUser1Dim"}}, {}, "4294967295"},
      {"12 stores the top bit unsigned", 12, static_cast<int>(0x80000000u), {{kSettings, "KeyIllumiRGBUser3Dim"}},
       {}, "2147483648"},
      {"a signed key keeps its sign", 16, -7, {{kSettings, "TimeZone"}}, {}, "-7"},
      {"21 goes to the special file", 21, 1, {{kSpecial, "DebugInfoOnOff"}}, {{kSettings, "DebugInfoOnOff"}}, "1"},
      {"26 goes to the file a user reset spares", 26, 1, {{kNoUserInit, "DemoSettingVisible"}},
       {{kSettings, "DemoSettingVisible"}}, "1"},
  };
  for (const SetRow& row : rows) {
    SCOPED_TRACE(row.name);
    sysdata_test::SimUnit fresh;  // each row on a unit of its own
    set(row.id, row.value);
    for (const auto& w : row.written) {
      EXPECT_EQ(keyValue(fresh.saveFile(w.first), w.second), row.text) << w.first << " " << w.second;
    }
    for (const auto& u : row.untouched) {
      EXPECT_EQ(keyValue(fresh.saveFile(u.first), u.second), kMissing) << u.first << " " << u.second;
    }
  }
}

TEST_F(SettingsDataAccessorTest, LanguageKeysZeroAndTwoReadTheSameKey) {
  set(0, 3);
  set(2, 4);
  EXPECT_EQ(stored(kSettings, "SystemLang"), "4");
  EXPECT_EQ(stored(kSettings, "VoiceLang"), "3");
  EXPECT_EQ(stored(kSettings, "DisplayLang"), "3");
  EXPECT_EQ(get(0), 4);
  EXPECT_EQ(get(2), 4);
  EXPECT_EQ(get(1), 3);
}

// Demo mode lives in one of two files, chosen by the function switches.
struct DemoRow {
  std::uint8_t demoUserInit;
  const char* home;
  const char* other;
  std::size_t defaultOffset;
};

std::ostream& operator<<(std::ostream& out, const DemoRow& row) {
  return out << "demoUserInit " << static_cast<int>(row.demoUserInit);
}

TEST(SettingsDataAccessorTable, DemoModeFollowsTheFunctionSwitches) {
  const DemoRow rows[] = {
      {0, kNoUserInit, kSettings, 1936},
      {1, kSettings, kNoUserInit, 1784},
      {0x80, kSettings, kNoUserInit, 1784},
  };
  for (const DemoRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row);
    sysdata_test::SimUnit fresh;
    fresh.setDemoUserInit(row.demoUserInit);
    writeDefault(1784, 21);
    writeDefault(1936, 22);
    const int fill = row.defaultOffset == 1784 ? 21 : 22;

    EXPECT_EQ(get(18), fill);
    EXPECT_EQ(keyValue(fresh.saveFile(row.home), "DemoOnOff"), std::to_string(fill));
    set(18, 1);
    EXPECT_EQ(keyValue(fresh.saveFile(row.home), "DemoOnOff"), "1");
    EXPECT_EQ(get(18), 1);
    EXPECT_EQ(keyValue(fresh.saveFile(row.other), "DemoOnOff"), kMissing);
  }
}

TEST_F(SettingsDataAccessorTest, IdsOutsideTheTableTouchNothing) {
  standin::testing::ClearCreationCalls();
  for (int id : {31, 32, -1, 1000, -2147483647 - 1}) {
    SCOPED_TRACE(::testing::Message() << "id " << id);
    EXPECT_EQ(get(id), 0);
    set(id, 5);
  }
  EXPECT_TRUE(standin::testing::CreationCalls().empty());
  for (const char* file : {kSettings, kNoUserInit, kSpecial}) {
    EXPECT_FALSE(sysdata_test::fileExists(unit.saveFile(file))) << file;
  }
}

// Without a default table a missing key reads 0 and stays missing, so that a
// later read, with the table back, fills the real default.
TEST_F(SettingsDataAccessorTest, MissingKeyWithoutDefaultTableReadsZeroAndIsNotStored) {
  {
    sysdata_test::UnmappableSegment noTable("SysDataDefault");
    ASSERT_TRUE(noTable.made());
    EXPECT_EQ(get(5), 0);
    EXPECT_EQ(stored(kSettings, "BeepVol"), kMissing);
    // A stored key is still read, and sets still work.
    set(6, 1);
    EXPECT_EQ(get(6), 1);
  }
  writeDefault(1768, 3);
  EXPECT_EQ(get(5), 3);
  EXPECT_EQ(stored(kSettings, "BeepVol"), "3");
}

// Without the function switches it is unknown which file holds demo mode.
TEST_F(SettingsDataAccessorTest, DemoModeWithoutFunctionSwitchesTouchesNoFile) {
  writeDefault(1784, 1);
  writeDefault(1936, 1);
  sysdata_test::UnmappableSegment noSwitches("FuncInfo");
  ASSERT_TRUE(noSwitches.made());
  EXPECT_EQ(get(18), 0);
  set(18, 1);
  EXPECT_FALSE(sysdata_test::fileExists(unit.saveFile(kSettings)));
  EXPECT_FALSE(sysdata_test::fileExists(unit.saveFile(kNoUserInit)));
}

// The store could not make the file object: get answers the default, set
// writes nothing, and nothing crashes.
TEST_F(SettingsDataAccessorTest, WithoutAFileObjectGetAnswersTheDefault) {
  standin::testing::FailCreationOf(kSettings);
  writeDefault(1768, 9);
  EXPECT_EQ(get(5), 9);
  set(5, 4);
  EXPECT_FALSE(sysdata_test::fileExists(unit.saveFile(kSettings)));
  // Other files are unaffected.
  set(21, 1);
  EXPECT_EQ(stored(kSpecial, "DebugInfoOnOff"), "1");
}

TEST(SettingsDataKeyNames, NamesAndLookupAgree) {
  for (int i = 0; i < settings_datakey::DATAKEY_MAX; ++i) {
    const auto id = static_cast<DataKeyID>(i);
    const char* name = settings_datakey::name(id);
    ASSERT_NE(name, nullptr) << i;
    DataKeyID found = settings_datakey::DATAKEY_MAX;
    EXPECT_TRUE(settings_datakey::fromName(name, &found)) << name;
    EXPECT_EQ(found, id) << name;
    EXPECT_TRUE(settings_datakey::fromName(name + 8, &found)) << name + 8;
    EXPECT_EQ(found, id) << name;
  }
  struct Row {
    const char* text;
    bool found;
    int id;
  } rows[] = {
      {"DATAKEY_BEEP_VOL", true, 5},  {"BEEP_VOL", true, 5},          {"DATAKEY_DEMO_ON_OFF", true, 18},
      {"beep_vol", false, 0},         {"DATAKEY_MAX", false, 0},      {"", false, 0},
      {"DATAKEY_", false, 0},         {"BEEP_VOL ", false, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    DataKeyID found = settings_datakey::DATAKEY_MAX;
    EXPECT_EQ(settings_datakey::fromName(row.text, &found), row.found);
    if (row.found) {
      EXPECT_EQ(found, row.id);
    }
  }
  EXPECT_EQ(settings_datakey::name(static_cast<DataKeyID>(31)), nullptr);
  EXPECT_EQ(settings_datakey::name(static_cast<DataKeyID>(-1)), nullptr);
  EXPECT_FALSE(settings_datakey::fromName(nullptr, nullptr));
}

}  // namespace
