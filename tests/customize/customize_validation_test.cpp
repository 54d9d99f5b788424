// The validation pass over a dealer customization file: the header, every
// key's accepted range and its message, the language table, the caution
// image name, and where the pass stops.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "src/customize/CustomizeSettings.h"
#include "standin/testing/LogCapture.h"
#include "tests/accessor/UnmappableSegment.h"
#include "tests/customize/CustomizeTestSupport.h"

namespace {

using customize_test::kHeader;
using customize_test::kImplSource;
using customize_test::kSettingsSource;
using customize_test::Logged;

std::string hex(unsigned int value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%X", value);
  return text;
}

std::string ng(const char* what, int value) {
  return std::string("<----- ") + what + " of InitializeValueCustomize is NG[" + std::to_string(value) +
         "] !!!!! ----->\n";
}

std::string ngName(const std::string& name) {
  return "<----- file of InitializeValueCustomize is NG[" + name + "] !!!!! ----->\n";
}

// A file, whether it passes, and the one message it logs (none when
// function is empty).
struct FileRow {
  std::string name;
  std::string content;
  bool ok;
  Logged logged;
};

std::ostream& operator<<(std::ostream& out, const FileRow& row) { return out << row.name; }

class CustomizeValidationTest : public customize_test::CustomizeTest {
 protected:
  void check(const std::vector<FileRow>& rows) {
    for (const FileRow& row : rows) {
      SCOPED_TRACE(::testing::Message() << row);
      standin::testing::ScopedLogCapture capture;
      EXPECT_EQ(validate(row.content), row.ok);
      const std::vector<Logged> logs = customize_test::customizeLogs(capture);
      if (row.logged.function.empty()) {
        EXPECT_TRUE(logs.empty()) << logs.front();
      } else {
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0], row.logged);
      }
    }
  }
};

const Logged kNone{};

Logged settingsLog(const char* function, const std::string& message) { return {kSettingsSource, function, message}; }

TEST_F(CustomizeValidationTest, Header) {
  const std::string bom = "\xEF\xBB\xBF";
  const Logged nothing{};
  auto header = [](const std::string& text) {
    return Logged{kImplSource, "checkHeader", "<----- Header of InitializeValueCustomize is NG[" + text +
                                                  "] !!!!! ----->\n"};
  };
  check({
      {"plain", "DOP_Customize\n", true, nothing},
      {"CR LF", "DOP_Customize\r\n", true, nothing},
      {"TAB after it", "DOP_Customize\t\n", true, nothing},
      {"TABs inside", "DOP_\tCustomize\n", true, nothing},
      {"no line feed", "DOP_Customize", true, nothing},
      {"header and entries", "DOP_Customize\r\n[miclevel]14\r\n[demo]1\r\n", true, nothing},
      {"trailing space", "DOP_Customize \n", false, header("DOP_Customize ")},
      {"leading space", " DOP_Customize\n", false, header(" DOP_Customize")},
      {"lower case", "dop_customize\n", false, header("dop_customize")},
      {"byte-order mark", bom + "DOP_Customize\n", false, header(bom + "DOP_Customize")},
      {"more after it", "DOP_Customize2\n", false, header("DOP_Customize2")},
      {"empty first line", "\nDOP_Customize\n", false, header("")},
      {"empty file", "", false, nothing},
  });
}

// Every numeric key: its lowest and highest accepted value, the first
// rejected value on each side, and a value written with a minus sign.
struct RangeRow {
  const char* key;
  unsigned int low;
  unsigned int high;
  const char* function;
  const char* what;
};

