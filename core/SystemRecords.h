// The shared-memory records that tell the library what unit it runs on, and
// their views. A view maps its segment in its constructor and unmaps it in its
// destructor; make one on the stack around a single read or write. Every
// access below takes the segment's inter-process lock for its own duration.
//
// A view whose segment could not be mapped answers safely: reads give zero
// bytes (an empty text), writes do nothing and return false,
// SysDataInformation's directories are null, and SystemInformation reports
// SYS_INFO_MODEL_UNKNOWN / SYS_INFO_DESTINATION_UNKNOWN, a pair no variant uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "TqFramework/SharedMemory/TqSharedMemory.h"
#include "core/LittleEndian.h"
#include "core/SysDataExport.h"
#include "platform/SystemDef.h"

// Records as opaque bytes: fields are read at explicit offsets only.
struct SysInfoStruct {
  unsigned char bytes[568];
};
struct SysDataInfoStruct {
  unsigned char bytes[5136];
};
struct FuncInfoStruct {
  unsigned char bytes[1992];
};
struct FuncInfoProductStruct {
  unsigned char bytes[504];
};
namespace SysDataDefaultMem {
struct Data {
  unsigned char bytes[5356];
};
}  // namespace SysDataDefaultMem

static_assert(sizeof(SysInfoStruct) == 568, "SystemInfo record size");
static_assert(sizeof(SysDataInfoStruct) == 5136, "SysDataInfo record size");
static_assert(sizeof(FuncInfoStruct) == 1992, "FuncInfo record size");
static_assert(sizeof(FuncInfoProductStruct) == 504, "FuncInfoProduct record size");
static_assert(sizeof(SysDataDefaultMem::Data) == 5356, "SysDataDefault record size");

namespace record_layout {
// "SystemInfo"
constexpr std::size_t kSysInfoModel = 8;
constexpr std::size_t kSysInfoDestination = 12;
constexpr std::size_t kSysInfoTextFields[15] = {48,  80,  112, 144, 176, 208, 240, 273,
                                                305, 386, 419, 451, 455, 487, 516};
constexpr std::size_t kSysInfoInitialised = 553;
// "SysDataInfo"
constexpr std::size_t kSaveFileDir = 0;
constexpr std::size_t kCalibrationDir = 2046;
// "FuncInfo"
constexpr std::size_t kLangSetCode = 108;
constexpr std::size_t kCustomizeFileName = 180;
constexpr std::size_t kDemoUserInit = 1633;
// "FuncInfoProduct"
constexpr std::size_t kCameraHd = 57;
}  // namespace record_layout

// Guarded byte access shared by the five views.
template <class T>
class __attribute__((visibility("default"))) RecordView : private TqSharedMemory<T, 1> {
  using Segment = TqSharedMemory<T, 1>;

 public:
  static constexpr std::size_t kRecordSize = sizeof(T);

  bool isMapped() const { return Segment::isMapped(); }

  // Copies size bytes at offset into out; out is zero-filled and false
  // returned when nothing is mapped or the range leaves the record.
  bool read(std::size_t offset, void* out, std::size_t size) const;
  bool write(std::size_t offset, const void* data, std::size_t size);
  std::uint32_t readU32(std::size_t offset) const;
  std::int32_t readI32(std::size_t offset) const { return static_cast<std::int32_t>(readU32(offset)); }
  std::uint8_t readU8(std::size_t offset) const;
  bool writeU32(std::size_t offset, std::uint32_t value);
  bool writeI32(std::size_t offset, std::int32_t value) { return writeU32(offset, static_cast<std::uint32_t>(value)); }
  bool writeU8(std::size_t offset, std::uint8_t value) { return write(offset, &value, 1); }
  // NUL-terminated text at offset, never read past the end of the record.
  std::string readText(std::size_t offset) const;
  // Writes text and its NUL when they fit before the end of the record.
  bool writeText(std::size_t offset, const char* text);

  // The segment's inter-process lock, for callers that hold it across
  // several steps (TqSyncGuard takes a TqSyncObjectBase).
  const TqSyncObjectBase& sync() const { return *this; }
  // Raw record bytes (null when unmapped); touch them only under sync().
  unsigned char* bytesUnlocked() const { return Segment::recordBytes(); }

