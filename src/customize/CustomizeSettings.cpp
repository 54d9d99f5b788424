#include "src/customize/CustomizeSettings.h"

#include <cstdint>
#include <cstring>

#include "accessor/SettingsDataAccessor.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "platform/TqFileSys.h"
#include "settings/CommonSettings.h"
#include "settings/FeatureSettings.h"
#include "src/customize/CustomizeUtility.h"

namespace {

// ---- validation ----

// Every key of the validation pass in the order it is tried; a key with no
// check is the caution image name.
struct CheckRow {
  const char* key;
  bool (*check)(unsigned int value);
};

const CheckRow kCheckRows[] = {
    {"[illumi_1]", &CustomizeSettings::checkIllumi},
    {"[illumiuser_Red]", &CustomizeSettings::checkIllumiUser},
    {"[illumiuser_Green]", &CustomizeSettings::checkIllumiUser},
    {"[illumiuser_Blue]", &CustomizeSettings::checkIllumiUser},
    {"[lang]", &CustomizeSettings::checkLang},
    {"[demo]", &CustomizeSettings::checkOnOff},
    {"[rearcam]", &CustomizeSettings::checkOnOff},
    {"[pguideline]", &CustomizeSettings::checkOnOff},
    {"[glinevga_ulx]", &CustomizeSettings::checkGlineVgaX},
    {"[glinevga_uly]", &CustomizeSettings::checkGlineVgaY},
    {"[glinevga_urx]", &CustomizeSettings::checkGlineVgaX},
    {"[glinevga_ury]", &CustomizeSettings::checkGlineVgaY},
    {"[glinevga_llx]", &CustomizeSettings::checkGlineVgaX},
    {"[glinevga_lly]", &CustomizeSettings::checkGlineVgaY},
    {"[glinevga_lrx]", &CustomizeSettings::checkGlineVgaX},
    {"[glinevga_lry]", &CustomizeSettings::checkGlineVgaY},
    {"[glinevga_center]", &CustomizeSettings::checkGlineCenter},
    {"[glinehd_ulx]", &CustomizeSettings::checkGlineHdX},
    {"[glinehd_uly]", &CustomizeSettings::checkGlineHdY},
    {"[glinehd_urx]", &CustomizeSettings::checkGlineHdX},
    {"[glinehd_ury]", &CustomizeSettings::checkGlineHdY},
    {"[glinehd_llx]", &CustomizeSettings::checkGlineHdX},
    {"[glinehd_lly]", &CustomizeSettings::checkGlineHdY},
    {"[glinehd_lrx]", &CustomizeSettings::checkGlineHdX},
    {"[glinehd_lry]", &CustomizeSettings::checkGlineHdY},
    {"[glinehd_center]", &CustomizeSettings::checkGlineCenter},
    {"[miclevel]", &CustomizeSettings::checkMicLevel},
    {"[echocancel]", &CustomizeSettings::checkEchoCancel},
    {"[noizereduction]", &CustomizeSettings::checkNoizeReduction},
    {"[rcamera_message]", &CustomizeSettings::checkRcameraMessage},
    {"[caution]", nullptr},
};

// The language set whose ids 23 and 26, 33-35 swap acceptance.
constexpr std::uint32_t kLangSetSwapping = 4;

enum class LangRule { Always, OnlyInSwappingSet, OnlyOutsideSwappingSet, Never };

LangRule langRule(unsigned int id) {
  if (id <= 9 || id == 24 || (id >= 27 && id <= 32)) return LangRule::Always;
  if (id == 23) return LangRule::OnlyInSwappingSet;
  if (id == 26 || (id >= 33 && id <= 35)) return LangRule::OnlyOutsideSwappingSet;
  return LangRule::Never;
}

bool equalsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char x = *a;
    char y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return *a == *b;
}

