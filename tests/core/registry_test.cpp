// The file registries: identifier -> the store's file object, made once with
// the creation operation and mode of its row, kept until the registry goes,
// null (and nothing made) outside the table, and tried again after a failed
// creation.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "core/SysDataFactory.h"
#include "core/SysDataProductFactory.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

// ---- watching deletions ----
// A registry's destructor is observable only through the deletions it makes,
// so this binary routes every allocation through malloc/free and notes the
// deletion of the pointers a test watches.
namespace deletion_watch {
constexpr int kMax = 64;
std::atomic<void*> watched[kMax];
std::atomic<int> watchedCount{0};
std::atomic<int> order[kMax];  // 1-based position of watched[i]'s deletion; 0: not deleted
std::atomic<int> deletions{0};

void note(void* p) {
  const int n = watchedCount.load(std::memory_order_acquire);
  for (int i = 0; i < n; ++i) {
    void* expected = p;
    // Once deleted, the address is free for another object (an allocator
    // such as ThreadSanitizer's hands it out again at once): no longer watched.
    if (watched[i].compare_exchange_strong(expected, nullptr, std::memory_order_relaxed)) {
      order[i].store(++deletions);
      return;
    }
  }
}
void reset() {
  watchedCount = 0;
  deletions = 0;
  for (int i = 0; i < kMax; ++i) {
    watched[i] = nullptr;
    order[i] = 0;
  }
}
int watch(void* p) {
  const int i = watchedCount.load();
  watched[i] = p;
  watchedCount.store(i + 1, std::memory_order_release);
  return i;
}
}  // namespace deletion_watch

// Not inlined: an optimising compiler that sees malloc and free inside would
// take the pair for a mismatched new and free.
__attribute__((noinline)) void* operator new(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
  if (p != nullptr) deletion_watch::note(p);
  std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
  if (p != nullptr) deletion_watch::note(p);
  std::free(p);
}

