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
//
// Then what the integration guide asks of a host, checked here:
//  - the host's text fields of "SystemInfo" are written after the library's
//    first mapping (a SystemInformation view made by the host sets the flag
//    at 553), and are then kept;
//  - the store keeps "AirGestureCalibration.ini" in the calibration
//    directory, so a measured calibration survives the next power-on;
//  - the host's TqStorage allows a Seek past the end, after which ReadLine
//    reads nothing: a dealer file of 1 MiB is taken, one byte more is
//    refused with the library's message;
//  - the store's Create* run under the registry's creation lock (so they
//    must not call back into the library): another thread's first lookup
//    of another file does not reach the store until Create* has returned.
//
// The module uses only what the library exports (the host's view of it): the
// product file names and their sizes come from the settings headers.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "core/SysDataProductFactory.h"
#include "core/SystemRecords.h"
#include "platform/SystemRecordLayout.h"
#include "platform/TqSingletonFinalizer.h"
#include "platform/TqStorage.h"
#include "settings/FeatureSettings.h"
#include "settings/SxmSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "tests/minimal_host/MemoryStore.h"
#include "util/SysDataUtilProduct.h"

namespace {

constexpr SystemDef::SYS_INFO_MODEL kModel = SystemDef::SYS_INFO_MODEL_6;
constexpr SystemDef::SYS_INFO_DESTINATION kDestination = SystemDef::SYS_INFO_DESTINATION_5;
using minimal_host::kCalibrationDir;
using minimal_host::kSaveDir;
// The 38 product files as a host knows them: a key=value file with its number
// of keys, or a binary file with its record size.
#define MINIMAL_HOST_COUNT_KEY(Name, Type, Default) +1
struct ProductFile {
  const char* name;
  std::size_t keys;
  std::size_t recordSize;
};
const ProductFile kProductFiles[] = {
    {"Sxm.ini", 0 SYSDATA_SXM_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmAlertCity.ini", 0, SysDataSxmAlertCity::kRecordSize},
    {"SxmAlertMusic.ini", 0, SysDataSxmAlertMusic::kRecordSize},
    {"SxmAlertTeam.ini", 0, SysDataSxmAlertTeam::kRecordSize},
    {"SxmAttribute.ini", 0 SYSDATA_SXM_ATTRIBUTE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmCityDb.ini", 0, SysDataSxmCityDb::kRecordSize},
    {"SxmCityDbBase.ini", 0 SYSDATA_SXM_CITY_DB_BASE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmContentAlertsSetting.ini", 0 SYSDATA_SXM_CONTENT_ALERTS_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmFavorite.ini", 0 SYSDATA_SXM_FAVORITE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmLeagueDb.ini", 0, SysDataSxmLeagueDb::kRecordSize},
    {"SxmLeagueDbBase.ini", 0 SYSDATA_SXM_LEAGUE_DB_BASE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmParental.ini", 0 SYSDATA_SXM_PARENTAL_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmSetting.ini", 0 SYSDATA_SXM_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmSportsFlashTeam.ini", 0, SysDataSxmSportsFlashTeam::kRecordSize},
    {"SxmTeamDb.ini", 0, SysDataSxmTeamDb::kRecordSize},
    {"SxmTeamDbBase.ini", 0 SYSDATA_SXM_TEAM_DB_BASE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmResume.ini", 0 SYSDATA_SXM_RESUME_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmSportsFlashSettingListInfo.ini", 0, SysDataSxmSportsFlashSettingListInfo::kRecordSize},
    {"SxmTuneMix.ini", 0 SYSDATA_SXM_TUNE_MIX_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmBackupSetting.ini", 0 SYSDATA_SXM_BACKUP_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"SxmFeaturedFavorites.ini", 0, SysDataSxmFeaturedFavorites::kRecordSize},
    {"ThirdPartyTv.ini", 0 SYSDATA_THIRD_PARTY_TV_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"AirGestureSetting.ini", 0 SYSDATA_AIR_GESTURE_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"ParkingAssistSettings.ini", 0 SYSDATA_PARKING_ASSIST_SETTINGS_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"MiracastSetting.ini", 0 SYSDATA_MIRACAST_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"GarminExtNaviSetting.ini", 0 SYSDATA_GARMIN_EXT_NAVI_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"ThirdExtNaviSetting.ini", 0 SYSDATA_THIRD_EXT_NAVI_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"RemoteAppKeyCodeSetting.ini", 0 SYSDATA_REMOTE_APP_KEY_CODE_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"PhotoWidgetResumeInfo.ini", 0 SYSDATA_PHOTO_WIDGET_RESUME_INFO_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"DashCamSetting.ini", 0 SYSDATA_DASH_CAM_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"ImitationPwrOff.ini", 0 SYSDATA_IMITATION_PWR_OFF_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"InitialValueCustomize.ini", 0 SYSDATA_INITIAL_VALUE_CUSTOMIZE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"MirroringModeSetting.ini", 0 SYSDATA_MIRRORING_MODE_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"PowerOffMode.ini", 0 SYSDATA_POWER_OFF_MODE_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"UsbMirroringSetting.ini", 0 SYSDATA_USB_MIRRORING_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"DriveRecorder.ini", 0 SYSDATA_DRIVE_RECORDER_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"ProductCameraSetting.ini", 0 SYSDATA_PRODUCT_CAMERA_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
    {"ProductCameraSignalSetting.ini", 0 SYSDATA_PRODUCT_CAMERA_SIGNAL_SETTING_KEYS(MINIMAL_HOST_COUNT_KEY), 0},
};
constexpr std::size_t kProductFileCount = sizeof kProductFiles / sizeof kProductFiles[0];
static_assert(kProductFileCount == 38, "the product has 38 settings files");

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

// One power-on: steps 2 and 3 (the records stay as step 1 left them).
void powerOn(const SysDataUtilProduct& util) {
  util.initSysDataDefault(kModel, kDestination);
  util.confirmCalibrationData();
}

std::string calibrationPath() { return std::string(kCalibrationDir) + "/AirGestureCalibration.ini"; }

// Writes a raw file as the host's own programs do, through TqStorage.
bool writeFile(const std::string& path, const std::string& content) {
  TqStorage file;
  if (!file.Open(path.c_str(), "w")) return false;
  const bool written = file.Write(content.data(), static_cast<long long>(content.size())) ==
                       static_cast<long long>(content.size());
  file.Close();
  return written;
}

// A text field of "SystemInfo" the host fills (the first of the fifteen).
constexpr std::size_t kHostTextField = record_layout::kSysInfoTextFields[0];
constexpr const char kHostText[] = "HU-0042";

// The dealer file's size check on this host's TqStorage: a file of exactly
// kMaxFileSize bytes passes it, one byte more is refused with the library's
// message before a line is read.
int checkDealerFileSize() {
  const std::string header = "DOP_Customize\n[lang]1\n";
  const std::size_t limit = 1024 * 1024;
  struct Row {
    const char* what;
    std::size_t size;
    bool accepted;
  } rows[] = {{"a dealer file of 1 MiB", limit, true}, {"a dealer file of 1 MiB + 1", limit + 1, false}};
  for (const Row& row : rows) {
    std::string content = header;
    // Padding as a comment line, so the accepted file is a valid one.
    content += "#" + std::string(row.size - header.size() - 2, 'x') + "\n";
    if (content.size() != row.size) return fail("cannot build", row.what);
    const std::string path = "/usb/dop_customize.txt";
    if (!writeFile(path, content)) return fail("cannot write", row.what);
    minimal_host::clearLog();
    std::string argument = path;
    CustomizeSysDataProduct customize;
    const bool imported = customize.import(argument);
    const std::string log = minimal_host::log();
    if (imported != row.accepted) return fail(row.accepted ? "refused" : "imported", row.what);
    const bool sizeMessage = log.find("<----- Size of InitializeValueCustomize is NG[>1048576] !!!!! ----->") !=
                             std::string::npos;
    if (sizeMessage == row.accepted) return fail("the size message is wrong for", row.what);
  }
  minimal_host::clearLog();
  return 0;
}

// The creation lock: the store's first Create* starts a second thread's
// lookup of another file and waits a while for it to reach the store; it
// must not get there before this Create* returns.
std::atomic<int> g_creations{0};
std::atomic<bool> g_overlap{false};
std::thread g_other;

void onCreation(const char*) {
  if (++g_creations != 1) return;
  g_other = std::thread([] {
    TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(SysDataProductFactory::SYSDATA_METATXT_SXM_ATTRIBUTE);
  });
  for (int i = 0; i < 40 && g_creations.load() == 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (g_creations.load() != 1) g_overlap = true;
}

int checkCreationLock() {
  // A fresh registry (the boot's was destroyed at teardown): its slots are
  // empty, so both lookups reach the store.
  minimal_host::setCreationHook(&onCreation);
  TqSingleton<SysDataProductFactory>::GetInstance()->getMetaText(SysDataProductFactory::SYSDATA_METATXT_SXM);
  if (g_other.joinable()) g_other.join();
  minimal_host::setCreationHook(nullptr);
  TqSingletonFinalizer::runDestroyFuncs();
  if (g_creations.load() != 2) return fail("the store was not asked for both files");
  if (g_overlap.load()) return fail("a second Create* ran while the first was running: no creation lock");
  return 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int minimal_host_boot() {
  if (!fillRecords()) return fail("cannot fill the shared-memory records");

  // The host's text fields: only after the library's first mapping of
  // "SystemInfo", which marks its text fields with '-'. The host makes that
  // mapping itself with a view, then writes them; they are kept from now on.
  { const SystemInformation first; }
  if (readBytes<SysInfoStruct>("SystemInfo", record_layout::kSysInfoInitialised, 1) != std::string(1, '\1')) {
    return fail("the first SystemInformation view did not mark \"SystemInfo\" initialised");
  }
  if (!writeRecord<SysInfoStruct>("SystemInfo", kHostTextField, kHostText, sizeof kHostText)) {
    return fail("cannot write a text field of \"SystemInfo\"");
  }

  SysDataUtilProduct util;
  powerOn(util);
  for (const ProductFile& file : kProductFiles) util.initSysDataFile(file.name);
  CustomizeSysDataProduct customize;
  customize.afterInitialize(CustomizeSysData::INITIALIZE_ALL);

  // What the boot left: the default table for the variant, every product
  // file reset, the calibration file made where the library looks for it.
  const std::string beep = readBytes<SysDataDefaultMem::Data>("SysDataDefault", kBeepVolDefault, 4);
  if (beep != std::string("\x03\x00\x00\x00", 4)) return fail("the default table has no BeepVol 3");
  const std::string name = readBytes<SysDataDefaultMem::Data>("SysDataDefault", kModelName, 8);
  if (name != std::string("VH-C306\0", 8)) return fail("the default table does not name VH-C306");
  const auto settings = minimal_host::settingsFiles();
  auto raw = minimal_host::rawFiles();
  for (const ProductFile& file : kProductFiles) {
    const std::string fileName = file.name;
    const bool stored = file.recordSize == 0
                            ? settings.count(fileName) != 0 && settings.at(fileName).size() == file.keys
                            : raw.count("/memory/" + fileName) != 0 &&
                                  raw.at("/memory/" + fileName).size() == file.recordSize;
    if (!stored) return fail("a product file was not reset", fileName);
  }
  if (settings.count("SxmSetting.ini") == 0 || settings.at("SxmSetting.ini").at("TuneStart") != "1") {
    return fail("SxmSetting.ini has no TuneStart 1");
  }
  if (raw.count(calibrationPath()) == 0 ||
      raw.at(calibrationPath()) != std::string(SysDataAirGestureCalibration::kRecordSize, '\xff')) {
    return fail("no calibration file of 0xFF in the calibration directory");
  }
  if (!minimal_host::log().empty()) return fail("the library logged a problem");

  // The unit measures its calibration; the next power-on keeps it.
  const std::string measured(SysDataAirGestureCalibration::kRecordSize, '\x2a');
  if (!writeFile(calibrationPath(), measured)) return fail("cannot write the measured calibration");
  powerOn(util);
  raw = minimal_host::rawFiles();
  if (raw.at(calibrationPath()) != measured) return fail("the second power-on lost the measured calibration");

  // The host's text field kept through the second power-on.
  if (readBytes<SysInfoStruct>("SystemInfo", kHostTextField, sizeof kHostText) !=
      std::string(kHostText, sizeof kHostText)) {
    return fail("the host's text field of \"SystemInfo\" was changed");
  }

  if (const int rc = checkDealerFileSize()) return rc;

  TqSingletonFinalizer::runDestroyFuncs();
  if (const int rc = checkCreationLock()) return rc;
  std::printf("minimal host: booted VH-C306, %zu product files reset, default table filled, "
              "calibration kept, dealer file size checked, Create* under the creation lock\n",
              kProductFileCount);
  return 0;
}
