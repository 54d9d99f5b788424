// Resets of every product settings file, walked through the product file
// list: a key=value file holds exactly its keys, values, order and types
// (other keys untouched, in place); a binary file is exactly its record.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "core/SystemRecords.h"
#include "platform/TqSimulation.h"
#include "settings/CommonSettings.h"
#include "settings/FeatureSettings.h"
#include "settings/SettingsCatalog.h"
#include "settings/SxmSettings.h"
#include "standin/testing/StoreControl.h"
#include "tests/settings/ExpectedFiles.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::ExpectedFile;
using sysdata_test::ExpectedKey;
using sysdata_test::readFile;
using sysdata_test::readKeyFile;
using sysdata_test::SimUnitTest;
using sysdata_test::writeFile;
using KeyRows = std::vector<std::pair<std::string, std::string>>;

KeyRows rowsOf(const std::vector<ExpectedKey>& keys) {
  KeyRows rows;
  for (const ExpectedKey& k : keys) rows.emplace_back(k.key, k.raw);
  return rows;
}

std::string textOf(const KeyRows& rows) {
  std::string text;
  for (const auto& r : rows) text += r.first + "=" + r.second + "\n";
  return text;
}

// A value of the key's type that differs from every default.
std::string oddRaw(sysdata::KeyType type) {
  switch (type) {
    case sysdata::KeyType::Bool:
      return "0";
    case sysdata::KeyType::String:
      return "left over";
    default:
      return "77";
  }
}

// Runs fn on another thread; false when it does not finish in time (the
// process then ends at once, since the thread cannot be joined).
bool finishesInOtherThread(void (*fn)()) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread worker([&done, fn] {
    fn();
    done.set_value();
  });
  if (finished.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "operation did not finish";
    std::_Exit(1);
  }
  worker.join();
  return true;
}

std::string diskPathOf(const sysdata_test::SimUnit& unit, const std::string& name) {
  return name == "AirGestureCalibration.ini" ? unit.calibrationFile() : unit.saveFile(name);
}

TEST(ProductFileList, NamesKindsIdsTablesAndRecordsInOrder) {
  const std::vector<ExpectedFile> expected = sysdata_test::expectedProductFiles();
  ASSERT_EQ(sysdata::kProductFileCount, expected.size());
  const sysdata::SettingsFileDef* files = sysdata::productFiles();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ExpectedFile& want = expected[i];
    const sysdata::SettingsFileDef& got = files[i];
    SCOPED_TRACE(::testing::Message() << "#" << i + 1 << " " << want);
    EXPECT_EQ(got.fileName, want.name);
    EXPECT_EQ(got.kind == sysdata::FileKind::Binary, want.binary);
    EXPECT_EQ(got.registryId, want.registryId);
    EXPECT_EQ(got.exportDefaults, want.exportDefaults);
    EXPECT_NE(got.reset, nullptr);
    if (want.binary) {
      EXPECT_EQ(got.recordSize, want.size);
      EXPECT_EQ(got.keys, nullptr);
      ASSERT_NE(got.fill, nullptr);
      EXPECT_EQ(SysDataProductFactory::binaryName(SysDataProductFactory::SYSDATA_BINARY_ID(got.registryId)),
                want.name);
    } else {
      EXPECT_EQ(SysDataProductFactory::metaTextName(SysDataProductFactory::SYSDATA_METATXT_ID(got.registryId)),
                want.name);
      ASSERT_EQ(got.keyCount, want.keys.size());
      for (std::size_t k = 0; k < got.keyCount; ++k) {
        SCOPED_TRACE(want.keys[k].key);
        EXPECT_EQ(got.keys[k].key, want.keys[k].key);
        EXPECT_EQ(sysdata::keyTypeName(got.keys[k].type), sysdata::keyTypeName(want.keys[k].type));
      }
    }
    EXPECT_EQ(sysdata::findProductFile(want.name), &got);
  }
  const sysdata::SettingsFileDef& calibration = sysdata::airGestureCalibrationFile();
  EXPECT_STREQ(calibration.fileName, "AirGestureCalibration.ini");
  EXPECT_EQ(calibration.kind, sysdata::FileKind::Binary);
  EXPECT_EQ(calibration.registryId, SysDataProductFactory::SYSDATA_BINARY_AIR_GESTURE_CALIBRATION);
  EXPECT_EQ(calibration.recordSize, 32u);
}

