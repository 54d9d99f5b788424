// The apply pass after an initialisation: every entry's conversion and the
// setting it lands in, guide lines by the unit's camera, kept and one-shot
// customizations, and the pass's types.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "settings/CommonSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "src/customize/CustomizeSysDataProductImpl.h"
#include "standin/testing/HostCalls.h"
#include "standin/testing/LogCapture.h"
#include "tests/accessor/UnmappableSegment.h"
#include "tests/customize/CustomizeTestSupport.h"

namespace {

using customize_test::CustomizeUnit;
using customize_test::kHeader;
using customize_test::kImplSource;
using customize_test::Logged;
using sysdata_test::keyValue;

constexpr const char* kMissing = "<missing>";
constexpr const char* kImage = "dop_startup_caution_img.png";
constexpr const char* kStoredImageHostPath = "/Syslog/dop_startup_caution_img.png";

class ApplyUnit : public CustomizeUnit {
 public:
  ApplyUnit() {
    standin::testing::ClearHostCalls();
    standin::testing::ResetHostResults();
    unit.makeSyslog();
  }
  void store(const std::string& content) const { sysdata_test::writeFile(storedCopy(), content); }
  std::string storedCopy() const { return syslogDisk(sysdata_test::SimUnit::kCustomizeFileName); }
  void storeImage() const { sysdata_test::writeFile(syslogDisk(kImage), "image"); }
  std::string value(const char* file, const char* key) const { return keyValue(unit.saveFile(file), key); }
};

void setColour(std::uint32_t colour) {
  SettingsDataAccessor().setDataKeyIValue(settings_datakey::DATAKEY_KEY_ILLUMI_RGB_USER1_DIM,
                                          static_cast<int>(colour));
}

void writeDefault(std::size_t offset, std::uint32_t value) {
  SysDataDefault view;
  ASSERT_TRUE(sysdata::writeU32(view, offset, value));
}

struct Expect {
  const char* file;
  const char* key;
  std::string value;
};

struct ApplyRow {
  std::string name;
  std::string body;  // after the header
  std::function<void(ApplyUnit&)> setup;
  std::vector<Expect> expect;
};

std::ostream& operator<<(std::ostream& out, const ApplyRow& row) { return out << row.name; }

void run(const std::vector<ApplyRow>& rows) {
  for (const ApplyRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row);
    ApplyUnit u;
    if (row.setup) row.setup(u);
    u.store(kHeader + row.body);
    CustomizeSysDataProduct product;
    EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_ALL));
    for (const Expect& e : row.expect) {
      EXPECT_EQ(u.value(e.file, e.key), e.value) << e.file << " " << e.key;
    }
  }
}

const char* const kSettings = "Settings.ini";
const char* const kMic = "Mic.ini";
const char* const kCamera = "Camera.ini";

std::string u32(std::uint32_t v) { return std::to_string(v); }