namespace {

using standin::testing::ClearCreationCalls;
using standin::testing::CreationCall;
using standin::testing::CreationCalls;
using sysdata_test::SimUnitTest;
using PF = SysDataProductFactory;
using CF = SysDataFactory;

const char* const kProductText[29] = {
    "Sxm.ini", "SxmAttribute.ini", "SxmCityDbBase.ini", "SxmContentAlertsSetting.ini", "SxmFavorite.ini",
    "SxmLeagueDbBase.ini", "SxmParental.ini", "SxmSetting.ini", "SxmTeamDbBase.ini", "SxmResume.ini",
    "SxmTuneMix.ini", "SxmBackupSetting.ini", "ThirdPartyTv.ini", "AirGestureSetting.ini",
    "ParkingAssistSettings.ini", "MiracastSetting.ini", "GarminExtNaviSetting.ini", "ThirdExtNaviSetting.ini",
    "RemoteAppKeyCodeSetting.ini", "PhotoWidgetResumeInfo.ini", "DashCamSetting.ini", "ImitationPwrOff.ini",
    "InitialValueCustomize.ini", "MirroringModeSetting.ini", "PowerOffMode.ini", "UsbMirroringSetting.ini",
    "DriveRecorder.ini", "ProductCameraSetting.ini", "ProductCameraSignalSetting.ini",
};
const char* const kProductBinary[10] = {
    "SxmAlertCity.ini", "SxmAlertMusic.ini", "SxmAlertTeam.ini", "SxmCityDb.ini", "SxmLeagueDb.ini",
    "SxmSportsFlashTeam.ini", "SxmTeamDb.ini", "SxmSportsFlashSettingListInfo.ini", "SxmFeaturedFavorites.ini",
    "AirGestureCalibration.ini",
};
const char* const kCommonText[81] = {
    "AndroidAuto.ini", "AvIn.ini", "BtPhoneSetting.ini", "BtSetting.ini",
    "Camera.ini", "CarMaker.ini", "CarPlayInfo.ini", "CarPlaySetting.ini",
    "DiscFactory.ini", "DiscFirmwareUpdate.ini", "DiscRecResume.ini", "DiscRecSetting.ini",
    "DiscDvdSetup.ini", "DiscResumeInfo.ini", "DopWallpaperSetting.ini", "DtvError.ini",
    "DtvFunctionEnable.ini", "DtvSetting.ini", "FileDiscResumeInfo.ini", "FunctionController.ini",
    "GpsError.ini", "InMemResume.ini", "IpodSettings.ini", "MechaHistory.ini",
    "MobileSettings.ini", "MultiAVDevices.ini", "MultiAVResume.ini", "NaviCountryInfoSetting.ini",
    "NaviLog.ini", "NaviVoiceSetting.ini", "PanelMecha.ini", "PanelMechaAdjust.ini",
    "PanelMechaAdjust2.ini", "PlayingHistory.ini", "PModeTestResult.ini", "ProductAlarmSetting.ini",
    "Remocon.ini", "RemoconCustmoize.ini", "SafeModeSetting.ini", "SdResume1.ini",
    "SensorSysLog.ini", "Settings.ini", "SettingsNoUserInit.ini", "SettingsSpecial.ini",
    "SetupMem.ini", "Sound.ini", "Mic.ini", "SoundInitTypeFactory.ini",
    "Standby.ini", "SysMngData.ini", "TmcSysLog.ini", "TouchCalibration.ini",
    "TunerPreset.ini", "TunerResume.ini", "UsbResume1.ini", "UsbResume2.ini",
    "UsbResume3.ini", "UsbResume4.ini", "UsbResume5.ini", "UsbResume6.ini",
    "UsbResume7.ini", "UsbResume8.ini", "UsbTethering.ini", "UserData1.ini",
    "UserData2.ini", "UserManager.ini", "Wallpaper.ini", "WifiSetting.ini",
    "HeadUnitIdentifier.ini", "DabResume.ini", "SystemHistory.ini", "KeyIllumiAdjust.ini",
    "HdmiOut.ini", "DabSetting.ini", "HdRadioResume.ini", "TunerAbroadResume.ini",
    "TunerPresetFM.ini", "TunerPresetAM.ini", "TunerSetting.ini", "TunerBasic.ini",
    "TunerArea.ini",
};

enum class Registry { ProductText, ProductBinary, CommonText };

struct Slot {
  Registry registry;
  int id;
  bool operator==(const Slot& o) const { return registry == o.registry && id == o.id; }
};
std::ostream& operator<<(std::ostream& os, const Slot& s) {
  static const char* const kNames[] = {"product text", "product binary", "common text"};
  return os << kNames[static_cast<int>(s.registry)] << " id " << s.id;
}

struct Row {
  Slot slot;
  std::string name;
  std::string op;
  std::string mode;
};
std::ostream& operator<<(std::ostream& os, const Row& r) { return os << r.slot << " (" << r.name << ")"; }

std::vector<Row> allRows() {
  std::vector<Row> rows;
  for (int id = 0; id < 29; ++id) {
    rows.push_back({{Registry::ProductText, id}, kProductText[id], "CreateMetaText", "a+"});
  }
  for (int id = 0; id < 10; ++id) {
    rows.push_back({{Registry::ProductBinary, id}, kProductBinary[id], id == 9 ? "CreateFlush" : "Create", "r+"});
  }
  for (int id = 0; id < 81; ++id) {
    const bool flush = id == 8 || id == 31 || id == 34 || id == 68 || id == 71;
    rows.push_back(
        {{Registry::CommonText, id}, kCommonText[id], flush ? "CreateMetaTextFlush" : "CreateMetaText", "a+"});
  }
  return rows;
}

SaveFileAccessBase* lookup(const Slot& s) {
  switch (s.registry) {
    case Registry::ProductText:
      return TqSingleton<PF>::GetInstance()->getMetaText(static_cast<PF::SYSDATA_METATXT_ID>(s.id));
    case Registry::ProductBinary:
      return TqSingleton<PF>::GetInstance()->getBinary(static_cast<PF::SYSDATA_BINARY_ID>(s.id));
    case Registry::CommonText:
      return TqSingleton<CF>::GetInstance()->getMetaText(static_cast<CF::SYSDATA_METATXT_ID>(s.id));
  }
  return nullptr;
}

const char* nameOf(const Slot& s) {
  switch (s.registry) {
    case Registry::ProductText:
      return PF::metaTextName(static_cast<PF::SYSDATA_METATXT_ID>(s.id));
    case Registry::ProductBinary:
      return PF::binaryName(static_cast<PF::SYSDATA_BINARY_ID>(s.id));
    case Registry::CommonText:
      return CF::metaTextName(static_cast<CF::SYSDATA_METATXT_ID>(s.id));
  }
  return nullptr;
}

TEST_F(SimUnitTest, EveryIdIsCreatedOnceWithTheOperationAndModeOfItsRow) {
  for (const Row& row : allRows()) {
    SCOPED_TRACE(::testing::Message() << row);
    ASSERT_NE(nameOf(row.slot), nullptr);
    EXPECT_EQ(nameOf(row.slot), row.name);
    ClearCreationCalls();
    SaveFileAccessBase* first = lookup(row.slot);
    ASSERT_NE(first, nullptr);
    const std::vector<CreationCall> calls = CreationCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].op, row.op);
    EXPECT_EQ(calls[0].name, row.name);
    EXPECT_EQ(calls[0].mode, row.mode);
    EXPECT_EQ(first->name(), row.name);

    ClearCreationCalls();
    EXPECT_EQ(lookup(row.slot), first);
    EXPECT_TRUE(CreationCalls().empty()) << "a filled slot does not call the store";
  }
}

