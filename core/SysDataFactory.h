// Registry of the common settings files that this library reads and
// writes (and that the host's common classes share): file identifier -> the
// store's file object, created on first request and kept (and owned) until
// the registry is destroyed. An identifier outside the table gives null and
// creates nothing; a failed creation gives null and is tried again on the
// next request. The binary slots are the host's; this library never fills
// them, and the destructor deletes whatever they hold.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "core/SysDataExport.h"
#include "core/TqSingleton.h"
#include "platform/SaveFileAccess.h"

class SYSDATA_API SysDataFactory : public TqSingleton<SysDataFactory> {
 public:
  enum SYSDATA_METATXT_ID : int {
    SYSDATA_METATXT_ANDROID_AUTO = 0,
    SYSDATA_METATXT_AV_IN = 1,
    SYSDATA_METATXT_BT_PHONE_SETTING = 2,
    SYSDATA_METATXT_BT_SETTING = 3,
    SYSDATA_METATXT_CAMERA = 4,
    SYSDATA_METATXT_CAR_MAKER = 5,
    SYSDATA_METATXT_CAR_PLAY_INFO = 6,
    SYSDATA_METATXT_CAR_PLAY_SETTING = 7,
    SYSDATA_METATXT_DISC_FACTORY = 8,
    SYSDATA_METATXT_DISC_FIRMWARE_UPDATE = 9,
    SYSDATA_METATXT_DISC_REC_RESUME = 10,
    SYSDATA_METATXT_DISC_REC_SETTING = 11,
    SYSDATA_METATXT_DISC_DVD_SETUP = 12,
    SYSDATA_METATXT_DISC_RESUME_INFO = 13,
    SYSDATA_METATXT_DOP_WALLPAPER_SETTING = 14,
    SYSDATA_METATXT_DTV_ERROR = 15,
    SYSDATA_METATXT_DTV_FUNCTION_ENABLE = 16,
    SYSDATA_METATXT_DTV_SETTING = 17,
    SYSDATA_METATXT_FILE_DISC_RESUME_INFO = 18,
    SYSDATA_METATXT_FUNCTION_CONTROLLER = 19,
    SYSDATA_METATXT_GPS_ERROR = 20,
    SYSDATA_METATXT_IN_MEM_RESUME = 21,
    SYSDATA_METATXT_IPOD_SETTINGS = 22,
    SYSDATA_METATXT_MECHA_HISTORY = 23,
    SYSDATA_METATXT_MOBILE_SETTINGS = 24,
    SYSDATA_METATXT_MULTI_AV_DEVICES = 25,
    SYSDATA_METATXT_MULTI_AV_RESUME = 26,
    SYSDATA_METATXT_NAVI_COUNTRY_INFO_SETTING = 27,
    SYSDATA_METATXT_NAVI_LOG = 28,
    SYSDATA_METATXT_NAVI_VOICE_SETTING = 29,
    SYSDATA_METATXT_PANEL_MECHA = 30,
    SYSDATA_METATXT_PANEL_MECHA_ADJUST = 31,
    SYSDATA_METATXT_PANEL_MECHA_ADJUST2 = 32,
    SYSDATA_METATXT_PLAYING_HISTORY = 33,
    SYSDATA_METATXT_P_MODE_TEST_RESULT = 34,
    SYSDATA_METATXT_PRODUCT_ALARM_SETTING = 35,
    SYSDATA_METATXT_REMOCON = 36,
    SYSDATA_METATXT_REMOCON_CUSTMOIZE = 37,
    SYSDATA_METATXT_SAFE_MODE_SETTING = 38,
    SYSDATA_METATXT_SD_RESUME1 = 39,
    SYSDATA_METATXT_SENSOR_SYS_LOG = 40,
    SYSDATA_METATXT_SETTINGS = 41,
    SYSDATA_METATXT_SETTINGS_NO_USER_INIT = 42,
    SYSDATA_METATXT_SETTINGS_SPECIAL = 43,
    SYSDATA_METATXT_SETUP_MEM = 44,
    SYSDATA_METATXT_SOUND = 45,
    SYSDATA_METATXT_MIC = 46,
    SYSDATA_METATXT_SOUND_INIT_TYPE_FACTORY = 47,
    SYSDATA_METATXT_STANDBY = 48,
    SYSDATA_METATXT_SYS_MNG_DATA = 49,
    SYSDATA_METATXT_TMC_SYS_LOG = 50,
    SYSDATA_METATXT_TOUCH_CALIBRATION = 51,
    SYSDATA_METATXT_TUNER_PRESET = 52,
    SYSDATA_METATXT_TUNER_RESUME = 53,
    SYSDATA_METATXT_USB_RESUME1 = 54,
    SYSDATA_METATXT_USB_RESUME2 = 55,
    SYSDATA_METATXT_USB_RESUME3 = 56,
    SYSDATA_METATXT_USB_RESUME4 = 57,
    SYSDATA_METATXT_USB_RESUME5 = 58,
    SYSDATA_METATXT_USB_RESUME6 = 59,
    SYSDATA_METATXT_USB_RESUME7 = 60,
    SYSDATA_METATXT_USB_RESUME8 = 61,
    SYSDATA_METATXT_USB_TETHERING = 62,
    SYSDATA_METATXT_USER_DATA1 = 63,
    SYSDATA_METATXT_USER_DATA2 = 64,
    SYSDATA_METATXT_USER_MANAGER = 65,
    SYSDATA_METATXT_WALLPAPER = 66,
    SYSDATA_METATXT_WIFI_SETTING = 67,
    SYSDATA_METATXT_HEAD_UNIT_IDENTIFIER = 68,
    SYSDATA_METATXT_DAB_RESUME = 69,
    SYSDATA_METATXT_SYSTEM_HISTORY = 70,
    SYSDATA_METATXT_KEY_ILLUMI_ADJUST = 71,
    SYSDATA_METATXT_HDMI_OUT = 72,
    SYSDATA_METATXT_DAB_SETTING = 73,
    SYSDATA_METATXT_HD_RADIO_RESUME = 74,
    SYSDATA_METATXT_TUNER_ABROAD_RESUME = 75,
    SYSDATA_METATXT_TUNER_PRESET_FM = 76,
    SYSDATA_METATXT_TUNER_PRESET_AM = 77,
    SYSDATA_METATXT_TUNER_SETTING = 78,
    SYSDATA_METATXT_TUNER_BASIC = 79,
    SYSDATA_METATXT_TUNER_AREA = 80,
    SYSDATA_METATXT_MAX = 81,
  };
  static constexpr std::size_t kBinarySlots = 121;

  SaveFileAccessMetaText* getMetaText(SYSDATA_METATXT_ID id);

  // The file name of an identifier, or null outside the table; whether the
  // file is made with CreateMetaTextFlush.
  static const char* metaTextName(SYSDATA_METATXT_ID id);
  static bool usesFlushCreation(SYSDATA_METATXT_ID id);

  ~SysDataFactory() override;

 private:
  friend class TqSingleton<SysDataFactory>;
  SysDataFactory();

  // A filled slot is read without locking; createLock_ makes the first
  // creation of a slot happen once even when two callers that do not hold the
  // owning class's lock ask for it at the same moment.
  std::atomic<SaveFileAccessMetaText*> metaText_[SYSDATA_METATXT_MAX];
  SaveFileAccess* binary_[kBinarySlots];
  std::mutex createLock_;
};

TQ_SINGLETON_DECLARE(SysDataFactory)