TEST(ProductFileList, FindsOnlyExactNames) {
  const std::vector<std::string> notFound = {
      "sxm.ini", "SXM.INI", "Sxm.ini ", " Sxm.ini", "/data/save/Sxm.ini", "save/Sxm.ini", "Sxm",
      "AirGestureCalibration.ini", "Settings.ini", "Mic.ini", "", "GARMIN.NVM",
  };
  for (const std::string& name : notFound) {
    SCOPED_TRACE("'" + name + "'");
    EXPECT_EQ(sysdata::findProductFile(name), nullptr);
  }
}

// The one walk over every key=value file: fresh reset, reset over a file
// full of other values and foreign keys, and a second reset.
TEST_F(SimUnitTest, EveryKeyValueResetWritesExactlyItsTable) {
  const std::vector<ExpectedFile> expected = sysdata_test::expectedProductFiles();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ExpectedFile& want = expected[i];
    if (want.binary) continue;
    SCOPED_TRACE(::testing::Message() << want);
    const sysdata::SettingsFileDef& def = sysdata::productFiles()[i];
    const std::string path = unit.saveFile(want.name);

    // Each default the table hands out (to the reset and the export) has
    // its key's type, so the reset writes with that type's Set overload.
    for (std::size_t k = 0; k < def.keyCount; ++k) {
      SCOPED_TRACE(def.keys[k].key);
      const sysdata::KeyValue value = def.keys[k].getDefault();
      EXPECT_EQ(sysdata::keyTypeName(value.type), sysdata::keyTypeName(want.keys[k].type));
      EXPECT_EQ(value.type, def.keys[k].type);
    }

    // Fresh file.
    ASSERT_FALSE(sysdata_test::fileExists(path));
    def.reset();
    EXPECT_EQ(readKeyFile(path), rowsOf(want.keys));
    const std::string once = readFile(path);
    def.reset();
    EXPECT_EQ(readFile(path), once) << "resetting twice equals resetting once";

    // A file full of other values, its keys in another order, with foreign keys.
    KeyRows before = {{"ForeignFirst", "keep me"}};
    for (auto k = want.keys.rbegin(); k != want.keys.rend(); ++k) before.emplace_back(k->key, oddRaw(k->type));
    before.emplace_back("ForeignLast", "-3");
    writeFile(path, textOf(before));
    def.reset();
    KeyRows after = before;
    for (auto& row : after) {
      for (const ExpectedKey& k : want.keys) {
        if (row.first == k.key) row.second = k.raw;
      }
    }
    EXPECT_EQ(readKeyFile(path), after);
    const std::string overOld = readFile(path);
    def.reset();
    EXPECT_EQ(readFile(path), overOld);
  }
}

TEST_F(SimUnitTest, EveryBinaryResetWritesExactlyItsRecord) {
  std::vector<ExpectedFile> binaries;
  std::vector<const sysdata::SettingsFileDef*> defs;
  const std::vector<ExpectedFile> expected = sysdata_test::expectedProductFiles();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (!expected[i].binary) continue;
    binaries.push_back(expected[i]);
    defs.push_back(&sysdata::productFiles()[i]);
  }
  binaries.push_back(sysdata_test::expectedCalibrationFile());
  defs.push_back(&sysdata::airGestureCalibrationFile());

  for (std::size_t i = 0; i < binaries.size(); ++i) {
    const ExpectedFile& want = binaries[i];
    const sysdata::SettingsFileDef& def = *defs[i];
    SCOPED_TRACE(::testing::Message() << want);
    EXPECT_EQ(def.fill(), want.fill);
    const std::string path = diskPathOf(unit, want.name);
    const std::string record(want.size, static_cast<char>(want.fill));

    const std::vector<std::pair<const char*, std::string>> before = {
        {"missing", std::string()},
        {"longer", std::string(want.size + 1000, '\xAB')},
        {"shorter", std::string(want.size / 2, '\x01')},
        {"empty", std::string(" ", 0)},
    };
    for (const auto& b : before) {
      SCOPED_TRACE(b.first);
      if (std::string(b.first) == "missing") {
        ::unlink(path.c_str());
      } else {
        writeFile(path, b.second);
      }
      def.reset();
      const std::string got = readFile(path);
      EXPECT_EQ(got.size(), want.size);
      EXPECT_TRUE(got == record) << "every byte is the fill value";
    }
  }
}