// True when a "/"-separated component of name is "..": such a name would
// reach out of the customization file's directory.
bool climbsUp(const std::string& name) {
  std::string::size_type start = 0;
  while (start <= name.size()) {
    std::string::size_type end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

// ---- apply ----

void setDataKey(settings_datakey::DataKeyID id, int value) {
  SettingsDataAccessor accessor;
  accessor.setDataKeyIValue(id, value);
}

// The user illumination colour is 0x00RRGGBB; an entry changes one byte.
void setIllumiUserByte(unsigned int value, unsigned int shift) {
  SettingsDataAccessor accessor;
  const auto id = settings_datakey::DATAKEY_KEY_ILLUMI_RGB_USER1_DIM;
  std::uint32_t colour = static_cast<std::uint32_t>(accessor.getDataKeyIValue(id));
  colour &= ~(0xFFu << shift);
  colour |= (value & 0xFFu) << shift;
  colour &= 0x00FFFFFFu;
  accessor.setDataKeyIValue(id, static_cast<int>(colour));
}

// value - offset in 32 bits, as the setter's int.
int shifted(unsigned int value, unsigned int offset) { return static_cast<int>(value - offset); }

struct ApplyRow {
  const char* key;
  void (*apply)(unsigned int value);
};

const ApplyRow kApplyRows[] = {
    {"[illumi_1]",
     [](unsigned int v) {
       setDataKey(settings_datakey::DATAKEY_KEY_ILLUMI_PRESET, v <= 10 ? static_cast<int>(v) : 13);
     }},
    {"[illumiuser_Red]", [](unsigned int v) { setIllumiUserByte(v, 16); }},
    {"[illumiuser_Green]", [](unsigned int v) { setIllumiUserByte(v, 8); }},
    {"[illumiuser_Blue]", [](unsigned int v) { setIllumiUserByte(v, 0); }},
    {"[lang]",
     [](unsigned int v) {
       setDataKey(settings_datakey::DATAKEY_SYSTEM_LANG_ALL, v <= 45 ? static_cast<int>(v + 1) : 0);
     }},
    {"[demo]", [](unsigned int v) { setDataKey(settings_datakey::DATAKEY_DEMO_ON_OFF, v == 1 ? 1 : 0); }},
    {"[rearcam]",
     [](unsigned int v) { TqSingleton<SysDataCamera>::GetInstance()->setRCamIntSetting(static_cast<int>(v)); }},
    {"[pguideline]",
     [](unsigned int v) {
       TqSingleton<SysDataCamera>::GetInstance()->setCamGuideLineOnOff(CustomizeSettings::convertGuideLineOnOff(v));
     }},
    {"[miclevel]",
     [](unsigned int v) { TqSingleton<SysDataMic>::GetInstance()->setBtPhoneSndTalkVol(shifted(v, 10)); }},
    {"[echocancel]", [](unsigned int v) { TqSingleton<SysDataMic>::GetInstance()->setEchoCancel(shifted(v, 5)); }},
    {"[noizereduction]",
     [](unsigned int v) { TqSingleton<SysDataMic>::GetInstance()->setNoiseReduction(shifted(v, 5)); }},
    {"[rcamera_message]",
     [](unsigned int v) {
       TqSingleton<SysDataProductCameraSetting>::GetInstance()->setMessageSetting(
           CustomizeSettings::convertRcameraMessage(v));
     }},
};

constexpr const char* kCautionKey = "[caution]";

// Guide lines: the key of each camera picture and the setter both feed.
struct GuideLineRow {
  const char* vgaKey;
  const char* hdKey;
  void (SysDataCamera::*set)(int);
};

const GuideLineRow kGuideLineRows[] = {
    {"[glinevga_ulx]", "[glinehd_ulx]", &SysDataCamera::setCamGuidePosiUpperLeftX},
    {"[glinevga_uly]", "[glinehd_uly]", &SysDataCamera::setCamGuidePosiUpperLeftY},
    {"[glinevga_urx]", "[glinehd_urx]", &SysDataCamera::setCamGuidePosiUpperRightX},
    {"[glinevga_ury]", "[glinehd_ury]", &SysDataCamera::setCamGuidePosiUpperRightY},
    {"[glinevga_llx]", "[glinehd_llx]", &SysDataCamera::setCamGuidePosiLowerLeftX},
    {"[glinevga_lly]", "[glinehd_lly]", &SysDataCamera::setCamGuidePosiLowerLeftY},
    {"[glinevga_lrx]", "[glinehd_lrx]", &SysDataCamera::setCamGuidePosiLowerRightX},
    {"[glinevga_lry]", "[glinehd_lry]", &SysDataCamera::setCamGuidePosiLowerRightY},
    {"[glinevga_center]", "[glinehd_center]", &SysDataCamera::setCamGuidePosiCenterY},
};

// Offset of the guide-line switch's factory default in the default table.
constexpr std::size_t kGuideLineOnOffDefault = 224;

}  // namespace

bool CustomizeSettings::checkData(std::string& line, const char* dir) {
  for (const CheckRow& row : kCheckRows) {
    if (!CustomizeUtility::startsWith(line, row.key)) continue;
    if (row.check == nullptr) {
      std::string name;
      if (!CustomizeUtility::getValue(line.c_str(), name)) return false;
      return checkFile(name, kCautionNameMaxLength, kCautionExtension, dir);
    }
    unsigned int value = 0;
    if (!CustomizeUtility::getValue(line.c_str(), value)) return false;
    return row.check(value);
  }
  return true;
}

bool CustomizeSettings::checkLang(unsigned int id) {
  bool mapped = false;
  std::uint32_t langSetCode = 0;
  {
    FuncInfoSharedMem view;
    mapped = sysdata::RecordAccess::isMapped(view);
    langSetCode = sysdata::langSetCode(view);
  }
  switch (langRule(id)) {
    case LangRule::Always:
      return true;
    case LangRule::OnlyInSwappingSet:
      // Unknown language set: neither condition can be trusted.
      return mapped && langSetCode == kLangSetSwapping;
    case LangRule::OnlyOutsideSwappingSet:
      return mapped && langSetCode != kLangSetSwapping;
    case LangRule::Never:
      break;
  }
  TqDbgOutput::DbgPrint(kSource, "checkLang", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                        "<----- Lang of InitializeValueCustomize is NG[%d] !!!!! ----->\n", static_cast<int>(id));
  return false;
}

bool CustomizeSettings::checkFile(const std::string& name, unsigned int maxLength, const char* extension,
                                  const char* dir) {
  bool ok = name.size() <= maxLength;
  const std::string::size_type dot = name.rfind('.');
  ok = ok && dot != std::string::npos;
  ok = ok && equalsIgnoringCase(name.c_str() + dot, extension);
  ok = ok && !climbsUp(name);
  ok = ok && TqFileSys::IsExist((std::string(dir != nullptr ? dir : "") + name).c_str());
  if (!ok) {
    TqDbgOutput::DbgPrint(kSource, "checkFile", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                          "<----- file of InitializeValueCustomize is NG[%s] !!!!! ----->\n", name.c_str());
  }
  return ok;
}

void CustomizeSettings::deleteImportData(const char* dir) {
  const std::string path = std::string(dir != nullptr ? dir : "") + kCautionImageName;
  TqFileSys::Delete(path.c_str(), true);
}

void CustomizeSettings::afterInitialize(std::string& line, const char* dir) {
  bool matched = false;
  for (const ApplyRow& row : kApplyRows) {
    if (!CustomizeUtility::startsWith(line, row.key)) continue;
    matched = true;
    unsigned int value = 0;
    if (CustomizeUtility::getValue(line.c_str(), value)) row.apply(value);
    break;
  }
  if (!matched && CustomizeUtility::startsWith(line, kCautionKey)) {
    // The image itself was copied at import; the entry only says to use it.
    std::string name;
    CustomizeUtility::getValue(line.c_str(), name);
    const std::string image = std::string(dir != nullptr ? dir : "") + kCautionImageName;
    if (TqFileSys::IsExist(image.c_str())) {
      TqSingleton<SysDataInitialValueCustomize>::GetInstance()->setStartupCautionPath(image);
    }
  }
  afterInitializeCameraGuideline(line);
}

void CustomizeSettings::afterInitializeCameraGuideline(std::string& line) {
  bool mapped = false;
  bool hd = false;
  {
    FuncInfoProduct view;
    mapped = sysdata::RecordAccess::isMapped(view);
    hd = sysdata::cameraHd(view) != 0;
  }
  if (!mapped) return;
  for (const GuideLineRow& row : kGuideLineRows) {
    if (!CustomizeUtility::startsWith(line, hd ? row.hdKey : row.vgaKey)) continue;
    unsigned int value = 0;
    if (CustomizeUtility::getValue(line.c_str(), value)) {
      (TqSingleton<SysDataCamera>::GetInstance()->*row.set)(static_cast<int>(value));
    }
    return;
  }
}

int CustomizeSettings::convertRcameraMessage(unsigned int value) {
  if (value == 1) return 2;
  return TqSingleton<SysDataProductCameraSetting>::GetInstance()->getDefaultMessageSetting();
}

int CustomizeSettings::convertGuideLineOnOff(unsigned int value) {
  if (value <= 1) return static_cast<int>(value);
  SysDataDefault view;
  return sysdata::readI32(view, kGuideLineOnOffDefault);
}
