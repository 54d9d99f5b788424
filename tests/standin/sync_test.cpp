// Locks between the threads of one process: TqSync, TqSyncGuard and
// TqSharedSyncObject.
#include <gtest/gtest.h>
#include <stdio.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/TqSync.h"
#include "standin/testing/FaultInjection.h"
#include "tests/support/SimUnit.h"

namespace {

using namespace std::chrono_literals;
using sysdata_test::SimUnitTest;

TEST(TqSyncTest, IsRecursiveForItsHolderAndTimesOutForOthers) {
  TqSync sync;
  ASSERT_TRUE(sync.Lock(static_cast<unsigned>(-1)));
  ASSERT_TRUE(sync.Lock(0));
  auto tryLock = [&sync](unsigned timeout) {
    return std::async(std::launch::async, [&sync, timeout] {
      const bool got = sync.Lock(timeout);
      if (got) sync.Unlock();
      return got;
    }).get();
  };
  EXPECT_FALSE(tryLock(0));
  EXPECT_FALSE(tryLock(30));
  // Another thread's unlock does nothing.
  std::thread([&sync] { sync.Unlock(); }).join();
  sync.Unlock();
  EXPECT_FALSE(tryLock(0)) << "one unlock released two locks";
  sync.Unlock();
  EXPECT_TRUE(tryLock(0));
  // More unlocks than locks are ignored.
  sync.Unlock();
  EXPECT_TRUE(sync.Lock(0));
  sync.Unlock();
}

TEST(TqSyncTest, GuardHoldsForItsScope) {
  TqSync sync;
  {
    TqSyncGuard guard(sync);
    EXPECT_FALSE(std::async(std::launch::async, [&sync] { return sync.Lock(0); }).get());
  }
  EXPECT_TRUE(std::async(std::launch::async, [&sync] {
                const bool got = sync.Lock(0);
                sync.Unlock();
                return got;
              }).get());
}

TEST(TqSyncTest, ExcludesThreads) {
  TqSync sync;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        TqSyncGuard guard(sync);
        const long seen = counter;
        if (i % 64 == 0) std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 8000);
}

class SharedSyncTest : public SimUnitTest {};

TEST_F(SharedSyncTest, ObjectsOfOneNameExcludeEachOtherAcrossThreads) {
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      // Each thread its own object, as views are made per access.
      for (int i = 0; i < 300; ++i) {
        TqSharedSyncObject lock("SystemInfo");
        TqSyncGuard guard(lock);
        const long seen = counter;
        if (i % 16 == 0) std::this_thread::yield();
        counter = seen + 1;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 1200);
}

TEST_F(SharedSyncTest, IsReentrantAndCountedForItsHolder) {
  TqSharedSyncObject mine("Seg");
  TqSharedSyncObject other("Seg");
  std::atomic<bool> otherHas{false};
  mine.lock();
  mine.lock();  // as the segment constructor does, nested
  std::thread waiter([&] {
    other.lock();
    otherHas = true;
    other.unlock();
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(otherHas);
  mine.unlock();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(otherHas) << "released after one of two unlocks";
  mine.unlock();
  waiter.join();
  EXPECT_TRUE(otherHas);
  // An unlock by a thread that holds nothing changes nothing.
  other.lock();
  std::thread([&] { mine.unlock(); }).join();
  auto probe = std::async(std::launch::async, [&] {
    mine.lock();
    mine.unlock();
  });
  EXPECT_EQ(probe.wait_for(50ms), std::future_status::timeout);
  other.unlock();
  probe.get();
}

TEST_F(SharedSyncTest, DifferentNamesAreIndependent) {
  TqSharedSyncObject a("Alpha");
  TqSharedSyncObject b("Beta");
  a.lock();
  auto other = std::async(std::launch::async, [&] {
    b.lock();
    b.unlock();
  });
  EXPECT_EQ(other.wait_for(5s), std::future_status::ready);
  a.unlock();
}

TEST_F(SharedSyncTest, NamelessObjectsStillExcludeThreads) {
  for (const char* name : {static_cast<const char*>(nullptr), ""}) {
    SCOPED_TRACE(name == nullptr ? "null" : "empty");
    TqSharedSyncObject lock(name);
    lock.lock();
    lock.lock();
    auto other = std::async(std::launch::async, [&] {
      lock.lock();
      lock.unlock();
    });
    EXPECT_EQ(other.wait_for(50ms), std::future_status::timeout);
    lock.unlock();
    lock.unlock();
    other.get();
  }
}

TEST_F(SharedSyncTest, ALockDirectoryThatWasUnusableIsTriedAgain) {
  const std::string dir = unit.root() + "/.tqlocks";
  ASSERT_EQ(::rename(dir.c_str(), (dir + "-before").c_str()), 0);
  TqSharedSyncObject* lock = nullptr;
  {
    standin::testing::ScopedFaultInjection faults;
    faults->FailNth(standin::testing::CallKind::kMkdir, 1);
    lock = new TqSharedSyncObject("Fresh");
    // No lock file: the lock still excludes this process's threads.
    lock->lock();
    auto other = std::async(std::launch::async, [] {
      TqSharedSyncObject same("Fresh");
      same.lock();
      same.unlock();
    });
    EXPECT_EQ(other.wait_for(50ms), std::future_status::timeout);
    lock->unlock();
    other.get();
  }
  // The directory can be made now: the next acquisition takes the file lock.
  lock->lock();
  EXPECT_EQ(::access((dir + "/Fresh.lock").c_str(), F_OK), 0);
  lock->unlock();
  delete lock;
}

}  // namespace
