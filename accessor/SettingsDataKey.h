// Data keys shared with the host: one number per integer of the common
// settings files that the host reads and writes through SettingsDataAccessor.
// The numeric values are the shared contract; the names are ours.
#pragma once

#include "core/SysDataExport.h"

// X(NAME, VALUE) for every data key, in value order. One list feeds the
// enumeration and the name table below, so they cannot drift apart.
#define SETTINGS_DATAKEY_LIST(X)          \
  X(DATAKEY_SYSTEM_LANG_ALL, 0)           \
  X(DATAKEY_VOICE_LANG, 1)                \
  X(DATAKEY_SYSTEM_LANG, 2)               \
  X(DATAKEY_LANG_SELECT_MODE, 3)          \
  X(DATAKEY_SECURITY_INDICATOR, 4)        \
  X(DATAKEY_BEEP_VOL, 5)                  \
  X(DATAKEY_BEEP_ON_OFF, 6)               \
  X(DATAKEY_DIMMER_CONTROL, 7)            \
  X(DATAKEY_DIMMER_LUMI_SENSOR_LV, 8)     \
  X(DATAKEY_KEY_ILLUMI_PRESET, 9)         \
  X(DATAKEY_KEY_ILLUMI_RGB_USER1_DIM, 10) \
  X(DATAKEY_KEY_ILLUMI_RGB_USER2_DIM, 11) \
  X(DATAKEY_KEY_ILLUMI_RGB_USER3_DIM, 12) \
  X(DATAKEY_OPTION_SWITCH, 13)            \
  X(DATAKEY_CLOCK_ON_OFF, 14)             \
  X(DATAKEY_CLOCK_SYNC, 15)               \
  X(DATAKEY_TIME_ZONE, 16)                \
  X(DATAKEY_GUIDE_PHONE_VOL_ON_OFF, 17)   \
  X(DATAKEY_DEMO_ON_OFF, 18)              \
  X(DATAKEY_AUTO_ANTENNA, 19)             \
  X(DATAKEY_ANTENNA_CONTROL_ON_OFF, 20)   \
  X(DATAKEY_DEBUG_INFO_ON_OFF, 21)        \
  X(DATAKEY_SNAPSHOT_ON_OFF, 22)          \
  X(DATAKEY_TEXTCHECK_ON_OFF, 23)         \
  X(DATAKEY_SAFEMODE_ON_OFF, 24)          \
  X(DATAKEY_SETUPMEM_LOCK, 25)            \
  X(DATAKEY_DEMO_SETTING_VISIBLE, 26)     \
  X(DATAKEY_EXP_CONNECT, 27)              \
  X(DATAKEY_USB_TETHERING_ON_OFF, 28)     \
  X(DATAKEY_STEERING_WHEEL_POSITION, 29)  \
  X(DATAKEY_TEXT_OVERFLOW_CHECK_ON_OFF, 30)

namespace settings_datakey {

#define SETTINGS_DATAKEY_ENUMERATOR(name, value) name = value,
enum DataKeyID : int {
  SETTINGS_DATAKEY_LIST(SETTINGS_DATAKEY_ENUMERATOR)
  // One past the last data key; not a key itself.
  DATAKEY_MAX = 31,
};
#undef SETTINGS_DATAKEY_ENUMERATOR

// True for the values 0-30.
bool isValid(DataKeyID id);
// The enumerator's name ("DATAKEY_BEEP_VOL"), or null outside 0-30.
const char* name(DataKeyID id);
// The data key of an enumerator name, compared exactly; the prefix
// "DATAKEY_" may be left out ("BEEP_VOL"). False when no key has that name.
bool fromName(const char* text, DataKeyID* id);

}  // namespace settings_datakey
