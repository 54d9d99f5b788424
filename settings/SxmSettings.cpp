#include "settings/SxmSettings.h"

TQ_SINGLETON_DEFINE(SysDataSxm)
TQ_SINGLETON_DEFINE(SysDataSxmAttribute)
TQ_SINGLETON_DEFINE(SysDataSxmCityDbBase)
TQ_SINGLETON_DEFINE(SysDataSxmContentAlertsSetting)
TQ_SINGLETON_DEFINE(SysDataSxmFavorite)
TQ_SINGLETON_DEFINE(SysDataSxmLeagueDbBase)
TQ_SINGLETON_DEFINE(SysDataSxmParental)
TQ_SINGLETON_DEFINE(SysDataSxmSetting)
TQ_SINGLETON_DEFINE(SysDataSxmTeamDbBase)
TQ_SINGLETON_DEFINE(SysDataSxmResume)
TQ_SINGLETON_DEFINE(SysDataSxmTuneMix)
TQ_SINGLETON_DEFINE(SysDataSxmBackupSetting)
TQ_SINGLETON_DEFINE(SysDataSxmAlertCity)
TQ_SINGLETON_DEFINE(SysDataSxmAlertMusic)
TQ_SINGLETON_DEFINE(SysDataSxmAlertTeam)
TQ_SINGLETON_DEFINE(SysDataSxmCityDb)
TQ_SINGLETON_DEFINE(SysDataSxmLeagueDb)
TQ_SINGLETON_DEFINE(SysDataSxmSportsFlashTeam)
TQ_SINGLETON_DEFINE(SysDataSxmTeamDb)
TQ_SINGLETON_DEFINE(SysDataSxmSportsFlashSettingListInfo)
TQ_SINGLETON_DEFINE(SysDataSxmFeaturedFavorites)

