// Crashes: a child process works on the unit's files without pause (setters,
// resets, data-key writes and reads, customization imports and applies) and
// is killed with SIGKILL at a random moment, again and again. After every kill
// each file it touches is whole and readable, nothing that was once there is
// missing, and no lock is left held: this process can take every file's store
// lock, every shared-memory segment's lock and its own settings locks.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "settings/CommonSettings.h"
#include "settings/FeatureSettings.h"
#include "settings/SettingsCatalog.h"
#include "settings/SxmSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "util/SysDataUtilProduct.h"

namespace {

using sysdata_test::readFile;
using sysdata_test::SimUnit;
using sysdata_test::writeFile;

const char* const kDealerFile =
    "DOP_Customize\r\n"
    "[maker]2\r\n"
    "[miclevel]E\r\n"
    "[echocancel]3\r\n"
    "[noizereduction]A\r\n"
    "[lang]5\r\n"
    "[demo]1\r\n"
    "[illumi_1]A\r\n"
    "[illumiuser_Red]1F\r\n"
    "[illumiuser_Blue]7\r\n"
    "[pguideline]1\r\n"
    "[rcamera_message]1\r\n"
    "[glinevga_ulx]20\r\n"
    "[glinevga_uly]30\r\n"
    "[caution]logo.png\r\n"
    "~END\r\n";

// Key=value files the child writes, and whether the whole key table of a
// product file must be there once the file exists.
struct KeyFile {
  const char* name;
  const sysdata::SettingsFileDef* product;  // full key table expected, or null
  bool textValues;                          // values are strings, not numbers
};

// Binary record files the child resets.
struct RecordFile {
  const char* name;
  std::size_t size;
};

std::string imageBytes() {
  std::string s(4096, '\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 31 + 7);
  return s;
}

// The child: works until it is killed (or, should the parent vanish, until
// its own alarm ends it).
[[noreturn]] void workForever(unsigned int seed) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  ::alarm(60);
  std::mt19937 rng(seed);
  SettingsDataAccessor accessor;
  CustomizeSysDataProduct customize;
  for (;;) {
    const int v = static_cast<int>(rng() % 1000);
    switch (rng() % 11) {
      case 0:
        TqSingleton<SysDataMic>::GetInstance()->setBtPhoneSndTalkVol(v);
        break;
      case 1:
        TqSingleton<SysDataCamera>::GetInstance()->setCamGuidePosiUpperLeftX(v);
        break;
      case 2:
        accessor.setDataKeyIValue(settings_datakey::DATAKEY_TIME_ZONE, v);
        break;
      case 3:
        accessor.setDataKeyIValue(settings_datakey::DATAKEY_SYSTEM_LANG_ALL, v);
        break;
      case 4:
        (void)accessor.getDataKeyIValue(static_cast<settings_datakey::DataKeyID>(rng() % 31));
        break;
      case 5:
        TqSingleton<SysDataSxmFavorite>::GetInstance()->initializeAllData();
        break;
      case 6:
        TqSingleton<SysDataSxmTeamDb>::GetInstance()->initializeAllData();
        break;
      case 7:
        TqSingleton<SysDataSxmAlertCity>::GetInstance()->initializeAllData();
        break;
      case 8: {
        std::string path = "/media/usb/dop.txt";
        customize.import(path);
        break;
      }
      case 9:
        customize.afterInitialize(CustomizeSysData::INITIALIZE_ALL);
        break;
      case 10:
        TqSingleton<SysDataProductCameraSetting>::GetInstance()->setMessageSetting(v % 3);
        break;
    }
  }
}

class CrashLoop : public ::testing::Test {
 protected:
  CrashLoop() {
    unit.makeDir("media/usb");
    unit.makeSyslog();
    writeFile(unit.disk("/media/usb/dop.txt"), kDealerFile);
    writeFile(unit.disk("/media/usb/logo.png"), imageBytes());
    SysDataUtilProduct().initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
  }

