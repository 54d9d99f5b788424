// The product file list: the 38 product settings files in their fixed order
// (the order of reset-by-name and of the export), each with its registry
// identifier, its key table or record, and its reset. Everything that walks
// the product files walks this list.
#pragma once

#include <cstddef>
#include <string>

#include "core/SysDataExport.h"
#include "settings/KeyTable.h"

namespace sysdata {

enum class FileKind : std::uint8_t { KeyValue, Binary };

struct SettingsFileDef {
  const char* fileName;
  FileKind kind;
  // SysDataProductFactory::SYSDATA_METATXT_ID for key=value files,
  // SysDataProductFactory::SYSDATA_BINARY_ID for binary files.
  int registryId;
  // Key=value files: the owning class's key table, in reset order.
  const KeyDef* keys;
  std::size_t keyCount;
  // Binary files: record size and the owning class's fill operation.
  std::size_t recordSize;
  int (*fill)();
  // TqSingleton<C>::GetInstance()->initializeAllData() of the owning class.
  void (*reset)();
  // False for "DriveRecorder.ini", whose export keeps the live content.
  bool exportDefaults;
};

constexpr std::size_t kProductFileCount = 38;

const SettingsFileDef* productFiles();
// The entry whose name equals name exactly (case-sensitive), or null.
const SettingsFileDef* findProductFile(const std::string& name);
// "AirGestureCalibration.ini": a product binary file outside the list.
const SettingsFileDef& airGestureCalibrationFile();

}  // namespace sysdata
