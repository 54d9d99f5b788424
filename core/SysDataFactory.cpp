#include "core/SysDataFactory.h"

namespace {

struct MetaTextRow {
  const char* name;
  // Made with CreateMetaTextFlush instead of CreateMetaText.
  bool flushCreation;
};

constexpr MetaTextRow kMetaText[SysDataFactory::SYSDATA_METATXT_MAX] = {
    {"AndroidAuto.ini", false},  // 0
    {"AvIn.ini", false},  // 1
    {"BtPhoneSetting.ini", false},  // 2
    {"BtSetting.ini", false},  // 3
    {"Camera.ini", false},  // 4
    {"CarMaker.ini", false},  // 5
    {"CarPlayInfo.ini", false},  // 6
    {"CarPlaySetting.ini", false},  // 7
    {"DiscFactory.ini", true},  // 8
    {"DiscFirmwareUpdate.ini", false},  // 9
    {"DiscRecResume.ini", false},  // 10
    {"DiscRecSetting.ini", false},  // 11
    {"DiscDvdSetup.ini", false},  // 12
    {"DiscResumeInfo.ini", false},  // 13
    {"DopWallpaperSetting.ini", false},  // 14
    {"DtvError.ini", false},  // 15
    {"DtvFunctionEnable.ini", false},  // 16
    {"DtvSetting.ini", false},  // 17
    {"FileDiscResumeInfo.ini", false},  // 18
    {"FunctionController.ini", false},  // 19
    {"GpsError.ini", false},  // 20
    {"InMemResume.ini", false},  // 21
    {"IpodSettings.ini", false},  // 22
    {"MechaHistory.ini", false},  // 23
    {"MobileSettings.ini", false},  // 24
    {"MultiAVDevices.ini", false},  // 25
    {"MultiAVResume.ini", false},  // 26
    {"NaviCountryInfoSetting.ini", false},  // 27
    {"NaviLog.ini", false},  // 28
    {"NaviVoiceSetting.ini", false},  // 29
    {"PanelMecha.ini", false},  // 30
    {"PanelMechaAdjust.ini", true},  // 31
    {"PanelMechaAdjust2.ini", false},  // 32
    {"PlayingHistory.ini", false},  // 33
    {"PModeTestResult.ini", true},  // 34
    {"ProductAlarmSetting.ini", false},  // 35
    {"Remocon.ini", false},  // 36
    {"RemoconCustmoize.ini", false},  // 37
    {"SafeModeSetting.ini", false},  // 38
    {"SdResume1.ini", false},  // 39
    {"SensorSysLog.ini", false},  // 40
    {"Settings.ini", false},  // 41
    {"SettingsNoUserInit.ini", false},  // 42
    {"SettingsSpecial.ini", false},  // 43
    {"SetupMem.ini", false},  // 44
    {"Sound.ini", false},  // 45
    {"Mic.ini", false},  // 46
    {"SoundInitTypeFactory.ini", false},  // 47
    {"Standby.ini", false},  // 48
    {"SysMngData.ini", false},  // 49
    {"TmcSysLog.ini", false},  // 50
    {"TouchCalibration.ini", false},  // 51
    {"TunerPreset.ini", false},  // 52
    {"TunerResume.ini", false},  // 53
    {"UsbResume1.ini", false},  // 54
    {"UsbResume2.ini", false},  // 55
    {"UsbResume3.ini", false},  // 56
    {"UsbResume4.ini", false},  // 57
    {"UsbResume5.ini", false},  // 58
    {"UsbResume6.ini", false},  // 59
    {"UsbResume7.ini", false},  // 60
    {"UsbResume8.ini", false},  // 61
    {"UsbTethering.ini", false},  // 62
    {"UserData1.ini", false},  // 63
    {"UserData2.ini", false},  // 64
    {"UserManager.ini", false},  // 65
    {"Wallpaper.ini", false},  // 66
    {"WifiSetting.ini", false},  // 67
    {"HeadUnitIdentifier.ini", true},  // 68
    {"DabResume.ini", false},  // 69
    {"SystemHistory.ini", false},  // 70
    {"KeyIllumiAdjust.ini", true},  // 71
    {"HdmiOut.ini", false},  // 72
    {"DabSetting.ini", false},  // 73
    {"HdRadioResume.ini", false},  // 74
    {"TunerAbroadResume.ini", false},  // 75
    {"TunerPresetFM.ini", false},  // 76
    {"TunerPresetAM.ini", false},  // 77
    {"TunerSetting.ini", false},  // 78
    {"TunerBasic.ini", false},  // 79
    {"TunerArea.ini", false},  // 80
};

constexpr const char* kMetaTextMode = "a+";

bool inRange(int id) { return id >= 0 && id < SysDataFactory::SYSDATA_METATXT_MAX; }

}  // namespace

SysDataFactory::SysDataFactory() {
  for (auto& slot : metaText_) slot.store(nullptr, std::memory_order_relaxed);
  for (auto& slot : binary_) slot = nullptr;
}

SysDataFactory::~SysDataFactory() {
  for (auto& slot : metaText_) delete slot.exchange(nullptr, std::memory_order_acq_rel);
  for (auto& slot : binary_) {
    delete slot;
    slot = nullptr;
  }
}

const char* SysDataFactory::metaTextName(SYSDATA_METATXT_ID id) {
  return inRange(id) ? kMetaText[id].name : nullptr;
}

bool SysDataFactory::usesFlushCreation(SYSDATA_METATXT_ID id) {
  return inRange(id) && kMetaText[id].flushCreation;
}

SaveFileAccessMetaText* SysDataFactory::getMetaText(SYSDATA_METATXT_ID id) {
  if (!inRange(id)) return nullptr;
  std::atomic<SaveFileAccessMetaText*>& slot = metaText_[id];
  SaveFileAccessMetaText* file = slot.load(std::memory_order_acquire);
  if (file != nullptr) return file;

  std::lock_guard<std::mutex> guard(createLock_);
  file = slot.load(std::memory_order_relaxed);
  if (file == nullptr) {
    // A null result stays in the slot, so the next lookup tries again.
    SaveFileAccessFactory* factory = TqSingleton<SaveFileAccessFactory>::GetInstance();
    const MetaTextRow& row = kMetaText[id];
    file = row.flushCreation ? factory->CreateMetaTextFlush(row.name, kMetaTextMode)
                             : factory->CreateMetaText(row.name, kMetaTextMode);
    slot.store(file, std::memory_order_release);
  }
  return file;
}
