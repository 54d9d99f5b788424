#include "settings/KeyTable.h"

#include <vector>

#include "core/RecordAccess.h"
#include "platform/TqStorage.h"

namespace sysdata {

const char* keyTypeName(KeyType type) {
  switch (type) {
    case KeyType::Int:
      return "int";
    case KeyType::UInt:
      return "unsigned int";
    case KeyType::Bool:
      return "bool";
    case KeyType::UChar:
      return "unsigned char";
    case KeyType::String:
      return "std::string";
  }
  return "?";
}

KeyValue KeyValue::of(int v) {
  KeyValue k;
  k.type = KeyType::Int;
  k.i = v;
  return k;
}

KeyValue KeyValue::of(unsigned int v) {
  KeyValue k;
  k.type = KeyType::UInt;
  k.u = v;
  return k;
}

KeyValue KeyValue::of(bool v) {
  KeyValue k;
  k.type = KeyType::Bool;
  k.b = v;
  return k;
}

KeyValue KeyValue::of(unsigned char v) {
  KeyValue k;
  k.type = KeyType::UChar;
  k.c = v;
  return k;
}

KeyValue KeyValue::of(std::string v) {
  KeyValue k;
  k.type = KeyType::String;
  k.s = std::move(v);
  return k;
}

std::string KeyValue::toString() const {
  switch (type) {
    case KeyType::Int:
      return std::to_string(i);
    case KeyType::UInt:
      return std::to_string(u);
    case KeyType::Bool:
      return b ? "true" : "false";
    case KeyType::UChar:
      return std::to_string(static_cast<unsigned int>(c));
    case KeyType::String:
      return s;
  }
  return std::string();
}

bool KeyValue::operator==(const KeyValue& other) const {
  if (type != other.type) return false;
  switch (type) {
    case KeyType::Int:
      return i == other.i;
    case KeyType::UInt:
      return u == other.u;
    case KeyType::Bool:
      return b == other.b;
    case KeyType::UChar:
      return c == other.c;
    case KeyType::String:
      return s == other.s;
  }
  return false;
}

bool setKey(SaveFileAccessMetaText& file, const char* key, const KeyValue& value) {
  switch (value.type) {
    case KeyType::Int:
      return file.Set(key, static_cast<int>(value.i));
    case KeyType::UInt:
      return file.Set(key, static_cast<unsigned int>(value.u));
    case KeyType::Bool:
      return file.Set(key, value.b);
    case KeyType::UChar:
      return file.Set(key, static_cast<unsigned char>(value.c));
    case KeyType::String:
      return file.Set(key, value.s);
  }
  return false;
}

bool setKeyForImportExport(SaveFileAccessMetaText& file, const char* key, const KeyValue& value) {
  switch (value.type) {
    case KeyType::Int:
      return file.SetForImportExport(key, static_cast<int>(value.i));
    case KeyType::UInt:
      return file.SetForImportExport(key, static_cast<unsigned int>(value.u));
    case KeyType::Bool:
      return file.SetForImportExport(key, value.b);
    case KeyType::UChar:
      return file.SetForImportExport(key, static_cast<unsigned char>(value.c));
    case KeyType::String:
      return file.SetForImportExport(key, value.s);
  }
  return false;
}

bool getKey(SaveFileAccessMetaText& file, const char* key, KeyType type, KeyValue* out) {
  if (out == nullptr) return false;
  switch (type) {
    case KeyType::Int: {
      int v = 0;
      if (!file.Get(key, &v)) return false;
      *out = KeyValue::of(v);
      return true;
    }
    case KeyType::UInt: {
      unsigned int v = 0;
      if (!file.Get(key, &v)) return false;
      *out = KeyValue::of(v);
      return true;
    }
    case KeyType::Bool: {
      bool v = false;
      if (!file.Get(key, &v)) return false;
      *out = KeyValue::of(v);
      return true;
    }
    case KeyType::UChar: {
      unsigned char v = 0;
      if (!file.Get(key, &v)) return false;
      *out = KeyValue::of(v);
      return true;
    }
    case KeyType::String: {
      std::string v;
      if (!file.Get(key, &v)) return false;
      *out = KeyValue::of(std::move(v));
      return true;
    }
  }
  return false;
}

void resetKeyValueFile(TqSync& lock, SysDataProductFactory::SYSDATA_METATXT_ID id, const KeyDef* keys,
                       std::size_t count) {
  LockHold hold(lock);
  SaveFileAccessMetaText* file = TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(id);
  if (file == nullptr) return;
  OpenFile open(*file);
  for (std::size_t n = 0; n < count; ++n) {
    // Each default is read just before its key is written.
    setKey(*file, keys[n].key, keys[n].getDefault());
  }
  file->Flush();
}

void resetBinaryFile(TqSync& lock, SysDataProductFactory::SYSDATA_BINARY_ID id, std::size_t size,
                     int (*fill)()) {
  // Declared before the lock is taken, so that it is closed (and its new
  // content put in place) only after the lock has been released.
  TqStorage storage;
  {
    LockHold hold(lock);
    const std::vector<unsigned char> record(size, static_cast<unsigned char>(fill != nullptr ? fill() : 0));
    SaveFileAccess* file = TqSingleton<SysDataProductFactory>::GetInstance()->getBinary(id);
    if (file == nullptr) return;
    std::string path;
    file->getFullPath(path);
    // A file object without a path names nothing to write.
    if (path.empty()) return;
    storage.Open(path.c_str(), "w");
    storage.Write(record.data(), static_cast<long long>(record.size()));
  }
}

void writeOneKey(TqSync& lock, SaveFileAccessMetaText* (*file)(), const char* key, const KeyValue& value) {
  LockHold hold(lock);
  SaveFileAccessMetaText* object = file != nullptr ? file() : nullptr;
  if (object == nullptr) return;
  OpenFile open(*object);
  setKey(*object, key, value);
  object->Flush();
}

Pair currentPair() {
  const SystemInformation info;
  Pair pair;
  // Each read takes the record's lock; holding it around both makes the inner
  // holds re-entrant (no second and third inter-process lock per default
  // read) and reads the pair as one.
  TqSyncGuard guard(sysdata::RecordAccess::sync(info));
  pair.model = info.getModel();
  pair.destination = info.getDestination();
  return pair;
}

}  // namespace sysdata
