#include "settings/CommonSettings.h"

TQ_SINGLETON_DEFINE(SysDataSettings)
TQ_SINGLETON_DEFINE(SysDataSettingsNoUserInit)
TQ_SINGLETON_DEFINE(SysDataSettingsSpecial)
TQ_SINGLETON_DEFINE(SysDataCamera)
TQ_SINGLETON_DEFINE(SysDataMic)

// ---- SysDataSettings ----
SysDataSettings::SysDataSettings() = default;
SysDataSettings::~SysDataSettings() = default;
namespace {
SaveFileAccessMetaText* settingsFile() {
  return TqSingleton<SysDataFactory>::GetInstance()->getMetaText(SysDataFactory::SYSDATA_METATXT_SETTINGS);
}
}  // namespace
void SysDataSettings::setDemoOnOff(int value) {
  sysdata::writeOneKey(lock_, &settingsFile, "DemoOnOff", sysdata::KeyValue::of(value));
}

// ---- SysDataSettingsNoUserInit ----
SysDataSettingsNoUserInit::SysDataSettingsNoUserInit() = default;
SysDataSettingsNoUserInit::~SysDataSettingsNoUserInit() = default;
namespace {
SaveFileAccessMetaText* settingsNoUserInitFile() {
  return TqSingleton<SysDataFactory>::GetInstance()->getMetaText(SysDataFactory::SYSDATA_METATXT_SETTINGS_NO_USER_INIT);
}
}  // namespace
void SysDataSettingsNoUserInit::setDemoOnOff(int value) {
  sysdata::writeOneKey(lock_, &settingsNoUserInitFile, "DemoOnOff", sysdata::KeyValue::of(value));
}

// ---- SysDataSettingsSpecial ----
SysDataSettingsSpecial::SysDataSettingsSpecial() = default;
SysDataSettingsSpecial::~SysDataSettingsSpecial() = default;

// ---- SysDataCamera ----
SysDataCamera::SysDataCamera() = default;
SysDataCamera::~SysDataCamera() = default;
namespace {
SaveFileAccessMetaText* cameraFile() {
  return TqSingleton<SysDataFactory>::GetInstance()->getMetaText(SysDataFactory::SYSDATA_METATXT_CAMERA);
}
}  // namespace
void SysDataCamera::setCamGuideLineOnOff(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuideLineOnOff", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiCenterY(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiCenterY", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiLowerLeftX(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiLowerLeftX", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiLowerLeftY(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiLowerLeftY", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiLowerRightX(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiLowerRightX", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiLowerRightY(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiLowerRightY", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiUpperLeftX(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiUpperLeftX", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiUpperLeftY(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiUpperLeftY", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiUpperRightX(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiUpperRightX", sysdata::KeyValue::of(value));
}
void SysDataCamera::setCamGuidePosiUpperRightY(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "CamGuidePosiUpperRightY", sysdata::KeyValue::of(value));
}
void SysDataCamera::setRCamIntSetting(int value) {
  sysdata::writeOneKey(lock_, &cameraFile, "RCamIntSetting", sysdata::KeyValue::of(value));
}

// ---- SysDataMic ----
SysDataMic::SysDataMic() = default;
SysDataMic::~SysDataMic() = default;
namespace {
SaveFileAccessMetaText* micFile() {
  return TqSingleton<SysDataFactory>::GetInstance()->getMetaText(SysDataFactory::SYSDATA_METATXT_MIC);
}
}  // namespace
void SysDataMic::setBtPhoneSndTalkVol(int value) {
  sysdata::writeOneKey(lock_, &micFile, "BtPhoneSndTalkVol", sysdata::KeyValue::of(value));
}
void SysDataMic::setEchoCancel(int value) {
  sysdata::writeOneKey(lock_, &micFile, "EchoCancel", sysdata::KeyValue::of(value));
}
void SysDataMic::setNoiseReduction(int value) {
  sysdata::writeOneKey(lock_, &micFile, "NoiseReduction", sysdata::KeyValue::of(value));
}