// The edge cases people ask about, spelled out.
TEST_F(SimUnitTest, NotableDefaults) {
  TqSingleton<SysDataSxmFavorite>::GetInstance()->initializeAllData();
  const std::string favorite = unit.saveFile("SxmFavorite.ini");
  const KeyRows rows = readKeyFile(favorite);
  EXPECT_EQ(rows.size(), 72u);
  EXPECT_EQ(sysdata_test::keyValue(favorite, "Band3Preset4Channel"), "6");
  EXPECT_EQ(sysdata_test::keyValue(favorite, "Band3Preset4ServiceID"), "6");
  for (const auto& row : rows) {
    if (row.first.find("ContentType") != std::string::npos) {
      EXPECT_EQ(row.second, "6") << row.first;
    }
  }

  TqSingleton<SysDataSxmTeamDb>::GetInstance()->initializeAllData();
  EXPECT_EQ(readFile(unit.saveFile("SxmTeamDb.ini")), std::string(20480, '\0'));
  TqSingleton<SysDataAirGestureCalibration>::GetInstance()->initializeAllData();
  EXPECT_EQ(readFile(unit.calibrationFile()), std::string(32, '\xFF'));

  TqSingleton<SysDataImitationPwrOff>::GetInstance()->initializeAllData();
  const std::string imitation = unit.saveFile("ImitationPwrOff.ini");
  EXPECT_EQ(sysdata_test::keyValue(imitation, "ImitationPwrOffLastSource"), "65535");
  EXPECT_EQ(sysdata_test::keyValue(imitation, "ImitationPwrOffLastSubSource"), "65535");

  TqSingleton<SysDataMiracastSetting>::GetInstance()->initializeAllData();
  EXPECT_EQ(sysdata_test::keyValue(unit.saveFile("MiracastSetting.ini"), "DeviceName"), "Car Multimedia");
}

// Every default is one value for all pairs in this product: for each of the
// 22 variants, for pairs no variant uses, and when "SystemInfo" cannot be
// mapped at all.
TEST_F(SimUnitTest, DefaultsAreTheSameForEveryPair) {
  std::vector<std::pair<int, int>> pairs;
  for (std::size_t i = 0; i < sysdata::kVariantCount; ++i) {
    pairs.emplace_back(sysdata::variants()[i].model, sysdata::variants()[i].destination);
  }
  pairs.insert(pairs.end(), {{0, 0}, {15, 8}, {6, 2}, {-1, -1}, {99, 99}});

  auto check = [&] {
    EXPECT_EQ(TqSingleton<SysDataMiracastSetting>::GetInstance()->getDefaultDeviceName(), "Car Multimedia");
    EXPECT_EQ(TqSingleton<SysDataPhotoWidgetResumeInfo>::GetInstance()->getDefaultContentsPath(), "");
    EXPECT_EQ(TqSingleton<SysDataPhotoWidgetResumeInfo>::GetInstance()->getDefaultDeviceKey(), "");
    EXPECT_EQ(TqSingleton<SysDataInitialValueCustomize>::GetInstance()->getDefaultStartupCautionPath(), "");
    EXPECT_EQ(TqSingleton<SysDataImitationPwrOff>::GetInstance()->getDefaultImitationPwrOffLastSource(), 65535);
    EXPECT_EQ(TqSingleton<SysDataThirdPartyTv>::GetInstance()->getDefault3rdPartyTvEnable(), false);
    EXPECT_EQ(TqSingleton<SysDataAirGestureSetting>::GetInstance()->getDefaultMoveLeft(), 17);
    EXPECT_EQ(TqSingleton<SysDataSxmResume>::GetInstance()->getDefaultChannelListTextType(), 1u);
    EXPECT_EQ(TqSingleton<SysDataSxmParental>::GetInstance()->getDefaultLockCode(), 0);
    EXPECT_EQ(TqSingleton<SysDataAirGestureCalibration>::GetInstance()->getDefaultAirGestureCalibration(), 0xFF);
    EXPECT_EQ(TqSingleton<SysDataSxmTeamDb>::GetInstance()->getDefaultTeamDb(), 0);
  };
  for (const auto& p : pairs) {
    SCOPED_TRACE(::testing::Message() << "(" << p.first << "," << p.second << ")");
    unit.setPair(SystemDef::SYS_INFO_MODEL(p.first), SystemDef::SYS_INFO_DESTINATION(p.second));
    check();
  }

  SCOPED_TRACE("SystemInfo unmapped");
  const std::string segment = "/dev/shm" + TqSimShmName("/SystemInfo");
  ASSERT_EQ(::unlink(segment.c_str()), 0);
  ASSERT_EQ(::mkdir(segment.c_str(), 0755), 0);
  check();
  TqSingleton<SysDataMiracastSetting>::GetInstance()->initializeAllData();
  EXPECT_EQ(sysdata_test::keyValue(unit.saveFile("MiracastSetting.ini"), "DeviceName"), "Car Multimedia");
  ::rmdir(segment.c_str());
}

