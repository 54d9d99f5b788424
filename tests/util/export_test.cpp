// Export: the 38 product files land in the export directory, every one but
// "DriveRecorder.ini" with the factory values of the unit's pair whatever
// the unit's own files held, "DriveRecorder.ini" as the unit has it, no
// calibration file; the base runs last and its result is returned.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "settings/KeyTable.h"
#include "settings/SettingsCatalog.h"
#include "standin/testing/HostCalls.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"
#include "tests/util/UtilTestSupport.h"
#include "util/SysDataUtilProduct.h"

namespace {

using sysdata_test::fileExists;
using sysdata_test::readFile;
using sysdata_test::SimUnit;
using sysdata_test::writeFile;

const char kExportHostDir[] = "/media/export";
const char kDriveRecorderLive[] = "FrontRecorderLastConnect=5\nRecorderNote=kept as is\n";

// A value of the key's type that differs from its default.
std::string oddValueText(const sysdata::KeyDef& key) {
  const sysdata::KeyValue def = key.getDefault();
  switch (key.type) {
    case sysdata::KeyType::Int:
      return std::to_string(def.i + 12345);
    case sysdata::KeyType::UInt:
      return std::to_string(def.u + 777u);
    case sysdata::KeyType::Bool:
      return def.b ? "0" : "1";
    case sysdata::KeyType::UChar:
      return std::to_string(static_cast<unsigned>(static_cast<unsigned char>(def.c + 17)));
    case sysdata::KeyType::String:
      return def.s + "-odd";
  }
  return "odd";
}

class ExportTest : public util_test::UtilTest {
 protected:
  ExportTest() : exportDir(unit.makeDir(std::string(kExportHostDir).substr(1))) {}

  // The unit's live files: key files alternately with odd values for every
  // key and with none of their keys, binary files of the wrong size and
  // content, "DriveRecorder.ini" with its own content, and a calibration
  // file in the save directory that must not travel.
  void fillLiveFiles() {
    const sysdata::SettingsFileDef* defs = sysdata::productFiles();
    for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
      const sysdata::SettingsFileDef& def = defs[i];
      const std::string path = unit.saveFile(def.fileName);
      if (std::string(def.fileName) == "DriveRecorder.ini") {
        writeFile(path, kDriveRecorderLive);
      } else if (def.kind == sysdata::FileKind::Binary) {
        writeFile(path, std::string(100, '\x77'));
      } else if (i % 2 == 0) {
        std::string text;
        for (std::size_t k = 0; k < def.keyCount; ++k) {
          text += std::string(def.keys[k].key) + "=" + oddValueText(def.keys[k]) + "\n";
        }
        writeFile(path, text);
      } else {
        writeFile(path, "UnitOnlyKey=3\n");
      }
    }
    writeFile(unit.saveFile("AirGestureCalibration.ini"), std::string(32, '\x11'));
    writeFile(unit.calibrationFile(), std::string(32, '\x22'));
  }

  // Every listed key of the export copy reads as its default for the unit's pair.
  void expectDefaults(const sysdata::SettingsFileDef& def) {
    util_test::StoreReader reader(unit, kExportHostDir, def.fileName);
    ASSERT_TRUE(reader.ok());
    for (std::size_t k = 0; k < def.keyCount; ++k) {
      const sysdata::KeyDef& key = def.keys[k];
      SCOPED_TRACE(key.key);
      sysdata::KeyValue got;
      ASSERT_TRUE(reader.get(key.key, key.type, &got));
      EXPECT_TRUE(got == key.getDefault()) << "got " << got.toString() << ", default "
                                           << key.getDefault().toString();
    }
  }

  std::string exportFile(const std::string& name) const { return exportDir + "/" + name; }

  const std::string exportDir;
};

