// Helpers shared by the data-utility tests: the product's file names as the
// product defines them (written out here, independently of the library's own
// list), a way to make a shared-memory segment impossible to map, directory
// listings, and reading a key file through the store's own parser.
#pragma once

#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "platform/TqSimulation.h"
#include "settings/KeyTable.h"
#include "standin/testing/HostCalls.h"
#include "tests/support/SimUnit.h"

namespace util_test {

// One simulated unit per test, with the host's base operations recorded from
// a clean start and answering true unless a test says otherwise.
class UtilTest : public sysdata_test::SimUnitTest {
 protected:
  void SetUp() override {
    standin::testing::ClearHostCalls();
    standin::testing::ResetHostResults();
  }
  void TearDown() override { standin::testing::ResetHostResults(); }

  // The base operations called so far, as "op(arg)".
  static std::vector<std::string> baseCalls() {
    std::vector<std::string> out;
    for (const auto& call : standin::testing::HostCalls()) out.push_back(call.op + "(" + call.arg + ")");
    return out;
  }
};

// The 38 product settings files in their fixed order; recordSize is 0 for a
// key=value file and the record size of a binary file.
struct ProductFile {
  const char* name;
  std::size_t recordSize;
};

inline const std::vector<ProductFile>& productFiles() {
  static const std::vector<ProductFile> files = {
      {"Sxm.ini", 0},
      {"SxmAlertCity.ini", 108},
      {"SxmAlertMusic.ini", 6488},
      {"SxmAlertTeam.ini", 6484},
      {"SxmAttribute.ini", 0},
      {"SxmCityDb.ini", 4352},
      {"SxmCityDbBase.ini", 0},
      {"SxmContentAlertsSetting.ini", 0},
      {"SxmFavorite.ini", 0},
      {"SxmLeagueDb.ini", 8704},
      {"SxmLeagueDbBase.ini", 0},
      {"SxmParental.ini", 0},
      {"SxmSetting.ini", 0},
      {"SxmSportsFlashTeam.ini", 6480},
      {"SxmTeamDb.ini", 20480},
      {"SxmTeamDbBase.ini", 0},
      {"SxmResume.ini", 0},
      {"SxmSportsFlashSettingListInfo.ini", 1024},
      {"SxmTuneMix.ini", 0},
      {"SxmBackupSetting.ini", 0},
      {"SxmFeaturedFavorites.ini", 4096},
      {"ThirdPartyTv.ini", 0},
      {"AirGestureSetting.ini", 0},
      {"ParkingAssistSettings.ini", 0},
      {"MiracastSetting.ini", 0},
      {"GarminExtNaviSetting.ini", 0},
      {"ThirdExtNaviSetting.ini", 0},
      {"RemoteAppKeyCodeSetting.ini", 0},
      {"PhotoWidgetResumeInfo.ini", 0},
      {"DashCamSetting.ini", 0},
      {"ImitationPwrOff.ini", 0},
      {"InitialValueCustomize.ini", 0},
      {"MirroringModeSetting.ini", 0},
      {"PowerOffMode.ini", 0},
      {"UsbMirroringSetting.ini", 0},
      {"DriveRecorder.ini", 0},
      {"ProductCameraSetting.ini", 0},
      {"ProductCameraSignalSetting.ini", 0},
  };
  return files;
}

// The navigation and user data files that reset by name empties.
inline const std::vector<std::string>& navigationFiles() {
  static const std::vector<std::string> names = {
      "gtm_nvm.dat",      "gmapsupp.unl",       "gmapsupp.gma",       "loc8.unl",
      "loc8.gma",         "pre.db",             "pre.bckup",          "user_strings.db",
      "custom_where_to.db", "dashboards.db",    "quick_search_list.db", "recent_searches.db",
      "GARMIN.NVM",       "GARMIN_NOR.NVM",     "GARMIN.NVM_BAK",     "GARMIN_NOR.NVM_BAK",
      "mlg_history.db",   "RecentStops.db",     "POI",                "DealerPOI",
      "Trips",            "Logs",               "mileage.csv",        "mileage_previous.csv",
      "UserWallpaper1.png", "UserWallpaper2.png", "DopWallpaper.bmp",
  };
  return names;
}

// Makes the simulated unit's segment name impossible to map for its life: a
// directory stands where the segment would be, so opening it fails for any
// user. Declare it after the SimUnit so that it goes first.
class BlockedSegment {
 public:
  explicit BlockedSegment(const char* name) {
    const std::string shmName = TqSimShmName(("/" + std::string(name)).c_str());
    dir_ = "/dev/shm" + shmName;
    ::unlink(dir_.c_str());
    ok_ = ::mkdir(dir_.c_str(), 0700) == 0;
  }
  ~BlockedSegment() { ::rmdir(dir_.c_str()); }
  BlockedSegment(const BlockedSegment&) = delete;
  BlockedSegment& operator=(const BlockedSegment&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string dir_;
  bool ok_ = false;
};

// Names in a directory, sorted ("." and ".." left out); empty when missing.
inline std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(path.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Every path under root with its size ("data/save/x.ini 12"), sorted: two
// snapshots compare equal when nothing was created, removed or resized.
inline void snapshotInto(const std::string& root, const std::string& relative, std::vector<std::string>& out) {
  for (const std::string& name : listDir(root + relative)) {
    const std::string rel = relative + "/" + name;
    struct stat st;
    if (::lstat((root + rel).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      out.push_back(rel + "/");
      snapshotInto(root, rel, out);
    } else {
      out.push_back(rel + " " + std::to_string(static_cast<long long>(st.st_size)));
    }
  }
}
inline std::vector<std::string> snapshot(const std::string& root) {
  std::vector<std::string> out;
  snapshotInto(root, "", out);
  return out;
}

// A key=value file in a host directory, read through the store's own parser,
// so the tests need not know how the store writes a value.
class StoreReader {
 public:
  StoreReader(sysdata_test::SimUnit& unit, const std::string& hostDir, const char* name) {
    // The store takes its directory from "SysDataInfo" when a file object is made.
    unit.setSaveFileDir(hostDir.c_str());
    file_.reset(TqSingleton<SaveFileAccessFactory>::GetInstance()->CreateMetaText(name, "a+"));
    unit.setSaveFileDir(sysdata_test::SimUnit::kSaveDir);
    if (file_) open_ = file_->FOpen();
  }
  ~StoreReader() {
    if (file_ && open_) file_->FClose();
  }
  StoreReader(const StoreReader&) = delete;
  StoreReader& operator=(const StoreReader&) = delete;

  bool ok() const { return file_ != nullptr && open_; }
  bool get(const char* key, sysdata::KeyType type, sysdata::KeyValue* out) {
    return ok() && sysdata::getKey(*file_, key, type, out);
  }
  std::vector<std::string> keys() {
    std::vector<std::string> result;
    if (ok()) file_->GetKeys(&result);
    return result;
  }

 private:
  std::unique_ptr<SaveFileAccessMetaText> file_;
  bool open_ = false;
};

}  // namespace util_test
