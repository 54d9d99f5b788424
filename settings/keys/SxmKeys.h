// Keys of the satellite radio settings files, in reset order:
// KEY(Name, Type, Default). Type is Int, UInt, Bool, UChar or String.
// Name is the key as it is written in the file; each list is the one source
// of the file's keys, types, order and factory values.
#pragma once

// The factory code of the parental lock: one decimal digit.
#define SYSDATA_SXM_FACTORY_LOCK_CODE 0

// "Sxm.ini": the tuner's last position.
#define SYSDATA_SXM_KEYS(KEY)  \
  KEY(Band, Int, 0)            \
  KEY(Band1Preset, Int, 0)     \
  KEY(Band1ServiceID, Int, 1)  \
  KEY(Band2Preset, Int, 0)     \
  KEY(Band2ServiceID, Int, 1)  \
  KEY(Band3Preset, Int, 0)     \
  KEY(Band3ServiceID, Int, 1)  \
  KEY(Band4Preset, Int, 0)     \
  KEY(Band4ServiceID, Int, 1)  \
  KEY(Channel, Int, 1)         \
  KEY(Preset, Int, 0)          \
  KEY(ServiceID, Int, 1)

// "SxmAttribute.ini": locked and skipped services, in the keys' character
// order (1, 10, 11, 12, 2, ... 9), not their numeric order.
#define SYSDATA_SXM_ATTRIBUTE_KEYS(KEY) \
  KEY(LockSIDV1, Int, 0)   \
  KEY(LockSIDV10, Int, 0)  \
  KEY(LockSIDV11, Int, 0)  \
  KEY(LockSIDV12, Int, 0)  \
  KEY(LockSIDV2, Int, 0)   \
  KEY(LockSIDV3, Int, 0)   \
  KEY(LockSIDV4, Int, 0)   \
  KEY(LockSIDV5, Int, 0)   \
  KEY(LockSIDV6, Int, 0)   \
  KEY(LockSIDV7, Int, 0)   \
  KEY(LockSIDV8, Int, 0)   \
  KEY(LockSIDV9, Int, 0)   \
  KEY(SkipSIDV1, Int, 0)   \
  KEY(SkipSIDV10, Int, 0)  \
  KEY(SkipSIDV11, Int, 0)  \
  KEY(SkipSIDV12, Int, 0)  \
  KEY(SkipSIDV2, Int, 0)   \
  KEY(SkipSIDV3, Int, 0)   \
  KEY(SkipSIDV4, Int, 0)   \
  KEY(SkipSIDV5, Int, 0)   \
  KEY(SkipSIDV6, Int, 0)   \
  KEY(SkipSIDV7, Int, 0)   \
  KEY(SkipSIDV8, Int, 0)   \
  KEY(SkipSIDV9, Int, 0)

// "SxmCityDbBase.ini"
#define SYSDATA_SXM_CITY_DB_BASE_KEYS(KEY) \
  KEY(CityDbBaseCount, Int, 0)    \
  KEY(CityDbBaseUpdate, Int, 0)   \
  KEY(CityDbBaseVersion, Int, 0)

// "SxmContentAlertsSetting.ini"
#define SYSDATA_SXM_CONTENT_ALERTS_SETTING_KEYS(KEY) \
  KEY(ArtistOnOff, Bool, true)  \
  KEY(SongOnOff, Bool, true)    \
  KEY(TeamOnOff, Bool, true)