TEST_F(SimUnitTest, IdsOutsideTheTablesGiveNullAndCreateNothing) {
  const std::vector<Slot> cases = {
      {Registry::ProductText, 29},   {Registry::ProductText, -1},   {Registry::ProductText, 1000},
      {Registry::ProductBinary, 10}, {Registry::ProductBinary, -1}, {Registry::ProductBinary, 121},
      {Registry::CommonText, 81},    {Registry::CommonText, -1},    {Registry::CommonText, 0x7FFFFFFF},
  };
  ClearCreationCalls();
  for (const Slot& c : cases) {
    SCOPED_TRACE(::testing::Message() << c);
    EXPECT_EQ(lookup(c), nullptr);
    EXPECT_EQ(nameOf(c), nullptr);
  }
  EXPECT_TRUE(CreationCalls().empty());
}

TEST_F(SimUnitTest, AFailedCreationIsReturnedAsNullAndTriedAgain) {
  const std::vector<Row> rows = {
      {{Registry::ProductText, 4}, "SxmFavorite.ini", "CreateMetaText", "a+"},
      {{Registry::ProductBinary, 9}, "AirGestureCalibration.ini", "CreateFlush", "r+"},
      {{Registry::CommonText, 41}, "Settings.ini", "CreateMetaText", "a+"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row);
    standin::testing::FailCreationOf(row.name);
    ClearCreationCalls();
    EXPECT_EQ(lookup(row.slot), nullptr);
    EXPECT_EQ(lookup(row.slot), nullptr);
    EXPECT_EQ(CreationCalls().size(), 2u) << "each lookup tries again";

    standin::testing::ClearCreationFailures();
    SaveFileAccessBase* made = lookup(row.slot);
    EXPECT_NE(made, nullptr);
    EXPECT_EQ(CreationCalls().size(), 3u);
    EXPECT_EQ(lookup(row.slot), made);
    EXPECT_EQ(CreationCalls().size(), 3u);
  }
}

TEST_F(SimUnitTest, DestroyingARegistryDeletesExactlyItsObjectsTextThenBinaryInIdOrder) {
  deletion_watch::reset();
  // Looked up out of order; deleted text ids ascending, then binary ids ascending.
  const std::vector<Slot> lookups = {
      {Registry::ProductBinary, 3}, {Registry::ProductText, 20}, {Registry::ProductText, 2},
      {Registry::ProductBinary, 1}, {Registry::ProductText, 5},
  };
  const std::vector<Slot> expectedOrder = {
      {Registry::ProductText, 2},   {Registry::ProductText, 5},   {Registry::ProductText, 20},
      {Registry::ProductBinary, 1}, {Registry::ProductBinary, 3},
  };
  std::vector<std::pair<Slot, int>> watched;
  for (const Slot& s : lookups) {
    SaveFileAccessBase* p = lookup(s);
    ASSERT_NE(p, nullptr);
    watched.push_back({s, deletion_watch::watch(p)});
  }
  // An object of the other registry survives this registry's end.
  SaveFileAccessBase* common = lookup({Registry::CommonText, 46});
  ASSERT_NE(common, nullptr);
  const int commonIndex = deletion_watch::watch(common);

  TqSingleton<PF>::destroy();

  EXPECT_EQ(deletion_watch::order[commonIndex].load(), 0);
  EXPECT_EQ(deletion_watch::deletions.load(), static_cast<int>(lookups.size()));
  for (std::size_t pos = 0; pos < expectedOrder.size(); ++pos) {
    for (const auto& w : watched) {
      if (w.first == expectedOrder[pos]) {
        SCOPED_TRACE(::testing::Message() << w.first);
        EXPECT_EQ(deletion_watch::order[w.second].load(), static_cast<int>(pos) + 1);
      }
    }
  }

  TqSingleton<CF>::destroy();
  EXPECT_NE(deletion_watch::order[commonIndex].load(), 0);
  deletion_watch::reset();
}

// The export looks files up without any class lock: concurrent first lookups
// of the same identifiers must still make each object once.
TEST_F(SimUnitTest, ConcurrentFirstLookupsMakeEachObjectOnce) {
  ClearCreationCalls();
  const std::vector<Row> rows = allRows();
  constexpr int kThreads = 8;
  std::vector<std::vector<SaveFileAccessBase*>> seen(kThreads, std::vector<SaveFileAccessBase*>(rows.size()));
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      // Half the threads walk the table backwards, so that first lookups meet.
      for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::size_t i = (t % 2 == 0) ? k : rows.size() - 1 - k;
        seen[t][i] = lookup(rows[i].slot);
      }
    });
  }
  go = true;
  for (auto& th : threads) th.join();
  EXPECT_EQ(CreationCalls().size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << rows[i]);
    ASSERT_NE(seen[0][i], nullptr);
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][i], seen[0][i]);
  }
}

}  // namespace