TEST(CustomizeApply, Conversions) {
  auto none = std::function<void(ApplyUnit&)>();
  run({
      {"illumi 10 (sixteen) is 13", "[illumi_1]10\n", none, {{kSettings, "KeyIllumiPreset", "13"}}},
      {"illumi A (ten) is 10", "[illumi_1]A\n", none, {{kSettings, "KeyIllumiPreset", "10"}}},
      {"illumi 0", "[illumi_1]0\n", none, {{kSettings, "KeyIllumiPreset", "0"}}},
      {"illumi above ten is 13", "[illumi_1]B\n", none, {{kSettings, "KeyIllumiPreset", "13"}}},
      {"red replaces bits 16-23 and clears the top byte", "[illumiuser_Red]1F\n",
       [](ApplyUnit&) { setColour(0xAB102030u); }, {{kSettings, "KeyIllumiRGBUser1Dim", u32(0x001F2030u)}}},
      {"green replaces bits 8-15", "[illumiuser_Green]5\n", [](ApplyUnit&) { setColour(0xAB102030u); },
       {{kSettings, "KeyIllumiRGBUser1Dim", u32(0x00100530u)}}},
      {"blue replaces bits 0-7", "[illumiuser_Blue]7\n", [](ApplyUnit&) { setColour(0xAB102030u); },
       {{kSettings, "KeyIllumiRGBUser1Dim", u32(0x00102007u)}}},
      {"only the low byte of the value counts", "[illumiuser_Blue]1FF\n", [](ApplyUnit&) { setColour(0x102030u); },
       {{kSettings, "KeyIllumiRGBUser1Dim", u32(0x001020FFu)}}},
      {"a missing colour starts from its default", "[illumiuser_Red]0\n",
       [](ApplyUnit&) { writeDefault(1812, 0x001F1F1Fu); }, {{kSettings, "KeyIllumiRGBUser1Dim", u32(0x00001F1Fu)}}},
      {"three entries build one colour", "[illumiuser_Red]1\n[illumiuser_Green]2\n[illumiuser_Blue]3\n",
       [](ApplyUnit&) { setColour(0xFFFFFFFFu); }, {{kSettings, "KeyIllumiRGBUser1Dim", u32(0x00010203u)}}},
      {"lang 0 writes 1 three times", "[lang]0\n", none,
       {{kSettings, "SystemLang", "1"}, {kSettings, "VoiceLang", "1"}, {kSettings, "DisplayLang", "1"}}},
      {"lang 2D (45) writes 46", "[lang]2D\n", none,
       {{kSettings, "SystemLang", "46"}, {kSettings, "VoiceLang", "46"}, {kSettings, "DisplayLang", "46"}}},
      {"lang above 45 writes 0", "[lang]2E\n", none,
       {{kSettings, "SystemLang", "0"}, {kSettings, "VoiceLang", "0"}, {kSettings, "DisplayLang", "0"}}},
      {"demo 1", "[demo]1\n", none, {{kSettings, "DemoOnOff", "1"}}},
      {"demo 0", "[demo]0\n", none, {{kSettings, "DemoOnOff", "0"}}},
      {"demo 2 writes 0", "[demo]2\n", none, {{kSettings, "DemoOnOff", "0"}}},
      {"demo goes where the switches say", "[demo]1\n", [](ApplyUnit& u) { u.unit.setDemoUserInit(0); },
       {{"SettingsNoUserInit.ini", "DemoOnOff", "1"}, {kSettings, "DemoOnOff", kMissing}}},
      {"rear camera", "[rearcam]1\n", none, {{kCamera, "RCamIntSetting", "1"}}},
      {"guide lines on", "[pguideline]1\n", none, {{kCamera, "CamGuideLineOnOff", "1"}}},
      {"guide lines off", "[pguideline]0\n", none, {{kCamera, "CamGuideLineOnOff", "0"}}},
      {"guide lines other: the table's default", "[pguideline]5\n", [](ApplyUnit&) { writeDefault(224, 7); },
       {{kCamera, "CamGuideLineOnOff", "7"}}},
      {"mic level 0 is -10", "[miclevel]0\n", none, {{kMic, "BtPhoneSndTalkVol", "-10"}}},
      {"mic level 14 (twenty) is 10", "[miclevel]14\n", none, {{kMic, "BtPhoneSndTalkVol", "10"}}},
      {"echo cancel 0 is -5", "[echocancel]0\n", none, {{kMic, "EchoCancel", "-5"}}},
      {"echo cancel A is 5", "[echocancel]A\n", none, {{kMic, "EchoCancel", "5"}}},
      {"noise reduction 3 is -2", "[noizereduction]3\n", none, {{kMic, "NoiseReduction", "-2"}}},
      {"camera message 1 is 2", "[rcamera_message]1\n", none, {{"ProductCameraSetting.ini", "MessageSetting", "2"}}},
      {"camera message 0 is the default", "[rcamera_message]0\n", none,
       {{"ProductCameraSetting.ini", "MessageSetting", "1"}}},
      {"caution with a stored image", "[caution]Logo.PNG\n", [](ApplyUnit& u) { u.storeImage(); },
       {{"InitialValueCustomize.ini", "StartupCautionPath", kStoredImageHostPath}}},
      {"caution without a stored image", "[caution]Logo.PNG\n", none,
       {{"InitialValueCustomize.ini", "StartupCautionPath", kMissing}}},
      {"unparsable value is skipped", "[miclevel]x\n[demo]\n", none,
       {{kMic, "BtPhoneSndTalkVol", kMissing}, {kSettings, "DemoOnOff", kMissing}}},
      {"later entries override earlier ones", "[miclevel]0\n[miclevel]14\n", none,
       {{kMic, "BtPhoneSndTalkVol", "10"}}},
      {"entries after ~END are not applied", "[miclevel]0\n~END\n[miclevel]14\n", none,
       {{kMic, "BtPhoneSndTalkVol", "-10"}}},
      {"maker and text change nothing", "[maker]2\n# note\n\n", none,
       {{kMic, "BtPhoneSndTalkVol", kMissing}, {kSettings, "DemoOnOff", kMissing}}},
  });
}

