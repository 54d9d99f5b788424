// Registry of the product's own settings files: file identifier -> the
// store's file object, created on first request and kept (and owned) until
// the registry is destroyed. An identifier outside the table gives null and
// creates nothing; a failed creation gives null and is tried again on the
// next request.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "core/SysDataExport.h"
#include "core/TqSingleton.h"
#include "platform/SaveFileAccess.h"

class SYSDATA_API SysDataProductFactory : public TqSingleton<SysDataProductFactory> {
 public:
  enum SYSDATA_METATXT_ID : int {
    SYSDATA_METATXT_SXM = 0,
    SYSDATA_METATXT_SXM_ATTRIBUTE = 1,
    SYSDATA_METATXT_SXM_CITY_DB_BASE = 2,
    SYSDATA_METATXT_SXM_CONTENT_ALERTS_SETTING = 3,
    SYSDATA_METATXT_SXM_FAVORITE = 4,
    SYSDATA_METATXT_SXM_LEAGUE_DB_BASE = 5,
    SYSDATA_METATXT_SXM_PARENTAL = 6,
    SYSDATA_METATXT_SXM_SETTING = 7,
    SYSDATA_METATXT_SXM_TEAM_DB_BASE = 8,
    SYSDATA_METATXT_SXM_RESUME = 9,
    SYSDATA_METATXT_SXM_TUNE_MIX = 10,
    SYSDATA_METATXT_SXM_BACKUP_SETTING = 11,
    SYSDATA_METATXT_THIRD_PARTY_TV = 12,
    SYSDATA_METATXT_AIR_GESTURE_SETTING = 13,
    SYSDATA_METATXT_PARKING_ASSIST_SETTINGS = 14,
    SYSDATA_METATXT_MIRACAST_SETTING = 15,
    SYSDATA_METATXT_GARMIN_EXT_NAVI_SETTING = 16,
    SYSDATA_METATXT_THIRD_EXT_NAVI_SETTING = 17,
    SYSDATA_METATXT_REMOTE_APP_KEY_CODE_SETTING = 18,
    SYSDATA_METATXT_PHOTO_WIDGET_RESUME_INFO = 19,
    SYSDATA_METATXT_DASH_CAM_SETTING = 20,
    SYSDATA_METATXT_IMITATION_PWR_OFF = 21,
    SYSDATA_METATXT_INITIAL_VALUE_CUSTOMIZE = 22,
    SYSDATA_METATXT_MIRRORING_MODE_SETTING = 23,
    SYSDATA_METATXT_POWER_OFF_MODE = 24,
    SYSDATA_METATXT_USB_MIRRORING_SETTING = 25,
    SYSDATA_METATXT_DRIVE_RECORDER = 26,
    SYSDATA_METATXT_PRODUCT_CAMERA_SETTING = 27,
    SYSDATA_METATXT_PRODUCT_CAMERA_SIGNAL_SETTING = 28,
    SYSDATA_METATXT_MAX = 29,
  };
  enum SYSDATA_BINARY_ID : int {
    SYSDATA_BINARY_SXM_ALERT_CITY = 0,
    SYSDATA_BINARY_SXM_ALERT_MUSIC = 1,
    SYSDATA_BINARY_SXM_ALERT_TEAM = 2,
    SYSDATA_BINARY_SXM_CITY_DB = 3,
    SYSDATA_BINARY_SXM_LEAGUE_DB = 4,
    SYSDATA_BINARY_SXM_SPORTS_FLASH_TEAM = 5,
    SYSDATA_BINARY_SXM_TEAM_DB = 6,
    SYSDATA_BINARY_SXM_SPORTS_FLASH_SETTING_LIST_INFO = 7,
    SYSDATA_BINARY_SXM_FEATURED_FAVORITES = 8,
    SYSDATA_BINARY_AIR_GESTURE_CALIBRATION = 9,
    SYSDATA_BINARY_MAX = 10,
  };

  SaveFileAccessMetaText* getMetaText(SYSDATA_METATXT_ID id);
  SaveFileAccess* getBinary(SYSDATA_BINARY_ID id);

  // The file name of an identifier, or null outside the table.
  SYSDATA_INTERNAL static const char* metaTextName(SYSDATA_METATXT_ID id);
  SYSDATA_INTERNAL static const char* binaryName(SYSDATA_BINARY_ID id);
  // Whether a binary file is made with CreateFlush instead of Create.
  SYSDATA_INTERNAL static bool usesFlushCreation(SYSDATA_BINARY_ID id);

  ~SysDataProductFactory() override;

 private:
  friend class TqSingleton<SysDataProductFactory>;
  SysDataProductFactory();

  // A filled slot is read without locking; createLock_ makes the first
  // creation of a slot happen once even when two callers that do not hold the
  // owning class's lock (the export) ask for it at the same moment.
  std::atomic<SaveFileAccessMetaText*> metaText_[SYSDATA_METATXT_MAX];
  std::atomic<SaveFileAccess*> binary_[SYSDATA_BINARY_MAX];
  std::mutex createLock_;
};

TQ_SINGLETON_DECLARE(SysDataProductFactory)