const RangeRow kRanges[] = {
    {"[illumiuser_Red]", 0, 31, "checkIllumiUser", "Illumiuser"},
    {"[illumiuser_Green]", 0, 31, "checkIllumiUser", "Illumiuser"},
    {"[illumiuser_Blue]", 0, 31, "checkIllumiUser", "Illumiuser"},
    {"[demo]", 0, 1, "checkOnOff", "OnOff"},
    {"[rearcam]", 0, 1, "checkOnOff", "OnOff"},
    {"[pguideline]", 0, 1, "checkOnOff", "OnOff"},
    {"[glinevga_ulx]", 8, 793, "checkGlineVgaX", "GlineVgaX"},
    {"[glinevga_urx]", 8, 793, "checkGlineVgaX", "GlineVgaX"},
    {"[glinevga_llx]", 8, 793, "checkGlineVgaX", "GlineVgaX"},
    {"[glinevga_lrx]", 8, 793, "checkGlineVgaX", "GlineVgaX"},
    {"[glinevga_uly]", 10, 400, "checkGlineVgaY", "GlineVgaY"},
    {"[glinevga_ury]", 10, 400, "checkGlineVgaY", "GlineVgaY"},
    {"[glinevga_lly]", 10, 400, "checkGlineVgaY", "GlineVgaY"},
    {"[glinevga_lry]", 10, 400, "checkGlineVgaY", "GlineVgaY"},
    {"[glinevga_center]", 0, 20, "checkGlineCenter", "GlineCenter"},
    {"[glinehd_center]", 0, 20, "checkGlineCenter", "GlineCenter"},
    {"[glinehd_ulx]", 13, 1269, "checkGlineHdX", "GlineHdX"},
    {"[glinehd_urx]", 13, 1269, "checkGlineHdX", "GlineHdX"},
    {"[glinehd_llx]", 13, 1269, "checkGlineHdX", "GlineHdX"},
    {"[glinehd_lrx]", 13, 1269, "checkGlineHdX", "GlineHdX"},
    {"[glinehd_uly]", 15, 600, "checkGlineHdY", "GlineHdY"},
    {"[glinehd_ury]", 15, 600, "checkGlineHdY", "GlineHdY"},
    {"[glinehd_lly]", 15, 600, "checkGlineHdY", "GlineHdY"},
    {"[glinehd_lry]", 15, 600, "checkGlineHdY", "GlineHdY"},
    {"[miclevel]", 0, 20, "checkMicLevel", "MicLevel"},
    {"[echocancel]", 0, 10, "checkEchoCancel", "EchoCancel"},
    {"[noizereduction]", 0, 10, "checkNoizeReduction", "NoizeReduction"},
    {"[rcamera_message]", 0, 1, "checkRcameraMessage", "RcameraMessage"},
};

TEST_F(CustomizeValidationTest, EveryKeyAcceptsItsRangeAndRejectsBothSides) {
  std::vector<FileRow> rows;
  for (const RangeRow& range : kRanges) {
    const std::string key = range.key;
    rows.push_back({key + " lowest", kHeader + key + hex(range.low) + "\n", true, kNone});
    rows.push_back({key + " highest", kHeader + key + hex(range.high) + "\n", true, kNone});
    rows.push_back({key + " above", kHeader + key + hex(range.high + 1) + "\n", false,
                    settingsLog(range.function, ng(range.what, static_cast<int>(range.high + 1)))});
    if (range.low > 0) {
      rows.push_back({key + " below", kHeader + key + hex(range.low - 1) + "\n", false,
                      settingsLog(range.function, ng(range.what, static_cast<int>(range.low - 1)))});
    }
    rows.push_back({key + " minus", kHeader + key + "-" + hex(range.low) + "\n", range.low == 0,
                    range.low == 0 ? kNone : settingsLog(range.function, ng(range.what, -static_cast<int>(range.low)))});
  }
  check(rows);
}

TEST_F(CustomizeValidationTest, IlluminationPresets) {
  const unsigned int accepted[] = {0, 1, 2, 3, 4, 6, 8, 9, 10, 16};
  std::vector<FileRow> rows;
  for (unsigned int v = 0; v <= 17; ++v) {
    bool ok = false;
    for (unsigned int a : accepted) ok = ok || a == v;
    rows.push_back({"[illumi_1]" + hex(v), std::string(kHeader) + "[illumi_1]" + hex(v) + "\n", ok,
                    ok ? kNone : settingsLog("checkIllumi", ng("Illumi", static_cast<int>(v)))});
  }
  check(rows);
}

