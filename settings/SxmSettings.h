// Satellite radio settings classes: one singleton per settings file.
#pragma once

#include "settings/KeyTable.h"
#include "settings/keys/SxmKeys.h"

// "SxmSetting.ini", product text id 7.
class SYSDATA_API SysDataSxmSetting : public TqSingleton<SysDataSxmSetting> {
 public:
  SYSDATA_SXM_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  static const sysdata::KeyDef kKeys[];
  static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmSetting)
};
TQ_SINGLETON_DECLARE(SysDataSxmSetting)

// "SxmAlertMusic.ini", product binary id 1: one record of 6488 bytes of 0.
class SYSDATA_API SysDataSxmAlertMusic : public TqSingleton<SysDataSxmAlertMusic> {
 public:
  static constexpr std::size_t kRecordSize = 6488;
  int getDefaultContentsAlertMusic() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmAlertMusic)
};
TQ_SINGLETON_DECLARE(SysDataSxmAlertMusic)