// The guide lines of the unit's camera apply; those of the other are ignored.
TEST(CustomizeApply, GuideLinesByCamera) {
  const struct {
    const char* vga;
    const char* hd;
    const char* key;
  } lines[] = {
      {"[glinevga_ulx]", "[glinehd_ulx]", "CamGuidePosiUpperLeftX"},
      {"[glinevga_uly]", "[glinehd_uly]", "CamGuidePosiUpperLeftY"},
      {"[glinevga_urx]", "[glinehd_urx]", "CamGuidePosiUpperRightX"},
      {"[glinevga_ury]", "[glinehd_ury]", "CamGuidePosiUpperRightY"},
      {"[glinevga_llx]", "[glinehd_llx]", "CamGuidePosiLowerLeftX"},
      {"[glinevga_lly]", "[glinehd_lly]", "CamGuidePosiLowerLeftY"},
      {"[glinevga_lrx]", "[glinehd_lrx]", "CamGuidePosiLowerRightX"},
      {"[glinevga_lry]", "[glinehd_lry]", "CamGuidePosiLowerRightY"},
      {"[glinevga_center]", "[glinehd_center]", "CamGuidePosiCenterY"},
  };
  std::vector<ApplyRow> rows;
  for (const auto& line : lines) {
    for (std::uint8_t hd : {0, 1}) {
      const std::string vgaFirst = std::string(line.vga) + "14\n" + line.hd + "1E\n";
      const std::string hdFirst = std::string(line.hd) + "1E\n" + line.vga + "14\n";
      const std::string expected = hd != 0 ? "30" : "20";
      auto setup = [hd](ApplyUnit& u) { u.unit.setCameraHd(hd); };
      rows.push_back({std::string(line.key) + (hd != 0 ? " HD" : " VGA"), vgaFirst, setup,
                      {{kCamera, line.key, expected}}});
      rows.push_back({std::string(line.key) + (hd != 0 ? " HD" : " VGA") + ", other order", hdFirst, setup,
                      {{kCamera, line.key, expected}}});
    }
  }
  rows.push_back({"only the camera's keys, nothing else", "[glinehd_ulx]1E\n",
                  [](ApplyUnit& u) { u.unit.setCameraHd(0); }, {{kCamera, "CamGuidePosiUpperLeftX", kMissing}}});
  run(rows);
}

// Validation and apply see the same lines: a long line is cut at the same
// place for both, its tail is never an entry, and TABs that the cleaning
// removes do not change which value is applied.
TEST(CustomizeApply, LongLinesAsValidated) {
  const std::string comment = "# " + std::string(317, 'x');
  run({
      {"tail of a long comment is not an entry",
       comment + "[miclevel]0\n" + comment.substr(0, 127) + "[echocancel]0" + std::string(300, ' ') + "\n", nullptr,
       {{kMic, "BtPhoneSndTalkVol", kMissing}, {kMic, "EchoCancel", kMissing}}},
      {"value behind many TABs", "[glinevga_ulx]" + std::string(112, '\t') + "13F\n", nullptr,
       {{kCamera, "CamGuidePosiUpperLeftX", "319"}}},
  });
}

class CustomizeApplyTest : public ::testing::Test, public ApplyUnit {};

TEST_F(CustomizeApplyTest, NothingStoredSkipsTheBase) {
  CustomizeSysDataProduct product;
  EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_ALL));
  EXPECT_TRUE(standin::testing::HostCalls().empty());
  EXPECT_FALSE(CustomizeSysDataProductImpl().afterInitialize(CustomizeSysDataProductImpl::INITIALIZE_ALL));
}

TEST_F(CustomizeApplyTest, KeptCopyIsAppliedAfterEveryInitialisation) {
  store(std::string(kHeader) + "[model]2\n[miclevel]14\n");
  storeImage();
  CustomizeSysDataProduct product;
  standin::testing::SetHostResult("afterInitialize", false);
  EXPECT_FALSE(product.afterInitialize(CustomizeSysData::INITIALIZE_FACTORY)) << "the base's result";
  standin::testing::ResetHostResults();
  EXPECT_EQ(value(kMic, "BtPhoneSndTalkVol"), "10");

  // The next initialisation resets the value; the kept copy brings it back.
  TqSingleton<SysDataMic>::GetInstance()->setBtPhoneSndTalkVol(0);
  EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_USER));
  EXPECT_EQ(value(kMic, "BtPhoneSndTalkVol"), "10");

  const auto calls = standin::testing::HostCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].op, "afterInitialize");
  EXPECT_EQ(calls[0].arg, "2");
  EXPECT_EQ(calls[1].arg, "1");
  EXPECT_TRUE(sysdata_test::fileExists(storedCopy()));
  EXPECT_TRUE(sysdata_test::fileExists(syslogDisk(kImage)));
}

