// The shape every settings file shares: typed keys with factory defaults, and
// the single declarative table per file that the resets, the export, the
// tools and the tests all walk.
//
// A file's keys are written once, as an X-macro list in settings/keys/
// (KEY(Name, Type, Default) rows in reset order). From that list the class
// header declares one getDefault<Name>() per key, the class source defines
// them, and the same list yields the file's KeyDef table, so reset, export
// and verification can never disagree about a key, its type or its order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/SysDataExport.h"
#include "core/SysDataProductFactory.h"
#include "core/SystemRecords.h"
#include "core/TqSingleton.h"
#include "core/Variants.h"
#include "platform/SaveFileAccess.h"
#include "platform/TqSync.h"

namespace sysdata {

// The five value types of the store's Set overloads; part of the file format.
enum class KeyType : std::uint8_t { Int, UInt, Bool, UChar, String };

const char* keyTypeName(KeyType type);

// One value of any key type.
struct KeyValue {
  KeyType type = KeyType::Int;
  std::int32_t i = 0;
  std::uint32_t u = 0;
  bool b = false;
  std::uint8_t c = 0;
  std::string s;

  static KeyValue of(int v);
  static KeyValue of(unsigned int v);
  static KeyValue of(bool v);
  static KeyValue of(unsigned char v);
  static KeyValue of(std::string v);
  // The value in the text a person reads ("1", "true", "Car Multimedia").
  std::string toString() const;
  bool operator==(const KeyValue& other) const;
};

// One key of a key=value file: its name, its type, and its default as the
// owning class's getDefault<Key>() gives it for the unit's model and
// destination (the call maps "SystemInfo").
struct KeyDef {
  const char* key;
  KeyType type;
  KeyValue (*getDefault)();
};

// Writes value with the Set / SetForImportExport overload of its type.
bool setKey(SaveFileAccessMetaText& file, const char* key, const KeyValue& value);
bool setKeyForImportExport(SaveFileAccessMetaText& file, const char* key, const KeyValue& value);
// Reads a key as type; false when missing or unreadable as that type.
bool getKey(SaveFileAccessMetaText& file, const char* key, KeyType type, KeyValue* out);

// ---- one open-work-close cycle ----

// Holds a settings class's lock_ for one cycle and lets it go on every way
// out, an allocation failure unwinding the cycle included.
class LockHold {
 public:
  explicit LockHold(TqSync& lock) : lock_(lock) { lock_.Lock(static_cast<unsigned int>(-1)); }
  ~LockHold() { lock_.Unlock(); }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;

 private:
  TqSync& lock_;
};

// Brackets FOpen/FClose, so that nothing can leave the store's file lock
// held (which would block every other process).
class OpenFile {
 public:
  explicit OpenFile(SaveFileAccessMetaText& file) : file_(file) { file_.FOpen(); }
  ~OpenFile() { file_.FClose(); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

 private:
  SaveFileAccessMetaText& file_;
};

// ---- the operations every settings class is made of ----

// Reset of a key=value file: under lock, open, one Set per key in table
// order with its default, Flush, close. A missing file object is skipped.
void resetKeyValueFile(TqSync& lock, SysDataProductFactory::SYSDATA_METATXT_ID id,
                       const KeyDef* keys, std::size_t count);
// Reset of a binary file: under lock, the whole record of size bytes of fill()
// is written at the store's full path through a TqStorage "w"; the storage is
// closed (made durable) after the lock is released.
void resetBinaryFile(TqSync& lock, SysDataProductFactory::SYSDATA_BINARY_ID id,
                     std::size_t size, int (*fill)());
// One setter: under lock, open, Set, Flush, close. A missing file object is skipped.
void writeOneKey(TqSync& lock, SaveFileAccessMetaText* (*file)(), const char* key,
                 const KeyValue& value);

// The unit's pair, read through a stack SystemInformation view.
struct Pair {
  SystemDef::SYS_INFO_MODEL model;
  SystemDef::SYS_INFO_DESTINATION destination;
};
Pair currentPair();

}  // namespace sysdata

// ---- macros that expand a key list ----

#define SYSDATA_CTYPE_Int int
#define SYSDATA_CTYPE_UInt unsigned int
#define SYSDATA_CTYPE_Bool bool
#define SYSDATA_CTYPE_UChar unsigned char
#define SYSDATA_CTYPE_String std::string

// In a class body: int getDefaultBand() const; ...
#define SYSDATA_DECLARE_DEFAULT(Name, Type, Default) SYSDATA_CTYPE_##Type getDefault##Name() const;

// In the class source, with SYSDATA_CLASS defined as the class name:
// every default maps "SystemInfo", reads the pair and looks the value up.
// Scalars have one value for all pairs; strings go through a
// VariantStringTable (Default is then the table).
#define SYSDATA_DEFINE_DEFAULT(Name, Type, Default)                       \
  SYSDATA_CTYPE_##Type SYSDATA_CLASS::getDefault##Name() const {          \
    const ::sysdata::Pair pair = ::sysdata::currentPair();                \
    return ::sysdata::defaultValue<SYSDATA_CTYPE_##Type>(pair, Default);  \
  }

// One row of the class's KeyDef table.
#define SYSDATA_KEYDEF(Name, Type, Default)                                                   \
  {#Name, ::sysdata::KeyType::Type,                                                           \
   []() { return ::sysdata::KeyValue::of(TqSingleton<SYSDATA_CLASS>::GetInstance()->getDefault##Name()); }},

namespace sysdata {
template <class V>
V defaultValue(const Pair&, V value) {
  return value;
}
template <class V>
V defaultValue(const Pair& pair, const VariantStringTable& table) {
  return V(lookupVariantString(table, pair.model, pair.destination));
}
}  // namespace sysdata

// Class boilerplate: singleton access, the lock, the key table.
#define SYSDATA_SETTINGS_CLASS_COMMON(Class)          \
 public:                                              \
  ~Class() override;                                  \
                                                      \
 private:                                             \
  friend class TqSingleton<Class>;                    \
  Class();                                            \
  TqSync lock_;
