// Import takes "FrontRecorderLastConnect" of "DriveRecorder.ini" from the
// import directory and nothing else, then the base decides the result. The
// calibration check creates "AirGestureCalibration.ini" only when it is
// missing and always runs the base.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "standin/testing/HostCalls.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"
#include "tests/util/UtilTestSupport.h"
#include "util/SysDataUtilProduct.h"

namespace {

using sysdata_test::fileExists;
using sysdata_test::keyValue;
using sysdata_test::readFile;
using sysdata_test::writeFile;

using ImportTest = util_test::UtilTest;

TEST_F(ImportTest, OnlyTheLastConnectionIsTakenOver) {
  struct Row {
    const char* what;
    const char* copy;  // "DriveRecorder.ini" in the import directory; null: none
    const char* live;  // the unit's "DriveRecorder.ini"; null: none
    const char* expectedLastConnect;
    bool baseResult;
  };
  const Row rows[] = {
      {"key in the copy", "FrontRecorderLastConnect=42\nOther=5\n", "FrontRecorderLastConnect=3\nOther=1\n", "42", true},
      {"negative value", "FrontRecorderLastConnect=-7\n", "FrontRecorderLastConnect=3\nOther=1\n", "-7", false},
      {"key absent from the copy", "Other=5\n", "FrontRecorderLastConnect=3\nOther=1\n", "3", true},
      {"value not a number", "FrontRecorderLastConnect=abc\n", "FrontRecorderLastConnect=3\nOther=1\n", "3", true},
      {"no copy at all", nullptr, "FrontRecorderLastConnect=3\nOther=1\n", "3", false},
      {"unit without the key", "FrontRecorderLastConnect=8\n", "Other=1\n", "8", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string importDir = unit.makeDir("import");
    const std::string copy = importDir + "/DriveRecorder.ini";
    const std::string live = unit.saveFile("DriveRecorder.ini");
    if (row.copy != nullptr) writeFile(copy, row.copy); else ::unlink(copy.c_str());
    writeFile(live, row.live);
    const std::string copyBefore = readFile(copy);
    standin::testing::ClearHostCalls();
    standin::testing::SetHostResult("dataImport", row.baseResult);

    SysDataUtilProduct util;
    EXPECT_EQ(util.dataImport(importDir.c_str()), row.baseResult);

    EXPECT_EQ(keyValue(live, "FrontRecorderLastConnect"), row.expectedLastConnect);
    EXPECT_EQ(keyValue(live, "Other"), "1") << "only the one key is imported";
    EXPECT_EQ(readFile(copy), copyBefore) << "the import directory is only read";
    EXPECT_EQ(fileExists(copy), row.copy != nullptr);
    EXPECT_EQ(baseCalls(), std::vector<std::string>{"dataImport(" + importDir + ")"});
  }
}

// The unit's file is flushed also when there is nothing to take over: a unit
// without "DriveRecorder.ini" has one afterwards.
TEST_F(ImportTest, LiveFileIsFlushedWithoutTheKey) {
  const std::string importDir = unit.makeDir("import");
  writeFile(importDir + "/DriveRecorder.ini", "Other=5\n");
  const std::string live = unit.saveFile("DriveRecorder.ini");
  ASSERT_FALSE(fileExists(live));

  SysDataUtilProduct util;
  util.dataImport(importDir.c_str());
  EXPECT_TRUE(fileExists(live));
  EXPECT_EQ(keyValue(live, "FrontRecorderLastConnect"), "<missing>");
}

// No file object for "DriveRecorder.ini": the unit's file is left alone and
// the base still decides.
TEST_F(ImportTest, NoFileObjectOnlyRunsTheBase) {
  const std::string importDir = unit.makeDir("import");
  writeFile(importDir + "/DriveRecorder.ini", "FrontRecorderLastConnect=42\n");
  const std::string live = unit.saveFile("DriveRecorder.ini");
  writeFile(live, "FrontRecorderLastConnect=3\n");
  standin::testing::FailCreationOf("DriveRecorder.ini");
  standin::testing::SetHostResult("dataImport", false);

  SysDataUtilProduct util;
  EXPECT_FALSE(util.dataImport(importDir.c_str()));
  EXPECT_EQ(readFile(live), "FrontRecorderLastConnect=3\n");
  EXPECT_EQ(baseCalls(), std::vector<std::string>{"dataImport(" + importDir + ")"});
}

using CalibrationTest = util_test::UtilTest;

TEST_F(CalibrationTest, CreatedOnlyWhenMissing) {
  struct Row {
    const char* what;
    bool present;
    std::string content;
  };
  const Row rows[] = {
      {"missing", false, ""},
      {"present, empty", true, ""},
      {"present, measured values", true, std::string("\x01\x02\x03\x04", 4) + std::string(28, '\x10')},
      {"present, all zero", true, std::string(32, '\0')},
      {"present, longer than a record", true, std::string(100, 'x')},
      {"present, text", true, "abc"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = unit.calibrationFile();
    if (row.present) writeFile(path, row.content); else ::unlink(path.c_str());
    standin::testing::ClearHostCalls();

    SysDataUtilProduct util;
    util.confirmCalibrationData();

    EXPECT_EQ(readFile(path), row.present ? row.content : std::string(32, '\xFF'));
    EXPECT_EQ(baseCalls(), std::vector<std::string>{"confirmCalibrationData()"});
  }
}

// The existence test looks in the calibration directory, not the save
// directory: a stray file of that name among the settings changes nothing.
TEST_F(CalibrationTest, StrayCopyInTheSaveDirectoryDoesNotCount) {
  writeFile(unit.saveFile("AirGestureCalibration.ini"), "stray");
  SysDataUtilProduct util;
  util.confirmCalibrationData();
  EXPECT_EQ(readFile(unit.calibrationFile()), std::string(32, '\xFF'));
  EXPECT_EQ(readFile(unit.saveFile("AirGestureCalibration.ini")), "stray");
}

}  // namespace