// "SxmFavorite.ini": four bands of six presets, each Channel, ContentType,
// ServiceID.
#define SYSDATA_SXM_FAVORITE_KEYS(KEY)  \
  KEY(Band1Preset1Channel, Int, 2)      \
  KEY(Band1Preset1ContentType, Int, 6)  \
  KEY(Band1Preset1ServiceID, Int, 13)   \
  KEY(Band1Preset2Channel, Int, 26)     \
  KEY(Band1Preset2ContentType, Int, 6)  \
  KEY(Band1Preset2ServiceID, Int, 46)   \
  KEY(Band1Preset3Channel, Int, 56)     \
  KEY(Band1Preset3ContentType, Int, 6)  \
  KEY(Band1Preset3ServiceID, Int, 16)   \
  KEY(Band1Preset4Channel, Int, 115)    \
  KEY(Band1Preset4ContentType, Int, 6)  \
  KEY(Band1Preset4ServiceID, Int, 132)  \
  KEY(Band1Preset5Channel, Int, 80)     \
  KEY(Band1Preset5ContentType, Int, 6)  \
  KEY(Band1Preset5ServiceID, Int, 140)  \
  KEY(Band1Preset6Channel, Int, 7)      \
  KEY(Band1Preset6ContentType, Int, 6)  \
  KEY(Band1Preset6ServiceID, Int, 7)    \
  KEY(Band2Preset1Channel, Int, 16)     \
  KEY(Band2Preset1ContentType, Int, 6)  \
  KEY(Band2Preset1ServiceID, Int, 155)  \
  KEY(Band2Preset2Channel, Int, 32)     \
  KEY(Band2Preset2ContentType, Int, 6)  \
  KEY(Band2Preset2ServiceID, Int, 25)   \
  KEY(Band2Preset3Channel, Int, 116)    \
  KEY(Band2Preset3ContentType, Int, 6)  \
  KEY(Band2Preset3ServiceID, Int, 195)  \
  KEY(Band2Preset4Channel, Int, 98)     \
  KEY(Band2Preset4ContentType, Int, 6)  \
  KEY(Band2Preset4ServiceID, Int, 151)  \
  KEY(Band2Preset5Channel, Int, 8)      \
  KEY(Band2Preset5ContentType, Int, 6)  \
  KEY(Band2Preset5ServiceID, Int, 8)    \
  KEY(Band2Preset6Channel, Int, 4)      \
  KEY(Band2Preset6ContentType, Int, 6)  \
  KEY(Band2Preset6ServiceID, Int, 163)  \
  KEY(Band3Preset1Channel, Int, 33)     \
  KEY(Band3Preset1ContentType, Int, 6)  \
  KEY(Band3Preset1ServiceID, Int, 44)   \
  KEY(Band3Preset2Channel, Int, 18)     \
  KEY(Band3Preset2ContentType, Int, 6)  \
  KEY(Band3Preset2ServiceID, Int, 78)   \
  KEY(Band3Preset3Channel, Int, 58)     \
  KEY(Band3Preset3ContentType, Int, 6)  \
  KEY(Band3Preset3ServiceID, Int, 17)   \
  KEY(Band3Preset4Channel, Int, 6)      \
  KEY(Band3Preset4ContentType, Int, 6)  \
  KEY(Band3Preset4ServiceID, Int, 6)    \
  KEY(Band3Preset5Channel, Int, 70)     \
  KEY(Band3Preset5ContentType, Int, 6)  \
  KEY(Band3Preset5ServiceID, Int, 23)   \
  KEY(Band3Preset6Channel, Int, 34)     \
  KEY(Band3Preset6ContentType, Int, 6)  \
  KEY(Band3Preset6ServiceID, Int, 54)   \
  KEY(Band4Preset1Channel, Int, 28)     \
  KEY(Band4Preset1ContentType, Int, 6)  \
  KEY(Band4Preset1ServiceID, Int, 45)   \
  KEY(Band4Preset2Channel, Int, 36)     \
  KEY(Band4Preset2ContentType, Int, 6)  \
  KEY(Band4Preset2ServiceID, Int, 34)   \
  KEY(Band4Preset3Channel, Int, 67)     \
  KEY(Band4Preset3ContentType, Int, 6)  \
  KEY(Band4Preset3ServiceID, Int, 70)   \
  KEY(Band4Preset4Channel, Int, 71)     \
  KEY(Band4Preset4ContentType, Int, 6)  \
  KEY(Band4Preset4ServiceID, Int, 73)   \
  KEY(Band4Preset5Channel, Int, 76)     \
  KEY(Band4Preset5ContentType, Int, 6)  \
  KEY(Band4Preset5ServiceID, Int, 110)  \
  KEY(Band4Preset6Channel, Int, 124)    \
  KEY(Band4Preset6ContentType, Int, 6)  \
  KEY(Band4Preset6ServiceID, Int, 130)

// "SxmLeagueDbBase.ini"
#define SYSDATA_SXM_LEAGUE_DB_BASE_KEYS(KEY) \
  KEY(LeagueDbBaseCount, Int, 0)    \
  KEY(LeagueDbBaseUpdate, Int, 0)   \
  KEY(LeagueDbBaseVersion, Int, 0)

// "SxmParental.ini"
#define SYSDATA_SXM_PARENTAL_KEYS(KEY)               \
  KEY(LockCode, Int, SYSDATA_SXM_FACTORY_LOCK_CODE)  \
  KEY(LockCodeStatus, Int, 1)                        \
  KEY(ParentalControl, Int, 0)

// "SxmSetting.ini"
#define SYSDATA_SXM_SETTING_KEYS(KEY)          \
  KEY(ContentsAlert, Int, 1)                   \
  KEY(SeekMode, Int, 0)                        \
  KEY(SportsFlash, Int, 1)                     \
  KEY(TuneStart, Int, 1)                       \
  KEY(SportsFlashBeep, Bool, true)             \
  KEY(FeaturedFavoritesUpdateMsg, Bool, true)

// "SxmTeamDbBase.ini"
#define SYSDATA_SXM_TEAM_DB_BASE_KEYS(KEY) \
  KEY(TeamDbBaseCount, Int, 0)    \
  KEY(TeamDbBaseUpdate, Int, 0)   \
  KEY(TeamDbBaseVersion, Int, 0)

// "SxmResume.ini"
#define SYSDATA_SXM_RESUME_KEYS(KEY)  \
  KEY(ChannelListTextType, UInt, 1u)

// "SxmTuneMix.ini"
#define SYSDATA_SXM_TUNE_MIX_KEYS(KEY) \
  KEY(TuneMixStatus, Bool, false)  \
  KEY(TuneMixChannel, Int, 0)

// "SxmBackupSetting.ini"
#define SYSDATA_SXM_BACKUP_SETTING_KEYS(KEY) \
  KEY(TuneStartSetting, Bool, true)
