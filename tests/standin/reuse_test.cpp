// What the stand-in keeps between accesses, and that it keeps no more: the
// content of an unchanged settings file, and one lock file per shared-memory
// name; and how much of a file it loads.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "platform/TqStorage.h"
#include "platform/TqSync.h"
#include "standin/testing/FaultInjection.h"
#include "tests/support/SimUnit.h"

namespace {

using standin::testing::CallKind;
using standin::testing::ScopedFaultInjection;
using sysdata_test::SimUnit;
using sysdata_test::fileExists;
using sysdata_test::SimUnitTest;
using sysdata_test::writeFile;

std::size_t openDescriptors() {
  std::size_t n = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++n;
    ::closedir(dir);
  }
  return n;
}

// Old enough that a reader may keep what it read of a file.
void letTheFileAge() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }

class ReuseTest : public SimUnitTest {
 public:  // the table's steps use these
  SaveFileAccessFactory factory;
  std::unique_ptr<SaveFileAccessMetaText> reader{factory.CreateMetaText("Mic.ini", "a+")};

  int read(const char* key) {
    int v = -1;
    EXPECT_TRUE(reader->FOpen());
    reader->Get(key, &v);
    EXPECT_TRUE(reader->FClose());
    return v;
  }
};

struct ReReadRow {
  const char* what;
  // Runs after a first open of "A=1\n"; returns the value "A" must have next.
  std::function<int(ReuseTest&)> between;
  bool readsAgain;
};

TEST_F(ReuseTest, AnOpenReadsTheFileOnlyWhenItMayHaveChanged) {
  const std::vector<ReReadRow> rows = {
      {"nothing happened", [](ReuseTest&) { return 1; }, false},
      {"this object flushed a change",
       [](ReuseTest& t) {
         EXPECT_TRUE(t.reader->FOpen());
         t.reader->Set("A", 5);
         EXPECT_TRUE(t.reader->Flush());
         EXPECT_TRUE(t.reader->FClose());
         return 5;
       },
       true},
      {"this object set a value and closed without flushing",
       [](ReuseTest& t) {
         EXPECT_TRUE(t.reader->FOpen());
         t.reader->Set("A", 5);
         EXPECT_TRUE(t.reader->FClose());
         return 1;
       },
       true},
      {"another object flushed a change",
       [](ReuseTest& t) {
         std::unique_ptr<SaveFileAccessMetaText> other(t.factory.CreateMetaText("Mic.ini", "a+"));
         EXPECT_TRUE(other->FOpen());
         other->Set("A", 6);
         EXPECT_TRUE(other->Flush());
         EXPECT_TRUE(other->FClose());
         return 6;
       },
       true},
  };
  const std::string path = unit.saveFile("Mic.ini");
  for (const ReReadRow& row : rows) {
    SCOPED_TRACE(row.what);
    writeFile(path, "A=1\n");
    letTheFileAge();
    EXPECT_EQ(read("A"), 1);
    const int expected = row.between(*this);
    ScopedFaultInjection faults;
    faults->ResetCounts();
    EXPECT_EQ(read("A"), expected);
    EXPECT_EQ(faults->CallCount(CallKind::kRead) > 0, row.readsAgain);
  }
}

TEST_F(ReuseTest, AFileJustWrittenInPlaceIsReadAgainUntilItHasAged) {
  const std::string path = unit.saveFile("Mic.ini");
  // Written and read within one tick of the file system's clock: a later
  // rewrite of the same size in that tick would leave the same times, so
  // nothing read now may be kept.
  writeFile(path, "A=1\n");
  EXPECT_EQ(read("A"), 1);
  writeFile(path, "A=2\n");
  EXPECT_EQ(read("A"), 2);
  letTheFileAge();
  EXPECT_EQ(read("A"), 2);
  ScopedFaultInjection faults;
  faults->ResetCounts();
  EXPECT_EQ(read("A"), 2);
  EXPECT_EQ(faults->CallCount(CallKind::kRead), 0u) << "an aged, unchanged file was read again";
}

TEST(SharedLockReuse, OneLockFilePerNameStaysOpenAndAnEarlierUnitsAreLetGo) {
  const char* const names[] = {"SystemInfo", "SysDataInfo", "FuncInfo", "FuncInfoProduct", "SysDataDefault"};
  const std::size_t before = openDescriptors();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("unit " + std::to_string(round));
    SimUnit unit;
    for (int i = 0; i < 50; ++i) {
      for (const char* name : names) {
        TqSharedSyncObject lock(name);
        lock.lock();
        lock.unlock();
      }
    }
    // The unit's own records stay mapped by nothing; at most one descriptor
    // per name is held, whatever number of views came and went, and none of
    // an earlier unit. One more is the descriptor of the unit's root that
    // its paths are resolved from (one root at a time).
    EXPECT_LE(openDescriptors(), before + sizeof(names) / sizeof(names[0]) + 1);
  }
}

}  // namespace

// ---- reading a file longer than the store loads ----

struct LongFileRow {
  const char* what;
  std::size_t valueBytes;  // length of the value of "B"
  const char* present;     // keys that must be served, in order
};

TEST_F(ReuseTest, AFileLongerThanTheStoreLoadsServesItsWholeLinesUpToTheLimit) {
  constexpr std::size_t kLimit = 16u * 1024u * 1024u;
  const std::string head = "A=1\nB=";
  const std::string tail = "C=3\n";
  // head + value + "\n" + tail
  const std::vector<LongFileRow> rows = {
      {"everything within the limit", kLimit - head.size() - 1 - tail.size(), "ABC"},
      {"the limit falls in the last line", kLimit - head.size() - 1 - 2, "AB"},
      {"the limit falls in a long value", kLimit, "A"},
  };
  const std::string path = unit.saveFile("Mic.ini");
  for (const LongFileRow& row : rows) {
    SCOPED_TRACE(row.what);
    writeFile(path, head + std::string(row.valueBytes, 'x') + "\n" + tail);
    ASSERT_TRUE(reader->FOpen());
    std::string served;
    for (const char* key : {"A", "B", "C"}) {
      std::string value;
      if (reader->Get(key, &value)) served += key;
    }
    EXPECT_EQ(served, row.present);
    // The next flush writes what was served, clean.
    reader->Set("D", 4);
    EXPECT_TRUE(reader->Flush());
    ASSERT_TRUE(reader->FClose());
    std::string keys;
    for (const auto& entry : sysdata_test::readKeyFile(path)) keys += entry.first;
    EXPECT_EQ(keys, std::string(row.present) + "D");
  }
}

// ---- leftovers of dead writers ----

TEST_F(ReuseTest, ALeftoverOfAWriterThatDiesBesideALivingProcessGoesWithinASecond) {
  // A pid that certainly belongs to no process: a child that has been reaped.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dir = unit.makeDir("leftovers");
  const std::string leftover = dir + "/.target.bin." + std::to_string(child) + ".0.tmp";
  auto write = [&] {
    TqStorage out;
    ASSERT_TRUE(out.Open((dir + "/target.bin").c_str(), "w"));
    ASSERT_EQ(out.Write("new", 3), 3);
    ASSERT_EQ(out.Close(), 0);
  };
  write();
  // The writer dies after this process has written the target.
  writeFile(leftover, "partial");
  write();
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  write();
  EXPECT_FALSE(fileExists(leftover)) << "a dead writer's temporary file outlived a second of writes";
  EXPECT_EQ(sysdata_test::readFile(dir + "/target.bin"), "new");
}
