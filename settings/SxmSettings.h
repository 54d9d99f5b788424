// Satellite radio settings classes: one singleton per settings file. The
// key=value classes take their keys from settings/keys/SxmKeys.h; the binary
// classes hold one record of fixed size that a reset rewrites whole.
#pragma once

#include <cstddef>

#include "settings/KeyTable.h"
#include "settings/keys/SxmKeys.h"

// "Sxm.ini", product text id 0.
class SYSDATA_API SysDataSxm : public TqSingleton<SysDataSxm> {
 public:
  SYSDATA_SXM_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxm)
};
TQ_SINGLETON_DECLARE(SysDataSxm)

// "SxmAttribute.ini", product text id 1.
class SYSDATA_API SysDataSxmAttribute : public TqSingleton<SysDataSxmAttribute> {
 public:
  SYSDATA_SXM_ATTRIBUTE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmAttribute)
};
TQ_SINGLETON_DECLARE(SysDataSxmAttribute)

// "SxmCityDbBase.ini", product text id 2.
class SYSDATA_API SysDataSxmCityDbBase : public TqSingleton<SysDataSxmCityDbBase> {
 public:
  SYSDATA_SXM_CITY_DB_BASE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmCityDbBase)
};
TQ_SINGLETON_DECLARE(SysDataSxmCityDbBase)

// "SxmContentAlertsSetting.ini", product text id 3.
class SYSDATA_API SysDataSxmContentAlertsSetting : public TqSingleton<SysDataSxmContentAlertsSetting> {
 public:
  SYSDATA_SXM_CONTENT_ALERTS_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmContentAlertsSetting)
};
TQ_SINGLETON_DECLARE(SysDataSxmContentAlertsSetting)

// "SxmFavorite.ini", product text id 4.
class SYSDATA_API SysDataSxmFavorite : public TqSingleton<SysDataSxmFavorite> {
 public:
  SYSDATA_SXM_FAVORITE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmFavorite)
};
TQ_SINGLETON_DECLARE(SysDataSxmFavorite)

// "SxmLeagueDbBase.ini", product text id 5.
class SYSDATA_API SysDataSxmLeagueDbBase : public TqSingleton<SysDataSxmLeagueDbBase> {
 public:
  SYSDATA_SXM_LEAGUE_DB_BASE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmLeagueDbBase)
};
TQ_SINGLETON_DECLARE(SysDataSxmLeagueDbBase)

// "SxmParental.ini", product text id 6.
class SYSDATA_API SysDataSxmParental : public TqSingleton<SysDataSxmParental> {
 public:
  SYSDATA_SXM_PARENTAL_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmParental)
};
TQ_SINGLETON_DECLARE(SysDataSxmParental)

// "SxmSetting.ini", product text id 7.
class SYSDATA_API SysDataSxmSetting : public TqSingleton<SysDataSxmSetting> {
 public:
  SYSDATA_SXM_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmSetting)
};
TQ_SINGLETON_DECLARE(SysDataSxmSetting)

// "SxmTeamDbBase.ini", product text id 8.
class SYSDATA_API SysDataSxmTeamDbBase : public TqSingleton<SysDataSxmTeamDbBase> {
 public:
  SYSDATA_SXM_TEAM_DB_BASE_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmTeamDbBase)
};
TQ_SINGLETON_DECLARE(SysDataSxmTeamDbBase)

// "SxmResume.ini", product text id 9.
class SYSDATA_API SysDataSxmResume : public TqSingleton<SysDataSxmResume> {
 public:
  SYSDATA_SXM_RESUME_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmResume)
};
TQ_SINGLETON_DECLARE(SysDataSxmResume)

// "SxmTuneMix.ini", product text id 10.
class SYSDATA_API SysDataSxmTuneMix : public TqSingleton<SysDataSxmTuneMix> {
 public:
  SYSDATA_SXM_TUNE_MIX_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmTuneMix)
};
TQ_SINGLETON_DECLARE(SysDataSxmTuneMix)

// "SxmBackupSetting.ini", product text id 11.
class SYSDATA_API SysDataSxmBackupSetting : public TqSingleton<SysDataSxmBackupSetting> {
 public:
  SYSDATA_SXM_BACKUP_SETTING_KEYS(SYSDATA_DECLARE_DEFAULT)
  void initializeAllData();

