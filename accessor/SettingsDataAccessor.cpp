#include "accessor/SettingsDataAccessor.h"

#include <cstddef>
#include <cstdint>

#include "core/SysDataFactory.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "platform/SaveFileAccess.h"
#include "platform/TqSync.h"
#include "settings/CommonSettings.h"
#include "settings/KeyTable.h"

using settings_datakey::DataKeyID;
using sysdata::LockHold;
using sysdata::OpenFile;

namespace {

enum class ValueType : std::uint8_t { Int, UInt };

// Where a data key lives: the owning settings class names the file and
// gives its lock.
struct DataKeyRow {
  DataKeyID id;
  SettingsDataAccessor::Owner owner;
  const char* key;  // read by get
  ValueType type;
  std::uint32_t defaultOffset;  // of the key's default in the "SysDataDefault" record
  // What set writes, in order, each in its own cycle; the first null ends it.
  const char* setKeys[3];
};

// Owners, by the file they stand for.
constexpr SettingsDataAccessor::Owner S = SettingsDataAccessor::OWNER_SETTINGS;
constexpr SettingsDataAccessor::Owner N = SettingsDataAccessor::OWNER_NO_USER_INIT;
constexpr SettingsDataAccessor::Owner P = SettingsDataAccessor::OWNER_SPECIAL;
constexpr ValueType I = ValueType::Int;
constexpr ValueType U = ValueType::UInt;

// Key 18 is resolved at call time (see demoTarget) and has no row here.
// clang-format off
const DataKeyRow kRows[] = {
    {DataKeyID(0),  S, "SystemLang",             I, 1840, {"SystemLang", "VoiceLang", "DisplayLang"}},
    {DataKeyID(1),  S, "VoiceLang",              I, 1924, {"VoiceLang"}},
    {DataKeyID(2),  S, "SystemLang",             I, 1840, {"SystemLang"}},
    {DataKeyID(3),  S, "LangSelectMode",         I, 1824, {"LangSelectMode"}},
    {DataKeyID(4),  S, "SecurityIndicator",      I, 1832, {"SecurityIndicator"}},
    {DataKeyID(5),  S, "BeepVol",                I, 1768, {"BeepVol"}},
    {DataKeyID(6),  S, "BeepOnOff",              I, 1764, {"BeepOnOff"}},
    {DataKeyID(7),  S, "DimmerControl",          I, 1788, {"DimmerControl"}},
    {DataKeyID(8),  S, "DimmerLumiSensorLv",     I, 1792, {"DimmerLumiSensorLv"}},
    {DataKeyID(9),  S, "KeyIllumiPreset",        I, 1808, {"KeyIllumiPreset"}},
    {DataKeyID(10), S, "KeyIllumiRGBUser1Dim",   U, 1812, {"KeyIllumiRGBUser1Dim"}},
    {DataKeyID(11), S, "KeyIllumiRGBUser2Dim",   U, 1816, {"KeyIllumiRGBUser2Dim"}},
    {DataKeyID(12), S, "KeyIllumiRGBUser3Dim",   U, 1820, {"KeyIllumiRGBUser3Dim"}},
    {DataKeyID(13), S, "OptionSwitch",           I, 1920, {"OptionSwitch"}},
    {DataKeyID(14), S, "ClockOnOff",             I, 1772, {"ClockOnOff"}},
    {DataKeyID(15), S, "ClockSync",              I, 1776, {"ClockSync"}},
    {DataKeyID(16), S, "TimeZone",               I, 1844, {"TimeZone"}},
    {DataKeyID(17), S, "GuidePhoneVolOnOff",     I, 1804, {"GuidePhoneVolOnOff"}},
    {DataKeyID(19), S, "AutoAntenna",            I, 1760, {"AutoAntenna"}},
    {DataKeyID(20), S, "AntennaControlOnOff",    I, 1756, {"AntennaControlOnOff"}},
    {DataKeyID(21), P, "DebugInfoOnOff",         I, 1948, {"DebugInfoOnOff"}},
    {DataKeyID(22), P, "SnapshotOnOff",          I, 1956, {"SnapshotOnOff"}},
    {DataKeyID(23), P, "TextcheckOnOff",         I, 1960, {"TextcheckOnOff"}},
    {DataKeyID(24), P, "SafemodeOnOff",          I, 1952, {"SafemodeOnOff"}},
    {DataKeyID(25), S, "SetupmemLock",           I, 1836, {"SetupmemLock"}},
    {DataKeyID(26), N, "DemoSettingVisible",     I, 1940, {"DemoSettingVisible"}},
    {DataKeyID(27), S, "ExpConnect",             I, 1800, {"ExpConnect"}},
    {DataKeyID(28), S, "UsbTetheringOnOff",      I, 1848, {"UsbTetheringOnOff"}},
    {DataKeyID(29), S, "SteeringWheelPosition",  I, 1928, {"SteeringWheelPosition"}},
    {DataKeyID(30), P, "TextOverflowCheckOnOff", I, 1964, {"TextOverflowCheckOnOff"}},
};
// clang-format on

// Demo mode: "DemoOnOff" of "Settings.ini" when the function switches say the
// user reset covers it, of "SettingsNoUserInit.ini" otherwise.
constexpr const char* kDemoKey = "DemoOnOff";
constexpr std::uint32_t kDemoDefaultInSettings = 1784;
constexpr std::uint32_t kDemoDefaultInNoUserInit = 1936;

static_assert(sizeof(kRows) / sizeof(kRows[0]) == settings_datakey::DATAKEY_MAX - 1,
              "every data key but demo mode has a row");

const DataKeyRow* findRow(DataKeyID id) {
  for (const DataKeyRow& row : kRows) {
    if (row.id == id) return &row;
  }
  return nullptr;
}

SysDataFactory::SYSDATA_METATXT_ID fileOf(SettingsDataAccessor::Owner owner) {
  switch (owner) {
    case SettingsDataAccessor::OWNER_NO_USER_INIT:
      return SysDataFactory::SYSDATA_METATXT_SETTINGS_NO_USER_INIT;
    case SettingsDataAccessor::OWNER_SPECIAL:
      return SysDataFactory::SYSDATA_METATXT_SETTINGS_SPECIAL;
    case SettingsDataAccessor::OWNER_SETTINGS:
      break;
  }
  return SysDataFactory::SYSDATA_METATXT_SETTINGS;
}

// The 32-bit factory default at offset, through a view made for this one
// read. False when the table cannot be mapped.
bool readDefault(std::uint32_t offset, std::uint32_t* value) {
  SysDataDefault view;
  if (!sysdata::RecordAccess::isMapped(view)) return false;
  *value = sysdata::readU32(view, offset);
  return true;
}

bool getStored(SaveFileAccessMetaText& file, const char* key, ValueType type, std::uint32_t* value) {
  if (type == ValueType::UInt) {
    unsigned int v = 0;
    if (!file.Get(key, &v)) return false;
    *value = v;
    return true;
  }
  int v = 0;
  if (!file.Get(key, &v)) return false;
  *value = static_cast<std::uint32_t>(v);
  return true;
}

void setStored(SaveFileAccessMetaText& file, const char* key, ValueType type, std::uint32_t value) {
  if (type == ValueType::UInt) {
    file.Set(key, static_cast<unsigned int>(value));
  } else {
    file.Set(key, static_cast<int>(value));
  }
}

// Demo mode's owner and default; false when the switches cannot be mapped.
bool demoTarget(SettingsDataAccessor::Owner* owner, std::uint32_t* defaultOffset) {
  FuncInfoSharedMem view;
  if (!sysdata::RecordAccess::isMapped(view)) return false;
  if (sysdata::demoUserInit(view) != 0) {
    *owner = SettingsDataAccessor::OWNER_SETTINGS;
    *defaultOffset = kDemoDefaultInSettings;
  } else {
    *owner = SettingsDataAccessor::OWNER_NO_USER_INIT;
    *defaultOffset = kDemoDefaultInNoUserInit;
  }
  return true;
}

}  // namespace

