#include "bench/Scenario.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/SystemRecords.h"
#include "settings/SettingsCatalog.h"
#include "standin/testing/HostCalls.h"

namespace sysdata_bench {

std::vector<std::pair<std::string, int>> settingsKeys(std::size_t n) {
  static const char* const kAccessorKeys[] = {
      "BeepVol",          "SystemLang",         "VoiceLang",          "DisplayLang",
      "LangSelectMode",   "SecurityIndicator",  "BeepOnOff",          "DimmerControl",
      "DimmerLumiSensorLv", "KeyIllumiPreset",  "KeyIllumiRGBUser1Dim", "KeyIllumiRGBUser2Dim",
      "KeyIllumiRGBUser3Dim", "OptionSwitch",   "ClockOnOff",         "ClockSync",
      "TimeZone",         "GuidePhoneVolOnOff", "DemoOnOff",          "AutoAntenna",
      "AntennaControlOnOff", "SetupmemLock",    "ExpConnect",         "UsbTetheringOnOff",
      "SteeringWheelPosition",
  };
  std::vector<std::pair<std::string, int>> keys;
  for (const char* key : kAccessorKeys) {
    if (keys.size() == n) break;
    keys.emplace_back(key, 1);
  }
  char name[32];
  for (std::size_t i = 0; keys.size() < n; ++i) {
    std::snprintf(name, sizeof name, "HostSetting%05zu", i);
    keys.emplace_back(name, static_cast<int>(i % 100));
  }
  return keys;
}

std::string withFirstValueChanged(const std::string& text) {
  const std::size_t eq = text.find('=');
  const std::size_t eol = text.find('\n');
  if (eq == std::string::npos || eol == std::string::npos || eq > eol) return text;
  return text.substr(0, eq + 1) + "77777" + text.substr(eol);
}

Scenario::Scenario(std::size_t settingsKeyCount)
    : floor(unit.root() + "/floor"),
      systemInfo("SystemInfo", sizeof(SysInfoStruct), floor.path(".SystemInfo.lock")),
      sysDataInfo("SysDataInfo", sizeof(SysDataInfoStruct), floor.path(".SysDataInfo.lock")),
      funcInfo("FuncInfo", sizeof(FuncInfoStruct), floor.path(".FuncInfo.lock")),
      funcInfoProduct("FuncInfoProduct", sizeof(FuncInfoProductStruct), floor.path(".FuncInfoProduct.lock")),
      sysDataDefault("SysDataDefault", sizeof(SysDataDefaultMem::Data), floor.path(".SysDataDefault.lock")) {
  util.initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
  const sysdata::SettingsFileDef* files = sysdata::productFiles();
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) util.initSysDataFile(files[i].fileName);

  writeFile(unit.saveFile("Settings.ini"), keyValueText(settingsKeys(settingsKeyCount)));
  writeFile(unit.saveFile("SettingsNoUserInit.ini"), keyValueText({{"DemoOnOff", 0}, {"DemoSettingVisible", 1}}));
  writeFile(unit.saveFile("SettingsSpecial.ini"),
            keyValueText({{"DebugInfoOnOff", 0},
                          {"SnapshotOnOff", 0},
                          {"TextcheckOnOff", 0},
                          {"SafemodeOnOff", 0},
                          {"TextOverflowCheckOnOff", 0}}));
  writeFile(unit.saveFile("Mic.ini"), keyValueText({{"BtPhoneSndTalkVol", 0}, {"EchoCancel", 0}, {"NoiseReduction", 0}}));
  writeFile(unit.saveFile("Camera.ini"), keyValueText({{"CamGuideLineOnOff", 1},
                                                       {"CamGuidePosiCenterY", 10},
                                                       {"CamGuidePosiLowerLeftX", 100},
                                                       {"CamGuidePosiLowerLeftY", 300},
                                                       {"CamGuidePosiLowerRightX", 500},
                                                       {"CamGuidePosiLowerRightY", 300},
                                                       {"CamGuidePosiUpperLeftX", 200},
                                                       {"CamGuidePosiUpperLeftY", 100},
                                                       {"CamGuidePosiUpperRightX", 400},
                                                       {"CamGuidePosiUpperRightY", 100},
                                                       {"RCamIntSetting", 1}}));
  standin::testing::ClearHostCalls();
  // Files changed within the file system clock's last tick are read again at
  // every open (a write in place in that tick would leave the same times);
  // start with files that have aged past it, as on a unit in use.
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

Scenario::~Scenario() { standin::testing::ClearHostCalls(); }

void Scenario::mirror(const std::string& name) const { writeFile(floor.path(name), readFile(unit.saveFile(name))); }

}  // namespace sysdata_bench
