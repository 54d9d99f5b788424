// What every product settings file holds after its reset, written out here
// independently of the library's key lists: names, order, types and the raw
// text the store writes for each value.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "settings/KeyTable.h"

namespace sysdata_test {

struct ExpectedKey {
  std::string key;
  sysdata::KeyType type;
  std::string raw;
};

struct ExpectedFile {
  std::string name;
  bool binary;
  int registryId;
  // Key=value files.
  std::vector<ExpectedKey> keys;
  // Binary files.
  std::size_t size;
  unsigned char fill;
  bool exportDefaults;
};

inline std::ostream& operator<<(std::ostream& os, const ExpectedFile& f) { return os << f.name; }

namespace expected_detail {
using T = sysdata::KeyType;

inline ExpectedFile kv(const char* name, int id, std::vector<ExpectedKey> keys, bool exportDefaults = true) {
  return ExpectedFile{name, false, id, std::move(keys), 0, 0, exportDefaults};
}
inline ExpectedFile bin(const char* name, int id, std::size_t size, unsigned char fill = 0) {
  return ExpectedFile{name, true, id, {}, size, fill, true};
}

inline std::vector<ExpectedKey> favorites() {
  const int table[4][6][2] = {
      {{2, 13}, {26, 46}, {56, 16}, {115, 132}, {80, 140}, {7, 7}},
      {{16, 155}, {32, 25}, {116, 195}, {98, 151}, {8, 8}, {4, 163}},
      {{33, 44}, {18, 78}, {58, 17}, {6, 6}, {70, 23}, {34, 54}},
      {{28, 45}, {36, 34}, {67, 70}, {71, 73}, {76, 110}, {124, 130}},
  };
  std::vector<ExpectedKey> keys;
  for (int b = 0; b < 4; ++b) {
    for (int p = 0; p < 6; ++p) {
      const std::string stem = "Band" + std::to_string(b + 1) + "Preset" + std::to_string(p + 1);
      keys.push_back({stem + "Channel", T::Int, std::to_string(table[b][p][0])});
      keys.push_back({stem + "ContentType", T::Int, "6"});
      keys.push_back({stem + "ServiceID", T::Int, std::to_string(table[b][p][1])});
    }
  }
  return keys;
}

inline std::vector<ExpectedKey> attributes() {
  std::vector<ExpectedKey> keys;
  for (const char* stem : {"LockSIDV", "SkipSIDV"}) {
    for (const char* n : {"1", "10", "11", "12", "2", "3", "4", "5", "6", "7", "8", "9"}) {
      keys.push_back({std::string(stem) + n, T::Int, "0"});
    }
  }
  return keys;
}

inline std::vector<ExpectedKey> keyCodes() {
  const std::vector<std::pair<const char*, int>> gestures = {
      {"DispTouch", 11}, {"RightSlide", 5}, {"LeftSlide", 6},        {"UpSlide", 7},
      {"DownSlide", 8},  {"RightCurve", 35}, {"LeftCurve", 36},       {"UpCurve", 0},
      {"DownCurve", 1},  {"UpSlideTwoFingers", 2}, {"DownSlideTwoFingers", 3},
  };
  std::vector<ExpectedKey> keys;
  for (const char* stem : {"KeyCodeSetting", "KeyCode"}) {
    for (const auto& g : gestures) keys.push_back({std::string(stem) + g.first, T::Int, std::to_string(g.second)});
  }
  return keys;
}
}  // namespace expected_detail

// The 38 product files in the order of the product file list.
inline std::vector<ExpectedFile> expectedProductFiles() {
  using namespace expected_detail;
  return {
      kv("Sxm.ini", 0,
         {{"Band", T::Int, "0"}, {"Band1Preset", T::Int, "0"}, {"Band1ServiceID", T::Int, "1"},
          {"Band2Preset", T::Int, "0"}, {"Band2ServiceID", T::Int, "1"}, {"Band3Preset", T::Int, "0"},
          {"Band3ServiceID", T::Int, "1"}, {"Band4Preset", T::Int, "0"}, {"Band4ServiceID", T::Int, "1"},
          {"Channel", T::Int, "1"}, {"Preset", T::Int, "0"}, {"ServiceID", T::Int, "1"}}),
      bin("SxmAlertCity.ini", 0, 108),
      bin("SxmAlertMusic.ini", 1, 6488),
      bin("SxmAlertTeam.ini", 2, 6484),
      kv("SxmAttribute.ini", 1, attributes()),
      bin("SxmCityDb.ini", 3, 4352),
      kv("SxmCityDbBase.ini", 2,
         {{"CityDbBaseCount", T::Int, "0"}, {"CityDbBaseUpdate", T::Int, "0"}, {"CityDbBaseVersion", T::Int, "0"}}),
      kv("SxmContentAlertsSetting.ini", 3,
         {{"ArtistOnOff", T::Bool, "1"}, {"SongOnOff", T::Bool, "1"}, {"TeamOnOff", T::Bool, "1"}}),
      kv("SxmFavorite.ini", 4, favorites()),
      bin("SxmLeagueDb.ini", 4, 8704),
      kv("SxmLeagueDbBase.ini", 5,
         {{"LeagueDbBaseCount", T::Int, "0"}, {"LeagueDbBaseUpdate", T::Int, "0"},
          {"LeagueDbBaseVersion", T::Int, "0"}}),
      kv("SxmParental.ini", 6,
         {{"LockCode", T::Int, "0"}, {"LockCodeStatus", T::Int, "1"}, {"ParentalControl", T::Int, "0"}}),
      kv("SxmSetting.ini", 7,
         {{"ContentsAlert", T::Int, "1"}, {"SeekMode", T::Int, "0"}, {"SportsFlash", T::Int, "1"},
          {"TuneStart", T::Int, "1"}, {"SportsFlashBeep", T::Bool, "1"},
          {"FeaturedFavoritesUpdateMsg", T::Bool, "1"}}),
      bin("SxmSportsFlashTeam.ini", 5, 6480),
      bin("SxmTeamDb.ini", 6, 20480),
      kv("SxmTeamDbBase.ini", 8,
         {{"TeamDbBaseCount", T::Int, "0"}, {"TeamDbBaseUpdate", T::Int, "0"}, {"TeamDbBaseVersion", T::Int, "0"}}),
      kv("SxmResume.ini", 9, {{"ChannelListTextType", T::UInt, "1"}}),
      bin("SxmSportsFlashSettingListInfo.ini", 7, 1024),
      kv("SxmTuneMix.ini", 10, {{"TuneMixStatus", T::Bool, "0"}, {"TuneMixChannel", T::Int, "0"}}),
      kv("SxmBackupSetting.ini", 11, {{"TuneStartSetting", T::Bool, "1"}}),
      bin("SxmFeaturedFavorites.ini", 8, 4096),
      kv("ThirdPartyTv.ini", 12, {{"3rdPartyTvEnable", T::Bool, "0"}}),
      kv("AirGestureSetting.ini", 13,
         {{"Beep", T::Bool, "1"}, {"Enable", T::Bool, "1"}, {"MoveDown", T::UChar, "6"}, {"MoveLeft", T::UChar, "17"},
          {"MoveRight", T::UChar, "8"}, {"MoveUp", T::UChar, "7"}, {"Sensitivity", T::UChar, "7"}}),
      kv("ParkingAssistSettings.ini", 14, {{"ParkingAssistDisplay", T::Int, "1"}, {"ParkingAssistInt", T::Int, "2"}}),
      kv("MiracastSetting.ini", 15, {{"LastConnection", T::Int, "0"}, {"DeviceName", T::String, "Car Multimedia"}}),
      kv("GarminExtNaviSetting.ini", 16, {{"Vlolume", T::Int, "24"}}),
      kv("ThirdExtNaviSetting.ini", 17, {{"Vlolume", T::Int, "24"}}),
      kv("RemoteAppKeyCodeSetting.ini", 18, keyCodes()),
      kv("PhotoWidgetResumeInfo.ini", 19,
         {{"FileOrder", T::Int, "0"}, {"AscDesc", T::Int, "1"}, {"IntervalTime", T::Int, "5"},
          {"ContentsPath", T::String, ""}, {"DeviceKey", T::String, ""}, {"Crc", T::UInt, "0"}}),
      kv("DashCamSetting.ini", 20,
         {{"WarningOnOffFwd", T::Bool, "0"}, {"WarningOnOffLane", T::Bool, "0"}, {"WarningOnOffStart", T::Bool, "0"}}),
      kv("ImitationPwrOff.ini", 21,
         {{"ImitationPwrOffLastSource", T::Int, "65535"}, {"ImitationPwrOnOff", T::Bool, "0"},
          {"ImitationPwrOffLastSubSource", T::Int, "65535"}}),
      kv("InitialValueCustomize.ini", 22, {{"StartupCautionPath", T::String, ""}}),
      kv("MirroringModeSetting.ini", 23, {{"Mode", T::Int, "0"}, {"WifiPermission", T::Bool, "0"}}),
      kv("PowerOffMode.ini", 24, {{"PowerOffMode", T::Bool, "0"}}),
      kv("UsbMirroringSetting.ini", 25, {{"IOSPermission", T::Bool, "0"}, {"Guidance", T::Int, "19"}}),
      kv("DriveRecorder.ini", 26, {{"FrontRecorderLastConnect", T::Int, "0"}}, false),
      kv("ProductCameraSetting.ini", 27,
         {{"Allocation_Camera1", T::Int, "1"}, {"Allocation_Camera2", T::Int, "0"}, {"Allocation_Camera3", T::Int, "0"},
          {"Allocation_Camera4", T::Int, "0"}, {"MessageSetting", T::Int, "1"}}),
      kv("ProductCameraSignalSetting.ini", 28,
         {{"SignalSetting_Camera1", T::Int, "0"}, {"SignalSetting_Camera2", T::Int, "0"},
          {"SignalSetting_Camera3", T::Int, "0"}, {"SignalSetting_Camera4", T::Int, "0"}}),
  };
}

inline ExpectedFile expectedCalibrationFile() { return expected_detail::bin("AirGestureCalibration.ini", 9, 32, 0xFF); }

}  // namespace sysdata_test