  // Checks the unit after a kill; appends what is wrong to problems.
  void verify(const std::vector<KeyFile>& keyFiles, const std::vector<RecordFile>& records, int round,
              std::vector<std::string>* problems) {
    std::string why;
    for (const KeyFile& f : keyFiles) {
      const std::string path = unit.saveFile(f.name);
      if (!reliability::exists(path)) {
        if (!seenKeys_[f.name].empty()) problems->push_back(std::string(f.name) + " vanished");
        continue;
      }
      if (!reliability::keyFileWhole(readFile(path), &why)) problems->push_back(std::string(f.name) + ": " + why);
      // A fresh object opens it: the dead child's store lock went with it.
      auto file = reliability::freshMetaText(f.name);
      if (!file || !file->FOpen()) {
        problems->push_back(std::string("cannot open ") + f.name);
        continue;
      }
      std::vector<std::string> keys;
      file->GetKeys(&keys);
      std::set<std::string> now(keys.begin(), keys.end());
      for (const std::string& key : seenKeys_[f.name]) {
        if (now.count(key) == 0) problems->push_back(std::string(f.name) + ": key " + key + " was lost");
      }
      for (const std::string& key : keys) {
        int i = 0;
        unsigned int u = 0;
        std::string text;
        const bool readable = f.textValues ? file->Get(key.c_str(), &text)
                                           : (file->Get(key.c_str(), &i) || file->Get(key.c_str(), &u));
        if (!readable) problems->push_back(std::string(f.name) + ": key " + key + " does not read as its type");
      }
      file->FClose();
      seenKeys_[f.name] = now;
      // A reset file holds its whole key table, each key of its own type.
      if (f.product != nullptr && !reliability::productKeysRead(*f.product, &why)) problems->push_back(why);
    }
    for (const RecordFile& r : records) {
      const std::string path = unit.saveFile(r.name);
      if (!reliability::exists(path)) continue;
      if (!reliability::binaryRecordExact(path, r.size, 0, &why)) problems->push_back(why);
      auto file = reliability::freshBinary(r.name);
      if (!file || !file->FOpen()) {
        problems->push_back(std::string("cannot take the lock of ") + r.name);
      } else {
        file->FClose();
      }
    }
    const std::string copy = unit.disk(std::string("/Syslog/") + SimUnit::kCustomizeFileName);
    if (reliability::exists(copy) && readFile(copy) != kDealerFile) problems->push_back("stored copy differs");
    const std::string image = unit.disk("/Syslog/dop_startup_caution_img.png");
    if (reliability::exists(image) && readFile(image) != imageBytes()) problems->push_back("stored image differs");
    if (!reliability::allSegmentsAnswer()) problems->push_back("a shared-memory segment does not map");
    // This process's own settings lock is its own: the child's died with it.
    TqSingleton<SysDataMic>::GetInstance()->setNoiseReduction(round);
    auto mic = reliability::freshMetaText("Mic.ini");
    int got = -1;
    if (!mic || !mic->FOpen() || !mic->Get("NoiseReduction", &got) || got != round) {
      problems->push_back("a setter after the kill did not land");
    }
    if (mic) mic->FClose();
  }

  SimUnit unit;
  std::map<std::string, std::set<std::string>> seenKeys_;
};

TEST_F(CrashLoop, FilesStayWholeAndNoLockStaysHeldAfterSigkillAtRandomMoments) {
  const std::vector<KeyFile> keyFiles = {
      {"Mic.ini", nullptr, false},
      {"Camera.ini", nullptr, false},
      {"Settings.ini", nullptr, false},
      {"SettingsNoUserInit.ini", nullptr, false},
      {"SettingsSpecial.ini", nullptr, false},
      {"ProductCameraSetting.ini", nullptr, false},
      {"InitialValueCustomize.ini", nullptr, true},
      {"SxmFavorite.ini", sysdata::findProductFile("SxmFavorite.ini"), false},
  };
  const std::vector<RecordFile> records = {
      {"SxmTeamDb.ini", SysDataSxmTeamDb::kRecordSize},
      {"SxmAlertCity.ini", SysDataSxmAlertCity::kRecordSize},
  };
  ASSERT_NE(keyFiles.back().product, nullptr);

  const long maxKills = reliability::scaled(300, 20);
  const double maxSeconds = 60.0;
  const unsigned int seed = 20240611u;
  std::mt19937 rng(seed);
  long survived = 0, crashes = 0, unreadable = 0;
  const auto start = std::chrono::steady_clock::now();

  for (long round = 1; round <= maxKills && reliability::secondsSince(start) < maxSeconds; ++round) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0) << "fork";
    if (child == 0) workForever(seed + static_cast<unsigned int>(round));

    // Mostly mid-work; now and then at once, before the child got going.
    const unsigned int delayUs = (rng() % 8 == 0) ? rng() % 300 : rng() % 25000;
    std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
    ::kill(child, SIGKILL);
    int status = 0;
    {
      reliability::Watchdog watchdog(30, "waiting for a killed child");
      ASSERT_EQ(::waitpid(child, &status, 0), child);
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) {
      ++survived;
    } else {
      ++crashes;
      ADD_FAILURE() << "round " << round << ": the child ended by itself, status " << status;
    }

    std::vector<std::string> problems;
    {
      reliability::Watchdog watchdog(30, "taking the locks after kill " + std::to_string(round));
      verify(keyFiles, records, static_cast<int>(round), &problems);
    }
    if (!problems.empty()) {
      ++unreadable;
      for (const std::string& p : problems) ADD_FAILURE() << "after kill " << round << " (delay " << delayUs << " us): " << p;
    }
  }

  const int strays = reliability::strayTemporaries(unit.disk(SimUnit::kSaveDir)) +
                     reliability::strayTemporaries(unit.disk("/Syslog"));
  std::printf("RELIABILITY kills survived=%ld hangs=0 crashes=%ld unreadable=%ld seconds=%.1f stray-temporaries=%d\n",
              survived, crashes, unreadable, reliability::secondsSince(start), strays);
  EXPECT_GT(survived, 0);
}

}  // namespace
