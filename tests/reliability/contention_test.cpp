// Contention: several processes, each with several threads, hammer the same
// "Settings.ini" (through the data accessor) and "Mic.ini" (through the
// setters), read the factory default table and reset product files, all at
// once for a few seconds.
//
// Each writer owns one key and writes an increasing counter into it, checking
// after each write that it reads its own value back. Readers check that every
// value they see is either the key's factory default or a counter value, and
// that a key's counter never goes back. At the end the file holds each
// writer's last value: no update was lost. A watchdog in every process turns
// a deadlock into a failure.
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/RecordAccess.h"
#include "accessor/SettingsDataAccessor.h"
#include "settings/CommonSettings.h"
#include "settings/SettingsCatalog.h"
#include "settings/SxmSettings.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "util/SysDataUtilProduct.h"

namespace {

using settings_datakey::DataKeyID;
using sysdata_test::SimUnit;

constexpr int kProcesses = 3;
// Counter values start above every factory default, so a read tells a
// written value from a default.
constexpr int kBase = 1000000;

// Data keys of "Settings.ini" that one writer each owns, with the offset of
// their default in the "SysDataDefault" record.
struct OwnedDataKey {
  DataKeyID id;
  const char* key;
  std::uint32_t defaultOffset;
};
const OwnedDataKey kDataKeys[] = {
    {settings_datakey::DATAKEY_LANG_SELECT_MODE, "LangSelectMode", 1824},
    {settings_datakey::DATAKEY_SECURITY_INDICATOR, "SecurityIndicator", 1832},
    {settings_datakey::DATAKEY_BEEP_VOL, "BeepVol", 1768},
    {settings_datakey::DATAKEY_DIMMER_CONTROL, "DimmerControl", 1788},
    {settings_datakey::DATAKEY_CLOCK_SYNC, "ClockSync", 1776},
    {settings_datakey::DATAKEY_TIME_ZONE, "TimeZone", 1844},
};
constexpr int kDataKeysPerProcess = 2;
static_assert(sizeof(kDataKeys) / sizeof(kDataKeys[0]) == kProcesses * kDataKeysPerProcess, "one pair per process");

// "Mic.ini" keys, one per process, written through the setters.
struct OwnedMicKey {
  const char* key;
  void (*set)(int);
};
const OwnedMicKey kMicKeys[] = {
    {"BtPhoneSndTalkVol", [](int v) { TqSingleton<SysDataMic>::GetInstance()->setBtPhoneSndTalkVol(v); }},
    {"EchoCancel", [](int v) { TqSingleton<SysDataMic>::GetInstance()->setEchoCancel(v); }},
    {"NoiseReduction", [](int v) { TqSingleton<SysDataMic>::GetInstance()->setNoiseReduction(v); }},
};
static_assert(sizeof(kMicKeys) / sizeof(kMicKeys[0]) == kProcesses, "one Mic.ini key per process");

// What a child reports to the parent, one line: "ops bad final0 final1 finalMic".
struct ChildReport {
  long ops = 0;
  long badReads = 0;
  long lostOwn = 0;  // a writer did not read its own last value back
  int finals[kDataKeysPerProcess] = {0, 0};
  int finalMic = 0;
  std::string problems;
};

int defaultAt(std::uint32_t offset) { return sysdata::readI32(SysDataDefault(), offset); }

// Per-reader memory of the highest counter seen per key.
class MonotoneCheck {
 public:
  // value must be the default or a counter not below the last one seen.
  bool accept(const std::string& key, int value, int defaultValue) {
    int& last = last_[key];
    if (value < kBase) return value == defaultValue && last == 0;
    if (value < last) return false;
    last = value;
    return true;
  }

 private:
  std::map<std::string, int> last_;
};

class Child {
 public:
  Child(int index, double seconds) : index_(index), seconds_(seconds) {}

  ChildReport run() {
    std::vector<std::thread> threads;
    for (int w = 0; w < kDataKeysPerProcess; ++w) threads.emplace_back([this, w] { dataKeyWriter(w); });
    threads.emplace_back([this] { micWriter(); });
    threads.emplace_back([this] { reader(); });
    threads.emplace_back([this] { resetter(); });
    for (std::thread& t : threads) t.join();
    return report_;
  }

