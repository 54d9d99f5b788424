// Locks and files shared by processes: exclusion, holders that die, and
// concurrent updates of one settings file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "platform/TqSync.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnitTest;
using sysdata_test::fileExists;
using sysdata_test::keyValue;

// A forked child running body; its exit code is body's result. The child
// never returns into the test framework.
class Child {
 public:
  explicit Child(const std::function<int()>& body) {
    if (::pipe(ready_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready_[0]);
      readyFd_ = ready_[1];
      current_ = this;
      // A child that hangs must not hang the test run.
      ::alarm(30);
      const int rc = body();
      ::_exit(rc);
    }
    ::close(ready_[1]);
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(ready_[0]);
  }

  // In the child: tells the parent it reached a point.
  static void signalReady() {
    const char c = 'r';
    if (::write(current_->readyFd_, &c, 1) != 1) ::_exit(90);
  }
  // In the parent: waits until the child said so (false when it died first).
  bool waitReady() {
    char c;
    return ::read(ready_[0], &c, 1) == 1;
  }
  void kill() { ::kill(pid_, SIGKILL); }
  // Exit status: the exit code, 128 + signal when killed, -1 on timeout.
  int wait(std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reaped_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  bool started() const { return pid_ > 0; }

 private:
  static Child* current_;
  int ready_[2] = {-1, -1};
  int readyFd_ = -1;
  pid_t pid_ = -1;
  bool reaped_ = false;
};
Child* Child::current_ = nullptr;

class ProcessTest : public SimUnitTest {
 protected:
  std::unique_ptr<SaveFileAccessMetaText> text(const char* name = "Mic.ini") {
    SaveFileAccessFactory factory;
    return std::unique_ptr<SaveFileAccessMetaText>(factory.CreateMetaText(name, "a+"));
  }
};

// How a lock holder ends without unlocking.
struct DeathRow {
  const char* what;
  bool killed;  // SIGKILL by the parent, else _exit on its own
};

const DeathRow kDeaths[] = {{"exits without unlocking", false}, {"is killed", true}};

TEST_F(ProcessTest, ASharedLockWhoseHolderDiesIsFreeForTheNext) {
  for (const DeathRow& row : kDeaths) {
    SCOPED_TRACE(row.what);
    Child holder([&] {
      TqSharedSyncObject lock("SysDataDefault");
      lock.lock();
      Child::signalReady();
      if (row.killed) ::pause();
      return 0;
    });
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(holder.waitReady());
    if (row.killed) holder.kill();
    holder.wait();
    Child next([] {
      TqSharedSyncObject lock("SysDataDefault");
      lock.lock();
      lock.unlock();
      return 0;
    });
    EXPECT_EQ(next.wait(std::chrono::seconds(10)), 0) << "the next locker hung";
  }
}

TEST_F(ProcessTest, AStoreFileWhoseHolderDiesIsFreeForTheNext) {
  for (const DeathRow& row : kDeaths) {
    SCOPED_TRACE(row.what);
    Child holder([&] {
      auto file = text();
      if (!file->FOpen()) return 2;
      Child::signalReady();
      if (row.killed) ::pause();
      return 0;
    });
    ASSERT_TRUE(holder.waitReady());
    if (row.killed) holder.kill();
    holder.wait();
    Child next([&] {
      auto file = text();
      if (!file->FOpen()) return 2;
      file->Set("After", 1);
      file->Flush();
      file->FClose();
      return 0;
    });
    EXPECT_EQ(next.wait(std::chrono::seconds(10)), 0) << "the next opener hung";
    EXPECT_EQ(keyValue(unit.saveFile("Mic.ini"), "After"), "1");
  }
}

TEST_F(ProcessTest, ASharedLockExcludesAnotherProcess) {
  const std::string marker = unit.disk("/released");
  Child holder([&] {
    TqSharedSyncObject lock("FuncInfo");
    lock.lock();
    Child::signalReady();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sysdata_test::writeFile(marker, "x");
    lock.unlock();
    return 0;
  });
  ASSERT_TRUE(holder.waitReady());
  TqSharedSyncObject lock("FuncInfo");
  lock.lock();
  EXPECT_TRUE(fileExists(marker)) << "got the lock while the other process held it";
  lock.unlock();
  EXPECT_EQ(holder.wait(), 0);
}

TEST_F(ProcessTest, TwoProcessesUpdatingOneFileBothKeepTheirUpdates) {
  constexpr int kRounds = 25;
  // Each process sets its own key and bumps a shared count, every round in
  // its own open-work-close cycle.
  auto work = [this](const char* own) {
    auto file = text();
    if (file == nullptr) return 3;
    for (int i = 1; i <= kRounds; ++i) {
      if (!file->FOpen()) return 2;
      int count = 0;
      file->Get("Count", &count);
      file->Set("Count", count + 1);
      file->Set(own, i);
      const bool flushed = file->Flush();
      file->FClose();
      if (!flushed) return 4;
    }
    return 0;
  };
  Child child([&] { return work("Child"); });
  EXPECT_EQ(work("Parent"), 0);
  EXPECT_EQ(child.wait(std::chrono::seconds(60)), 0);
  const std::string path = unit.saveFile("Mic.ini");
  EXPECT_EQ(keyValue(path, "Parent"), std::to_string(kRounds));
  EXPECT_EQ(keyValue(path, "Child"), std::to_string(kRounds));
  EXPECT_EQ(keyValue(path, "Count"), std::to_string(2 * kRounds));
}

TEST_F(ProcessTest, AChildForkedWhileTheParentHoldsLocksWaitsForThem) {
  // The parent used the names (their lock files may be open) before the fork.
  TqSharedSyncObject lock("SystemInfo");
  lock.lock();
  lock.unlock();
  auto file = text();
  ASSERT_TRUE(file->FOpen());
  ASSERT_TRUE(file->FClose());

  const std::string fileReleased = unit.disk("/file-released");
  const std::string lockReleased = unit.disk("/lock-released");
  lock.lock();
  ASSERT_TRUE(file->FOpen());
  // The child inherits objects whose locks a thread of the same id holds in
  // the parent; its own acquisitions must wait for the parent all the same.
  Child child([&] {
    Child::signalReady();
    if (!file->FOpen()) return 2;
    const bool fileWaited = fileExists(fileReleased);
    file->FClose();
    lock.lock();
    const bool lockWaited = fileExists(lockReleased);
    lock.unlock();
    return (fileWaited ? 0 : 10) + (lockWaited ? 0 : 20);
  });
  ASSERT_TRUE(child.waitReady());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  sysdata_test::writeFile(fileReleased, "x");
  EXPECT_TRUE(file->FClose());
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  sysdata_test::writeFile(lockReleased, "x");
  lock.unlock();
  // 10: the store file was not waited for; 20: the shared lock was not.
  EXPECT_EQ(child.wait(), 0);
}

}  // namespace