// "[model]" 1 ends the pass and removes what the import stored.
TEST(CustomizeApplyOneShot, AppliesTheLinesBeforeItAndRemovesTheStoredData) {
  const struct {
    const char* name;
    std::string body;
    const char* talkVol;
    const char* echo;
    bool oneShot;
  } rows[] = {
      {"model 1 after an entry", "[miclevel]14\n[model]1\n[echocancel]0\n", "10", kMissing, true},
      {"model 1 as the second line", "[model]1\n[miclevel]14\n", kMissing, kMissing, true},
      {"model 1 with words after it", "[miclevel]14\n[model]1 one shot\n[echocancel]0\n", "10", kMissing, true},
      {"model 2 is skipped", "[miclevel]14\n[model]2\n[echocancel]0\n", "10", "-5", false},
      {"unreadable model is skipped", "[model]x\n[echocancel]0\n", kMissing, "-5", false},
      {"model 1 after ~END is never read", "[echocancel]0\n~END\n[model]1\n", kMissing, "-5", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ApplyUnit u;
    u.store(kHeader + row.body);
    u.storeImage();
    CustomizeSysDataProduct product;
    EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_ALL));
    EXPECT_EQ(u.value(kMic, "BtPhoneSndTalkVol"), row.talkVol);
    EXPECT_EQ(u.value(kMic, "EchoCancel"), row.echo);
    EXPECT_EQ(sysdata_test::fileExists(u.storedCopy()), !row.oneShot);
    EXPECT_EQ(sysdata_test::fileExists(u.syslogDisk(kImage)), !row.oneShot);
    EXPECT_EQ(standin::testing::HostCalls().size(), 1u);

    // The next pass finds nothing stored (one-shot) or applies again (kept).
    standin::testing::ClearHostCalls();
    EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_ALL));
    EXPECT_EQ(standin::testing::HostCalls().size(), row.oneShot ? 0u : 1u);
  }
}

TEST_F(CustomizeApplyTest, CameraGuidelineTypeAppliesOnlyGuideLines) {
  store(std::string(kHeader) + "[miclevel]14\n[glinevga_ulx]20\n[pguideline]1\n");
  EXPECT_TRUE(CustomizeSysDataProductImpl().afterInitialize(CustomizeSysDataProductImpl::INITIALIZE_CAMERA_GUIDELINE));
  EXPECT_EQ(value(kCamera, "CamGuidePosiUpperLeftX"), "32");
  EXPECT_EQ(value(kCamera, "CamGuideLineOnOff"), kMissing);
  EXPECT_EQ(value(kMic, "BtPhoneSndTalkVol"), kMissing);
}

TEST_F(CustomizeApplyTest, UnknownTypeLogsOncePerLineAndWritesNothing) {
  // Lines read: the header, the mic level, an empty line and the demo entry;
  // the "[model]" line is not counted.
  store(std::string(kHeader) + "[miclevel]14\n[model]2\n\n[demo]1\n");
  standin::testing::ScopedLogCapture capture;
  EXPECT_TRUE(CustomizeSysDataProductImpl().afterInitialize(static_cast<CustomizeSysDataProductImpl::InitializeType>(2)));
  const Logged error{kImplSource, "afterInitialize", "!!! InitializeType Error !!!\n"};
  EXPECT_EQ(customize_test::customizeLogs(capture), (std::vector<Logged>(4, error)));
  EXPECT_EQ(value(kMic, "BtPhoneSndTalkVol"), kMissing);
  EXPECT_EQ(value(kSettings, "DemoOnOff"), kMissing);
  EXPECT_TRUE(sysdata_test::fileExists(storedCopy()));
}

// Without the camera type no guide line is written; everything else is.
TEST_F(CustomizeApplyTest, WithoutCameraTypeGuideLinesAreSkipped) {
  store(std::string(kHeader) + "[glinevga_ulx]20\n[glinehd_ulx]30\n[miclevel]14\n");
  sysdata_test::UnmappableSegment noProductSwitches("FuncInfoProduct");
  ASSERT_TRUE(noProductSwitches.made());
  CustomizeSysDataProduct product;
  EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_ALL));
  EXPECT_EQ(value(kCamera, "CamGuidePosiUpperLeftX"), kMissing);
  EXPECT_EQ(value(kMic, "BtPhoneSndTalkVol"), "10");
}

// Without the function switches the stored copy's name is unknown: nothing
// is stored as far as the pass can tell.
TEST_F(CustomizeApplyTest, WithoutFunctionSwitchesNothingIsStored) {
  store(std::string(kHeader) + "[miclevel]14\n");
  sysdata_test::UnmappableSegment noSwitches("FuncInfo");
  ASSERT_TRUE(noSwitches.made());
  CustomizeSysDataProduct product;
  EXPECT_TRUE(product.afterInitialize(CustomizeSysData::INITIALIZE_ALL));
  EXPECT_TRUE(standin::testing::HostCalls().empty());
  EXPECT_EQ(value(kMic, "BtPhoneSndTalkVol"), kMissing);
}

}  // namespace