 protected:
  explicit RecordView(const char* name) : Segment(name) {}
  ~RecordView() override = default;
};

class SYSDATA_API SystemInformation : public RecordView<SysInfoStruct> {
 public:
  // Maps "SystemInfo" and performs its first initialisation.
  SystemInformation();
  ~SystemInformation() override;
  SystemDef::SYS_INFO_MODEL getModel() const;
  SystemDef::SYS_INFO_DESTINATION getDestination() const;
  // Host side: what the host writes at boot.
  bool setModelAndDestination(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination);

  // '-' into each text field and the flag to 1, once per unit; every place
  // that maps "SystemInfo" calls it.
  void initialiseOnce();
};

class SYSDATA_API SysDataInformation : public RecordView<SysDataInfoStruct> {
 public:
  SysDataInformation();
  ~SysDataInformation() override;
  // Address of the text inside the mapping, or null when unmapped. Copy it at once.
  const char* getSaveFileDir() const;
  const char* getCalibrationDir() const;
  bool setSaveFileDir(const char* dir);
  bool setCalibrationDir(const char* dir);
};

class SYSDATA_API FuncInfoSharedMem : public RecordView<FuncInfoStruct> {
 public:
  FuncInfoSharedMem();
  ~FuncInfoSharedMem() override;
  std::uint32_t getLangSetCode() const;
  std::string getCustomizeFileName() const;
  std::uint8_t getDemoUserInit() const;
  bool setLangSetCode(std::uint32_t code);
  bool setCustomizeFileName(const char* name);
  bool setDemoUserInit(std::uint8_t value);
};

class SYSDATA_API FuncInfoProduct : public RecordView<FuncInfoProductStruct> {
 public:
  FuncInfoProduct();
  ~FuncInfoProduct() override;
  std::uint8_t getCameraHd() const;
  bool setCameraHd(std::uint8_t value);
};

class SYSDATA_API SysDataDefault : public RecordView<SysDataDefaultMem::Data> {
 public:
  SysDataDefault();
  ~SysDataDefault() override;
};

// ---- RecordView ----

template <class T>
bool RecordView<T>::read(std::size_t offset, void* out, std::size_t size) const {
  unsigned char* dst = static_cast<unsigned char*>(out);
  const unsigned char* src = Segment::recordBytes();
  if (src == nullptr || offset > kRecordSize || size > kRecordSize - offset) {
    for (std::size_t i = 0; i < size; ++i) dst[i] = 0;
    return false;
  }
  TqSyncGuard guard(sync());
  for (std::size_t i = 0; i < size; ++i) dst[i] = src[offset + i];
  return true;
}

template <class T>
bool RecordView<T>::write(std::size_t offset, const void* data, std::size_t size) {
  unsigned char* dst = Segment::recordBytes();
  if (dst == nullptr || offset > kRecordSize || size > kRecordSize - offset) return false;
  const unsigned char* src = static_cast<const unsigned char*>(data);
  TqSyncGuard guard(sync());
  for (std::size_t i = 0; i < size; ++i) dst[offset + i] = src[i];
  return true;
}

template <class T>
std::uint32_t RecordView<T>::readU32(std::size_t offset) const {
  unsigned char b[4];
  read(offset, b, 4);
  return sysdata::loadU32(b);
}

template <class T>
std::uint8_t RecordView<T>::readU8(std::size_t offset) const {
  unsigned char b = 0;
  read(offset, &b, 1);
  return b;
}

template <class T>
bool RecordView<T>::writeU32(std::size_t offset, std::uint32_t value) {
  unsigned char b[4];
  sysdata::storeU32(b, value);
  return write(offset, b, 4);
}

template <class T>
std::string RecordView<T>::readText(std::size_t offset) const {
  const unsigned char* src = Segment::recordBytes();
  if (src == nullptr || offset >= kRecordSize) return std::string();
  TqSyncGuard guard(sync());
  std::size_t end = offset;
  while (end < kRecordSize && src[end] != 0) ++end;
  return std::string(reinterpret_cast<const char*>(src + offset), end - offset);
}

template <class T>
bool RecordView<T>::writeText(std::size_t offset, const char* text) {
  if (text == nullptr) return false;
  std::size_t n = 0;
  while (text[n] != 0) ++n;
  return write(offset, text, n + 1);
}