// String defaults are looked up over the supported pairs in their own
// order; every row and the fallback hold the one string.
TEST(StringDefaults, TablesListTheSupportedPairsInLookupOrder) {
  const std::vector<std::pair<int, int>> order = {
      {0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3},   {5, 3},   {6, 3},  {7, 3},  {6, 1},  {8, 1},  {9, 5},
      {10, 5}, {6, 5}, {11, 8}, {11, 13}, {12, 8}, {12, 13}, {13, 8}, {14, 8}, {15, 3}, {16, 3}, {16, 8},
  };
  struct Case {
    const char* label;
    const sysdata::VariantStringTable* table;
    const char* value;
  };
  namespace sd = sysdata::string_defaults;
  const std::vector<Case> cases = {
      {"DeviceName", &sd::kDeviceName, "Car Multimedia"},
      {"ContentsPath", &sd::kContentsPath, ""},
      {"DeviceKey", &sd::kDeviceKey, ""},
      {"StartupCautionPath", &sd::kStartupCautionPath, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(c.table->count, order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(c.table->rows[i].model, order[i].first);
      EXPECT_EQ(c.table->rows[i].destination, order[i].second);
      EXPECT_STREQ(c.table->rows[i].value, c.value);
    }
    EXPECT_STREQ(c.table->fallback, c.value);
  }
}

// A registry that cannot make the file object hands back null: the operation
// skips the file, and the class lock is free for the next call.
TEST_F(SimUnitTest, MissingFileObjectIsSkippedAndTheLockReleased) {
  struct Case {
    const char* file;
    void (*run)();
  };
  const std::vector<Case> cases = {
      {"SxmSetting.ini", [] { TqSingleton<SysDataSxmSetting>::GetInstance()->initializeAllData(); }},
      {"SxmTeamDb.ini", [] { TqSingleton<SysDataSxmTeamDb>::GetInstance()->initializeAllData(); }},
      {"ProductCameraSetting.ini", [] { TqSingleton<SysDataProductCameraSetting>::GetInstance()->setMessageSetting(3); }},
      {"Mic.ini", [] { TqSingleton<SysDataMic>::GetInstance()->setEchoCancel(2); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    standin::testing::FailCreationOf(c.file);
    c.run();
    EXPECT_FALSE(sysdata_test::fileExists(unit.saveFile(c.file)));
    standin::testing::ClearCreationFailures();
    // From another thread: the class lock is re-entrant for its holder.
    ASSERT_TRUE(finishesInOtherThread(c.run)) << "the class lock was kept";
    EXPECT_TRUE(sysdata_test::fileExists(unit.saveFile(c.file)));
  }
}

}  // namespace
