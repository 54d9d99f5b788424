// Whole-file writes under injected faults and power cuts: the store's Flush,
// TqFileSys::Copy and TqStorage "w" leave their target with the complete old
// or the complete new content, report failure, and work again afterwards.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "platform/TqFileSys.h"
#include "platform/TqStorage.h"
#include "standin/testing/FaultInjection.h"
#include "tests/support/SimUnit.h"

namespace {

using standin::testing::CallKind;
using standin::testing::CallKindName;
using standin::testing::FaultInjectionFileSystem;
using standin::testing::ScopedFaultInjection;
using sysdata_test::SimUnitTest;
using sysdata_test::fileExists;
using sysdata_test::readFile;
using sysdata_test::writeFile;
using FailMode = FaultInjectionFileSystem::FailMode;

std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// ---- the harness itself ----

class FaultFsTest : public SimUnitTest {
 public:  // the table's steps use these
  ScopedFaultInjection faults;
  standin::FileSystem& fs = faults.fs();

  std::string dir() const { return unit.saveFile(""); }
  std::string saveDir() const { return unit.disk(sysdata_test::SimUnit::kSaveDir); }

  int create(const std::string& path) { return fs.Open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644); }
  void put(int fd, const std::string& data) { ASSERT_EQ(fs.Write(fd, data.data(), data.size()), static_cast<long long>(data.size())); }
};

struct PowerCutRow {
  const char* what;
  std::function<void(FaultFsTest&, const std::string& a, const std::string& b)> steps;
  const char* a;  // content of a after the power cut ("<none>": absent)
  const char* b;
};

TEST_F(FaultFsTest, PowerCutDropsExactlyWhatWasNotMadeDurable) {
  const std::vector<PowerCutRow> rows = {
      {"write without sync", [](FaultFsTest& t, const std::string& a, const std::string&) {
         const int fd = t.fs.Open(a, O_WRONLY | O_TRUNC, 0);
         t.put(fd, "new");
         t.fs.Close(fd);
       }, "old-a", "old-b"},
      {"write and sync of an existing file", [](FaultFsTest& t, const std::string& a, const std::string&) {
         const int fd = t.fs.Open(a, O_WRONLY | O_TRUNC, 0);
         t.put(fd, "new");
         t.fs.Sync(fd);
         t.put(fd, "-more");
         t.fs.Close(fd);
       }, "new", "old-b"},
      {"new file synced, directory not", [](FaultFsTest& t, const std::string&, const std::string&) {
         const int fd = t.create(t.dir() + "c");
         t.put(fd, "c");
         t.fs.Sync(fd);
         t.fs.Close(fd);
       }, "old-a", "old-b"},
      {"rename over a file without directory sync", [](FaultFsTest& t, const std::string& a, const std::string& b) {
         t.fs.Rename(a, b);
       }, "old-a", "old-b"},
      {"rename with directory sync", [](FaultFsTest& t, const std::string& a, const std::string& b) {
         t.fs.Rename(a, b);
         t.fs.SyncDir(t.saveDir());
       }, "<none>", "old-a"},
      {"rename of unsynced data, directory synced", [](FaultFsTest& t, const std::string& a, const std::string& b) {
         const int fd = t.fs.Open(a, O_WRONLY | O_TRUNC, 0);
         t.put(fd, "unsynced");
         t.fs.Close(fd);
         t.fs.Rename(a, b);
         t.fs.SyncDir(t.saveDir());
       }, "<none>", "old-a"},
      {"unlink without directory sync", [](FaultFsTest& t, const std::string& a, const std::string&) {
         t.fs.Unlink(a);
       }, "old-a", "old-b"},
      {"unlink with directory sync", [](FaultFsTest& t, const std::string& a, const std::string&) {
         t.fs.Unlink(a);
         t.fs.SyncDir(t.saveDir());
       }, "<none>", "old-b"},
      {"truncate without sync", [](FaultFsTest& t, const std::string& a, const std::string&) {
         const int fd = t.fs.Open(a, O_WRONLY, 0);
         t.fs.Truncate(fd, 2);
         t.fs.Close(fd);
       }, "old-a", "old-b"},
  };
  const std::string a = dir() + "a", b = dir() + "b";
  for (const PowerCutRow& row : rows) {
    SCOPED_TRACE(row.what);
    writeFile(a, "old-a");
    writeFile(b, "old-b");
    faults->MarkAllDurable();
    row.steps(*this, a, b);
    faults->SimulatePowerCut();
    EXPECT_EQ(fileExists(a) ? readFile(a) : "<none>", row.a);
    EXPECT_EQ(fileExists(b) ? readFile(b) : "<none>", row.b);
    EXPECT_FALSE(fileExists(dir() + "c"));
    ::unlink(a.c_str());
    ::unlink(b.c_str());
  }
}

