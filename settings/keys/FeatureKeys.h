// Keys of the product feature settings files, in reset order:
// KEY(Name, Type, Default). Type is Int, UInt, Bool, UChar or String; the
// Default of a String key is a sysdata::VariantStringTable (declared below)
// looked up by the unit's model and destination. Name is the key as it is
// written in the file; each list is the one source of the file's keys, types,
// order and factory values.
#pragma once

#include "core/SysDataExport.h"
#include "core/Variants.h"

namespace sysdata {
namespace string_defaults {
// "Car Multimedia" for every variant and for any other pair.
extern const VariantStringTable kDeviceName;
// Empty for every variant and for any other pair.
extern const VariantStringTable kContentsPath;
extern const VariantStringTable kDeviceKey;
extern const VariantStringTable kStartupCautionPath;
}  // namespace string_defaults
}  // namespace sysdata

// "ThirdPartyTv.ini"
#define SYSDATA_THIRD_PARTY_TV_KEYS(KEY) \
  KEY(3rdPartyTvEnable, Bool, false)

// "AirGestureSetting.ini"
#define SYSDATA_AIR_GESTURE_SETTING_KEYS(KEY) \
  KEY(Beep, Bool, true)       \
  KEY(Enable, Bool, true)     \
  KEY(MoveDown, UChar, 6)     \
  KEY(MoveLeft, UChar, 17)    \
  KEY(MoveRight, UChar, 8)    \
  KEY(MoveUp, UChar, 7)       \
  KEY(Sensitivity, UChar, 7)

// "ParkingAssistSettings.ini"
#define SYSDATA_PARKING_ASSIST_SETTINGS_KEYS(KEY) \
  KEY(ParkingAssistDisplay, Int, 1)  \
  KEY(ParkingAssistInt, Int, 2)

// "MiracastSetting.ini"
#define SYSDATA_MIRACAST_SETTING_KEYS(KEY)                          \
  KEY(LastConnection, Int, 0)                                       \
  KEY(DeviceName, String, ::sysdata::string_defaults::kDeviceName)

// "GarminExtNaviSetting.ini"
#define SYSDATA_GARMIN_EXT_NAVI_SETTING_KEYS(KEY) \
  KEY(Vlolume, Int, 24)

// "ThirdExtNaviSetting.ini"
#define SYSDATA_THIRD_EXT_NAVI_SETTING_KEYS(KEY) \
  KEY(Vlolume, Int, 24)

// "RemoteAppKeyCodeSetting.ini": the eleven "KeyCodeSetting" keys, then the
// eleven "KeyCode" keys, in the same gesture order.
#define SYSDATA_REMOTE_APP_KEY_CODE_SETTING_KEYS(KEY) \
  KEY(KeyCodeSettingDispTouch, Int, 11)           \
  KEY(KeyCodeSettingRightSlide, Int, 5)           \
  KEY(KeyCodeSettingLeftSlide, Int, 6)            \
  KEY(KeyCodeSettingUpSlide, Int, 7)              \
  KEY(KeyCodeSettingDownSlide, Int, 8)            \
  KEY(KeyCodeSettingRightCurve, Int, 35)          \
  KEY(KeyCodeSettingLeftCurve, Int, 36)           \
  KEY(KeyCodeSettingUpCurve, Int, 0)              \
  KEY(KeyCodeSettingDownCurve, Int, 1)            \
  KEY(KeyCodeSettingUpSlideTwoFingers, Int, 2)    \
  KEY(KeyCodeSettingDownSlideTwoFingers, Int, 3)  \
  KEY(KeyCodeDispTouch, Int, 11)                  \
  KEY(KeyCodeRightSlide, Int, 5)                  \
  KEY(KeyCodeLeftSlide, Int, 6)                   \
  KEY(KeyCodeUpSlide, Int, 7)                     \
  KEY(KeyCodeDownSlide, Int, 8)                   \
  KEY(KeyCodeRightCurve, Int, 35)                 \
  KEY(KeyCodeLeftCurve, Int, 36)                  \
  KEY(KeyCodeUpCurve, Int, 0)                     \
  KEY(KeyCodeDownCurve, Int, 1)                   \
  KEY(KeyCodeUpSlideTwoFingers, Int, 2)           \
  KEY(KeyCodeDownSlideTwoFingers, Int, 3)

// "PhotoWidgetResumeInfo.ini"
#define SYSDATA_PHOTO_WIDGET_RESUME_INFO_KEYS(KEY)                      \
  KEY(FileOrder, Int, 0)                                                \
  KEY(AscDesc, Int, 1)                                                  \
  KEY(IntervalTime, Int, 5)                                             \
  KEY(ContentsPath, String, ::sysdata::string_defaults::kContentsPath)  \
  KEY(DeviceKey, String, ::sysdata::string_defaults::kDeviceKey)        \
  KEY(Crc, UInt, 0u)

// "DashCamSetting.ini"
#define SYSDATA_DASH_CAM_SETTING_KEYS(KEY) \
  KEY(WarningOnOffFwd, Bool, false)    \
  KEY(WarningOnOffLane, Bool, false)   \
  KEY(WarningOnOffStart, Bool, false)

// "ImitationPwrOff.ini": the last sources reset to 65535, no source.
#define SYSDATA_IMITATION_PWR_OFF_KEYS(KEY)       \
  KEY(ImitationPwrOffLastSource, Int, 0xFFFF)     \
  KEY(ImitationPwrOnOff, Bool, false)             \
  KEY(ImitationPwrOffLastSubSource, Int, 0xFFFF)

// "InitialValueCustomize.ini"
#define SYSDATA_INITIAL_VALUE_CUSTOMIZE_KEYS(KEY)                                   \
  KEY(StartupCautionPath, String, ::sysdata::string_defaults::kStartupCautionPath)

// "MirroringModeSetting.ini"
#define SYSDATA_MIRRORING_MODE_SETTING_KEYS(KEY) \
  KEY(Mode, Int, 0)                 \
  KEY(WifiPermission, Bool, false)

// "PowerOffMode.ini"
#define SYSDATA_POWER_OFF_MODE_KEYS(KEY) \
  KEY(PowerOffMode, Bool, false)

// "UsbMirroringSetting.ini"
#define SYSDATA_USB_MIRRORING_SETTING_KEYS(KEY) \
  KEY(IOSPermission, Bool, false)  \
  KEY(Guidance, Int, 19)

// "DriveRecorder.ini"
#define SYSDATA_DRIVE_RECORDER_KEYS(KEY) \
  KEY(FrontRecorderLastConnect, Int, 0)

// "ProductCameraSetting.ini"
#define SYSDATA_PRODUCT_CAMERA_SETTING_KEYS(KEY) \
  KEY(Allocation_Camera1, Int, 1)  \
  KEY(Allocation_Camera2, Int, 0)  \
  KEY(Allocation_Camera3, Int, 0)  \
  KEY(Allocation_Camera4, Int, 0)  \
  KEY(MessageSetting, Int, 1)

// "ProductCameraSignalSetting.ini"
#define SYSDATA_PRODUCT_CAMERA_SIGNAL_SETTING_KEYS(KEY) \
  KEY(SignalSetting_Camera1, Int, 0)  \
  KEY(SignalSetting_Camera2, Int, 0)  \
  KEY(SignalSetting_Camera3, Int, 0)  \
  KEY(SignalSetting_Camera4, Int, 0)
