// sysdatactl: dealer customization files — the linter, the import and the
// apply step, with the sample shipped in examples/dealer.
#include "tests/tool/ToolHarness.h"

namespace tooltest {
namespace {

class CustomizeToolTest : public ToolTest {
 protected:
  // The sample, copied beside the test's unit.
  std::string copySample(const std::string& name = "dop_customize.txt") {
    const std::string dir = scratch_ + "/dealer";
    makeDirs(dir);
    writeFile(dir + "/" + name, readFile(sourcePath("examples/dealer/" + name)));
    writeFile(dir + "/caution.png", readFile(sourcePath("examples/dealer/caution.png")));
    return dir + "/" + name;
  }
  std::string writeDealerFile(const std::string& name, const std::string& content) {
    const std::string dir = scratch_ + "/dealer";
    makeDirs(dir);
    writeFile(dir + "/" + name, content);
    return dir + "/" + name;
  }
};

TEST_F(CustomizeToolTest, SampleImportsAndApplies) {
  bootUnit();
  const std::string sample = copySample();
  const RunResult check = tool({"customize", "check", sample});
  EXPECT_EQ(check.exitCode, 0) << check;
  EXPECT_TRUE(contains(check.out, ": ok (")) << check;

  const RunResult imported = tool({"customize", "import", sample});
  ASSERT_EQ(imported.exitCode, 0) << imported;
  EXPECT_EQ(readFile(syslog("dop_customize.txt")), readFile(sample));
  EXPECT_EQ(readFile(syslog("dop_startup_caution_img.png")), readFile(scratch_ + "/dealer/caution.png"));
  // Nothing is applied before an initialisation.
  EXPECT_EQ(keyValue(saveFile("Mic.ini"), "EchoCancel"), "<missing>");

  const RunResult applied = tool({"customize", "apply"});
  ASSERT_EQ(applied.exitCode, 0) << applied;
  EXPECT_TRUE(contains(applied.out, "applied (kept)")) << applied;
  struct Expect {
    const char* file;
    const char* key;
    const char* value;
  };
  const Expect expected[] = {
      {"Mic.ini", "BtPhoneSndTalkVol", "4"},
      {"Mic.ini", "EchoCancel", "0"},
      {"Mic.ini", "NoiseReduction", "2"},
      {"Camera.ini", "CamGuidePosiUpperLeftX", "100"},  // the VGA keys: camera_hd is 0
      {"Camera.ini", "CamGuidePosiLowerRightY", "360"},
      {"Camera.ini", "RCamIntSetting", "1"},
      {"Settings.ini", "KeyIllumiPreset", "10"},
      {"Settings.ini", "KeyIllumiRGBUser1Dim", "2035716"},  // 0x001F1004
      {"Settings.ini", "SystemLang", "2"},
      {"Settings.ini", "DemoOnOff", "0"},
      {"ProductCameraSetting.ini", "MessageSetting", "2"},
      {"InitialValueCustomize.ini", "StartupCautionPath", "/Syslog/dop_startup_caution_img.png"},
  };
  for (const Expect& e : expected) {
    EXPECT_EQ(keyValue(saveFile(e.file), e.key), e.value) << e.file << " " << e.key;
  }
  // A kept customization comes back after a factory reset.
  ASSERT_EQ(tool({"set", "KeyIllumiPreset", "1"}).exitCode, 0);
  const RunResult reboot = tool({"boot", "--init"});
  ASSERT_EQ(reboot.exitCode, 0) << reboot;
  EXPECT_TRUE(contains(reboot.out, "customization:     applied (kept)")) << reboot;
  EXPECT_EQ(keyValue(saveFile("Settings.ini"), "KeyIllumiPreset"), "10");
}

// An apply cut by a power loss (its record written, none or some of the keys)
// is reported by verify and finished by the next plain boot; a finished
// apply leaves no record.
TEST_F(CustomizeToolTest, ApplyCutBeforeItFinishedIsFinishedAtTheNextBoot) {
  bootUnit();
  ASSERT_EQ(tool({"customize", "import", copySample()}).exitCode, 0);
  const std::string record = root_ + "/customize-apply.pending";
  struct Cut {
    const char* what;
    const char* recordContent;  // a cut may leave the record empty
    bool firstKeyWritten;
  };
  const Cut cuts[] = {{"before the first key", "", false}, {"after the first key", "a customization apply", true}};
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.what);
    ASSERT_EQ(tool({"boot", "--init"}).exitCode, 0);
    ASSERT_EQ(tool({"set", "KeyIllumiPreset", "1"}).exitCode, 0);
    // The first key of the customization, as the library writes it.
    if (cut.firstKeyWritten) {
      writeFile(saveFile("Mic.ini"), "BtPhoneSndTalkVol=4\n");
    }
    writeFile(record, cut.recordContent);
    const RunResult verify = tool({"verify"});
    EXPECT_EQ(verify.exitCode, 1) << verify;
    EXPECT_TRUE(contains(verify.out, "customize-apply.pending: a customization apply was cut")) << verify;
    const RunResult boot = tool({"boot"});
    ASSERT_EQ(boot.exitCode, 0) << boot;
    EXPECT_TRUE(contains(boot.out, "customization:     interrupted apply finished")) << boot;
    EXPECT_EQ(keyValue(saveFile("Settings.ini"), "KeyIllumiPreset"), "10");
    EXPECT_EQ(keyValue(saveFile("Mic.ini"), "NoiseReduction"), "2");
    EXPECT_FALSE(exists(record));
    EXPECT_EQ(tool({"verify"}).exitCode, 0);
    const RunResult again = tool({"boot"});
    EXPECT_TRUE(contains(again.out, "not applied (no initialisation)")) << again;
  }
  const RunResult applied = tool({"customize", "apply"});
  ASSERT_EQ(applied.exitCode, 0) << applied;
  EXPECT_FALSE(exists(record)) << "a finished apply left its record";
}

