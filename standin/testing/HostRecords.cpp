#include "standin/testing/HostRecords.h"

#include <cstddef>
#include <cstring>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "platform/SystemRecordLayout.h"
#include "platform/TqSync.h"

namespace standin {
namespace host_records {
namespace {

void putU32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

template <class T>
bool writeRecord(const char* segment, std::size_t offset, const void* data, std::size_t size) {
  if (offset > sizeof(T) || size > sizeof(T) - offset) return false;
  TqSharedMemory<T, 1> shm(segment);
  if (shm.recordBytes() == nullptr) return false;
  TqSyncGuard guard(shm);
  // A host writes a record only under its inter-process lock (a lock that
  // could not be had in time is a failed write, not an unguarded one).
  if (!shm.HeldAcrossProcesses()) return false;
  std::memcpy(shm.recordBytes() + offset, data, size);
  return true;
}

// Text and its NUL, ending before end.
template <class T>
bool writeText(const char* segment, std::size_t offset, std::size_t end, const char* text) {
  if (text == nullptr) return false;
  const std::size_t n = std::strlen(text) + 1;
  if (n > end - offset) return false;
  return writeRecord<T>(segment, offset, text, n);
}

template <class T>
bool readRecord(const char* segment, std::size_t offset, void* out, std::size_t size) {
  std::memset(out, 0, size);
  TqSharedMemory<T, 1> shm(segment);
  if (shm.recordBytes() == nullptr) return false;
  TqSyncGuard guard(shm);
  std::memcpy(out, shm.recordBytes() + offset, size);
  return true;
}

template <class T>
std::string readText(const char* segment, std::size_t offset) {
  TqSharedMemory<T, 1> shm(segment);
  const unsigned char* bytes = shm.recordBytes();
  if (bytes == nullptr) return std::string();
  TqSyncGuard guard(shm);
  std::size_t end = offset;
  while (end < sizeof(T) && bytes[end] != 0) ++end;
  return std::string(reinterpret_cast<const char*>(bytes + offset), end - offset);
}

}  // namespace

bool setPair(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination) {
  unsigned char b[8];
  putU32(b, static_cast<std::uint32_t>(model));
  putU32(b + 4, static_cast<std::uint32_t>(destination));
  return writeRecord<SysInfoStruct>("SystemInfo", record_layout::kSysInfoModel, b, sizeof b);
}

bool setSaveFileDir(const char* dir) {
  return writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kSaveFileDir, record_layout::kCalibrationDir,
                                      dir);
}

bool setCalibrationDir(const char* dir) {
  return writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kCalibrationDir, sizeof(SysDataInfoStruct),
                                      dir);
}

bool setLangSetCode(std::uint32_t code) {
  unsigned char b[4];
  putU32(b, code);
  return writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kLangSetCode, b, sizeof b);
}

bool setCustomizeFileName(const char* name) {
  return writeText<FuncInfoStruct>("FuncInfo", record_layout::kCustomizeFileName, record_layout::kDemoUserInit,
                                   name);
}

bool setDemoUserInit(std::uint8_t value) {
  return writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kDemoUserInit, &value, 1);
}

bool setCameraHd(std::uint8_t value) {
  return writeRecord<FuncInfoProductStruct>("FuncInfoProduct", record_layout::kCameraHd, &value, 1);
}

std::uint32_t langSetCode() {
  unsigned char b[4];
  readRecord<FuncInfoStruct>("FuncInfo", record_layout::kLangSetCode, b, sizeof b);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::string customizeFileName() { return readText<FuncInfoStruct>("FuncInfo", record_layout::kCustomizeFileName); }

std::uint8_t demoUserInit() {
  std::uint8_t value = 0;
  readRecord<FuncInfoStruct>("FuncInfo", record_layout::kDemoUserInit, &value, 1);
  return value;
}

std::uint8_t cameraHd() {
  std::uint8_t value = 0;
  readRecord<FuncInfoProductStruct>("FuncInfoProduct", record_layout::kCameraHd, &value, 1);
  return value;
}

std::string calibrationDir() {
  return readText<SysDataInfoStruct>("SysDataInfo", record_layout::kCalibrationDir);
}

}  // namespace host_records
}  // namespace standin
