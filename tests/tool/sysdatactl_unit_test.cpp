// sysdatactl: making, booting and checking a unit, and the help texts.
#include "tests/tool/ToolHarness.h"

namespace tooltest {
namespace {

TEST_F(ToolTest, FirstBootInitialisesEveryProductFileAndLaterBootsKeepThem) {
  ASSERT_EQ(tool({"create", "VH-C306"}).exitCode, 0);
  EXPECT_EQ(keyValue(root_ + "/unit.conf", "model"), "6");
  EXPECT_EQ(keyValue(root_ + "/unit.conf", "destination"), "5");
  EXPECT_TRUE(exists(root_ + "/Syslog"));

  const RunResult first = tool({"boot"});
  ASSERT_EQ(first.exitCode, 0) << first;
  EXPECT_TRUE(contains(first.out, "boot 1 of VH-C306")) << first;
  EXPECT_TRUE(contains(first.out, "38 initialised")) << first;
  EXPECT_TRUE(contains(first.out, "calibration file:  created")) << first;
  EXPECT_EQ(keyValue(saveFile("SxmSetting.ini"), "ContentsAlert"), "1");
  EXPECT_EQ(readFile(saveFile("SxmTeamDb.ini")), std::string(20480, '\0'));
  EXPECT_EQ(readFile(root_ + "/data/calib/AirGestureCalibration.ini"), std::string(32, '\xff'));

  // A value the user changed survives a later boot; --init resets it.
  writeFile(saveFile("SxmSetting.ini"), "ContentsAlert=0\n");
  const RunResult second = tool({"boot"});
  ASSERT_EQ(second.exitCode, 0) << second;
  EXPECT_TRUE(contains(second.out, "boot 2 of VH-C306")) << second;
  EXPECT_TRUE(contains(second.out, "calibration file:  present")) << second;
  EXPECT_TRUE(contains(second.out, "kept")) << second;
  EXPECT_EQ(keyValue(saveFile("SxmSetting.ini"), "ContentsAlert"), "0");

  ASSERT_EQ(tool({"boot", "--init"}).exitCode, 0);
  EXPECT_EQ(keyValue(saveFile("SxmSetting.ini"), "ContentsAlert"), "1");

  const RunResult verify = tool({"verify"});
  EXPECT_EQ(verify.exitCode, 0) << verify;
  EXPECT_TRUE(contains(verify.out, "verify: 0 problems")) << verify;
}

// A factory reset cut by a power loss (its record written, none or some of
// the files reset) is reported by verify and finished by the next plain
// boot, which otherwise keeps the files; a finished one leaves no record.
TEST_F(ToolTest, InitialisationCutBeforeItFinishedIsFinishedAtTheNextBoot) {
  bootUnit();
  const std::string record = root_ + "/initialise.pending";
  const std::string factory = readFile(saveFile("SxmSetting.ini"));
  struct Cut {
    const char* what;
    const char* recordContent;  // a cut may leave the record empty
    bool firstFileReset;
  };
  const Cut cuts[] = {{"before the first file", "", false}, {"after the first file", "an initialisation", true}};
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.what);
    writeFile(saveFile("SxmSetting.ini"), "ContentsAlert=0\n");
    if (cut.firstFileReset) {
      ASSERT_EQ(tool({"reset", "SxmAlertCity.ini"}).exitCode, 0);
    }
    writeFile(record, cut.recordContent);
    const RunResult verify = tool({"verify"});
    EXPECT_EQ(verify.exitCode, 1) << verify;
    EXPECT_TRUE(contains(verify.out, "initialise.pending: an initialisation of the product files was cut")) << verify;
    const RunResult boot = tool({"boot"});
    ASSERT_EQ(boot.exitCode, 0) << boot;
    EXPECT_TRUE(contains(boot.out, "initialised to factory values (finishing an initialisation")) << boot;
    EXPECT_EQ(readFile(saveFile("SxmSetting.ini")), factory);
    EXPECT_FALSE(exists(record));
    EXPECT_EQ(tool({"verify"}).exitCode, 0);
    const RunResult again = tool({"boot"});
    EXPECT_TRUE(contains(again.out, "kept (not the first boot")) << again;
  }
  ASSERT_EQ(tool({"boot", "--init"}).exitCode, 0);
  EXPECT_FALSE(exists(record)) << "a finished initialisation left its record";
}

TEST_F(ToolTest, CreateByNumbersWritesTheHostRecordsTheUnitBootsWith) {
  const RunResult created = tool({"create", "--model", "16", "--destination", "8", "--camera-hd", "1",
                                  "--lang-set-code", "4", "--demo-user-init", "0", "--customize-file-name",
                                  "dealer.txt"});
  ASSERT_EQ(created.exitCode, 0) << created;
  EXPECT_TRUE(contains(created.out, "VH-D403")) << created;
  const RunResult info = tool({"info"});
  ASSERT_EQ(info.exitCode, 0) << info;
  for (const char* expected : {"VH-D403 (model 16, destination 8)", "lang_set_code 4",
                               "customize_file_name dealer.txt", "demo_user_init 0", "camera_hd 1", "boots 0"}) {
    EXPECT_TRUE(contains(squeeze(info.out), expected)) << expected << "\n" << info;
  }
  // The default table the unit boots with is the variant's.
  const RunResult defaults = tool({"defaults"});
  ASSERT_EQ(defaults.exitCode, 0) << defaults;
  EXPECT_TRUE(contains(defaults.out, "\"VH-D403\"")) << defaults;
}

