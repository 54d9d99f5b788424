#include "settings/FeatureSettings.h"

#include <utility>

TQ_SINGLETON_DEFINE(SysDataThirdPartyTv)
TQ_SINGLETON_DEFINE(SysDataAirGestureSetting)
TQ_SINGLETON_DEFINE(SysDataParkingAssistSettings)
TQ_SINGLETON_DEFINE(SysDataMiracastSetting)
TQ_SINGLETON_DEFINE(SysDataGarminExtNaviSetting)
TQ_SINGLETON_DEFINE(SysDataThirdExtNaviSetting)
TQ_SINGLETON_DEFINE(SysDataRemoteAppKeyCodeSetting)
TQ_SINGLETON_DEFINE(SysDataPhotoWidgetResumeInfo)
TQ_SINGLETON_DEFINE(SysDataDashCamSetting)
TQ_SINGLETON_DEFINE(SysDataImitationPwrOff)
TQ_SINGLETON_DEFINE(SysDataInitialValueCustomize)
TQ_SINGLETON_DEFINE(SysDataMirroringModeSetting)
TQ_SINGLETON_DEFINE(SysDataPowerOffMode)
TQ_SINGLETON_DEFINE(SysDataUsbMirroringSetting)
TQ_SINGLETON_DEFINE(SysDataDriveRecorder)
TQ_SINGLETON_DEFINE(SysDataProductCameraSetting)
TQ_SINGLETON_DEFINE(SysDataProductCameraSignalSetting)
TQ_SINGLETON_DEFINE(SysDataAirGestureCalibration)

// ---- string defaults by variant ----
namespace sysdata {
namespace string_defaults {
namespace {

using M = SystemDef::SYS_INFO_MODEL;
using D = SystemDef::SYS_INFO_DESTINATION;

// The supported pairs in the order their string defaults are looked up.
#define SYSDATA_SUPPORTED_PAIRS(VALUE)                                                          \
  {M(0), D(3), VALUE}, {M(1), D(3), VALUE}, {M(2), D(3), VALUE}, {M(3), D(3), VALUE},          \
      {M(4), D(3), VALUE}, {M(5), D(3), VALUE}, {M(6), D(3), VALUE}, {M(7), D(3), VALUE},      \
      {M(6), D(1), VALUE}, {M(8), D(1), VALUE}, {M(9), D(5), VALUE}, {M(10), D(5), VALUE},     \
      {M(6), D(5), VALUE}, {M(11), D(8), VALUE}, {M(11), D(13), VALUE}, {M(12), D(8), VALUE},  \
      {M(12), D(13), VALUE}, {M(13), D(8), VALUE}, {M(14), D(8), VALUE}, {M(15), D(3), VALUE}, \
      {M(16), D(3), VALUE}, {M(16), D(8), VALUE}

constexpr const char* kCarMultimedia = "Car Multimedia";
constexpr const char* kEmpty = "";

const VariantString kDeviceNameRows[] = {SYSDATA_SUPPORTED_PAIRS(kCarMultimedia)};
const VariantString kContentsPathRows[] = {SYSDATA_SUPPORTED_PAIRS(kEmpty)};
const VariantString kDeviceKeyRows[] = {SYSDATA_SUPPORTED_PAIRS(kEmpty)};
const VariantString kStartupCautionPathRows[] = {SYSDATA_SUPPORTED_PAIRS(kEmpty)};

#undef SYSDATA_SUPPORTED_PAIRS

template <std::size_t N>
constexpr std::size_t countOf(const VariantString (&)[N]) {
  return N;
}

}  // namespace

const VariantStringTable kDeviceName = {kDeviceNameRows, countOf(kDeviceNameRows), kCarMultimedia};
const VariantStringTable kContentsPath = {kContentsPathRows, countOf(kContentsPathRows), kEmpty};
const VariantStringTable kDeviceKey = {kDeviceKeyRows, countOf(kDeviceKeyRows), kEmpty};
const VariantStringTable kStartupCautionPath = {kStartupCautionPathRows, countOf(kStartupCautionPathRows),
                                                kEmpty};

}  // namespace string_defaults
}  // namespace sysdata