TEST_F(CustomizeValidationTest, ModelAndMakerTakeOnlyTheirConstants) {
  auto model = [](int v) { return Logged{kImplSource, "checkModel", ng("Model", v)}; };
  auto maker = [](int v) { return Logged{kImplSource, "checkMaker", ng("Maker", v)}; };
  const std::string h = kHeader;
  check({
      {"model 1", h + "[model]1\n", true, kNone},
      {"model 2", h + "[model]2\n", true, kNone},
      {"model 0", h + "[model]0\n", false, model(0)},
      {"model 3", h + "[model]3\n", false, model(3)},
      {"model unreadable", h + "[model]x\n", false, kNone},
      {"maker 2", h + "[maker]2\n", true, kNone},
      {"maker 1", h + "[maker]1\n", false, maker(1)},
      {"maker 3", h + "[maker]0x3\n", false, maker(3)},
      {"maker empty", h + "[maker]\n", false, kNone},
  });
}

TEST_F(CustomizeValidationTest, ValueForms) {
  const std::string h = kHeader;
  auto mic = [](int v) { return settingsLog("checkMicLevel", ng("MicLevel", v)); };
  auto onOff = [](int v) { return settingsLog("checkOnOff", ng("OnOff", v)); };
  check({
      {"14 is twenty", h + "[miclevel]14\n", true, kNone},
      {"15 is twenty-one", h + "[miclevel]15\n", false, mic(21)},
      {"0x prefix", h + "[miclevel]0x14\n", true, kNone},
      {"0x alone is zero", h + "[miclevel]0x\n", true, kNone},
      {"blank after the bracket", h + "[miclevel] 14\n", true, kNone},
      {"TAB after the bracket", h + "[miclevel]\t14\n", true, kNone},
      {"words after the value", h + "[demo]1 and some words\n", true, kNone},
      {"CR LF line ends", h + "[demo]1\r\n[miclevel]14\r\n", true, kNone},
      {"demo 2", h + "[demo]2\n", false, onOff(2)},
      {"demo on", h + "[demo]on\n", false, kNone},
      {"demo without a value", h + "[demo]\n", false, kNone},
      {"minus five", h + "[miclevel]-5\n", false, mic(-5)},
      {"too large for 32 bits saturates", h + "[miclevel]100000000\n", false, mic(-1)},
      {"32 bits of ones", h + "[miclevel]FFFFFFFF\n", false, mic(-1)},
      {"key in other case is text", h + "[MicLevel]FF\n", true, kNone},
      {"key not at the line start is text", h + " [miclevel]FF\n", true, kNone},
      {"comments and blank lines", h + "\n# dealer file\n\n[miclevel]0\n", true, kNone},
  });
}

TEST_F(CustomizeValidationTest, WhereThePassStops) {
  const std::string h = kHeader;
  auto mic = [](int v) { return settingsLog("checkMicLevel", ng("MicLevel", v)); };
  check({
      {"invalid entry after ~END is never seen", h + "[miclevel]1\n~END\n[miclevel]FF\n", true, kNone},
      {"~END with more text", h + "~END of customization\n[miclevel]FF\n", true, kNone},
      {"TAB before ~END does not end the file", h + "\t~END\n[miclevel]FF\n", false, mic(255)},
      {"blank before ~END does not end the file", h + " ~END\n[miclevel]FF\n", false, mic(255)},
      {"only the first of two rejections is logged", h + "[miclevel]15\n[demo]2\n", false, mic(21)},
      {"a rejection without message stops the pass", h + "[demo]x\n[miclevel]15\n", false, kNone},
      {"a key may repeat; every occurrence is checked", h + "[miclevel]1\n[miclevel]2\n[miclevel]16\n", false,
       mic(22)},
  });
}

// A line longer than the buffer is cut and the rest of it discarded: a
// comment's tail never becomes an entry.
TEST_F(CustomizeValidationTest, TailOfALongLineIsNotAnEntry) {
  std::string comment = "# " + std::string(317, 'x');  // 319 bytes: all the buffer holds
  ASSERT_EQ(comment.size(), 319u);
  check({
      {"tail after 319 bytes", kHeader + comment + "[miclevel]FF\n[miclevel]14\n", true, kNone},
      {"entry right after the long line is seen", kHeader + comment + "x\n[miclevel]FF\n", false,
       settingsLog("checkMicLevel", ng("MicLevel", 255))},
  });
}

