// Without the unit's directories (the "SysDataInfo" record cannot be mapped,
// the host left its directories empty, or the save-file directory fills its
// field without a terminator) no hook crashes, none writes a
// path built from a missing directory (nothing like "/GARMIN.NVM" or
// "/AirGestureCalibration.ini" appears), and the base operations still run.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "platform/SystemRecordLayout.h"
#include "standin/testing/HostCalls.h"
#include "tests/support/SimUnit.h"
#include "tests/util/UtilTestSupport.h"
#include "util/SysDataUtilProduct.h"

namespace {

using sysdata_test::writeFile;

enum class Loss { SegmentUnmappable, DirectoriesEmpty, SaveDirUnterminated };

const char* describe(Loss loss) {
  switch (loss) {
    case Loss::SegmentUnmappable:
      return "record unmappable";
    case Loss::DirectoriesEmpty:
      return "directories empty";
    case Loss::SaveDirUnterminated:
      return "save-file directory without a terminator";
  }
  return "?";
}

// Fills the save-file directory's whole field with '/': read on into the
// (empty) calibration directory behind it, it would name the file-system
// root of the unit.
bool fillSaveDirField() {
  TqSharedMemory<SysDataInfoStruct, 1> shm("SysDataInfo");
  if (shm.recordBytes() == nullptr) return false;
  TqSyncGuard guard(shm);
  std::memset(shm.recordBytes() + record_layout::kSaveFileDir, '/',
              record_layout::kCalibrationDir - record_layout::kSaveFileDir);
  return true;
}

struct Operation {
  const char* what;
  // Runs the hook; returns its result (true for confirmCalibrationData).
  std::function<bool(SysDataUtilProduct&, const std::string& mediaDir)> run;
  bool expected;
  const char* baseCall;  // the base operation expected to run, "" when none
};

const Operation kOperations[] = {
    {"reset navigation file", [](SysDataUtilProduct& u, const std::string&) { return u.initSysDataFile("GARMIN.NVM"); },
     true, ""},
    {"reset another navigation file", [](SysDataUtilProduct& u, const std::string&) { return u.initSysDataFile("gtm_nvm.dat"); },
     true, ""},
    {"reset key file", [](SysDataUtilProduct& u, const std::string&) { return u.initSysDataFile("Sxm.ini"); }, true, ""},
    {"reset binary file", [](SysDataUtilProduct& u, const std::string&) { return u.initSysDataFile("SxmTeamDb.ini"); },
     true, ""},
    {"reset unknown name", [](SysDataUtilProduct& u, const std::string&) { return u.initSysDataFile("Settings.ini"); },
     false, "initSysDataFile"},
    {"calibration check",
     [](SysDataUtilProduct& u, const std::string&) {
       u.confirmCalibrationData();
       return true;
     },
     true, "confirmCalibrationData"},
    {"export", [](SysDataUtilProduct& u, const std::string& dir) { return u.dataExport(dir.c_str()); }, false,
     "dataExport"},
    {"import", [](SysDataUtilProduct& u, const std::string& dir) { return u.dataImport(dir.c_str()); }, false,
     "dataImport"},
};

TEST(UnmappedRecords, NoHookWritesFromAMissingDirectory) {
  for (Loss loss : {Loss::SegmentUnmappable, Loss::DirectoriesEmpty, Loss::SaveDirUnterminated}) {
    for (const Operation& op : kOperations) {
      SCOPED_TRACE(::testing::Message() << op.what << ", " << describe(loss));
      sysdata_test::SimUnit unit;
      const std::string media = unit.makeDir("media");
      writeFile(media + "/DriveRecorder.ini", "FrontRecorderLastConnect=42\n");
      // Files where a path built from an empty directory would point: an
      // export must not pick them up, a reset must not touch them.
      writeFile(unit.root() + "/Sxm.ini", "Band=7\n");
      writeFile(unit.root() + "/GARMIN.NVM", "navigation data\n");
      std::unique_ptr<util_test::BlockedSegment> blocked;
      if (loss == Loss::SegmentUnmappable) {
        blocked.reset(new util_test::BlockedSegment("SysDataInfo"));
        ASSERT_TRUE(blocked->ok());
      } else if (loss == Loss::DirectoriesEmpty) {
        unit.setSaveFileDir("");
        unit.setCalibrationDir("");
      } else {
        unit.setCalibrationDir("");
        ASSERT_TRUE(fillSaveDirField());
      }
      standin::testing::ClearHostCalls();
      standin::testing::ResetHostResults();
      for (const char* base : {"initSysDataFile", "dataExport", "dataImport"}) {
        standin::testing::SetHostResult(base, false);
      }
      const std::vector<std::string> before = util_test::snapshot(unit.root());

      SysDataUtilProduct util;
      EXPECT_EQ(op.run(util, media), op.expected);

      EXPECT_EQ(util_test::snapshot(unit.root()), before);
      std::vector<std::string> calls;
      for (const auto& call : standin::testing::HostCalls()) calls.push_back(call.op);
      const std::vector<std::string> expectedCalls =
          op.baseCall[0] == '\0' ? std::vector<std::string>{} : std::vector<std::string>{op.baseCall};
      EXPECT_EQ(calls, expectedCalls);
      blocked.reset();
      standin::testing::ResetHostResults();
    }
  }
}

}  // namespace
