// The singleton template: one instance per class however many threads ask
// first, one teardown registration, a fresh instance after destroy(), and no
// instance, registration or held lock after a construction that throws.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/SysDataExport.h"
#include "core/SysDataProductFactory.h"
#include "core/TqSingleton.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

// A class of this test only: counts its constructions, can be told to throw,
// and is slow to construct so that concurrent first callers really overlap.
class SlowThing : public TqSingleton<SlowThing> {
 public:
  static std::atomic<int> constructions;
  static std::atomic<int> destructions;
  static std::atomic<bool> throwOnce;
  int payload = 42;
  ~SlowThing() override { ++destructions; }

 private:
  friend class TqSingleton<SlowThing>;
  SlowThing() {
    ++constructions;
    if (throwOnce.exchange(false)) throw std::runtime_error("construction failed");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
};
TQ_SINGLETON_DECLARE(SlowThing)
TQ_SINGLETON_DEFINE(SlowThing)
std::atomic<int> SlowThing::constructions{0};
std::atomic<int> SlowThing::destructions{0};
std::atomic<bool> SlowThing::throwOnce{false};

// A second class, to show that creating one class does not wait on another's lock.
class OtherThing : public TqSingleton<OtherThing> {
 private:
  friend class TqSingleton<OtherThing>;
  OtherThing() = default;
};
TQ_SINGLETON_DECLARE(OtherThing)
TQ_SINGLETON_DEFINE(OtherThing)

// Host classes whose creation locks the library defines and exports. The
// host defines everything else of them, their instance pointers included: this
// test plays the host, so it defines the pointers, and links only if the
// library's Sync_ is there.
class SYSDATA_API SysDataSettingsGuiState;
class SYSDATA_API SysDataSettingsGuiStateExportImport;
template <>
TqSync TqSingleton<SysDataSettingsGuiState>::Sync_;
template <>
TqSync TqSingleton<SysDataSettingsGuiStateExportImport>::Sync_;
template <>
std::atomic<SysDataSettingsGuiState*> TqSingleton<SysDataSettingsGuiState>::pInstance_{nullptr};
template <>
std::atomic<SysDataSettingsGuiStateExportImport*> TqSingleton<SysDataSettingsGuiStateExportImport>::pInstance_{
    nullptr};

namespace {

// Whether another thread can take the lock right now (the lock is re-entrant
// for its holder, so the caller's own thread cannot tell).
bool lockIsFree(TqSync& sync) {
  bool free = false;
  std::thread probe([&] {
    free = sync.Lock(0);
    if (free) sync.Unlock();
  });
  probe.join();
  return free;
}

class SingletonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TqSingleton<SlowThing>::destroy();
    SlowThing::constructions = 0;
    SlowThing::destructions = 0;
    SlowThing::throwOnce = false;
  }
  void TearDown() override { TqSingleton<SlowThing>::destroy(); }
};

TEST_F(SingletonTest, ConcurrentFirstCallsMakeOneInstanceAndOneRegistration) {
  const std::size_t pendingBefore = TqSingletonFinalizer::pendingCount();
  constexpr int kThreads = 16;
  std::vector<SlowThing*> seen(kThreads, nullptr);
  std::mutex m;
  std::condition_variable cv;
  bool go = false;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return go; });
      }
      seen[t] = TqSingleton<SlowThing>::GetInstance();
    });
  }
  {
    std::lock_guard<std::mutex> lock(m);
    go = true;
  }
  cv.notify_all();
  for (auto& th : threads) th.join();

  EXPECT_EQ(SlowThing::constructions.load(), 1);
  EXPECT_EQ(TqSingletonFinalizer::pendingCount(), pendingBefore + 1);
  ASSERT_NE(seen[0], nullptr);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(seen[t], seen[0]) << "thread " << t;
  }
  EXPECT_EQ(seen[0]->payload, 42);
  EXPECT_EQ(TqSingletonAccess<SlowThing>::peek(), seen[0]);
}

TEST_F(SingletonTest, DestroyWithoutInstanceOnlyLeavesPointerNull) {
  ASSERT_EQ(TqSingletonAccess<SlowThing>::peek(), nullptr);
  TqSingleton<SlowThing>::destroy();
  TqSingleton<SlowThing>::destroy();
  EXPECT_EQ(TqSingletonAccess<SlowThing>::peek(), nullptr);
  EXPECT_EQ(SlowThing::destructions.load(), 0);
  EXPECT_EQ(SlowThing::constructions.load(), 0);
}