// ---- SysDataThirdPartyTv ----
#define SYSDATA_CLASS SysDataThirdPartyTv
SysDataThirdPartyTv::SysDataThirdPartyTv() = default;
SysDataThirdPartyTv::~SysDataThirdPartyTv() = default;
SYSDATA_THIRD_PARTY_TV_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataThirdPartyTv::kKeys[] = {SYSDATA_THIRD_PARTY_TV_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataThirdPartyTv::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataThirdPartyTv::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_THIRD_PARTY_TV, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataAirGestureSetting ----
#define SYSDATA_CLASS SysDataAirGestureSetting
SysDataAirGestureSetting::SysDataAirGestureSetting() = default;
SysDataAirGestureSetting::~SysDataAirGestureSetting() = default;
SYSDATA_AIR_GESTURE_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataAirGestureSetting::kKeys[] = {SYSDATA_AIR_GESTURE_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataAirGestureSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataAirGestureSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_AIR_GESTURE_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataParkingAssistSettings ----
#define SYSDATA_CLASS SysDataParkingAssistSettings
SysDataParkingAssistSettings::SysDataParkingAssistSettings() = default;
SysDataParkingAssistSettings::~SysDataParkingAssistSettings() = default;
SYSDATA_PARKING_ASSIST_SETTINGS_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataParkingAssistSettings::kKeys[] = {SYSDATA_PARKING_ASSIST_SETTINGS_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataParkingAssistSettings::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataParkingAssistSettings::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_PARKING_ASSIST_SETTINGS, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataMiracastSetting ----
#define SYSDATA_CLASS SysDataMiracastSetting
SysDataMiracastSetting::SysDataMiracastSetting() = default;
SysDataMiracastSetting::~SysDataMiracastSetting() = default;
SYSDATA_MIRACAST_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataMiracastSetting::kKeys[] = {SYSDATA_MIRACAST_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataMiracastSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataMiracastSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_MIRACAST_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataGarminExtNaviSetting ----
#define SYSDATA_CLASS SysDataGarminExtNaviSetting
SysDataGarminExtNaviSetting::SysDataGarminExtNaviSetting() = default;
SysDataGarminExtNaviSetting::~SysDataGarminExtNaviSetting() = default;
SYSDATA_GARMIN_EXT_NAVI_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataGarminExtNaviSetting::kKeys[] = {SYSDATA_GARMIN_EXT_NAVI_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataGarminExtNaviSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataGarminExtNaviSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_GARMIN_EXT_NAVI_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataThirdExtNaviSetting ----
#define SYSDATA_CLASS SysDataThirdExtNaviSetting
SysDataThirdExtNaviSetting::SysDataThirdExtNaviSetting() = default;
SysDataThirdExtNaviSetting::~SysDataThirdExtNaviSetting() = default;
SYSDATA_THIRD_EXT_NAVI_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataThirdExtNaviSetting::kKeys[] = {SYSDATA_THIRD_EXT_NAVI_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataThirdExtNaviSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataThirdExtNaviSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_THIRD_EXT_NAVI_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataRemoteAppKeyCodeSetting ----
#define SYSDATA_CLASS SysDataRemoteAppKeyCodeSetting
SysDataRemoteAppKeyCodeSetting::SysDataRemoteAppKeyCodeSetting() = default;
SysDataRemoteAppKeyCodeSetting::~SysDataRemoteAppKeyCodeSetting() = default;
SYSDATA_REMOTE_APP_KEY_CODE_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataRemoteAppKeyCodeSetting::kKeys[] = {SYSDATA_REMOTE_APP_KEY_CODE_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataRemoteAppKeyCodeSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataRemoteAppKeyCodeSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_REMOTE_APP_KEY_CODE_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataPhotoWidgetResumeInfo ----
#define SYSDATA_CLASS SysDataPhotoWidgetResumeInfo
SysDataPhotoWidgetResumeInfo::SysDataPhotoWidgetResumeInfo() = default;
SysDataPhotoWidgetResumeInfo::~SysDataPhotoWidgetResumeInfo() = default;
SYSDATA_PHOTO_WIDGET_RESUME_INFO_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataPhotoWidgetResumeInfo::kKeys[] = {SYSDATA_PHOTO_WIDGET_RESUME_INFO_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataPhotoWidgetResumeInfo::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataPhotoWidgetResumeInfo::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_PHOTO_WIDGET_RESUME_INFO, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataDashCamSetting ----
#define SYSDATA_CLASS SysDataDashCamSetting
SysDataDashCamSetting::SysDataDashCamSetting() = default;
SysDataDashCamSetting::~SysDataDashCamSetting() = default;
SYSDATA_DASH_CAM_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataDashCamSetting::kKeys[] = {SYSDATA_DASH_CAM_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataDashCamSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataDashCamSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_DASH_CAM_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataImitationPwrOff ----
#define SYSDATA_CLASS SysDataImitationPwrOff
SysDataImitationPwrOff::SysDataImitationPwrOff() = default;
SysDataImitationPwrOff::~SysDataImitationPwrOff() = default;
SYSDATA_IMITATION_PWR_OFF_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataImitationPwrOff::kKeys[] = {SYSDATA_IMITATION_PWR_OFF_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataImitationPwrOff::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataImitationPwrOff::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_IMITATION_PWR_OFF, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataInitialValueCustomize ----
#define SYSDATA_CLASS SysDataInitialValueCustomize
SysDataInitialValueCustomize::SysDataInitialValueCustomize() = default;
SysDataInitialValueCustomize::~SysDataInitialValueCustomize() = default;
SYSDATA_INITIAL_VALUE_CUSTOMIZE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataInitialValueCustomize::kKeys[] = {SYSDATA_INITIAL_VALUE_CUSTOMIZE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataInitialValueCustomize::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataInitialValueCustomize::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_INITIAL_VALUE_CUSTOMIZE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataMirroringModeSetting ----
#define SYSDATA_CLASS SysDataMirroringModeSetting
SysDataMirroringModeSetting::SysDataMirroringModeSetting() = default;
SysDataMirroringModeSetting::~SysDataMirroringModeSetting() = default;
SYSDATA_MIRRORING_MODE_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataMirroringModeSetting::kKeys[] = {SYSDATA_MIRRORING_MODE_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataMirroringModeSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataMirroringModeSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_MIRRORING_MODE_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataPowerOffMode ----
#define SYSDATA_CLASS SysDataPowerOffMode
SysDataPowerOffMode::SysDataPowerOffMode() = default;
SysDataPowerOffMode::~SysDataPowerOffMode() = default;
SYSDATA_POWER_OFF_MODE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataPowerOffMode::kKeys[] = {SYSDATA_POWER_OFF_MODE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataPowerOffMode::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataPowerOffMode::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_POWER_OFF_MODE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataUsbMirroringSetting ----
#define SYSDATA_CLASS SysDataUsbMirroringSetting
SysDataUsbMirroringSetting::SysDataUsbMirroringSetting() = default;
SysDataUsbMirroringSetting::~SysDataUsbMirroringSetting() = default;
SYSDATA_USB_MIRRORING_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataUsbMirroringSetting::kKeys[] = {SYSDATA_USB_MIRRORING_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataUsbMirroringSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataUsbMirroringSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_USB_MIRRORING_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataDriveRecorder ----
#define SYSDATA_CLASS SysDataDriveRecorder
SysDataDriveRecorder::SysDataDriveRecorder() = default;
SysDataDriveRecorder::~SysDataDriveRecorder() = default;
SYSDATA_DRIVE_RECORDER_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataDriveRecorder::kKeys[] = {SYSDATA_DRIVE_RECORDER_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataDriveRecorder::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataDriveRecorder::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_DRIVE_RECORDER, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataProductCameraSetting ----
#define SYSDATA_CLASS SysDataProductCameraSetting
SysDataProductCameraSetting::SysDataProductCameraSetting() = default;
SysDataProductCameraSetting::~SysDataProductCameraSetting() = default;
SYSDATA_PRODUCT_CAMERA_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataProductCameraSetting::kKeys[] = {SYSDATA_PRODUCT_CAMERA_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataProductCameraSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataProductCameraSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_PRODUCT_CAMERA_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataProductCameraSignalSetting ----
#define SYSDATA_CLASS SysDataProductCameraSignalSetting
SysDataProductCameraSignalSetting::SysDataProductCameraSignalSetting() = default;
SysDataProductCameraSignalSetting::~SysDataProductCameraSignalSetting() = default;
SYSDATA_PRODUCT_CAMERA_SIGNAL_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataProductCameraSignalSetting::kKeys[] = {SYSDATA_PRODUCT_CAMERA_SIGNAL_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataProductCameraSignalSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataProductCameraSignalSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_PRODUCT_CAMERA_SIGNAL_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataAirGestureCalibration ----
SysDataAirGestureCalibration::SysDataAirGestureCalibration() = default;
SysDataAirGestureCalibration::~SysDataAirGestureCalibration() = default;
int SysDataAirGestureCalibration::getDefaultAirGestureCalibration() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0xFF;
}
void SysDataAirGestureCalibration::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_AIR_GESTURE_CALIBRATION, kRecordSize,
                           [] { return TqSingleton<SysDataAirGestureCalibration>::GetInstance()->getDefaultAirGestureCalibration(); });
}

// ---- setters ----
namespace {
SaveFileAccessMetaText* productCameraSettingFile() {
  return TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(
      SysDataProductFactory::SYSDATA_METATXT_PRODUCT_CAMERA_SETTING);
}
SaveFileAccessMetaText* initialValueCustomizeFile() {
  return TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(
      SysDataProductFactory::SYSDATA_METATXT_INITIAL_VALUE_CUSTOMIZE);
}
}  // namespace

void SysDataProductCameraSetting::setMessageSetting(int value) {
  sysdata::writeOneKey(lock_, &productCameraSettingFile, "MessageSetting", sysdata::KeyValue::of(value));
}

void SysDataInitialValueCustomize::setStartupCautionPath(std::string path) {
  sysdata::writeOneKey(lock_, &initialValueCustomizeFile, "StartupCautionPath",
                       sysdata::KeyValue::of(std::move(path)));
}