// Language ids against the language-set code.
TEST_F(CustomizeValidationTest, LanguageTable) {
  for (unsigned int code : {0u, 4u, 5u}) {
    unit.setLangSetCode(code);
    std::vector<FileRow> rows;
    for (unsigned int id = 0; id <= 40; ++id) {
      const bool always = id <= 9 || id == 24 || (id >= 27 && id <= 32);
      const bool only4 = id == 23;
      const bool not4 = id == 26 || (id >= 33 && id <= 35);
      const bool ok = always || (only4 && code == 4) || (not4 && code != 4);
      const bool silent = ok || only4 || not4;
      rows.push_back({"code " + std::to_string(code) + " id " + std::to_string(id),
                      std::string(kHeader) + "[lang]" + hex(id) + "\n", ok,
                      silent ? kNone : settingsLog("checkLang", ng("Lang", static_cast<int>(id)))});
    }
    rows.push_back({"code " + std::to_string(code) + " large", std::string(kHeader) + "[lang]FFFFFFFF\n", false,
                    settingsLog("checkLang", ng("Lang", -1))});
    check(rows);
  }
}

// Without the function switches the language set is unknown: the ids that
// depend on it are refused, silently; the others are decided as always.
TEST_F(CustomizeValidationTest, LanguageWithoutFunctionSwitches) {
  sysdata_test::UnmappableSegment noSwitches("FuncInfo");
  ASSERT_TRUE(noSwitches.made());
  for (unsigned int id : {23u, 26u, 33u}) {
    SCOPED_TRACE(id);
    EXPECT_FALSE(CustomizeSettings::checkLang(id));
  }
  EXPECT_TRUE(CustomizeSettings::checkLang(1));
  EXPECT_FALSE(CustomizeSettings::checkLang(25));
}

TEST_F(CustomizeValidationTest, CautionImageNames) {
  const std::string name128 = std::string(124, 'n') + ".png";
  const std::string name129 = std::string(125, 'n') + ".png";
  for (const std::string& file : {std::string("Logo.PNG"), std::string("logo.jpg"), std::string("logo"),
                                  std::string(" spaced.png"), name128, name129}) {
    sysdata_test::writeFile(mediaDisk(file), "image");
  }
  unit.makeDir("media/usb/sub");
  sysdata_test::writeFile(mediaDisk("sub/inner.png"), "image");
  sysdata_test::writeFile(unit.disk("/media/outside.png"), "image");
  sysdata_test::writeFile(unit.disk("/media/usb/..png"), "image");

  const std::string h = kHeader;
  auto bad = [](const std::string& name) { return settingsLog("checkFile", ngName(name)); };
  check({
      {"exists, upper-case extension", h + "[caution]Logo.PNG\n", true, kNone},
      {"128 characters", h + "[caution]" + name128 + "\n", true, kNone},
      {"in a subdirectory", h + "[caution]sub/inner.png\n", true, kNone},
      {"leading slash stays below the directory", h + "[caution]/Logo.PNG\n", true, kNone},
      {"a blank after the bracket is part of the name", h + "[caution] spaced.png\n", true, kNone},
      {"a name of only an extension", h + "[caution]..png\n", true, kNone},
      {"does not exist", h + "[caution]logo.png\n", false, bad("logo.png")},
      {"blank-prefixed name of a file without the blank", h + "[caution] Logo.PNG\n", false, bad(" Logo.PNG")},
      {"jpg", h + "[caution]logo.jpg\n", false, bad("logo.jpg")},
      {"no dot", h + "[caution]logo\n", false, bad("logo")},
      {"empty", h + "[caution]\n", false, bad("")},
      {"129 characters", h + "[caution]" + name129 + "\n", false, bad(name129)},
      {"climbs out of the directory", h + "[caution]../outside.png\n", false, bad("../outside.png")},
      {"climbs out through a subdirectory", h + "[caution]sub/../../outside.png\n", false,
       bad("sub/../../outside.png")},
      {"climbs and comes back", h + "[caution]../usb/Logo.PNG\n", false, bad("../usb/Logo.PNG")},
      {"extension only after the last dot", h + "[caution]logo.png.jpg\n", false, bad("logo.png.jpg")},
  });
}

}  // namespace
