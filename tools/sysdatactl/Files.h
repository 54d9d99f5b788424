// The settings files the tool can show, dump and verify: the product's 38
// files (the library's catalog), its air-gesture calibration file, and the
// common files of the common registry, with the keys the library owns in
// them (those the data accessor and the common setters write).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "UnitAccess.h"
#include "settings/KeyTable.h"
#include "settings/SettingsCatalog.h"

class SaveFileAccessMetaText;

namespace sysdatactl {

enum class FileGroup { Product, Calibration, Common };

struct OwnedKey {
  std::string key;
  sysdata::KeyType type;
};

struct KnownFile {
  std::string name;
  FileGroup group = FileGroup::Product;
  bool binary = false;
  std::size_t recordSize = 0;                       // binary files
  const sysdata::SettingsFileDef* product = nullptr;  // product files and the calibration file
  int commonId = -1;                                // SysDataFactory::SYSDATA_METATXT_ID
  std::vector<OwnedKey> ownedKeys;                  // keys whose type this library fixes
  bool ownedByLibrary = false;                      // verify checks it
};

const char* groupName(FileGroup group);
// "int", "uint", "bool", "uchar", "string".
const char* typeLabel(sysdata::KeyType type);

// Every known file: product files in catalog order, the calibration file,
// then the common files in registry order.
const std::vector<KnownFile>& knownFiles();
// By exact name, or null.
const KnownFile* findKnownFile(const std::string& name);

// The store's file object of a key=value file (through the library's
// registries), or null.
SaveFileAccessMetaText* metaTextOf(const KnownFile& file);

// One key as read from a file. A key of a known type is read with that type;
// any other key is read as text.
struct KeyReading {
  std::string key;
  std::string type;   // typeLabel() of an owned key, "text" for any other
  bool present = false;
  bool readable = false;
  std::string value;  // how a person reads it; strings quoted
  sysdata::KeyValue typed;
  bool owned = false;
};

// Reads every key of an open file: the owned keys first in their order, then
// the file's other keys in file order. The file must be FOpen'ed.
std::vector<KeyReading> readKeys(SaveFileAccessMetaText& file, const KnownFile& known);

// After the library's file initialisation of name (a product file or a
// navigation/user data file) under the unit's save directory: true when the
// file is there as it should be now (a regular file; a binary record of its
// exact size, a key file holding each of its keys, a navigation file empty).
// Otherwise false with the reason, the system's where one can be learnt: the
// library's hooks report nothing.
bool checkInitialised(const UnitPath& path, const std::string& name, std::string* problem);

// What would keep a stored customization from reaching the settings files
// in saveDir: a settings file of the library that is not a regular
// file, or a directory where nothing can be written now (full, read-only, no
// right). Empty when nothing does. Checked before the customization is
// applied, since a one-shot customization removes itself whatever was
// stored.
std::string settingsStoreProblem(const UnitPath& saveDir);

// Quoting of a text value for display.
std::string quoteText(const std::string& text);

// Why the store gave no file object: the lock it could not take, with the
// system's reason, when that is what stood in the way.
std::string noFileObjectReason();

}  // namespace sysdatactl
