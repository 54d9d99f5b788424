#include "Files.h"

#include <set>

#include "Output.h"
#include "SafeFile.h"
#include "UnitAccess.h"
#include "accessor/SettingsDataAccessor.h"
#include "core/SysDataFactory.h"
#include "core/SysDataProductFactory.h"
#include "platform/SaveFileAccess.h"
#include "standin/testing/StoreControl.h"

namespace sysdatactl {

namespace {

// Keys of the common setters (settings/CommonSettings.h), each written with
// the int overload. Demo mode is added from the data accessor's description.
struct SetterKeys {
  const char* file;
  std::vector<const char*> keys;
};
const std::vector<SetterKeys>& setterKeys() {
  static const std::vector<SetterKeys> table = {
      {"Camera.ini",
       {"CamGuideLineOnOff", "CamGuidePosiCenterY", "CamGuidePosiLowerLeftX", "CamGuidePosiLowerLeftY",
        "CamGuidePosiLowerRightX", "CamGuidePosiLowerRightY", "CamGuidePosiUpperLeftX", "CamGuidePosiUpperLeftY",
        "CamGuidePosiUpperRightX", "CamGuidePosiUpperRightY", "RCamIntSetting"}},
      {"Mic.ini", {"BtPhoneSndTalkVol", "EchoCancel", "NoiseReduction"}},
  };
  return table;
}

void addOwned(KnownFile& file, const char* key, sysdata::KeyType type) {
  for (const OwnedKey& owned : file.ownedKeys) {
    if (owned.key == key) return;
  }
  file.ownedKeys.push_back(OwnedKey{key, type});
}

// The keys of the data accessor that live in file, in data-key order; demo
// mode in both of its possible files.
void addAccessorKeys(KnownFile& file) {
  for (int id = 0; id < settings_datakey::DATAKEY_MAX; ++id) {
    for (bool demoInSettings : {true, false}) {
      SettingsDataAccessor::KeyInfo info;
      if (!SettingsDataAccessor::describe(static_cast<settings_datakey::DataKeyID>(id), demoInSettings, &info)) {
        continue;
      }
      if (file.name != info.file) continue;
      const sysdata::KeyType type = info.isUnsigned ? sysdata::KeyType::UInt : sysdata::KeyType::Int;
      addOwned(file, info.key, type);
      for (const char* setKey : info.setKeys) {
        if (setKey != nullptr) addOwned(file, setKey, type);
      }
    }
  }
}

std::vector<KnownFile> buildKnownFiles() {
  std::vector<KnownFile> files;
  const sysdata::SettingsFileDef* product = sysdata::productFiles();
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
    KnownFile file;
    file.name = product[i].fileName;
    file.group = FileGroup::Product;
    file.product = &product[i];
    file.binary = product[i].kind == sysdata::FileKind::Binary;
    file.recordSize = product[i].recordSize;
    file.ownedByLibrary = true;
    for (std::size_t k = 0; k < product[i].keyCount; ++k) {
      file.ownedKeys.push_back(OwnedKey{product[i].keys[k].key, product[i].keys[k].type});
    }
    files.push_back(file);
  }
  {
    const sysdata::SettingsFileDef& calibration = sysdata::airGestureCalibrationFile();
    KnownFile file;
    file.name = calibration.fileName;
    file.group = FileGroup::Calibration;
    file.product = &calibration;
    file.binary = true;
    file.recordSize = calibration.recordSize;
    file.ownedByLibrary = true;
    files.push_back(file);
  }
  for (int id = 0; id < SysDataFactory::SYSDATA_METATXT_MAX; ++id) {
    const char* name = SysDataFactory::metaTextName(static_cast<SysDataFactory::SYSDATA_METATXT_ID>(id));
    if (name == nullptr) continue;
    KnownFile file;
    file.name = name;
    file.group = FileGroup::Common;
    file.commonId = id;
    addAccessorKeys(file);
    for (const SetterKeys& setters : setterKeys()) {
      if (file.name != setters.file) continue;
      for (const char* key : setters.keys) addOwned(file, key, sysdata::KeyType::Int);
    }
    file.ownedByLibrary = !file.ownedKeys.empty();
    files.push_back(file);
  }
  return files;
}

std::string displayValue(const sysdata::KeyValue& value) {
  if (value.type == sysdata::KeyType::String) return quoteText(value.s);
  return value.toString();
}

}  // namespace

const char* typeLabel(sysdata::KeyType type) {
  switch (type) {
    case sysdata::KeyType::Int:
      return "int";
    case sysdata::KeyType::UInt:
      return "uint";
    case sysdata::KeyType::Bool:
      return "bool";
    case sysdata::KeyType::UChar:
      return "uchar";
    case sysdata::KeyType::String:
      return "string";
  }
  return "?";
}

const char* groupName(FileGroup group) {
  switch (group) {
    case FileGroup::Product:
      return "product";
    case FileGroup::Calibration:
      return "calibration";
    case FileGroup::Common:
      return "common";
  }
  return "?";
}

const std::vector<KnownFile>& knownFiles() {
  static const std::vector<KnownFile> files = buildKnownFiles();
  return files;
}

