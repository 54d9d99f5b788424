// Reset of one file by name: the product's settings files go to their
// settings class, the navigation and user data files are emptied, and every
// other name goes to the base operation, whose result is returned.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/testing/HostCalls.h"
#include "tests/support/SimUnit.h"
#include "tests/util/UtilTestSupport.h"
#include "util/SysDataUtilProduct.h"

namespace {

using sysdata_test::fileExists;
using sysdata_test::keyValue;
using sysdata_test::readFile;
using sysdata_test::writeFile;
using util_test::UtilTest;

using ResetByNameTest = UtilTest;

// Every product file: true, no base call, and the file holds its reset
// content, also over a stale file of the wrong size or values.
TEST_F(ResetByNameTest, ProductFilesAreResetByTheirClass) {
  // The base would say false: a true can only come from the product.
  standin::testing::SetHostResult("initSysDataFile", false);
  for (const util_test::ProductFile& file : util_test::productFiles()) {
    SCOPED_TRACE(file.name);
    const std::string path = unit.saveFile(file.name);
    // Stale content: binary files longer than their record and not zero,
    // key files with a value no default has.
    writeFile(path, file.recordSize > 0 ? std::string(file.recordSize + 100, '\x77') : "Stale=1\n");
    standin::testing::ClearHostCalls();

    SysDataUtilProduct util;
    EXPECT_TRUE(util.initSysDataFile(file.name));
    EXPECT_TRUE(baseCalls().empty());

    const std::string content = readFile(path);
    if (file.recordSize > 0) {
      EXPECT_EQ(content, std::string(file.recordSize, '\0'));
    } else {
      // The class wrote its keys after what was there.
      EXPECT_GT(sysdata_test::readKeyFile(path).size(), 1u);
    }
  }
}

// Values a reset must put back, spelled out for two files.
TEST_F(ResetByNameTest, KeyFileGetsItsDefaultsOverOddValues) {
  struct Row {
    const char* file;
    const char* key;
    const char* oddValue;
    const char* defaultText;
  };
  const Row rows[] = {
      {"SxmSetting.ini", "ContentsAlert", "7", "1"},
      {"SxmSetting.ini", "SeekMode", "-3", "0"},
      {"SxmSetting.ini", "TuneStart", "99", "1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.file << " " << row.key);
    writeFile(unit.saveFile(row.file), std::string(row.key) + "=" + row.oddValue + "\n");
    SysDataUtilProduct util;
    EXPECT_TRUE(util.initSysDataFile(row.file));
    EXPECT_EQ(keyValue(unit.saveFile(row.file), row.key), row.defaultText);
  }
}

// Navigation and user data files: emptied when present, created empty when
// missing; never removed, and the base is not asked.
TEST_F(ResetByNameTest, NavigationFilesAreEmptied) {
  standin::testing::SetHostResult("initSysDataFile", false);
  for (bool present : {false, true}) {
    for (const std::string& name : util_test::navigationFiles()) {
      SCOPED_TRACE(::testing::Message() << name << (present ? " (present)" : " (missing)"));
      const std::string path = unit.saveFile(name);
      if (present) {
        writeFile(path, "navigation data that must go\n");
      } else {
        ::unlink(path.c_str());
      }
      standin::testing::ClearHostCalls();

      SysDataUtilProduct util;
      EXPECT_TRUE(util.initSysDataFile(name));
      EXPECT_TRUE(fileExists(path));
      EXPECT_EQ(readFile(path), "");
      EXPECT_TRUE(baseCalls().empty());
    }
  }
}

// Names that are not exactly one of the product's go to the base, whose
// result is returned whatever it is; nothing is written for them.
TEST_F(ResetByNameTest, OtherNamesGoToTheBase) {
  const char* const names[] = {
      "sxm.ini",                    // letter case
      "SXMSETTING.INI",
      "Sxm.ini ",                   // trailing blank
      " Sxm.ini",
      "GARMIN.NVM ",
      "garmin.nvm",
      "data/save/Sxm.ini",          // directory part
      "/data/save/Sxm.ini",
      "./GARMIN.NVM",
      "../GARMIN.NVM",
      "AirGestureCalibration.ini",  // product binary file outside the list
      "Settings.ini",               // common settings files
      "SettingsNoUserInit.ini",
      "Camera.ini",
      "Mic.ini",
      "Sxm",
      "",
  };
  for (bool baseResult : {false, true}) {
    standin::testing::SetHostResult("initSysDataFile", baseResult);
    for (const char* name : names) {
      SCOPED_TRACE(::testing::Message() << "\"" << name << "\", base answers " << baseResult);
      const std::vector<std::string> before = util_test::snapshot(unit.root());
      standin::testing::ClearHostCalls();

      SysDataUtilProduct util;
      EXPECT_EQ(util.initSysDataFile(name), baseResult);
      EXPECT_EQ(baseCalls(), std::vector<std::string>{"initSysDataFile(" + std::string(name) + ")"});
      EXPECT_EQ(util_test::snapshot(unit.root()), before);
    }
  }
}

}  // namespace
