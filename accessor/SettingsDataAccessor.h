// Integer access to the common settings files by data key.
//
// Each data key stands for one key of "Settings.ini", "SettingsNoUserInit.ini"
// or "SettingsSpecial.ini". Every call opens, works on and closes the file
// under the lock of the settings class that owns it, so it never interleaves
// with that class's setters or with another accessor call on the same file.
// A read of a key that the file lacks fills it from the factory default table
// ("SysDataDefault") and writes it back, so the file then holds the value that
// was returned.
//
// Make one on the stack; it holds nothing between calls.
#pragma once

#include <cstdint>

#include "accessor/SettingsDataKey.h"
#include "core/SysDataExport.h"

class TqSync;

class SYSDATA_API SettingsDataAccessor {
 public:
  SettingsDataAccessor();
  virtual ~SettingsDataAccessor();

  // The value of the data key's settings key; 0 for an id outside 0-30.
  // Keys 10-12 are unsigned in their file: the result carries the same 32 bits.
  //
  // When the key is missing and its default cannot be read (the default table
  // is not mapped), 0 is returned and nothing is written, so that a later read
  // can still fill the real default. When the file object cannot be made, the
  // default is returned and nothing is written. For key 18, when the function
  // switches ("FuncInfo") cannot be mapped it is unknown which file holds demo
  // mode: 0 is returned and no file is touched.
  int getDataKeyIValue(settings_datakey::DataKeyID id);

  // Stores value as the data key says, unchecked; an id outside 0-30 does
  // nothing. Key 0 writes "SystemLang", "VoiceLang" and "DisplayLang", each in
  // a cycle of its own. Key 18 goes through the demo setter of the file the
  // function switches select, and does nothing when they cannot be mapped.
  void setDataKeyIValue(settings_datakey::DataKeyID id, int value);

  // Which settings class owns a file; that class's lock guards it.
  enum Owner : unsigned char { OWNER_SETTINGS, OWNER_NO_USER_INIT, OWNER_SPECIAL };

  // Where a data key lives, for host tools and diagnostics; touches nothing.
  struct KeyInfo {
    const char* file;              // "Settings.ini", "SettingsNoUserInit.ini" or "SettingsSpecial.ini"
    const char* key;               // the key get reads
    bool isUnsigned;               // read and written with the unsigned overloads
    std::uint32_t defaultOffset;   // of its default in the "SysDataDefault" record
    const char* setKeys[3];        // what set writes, in order; the unused ones null
  };
  // False for an id outside 0-30. Demo mode (18) lives in "Settings.ini" when
  // demoInSettings (a non-zero demoUserInit), else in "SettingsNoUserInit.ini".
  SYSDATA_INTERNAL static bool describe(settings_datakey::DataKeyID id, bool demoInSettings, KeyInfo* info);

 private:
  SYSDATA_INTERNAL static TqSync& ownerLock(Owner owner);
};