// ---- SysDataSxm ----
#define SYSDATA_CLASS SysDataSxm
SysDataSxm::SysDataSxm() = default;
SysDataSxm::~SysDataSxm() = default;
SYSDATA_SXM_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxm::kKeys[] = {SYSDATA_SXM_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxm::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxm::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmAttribute ----
#define SYSDATA_CLASS SysDataSxmAttribute
SysDataSxmAttribute::SysDataSxmAttribute() = default;
SysDataSxmAttribute::~SysDataSxmAttribute() = default;
SYSDATA_SXM_ATTRIBUTE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmAttribute::kKeys[] = {SYSDATA_SXM_ATTRIBUTE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmAttribute::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmAttribute::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_ATTRIBUTE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmCityDbBase ----
#define SYSDATA_CLASS SysDataSxmCityDbBase
SysDataSxmCityDbBase::SysDataSxmCityDbBase() = default;
SysDataSxmCityDbBase::~SysDataSxmCityDbBase() = default;
SYSDATA_SXM_CITY_DB_BASE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmCityDbBase::kKeys[] = {SYSDATA_SXM_CITY_DB_BASE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmCityDbBase::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmCityDbBase::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_CITY_DB_BASE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmContentAlertsSetting ----
#define SYSDATA_CLASS SysDataSxmContentAlertsSetting
SysDataSxmContentAlertsSetting::SysDataSxmContentAlertsSetting() = default;
SysDataSxmContentAlertsSetting::~SysDataSxmContentAlertsSetting() = default;
SYSDATA_SXM_CONTENT_ALERTS_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmContentAlertsSetting::kKeys[] = {SYSDATA_SXM_CONTENT_ALERTS_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmContentAlertsSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmContentAlertsSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_CONTENT_ALERTS_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmFavorite ----
#define SYSDATA_CLASS SysDataSxmFavorite
SysDataSxmFavorite::SysDataSxmFavorite() = default;
SysDataSxmFavorite::~SysDataSxmFavorite() = default;
SYSDATA_SXM_FAVORITE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmFavorite::kKeys[] = {SYSDATA_SXM_FAVORITE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmFavorite::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmFavorite::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_FAVORITE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmLeagueDbBase ----
#define SYSDATA_CLASS SysDataSxmLeagueDbBase
SysDataSxmLeagueDbBase::SysDataSxmLeagueDbBase() = default;
SysDataSxmLeagueDbBase::~SysDataSxmLeagueDbBase() = default;
SYSDATA_SXM_LEAGUE_DB_BASE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmLeagueDbBase::kKeys[] = {SYSDATA_SXM_LEAGUE_DB_BASE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmLeagueDbBase::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmLeagueDbBase::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_LEAGUE_DB_BASE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmParental ----
#define SYSDATA_CLASS SysDataSxmParental
SysDataSxmParental::SysDataSxmParental() = default;
SysDataSxmParental::~SysDataSxmParental() = default;
SYSDATA_SXM_PARENTAL_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmParental::kKeys[] = {SYSDATA_SXM_PARENTAL_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmParental::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmParental::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_PARENTAL, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

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

// ---- SysDataSxmTeamDbBase ----
#define SYSDATA_CLASS SysDataSxmTeamDbBase
SysDataSxmTeamDbBase::SysDataSxmTeamDbBase() = default;
SysDataSxmTeamDbBase::~SysDataSxmTeamDbBase() = default;
SYSDATA_SXM_TEAM_DB_BASE_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmTeamDbBase::kKeys[] = {SYSDATA_SXM_TEAM_DB_BASE_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmTeamDbBase::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmTeamDbBase::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_TEAM_DB_BASE, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmResume ----
#define SYSDATA_CLASS SysDataSxmResume
SysDataSxmResume::SysDataSxmResume() = default;
SysDataSxmResume::~SysDataSxmResume() = default;
SYSDATA_SXM_RESUME_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmResume::kKeys[] = {SYSDATA_SXM_RESUME_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmResume::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmResume::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_RESUME, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmTuneMix ----
#define SYSDATA_CLASS SysDataSxmTuneMix
SysDataSxmTuneMix::SysDataSxmTuneMix() = default;
SysDataSxmTuneMix::~SysDataSxmTuneMix() = default;
SYSDATA_SXM_TUNE_MIX_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmTuneMix::kKeys[] = {SYSDATA_SXM_TUNE_MIX_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmTuneMix::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmTuneMix::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_TUNE_MIX, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmBackupSetting ----
#define SYSDATA_CLASS SysDataSxmBackupSetting
SysDataSxmBackupSetting::SysDataSxmBackupSetting() = default;
SysDataSxmBackupSetting::~SysDataSxmBackupSetting() = default;
SYSDATA_SXM_BACKUP_SETTING_KEYS(SYSDATA_DEFINE_DEFAULT)
const sysdata::KeyDef SysDataSxmBackupSetting::kKeys[] = {SYSDATA_SXM_BACKUP_SETTING_KEYS(SYSDATA_KEYDEF)};
const std::size_t SysDataSxmBackupSetting::kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);
void SysDataSxmBackupSetting::initializeAllData() {
  sysdata::resetKeyValueFile(lock_, SysDataProductFactory::SYSDATA_METATXT_SXM_BACKUP_SETTING, kKeys, kKeyCount);
}
#undef SYSDATA_CLASS

// ---- SysDataSxmAlertCity ----
SysDataSxmAlertCity::SysDataSxmAlertCity() = default;
SysDataSxmAlertCity::~SysDataSxmAlertCity() = default;
int SysDataSxmAlertCity::getDefaultContentsAlertCity() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmAlertCity::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_CITY, kRecordSize,
                           [] { return TqSingleton<SysDataSxmAlertCity>::GetInstance()->getDefaultContentsAlertCity(); });
}

// ---- SysDataSxmAlertMusic ----
SysDataSxmAlertMusic::SysDataSxmAlertMusic() = default;
SysDataSxmAlertMusic::~SysDataSxmAlertMusic() = default;
int SysDataSxmAlertMusic::getDefaultContentsAlertMusic() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmAlertMusic::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_MUSIC, kRecordSize,
                           [] { return TqSingleton<SysDataSxmAlertMusic>::GetInstance()->getDefaultContentsAlertMusic(); });
}

// ---- SysDataSxmAlertTeam ----
SysDataSxmAlertTeam::SysDataSxmAlertTeam() = default;
SysDataSxmAlertTeam::~SysDataSxmAlertTeam() = default;
int SysDataSxmAlertTeam::getDefaultContentsAlertTeam() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmAlertTeam::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_ALERT_TEAM, kRecordSize,
                           [] { return TqSingleton<SysDataSxmAlertTeam>::GetInstance()->getDefaultContentsAlertTeam(); });
}

// ---- SysDataSxmCityDb ----
SysDataSxmCityDb::SysDataSxmCityDb() = default;
SysDataSxmCityDb::~SysDataSxmCityDb() = default;
int SysDataSxmCityDb::getDefaultCityDb() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmCityDb::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_CITY_DB, kRecordSize,
                           [] { return TqSingleton<SysDataSxmCityDb>::GetInstance()->getDefaultCityDb(); });
}

// ---- SysDataSxmLeagueDb ----
SysDataSxmLeagueDb::SysDataSxmLeagueDb() = default;
SysDataSxmLeagueDb::~SysDataSxmLeagueDb() = default;
int SysDataSxmLeagueDb::getDefaultLeagueDb() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmLeagueDb::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_LEAGUE_DB, kRecordSize,
                           [] { return TqSingleton<SysDataSxmLeagueDb>::GetInstance()->getDefaultLeagueDb(); });
}