  SYSDATA_INTERNAL static const sysdata::KeyDef kKeys[];
  SYSDATA_INTERNAL static const std::size_t kKeyCount;

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmBackupSetting)
};
TQ_SINGLETON_DECLARE(SysDataSxmBackupSetting)

// "SxmAlertCity.ini", product binary id 0: one record of 108 bytes of 0.
class SYSDATA_API SysDataSxmAlertCity : public TqSingleton<SysDataSxmAlertCity> {
 public:
  static constexpr std::size_t kRecordSize = 108;
  int getDefaultContentsAlertCity() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmAlertCity)
};
TQ_SINGLETON_DECLARE(SysDataSxmAlertCity)

// "SxmAlertMusic.ini", product binary id 1: one record of 6488 bytes of 0.
class SYSDATA_API SysDataSxmAlertMusic : public TqSingleton<SysDataSxmAlertMusic> {
 public:
  static constexpr std::size_t kRecordSize = 6488;
  int getDefaultContentsAlertMusic() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmAlertMusic)
};
TQ_SINGLETON_DECLARE(SysDataSxmAlertMusic)

// "SxmAlertTeam.ini", product binary id 2: one record of 6484 bytes of 0.
class SYSDATA_API SysDataSxmAlertTeam : public TqSingleton<SysDataSxmAlertTeam> {
 public:
  static constexpr std::size_t kRecordSize = 6484;
  int getDefaultContentsAlertTeam() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmAlertTeam)
};
TQ_SINGLETON_DECLARE(SysDataSxmAlertTeam)

// "SxmCityDb.ini", product binary id 3: one record of 4352 bytes of 0.
class SYSDATA_API SysDataSxmCityDb : public TqSingleton<SysDataSxmCityDb> {
 public:
  static constexpr std::size_t kRecordSize = 4352;
  int getDefaultCityDb() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmCityDb)
};
TQ_SINGLETON_DECLARE(SysDataSxmCityDb)

// "SxmLeagueDb.ini", product binary id 4: one record of 8704 bytes of 0.
class SYSDATA_API SysDataSxmLeagueDb : public TqSingleton<SysDataSxmLeagueDb> {
 public:
  static constexpr std::size_t kRecordSize = 8704;
  int getDefaultLeagueDb() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmLeagueDb)
};
TQ_SINGLETON_DECLARE(SysDataSxmLeagueDb)

// "SxmSportsFlashTeam.ini", product binary id 5: one record of 6480 bytes of 0.
class SYSDATA_API SysDataSxmSportsFlashTeam : public TqSingleton<SysDataSxmSportsFlashTeam> {
 public:
  static constexpr std::size_t kRecordSize = 6480;
  int getDefaultSportsFlashTeam() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmSportsFlashTeam)
};
TQ_SINGLETON_DECLARE(SysDataSxmSportsFlashTeam)

// "SxmTeamDb.ini", product binary id 6: one record of 20480 bytes of 0.
class SYSDATA_API SysDataSxmTeamDb : public TqSingleton<SysDataSxmTeamDb> {
 public:
  static constexpr std::size_t kRecordSize = 20480;
  int getDefaultTeamDb() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmTeamDb)
};
TQ_SINGLETON_DECLARE(SysDataSxmTeamDb)

// "SxmSportsFlashSettingListInfo.ini", product binary id 7: one record of 1024 bytes of 0.
class SYSDATA_API SysDataSxmSportsFlashSettingListInfo : public TqSingleton<SysDataSxmSportsFlashSettingListInfo> {
 public:
  static constexpr std::size_t kRecordSize = 1024;
  int getDefaultSportsFlashSettingListInfo() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmSportsFlashSettingListInfo)
};
TQ_SINGLETON_DECLARE(SysDataSxmSportsFlashSettingListInfo)

// "SxmFeaturedFavorites.ini", product binary id 8: one record of 4096 bytes of 0.
class SYSDATA_API SysDataSxmFeaturedFavorites : public TqSingleton<SysDataSxmFeaturedFavorites> {
 public:
  static constexpr std::size_t kRecordSize = 4096;
  int getDefaultFeaturedFavorites() const;
  void initializeAllData();

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSxmFeaturedFavorites)
};
TQ_SINGLETON_DECLARE(SysDataSxmFeaturedFavorites)
