#include "settings/SxmSettings.h"

TQ_SINGLETON_DEFINE(SysDataSxmSetting)
TQ_SINGLETON_DEFINE(SysDataSxmAlertMusic)

// ---- SysDataSxmSetting ----
#define SYSDATA_CLASS SysDataSxmSetting
SysDataSxmSetting::SysDataSxmSetting() = default;
SysDataSxmSetting::~SysDataSxmSetting() = default;
SYSDATA_SXM_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmSetting::kKeys[] = {SYSDATA_SXM_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmAlertMusic ----
SysDataSxmAlertMusic::SysDataSxmAlertMusic() = default;
SysDataSxmAlertMusic::~SysDataSxmAlertMusic() = default;
int SysDataSxmAlertMusic::getDefaultContentsAlertMusic() const {
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmAlertMusic::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_MUSIC, kRecordSize,
                           [] { return TqSingleton<SysDataSxmAlertMusic>::GetInstance()->getDefaultContentsAlertMusic(); });
}
