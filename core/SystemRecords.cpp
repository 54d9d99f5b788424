#include "core/SystemRecords.h"

#include "core/RecordAccess.h"
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

SystemInformation::SystemInformation() : TqSharedMemory<SysInfoStruct, 1>("SystemInfo") {
  unsigned char* bytes = recordBytes();
  if (bytes == nullptr) return;
  TqSyncGuard guard(*this);
  if (bytes[record_layout::kSysInfoInitialised] != 0) return;
  for (std::size_t offset : record_layout::kSysInfoTextFields) {
    bytes[offset] = '-';
  }
  bytes[record_layout::kSysInfoInitialised] = 1;
}

SystemInformation::~SystemInformation() = default;

SystemDef::SYS_INFO_MODEL SystemInformation::getModel() const {
  if (!isMapped()) return SystemDef::SYS_INFO_MODEL_UNKNOWN;
  return static_cast<SystemDef::SYS_INFO_MODEL>(sysdata::readI32(*this, record_layout::kSysInfoModel));
}

SystemDef::SYS_INFO_DESTINATION SystemInformation::getDestination() const {
  if (!isMapped()) return SystemDef::SYS_INFO_DESTINATION_UNKNOWN;
  return static_cast<SystemDef::SYS_INFO_DESTINATION>(sysdata::readI32(*this, record_layout::kSysInfoDestination));
}

// ---- SysDataInformation ----

SysDataInformation::SysDataInformation() : TqSharedMemory<SysDataInfoStruct, 1>("SysDataInfo") {}

SysDataInformation::~SysDataInformation() = default;

const char* SysDataInformation::getSaveFileDir() const {
  const unsigned char* bytes = recordBytes();
  if (bytes == nullptr) return nullptr;
  TqSyncGuard guard(*this);
  return textInField(bytes, record_layout::kSaveFileDir, record_layout::kCalibrationDir);
}

// ---- the views without operations of their own ----

FuncInfoSharedMem::FuncInfoSharedMem() : TqSharedMemory<FuncInfoStruct, 1>("FuncInfo") {}

FuncInfoSharedMem::~FuncInfoSharedMem() = default;

FuncInfoProduct::FuncInfoProduct() : TqSharedMemory<FuncInfoProductStruct, 1>("FuncInfoProduct") {}

FuncInfoProduct::~FuncInfoProduct() = default;

SysDataDefault::SysDataDefault() : TqSharedMemory<SysDataDefaultMem::Data, 1>("SysDataDefault") {}

SysDataDefault::~SysDataDefault() = default;
