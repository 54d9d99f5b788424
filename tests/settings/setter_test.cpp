// Setters: any value written unchanged to their own key of their own file,
// the registry and the file object made on first use, other keys kept.
#include <gtest/gtest.h>

#include <dirent.h>

#include <atomic>
#include <climits>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/SysDataFactory.h"
#include "core/SysDataProductFactory.h"
#include "settings/CommonSettings.h"
#include "settings/FeatureSettings.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::keyValue;
using sysdata_test::SimUnit;

// Settings files in a directory; the store's hidden companions (locks,
// temporaries) are not settings files.
std::set<std::string> settingsFilesIn(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      if (e->d_name[0] != '.') names.insert(e->d_name);
    }
    ::closedir(d);
  }
  return names;
}

enum class Registry { Product, Common };

bool registryExists(Registry r) {
  return r == Registry::Product ? TqSingletonAccess<SysDataProductFactory>::peek() != nullptr
                                : TqSingletonAccess<SysDataFactory>::peek() != nullptr;
}

struct IntSetter {
  const char* label;
  void (*set)(int);
  const char* file;
  const char* key;
  Registry registry;
};

#define SETTER(Class, Op, File, Key, Reg) \
  {#Class "::" #Op, [](int v) { TqSingleton<Class>::GetInstance()->Op(v); }, File, Key, Reg}

const std::vector<IntSetter> kIntSetters = {
    SETTER(SysDataSettings, setDemoOnOff, "Settings.ini", "DemoOnOff", Registry::Common),
    SETTER(SysDataSettingsNoUserInit, setDemoOnOff, "SettingsNoUserInit.ini", "DemoOnOff", Registry::Common),
    SETTER(SysDataCamera, setCamGuideLineOnOff, "Camera.ini", "CamGuideLineOnOff", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiCenterY, "Camera.ini", "CamGuidePosiCenterY", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiLowerLeftX, "Camera.ini", "CamGuidePosiLowerLeftX", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiLowerLeftY, "Camera.ini", "CamGuidePosiLowerLeftY", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiLowerRightX, "Camera.ini", "CamGuidePosiLowerRightX", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiLowerRightY, "Camera.ini", "CamGuidePosiLowerRightY", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiUpperLeftX, "Camera.ini", "CamGuidePosiUpperLeftX", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiUpperLeftY, "Camera.ini", "CamGuidePosiUpperLeftY", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiUpperRightX, "Camera.ini", "CamGuidePosiUpperRightX", Registry::Common),
    SETTER(SysDataCamera, setCamGuidePosiUpperRightY, "Camera.ini", "CamGuidePosiUpperRightY", Registry::Common),
    SETTER(SysDataCamera, setRCamIntSetting, "Camera.ini", "RCamIntSetting", Registry::Common),
    SETTER(SysDataMic, setBtPhoneSndTalkVol, "Mic.ini", "BtPhoneSndTalkVol", Registry::Common),
    SETTER(SysDataMic, setEchoCancel, "Mic.ini", "EchoCancel", Registry::Common),
    SETTER(SysDataMic, setNoiseReduction, "Mic.ini", "NoiseReduction", Registry::Common),
    SETTER(SysDataProductCameraSetting, setMessageSetting, "ProductCameraSetting.ini", "MessageSetting",
           Registry::Product),
};
#undef SETTER

TEST(Setters, EveryIntSetterWritesAnyValueUnchangedToItsOwnKeyAndFile) {
  const std::vector<int> values = {-5, 0, 1, -1, INT_MIN, INT_MAX, 65535};
  for (const IntSetter& s : kIntSetters) {
    SCOPED_TRACE(s.label);
    SimUnit unit;  // a fresh unit: no registry, no file object yet
    const std::string path = unit.saveFile(s.file);
    // Another key of the same file is kept, in its place.
    sysdata_test::writeFile(path, "Neighbour=abc\n" + std::string(s.key) + "=12\n");
    standin::testing::ClearCreationCalls();
    ASSERT_FALSE(registryExists(s.registry));

    bool first = true;
    for (int v : values) {
      SCOPED_TRACE(v);
      s.set(v);
      if (first) {
        EXPECT_TRUE(registryExists(s.registry)) << "the setter creates the registry";
        first = false;
      }
      EXPECT_EQ(keyValue(path, s.key), std::to_string(v));
    }
    const auto calls = standin::testing::CreationCalls();
    ASSERT_EQ(calls.size(), 1u) << "one file object, made on first use";
    EXPECT_EQ(calls[0].op, "CreateMetaText");
    EXPECT_EQ(calls[0].name, s.file);
    EXPECT_EQ(calls[0].mode, "a+");
    EXPECT_EQ(sysdata_test::readKeyFile(path),
              (std::vector<std::pair<std::string, std::string>>{{"Neighbour", "abc"},
                                                                {s.key, std::to_string(values.back())}}));
    EXPECT_EQ(settingsFilesIn(unit.disk(SimUnit::kSaveDir)), std::set<std::string>{s.file})
        << "no other file is touched";
  }
}

TEST(Setters, StartupCautionPathIsStoredUnchangedEmptyIncluded) {
  SimUnit unit;
  const std::string path = unit.saveFile("InitialValueCustomize.ini");
  standin::testing::ClearCreationCalls();
  ASSERT_FALSE(registryExists(Registry::Product));
  const std::vector<std::string> values = {
      "/media/usb/caution.png", "", "  blanks around  ", "a=b=c", std::string(300, 'p'), "",
  };
  for (const std::string& v : values) {
    SCOPED_TRACE("'" + v + "'");
    TqSingleton<SysDataInitialValueCustomize>::GetInstance()->setStartupCautionPath(v);
    EXPECT_EQ(keyValue(path, "StartupCautionPath"), v);
    EXPECT_EQ(sysdata_test::readKeyFile(path).size(), 1u);
  }
  EXPECT_TRUE(registryExists(Registry::Product));
  ASSERT_EQ(standin::testing::CreationCalls().size(), 1u);
  EXPECT_EQ(standin::testing::CreationCalls()[0].name, "InitialValueCustomize.ini");
  EXPECT_EQ(settingsFilesIn(unit.disk(SimUnit::kSaveDir)), std::set<std::string>{"InitialValueCustomize.ini"});
}

// Resets and setters of one class from several threads serialise on the
// class lock: the file always ends as one whole reset plus setter writes.
TEST(Setters, ConcurrentResetsAndSettersOfOneFileStayWhole) {
  SimUnit unit;
  // The file exists in reset order first; later writes keep each key's place.
  TqSingleton<SysDataProductCameraSetting>::GetInstance()->initializeAllData();
  constexpr int kThreads = 4;
  constexpr int kRounds = 15;
  std::vector<std::thread> threads;
  std::atomic<bool> go{false};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int r = 0; r < kRounds; ++r) {
        if ((r + t) % 2 == 0) {
          TqSingleton<SysDataProductCameraSetting>::GetInstance()->initializeAllData();
        } else {
          TqSingleton<SysDataProductCameraSetting>::GetInstance()->setMessageSetting(100 + t);
        }
      }
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  const auto rows = sysdata_test::readKeyFile(unit.saveFile("ProductCameraSetting.ini"));
  ASSERT_EQ(rows.size(), 5u);
  const std::vector<std::string> keys = {"Allocation_Camera1", "Allocation_Camera2", "Allocation_Camera3",
                                         "Allocation_Camera4", "MessageSetting"};
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(rows[i].first, keys[i]);
  const std::set<std::string> possible = {"1", "100", "101", "102", "103"};
  EXPECT_EQ(possible.count(rows[4].second), 1u) << rows[4].second;
}

}  // namespace