TEST_F(CustomizeToolTest, HdCameraTakesTheHdGuideLines) {
  bootUnit({"VH-C306", "--camera-hd", "1"});
  ASSERT_EQ(tool({"customize", "import", copySample()}).exitCode, 0);
  ASSERT_EQ(tool({"customize", "apply"}).exitCode, 0);
  EXPECT_EQ(keyValue(saveFile("Camera.ini"), "CamGuidePosiUpperLeftX"), "200");
}

TEST_F(CustomizeToolTest, OneShotCustomizationRemovesItself) {
  bootUnit();
  const std::string file = writeDealerFile("once.txt", "DOP_Customize\n[miclevel]14\n[model]1\n[echocancel]0\n");
  ASSERT_EQ(tool({"customize", "import", file}).exitCode, 0);
  const RunResult applied = tool({"customize", "apply"});
  ASSERT_EQ(applied.exitCode, 0) << applied;
  EXPECT_TRUE(contains(applied.out, "one-shot, removed")) << applied;
  EXPECT_EQ(keyValue(saveFile("Mic.ini"), "BtPhoneSndTalkVol"), "10");
  EXPECT_EQ(keyValue(saveFile("Mic.ini"), "EchoCancel"), "<missing>");
  EXPECT_FALSE(exists(syslog("dop_customize.txt")));
  const RunResult again = tool({"customize", "apply"});
  EXPECT_TRUE(contains(again.out, "none stored")) << again;
}

TEST_F(CustomizeToolTest, LinterReportsEveryProblemWithItsLine) {
  const std::string file = copySample("dop_customize_broken.txt");
  const RunResult check = runTool({"customize", "check", file}, {{"TMPDIR", scratch_}});
  EXPECT_EQ(check.exitCode, 1) << check;
  const std::string prefix = file + ":";
  const std::vector<std::string> expected = {
      prefix + "3: <----- Illumi of InitializeValueCustomize is NG[7] !!!!! ----->",
      prefix + "4: <----- Lang of InitializeValueCustomize is NG[25] !!!!! ----->",
      prefix + "5: value cannot be read as a hexadecimal number (rejected without a message)",
      prefix + "6: <----- MicLevel of InitializeValueCustomize is NG[21] !!!!! ----->",
      prefix + "7: <----- GlineVgaX of InitializeValueCustomize is NG[794] !!!!! ----->",
      prefix + "8: <----- file of InitializeValueCustomize is NG[caution.jpg] !!!!! ----->",
  };
  std::string all;
  for (const std::string& line : expected) all += line + "\n";
  EXPECT_EQ(check.out, all) << check;
  EXPECT_EQ(check.err, "sysdatactl: " + file + ": 6 problems\n") << check;
  // The throw-away unit of a check without --root is gone.
  for (const auto& entry : snapshot(scratch_)) EXPECT_FALSE(contains(entry.first, "sysdatactl-")) << entry.first;
  const RunResult json = runTool({"customize", "check", "--json", file}, {{"TMPDIR", scratch_}});
  EXPECT_TRUE(contains(json.out, "\"line\": 7,\n      \"text\": \"[glinevga_ulx]31A\"")) << json;

  // The library's own import stops at the first problem with the same message.
  bootUnit();
  const auto before = snapshot(root_);
  const RunResult imported = tool({"customize", "import", file});
  EXPECT_EQ(imported.exitCode, 1) << imported;
  EXPECT_TRUE(contains(imported.err, "not imported: <----- Illumi of InitializeValueCustomize is NG[7]")) << imported;
  EXPECT_EQ(countLines(imported.err), 1) << imported;
  EXPECT_TRUE(before == snapshot(root_));
}

