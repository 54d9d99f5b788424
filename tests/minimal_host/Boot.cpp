// The boot sequence a host runs with the product library, as a module the
// host loads: it fills the host's shared-memory records, then calls the
// library's hooks in the order the host calls them at power-on, and checks
// what they left in the host's store.
//
//   1. the records: model and destination ("SystemInfo"), the save-file and
//      calibration directories ("SysDataInfo"), the stored customization's
//      name ("FuncInfo");
//   2. SysDataUtilProduct::initSysDataDefault(model, destination): the
//      factory default table ("SysDataDefault");
//   3. SysDataUtilProduct::confirmCalibrationData(): the calibration file;
//   4. SysDataUtilProduct::initSysDataFile(name) for each product file;
//   5. CustomizeSysDataProduct::afterInitialize(type): a stored dealer
//      customization over the reset values (none here);
//   6. at power-off, the host's singleton finaliser.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "platform/SystemRecordLayout.h"
#include "platform/TqSingletonFinalizer.h"
#include "settings/SettingsCatalog.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "tests/minimal_host/MemoryStore.h"
#include "util/SysDataUtilProduct.h"

namespace {

constexpr SystemDef::SYS_INFO_MODEL kModel = SystemDef::SYS_INFO_MODEL_6;
constexpr SystemDef::SYS_INFO_DESTINATION kDestination = SystemDef::SYS_INFO_DESTINATION_5;
constexpr const char kSaveDir[] = "/data/save";
constexpr const char kCalibrationDir[] = "/data/calib";
// Offsets in the default table of two of its fields.
constexpr std::size_t kBeepVolDefault = 1768;
constexpr std::size_t kModelName = 4332;

// The host writes its records through the framework's segment template.
template <class T>
bool writeRecord(const char* segment, std::size_t offset, const void* data, std::size_t size) {
  TqSharedMemory<T, 1> shm(segment);
  if (shm.recordBytes() == nullptr) return false;
  TqSyncGuard guard(shm);
  std::memcpy(shm.recordBytes() + offset, data, size);
  return true;
}

template <class T>
std::string readBytes(const char* segment, std::size_t offset, std::size_t size) {
  TqSharedMemory<T, 1> shm(segment);
  if (shm.recordBytes() == nullptr) return std::string();
  TqSyncGuard guard(shm);
  return std::string(reinterpret_cast<const char*>(shm.recordBytes() + offset), size);
}

bool fillRecords() {
  unsigned char pair[8] = {};
  for (int i = 0; i < 4; ++i) {
    pair[i] = static_cast<unsigned char>(static_cast<std::uint32_t>(kModel) >> (8 * i));
    pair[4 + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(kDestination) >> (8 * i));
  }
  const char customize[] = "dop_customize.txt";
  return writeRecord<SysInfoStruct>("SystemInfo", record_layout::kSysInfoModel, pair, sizeof pair) &&
         writeRecord<SysDataInfoStruct>("SysDataInfo", record_layout::kSaveFileDir, kSaveDir, sizeof kSaveDir) &&
         writeRecord<SysDataInfoStruct>("SysDataInfo", record_layout::kCalibrationDir, kCalibrationDir,
                                        sizeof kCalibrationDir) &&
         writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kCustomizeFileName, customize, sizeof customize);
}

int fail(const char* what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "minimal host: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  const std::string log = minimal_host::log();
  if (!log.empty()) std::fprintf(stderr, "the library logged:\n%s", log.c_str());
  return 1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int minimal_host_boot() {
  if (!fillRecords()) return fail("cannot fill the shared-memory records");

  SysDataUtilProduct util;
  util.initSysDataDefault(kModel, kDestination);
  util.confirmCalibrationData();
  const sysdata::SettingsFileDef* files = sysdata::productFiles();
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) util.initSysDataFile(files[i].fileName);
  CustomizeSysDataProduct customize;
  customize.afterInitialize(CustomizeSysData::INITIALIZE_ALL);

  // What the boot left: the default table for the variant, every product
  // file reset, the calibration file made.
  const std::string beep = readBytes<SysDataDefaultMem::Data>("SysDataDefault", kBeepVolDefault, 4);
  if (beep != std::string("\x03\x00\x00\x00", 4)) return fail("the default table has no BeepVol 3");
  const std::string name = readBytes<SysDataDefaultMem::Data>("SysDataDefault", kModelName, 8);
  if (name != std::string("VH-C306\0", 8)) return fail("the default table does not name VH-C306");
  const auto settings = minimal_host::settingsFiles();
  const auto raw = minimal_host::rawFiles();
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
    const std::string file = files[i].fileName;
    const bool stored = files[i].kind == sysdata::FileKind::KeyValue
                            ? settings.count(file) != 0 && settings.at(file).size() == files[i].keyCount
                            : raw.count("/memory/" + file) != 0 &&
                                  raw.at("/memory/" + file).size() == files[i].recordSize;
    if (!stored) return fail("a product file was not reset", file);
  }
  if (settings.count("SxmSetting.ini") == 0 || settings.at("SxmSetting.ini").at("TuneStart") != "1") {
    return fail("SxmSetting.ini has no TuneStart 1");
  }
  if (raw.count(std::string(kCalibrationDir) + "/AirGestureCalibration.ini") == 0 &&
      raw.count("/memory/AirGestureCalibration.ini") == 0) {
    return fail("no calibration file");
  }
  if (!minimal_host::log().empty()) return fail("the library logged a problem");

  TqSingletonFinalizer::runDestroyFuncs();
  std::printf("minimal host: booted VH-C306, %zu product files reset, default table filled\n",
              sysdata::kProductFileCount);
  return 0;
}