TEST_F(ToolTest, AnUnknownPairNeedsToBeAskedFor) {
  const RunResult refused = tool({"create", "--model", "15", "--destination", "8"});
  EXPECT_EQ(refused.exitCode, 1) << refused;
  EXPECT_FALSE(exists(root_));
  const RunResult made = tool({"create", "--model", "15", "--destination", "8", "--allow-unknown"});
  ASSERT_EQ(made.exitCode, 0) << made;
  EXPECT_TRUE(contains(made.out, "unrecognised")) << made;
  ASSERT_EQ(tool({"boot"}).exitCode, 0);
}

TEST_F(ToolTest, CreateRefusesToOverwriteAUnit) {
  ASSERT_EQ(tool({"create", "VH-A101"}).exitCode, 0);
  const RunResult again = tool({"create", "VH-C306"});
  EXPECT_EQ(again.exitCode, 1) << again;
  EXPECT_EQ(keyValue(root_ + "/unit.conf", "model"), "0");
  ASSERT_EQ(tool({"create", "VH-C306", "--force"}).exitCode, 0);
  EXPECT_EQ(keyValue(root_ + "/unit.conf", "model"), "6");
}

TEST_F(ToolTest, VerifyListsEveryProblem) {
  bootUnit();
  struct Damage {
    const char* what;
    std::string file;
    std::string content;  // written over the file; empty: the file is removed
    const char* expected;
  };
  const std::string calibration = root_ + "/data/calib/AirGestureCalibration.ini";
  const Damage damages[] = {
      {"binary record cut short", saveFile("SxmTeamDb.ini"), std::string(100, '\0'),
       "SxmTeamDb.ini: size 100 bytes, expected 20480"},
      {"key missing", saveFile("SxmTuneMix.ini"), "TuneMixStatus=0\n", "SxmTuneMix.ini: TuneMixChannel: missing"},
      {"value of the wrong type", saveFile("SxmResume.ini"), "ChannelListTextType=-1\n",
       "SxmResume.ini: ChannelListTextType: value \"-1\" is not a uint"},
      {"line without '='", saveFile("PowerOffMode.ini"), "PowerOffMode=0\ngarbage\n",
       "PowerOffMode.ini: line 2: not a Key=Value line"},
      {"file missing", saveFile("ThirdPartyTv.ini"), "", "ThirdPartyTv.ini: missing"},
      {"calibration file missing", calibration, "", "AirGestureCalibration.ini: missing"},
      {"common file of the library damaged", saveFile("Mic.ini"), "EchoCancel=loud\n",
       "Mic.ini: EchoCancel: value \"loud\" is not a int"},
  };
  for (const Damage& d : damages) {
    if (d.content.empty()) {
      ::unlink(d.file.c_str());
    } else {
      writeFile(d.file, d.content);
    }
  }
  const RunResult verify = tool({"verify"});
  EXPECT_EQ(verify.exitCode, 1) << verify;
  for (const Damage& d : damages) {
    EXPECT_TRUE(contains(verify.out, d.expected)) << d.what << "\n" << verify;
  }
  EXPECT_TRUE(contains(verify.out, "verify: 7 problems")) << verify;
  EXPECT_EQ(countLines(verify.err), 1) << verify;
}

TEST_F(ToolTest, HelpForEveryCommand) {
  const RunResult overview = runTool({"--help"});
  ASSERT_EQ(overview.exitCode, 0) << overview;
  const char* const commands[] = {"create", "boot", "info", "variants", "keys", "files", "defaults",
                                  "show", "dump", "get", "set", "reset", "export", "import", "verify"};
  for (const char* command : commands) {
    SCOPED_TRACE(command);
    EXPECT_TRUE(contains(overview.out, std::string("  ") + command + " ")) << overview;
    const RunResult help = runTool({command, "--help"});
    EXPECT_EQ(help.exitCode, 0) << help;
    EXPECT_TRUE(contains(help.out, std::string("usage: sysdatactl [--root DIR] [--json] ") + command)) << help;
  }
  for (const char* sub : {"check", "import", "apply"}) {
    SCOPED_TRACE(sub);
    const RunResult help = runTool({"customize", sub, "--help"});
    EXPECT_EQ(help.exitCode, 0) << help;
    EXPECT_TRUE(contains(help.out, std::string("customize ") + sub)) << help;
  }
  EXPECT_EQ(runTool({"customize", "--help"}).exitCode, 0);
}

TEST_F(ToolTest, VariantsAndKeysNeedNoUnit) {
  const RunResult variants = runTool({"variants"});
  ASSERT_EQ(variants.exitCode, 0) << variants;
  EXPECT_EQ(countLines(variants.out), 23) << variants;  // header + 22
  EXPECT_TRUE(contains(squeeze(variants.out), "\n6 5 VH-C306\n")) << variants;
  const RunResult json = runTool({"variants", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json;
  EXPECT_EQ(json.out.front(), '[');
  EXPECT_TRUE(contains(json.out, "\"model\": 6,\n    \"destination\": 5,\n    \"name\": \"VH-C306\"")) << json;

  const RunResult keys = runTool({"keys"});
  ASSERT_EQ(keys.exitCode, 0) << keys;
  EXPECT_EQ(countLines(keys.out), 32) << keys;  // header + 31
  EXPECT_TRUE(contains(keys.out, "BeepVol")) << keys;
  EXPECT_TRUE(contains(keys.out, "Settings.ini|SettingsNoUserInit.ini")) << keys;
}

}  // namespace
}  // namespace tooltest
