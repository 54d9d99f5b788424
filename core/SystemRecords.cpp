#include "core/SystemRecords.h"

#include "platform/TqSync.h"

namespace {

// A directory text is served only when it ends inside its own field: a
// record without the terminator would otherwise run into the next field or
// past the end of the record.
const char* textInField(const unsigned char* record, std::size_t offset, std::size_t end) {
  for (std::size_t i = offset; i < end; ++i) {
    if (record[i] == 0) return reinterpret_cast<const char*>(record + offset);
  }
  return nullptr;
}

}  // namespace

// ---- SystemInformation ----

SystemInformation::SystemInformation() : RecordView<SysInfoStruct>("SystemInfo") { initialiseOnce(); }

SystemInformation::~SystemInformation() = default;

void SystemInformation::initialiseOnce() {
  unsigned char* bytes = bytesUnlocked();
  if (bytes == nullptr) return;
  TqSyncGuard guard(sync());
  if (bytes[record_layout::kSysInfoInitialised] != 0) return;
  for (std::size_t offset : record_layout::kSysInfoTextFields) {
    bytes[offset] = '-';
  }
  bytes[record_layout::kSysInfoInitialised] = 1;
}

SystemDef::SYS_INFO_MODEL SystemInformation::getModel() const {
  if (!isMapped()) return SystemDef::SYS_INFO_MODEL_UNKNOWN;
  return static_cast<SystemDef::SYS_INFO_MODEL>(readI32(record_layout::kSysInfoModel));
}

SystemDef::SYS_INFO_DESTINATION SystemInformation::getDestination() const {
  if (!isMapped()) return SystemDef::SYS_INFO_DESTINATION_UNKNOWN;
  return static_cast<SystemDef::SYS_INFO_DESTINATION>(readI32(record_layout::kSysInfoDestination));
}

bool SystemInformation::setModelAndDestination(SystemDef::SYS_INFO_MODEL model,
                                               SystemDef::SYS_INFO_DESTINATION destination) {
  unsigned char b[8];
  sysdata::storeI32(b, model);
  sysdata::storeI32(b + 4, destination);
  // Both words in one guarded write: a reader never sees a new model with an
  // old destination.
  return write(record_layout::kSysInfoModel, b, sizeof(b));
}

// ---- SysDataInformation ----

SysDataInformation::SysDataInformation() : RecordView<SysDataInfoStruct>("SysDataInfo") {}

SysDataInformation::~SysDataInformation() = default;

const char* SysDataInformation::getSaveFileDir() const {
  const unsigned char* bytes = bytesUnlocked();
  if (bytes == nullptr) return nullptr;
  TqSyncGuard guard(sync());
  return textInField(bytes, record_layout::kSaveFileDir, record_layout::kCalibrationDir);
}

const char* SysDataInformation::getCalibrationDir() const {
  const unsigned char* bytes = bytesUnlocked();
  if (bytes == nullptr) return nullptr;
  TqSyncGuard guard(sync());
  return textInField(bytes, record_layout::kCalibrationDir, kRecordSize);
}

bool SysDataInformation::setSaveFileDir(const char* dir) {
  if (dir == nullptr) return false;
  std::size_t n = 0;
  while (dir[n] != 0) ++n;
  // The text and its NUL must stay inside the field.
  if (n + 1 > record_layout::kCalibrationDir - record_layout::kSaveFileDir) return false;
  return write(record_layout::kSaveFileDir, dir, n + 1);
}

bool SysDataInformation::setCalibrationDir(const char* dir) {
  return writeText(record_layout::kCalibrationDir, dir);
}

// ---- FuncInfoSharedMem ----

FuncInfoSharedMem::FuncInfoSharedMem() : RecordView<FuncInfoStruct>("FuncInfo") {}

FuncInfoSharedMem::~FuncInfoSharedMem() = default;

std::uint32_t FuncInfoSharedMem::getLangSetCode() const { return readU32(record_layout::kLangSetCode); }

std::string FuncInfoSharedMem::getCustomizeFileName() const {
  return readText(record_layout::kCustomizeFileName);
}

std::uint8_t FuncInfoSharedMem::getDemoUserInit() const { return readU8(record_layout::kDemoUserInit); }

bool FuncInfoSharedMem::setLangSetCode(std::uint32_t code) {
  return writeU32(record_layout::kLangSetCode, code);
}

bool FuncInfoSharedMem::setCustomizeFileName(const char* name) {
  if (name == nullptr) return false;
  std::size_t n = 0;
  while (name[n] != 0) ++n;
  // The name must not run over the demoUserInit switch that follows it.
  if (record_layout::kCustomizeFileName + n + 1 > record_layout::kDemoUserInit) return false;
  return write(record_layout::kCustomizeFileName, name, n + 1);
}

bool FuncInfoSharedMem::setDemoUserInit(std::uint8_t value) {
  return writeU8(record_layout::kDemoUserInit, value);
}

// ---- FuncInfoProduct ----

FuncInfoProduct::FuncInfoProduct() : RecordView<FuncInfoProductStruct>("FuncInfoProduct") {}

FuncInfoProduct::~FuncInfoProduct() = default;

std::uint8_t FuncInfoProduct::getCameraHd() const { return readU8(record_layout::kCameraHd); }

bool FuncInfoProduct::setCameraHd(std::uint8_t value) { return writeU8(record_layout::kCameraHd, value); }

// ---- SysDataDefault ----

SysDataDefault::SysDataDefault() : RecordView<SysDataDefaultMem::Data>("SysDataDefault") {}

SysDataDefault::~SysDataDefault() = default;