TEST_F(CustomizeToolTest, LinterCases) {
  struct Row {
    const char* what;
    std::string content;
    std::vector<std::string> args;  // extra options
    std::vector<std::string> problems;  // "LINE: message" lines
  };
  const Row rows[] = {
      {"header only", "DOP_Customize\r\n", {}, {}},
      {"wrong header and a bad entry both reported", "dop_customize\n[demo]2\n", {},
       {"1: <----- Header of InitializeValueCustomize is NG[dop_customize] !!!!! ----->",
        "2: <----- OnOff of InitializeValueCustomize is NG[2] !!!!! ----->"}},
      {"empty file", "", {}, {"1: the file is empty: no \"DOP_Customize\" header"}},
      {"nothing after ~END is read", "DOP_Customize\n[demo]1\n~END\n[demo]9\n", {}, {}},
      {"a TAB before ~END does not end the file", "DOP_Customize\n\t~END\n[demo]9\n", {},
       {"3: <----- OnOff of InitializeValueCustomize is NG[9] !!!!! ----->"}},
      {"language 23 needs language set 4", "DOP_Customize\n[lang]17\n", {},
       {"2: language 23 is not offered with language set 0 (rejected without a message)"}},
      {"language 23 with language set 4", "DOP_Customize\n[lang]17\n", {"--lang-set-code", "4"}, {}},
      {"model and maker", "DOP_Customize\n[model]3\n[maker]1\n[model]x\n", {},
       {"2: <----- Model of InitializeValueCustomize is NG[3] !!!!! ----->",
        "3: <----- Maker of InitializeValueCustomize is NG[1] !!!!! ----->",
        "4: value cannot be read as a hexadecimal number (rejected without a message)"}},
      {"caution image that does not exist", "DOP_Customize\n[caution]missing.png\n", {},
       {"2: <----- file of InitializeValueCustomize is NG[missing.png] !!!!! ----->"}},
  };
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string file = writeDealerFile("case" + std::to_string(++n) + ".txt", row.content);
    std::vector<std::string> args = {"customize", "check"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back(file);
    const RunResult check = runTool(args, {{"TMPDIR", scratch_}});
    std::string expected;
    for (const std::string& p : row.problems) expected += file + ":" + p + "\n";
    if (row.problems.empty()) {
      EXPECT_EQ(check.exitCode, 0) << check;
      EXPECT_TRUE(contains(check.out, ": ok (")) << check;
    } else {
      EXPECT_EQ(check.exitCode, 1) << check;
      EXPECT_EQ(check.out, expected) << check;
    }
  }
}

TEST_F(CustomizeToolTest, ImportIntoAUnitWithoutSyslogSaysSo) {
  bootUnit();
  ASSERT_EQ(::rmdir((root_ + "/Syslog").c_str()), 0);
  const RunResult imported = tool({"customize", "import", copySample()});
  EXPECT_EQ(imported.exitCode, 1) << imported;
  EXPECT_TRUE(contains(imported.err, "(the unit has no /Syslog/ directory)")) << imported;
  EXPECT_FALSE(exists(root_ + "/Syslog"));
}

TEST_F(CustomizeToolTest, CheckUsesTheUnitsLanguageSet) {
  bootUnit({"VH-C306", "--lang-set-code", "4"});
  const std::string file = writeDealerFile("lang.txt", "DOP_Customize\n[lang]17\n[lang]1A\n");
  const RunResult check = tool({"customize", "check", file});
  EXPECT_EQ(check.exitCode, 1) << check;
  EXPECT_EQ(check.out, file + ":3: language 26 is not offered with language set 4 (rejected without a message)\n")
      << check;
}

}  // namespace
}  // namespace tooltest
