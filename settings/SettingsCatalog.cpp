#include "settings/SettingsCatalog.h"

#include "settings/FeatureSettings.h"
#include "settings/SxmSettings.h"

namespace sysdata {
namespace {

template <class C>
void resetOf() {
  TqSingleton<C>::GetInstance()->initializeAllData();
}

template <class C, int (C::*Fill)() const>
int fillOf() {
  return (TqSingleton<C>::GetInstance()->*Fill)();
}

template <class C>
SettingsFileDef keyValueFile(const char* name, SysDataProductFactory::SYSDATA_METATXT_ID id, bool exportDefaults) {
  return SettingsFileDef{name, FileKind::KeyValue, id, C::kKeys, C::kKeyCount, 0, nullptr, &resetOf<C>,
                         exportDefaults};
}

template <class C, int (C::*Fill)() const>
SettingsFileDef binaryFile(const char* name, SysDataProductFactory::SYSDATA_BINARY_ID id) {
  return SettingsFileDef{name, FileKind::Binary, id, nullptr, 0, C::kRecordSize, &fillOf<C, Fill>, &resetOf<C>,
                         true};
}

// Built on first use, so that it never depends on the order in which the
// key tables of other sources are initialised.
const SettingsFileDef* catalog() {
  static const SettingsFileDef files[kProductFileCount] = {
      keyValueFile<SysDataSxm>("Sxm.ini", SysDataProductFactory::SYSDATA_METATXT_SXM, true),
      binaryFile<SysDataSxmAlertCity, &SysDataSxmAlertCity::getDefaultContentsAlertCity>("SxmAlertCity.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_CITY),
      binaryFile<SysDataSxmAlertMusic, &SysDataSxmAlertMusic::getDefaultContentsAlertMusic>("SxmAlertMusic.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_MUSIC),
      binaryFile<SysDataSxmAlertTeam, &SysDataSxmAlertTeam::getDefaultContentsAlertTeam>("SxmAlertTeam.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_TEAM),
      keyValueFile<SysDataSxmAttribute>("SxmAttribute.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_ATTRIBUTE, true),
      binaryFile<SysDataSxmCityDb, &SysDataSxmCityDb::getDefaultCityDb>("SxmCityDb.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_CITY_DB),
      keyValueFile<SysDataSxmCityDbBase>("SxmCityDbBase.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_CITY_DB_BASE, true),
      keyValueFile<SysDataSxmContentAlertsSetting>("SxmContentAlertsSetting.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_CONTENT_ALERTS_SETTING, true),
      keyValueFile<SysDataSxmFavorite>("SxmFavorite.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_FAVORITE, true),
      binaryFile<SysDataSxmLeagueDb, &SysDataSxmLeagueDb::getDefaultLeagueDb>("SxmLeagueDb.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_LEAGUE_DB),
      keyValueFile<SysDataSxmLeagueDbBase>("SxmLeagueDbBase.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_LEAGUE_DB_BASE, true),
      keyValueFile<SysDataSxmParental>("SxmParental.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_PARENTAL, true),
      keyValueFile<SysDataSxmSetting>("SxmSetting.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_SETTING, true),
      binaryFile<SysDataSxmSportsFlashTeam, &SysDataSxmSportsFlashTeam::getDefaultSportsFlashTeam>("SxmSportsFlashTeam.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_SPORTS_FLASH_TEAM),
      binaryFile<SysDataSxmTeamDb, &SysDataSxmTeamDb::getDefaultTeamDb>("SxmTeamDb.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_TEAM_DB),
      keyValueFile<SysDataSxmTeamDbBase>("SxmTeamDbBase.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_TEAM_DB_BASE, true),
      keyValueFile<SysDataSxmResume>("SxmResume.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_RESUME, true),
      binaryFile<SysDataSxmSportsFlashSettingListInfo, &SysDataSxmSportsFlashSettingListInfo::getDefaultSportsFlashSettingListInfo>("SxmSportsFlashSettingListInfo.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_SPORTS_FLASH_SETTING_LIST_INFO),
      keyValueFile<SysDataSxmTuneMix>("SxmTuneMix.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_TUNE_MIX, true),
      keyValueFile<SysDataSxmBackupSetting>("SxmBackupSetting.ini", SysDataProductFactory::SYSDATA_METATXT_SXM_BACKUP_SETTING, true),
      binaryFile<SysDataSxmFeaturedFavorites, &SysDataSxmFeaturedFavorites::getDefaultFeaturedFavorites>("SxmFeaturedFavorites.ini", SysDataProductFactory::SYSDATA_BINARY_SXM_FEATURED_FAVORITES),
      keyValueFile<SysDataThirdPartyTv>("ThirdPartyTv.ini", SysDataProductFactory::SYSDATA_METATXT_THIRD_PARTY_TV, true),
      keyValueFile<SysDataAirGestureSetting>("AirGestureSetting.ini", SysDataProductFactory::SYSDATA_METATXT_AIR_GESTURE_SETTING, true),
      keyValueFile<SysDataParkingAssistSettings>("ParkingAssistSettings.ini", SysDataProductFactory::SYSDATA_METATXT_PARKING_ASSIST_SETTINGS, true),
      keyValueFile<SysDataMiracastSetting>("MiracastSetting.ini", SysDataProductFactory::SYSDATA_METATXT_MIRACAST_SETTING, true),
      keyValueFile<SysDataGarminExtNaviSetting>("GarminExtNaviSetting.ini", SysDataProductFactory::SYSDATA_METATXT_GARMIN_EXT_NAVI_SETTING, true),
      keyValueFile<SysDataThirdExtNaviSetting>("ThirdExtNaviSetting.ini", SysDataProductFactory::SYSDATA_METATXT_THIRD_EXT_NAVI_SETTING, true),
      keyValueFile<SysDataRemoteAppKeyCodeSetting>("RemoteAppKeyCodeSetting.ini", SysDataProductFactory::SYSDATA_METATXT_REMOTE_APP_KEY_CODE_SETTING, true),
      keyValueFile<SysDataPhotoWidgetResumeInfo>("PhotoWidgetResumeInfo.ini", SysDataProductFactory::SYSDATA_METATXT_PHOTO_WIDGET_RESUME_INFO, true),
      keyValueFile<SysDataDashCamSetting>("DashCamSetting.ini", SysDataProductFactory::SYSDATA_METATXT_DASH_CAM_SETTING, true),
      keyValueFile<SysDataImitationPwrOff>("ImitationPwrOff.ini", SysDataProductFactory::SYSDATA_METATXT_IMITATION_PWR_OFF, true),
      keyValueFile<SysDataInitialValueCustomize>("InitialValueCustomize.ini", SysDataProductFactory::SYSDATA_METATXT_INITIAL_VALUE_CUSTOMIZE, true),
      keyValueFile<SysDataMirroringModeSetting>("MirroringModeSetting.ini", SysDataProductFactory::SYSDATA_METATXT_MIRRORING_MODE_SETTING, true),
      keyValueFile<SysDataPowerOffMode>("PowerOffMode.ini", SysDataProductFactory::SYSDATA_METATXT_POWER_OFF_MODE, true),
      keyValueFile<SysDataUsbMirroringSetting>("UsbMirroringSetting.ini", SysDataProductFactory::SYSDATA_METATXT_USB_MIRRORING_SETTING, true),
      keyValueFile<SysDataDriveRecorder>("DriveRecorder.ini", SysDataProductFactory::SYSDATA_METATXT_DRIVE_RECORDER, false),
      keyValueFile<SysDataProductCameraSetting>("ProductCameraSetting.ini", SysDataProductFactory::SYSDATA_METATXT_PRODUCT_CAMERA_SETTING, true),
      keyValueFile<SysDataProductCameraSignalSetting>("ProductCameraSignalSetting.ini", SysDataProductFactory::SYSDATA_METATXT_PRODUCT_CAMERA_SIGNAL_SETTING, true),
  };
  return files;
}

}  // namespace

const SettingsFileDef* productFiles() { return catalog(); }

const SettingsFileDef* findProductFile(const std::string& name) {
  const SettingsFileDef* files = catalog();
  for (std::size_t i = 0; i < kProductFileCount; ++i) {
    if (name == files[i].fileName) return &files[i];
  }
  return nullptr;
}

const SettingsFileDef& airGestureCalibrationFile() {
  static const SettingsFileDef file =
      binaryFile<SysDataAirGestureCalibration, &SysDataAirGestureCalibration::getDefaultAirGestureCalibration>(
          "AirGestureCalibration.ini", SysDataProductFactory::SYSDATA_BINARY_AIR_GESTURE_CALIBRATION);
  return file;
}

}  // namespace sysdata
