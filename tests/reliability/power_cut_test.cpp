// Power cuts: every file an operation touches is, after a cut at any step of
// it, either its complete old content or its complete new content, and the
// library works on what is left (the same operation run again succeeds).
//
// Each operation is run once on a prepared unit to learn its file-system
// calls and its result. Then, for k = 1..N, it runs again on the same
// preparation with the kth changing call failing and every later one too
// (the process stopped there, as far as the disk can tell), and the power is
// cut: everything not yet made durable is dropped. The same sweep fails single
// calls of each kind (open, read, write, sync, rename, ...) while the
// operation goes on. A run without faults followed by a cut must keep the new
// content: what an operation reported done is durable.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "platform/TqFileSys.h"
#include "settings/CommonSettings.h"
#include "settings/SettingsCatalog.h"
#include "settings/SxmSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "standin/testing/FaultInjection.h"
#include "tests/reliability/ReliabilitySupport.h"

namespace {

using standin::testing::CallKind;
using standin::testing::CallKindName;
using standin::testing::FaultInjectionFileSystem;
using standin::testing::ScopedFaultInjection;
using sysdata_test::readFile;
using sysdata_test::SimUnit;
using sysdata_test::writeFile;
using Content = std::optional<std::string>;  // nullopt: no file

Content contentOf(const std::string& path) {
  if (!reliability::exists(path)) return std::nullopt;
  return readFile(path);
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

std::string show(const Content& c) {
  if (!c) return "<absent>";
  std::string s = *c;
  if (s.size() > 80) s = s.substr(0, 80) + "...(" + std::to_string(c->size()) + " bytes)";
  return "\"" + s + "\"";
}

// A unit with a medium for dealer files and the import directory.
struct CutUnit {
  SimUnit unit;
  CutUnit() {
    unit.makeDir("media/usb");
    unit.makeSyslog();
  }
  std::string media(const std::string& name) const { return unit.disk("/media/usb/" + name); }
  std::string syslog(const std::string& name) const { return unit.disk("/Syslog/" + name); }
  std::string save(const std::string& name) const { return unit.saveFile(name); }
};

struct Watched {
  std::string path;
  // An absent file is acceptable too (a failed import removes its image).
  bool mayVanish;
};

struct Operation {
  const char* name;
  // Puts the old state in place with plain writes (not through the store).
  std::function<void(const CutUnit&)> prepare;
  std::function<void(const CutUnit&)> run;
  std::function<std::vector<Watched>(const CutUnit&)> watched;
  // The operation writes through setters whose failures nobody sees and then
  // removes its input: a single failed write that the process survives loses
  // that value for good (a cut, which stops the process, does not). Such
  // rows check single-call faults for whole files only.
  bool singleFaultMayLoseAWrite = false;
};

std::ostream& operator<<(std::ostream& out, const Operation& op) { return out << op.name; }

const char* const kDealerOld = "DOP_Customize\n[miclevel]4\n[caution]old.png\n";
const char* const kDealerNew = "DOP_Customize\r\n[miclevel]14\r\n[demo]1\r\n[caution]logo.png\r\n~END\r\n";
// One write before the one-shot mark; the entry after it is never applied.
const char* const kOneShot = "DOP_Customize\n[miclevel]12\n[model]1\n[demo]1\n";

std::string imageBytes(char seed, std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 7);
  return s;
}

const std::vector<Operation>& operations() {
  static const std::vector<Operation> ops = {
      {"setter flush (Mic.ini)",
       [](const CutUnit& u) { writeFile(u.save("Mic.ini"), "BtPhoneSndTalkVol=3\nEchoCancel=2\nNoiseReduction=1\n"); },
       [](const CutUnit&) { TqSingleton<SysDataMic>::GetInstance()->setBtPhoneSndTalkVol(-7); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("Mic.ini"), false}}; }},
      {"setter flush creating the file (Camera.ini)", [](const CutUnit& u) { removeFile(u.save("Camera.ini")); },
       [](const CutUnit&) { TqSingleton<SysDataCamera>::GetInstance()->setCamGuidePosiUpperLeftX(300); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("Camera.ini"), false}}; }},
      {"accessor write (Settings.ini)",
       [](const CutUnit& u) { writeFile(u.save("Settings.ini"), "BeepVol=2\nSystemLang=4\nTimeZone=-3\n"); },
       [](const CutUnit&) { SettingsDataAccessor().setDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL, 9); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("Settings.ini"), false}}; }},
      {"accessor read filling a default (Settings.ini)",
       [](const CutUnit& u) { writeFile(u.save("Settings.ini"), "SystemLang=4\nTimeZone=-3\n"); },
       [](const CutUnit&) { (void)SettingsDataAccessor().getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("Settings.ini"), false}}; }},
      {"file copy over an old file",
       [](const CutUnit& u) {
         writeFile(u.media("src.bin"), imageBytes('a', 5000));
         writeFile(u.syslog("copy.bin"), "old copy");
       },
       [](const CutUnit&) { TqFileSys::Copy("/media/usb/src.bin", "/Syslog/copy.bin", false, false); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.syslog("copy.bin"), false}}; }},
      {"file copy to a new file",
       [](const CutUnit& u) {
         writeFile(u.media("src.bin"), imageBytes('b', 300));
         removeFile(u.syslog("copy.bin"));
       },
       [](const CutUnit&) { TqFileSys::Copy("/media/usb/src.bin", "/Syslog/copy.bin", false, false); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.syslog("copy.bin"), false}}; }},
      {"binary reset (SxmAlertCity.ini)",
       [](const CutUnit& u) { writeFile(u.save("SxmAlertCity.ini"), std::string(SysDataSxmAlertCity::kRecordSize, 'Z')); },
       [](const CutUnit&) { TqSingleton<SysDataSxmAlertCity>::GetInstance()->initializeAllData(); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("SxmAlertCity.ini"), false}}; }},
      {"binary reset of a damaged record (SxmTeamDb.ini)",
       [](const CutUnit& u) { writeFile(u.save("SxmTeamDb.ini"), "short and wrong"); },
       [](const CutUnit&) { TqSingleton<SysDataSxmTeamDb>::GetInstance()->initializeAllData(); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("SxmTeamDb.ini"), false}}; }},
      {"key file reset of a damaged file (SxmFavorite.ini)",
       [](const CutUnit& u) { writeFile(u.save("SxmFavorite.ini"), std::string("Band1Preset1Channel=7\n\x01\x02junk") + '\0' + "x"); },
       [](const CutUnit&) { TqSingleton<SysDataSxmFavorite>::GetInstance()->initializeAllData(); },
       [](const CutUnit& u) { return std::vector<Watched>{{u.save("SxmFavorite.ini"), false}}; }},
      {"customization import over an earlier one",
       [](const CutUnit& u) {
         writeFile(u.media("dop.txt"), kDealerNew);
         writeFile(u.media("logo.png"), imageBytes('n', 3000));
         writeFile(u.syslog(SimUnit::kCustomizeFileName), kDealerOld);
         writeFile(u.syslog("dop_startup_caution_img.png"), imageBytes('o', 1000));
       },
       [](const CutUnit&) {
         std::string path = "/media/usb/dop.txt";
         CustomizeSysDataProduct().import(path);
       },
       [](const CutUnit& u) {
         return std::vector<Watched>{{u.syslog(SimUnit::kCustomizeFileName), false},
                                     {u.syslog("dop_startup_caution_img.png"), true}};
       }},
      {"one-shot customization applied after initialisation",
       [](const CutUnit& u) {
         writeFile(u.save("Mic.ini"), "BtPhoneSndTalkVol=0\nEchoCancel=0\nNoiseReduction=0\n");
         writeFile(u.syslog(SimUnit::kCustomizeFileName), kOneShot);
         writeFile(u.syslog("dop_startup_caution_img.png"), imageBytes('i', 200));
       },
       [](const CutUnit&) { CustomizeSysDataProduct().afterInitialize(CustomizeSysData::INITIALIZE_ALL); },
       [](const CutUnit& u) {
         return std::vector<Watched>{{u.save("Mic.ini"), false},
                                     {u.syslog(SimUnit::kCustomizeFileName), false},
                                     {u.syslog("dop_startup_caution_img.png"), false}};
       },
       true},
  };
  return ops;
}