TEST_F(SingletonTest, DestroyThenGetInstanceMakesAFreshInstanceAndRegistersAgain) {
  const std::size_t pendingBefore = TqSingletonFinalizer::pendingCount();
  SlowThing* first = TqSingleton<SlowThing>::GetInstance();
  first->payload = 7;
  TqSingleton<SlowThing>::destroy();
  EXPECT_EQ(TqSingletonAccess<SlowThing>::peek(), nullptr);
  EXPECT_EQ(SlowThing::destructions.load(), 1);

  SlowThing* second = TqSingleton<SlowThing>::GetInstance();
  EXPECT_EQ(SlowThing::constructions.load(), 2);
  EXPECT_EQ(second->payload, 42) << "the new instance starts from its constructor";
  EXPECT_EQ(TqSingletonFinalizer::pendingCount(), pendingBefore + 2);
}

TEST_F(SingletonTest, ThrowingConstructionLeavesNoInstanceAndTheLockFree) {
  const std::size_t pendingBefore = TqSingletonFinalizer::pendingCount();
  SlowThing::throwOnce = true;
  EXPECT_THROW(TqSingleton<SlowThing>::GetInstance(), std::runtime_error);
  EXPECT_EQ(TqSingletonAccess<SlowThing>::peek(), nullptr);
  EXPECT_EQ(TqSingletonFinalizer::pendingCount(), pendingBefore);
  EXPECT_TRUE(lockIsFree(TqSingletonAccess<SlowThing>::sync()));

  // The next call simply succeeds.
  SlowThing* instance = TqSingleton<SlowThing>::GetInstance();
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(SlowThing::constructions.load(), 2);
  EXPECT_EQ(TqSingletonFinalizer::pendingCount(), pendingBefore + 1);
}

TEST_F(SingletonTest, CreatingOneClassDoesNotTakeAnotherClassesLock) {
  TqSync& slowLock = TqSingletonAccess<SlowThing>::sync();
  ASSERT_TRUE(slowLock.Lock(static_cast<unsigned int>(-1)));
  std::atomic<OtherThing*> other{nullptr};
  std::thread creator([&] { other = TqSingleton<OtherThing>::GetInstance(); });
  creator.join();
  slowLock.Unlock();
  EXPECT_NE(other.load(), nullptr);
  TqSingleton<OtherThing>::destroy();
}

// After the host's teardown a registry comes back with every slot empty: the
// next lookup creates its file object again.
TEST(SingletonLifecycle, RegistryIsFreshAfterTeardown) {
  sysdata_test::SimUnit unit;
  standin::testing::ClearCreationCalls();
  SysDataProductFactory* first = TqSingleton<SysDataProductFactory>::GetInstance();
  ASSERT_NE(first->getMetaText(SysDataProductFactory::SYSDATA_METATXT_SXM), nullptr);
  ASSERT_EQ(standin::testing::CreationCalls().size(), 1u);

  TqSingletonFinalizer::runDestroyFuncs();
  EXPECT_EQ(TqSingletonAccess<SysDataProductFactory>::peek(), nullptr);

  SysDataProductFactory* second = TqSingleton<SysDataProductFactory>::GetInstance();
  ASSERT_NE(second->getMetaText(SysDataProductFactory::SYSDATA_METATXT_SXM), nullptr);
  EXPECT_EQ(standin::testing::CreationCalls().size(), 2u) << "the fresh registry's slot was empty";
}

TEST(SingletonLifecycle, HostClassLocksComeFromTheLibrary) {
  EXPECT_EQ(TqSingletonAccess<SysDataSettingsGuiState>::peek(), nullptr);
  EXPECT_EQ(TqSingletonAccess<SysDataSettingsGuiStateExportImport>::peek(), nullptr);
  EXPECT_TRUE(lockIsFree(TqSingletonAccess<SysDataSettingsGuiState>::sync()));
  EXPECT_TRUE(lockIsFree(TqSingletonAccess<SysDataSettingsGuiStateExportImport>::sync()));
}

}  // namespace
