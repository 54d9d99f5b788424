// The host's shared-memory records: their sizes and the offsets of the fields
// this product reads. The format belongs to the host, which fills the records;
// the product library reads them through its views (core/SystemRecords.h), a
// host writes them at these offsets. All integers are little-endian; text
// fields are NUL-terminated. Each segment is a 4-byte size word followed by
// the record (TqFramework/SharedMemory/TqSharedMemory).
#pragma once

#include <cstddef>

// Records as opaque bytes: fields are read at explicit offsets only. Their
// types are visible to every shared object, so that each instantiation of the
// segment template over them is one type in the whole process.
#define SYSDATA_RECORD_TYPE __attribute__((visibility("default")))

struct SYSDATA_RECORD_TYPE SysInfoStruct {
  unsigned char bytes[568];
};
struct SYSDATA_RECORD_TYPE SysDataInfoStruct {
  unsigned char bytes[5136];
};
struct SYSDATA_RECORD_TYPE FuncInfoStruct {
  unsigned char bytes[1992];
};
struct SYSDATA_RECORD_TYPE FuncInfoProductStruct {
  unsigned char bytes[504];
};
namespace SysDataDefaultMem {
struct SYSDATA_RECORD_TYPE Data {
  unsigned char bytes[5356];
};
}  // namespace SysDataDefaultMem

static_assert(sizeof(SysInfoStruct) == 568, "SystemInfo record size");
static_assert(sizeof(SysDataInfoStruct) == 5136, "SysDataInfo record size");
static_assert(sizeof(FuncInfoStruct) == 1992, "FuncInfo record size");
static_assert(sizeof(FuncInfoProductStruct) == 504, "FuncInfoProduct record size");
static_assert(sizeof(SysDataDefaultMem::Data) == 5356, "SysDataDefault record size");

namespace record_layout {
// "SystemInfo": model and destination (int32 each), written by the host.
constexpr std::size_t kSysInfoModel = 8;
constexpr std::size_t kSysInfoDestination = 12;
// Fifteen text fields and the flag of the first initialisation.
constexpr std::size_t kSysInfoTextFields[15] = {48,  80,  112, 144, 176, 208, 240, 273,
                                                305, 386, 419, 451, 455, 487, 516};
constexpr std::size_t kSysInfoInitialised = 553;
// "SysDataInfo": the save-file directory up to the calibration directory,
// which runs to the end of the record.
constexpr std::size_t kSaveFileDir = 0;
constexpr std::size_t kCalibrationDir = 2046;
// "FuncInfo": language-set code (uint32), the stored customization's name
// (text up to the demo switch), the demo switch (one byte).
constexpr std::size_t kLangSetCode = 108;
constexpr std::size_t kCustomizeFileName = 180;
constexpr std::size_t kDemoUserInit = 1633;
// "FuncInfoProduct": the camera's high-definition switch (one byte).
constexpr std::size_t kCameraHd = 57;
}  // namespace record_layout