// ---- SysDataSxmSportsFlashTeam ----
SysDataSxmSportsFlashTeam::SysDataSxmSportsFlashTeam() = default;
SysDataSxmSportsFlashTeam::~SysDataSxmSportsFlashTeam() = default;
int SysDataSxmSportsFlashTeam::getDefaultSportsFlashTeam() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmSportsFlashTeam::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_SPORTS_FLASH_TEAM, kRecordSize,
                           [] { return TqSingleton<SysDataSxmSportsFlashTeam>::GetInstance()->getDefaultSportsFlashTeam(); });
}

// ---- SysDataSxmTeamDb ----
SysDataSxmTeamDb::SysDataSxmTeamDb() = default;
SysDataSxmTeamDb::~SysDataSxmTeamDb() = default;
int SysDataSxmTeamDb::getDefaultTeamDb() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmTeamDb::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_TEAM_DB, kRecordSize,
                           [] { return TqSingleton<SysDataSxmTeamDb>::GetInstance()->getDefaultTeamDb(); });
}

// ---- SysDataSxmSportsFlashSettingListInfo ----
SysDataSxmSportsFlashSettingListInfo::SysDataSxmSportsFlashSettingListInfo() = default;
SysDataSxmSportsFlashSettingListInfo::~SysDataSxmSportsFlashSettingListInfo() = default;
int SysDataSxmSportsFlashSettingListInfo::getDefaultSportsFlashSettingListInfo() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmSportsFlashSettingListInfo::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_SPORTS_FLASH_SETTING_LIST_INFO, kRecordSize,
                           [] { return TqSingleton<SysDataSxmSportsFlashSettingListInfo>::GetInstance()->getDefaultSportsFlashSettingListInfo(); });
}

// ---- SysDataSxmFeaturedFavorites ----
SysDataSxmFeaturedFavorites::SysDataSxmFeaturedFavorites() = default;
SysDataSxmFeaturedFavorites::~SysDataSxmFeaturedFavorites() = default;
int SysDataSxmFeaturedFavorites::getDefaultFeaturedFavorites() const {
  // One value for every variant; the pair is read all the same, as every
  // default is, so that a variant could be given its own.
  (void)sysdata::currentPair();
  return 0;
}
void SysDataSxmFeaturedFavorites::initializeAllData() {
  sysdata::resetBinaryFile(lock_, SysDataProductFactory::SYSDATA_BINARY_SXM_FEATURED_FAVORITES, kRecordSize,
                           [] { return TqSingleton<SysDataSxmFeaturedFavorites>::GetInstance()->getDefaultFeaturedFavorites(); });
}