SettingsDataAccessor::SettingsDataAccessor() = default;
SettingsDataAccessor::~SettingsDataAccessor() = default;

TqSync& SettingsDataAccessor::ownerLock(Owner owner) {
  switch (owner) {
    case OWNER_NO_USER_INIT:
      return TqSingleton<SysDataSettingsNoUserInit>::GetInstance()->lock_;
    case OWNER_SPECIAL:
      return TqSingleton<SysDataSettingsSpecial>::GetInstance()->lock_;
    case OWNER_SETTINGS:
      break;
  }
  return TqSingleton<SysDataSettings>::GetInstance()->lock_;
}

namespace {

// One read cycle: under the owner's lock, open, get; a missing key is filled
// from its default and written back.
std::uint32_t readCycle(TqSync& lock, SettingsDataAccessor::Owner owner, const char* key, ValueType type,
                        std::uint32_t defaultOffset) {
  LockHold hold(lock);
  SaveFileAccessMetaText* file = TqSingleton<SysDataFactory>::GetInstance()->getMetaText(fileOf(owner));
  std::uint32_t value = 0;
  if (file == nullptr) {
    // Nothing to read or fill: answer what a fresh file would have held.
    readDefault(defaultOffset, &value);
    return value;
  }
  OpenFile open(*file);
  if (getStored(*file, key, type, &value)) return value;
  std::uint32_t fallback = 0;
  if (!readDefault(defaultOffset, &fallback)) {
    // Unknown default: do not store a made-up value over the key, so a
    // later read, once the table is there, fills the real one.
    return 0;
  }
  setStored(*file, key, type, fallback);
  file->Flush();
  return fallback;
}

// One write cycle: under the owner's lock, open, set, flush, close.
void writeCycle(TqSync& lock, SettingsDataAccessor::Owner owner, const char* key, ValueType type, std::uint32_t value) {
  LockHold hold(lock);
  SaveFileAccessMetaText* file = TqSingleton<SysDataFactory>::GetInstance()->getMetaText(fileOf(owner));
  if (file == nullptr) return;
  OpenFile open(*file);
  setStored(*file, key, type, value);
  file->Flush();
}

}  // namespace