std::vector<std::string> sortedProductNames() {
  std::vector<std::string> names;
  for (const auto& file : util_test::productFiles()) names.push_back(file.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ExportTest, ExportHoldsThe38FilesWithFactoryValues) {
  fillLiveFiles();
  const std::string liveSetting = readFile(unit.saveFile("SxmSetting.ini"));

  SysDataUtilProduct util;
  EXPECT_TRUE(util.dataExport(exportDir.c_str()));

  // Exactly the 38 files: no calibration file, nothing left half-written.
  EXPECT_EQ(util_test::listDir(exportDir), sortedProductNames());

  for (const util_test::ProductFile& file : util_test::productFiles()) {
    SCOPED_TRACE(file.name);
    const std::string path = exportFile(file.name);
    if (std::string(file.name) == "DriveRecorder.ini") {
      EXPECT_EQ(readFile(path), kDriveRecorderLive);
    } else if (file.recordSize > 0) {
      EXPECT_EQ(readFile(path), std::string(file.recordSize, '\0'));
    } else {
      const sysdata::SettingsFileDef* def = sysdata::findProductFile(file.name);
      ASSERT_NE(def, nullptr);
      expectDefaults(*def);
    }
  }
  // The live files are not touched.
  EXPECT_EQ(readFile(unit.saveFile("SxmSetting.ini")), liveSetting);
  EXPECT_EQ(readFile(unit.saveFile("DriveRecorder.ini")), kDriveRecorderLive);
}

// Each key file carries all its keys, also when the unit's file had none of
// them or did not exist; counts as the product defines its files.
TEST_F(ExportTest, EveryKeyIsWrittenWhenTheUnitLacksIt) {
  struct Row {
    const char* file;
    std::size_t keys;
  };
  const Row rows[] = {
      {"Sxm.ini", 12},
      {"SxmAttribute.ini", 24},
      {"SxmCityDbBase.ini", 3},
      {"SxmContentAlertsSetting.ini", 3},
      {"SxmFavorite.ini", 72},
      {"SxmLeagueDbBase.ini", 3},
      {"SxmParental.ini", 3},
      {"SxmSetting.ini", 6},
      {"SxmTeamDbBase.ini", 3},
      {"SxmResume.ini", 1},
      {"SxmTuneMix.ini", 2},
      {"SxmBackupSetting.ini", 1},
      {"ThirdPartyTv.ini", 1},
      {"AirGestureSetting.ini", 7},
      {"ParkingAssistSettings.ini", 2},
      {"MiracastSetting.ini", 2},
      {"GarminExtNaviSetting.ini", 1},
      {"ThirdExtNaviSetting.ini", 1},
      {"RemoteAppKeyCodeSetting.ini", 22},
      {"PhotoWidgetResumeInfo.ini", 6},
      {"DashCamSetting.ini", 3},
      {"ImitationPwrOff.ini", 3},
      {"InitialValueCustomize.ini", 1},
      {"MirroringModeSetting.ini", 2},
      {"PowerOffMode.ini", 1},
      {"UsbMirroringSetting.ini", 2},
      {"ProductCameraSetting.ini", 5},
      {"ProductCameraSignalSetting.ini", 4},
  };
  // Only "DriveRecorder.ini" exists on the unit; the rest come from defaults.
  writeFile(unit.saveFile("DriveRecorder.ini"), kDriveRecorderLive);
  SysDataUtilProduct util;
  util.dataExport(exportDir.c_str());

  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    util_test::StoreReader reader(unit, kExportHostDir, row.file);
    EXPECT_EQ(reader.keys().size(), row.keys);
  }
  // "SxmSetting.ini", value by value.
  util_test::StoreReader setting(unit, kExportHostDir, "SxmSetting.ini");
  struct Value {
    const char* key;
    sysdata::KeyValue expected;
  };
  const Value values[] = {
      {"ContentsAlert", sysdata::KeyValue::of(1)},  {"SeekMode", sysdata::KeyValue::of(0)},
      {"SportsFlash", sysdata::KeyValue::of(1)},    {"TuneStart", sysdata::KeyValue::of(1)},
      {"SportsFlashBeep", sysdata::KeyValue::of(true)}, {"FeaturedFavoritesUpdateMsg", sysdata::KeyValue::of(true)},
  };
  for (const Value& value : values) {
    SCOPED_TRACE(value.key);
    sysdata::KeyValue got;
    ASSERT_TRUE(setting.get(value.key, value.expected.type, &got));
    EXPECT_TRUE(got == value.expected) << got.toString();
  }
}

// A file whose object the store cannot make keeps its live copy; the others
// are still written. Each row has its own unit, so that the failure is met at
// the registry's first request.
TEST(ExportWithoutObject, FileWithoutObjectKeepsItsLiveCopy) {
  struct Row {
    const char* failing;
    const char* stillWritten;
  };
  const Row rows[] = {
      {"SxmSetting.ini", "SxmParental.ini"},
      {"SxmTeamDb.ini", "SxmCityDb.ini"},
      {"Sxm.ini", "SxmTeamDb.ini"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failing);
    SimUnit unit;
    const std::string dir = unit.makeDir("export");
    writeFile(unit.saveFile("DriveRecorder.ini"), kDriveRecorderLive);
    writeFile(unit.saveFile(row.failing), "LiveOnly=1\n");
    writeFile(unit.saveFile(row.stillWritten), "LiveOnly=2\n");
    standin::testing::FailCreationOf(row.failing);

    SysDataUtilProduct util;
    util.dataExport(dir.c_str());

    EXPECT_EQ(readFile(dir + "/" + row.failing), "LiveOnly=1\n");
    EXPECT_NE(readFile(dir + "/" + row.stillWritten), "LiveOnly=2\n");
    EXPECT_EQ(util_test::listDir(dir).size(), 38u);
  }
}

// The base runs last, once, with the path unchanged, and its answer is the
// answer: also when every copy failed because the directory does not exist.
TEST_F(ExportTest, BaseRunsLastAndDecidesTheResult) {
  struct Row {
    const char* what;
    bool directoryExists;
    bool baseResult;
  };
  const Row rows[] = {
      {"existing directory, base true", true, true},
      {"existing directory, base false", true, false},
      {"missing directory, base true", false, true},
      {"missing directory, base false", false, false},
  };
  fillLiveFiles();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = row.directoryExists ? exportDir : unit.root() + "/media/absent";
    standin::testing::ClearHostCalls();
    standin::testing::SetHostResult("dataExport", row.baseResult);

    SysDataUtilProduct util;
    EXPECT_EQ(util.dataExport(path.c_str()), row.baseResult);
    EXPECT_EQ(baseCalls(), std::vector<std::string>{"dataExport(" + path + ")"});
    EXPECT_EQ(fileExists(path), row.directoryExists);
  }
}

// An empty path would point the export at the file-system root: the product
// part does nothing, the base still answers.
TEST_F(ExportTest, EmptyPathWritesNothing) {
  fillLiveFiles();
  const std::vector<std::string> before = util_test::snapshot(unit.root());
  standin::testing::SetHostResult("dataExport", false);
  SysDataUtilProduct util;
  EXPECT_FALSE(util.dataExport(""));
  EXPECT_EQ(util_test::snapshot(unit.root()), before);
  EXPECT_EQ(baseCalls(), std::vector<std::string>{"dataExport()"});
}

}  // namespace