// What one sweep found.
struct Tally {
  long simulated = 0;
  long torn = 0;
  long lost = 0;
  long notRecovered = 0;
  long strays = 0;
};

class PowerCut : public ::testing::TestWithParam<Operation> {
 protected:
  struct Snapshot {
    std::vector<Content> files;
  };

  Snapshot snapshot(const std::vector<Watched>& watched) const {
    Snapshot s;
    for (const Watched& w : watched) s.files.push_back(contentOf(w.path));
    return s;
  }

  // Prepares the old state and makes it count as durable.
  void prepare() {
    fi_->ClearFaults();
    GetParam().prepare(unit_);
    fi_->MarkAllDurable();
    fi_->ResetCounts();
  }

  int straysNow() const {
    return reliability::strayTemporaries(unit_.unit.disk(SimUnit::kSaveDir)) +
           reliability::strayTemporaries(unit_.unit.disk("/Syslog"));
  }

  // After a cut: each watched file old or new (or absent where allowed); then
  // the operation run again must bring every file to its new content.
  void judge(const std::string& cut, const std::vector<Watched>& watched, const Snapshot& before,
             const Snapshot& after, bool checkRecovery, Tally* tally) {
    ++tally->simulated;
    const Snapshot now = snapshot(watched);
    for (std::size_t i = 0; i < watched.size(); ++i) {
      const Content& c = now.files[i];
      const bool ok = c == before.files[i] || c == after.files[i] || (watched[i].mayVanish && !c);
      if (!ok) {
        ++tally->torn;
        ADD_FAILURE() << "cut at " << cut << ": " << watched[i].path << " is " << show(c) << ", neither old "
                      << show(before.files[i]) << " nor new " << show(after.files[i]);
      }
    }
    tally->strays += straysNow();
    EXPECT_EQ(straysNow(), 0) << "cut at " << cut << " left temporary files behind";
    if (!checkRecovery) return;
    // The library works on what the cut left.
    GetParam().run(unit_);
    const Snapshot again = snapshot(watched);
    for (std::size_t i = 0; i < watched.size(); ++i) {
      if (again.files[i] != after.files[i]) {
        ++tally->notRecovered;
        ADD_FAILURE() << "after the cut at " << cut << " the operation run again left " << watched[i].path
                      << " as " << show(again.files[i]) << ", expected " << show(after.files[i]);
      }
    }
  }

