// Product feature settings classes: one singleton per settings file. The
// key=value classes take their keys from settings/keys/FeatureKeys.h;
// "AirGestureCalibration.ini" is a binary record of 0xFF bytes.
#pragma once

#include <cstddef>
#include <string>

#include "settings/KeyTable.h"
#include "settings/keys/FeatureKeys.h"

// "ThirdPartyTv.ini", product text id 12.
class SYSDATA_API SysDataThirdPartyTv : public TqSingleton<SysDataThirdPartyTv> {
 public:
  SYSDATA_THIRD_PARTY_TV_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataThirdPartyTv)
};
TQ_SINGLETON_DECLARE(SysDataThirdPartyTv)

// "AirGestureSetting.ini", product text id 13.
class SYSDATA_API SysDataAirGestureSetting : public TqSingleton<SysDataAirGestureSetting> {
 public:
  SYSDATA_AIR_GESTURE_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataAirGestureSetting)
};
TQ_SINGLETON_DECLARE(SysDataAirGestureSetting)

// "ParkingAssistSettings.ini", product text id 14.
class SYSDATA_API SysDataParkingAssistSettings : public TqSingleton<SysDataParkingAssistSettings> {
 public:
  SYSDATA_PARKING_ASSIST_SETTINGS_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataParkingAssistSettings)
};
TQ_SINGLETON_DECLARE(SysDataParkingAssistSettings)

// "MiracastSetting.ini", product text id 15.
class SYSDATA_API SysDataMiracastSetting : public TqSingleton<SysDataMiracastSetting> {
 public:
  SYSDATA_MIRACAST_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataMiracastSetting)
};
TQ_SINGLETON_DECLARE(SysDataMiracastSetting)

// "GarminExtNaviSetting.ini", product text id 16.
class SYSDATA_API SysDataGarminExtNaviSetting : public TqSingleton<SysDataGarminExtNaviSetting> {
 public:
  SYSDATA_GARMIN_EXT_NAVI_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataGarminExtNaviSetting)
};
TQ_SINGLETON_DECLARE(SysDataGarminExtNaviSetting)

// "ThirdExtNaviSetting.ini", product text id 17.
class SYSDATA_API SysDataThirdExtNaviSetting : public TqSingleton<SysDataThirdExtNaviSetting> {
 public:
  SYSDATA_THIRD_EXT_NAVI_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataThirdExtNaviSetting)
};
TQ_SINGLETON_DECLARE(SysDataThirdExtNaviSetting)

// "RemoteAppKeyCodeSetting.ini", product text id 18.
class SYSDATA_API SysDataRemoteAppKeyCodeSetting : public TqSingleton<SysDataRemoteAppKeyCodeSetting> {
 public:
  SYSDATA_REMOTE_APP_KEY_CODE_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataRemoteAppKeyCodeSetting)
};
TQ_SINGLETON_DECLARE(SysDataRemoteAppKeyCodeSetting)

// "PhotoWidgetResumeInfo.ini", product text id 19.
class SYSDATA_API SysDataPhotoWidgetResumeInfo : public TqSingleton<SysDataPhotoWidgetResumeInfo> {
 public:
  SYSDATA_PHOTO_WIDGET_RESUME_INFO_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataPhotoWidgetResumeInfo)
};
TQ_SINGLETON_DECLARE(SysDataPhotoWidgetResumeInfo)

// "DashCamSetting.ini", product text id 20.
class SYSDATA_API SysDataDashCamSetting : public TqSingleton<SysDataDashCamSetting> {
 public:
  SYSDATA_DASH_CAM_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataDashCamSetting)
};
TQ_SINGLETON_DECLARE(SysDataDashCamSetting)

// "ImitationPwrOff.ini", product text id 21.
class SYSDATA_API SysDataImitationPwrOff : public TqSingleton<SysDataImitationPwrOff> {
 public:
  SYSDATA_IMITATION_PWR_OFF_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataImitationPwrOff)
};
TQ_SINGLETON_DECLARE(SysDataImitationPwrOff)

// "InitialValueCustomize.ini", product text id 22.
class SYSDATA_API SysDataInitialValueCustomize : public TqSingleton<SysDataInitialValueCustomize> {
 public:
  SYSDATA_INITIAL_VALUE_CUSTOMIZE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();
  // Writes "StartupCautionPath" unchanged, an empty path included.
  void setStartupCautionPath(std::string path);

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataInitialValueCustomize)
};
TQ_SINGLETON_DECLARE(SysDataInitialValueCustomize)

// "MirroringModeSetting.ini", product text id 23.
class SYSDATA_API SysDataMirroringModeSetting : public TqSingleton<SysDataMirroringModeSetting> {
 public:
  SYSDATA_MIRRORING_MODE_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataMirroringModeSetting)
};
TQ_SINGLETON_DECLARE(SysDataMirroringModeSetting)

// "PowerOffMode.ini", product text id 24.
class SYSDATA_API SysDataPowerOffMode : public TqSingleton<SysDataPowerOffMode> {
 public:
  SYSDATA_POWER_OFF_MODE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataPowerOffMode)
};
TQ_SINGLETON_DECLARE(SysDataPowerOffMode)

// "UsbMirroringSetting.ini", product text id 25.
class SYSDATA_API SysDataUsbMirroringSetting : public TqSingleton<SysDataUsbMirroringSetting> {
 public:
  SYSDATA_USB_MIRRORING_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataUsbMirroringSetting)
};
TQ_SINGLETON_DECLARE(SysDataUsbMirroringSetting)

// "DriveRecorder.ini", product text id 26.
class SYSDATA_API SysDataDriveRecorder : public TqSingleton<SysDataDriveRecorder> {
 public:
  SYSDATA_DRIVE_RECORDER_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataDriveRecorder)
};
TQ_SINGLETON_DECLARE(SysDataDriveRecorder)

// "ProductCameraSetting.ini", product text id 27.
class SYSDATA_API SysDataProductCameraSetting : public TqSingleton<SysDataProductCameraSetting> {
 public:
  SYSDATA_PRODUCT_CAMERA_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();
  // Writes "MessageSetting" unchanged: no range check.
  void setMessageSetting(int value);

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataProductCameraSetting)
};
TQ_SINGLETON_DECLARE(SysDataProductCameraSetting)

// "ProductCameraSignalSetting.ini", product text id 28.
class SYSDATA_API SysDataProductCameraSignalSetting : public TqSingleton<SysDataProductCameraSignalSetting> {
 public:
  SYSDATA_PRODUCT_CAMERA_SIGNAL_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataProductCameraSignalSetting)
};
TQ_SINGLETON_DECLARE(SysDataProductCameraSignalSetting)

// "AirGestureCalibration.ini", product binary id 9: one record of 32 bytes of 0xFF (no calibration).
class SYSDATA_API SysDataAirGestureCalibration : public TqSingleton<SysDataAirGestureCalibration> {
 public:
  static constexpr std::size_t kRecordSize = 32;
  int getDefaultAirGestureCalibration() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataAirGestureCalibration)
};
TQ_SINGLETON_DECLARE(SysDataAirGestureCalibration)
