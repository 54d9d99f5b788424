#include "util/SysDataUtilProduct.h"

#include <cstring>
#include <vector>

#include "core/SysDataProductFactory.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "core/TqSingleton.h"
#include "platform/SaveFileAccess.h"
#include "platform/TqFileSys.h"
#include "platform/TqStorage.h"
#include "platform/TqSync.h"
#include "settings/KeyTable.h"
#include "settings/SettingsCatalog.h"
#include "util/DefaultTableLayout.h"

namespace sysdata {
namespace {

const char* const kNavigationFiles[kNavigationFileCount] = {
    "gtm_nvm.dat",        "gmapsupp.unl",         "gmapsupp.gma",       "loc8.unl",
    "loc8.gma",           "pre.db",               "pre.bckup",          "user_strings.db",
    "custom_where_to.db", "dashboards.db",        "quick_search_list.db", "recent_searches.db",
    "GARMIN.NVM",         "GARMIN_NOR.NVM",       "GARMIN.NVM_BAK",     "GARMIN_NOR.NVM_BAK",
    "mlg_history.db",     "RecentStops.db",       "POI",                "DealerPOI",
    "Trips",              "Logs",                 "mileage.csv",        "mileage_previous.csv",
    "UserWallpaper1.png", "UserWallpaper2.png",   "DopWallpaper.bmp",
};

const char kCalibrationFileName[] = "/AirGestureCalibration.ini";
const char kImportedKey[] = "FrontRecorderLastConnect";

// The largest binary record; every binary export reuses one buffer.
constexpr std::size_t kExportBufferSize = 20480;

// A directory text copied out of "SysDataInfo" under the segment's lock.
// Empty when the segment cannot be mapped, the host left it empty or the
// field holds no terminator: callers then build no path at all, so nothing
// is ever written relative to the file-system root or into a directory made
// of two fields.
std::string directoryText(const SysDataInformation& info, std::size_t offset) {
  return offset == record_layout::kSaveFileDir ? sysdata::saveFileDir(info) : sysdata::calibrationDir(info);
}

void exportKeyFile(SysDataProductFactory& registry, const SettingsFileDef& def, const char* path) {
  SaveFileAccessMetaText* file =
      registry.getMetaText(static_cast<SysDataProductFactory::SYSDATA_METATXT_ID>(def.registryId));
  if (file == nullptr) return;  // the copy keeps the unit's live content
  file->FOpenForImportExport(path);
  for (std::size_t k = 0; k < def.keyCount; ++k) {
    const KeyDef& key = def.keys[k];
    setKeyForImportExport(*file, key.key, key.getDefault());
  }
  file->FlushForImportExport();
  file->FCloseForImportExport();
}

void exportBinaryFile(SysDataProductFactory& registry, const SettingsFileDef& def, const char* path,
                      std::vector<unsigned char>& buffer) {
  SaveFileAccess* file =
      registry.getBinary(static_cast<SysDataProductFactory::SYSDATA_BINARY_ID>(def.registryId));
  if (file == nullptr) return;
  if (def.recordSize > buffer.size()) buffer.resize(def.recordSize);
  file->FOpenForImportExport(path);
  std::memset(buffer.data(), 0, def.recordSize);
  const int fill = def.fill != nullptr ? def.fill() : 0;
  std::memset(buffer.data(), static_cast<unsigned char>(fill), def.recordSize);
  file->WriteForImportExport(buffer.data(), static_cast<long long>(def.recordSize));
  file->FlushForImportExport();
  file->FCloseForImportExport();
}

}  // namespace

const char* const* navigationFileNames() { return kNavigationFiles; }

bool isNavigationFile(const std::string& name) {
  for (const char* candidate : kNavigationFiles) {
    if (name == candidate) return true;
  }
  return false;
}

}  // namespace sysdata

SysDataUtilProduct::~SysDataUtilProduct() = default;

