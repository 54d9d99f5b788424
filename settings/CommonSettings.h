// Common settings classes: the library's access to five files of the common
// settings set. They have setters only (values written unchanged, no range
// check); their lock_ also serialises the data accessor's reads and writes of
// the same files.
#pragma once

#include "core/SysDataFactory.h"
#include "settings/KeyTable.h"

class SettingsDataAccessor;

// "Settings.ini", common text id 41.
class SYSDATA_API SysDataSettings : public TqSingleton<SysDataSettings> {
 public:
  void setDemoOnOff(int value);

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSettings)
  // The data accessor reads and writes this file under lock_.
  friend class SettingsDataAccessor;
};
TQ_SINGLETON_DECLARE(SysDataSettings)

// "SettingsNoUserInit.ini", common text id 42.
class SYSDATA_API SysDataSettingsNoUserInit : public TqSingleton<SysDataSettingsNoUserInit> {
 public:
  void setDemoOnOff(int value);

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSettingsNoUserInit)
  // The data accessor reads and writes this file under lock_.
  friend class SettingsDataAccessor;
};
TQ_SINGLETON_DECLARE(SysDataSettingsNoUserInit)

// "SettingsSpecial.ini", common text id 43.
class SYSDATA_API SysDataSettingsSpecial : public TqSingleton<SysDataSettingsSpecial> {
 public:

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataSettingsSpecial)
  // The data accessor reads and writes this file under lock_.
  friend class SettingsDataAccessor;
};
TQ_SINGLETON_DECLARE(SysDataSettingsSpecial)

// "Camera.ini", common text id 4.
class SYSDATA_API SysDataCamera : public TqSingleton<SysDataCamera> {
 public:
  void setCamGuideLineOnOff(int value);
  void setCamGuidePosiCenterY(int value);
  void setCamGuidePosiLowerLeftX(int value);
  void setCamGuidePosiLowerLeftY(int value);
  void setCamGuidePosiLowerRightX(int value);
  void setCamGuidePosiLowerRightY(int value);
  void setCamGuidePosiUpperLeftX(int value);
  void setCamGuidePosiUpperLeftY(int value);
  void setCamGuidePosiUpperRightX(int value);
  void setCamGuidePosiUpperRightY(int value);
  void setRCamIntSetting(int value);

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataCamera)
  // The data accessor reads and writes this file under lock_.
  friend class SettingsDataAccessor;
};
TQ_SINGLETON_DECLARE(SysDataCamera)

// "Mic.ini", common text id 46.
class SYSDATA_API SysDataMic : public TqSingleton<SysDataMic> {
 public:
  void setBtPhoneSndTalkVol(int value);
  void setEchoCancel(int value);
  void setNoiseReduction(int value);

  SYSDATA_SETTINGS_CLASS_COMMON(SysDataMic)
  // The data accessor reads and writes this file under lock_.
  friend class SettingsDataAccessor;
};
TQ_SINGLETON_DECLARE(SysDataMic)
