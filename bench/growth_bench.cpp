// How get and set grow: with the size of "Settings.ini" (10 to 10,000 keys),
// each against its floor on a file of the same size; and with 1, 2 and 4
// threads, on different files and on one file, each against one thread doing
// the same operations.
#include <benchmark/benchmark.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "bench/Floors.h"
#include "bench/Interleave.h"
#include "bench/ResultTable.h"
#include "bench/Scenario.h"
#include "core/SysDataFactory.h"
#include "platform/SaveFileAccess.h"
#include "settings/CommonSettings.h"

namespace sysdata_bench {
namespace {

void BM_GrowthGet(benchmark::State& state) {
  const std::size_t keys = static_cast<std::size_t>(state.range(0));
  Scenario s(keys);
  s.mirror("Settings.ini");
  SettingsDataAccessor accessor;
  int sink = 0;
  const std::vector<double> m = runInterleaved(
      state, {"accessor get, \"Settings.ini\" of " + std::to_string(keys) + " keys",
              [&](int) { sink += accessor.getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL); },
              {{"floor: read + parse", [&](int) { sink += floorGet(s.floor, "Settings.ini", "BeepVol"); }, 1.10}},
              nullptr});
  benchmark::DoNotOptimize(sink);
  ResultTable::instance().addGrowth({"accessor get (us)", static_cast<double>(keys), m[0]});
  ResultTable::instance().addGrowth({"get floor: read + parse (us)", static_cast<double>(keys), m[1]});
}

void BM_GrowthSet(benchmark::State& state) {
  const std::size_t keys = static_cast<std::size_t>(state.range(0));
  Scenario s(keys);
  s.mirror("Settings.ini");
  SettingsDataAccessor accessor;
  auto value = [](int round) { return round % 2 == 0 ? 2 : 4; };
  const std::vector<double> m = runInterleaved(
      state, {"accessor set, \"Settings.ini\" of " + std::to_string(keys) + " keys",
              [&](int r) { accessor.setDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL, value(r)); },
              {{"floor: read + parse + serialise + durable replace",
                [&](int r) { floorSet(s.floor, "Settings.ini", "BeepVol", value(r)); }, 1.10}},
              nullptr});
  ResultTable::instance().addGrowth({"accessor set (us)", static_cast<double>(keys), m[0]});
  ResultTable::instance().addGrowth({"set floor: read + parse + serialise + durable replace (us)",
                                     static_cast<double>(keys), m[1]});
}

// n threads each running perThread operations, started together; returns
// when all are done.
void runThreads(int n, int perThread, const std::function<void(int thread, int i)>& op) {
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  threads.reserve(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) {
    threads.emplace_back([&, t] {
      ready.fetch_add(1);
      while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
      for (int i = 0; i < perThread; ++i) op(t, i);
    });
  }
  while (ready.load() < n) std::this_thread::yield();
  go.store(true, std::memory_order_release);
  for (std::thread& t : threads) t.join();
}

// The file of thread t: the accessor's three files, and for a fourth thread
// "Mic.ini" (through its setter, or for a read through the same
// open-get-close cycle on the store that the accessor makes).
int getOn(int file) {
  SettingsDataAccessor accessor;
  switch (file) {
    case 0:
      return accessor.getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL);
    case 1:
      return accessor.getDataKeyIValue(settings_datakey::DATAKEY_DEMO_SETTING_VISIBLE);
    case 2:
      return accessor.getDataKeyIValue(settings_datakey::DATAKEY_DEBUG_INFO_ON_OFF);
    default: {
      SaveFileAccessMetaText* mic = TqSingleton<SysDataFactory>::GetInstance()->getMetaText(SysDataFactory::SYSDATA_METATXT_MIC);
      int v = 0;
      mic->FOpen();
      mic->Get("EchoCancel", &v);
      mic->FClose();
      return v;
    }
  }
}

void setOn(int file, int value) {
  SettingsDataAccessor accessor;
  switch (file) {
    case 0:
      accessor.setDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL, value);
      break;
    case 1:
      accessor.setDataKeyIValue(settings_datakey::DATAKEY_DEMO_SETTING_VISIBLE, value);
      break;
    case 2:
      accessor.setDataKeyIValue(settings_datakey::DATAKEY_DEBUG_INFO_ON_OFF, value);
      break;
    default:
      TqSingleton<SysDataMic>::GetInstance()->setEchoCancel(value);
      break;
  }
}

// range(0): 0 get, 1 set; range(1): threads; range(2): 1 for one shared file.
void BM_Threads(benchmark::State& state) {
  const bool set = state.range(0) == 1;
  const int n = static_cast<int>(state.range(1));
  const bool oneFile = state.range(2) == 1;
  const int perThread = set ? 8 : 400;
  Scenario s;
  std::atomic<int> sink{0};
  auto op = [&](int round, int thread, int i) {
    const int file = oneFile ? 0 : thread;
    if (set) {
      // Every write changes the stored value.
      setOn(file, thread * 1000000 + round * 1000 + i);
    } else {
      sink.fetch_add(getOn(file), std::memory_order_relaxed);
    }
  };
  const std::string what = std::string(set ? "set" : "get") + ", " + std::to_string(n) + " thread" +
                           (n > 1 ? "s" : "") + (oneFile ? ", one file" : ", different files");
  const std::vector<double> m = runInterleaved(
      state, {what,
              [&](int r) { runThreads(n, perThread, [&](int t, int i) { op(r, t, i); }); },
              {{"1 thread doing the same operations",
                [&](int r) {
                  runThreads(1, n * perThread, [&](int, int i) { op(r + 1000, i % n, i / n); });
                },
                0}},
              nullptr});
  const double speedUp = m[0] > 0 ? m[1] / m[0] : 0.0;
  state.counters["speed_up"] = speedUp;
  ResultTable::instance().addGrowth({std::string(set ? "set" : "get") + (oneFile ? ", one file" : ", different files") +
                                         " (speed-up)",
                                     static_cast<double>(n), speedUp});
}

}  // namespace

BENCHMARK(BM_GrowthGet)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(scaled(3000));
BENCHMARK(BM_GrowthSet)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(scaled(300));
BENCHMARK(BM_Threads)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ArgNames({"set", "threads", "one_file"})
    ->ArgsProduct({{0, 1}, {1, 2, 4}, {0, 1}})
    ->Iterations(scaled(30));

}  // namespace sysdata_bench
