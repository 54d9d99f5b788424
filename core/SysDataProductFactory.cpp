#include "core/SysDataProductFactory.h"

namespace {

constexpr const char* kMetaTextNames[SysDataProductFactory::SYSDATA_METATXT_MAX] = {
    "Sxm.ini",                      // 0
    "SxmAttribute.ini",             // 1
    "SxmCityDbBase.ini",            // 2
    "SxmContentAlertsSetting.ini",  // 3
    "SxmFavorite.ini",              // 4
    "SxmLeagueDbBase.ini",          // 5
    "SxmParental.ini",              // 6
    "SxmSetting.ini",               // 7
    "SxmTeamDbBase.ini",            // 8
    "SxmResume.ini",                // 9
    "SxmTuneMix.ini",               // 10
    "SxmBackupSetting.ini",         // 11
    "ThirdPartyTv.ini",             // 12
    "AirGestureSetting.ini",        // 13
    "ParkingAssistSettings.ini",    // 14
    "MiracastSetting.ini",          // 15
    "GarminExtNaviSetting.ini",     // 16
    "ThirdExtNaviSetting.ini",      // 17
    "RemoteAppKeyCodeSetting.ini",  // 18
    "PhotoWidgetResumeInfo.ini",    // 19
    "DashCamSetting.ini",           // 20
    "ImitationPwrOff.ini",          // 21
    "InitialValueCustomize.ini",    // 22
    "MirroringModeSetting.ini",     // 23
    "PowerOffMode.ini",             // 24
    "UsbMirroringSetting.ini",      // 25
    "DriveRecorder.ini",            // 26
    "ProductCameraSetting.ini",     // 27
    "ProductCameraSignalSetting.ini",  // 28
};

constexpr const char* kBinaryNames[SysDataProductFactory::SYSDATA_BINARY_MAX] = {
    "SxmAlertCity.ini",                   // 0
    "SxmAlertMusic.ini",                  // 1
    "SxmAlertTeam.ini",                   // 2
    "SxmCityDb.ini",                      // 3
    "SxmLeagueDb.ini",                    // 4
    "SxmSportsFlashTeam.ini",             // 5
    "SxmTeamDb.ini",                      // 6
    "SxmSportsFlashSettingListInfo.ini",  // 7
    "SxmFeaturedFavorites.ini",           // 8
    "AirGestureCalibration.ini",          // 9
};

// Text files are opened for appending keys, binary files for update.
constexpr const char* kMetaTextMode = "a+";
constexpr const char* kBinaryMode = "r+";

bool inRange(int id, int max) { return id >= 0 && id < max; }

}  // namespace

SysDataProductFactory::SysDataProductFactory() {
  for (auto& slot : metaText_) slot.store(nullptr, std::memory_order_relaxed);
  for (auto& slot : binary_) slot.store(nullptr, std::memory_order_relaxed);
}

SysDataProductFactory::~SysDataProductFactory() {
  for (auto& slot : metaText_) delete slot.exchange(nullptr, std::memory_order_acq_rel);
  for (auto& slot : binary_) delete slot.exchange(nullptr, std::memory_order_acq_rel);
}

const char* SysDataProductFactory::metaTextName(SYSDATA_METATXT_ID id) {
  return inRange(id, SYSDATA_METATXT_MAX) ? kMetaTextNames[id] : nullptr;
}

const char* SysDataProductFactory::binaryName(SYSDATA_BINARY_ID id) {
  return inRange(id, SYSDATA_BINARY_MAX) ? kBinaryNames[id] : nullptr;
}

bool SysDataProductFactory::usesFlushCreation(SYSDATA_BINARY_ID id) {
  return id == SYSDATA_BINARY_AIR_GESTURE_CALIBRATION;
}

SaveFileAccessMetaText* SysDataProductFactory::getMetaText(SYSDATA_METATXT_ID id) {
  if (!inRange(id, SYSDATA_METATXT_MAX)) return nullptr;
  std::atomic<SaveFileAccessMetaText*>& slot = metaText_[id];
  SaveFileAccessMetaText* file = slot.load(std::memory_order_acquire);
  if (file != nullptr) return file;

  std::lock_guard<std::mutex> guard(createLock_);
  file = slot.load(std::memory_order_relaxed);
  if (file == nullptr) {
    // A null result stays in the slot, so the next lookup tries again.
    file = TqSingleton<SaveFileAccessFactory>::GetInstance()->CreateMetaText(kMetaTextNames[id], kMetaTextMode);
    slot.store(file, std::memory_order_release);
  }
  return file;
}

SaveFileAccess* SysDataProductFactory::getBinary(SYSDATA_BINARY_ID id) {
  if (!inRange(id, SYSDATA_BINARY_MAX)) return nullptr;
  std::atomic<SaveFileAccess*>& slot = binary_[id];
  SaveFileAccess* file = slot.load(std::memory_order_acquire);
  if (file != nullptr) return file;

  std::lock_guard<std::mutex> guard(createLock_);
  file = slot.load(std::memory_order_relaxed);
  if (file == nullptr) {
    SaveFileAccessFactory* factory = TqSingleton<SaveFileAccessFactory>::GetInstance();
    file = usesFlushCreation(id) ? factory->CreateFlush(kBinaryNames[id], kBinaryMode)
                                 : factory->Create(kBinaryNames[id], kBinaryMode);
    slot.store(file, std::memory_order_release);
  }
  return file;
}