 private:
  bool running() const { return reliability::secondsSince(start_) < seconds_; }

  void problem(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++report_.badReads;
    if (report_.problems.size() < 400) report_.problems += "[" + what + "] ";
  }

  void dataKeyWriter(int w) {
    const OwnedDataKey& k = kDataKeys[index_ * kDataKeysPerProcess + w];
    SettingsDataAccessor accessor;
    int counter = 0;
    long lost = 0;
    while (running()) {
      accessor.setDataKeyIValue(k.id, kBase + ++counter);
      const int back = accessor.getDataKeyIValue(k.id);
      if (back != kBase + counter) ++lost;
      ops_ += 2;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    report_.finals[w] = kBase + counter;
    report_.lostOwn += lost;
  }

  void micWriter() {
    const OwnedMicKey& k = kMicKeys[index_];
    int counter = 0;
    long lost = 0;
    while (running()) {
      k.set(kBase + ++counter);
      auto file = reliability::freshMetaText("Mic.ini");
      int back = 0;
      if (!file || !file->FOpen() || !file->Get(k.key, &back) || back != kBase + counter) ++lost;
      if (file) file->FClose();
      ops_ += 2;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    report_.finalMic = kBase + counter;
    report_.lostOwn += lost;
  }

  void reader() {
    std::mt19937 rng(1234u + static_cast<unsigned int>(index_));
    SettingsDataAccessor accessor;
    MonotoneCheck seen;
    std::map<std::uint32_t, int> defaults;
    for (const OwnedDataKey& k : kDataKeys) defaults[k.defaultOffset] = defaultAt(k.defaultOffset);
    while (running()) {
      const OwnedDataKey& k = kDataKeys[rng() % (sizeof(kDataKeys) / sizeof(kDataKeys[0]))];
      const int v = accessor.getDataKeyIValue(k.id);
      if (!seen.accept(k.key, v, defaults[k.defaultOffset])) problem(std::string(k.key) + "=" + std::to_string(v));
      // The default table is rewritten with the same values by the
      // resetters: a read always sees them whole.
      const int d = defaultAt(k.defaultOffset);
      if (d != defaults[k.defaultOffset]) problem(std::string("default of ") + k.key + "=" + std::to_string(d));
      // "Mic.ini" through an object of its own.
      auto mic = reliability::freshMetaText("Mic.ini");
      if (mic && mic->FOpen()) {
        for (const OwnedMicKey& m : kMicKeys) {
          int mv = 0;
          if (mic->Get(m.key, &mv) && !seen.accept(m.key, mv, 0)) problem(std::string(m.key) + "=" + std::to_string(mv));
        }
        mic->FClose();
      } else {
        problem("Mic.ini does not open");
      }
      ops_ += 3;
    }
  }

  void resetter() {
    const sysdata::SettingsFileDef* favorite = sysdata::findProductFile("SxmFavorite.ini");
    std::string why;
    while (running()) {
      TqSingleton<SysDataSxmFavorite>::GetInstance()->initializeAllData();
      TqSingleton<SysDataSxmAlertCity>::GetInstance()->initializeAllData();
      SysDataUtilProduct().initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
      if (favorite == nullptr || !reliability::productKeysRead(*favorite, &why)) problem(why);
      std::string path;
      {
        auto alert = reliability::freshBinary("SxmAlertCity.ini");
        if (alert) alert->getFullPath(path);
      }
      if (!reliability::binaryRecordExact(path, SysDataSxmAlertCity::kRecordSize, 0, &why)) problem(why);
      ops_ += 5;
    }
  }

  const int index_;
  const double seconds_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::atomic<long> ops_{0};
  std::mutex mutex_;
  ChildReport report_;

 public:
  long ops() const { return ops_.load(); }
};

std::string serialise(const ChildReport& r) {
  std::ostringstream out;
  out << r.ops << ' ' << r.badReads << ' ' << r.lostOwn << ' ' << r.finals[0] << ' ' << r.finals[1] << ' '
      << r.finalMic << ' ' << r.problems << '\n';
  return out.str();
}

bool parse(const std::string& line, ChildReport* r) {
  std::istringstream in(line);
  if (!(in >> r->ops >> r->badReads >> r->lostOwn >> r->finals[0] >> r->finals[1] >> r->finalMic)) return false;
  std::getline(in, r->problems);
  return true;
}

std::string readAll(int fd) {
  std::string out;
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

TEST(Contention, ProcessesAndThreadsLoseNoUpdateSeeOnlyWrittenValuesAndNeverDeadlock) {
  SimUnit unit;
  SysDataUtilProduct().initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
  const double seconds = reliability::scalePercent() < 100 ? 2.0 : 3.0;
  // A child that is still running this long after its time is deadlocked.
  const unsigned int hangLimit = static_cast<unsigned int>(seconds) + 120;

  struct Running {
    pid_t pid;
    int fd;
  };
  std::vector<Running> children;
  std::fflush(nullptr);
  for (int p = 0; p < kProcesses; ++p) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(fds[0]);
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      int code = 0;
      {
        reliability::Watchdog watchdog(hangLimit, "contention child " + std::to_string(p));
        Child child(p, seconds);
        ChildReport report = child.run();
        report.ops = child.ops();
        const std::string line = serialise(report);
        if (::write(fds[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) code = 2;
      }
      ::close(fds[1]);
      // A normal exit, so that a sanitizer's findings in the child show in
      // its exit status.
      std::exit(code);
    }
    ::close(fds[1]);
    children.push_back({pid, fds[0]});
  }

  long ops = 0, badReads = 0, lost = 0, deadlocks = 0, failedChildren = 0;
  std::vector<ChildReport> reports(kProcesses);
  {
    reliability::Watchdog watchdog(hangLimit + 30, "waiting for the contention children");
    for (int p = 0; p < kProcesses; ++p) {
      const std::string text = readAll(children[p].fd);
      ::close(children[p].fd);
      int status = 0;
      ASSERT_EQ(::waitpid(children[p].pid, &status, 0), children[p].pid);
      const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
      if (WIFEXITED(status) && WEXITSTATUS(status) == 86) ++deadlocks;
      if (!clean) {
        ++failedChildren;
        ADD_FAILURE() << "child " << p << " ended with status " << status;
      }
      if (!parse(text, &reports[p])) {
        ADD_FAILURE() << "child " << p << " reported nothing";
        continue;
      }
      ops += reports[p].ops;
      badReads += reports[p].badReads;
      lost += reports[p].lostOwn;
      EXPECT_EQ(reports[p].badReads, 0) << "child " << p << ": " << reports[p].problems;
      EXPECT_EQ(reports[p].lostOwn, 0) << "child " << p << " did not read back its own writes";
    }
  }

  // The files hold every writer's last value.
  auto settings = reliability::freshMetaText("Settings.ini");
  auto mic = reliability::freshMetaText("Mic.ini");
  ASSERT_TRUE(settings && settings->FOpen());
  ASSERT_TRUE(mic && mic->FOpen());
  for (int p = 0; p < kProcesses; ++p) {
    for (int w = 0; w < kDataKeysPerProcess; ++w) {
      const OwnedDataKey& k = kDataKeys[p * kDataKeysPerProcess + w];
      int v = 0;
      if (!settings->Get(k.key, &v) || v != reports[p].finals[w]) {
        ++lost;
        ADD_FAILURE() << k.key << " holds " << v << ", its writer's last value was " << reports[p].finals[w];
      }
    }
    int v = 0;
    if (!mic->Get(kMicKeys[p].key, &v) || v != reports[p].finalMic) {
      ++lost;
      ADD_FAILURE() << kMicKeys[p].key << " holds " << v << ", its writer's last value was " << reports[p].finalMic;
    }
  }
  settings->FClose();
  mic->FClose();

  std::printf("RELIABILITY contention seconds=%.1f processes=%d threads=%d ops=%ld lost-updates=%ld bad-reads=%ld "
              "deadlocks=%ld\n",
              seconds, kProcesses, kProcesses * (kDataKeysPerProcess + 3), ops, lost, badReads, deadlocks);
  EXPECT_EQ(failedChildren, 0);
  EXPECT_GT(ops, 0);
}

}  // namespace