  CutUnit unit_;
  ScopedFaultInjection fi_;
};

TEST_P(PowerCut, EveryFileIsWholeOldOrWholeNewAfterACutAtAnyStep) {
  const Operation& op = GetParam();
  const std::vector<Watched> watched = op.watched(unit_);
  Tally tally;

  // A first run creates what lives for the process (registries, file
  // objects), so that every later run makes the same calls.
  prepare();
  op.run(unit_);

  // Learn the calls and the new content; a cut after a fault-free run keeps it.
  prepare();
  const Snapshot before = snapshot(watched);
  op.run(unit_);
  const Snapshot after = snapshot(watched);
  std::map<CallKind, std::size_t> counts;
  for (CallKind kind : {CallKind::kMutating, CallKind::kOpen, CallKind::kRead, CallKind::kWrite, CallKind::kSync,
                        CallKind::kSyncDir, CallKind::kRename, CallKind::kUnlink, CallKind::kTruncate}) {
    counts[kind] = fi_->CallCount(kind);
  }
  fi_->SimulatePowerCut();
  ++tally.simulated;
  for (std::size_t i = 0; i < watched.size(); ++i) {
    if (contentOf(watched[i].path) != after.files[i]) {
      ++tally.lost;
      ADD_FAILURE() << "completed operation lost " << watched[i].path << " to a power cut: "
                    << show(contentOf(watched[i].path)) << " instead of " << show(after.files[i]);
    }
  }
  ASSERT_GT(counts[CallKind::kMutating], 0u) << "the operation changed nothing on disk";
  for (std::size_t i = 0; i < watched.size(); ++i) {
    EXPECT_NE(before.files[i], after.files[i]) << watched[i].path << " is not changed by the operation";
  }

  // The process stops at the kth changing call, then the power goes.
  for (std::size_t k = 1; k <= counts[CallKind::kMutating]; ++k) {
    prepare();
    fi_->FailNth(CallKind::kMutating, k, FaultInjectionFileSystem::FailMode::kCrash);
    op.run(unit_);
    const bool fired = fi_->Fired();
    fi_->ClearFaults();
    fi_->SimulatePowerCut();
    EXPECT_TRUE(fired) << "changing call " << k << " never came";
    judge("changing call " + std::to_string(k), watched, before, after, true, &tally);
  }

  // One call of a kind fails, the operation goes on, then the power goes.
  for (CallKind kind : {CallKind::kOpen, CallKind::kRead, CallKind::kWrite, CallKind::kSync, CallKind::kSyncDir,
                        CallKind::kRename, CallKind::kUnlink, CallKind::kTruncate}) {
    for (std::size_t j = 1; j <= counts[kind]; ++j) {
      prepare();
      fi_->FailNth(kind, j, FaultInjectionFileSystem::FailMode::kOnce);
      op.run(unit_);
      fi_->ClearFaults();
      fi_->SimulatePowerCut();
      judge(std::string(CallKindName(kind)) + " " + std::to_string(j) + " failing", watched, before, after,
            !op.singleFaultMayLoseAWrite, &tally);
    }
  }

  std::printf("RELIABILITY power-cuts operation=\"%s\" changing-calls=%zu simulated=%ld torn=%ld lost=%ld "
              "not-recovered=%ld stray-temporaries=%ld\n",
              op.name, counts[CallKind::kMutating], tally.simulated, tally.torn, tally.lost, tally.notRecovered,
              tally.strays);
}

std::string rowName(const ::testing::TestParamInfo<Operation>& info) { return reliability::testName(info.param.name); }

INSTANTIATE_TEST_SUITE_P(Operations, PowerCut, ::testing::ValuesIn(operations()), rowName);

}  // namespace