bool SysDataUtilProduct::initSysDataDefault(SystemDef::SYS_INFO_MODEL model,
                                            SystemDef::SYS_INFO_DESTINATION destination) const {
  SysDataUtil::initSysDataDefault(model, destination);

  SysDataDefault table;
  unsigned char* record = sysdata::RecordAccess::bytes(table);
  if (record == nullptr) return true;  // nothing mapped: nothing to fill
  // One hold of the segment lock across read-modify-write: a second process
  // filling at the same moment cannot interleave its fields with ours.
  TqSyncGuard guard(sysdata::RecordAccess::sync(table));
  sysdata::applyProductDefaults(record, sysdata::kDefaultRecordSize, model, destination);
  return true;
}

bool SysDataUtilProduct::initSysDataFile(const std::string& name) const {
  SysDataInformation info;
  TqStorage storage;

  if (const sysdata::SettingsFileDef* def = sysdata::findProductFile(name)) {
    if (def->reset != nullptr) def->reset();
    return true;
  }
  if (sysdata::isNavigationFile(name)) {
    const std::string dir = sysdata::directoryText(info, record_layout::kSaveFileDir);
    if (!dir.empty()) {
      const std::string path = dir + "/" + name;
      // "w" then close: the file is left empty, created when missing.
      storage.Open(path.c_str(), "w");
      storage.Close();
    }
    return true;
  }
  return SysDataUtil::initSysDataFile(name);
}

void SysDataUtilProduct::confirmCalibrationData() const {
  {
    SysDataInformation info;
    const std::string dir = sysdata::directoryText(info, record_layout::kCalibrationDir);
    if (!dir.empty()) {
      const std::string path = dir + sysdata::kCalibrationFileName;
      // Only a missing file is created; an existing one is kept whatever it
      // holds, since it may be the unit's measured calibration.
      if (!TqFileSys::IsExist(path.c_str())) {
        const sysdata::SettingsFileDef& calibration = sysdata::airGestureCalibrationFile();
        if (calibration.reset != nullptr) calibration.reset();
      }
    }
  }
  SysDataUtil::confirmCalibrationData();
}

bool SysDataUtilProduct::dataImport(const char* path) {
  // No path, no copy to read: only the base runs.
  if (path != nullptr && path[0] != '\0') {
    SaveFileAccessMetaText* file = TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(
        SysDataProductFactory::SYSDATA_METATXT_DRIVE_RECORDER);
    if (file != nullptr) {
      file->FOpen();
      file->FOpenForImportExport(path);
      int value = 0;
      if (file->GetForImportExport(sysdata::kImportedKey, &value)) {
        file->Set(sysdata::kImportedKey, value);
      }
      file->Flush();
      file->FCloseForImportExport();
      file->FClose();
    }
  }
  return SysDataUtil::dataImport(path);
}

bool SysDataUtilProduct::dataExport(const char* path) {
  // An empty or missing path would put the export at the file-system root.
  if (path != nullptr && path[0] != '\0') {
    SysDataInformation info;
    const std::string saveDir = sysdata::directoryText(info, record_layout::kSaveFileDir);
    const std::string target = std::string(path) + "/";
    const sysdata::SettingsFileDef* files = sysdata::productFiles();

    // Copy phase: the live files as they stand, "DriveRecorder.ini" included.
    if (!saveDir.empty()) {
      const std::string savePrefix = saveDir + "/";
      for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
        const std::string from = savePrefix + files[i].fileName;
        const std::string to = target + files[i].fileName;
        TqFileSys::Copy(from.c_str(), to.c_str(), false, false);
      }
    }

    // Default phase: every copy but "DriveRecorder.ini" gets the factory
    // values of the unit's pair, written through the store's copy in path.
    SysDataProductFactory* registry = TqSingleton<SysDataProductFactory>::GetInstance();
    std::vector<unsigned char> buffer(sysdata::kExportBufferSize);
    for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
      const sysdata::SettingsFileDef& def = files[i];
      if (!def.exportDefaults) continue;
      if (def.kind == sysdata::FileKind::KeyValue) {
        sysdata::exportKeyFile(*registry, def, path);
      } else {
        sysdata::exportBinaryFile(*registry, def, path, buffer);
      }
    }
  }
  return SysDataUtil::dataExport(path);
}