const KnownFile* findKnownFile(const std::string& name) {
  for (const KnownFile& file : knownFiles()) {
    if (file.name == name) return &file;
  }
  return nullptr;
}

SaveFileAccessMetaText* metaTextOf(const KnownFile& file) {
  if (file.binary) return nullptr;
  if (file.group == FileGroup::Common) {
    return TqSingleton<SysDataFactory>::GetInstance()->getMetaText(
        static_cast<SysDataFactory::SYSDATA_METATXT_ID>(file.commonId));
  }
  return TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(
      static_cast<SysDataProductFactory::SYSDATA_METATXT_ID>(file.product->registryId));
}

std::vector<KeyReading> readKeys(SaveFileAccessMetaText& file, const KnownFile& known) {
  std::vector<KeyReading> readings;
  std::vector<std::string> present;
  file.GetKeys(&present);
  const std::set<std::string> presentSet(present.begin(), present.end());
  std::set<std::string> ownedSet;
  for (const OwnedKey& owned : known.ownedKeys) {
    ownedSet.insert(owned.key);
    KeyReading reading;
    reading.key = owned.key;
    reading.type = typeLabel(owned.type);
    reading.owned = true;
    reading.present = presentSet.count(owned.key) != 0;
    if (reading.present) {
      reading.readable = sysdata::getKey(file, owned.key.c_str(), owned.type, &reading.typed);
      reading.value = reading.readable ? displayValue(reading.typed) : std::string();
      if (!reading.readable) {
        std::string raw;
        if (file.Get(owned.key.c_str(), &raw)) reading.value = quoteText(raw);
      }
    }
    readings.push_back(reading);
  }
  for (const std::string& key : present) {
    if (ownedSet.count(key) != 0) continue;
    KeyReading reading;
    reading.key = key;
    reading.type = "text";
    reading.present = true;
    std::string raw;
    reading.readable = file.Get(key.c_str(), &raw);
    reading.typed = sysdata::KeyValue::of(raw);
    reading.value = raw;
    readings.push_back(reading);
  }
  return readings;
}

bool checkInitialised(const UnitPath& path, const std::string& name, std::string* problem) {
  const sysdata::SettingsFileDef* def = sysdata::findProductFile(name);
  std::string content;
  const ReadResult read = readUnitFile(path, kMaxSettingsFileBytes, &content, true);
  std::string wrong;
  if (read.status != ReadStatus::kOk) {
    wrong = read.status == ReadStatus::kMissing ? "it was not made" : read.reason();
  } else if (def == nullptr) {
    if (!content.empty()) wrong = "it is not empty";
  } else if (def->kind == sysdata::FileKind::Binary) {
    if (content.size() != def->recordSize) {
      wrong = "size " + std::to_string(content.size()) + " bytes, expected " + std::to_string(def->recordSize);
    } else if (def->fill != nullptr &&
               content.find_first_not_of(static_cast<char>(static_cast<unsigned char>(def->fill()))) !=
                   std::string::npos) {
      wrong = "it does not hold its factory content";
    }
  } else {
    // Each key with its factory value: a file the store could not replace
    // keeps the values it had.
    const KnownFile* known = findKnownFile(name);
    SaveFileAccessMetaText* object = known != nullptr ? metaTextOf(*known) : nullptr;
    if (object == nullptr || !object->FOpen()) {
      wrong = "the store cannot open it";
    } else {
      for (std::size_t k = 0; k < def->keyCount && wrong.empty(); ++k) {
        const sysdata::KeyDef& key = def->keys[k];
        sysdata::KeyValue value;
        if (!sysdata::getKey(*object, key.key, key.type, &value)) {
          wrong = std::string("key ") + key.key + " missing";
        } else if (key.getDefault != nullptr && !(value == key.getDefault())) {
          wrong = std::string("key ") + key.key + " is " + value.toString() + ", not its factory value";
        }
      }
      object->FClose();
    }
  }
  if (wrong.empty()) return true;
  // The cause is most often the place: a full or read-only disk, no right
  // to write, something that is no file in the way.
  const std::string cause = unitStoreProblem(path);
  *problem = cause.empty() ? wrong : cause;
  return false;
}

std::string settingsStoreProblem(const UnitPath& saveDir) {
  for (const KnownFile& file : knownFiles()) {
    if (!file.ownedByLibrary || file.group == FileGroup::Calibration) continue;
    const UnitPath path = saveDir.child(file.name);
    if (!unitExists(path)) continue;
    const std::string problem = unitReadProblem(path);
    if (!problem.empty()) return file.name + ": " + problem;
  }
  const std::string problem = unitCreateProblem(saveDir);
  return problem.empty() ? problem : "cannot store settings in " + saveDir.host() + ": " + problem;
}

std::string quoteText(const std::string& text) { return jsonQuote(text); }

std::string noFileObjectReason() {
  const std::string lock = standin::testing::LastLockFailure();
  return "the store gives no file object for it" + (lock.empty() ? std::string() : " (" + lock + ")");
}

}  // namespace sysdatactl
