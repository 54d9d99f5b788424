// sysdatactl: reading and writing settings, resets, the default table,
// export and import.
#include "tests/tool/ToolHarness.h"

namespace tooltest {
namespace {

TEST_F(ToolTest, GetAndSetByNumberNameOrSettingsKey) {
  bootUnit();
  struct Row {
    const char* what;
    std::vector<std::string> set;  // arguments after "set"; empty: no set
    const char* get;
    const char* expected;  // what get prints
    const char* file;
    std::vector<std::pair<std::string, std::string>> stored;  // keys of file after the step
  };
  const Row rows[] = {
      {"a fresh key reads its factory default and keeps it", {}, "BeepVol", "3", "Settings.ini", {{"BeepVol", "3"}}},
      {"by number", {"5", "7"}, "5", "7", "Settings.ini", {{"BeepVol", "7"}}},
      {"by name, any case and dashes", {"beep-vol", "2"}, "BEEP_VOL", "2", "Settings.ini", {{"BeepVol", "2"}}},
      {"negative values are stored unchecked", {"TimeZone", "-5"}, "16", "-5", "Settings.ini", {{"TimeZone", "-5"}}},
      {"unsigned keys carry all 32 bits", {"10", "4294967295"}, "KeyIllumiRGBUser1Dim", "4294967295",
       "Settings.ini", {{"KeyIllumiRGBUser1Dim", "4294967295"}}},
      {"hexadecimal input", {"KEY_ILLUMI_RGB_USER2_DIM", "0x1f1f1f"}, "11", "2039583", "Settings.ini",
       {{"KeyIllumiRGBUser2Dim", "2039583"}}},
      {"key 0 writes all three languages", {"0", "3"}, "2", "3", "Settings.ini",
       {{"SystemLang", "3"}, {"VoiceLang", "3"}, {"DisplayLang", "3"}}},
      {"SystemLang by key name writes that key only", {"SystemLang", "4"}, "0", "4", "Settings.ini",
       {{"SystemLang", "4"}, {"VoiceLang", "3"}}},
      {"demo mode follows demo_user_init", {"DEMO_ON_OFF", "0"}, "18", "0", "Settings.ini", {{"DemoOnOff", "0"}}},
      {"special settings file", {"SafemodeOnOff", "1"}, "24", "1", "SettingsSpecial.ini", {{"SafemodeOnOff", "1"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (!row.set.empty()) {
      std::vector<std::string> args = {"set"};
      args.insert(args.end(), row.set.begin(), row.set.end());
      const RunResult set = tool(args);
      ASSERT_EQ(set.exitCode, 0) << set;
      EXPECT_EQ(set.out, "") << set;
    }
    const RunResult get = tool({"get", row.get});
    ASSERT_EQ(get.exitCode, 0) << get;
    EXPECT_EQ(get.out, std::string(row.expected) + "\n") << get;
    for (const auto& kv : row.stored) EXPECT_EQ(keyValue(saveFile(row.file), kv.first), kv.second) << kv.first;
  }
  const RunResult json = tool({"get", "BeepVol", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json;
  EXPECT_TRUE(contains(json.out, "\"key\": \"BeepVol\"")) << json;
  EXPECT_TRUE(contains(json.out, "\"value\": 2")) << json;
  const RunResult all = tool({"get", "--all"});
  ASSERT_EQ(all.exitCode, 0) << all;
  EXPECT_EQ(countLines(all.out), 32) << all;
}

TEST_F(ToolTest, DemoModeInTheNoUserInitFile) {
  bootUnit({"VH-C306", "--demo-user-init", "0"});
  ASSERT_EQ(tool({"set", "18", "1"}).exitCode, 0);
  EXPECT_EQ(keyValue(saveFile("SettingsNoUserInit.ini"), "DemoOnOff"), "1");
  EXPECT_EQ(keyValue(saveFile("Settings.ini"), "DemoOnOff"), "<missing>");
}

TEST_F(ToolTest, ShowAndDump) {
  bootUnit();
  const RunResult keys = tool({"show", "SxmSetting.ini"});
  ASSERT_EQ(keys.exitCode, 0) << keys;
  const std::string text = squeeze(keys.out);
  EXPECT_TRUE(contains(text, "KEY TYPE VALUE\nContentsAlert int 1\nSeekMode int 0\n")) << keys;
  EXPECT_TRUE(contains(text, "FeaturedFavoritesUpdateMsg bool true\n")) << keys;

  const RunResult strings = tool({"show", "MiracastSetting.ini"});
  EXPECT_TRUE(contains(squeeze(strings.out), "DeviceName string \"Car Multimedia\"")) << strings;

  // A key the file lacks, and a key the library does not know.
  writeFile(saveFile("SxmTuneMix.ini"), "TuneMixStatus=1\nForeign=x y\n");
  const RunResult partial = tool({"show", "SxmTuneMix.ini"});
  EXPECT_TRUE(contains(squeeze(partial.out), "TuneMixStatus bool true\nTuneMixChannel int <missing>\nForeign text x y\n"))
      << partial;

  const RunResult binary = tool({"show", "SxmAlertCity.ini"});
  ASSERT_EQ(binary.exitCode, 0) << binary;
  EXPECT_TRUE(contains(binary.out, "binary 108 bytes, every byte 0x00")) << binary;

  const RunResult absent = tool({"show", "Sound.ini"});
  EXPECT_EQ(absent.exitCode, 1) << absent;
  EXPECT_TRUE(contains(absent.err, "no such file yet")) << absent;

  const RunResult dump = tool({"dump"});
  ASSERT_EQ(dump.exitCode, 0) << dump;
  EXPECT_TRUE(contains(dump.out, "Sxm.ini:Band=0\n")) << dump;
  EXPECT_TRUE(contains(dump.out, "SxmTeamDb.ini:<binary 20480 bytes, every byte 0x00>\n")) << dump;
  EXPECT_TRUE(contains(dump.out, "AirGestureCalibration.ini:<binary 32 bytes, every byte 0xff>\n")) << dump;
  // Reading writes nothing.
  const auto before = snapshot(root_);
  ASSERT_EQ(tool({"dump"}).exitCode, 0);
  ASSERT_EQ(tool({"show", "Sxm.ini"}).exitCode, 0);
  EXPECT_TRUE(before == snapshot(root_));
}

TEST_F(ToolTest, ResetBringsFilesBack) {
  bootUnit();
  struct Row {
    const char* file;
    std::string damaged;
    std::string expected;
  };
  const Row rows[] = {
      {"SxmSetting.ini", "ContentsAlert=7\nSeekMode=3\n",
       "ContentsAlert=1\nSeekMode=0\nSportsFlash=1\nTuneStart=1\nSportsFlashBeep=1\nFeaturedFavoritesUpdateMsg=1\n"},
      {"SxmAlertCity.ini", std::string(300, 'x'), std::string(108, '\0')},
      {"GARMIN.NVM", "navigation data", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    writeFile(saveFile(row.file), row.damaged);
    const RunResult reset = tool({"reset", row.file});
    ASSERT_EQ(reset.exitCode, 0) << reset;
    EXPECT_EQ(readFile(saveFile(row.file)), row.expected);
  }
  // A navigation file that did not exist is made empty.
  ASSERT_EQ(tool({"reset", "mileage.csv", "Sxm.ini"}).exitCode, 0);
  EXPECT_TRUE(exists(saveFile("mileage.csv")));
}

TEST_F(ToolTest, DefaultTableOfTheUnitsVariant) {
  bootUnit();
  const RunResult defaults = tool({"defaults"});
  ASSERT_EQ(defaults.exitCode, 0) << defaults;
  const std::string text = squeeze(defaults.out);
  for (const char* expected : {"\n1768 4 3 BeepVol product", "\n1840 4 2 SystemLang product",
                               "\n1844 4 78 TimeZone product", "\n1928 4 0 SteeringWheelPosition product",
                               "\n4332 text \"VH-C306\" - product", "\n1792 4 0 DimmerLumiSensorLv host",
                               "\n4656 +12x3 4 8750 - product"}) {
    EXPECT_TRUE(contains(text, expected)) << expected << "\n" << defaults;
  }
  const RunResult all = tool({"defaults", "--all", "--json"});
  ASSERT_EQ(all.exitCode, 0) << all;
  EXPECT_TRUE(contains(all.out, "\"offset\": 4680,\n    \"width\": 4,\n    \"count\": 1,\n    \"stride\": 0,\n"
                                "    \"value\": 8750"))
      << all;
}

TEST_F(ToolTest, ExportThenImportOnAnotherUnit) {
  bootUnit();
  writeFile(saveFile("DriveRecorder.ini"), "FrontRecorderLastConnect=7\n");
  writeFile(saveFile("SxmSetting.ini"), "ContentsAlert=0\n");
  const std::string usb = scratch_ + "/usb/export";
  const RunResult exported = tool({"export", usb});
  ASSERT_EQ(exported.exitCode, 0) << exported;
  EXPECT_TRUE(contains(exported.out, "exported 38 product files")) << exported;
  EXPECT_EQ(keyValue(usb + "/DriveRecorder.ini", "FrontRecorderLastConnect"), "7");
  EXPECT_EQ(keyValue(usb + "/SxmSetting.ini", "ContentsAlert"), "1");
  EXPECT_EQ(readFile(usb + "/SxmTeamDb.ini").size(), 20480u);
  EXPECT_FALSE(exists(usb + "/AirGestureCalibration.ini"));

  // A second unit takes the drive recorder's last connection over.
  const std::string other = scratch_ + "/other";
  ASSERT_EQ(runTool({"--root", other, "create", "VH-A101"}).exitCode, 0);
  ASSERT_EQ(runTool({"--root", other, "boot"}).exitCode, 0);
  const RunResult imported = runTool({"--root", other, "import", usb});
  ASSERT_EQ(imported.exitCode, 0) << imported;
  EXPECT_TRUE(contains(imported.out, "FrontRecorderLastConnect = 7 (was 0)")) << imported;
  EXPECT_EQ(keyValue(other + "/data/save/DriveRecorder.ini", "FrontRecorderLastConnect"), "7");
  EXPECT_TRUE(segmentsOf(other).empty());

  // A relative directory is the caller's, not the unit's.
  makeDirs(scratch_ + "/relative");
  const RunResult relative = tool({"export", "stick"}, {}, scratch_ + "/relative");
  ASSERT_EQ(relative.exitCode, 0) << relative;
  EXPECT_TRUE(exists(scratch_ + "/relative/stick/Sxm.ini"));
}

}  // namespace
}  // namespace tooltest