TEST_F(FaultFsTest, CountsCallsAndFailsTheNthOnceOrForGood) {
  const std::string a = dir() + "a";
  faults->ResetCounts();
  const int fd = create(a);
  put(fd, "1");
  put(fd, "2");
  EXPECT_EQ(faults->CallCount(CallKind::kOpen), 1u);
  EXPECT_EQ(faults->CallCount(CallKind::kWrite), 2u);
  EXPECT_EQ(faults->CallCount(CallKind::kMutating), 3u);  // the creating open and two writes

  faults->FailNth(CallKind::kWrite, 2, FailMode::kOnce, ENOSPC);
  EXPECT_EQ(fs.Write(fd, "3", 1), 1);
  errno = 0;
  EXPECT_EQ(fs.Write(fd, "4", 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_TRUE(faults->Fired());
  EXPECT_EQ(fs.Write(fd, "5", 1), 1);

  faults->FailNth(CallKind::kSync, 1, FailMode::kCrash);
  EXPECT_EQ(fs.Write(fd, "6", 1), 1);
  EXPECT_EQ(fs.Sync(fd), -1);
  // Crashed: every mutating call fails, reads still pass.
  EXPECT_EQ(fs.Write(fd, "7", 1), -1);
  EXPECT_EQ(fs.Rename(a, a + "x"), -1);
  EXPECT_EQ(fs.Unlink(a), -1);
  struct stat st;
  EXPECT_EQ(fs.Stat(a, &st), 0);
  faults->ClearFaults();
  EXPECT_EQ(fs.Write(fd, "8", 1), 1);
  fs.Close(fd);
  EXPECT_EQ(readFile(a), "123568");
  EXPECT_EQ(faults->InjectedFailures(), 5u);
}

// ---- sweeps over real operations ----

struct Operation {
  const char* what;
  std::string target;                         // the file that must stay whole
  std::function<void()> prepare;              // untracked setup before each run
  std::function<bool()> run;                  // the write; true when it reported success
  std::string oldContent;
  std::string newContent;
};

class FaultSweepTest : public SimUnitTest {
 protected:
  // For each kind and mode, fails the 1st, 2nd, ... call of that kind inside
  // op.run, with and without a power cut afterwards; the target must hold the
  // old or the new content whole, a failure must be reported, and leftovers
  // must not pile up. A last run without fault plus a power cut must keep the
  // new content: the write was durable.
  void sweep(const Operation& op, const std::function<void()>& afterwards) {
    const CallKind kinds[] = {CallKind::kWrite, CallKind::kSync, CallKind::kRename, CallKind::kSyncDir,
                              CallKind::kMutating};
    const std::string dir = op.target.substr(0, op.target.find_last_of('/'));
    const std::vector<std::string> before = [&] {
      writeFile(op.target, op.oldContent);
      op.prepare();
      return listDir(dir);
    }();
    for (CallKind kind : kinds) {
      for (FailMode mode : {FailMode::kOnce, FailMode::kCrash}) {
        for (bool powerCut : {false, true}) {
          // Count the calls of a clean run.
          writeFile(op.target, op.oldContent);
          op.prepare();
          std::size_t count = 0;
          {
            ScopedFaultInjection faults;
            faults->ResetCounts();
            ASSERT_TRUE(op.run()) << op.what;
            count = faults->CallCount(kind);
          }
          ASSERT_GT(count, 0u) << op.what << " makes no " << CallKindName(kind) << " call";
          for (std::size_t n = 1; n <= count + 1; ++n) {
            SCOPED_TRACE(std::string(op.what) + ": fail " + CallKindName(kind) + " #" + std::to_string(n) +
                         (mode == FailMode::kCrash ? " and crash" : " once") + (powerCut ? ", power cut" : ""));
            writeFile(op.target, op.oldContent);
            op.prepare();
            bool reported = false;
            bool fired = false;
            {
              ScopedFaultInjection faults;
              faults->FailNth(kind, n, mode);
              reported = op.run();
              fired = faults->Fired();
              faults->ClearFaults();
              if (powerCut) faults->SimulatePowerCut();
            }
            EXPECT_EQ(fired, n <= count);
            const std::string now = fileExists(op.target) ? readFile(op.target) : "<absent>";
            if (now != op.oldContent && now != op.newContent) {
              ADD_FAILURE() << "torn target: \"" << now << "\"";
            }
            if (fired) {
              EXPECT_FALSE(reported) << "a failed write was reported as success";
            } else {
              EXPECT_TRUE(reported);
              EXPECT_EQ(now, op.newContent) << "a successful write did not survive";
            }
            if (mode == FailMode::kOnce || powerCut) {
              EXPECT_EQ(listDir(dir), before) << "temporary files left behind";
            }
            // A crash without a power cut may strand a temporary file, as a
            // real crash would; clear it for the next run.
            for (const std::string& name : listDir(dir)) {
              if (std::find(before.begin(), before.end(), name) == before.end()) ::unlink((dir + "/" + name).c_str());
            }
            afterwards();
          }
        }
      }
    }
  }
};

TEST_F(FaultSweepTest, StoreFlush) {
  SaveFileAccessFactory factory;
  std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("Mic.ini", "a+"));
  ASSERT_NE(file, nullptr);
  Operation op;
  op.what = "Flush";
  op.target = unit.saveFile("Mic.ini");
  op.oldContent = "A=1\nB=old\n";
  op.newContent = "A=1\nB=new\nC=3\n";
  op.prepare = [&] {
    // The lock file exists before the sweep, like after any earlier open.
    std::unique_ptr<SaveFileAccessMetaText> warm(factory.CreateMetaText("Mic.ini", "a+"));
    warm->FOpen();
    warm->FClose();
  };
  op.run = [&] {
    if (!file->FOpen()) return false;
    file->Set("B", std::string("new"));
    file->Set("C", 3);
    const bool flushed = file->Flush();
    file->FClose();
    return flushed;
  };
  sweep(op, [&] {
    // The store works afterwards, with the same object. (No ASSERT between
    // FOpen and FClose: a lock left held would hang the next run.)
    ASSERT_TRUE(file->FOpen());
    std::string b;
    EXPECT_TRUE(file->Get("B", &b));
    EXPECT_TRUE(b == "old" || b == "new") << b;
    file->Set("B", std::string("after"));
    EXPECT_TRUE(file->Flush());
    EXPECT_TRUE(file->FClose());
    std::string now = readFile(op.target);
    EXPECT_TRUE(now == "A=1\nB=after\n" || now == "A=1\nB=after\nC=3\n") << now;
  });
}

TEST_F(FaultSweepTest, FileCopy) {
  const std::string source = unit.saveFile("source.bin");
  std::string big(200000, 'n');
  big[0] = 'N';
  writeFile(source, big);
  Operation op;
  op.what = "Copy";
  op.target = unit.saveFile("copy.bin");
  op.oldContent = "old copy";
  op.newContent = big;
  op.prepare = [] {};
  op.run = [&] { return TqFileSys::Copy((std::string(sysdata_test::SimUnit::kSaveDir) + "/source.bin").c_str(),
                                        (std::string(sysdata_test::SimUnit::kSaveDir) + "/copy.bin").c_str(), false,
                                        false); };
  sweep(op, [&] {
    EXPECT_TRUE(op.run());
    EXPECT_EQ(readFile(op.target), big);
  });
}

TEST_F(FaultSweepTest, StorageWholeFileWrite) {
  Operation op;
  op.what = "TqStorage w";
  op.target = unit.saveFile("SxmAlertCity.ini");
  op.oldContent = std::string(108, '\x01');
  op.newContent = std::string(108, '\0');
  op.prepare = [] {};
  op.run = [&] {
    TqStorage out;
    if (!out.Open((std::string(sysdata_test::SimUnit::kSaveDir) + "/SxmAlertCity.ini").c_str(), "w")) return false;
    bool ok = true;
    for (int i = 0; i < 4; ++i) ok = out.Write(op.newContent.data() + i * 27, 27) == 27 && ok;
    return out.Close() == 0 && ok;
  };
  sweep(op, [&] {
    EXPECT_TRUE(op.run());
    EXPECT_EQ(readFile(op.target), op.newContent);
  });
}

}  // namespace