int SettingsDataAccessor::getDataKeyIValue(DataKeyID id) {
  if (id == settings_datakey::DATAKEY_DEMO_ON_OFF) {
    Owner owner = OWNER_SETTINGS;
    std::uint32_t defaultOffset = 0;
    if (!demoTarget(&owner, &defaultOffset)) return 0;
    return static_cast<int>(readCycle(ownerLock(owner), owner, kDemoKey, ValueType::Int, defaultOffset));
  }
  const DataKeyRow* row = findRow(id);
  if (row == nullptr) return 0;
  return static_cast<int>(readCycle(ownerLock(row->owner), row->owner, row->key, row->type, row->defaultOffset));
}

void SettingsDataAccessor::setDataKeyIValue(DataKeyID id, int value) {
  if (id == settings_datakey::DATAKEY_DEMO_ON_OFF) {
    Owner owner = OWNER_SETTINGS;
    std::uint32_t defaultOffset = 0;
    if (!demoTarget(&owner, &defaultOffset)) return;
    if (owner == OWNER_SETTINGS) {
      TqSingleton<SysDataSettings>::GetInstance()->setDemoOnOff(value);
    } else {
      TqSingleton<SysDataSettingsNoUserInit>::GetInstance()->setDemoOnOff(value);
    }
    return;
  }
  const DataKeyRow* row = findRow(id);
  if (row == nullptr) return;
  for (const char* key : row->setKeys) {
    if (key == nullptr) break;
    writeCycle(ownerLock(row->owner), row->owner, key, row->type, static_cast<std::uint32_t>(value));
  }
}

bool SettingsDataAccessor::describe(DataKeyID id, bool demoInSettings, KeyInfo* info) {
  if (info == nullptr) return false;
  if (id == settings_datakey::DATAKEY_DEMO_ON_OFF) {
    const Owner owner = demoInSettings ? OWNER_SETTINGS : OWNER_NO_USER_INIT;
    *info = KeyInfo{SysDataFactory::metaTextName(fileOf(owner)), kDemoKey, false,
                    demoInSettings ? kDemoDefaultInSettings : kDemoDefaultInNoUserInit, {kDemoKey, nullptr, nullptr}};
    return true;
  }
  const DataKeyRow* row = findRow(id);
  if (row == nullptr) return false;
  *info = KeyInfo{SysDataFactory::metaTextName(fileOf(row->owner)), row->key, row->type == ValueType::UInt,
                  row->defaultOffset, {row->setKeys[0], row->setKeys[1], row->setKeys[2]}};
  return true;
}
