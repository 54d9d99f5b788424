// Crash states: every state a power cut may leave, not just one.
//
// The unit lives on the in-memory file system, which records every changing
// call an operation makes and knows which of them a Sync or SyncDir made
// durable. Each operation runs once on a prepared unit to record its calls;
// then, for each crash point (after 0, 1, ... N of its changing calls) and
// each state a cut there may leave under the model (see
// standin/testing/MemFileSystem.h: "ordered" keeps a prefix, "weak" any
// subset of what was not durable yet, writes torn at 512-byte sectors), the
// unit is powered on in that state and checked:
// - every file is byte for byte a version it had at a durable point (never
//   a mix, never empty unless it was), or absent where it was absent before
//   or after the operation;
// - after the operation returned, every file holds what it reported done;
// - the library reads the files the operation changed, key by key;
// - the same operation run again succeeds: the unit ends exactly as after
//   the uncut run, and no temporary file is left.
// Identical states (by the files they hold) are checked once. Where a point
// has more weak states than kWeakSample, a sample of that size is drawn from
// the seed printed (SYSDATA_CRASH_SEED replays another).
//
// Deliberately broken writers prove that the exploration finds what it must.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "core/SystemRecords.h"
#include "settings/CommonSettings.h"
#include "settings/FeatureSettings.h"
#include "settings/SettingsCatalog.h"
#include "settings/SxmSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "standin/testing/MemFileSystem.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "util/SysDataUtilProduct.h"
#if defined(SYSDATA_CRASH_STATES_TOOL)
#include "platform/TqSimulation.h"
#include "standin/testing/StoreControl.h"
#include "tools/sysdatactl/Commands.h"
#endif

namespace {

using standin::testing::MemFileSystem;
using standin::testing::PretendProcessId;
using standin::testing::ScopedMemFileSystem;
using sysdata_test::SimUnit;
using Model = MemFileSystem::Model;
using Files = std::map<std::string, std::string>;

// The writer that the cut stops runs under an id no process has (larger
// than any pid_max), and each power-on under another such id: a new process,
// whose locks and record of its last sweep of leftovers are its own. (That
// an id may come back after a boot is covered by the sweep's own tests.)
constexpr int kDeadWriterPid = 0x3f000000;
int g_boot = 0;
int nextBootPid() { return kDeadWriterPid + 1 + (++g_boot); }

constexpr std::size_t kWeakSample = 256;

std::uint64_t crashSeed() {
  static const std::uint64_t seed = [] {
    const char* env = std::getenv("SYSDATA_CRASH_SEED");
    return env != nullptr && env[0] != '\0' ? std::strtoull(env, nullptr, 0) : 0x5eed0c0ffeeull;
  }();
  return seed;
}

// Once per process: the seed a failure is replayed with.
void showSeed() {
  static bool shown = false;
  if (shown) return;
  std::printf("RELIABILITY crash-states seed=0x%llx weak-sample=%zu\n", static_cast<unsigned long long>(crashSeed()),
              kWeakSample);
  shown = true;
}

const char* modelName(Model m) { return m == Model::kOrdered ? "ordered" : "weak"; }

bool isTemporary(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  return name.size() > 5 && name[0] == '.' && name.compare(name.size() - 4, 4, ".tmp") == 0;
}

bool isLockFile(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  return path.find("/.tqlocks/") != std::string::npos ||
         (name.size() > 6 && name[0] == '.' && name.compare(name.size() - 5, 5, ".lock") == 0);
}

// The files that matter: not lock files, not temporaries.
Files settled(const Files& all) {
  Files out;
  for (const auto& f : all) {
    if (isLockFile(f.first) || isTemporary(f.first)) continue;
    out.insert(f);
  }
  return out;
}

std::string fingerprint(const Files& files) {
  std::string out;
  for (const auto& f : files) {
    out += f.first;
    out += '\0';
    out += std::to_string(f.second.size());
    out += '\0';
    out += f.second;
  }
  return out;
}

std::string show(const std::string& s) {
  std::string out;
  for (char c : s.substr(0, 60)) out += (c == '\n') ? std::string("\\n") : std::string(1, c);
  return "\"" + out + (s.size() > 60 ? "...\"(" + std::to_string(s.size()) + " bytes)" : "\"");
}

// A unit whose files live in memory: the root and its host directories are
// made there (the segments and host records stay real).
struct MemUnit {
  SimUnit unit;
  ScopedMemFileSystem mem;
  MemUnit() {
    mem->MakeDirs(unit.disk(SimUnit::kSaveDir));
    mem->MakeDirs(unit.disk(SimUnit::kCalibrationDir));
    mem->MakeDirs(unit.disk("/Syslog"));
    mem->MakeDirs(unit.disk("/media/usb"));
  }
  std::string save(const std::string& name) const { return unit.saveFile(name); }
  std::string syslog(const std::string& name) const { return unit.disk("/Syslog/" + name); }
  std::string media(const std::string& name) const { return unit.disk("/media/usb/" + name); }
  void put(const std::string& path, const std::string& content) {
    ASSERT_TRUE(mem->PutFile(path, content)) << path;
  }
  Files files() { return mem->FilesNow(unit.root()); }
};

struct Operation {
  const char* name;
  std::function<void(MemUnit&)> prepare;
  std::function<void(MemUnit&)> run;
  // Key files in the save directory the store must open after a power-on.
  std::vector<const char*> readBack;
};

std::ostream& operator<<(std::ostream& out, const Operation& op) { return out << op.name; }

std::string imageBytes(char seed, std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 7);
  return s;
}

const char* const kDealer = "DOP_Customize\r\n[miclevel]14\r\n[demo]1\r\n[caution]logo.png\r\n~END\r\n";

std::string keyFile(const sysdata::SettingsFileDef& def, const std::string& last) {
  std::string text;
  for (std::size_t n = 0; n + 1 < def.keyCount; ++n) text += std::string(def.keys[n].key) + "=1\n";
  return text + last;
}

const std::vector<Operation>& operations() {
  static const std::vector<Operation> ops = {
      {"setter int (Mic.ini)",
       [](MemUnit& u) { u.put(u.save("Mic.ini"), "BtPhoneSndTalkVol=3\nEchoCancel=2\nNoiseReduction=1\n"); },
       [](MemUnit&) { TqSingleton<SysDataMic>::GetInstance()->setBtPhoneSndTalkVol(-7); },
       {"Mic.ini"}},
      {"setter creating its file (Camera.ini)", [](MemUnit&) {},
       [](MemUnit&) { TqSingleton<SysDataCamera>::GetInstance()->setCamGuidePosiUpperLeftX(300); },
       {"Camera.ini"}},
      {"setter string (InitialValueCustomize.ini)", [](MemUnit&) {},
       [](MemUnit&) {
         TqSingleton<SysDataInitialValueCustomize>::GetInstance()->setStartupCautionPath("/Syslog/caution.png");
       },
       {"InitialValueCustomize.ini"}},
      {"accessor write (Settings.ini)",
       [](MemUnit& u) { u.put(u.save("Settings.ini"), "BeepVol=2\nSystemLang=4\nTimeZone=-3\n"); },
       [](MemUnit&) { SettingsDataAccessor().setDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL, 9); },
       {}},
      {"accessor read filling a default (Settings.ini)",
       [](MemUnit& u) { u.put(u.save("Settings.ini"), "SystemLang=4\nTimeZone=-3\n"); },
       [](MemUnit&) { (void)SettingsDataAccessor().getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL); },
       {}},
      {"reset by name, product file (SxmSetting.ini)",
       [](MemUnit& u) { u.put(u.save("SxmSetting.ini"), "ContentsAlert=0\nSeekMode=\x01junk"); },
       [](MemUnit&) { SysDataUtilProduct().initSysDataFile("SxmSetting.ini"); },
       {"SxmSetting.ini"}},
      {"reset by name, navigation file",
       [](MemUnit& u) { u.put(u.save(sysdata::navigationFileNames()[0]), std::string(1500, 'n')); },
       [](MemUnit&) { SysDataUtilProduct().initSysDataFile(sysdata::navigationFileNames()[0]); },
       {}},
      {"reset by name, binary file (SxmAlertCity.ini)",
       [](MemUnit& u) { u.put(u.save("SxmAlertCity.ini"), std::string(SysDataSxmAlertCity::kRecordSize, 'Z')); },
       [](MemUnit&) { SysDataUtilProduct().initSysDataFile("SxmAlertCity.ini"); },
       {}},
      {"default table", [](MemUnit&) {},
       [](MemUnit&) {
         SysDataUtilProduct().initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
       },
       {}},
      {"export",
       [](MemUnit& u) {
         ASSERT_TRUE(u.mem->MakeDirs(u.media("export")));
         u.put(u.save("Mic.ini"), "BtPhoneSndTalkVol=3\nEchoCancel=2\nNoiseReduction=1\n");
         u.put(u.save("DriveRecorder.ini"), "FrontRecorderLastConnect=5\n");
       },
       [](MemUnit&) { SysDataUtilProduct().dataExport("/media/usb/export"); },
       {}},
      {"import",
       [](MemUnit& u) {
         ASSERT_TRUE(u.mem->MakeDirs(u.media("export")));
         u.put(u.media("export/DriveRecorder.ini"), "FrontRecorderLastConnect=8\n");
         u.put(u.save("DriveRecorder.ini"), "FrontRecorderLastConnect=2\n");
       },
       [](MemUnit&) { SysDataUtilProduct().dataImport("/media/usb/export"); },
       {"DriveRecorder.ini"}},
      {"customization import",
       [](MemUnit& u) {
         u.put(u.media("dop.txt"), kDealer);
         u.put(u.media("logo.png"), imageBytes('n', 3000));
         u.put(u.syslog(SimUnit::kCustomizeFileName), "DOP_Customize\n[miclevel]4\n[caution]old.png\n");
         u.put(u.syslog("dop_startup_caution_img.png"), imageBytes('o', 1000));
       },
       [](MemUnit&) {
         std::string path = "/media/usb/dop.txt";
         CustomizeSysDataProduct().import(path);
       },
       {}},
      {"customization apply",
       [](MemUnit& u) {
         u.put(u.save("Mic.ini"), "BtPhoneSndTalkVol=0\nEchoCancel=0\nNoiseReduction=0\n");
         u.put(u.syslog(SimUnit::kCustomizeFileName), kDealer);
         u.put(u.syslog("dop_startup_caution_img.png"), imageBytes('i', 700));
       },
       [](MemUnit&) { CustomizeSysDataProduct().afterInitialize(CustomizeSysData::INITIALIZE_ALL); },
       {"Mic.ini"}},
      {"calibration", [](MemUnit&) {}, [](MemUnit&) { SysDataUtilProduct().confirmCalibrationData(); }, {}},
  };
  return ops;
}

// What the exploration of one operation under one model found.
struct Outcome {
  std::size_t points = 0;
  std::size_t states = 0;
  std::size_t violations = 0;
  std::size_t sampledPoints = 0;  // points whose weak states were sampled
  std::vector<std::string> examples;  // the first few, for the failure message
  void violation(const std::string& what) {
    ++violations;
    if (examples.size() < 5) examples.push_back(what);
  }
};

// The record of an uncut run.
struct Reference {
  std::shared_ptr<const MemFileSystem::Recording> recording;
  Files before;
  Files after;
  std::map<std::string, std::set<std::string>> versions;
};

template <typename Unit, typename Prepare, typename Run>
Reference record(Unit& u, const Prepare& prepare, const Run& run) {
  Reference ref;
  prepare(u);
  u.mem->MarkDurable();
  ref.before = settled(u.files());
  PretendProcessId(kDeadWriterPid);
  run(u);
  PretendProcessId(0);
  ref.after = settled(u.files());
  ref.recording = u.mem->Recorded();
  ref.versions = u.mem->AllVersions();
  return ref;
}

// Checks one state before power-on: whole versions, and at the last point
// (the operation reported done) exactly what it reported.
void judgeState(const Reference& ref, const Files& state, bool done, const std::string& where, Outcome* out) {
  std::set<std::string> paths;
  for (const Files* f : {&ref.before, &ref.after, &state}) {
    for (const auto& e : *f) paths.insert(e.first);
  }
  for (const std::string& path : paths) {
    const auto now = state.find(path);
    const auto after = ref.after.find(path);
    if (done) {
      if ((now == state.end()) != (after == ref.after.end()) ||
          (now != state.end() && now->second != after->second)) {
        out->violation(where + ": reported done, but " + path + " is " +
                       (now == state.end() ? std::string("absent") : show(now->second)));
        return;
      }
      continue;
    }
    if (now == state.end()) {
      if (ref.before.count(path) != 0 && after != ref.after.end()) {
        out->violation(where + ": " + path + " vanished");
        return;
      }
      continue;
    }
    const auto v = ref.versions.find(path);
    if (v == ref.versions.end() || v->second.count(now->second) == 0) {
      out->violation(where + ": " + path + " is " + show(now->second) + ", a version it never had durably");
      return;
    }
  }
}

// Runs the exploration of run under model; reads and again are run after
// each power-on (null: nothing to read, nothing to run again).
Outcome explore(MemUnit& u, const Reference& ref, Model model, const std::function<void(MemUnit&)>& reads,
                const std::function<void(MemUnit&)>& again) {
  Outcome out;
  const std::size_t n = MemFileSystem::ChangeCount(*ref.recording);
  out.points = n + 1;
  std::set<std::string> seen;
  for (std::size_t p = 0; p <= n; ++p) {
    const MemFileSystem::CrashStateSet set =
        MemFileSystem::CrashStates(*ref.recording, p, model, kWeakSample, crashSeed());
    for (const MemFileSystem::CrashState& state : set.states) {
      const Files all = MemFileSystem::FilesIn(*state.image, u.unit.root());
      const Files files = settled(all);
      const std::string where = "cut after change " + std::to_string(p) + " of " + std::to_string(n) + " (" +
                                state.what + ")";
      const std::size_t before = out.violations;
      judgeState(ref, files, p == n, where, &out);
      // States that hold the same files are checked after power-on once.
      if (!seen.insert(fingerprint(all)).second) continue;
      ++out.states;
      if (out.violations != before || !again) continue;
      u.mem->PowerOn(state);
      PretendProcessId(nextBootPid());
      if (reads) reads(u);
      again(u);
      const Files all2 = u.files();
      const Files end = settled(all2);
      if (end != ref.after) {
        for (const auto& f : ref.after) {
          const auto it = end.find(f.first);
          if (it == end.end() || it->second != f.second) {
            out.violation(where + ": run again after power-on, " + f.first + " is " +
                          (it == end.end() ? std::string("absent") : show(it->second)) + " instead of " +
                          show(f.second));
            break;
          }
        }
        if (out.violations == before) out.violation(where + ": run again after power-on left other files");
      }
      for (const auto& f : all2) {
        if (isTemporary(f.first)) {
          out.violation(where + ": temporary file " + f.first + " outlived the power-on");
          break;
        }
      }
      PretendProcessId(0);
    }
  }
  return out;
}

class CrashStates : public ::testing::TestWithParam<Operation> {};

TEST_P(CrashStates, EveryStateACutMayLeaveHoldsWholeVersionsAndRecovers) {
  const Operation& op = GetParam();
  MemUnit u;
  showSeed();
  // A first run creates what lives for the process (registries, file
  // objects), so that the recorded run is what a running unit does.
  op.prepare(u);
  op.run(u);
  const Reference ref = record(u, op.prepare, op.run);
  // The store opens each file the operation changed, whichever state the
  // cut left it in (a missing file is a state it had before).
  const auto reads = [&op](MemUnit& unit) {
    for (const char* name : op.readBack) {
      if (!unit.mem->Exists(unit.save(name))) continue;
      auto file = reliability::freshMetaText(name);
      ASSERT_TRUE(file && file->FOpen()) << "cannot open " << name;
      file->FClose();
    }
  };
  for (Model model : {Model::kOrdered, Model::kWeak}) {
    SCOPED_TRACE(modelName(model));
    const Outcome out = explore(u, ref, model, reads, op.run);
    std::printf("RELIABILITY crash-states operation=\"%s\" model=%s points=%zu states=%zu violations=%zu\n", op.name,
                modelName(model), out.points, out.states, out.violations);
    EXPECT_EQ(out.violations, 0u);
    for (const std::string& e : out.examples) ADD_FAILURE() << e;
  }
}

std::string rowName(const ::testing::TestParamInfo<Operation>& info) { return reliability::testName(info.param.name); }

INSTANTIATE_TEST_SUITE_P(Operations, CrashStates, ::testing::ValuesIn(operations()), rowName);

#if defined(SYSDATA_CRASH_STATES_TOOL)
// ---- the tool's own commands ----
//
// The tool runs here, in this process, through its own entry point (the
// program's main() adds only the handling of exceptions): each call is one
// invocation, one power-on and power-off of the unit, on the in-memory file
// system. The unit's directory exists on the disk too (empty), as the tool
// checks it there before it reaches anything beneath it through the
// stand-in's layer; so does the stick an import reads, whose files are in
// both places.
//
// After each cut the unit is powered on the way the tool does it (a plain
// boot) and checked:
// - every file, unit.conf and unit.state included, holds a version it had
//   at a durable point, and once the command returned what it reported;
// - the boot count is never below one a boot reported;
// - the boot succeeds and reports the next count, no temporary file is left,
//   verify is clean;
// - a boot, which the tool itself finishes, ends with the unit as before it
//   or as after it, never between (an initialisation cut half way is
//   finished by the next boot);
// - the same command run again succeeds and the unit ends as after the
//   uncut run (its boot count aside).
// States that differ only in lock files are powered on once. Weak states
// are sampled as above; a slow build (emulated, sanitized) checks every
// few points only (reliability::scalePercent), and says how many in points=.

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::ostream& operator<<(std::ostream& out, const ToolRun& run) {
  return out << "status " << run.status << ", stdout \"" << run.out << "\", stderr \"" << run.err << "\"";
}

ToolRun runTool(const std::string& root, const std::vector<std::string>& args) {
  std::vector<std::string> words = {"sysdatactl", "--root", root};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  std::ostringstream out;
  std::ostringstream err;
  // The tool changes into a directory it hands the library (an import's).
  char cwd[PATH_MAX];
  const bool hadCwd = ::getcwd(cwd, sizeof cwd) != nullptr;
  // As main() does: a lock the tool leaked would make the next command
  // fail within the budget, not hang.
  standin::testing::SetWaitBudget(sysdatactl::kCommandWaitBudgetMs);
  ToolRun run;
  try {
    run.status = sysdatactl::run(static_cast<int>(words.size()), argv.data(), sysdatactl::Streams{out, err});
  } catch (const std::exception& e) {
    err << "exception: " << e.what();
  }
  standin::testing::SetWaitBudget(0);
  if (hadCwd && ::chdir(cwd) != 0) ADD_FAILURE() << "cannot change back to " << cwd;
  run.out = out.str();
  run.err = err.str();
  return run;
}

// A unit for the tool: an empty directory on the disk, its content in memory.
struct ToolUnit {
  ScopedMemFileSystem mem;
  std::string root;
  std::string stick;  // a directory of this machine outside the unit
  ToolUnit() {
    const char* base = std::getenv("SYSDATA_TEST_TMP");
    const std::string parent = (base != nullptr && base[0] != '\0') ? base : "/tmp";
    root = sysdata_test::openUnitRoot(parent, "tool-unit-");
    // The tool points the stand-in at the unit itself.
    TqSimSetRoot("");
    std::string pattern = parent + "/tool-stick-XXXXXX";
    if (::mkdtemp(&pattern[0]) != nullptr) stick = pattern;
    EXPECT_FALSE(root.empty() || stick.empty()) << "cannot make directories under " << parent;
    mem->MakeDirs(root);
    mem->MakeDirs(stick);
  }
  ~ToolUnit() {
    TqSimSetRoot(root.c_str());
    sysdata_test::closeUnitRoot(root);
    if (!stick.empty()) sysdata_test::removeTree(stick);
  }
  ToolRun run(const std::vector<std::string>& args) { return runTool(root, args); }
  std::string path(const std::string& hostPath) const { return root + hostPath; }
  void put(const std::string& path, const std::string& content) {
    ASSERT_TRUE(mem->PutFile(path, content)) << path;
  }
  Files files() { return mem->FilesNow(root); }
};

const std::vector<std::string> kCreate = {"create", "--model", "6", "--destination", "5"};

// What the stick offers an import.
const char* const kStickDriveRecorder = "FrontRecorderLastConnect=8\n";

struct ToolOperation {
  const char* name;
  // Command lines run before (a unit's history, all of it reported), and
  // files put in place after them.
  std::vector<std::vector<std::string>> history;
  std::function<void(ToolUnit&)> prepare;
  std::vector<std::string> command;
  // Run again after the power-on (empty: the command itself).
  std::vector<std::string> again;
  // A boot: the tool's own recovery, so the files end as before or after.
  bool wholeOrNothing;
  // Run again, the unit ends as after the uncut run; otherwise only
  // unit.conf is compared (a unit made again keeps what its boots made).
  bool sameEnd;
};

std::ostream& operator<<(std::ostream& out, const ToolOperation& op) { return out << op.name; }

// A valid product file that is not in its factory state: one value of
// the file as the first boot left it, flipped.
void changeOneValue(ToolUnit& u, const std::string& hostPath) {
  std::string content;
  ASSERT_TRUE(u.mem->GetFile(u.path(hostPath), &content)) << hostPath;
  std::size_t at = content.find("=0\n");
  if (at != std::string::npos) {
    content[at + 1] = '1';
  } else {
    at = content.find("=1\n");
    ASSERT_NE(at, std::string::npos) << "no value to change in " << hostPath;
    content[at + 1] = '0';
  }
  u.put(u.path(hostPath), content);
}

void putStoredCustomization(ToolUnit& u) {
  u.put(u.path("/Syslog/dop_customize.txt"), kDealer);
  u.put(u.path("/Syslog/dop_startup_caution_img.png"), imageBytes('i', 700));
}

const std::vector<ToolOperation>& toolOperations() {
  static const std::vector<ToolOperation> ops = {
      {"tool create", {}, nullptr, kCreate, {"create", "--model", "6", "--destination", "5", "--force"}, false,
       false},
      {"tool boot", {kCreate, {"boot"}}, nullptr, {"boot"}, {}, true, true},
      {"tool boot --init",
       {kCreate, {"boot"}, {"set", "BEEP_VOL", "9"}},
       [](ToolUnit& u) {
         putStoredCustomization(u);
         changeOneValue(u, "/data/save/SxmSetting.ini");
       },
       {"boot", "--init"},
       {},
       true,
       true},
      {"tool set", {kCreate, {"boot"}}, nullptr, {"set", "BEEP_VOL", "7"}, {}, false, true},
      // Not a boot, but one the next boot finishes when it was cut.
      {"tool customize apply", {kCreate, {"boot"}}, putStoredCustomization, {"customize", "apply"}, {}, true, true},
      {"tool reset",
       {kCreate, {"boot"}},
       [](ToolUnit& u) { changeOneValue(u, "/data/save/SxmSetting.ini"); },
       {"reset", "SxmSetting.ini"},
       {},
       false,
       true},
      {"tool import",
       {kCreate, {"boot"}},
       [](ToolUnit& u) {
         u.put(u.path("/data/save/DriveRecorder.ini"), "FrontRecorderLastConnect=2\n");
         u.put(u.stick + "/DriveRecorder.ini", kStickDriveRecorder);
         sysdata_test::writeFile(u.stick + "/DriveRecorder.ini", kStickDriveRecorder);
       },
       {"import", ""},  // the stick's directory
       {},
       false,
       true},
  };
  return ops;
}

std::vector<std::string> withStick(std::vector<std::string> args, const ToolUnit& u) {
  for (std::string& a : args) {
    if (a.empty()) a = u.stick;
  }
  return args;
}

// The boot count a state holds: 0 without unit.state; -1 when unit.state is
// there but no count can be read from it.
int bootsIn(const Files& files, const std::string& root) {
  const auto it = files.find(root + "/unit.state");
  if (it == files.end()) return 0;
  if (it->second.compare(0, 6, "boots=") != 0) return -1;
  return std::atoi(it->second.c_str() + 6);
}

Files without(Files files, const std::string& path) {
  files.erase(path);
  return files;
}

// The first file in which a and b differ, for a message.
std::string firstDifference(const Files& a, const Files& b) {
  std::set<std::string> paths;
  for (const auto& f : a) paths.insert(f.first);
  for (const auto& f : b) paths.insert(f.first);
  for (const std::string& p : paths) {
    const auto x = a.find(p);
    const auto y = b.find(p);
    const std::string xs = x == a.end() ? std::string("absent") : show(x->second);
    const std::string ys = y == b.end() ? std::string("absent") : show(y->second);
    if (xs != ys || (x != a.end() && y != b.end() && x->second != y->second)) return p + " is " + xs + " instead of " + ys;
  }
  return "none";
}

Outcome exploreTool(ToolUnit& u, const Reference& ref, const ToolOperation& op, Model model) {
  Outcome out;
  const std::size_t n = MemFileSystem::ChangeCount(*ref.recording);
  const std::string conf = u.root + "/unit.conf";
  const std::string state = u.root + "/unit.state";
  const int reported = bootsIn(ref.before, u.root);
  const std::vector<std::string> again = withStick(op.again.empty() ? op.command : op.again, u);
  // A slow build (emulated, sanitized) checks every stride-th point and the
  // last; this one checks them all.
  const std::size_t stride = static_cast<std::size_t>(100 / std::min(100, reliability::scalePercent()));
  out.points = 0;
  std::set<std::string> seen;
  for (std::size_t p = 0; p <= n; ++p) {
    if (p % stride != 0 && p != n) continue;
    ++out.points;
    const MemFileSystem::CrashStateSet set =
        MemFileSystem::CrashStates(*ref.recording, p, model, kWeakSample, crashSeed());
    if (!set.exhaustive) ++out.sampledPoints;
    for (const MemFileSystem::CrashState& cut : set.states) {
      const Files all = MemFileSystem::FilesIn(*cut.image, u.root);
      const Files files = settled(all);
      const std::string where = "cut after change " + std::to_string(p) + " of " + std::to_string(n) + " (" +
                                cut.what + ")";
      const std::size_t before = out.violations;
      judgeState(ref, files, p == n, where, &out);
      const int boots = bootsIn(files, u.root);
      if (out.violations == before && (boots < 0 || boots < reported)) {
        out.violation(where + ": the boot count went back to " +
                      (boots < 0 ? show(files.at(state)) : std::to_string(boots)) + " past the reported " +
                      std::to_string(reported));
      }
      // States that differ only in lock files (made again on demand) are
      // powered on once.
      Files kept;
      for (const auto& f : all) {
        if (!isLockFile(f.first)) kept.insert(f);
      }
      if (!seen.insert(fingerprint(kept)).second) continue;
      ++out.states;
      if (out.violations != before) continue;
      u.mem->PowerOn(cut);
      PretendProcessId(nextBootPid());
      if (files.count(conf) != 0) {
        const ToolRun boot = u.run({"boot"});
        const std::string expected = "boot " + std::to_string(boots + 1) + " of ";
        if (boot.status != 0 || boot.out.compare(0, expected.size(), expected) != 0) {
          out.violation(where + ": the power-on failed: " + ::testing::PrintToString(boot));
          PretendProcessId(0);
          continue;
        }
        for (const auto& f : u.files()) {
          if (isTemporary(f.first)) {
            out.violation(where + ": temporary file " + f.first + " outlived the power-on");
            break;
          }
        }
        if (op.wholeOrNothing) {
          const Files now = without(settled(u.files()), state);
          if (now != without(ref.before, state) && now != without(ref.after, state)) {
            out.violation(where + ": after the power-on the unit is neither as before nor as after: " +
                          firstDifference(now, without(ref.after, state)));
          }
        }
        const ToolRun verify = u.run({"verify"});
        if (verify.status != 0) out.violation(where + ": verify after the power-on: " + ::testing::PrintToString(verify));
      }
      const ToolRun second = u.run(again);
      if (second.status != 0) {
        out.violation(where + ": run again after power-on: " + ::testing::PrintToString(second));
      } else {
        const Files end = settled(u.files());
        if (op.sameEnd ? without(end, state) != without(ref.after, state)
                       : end.count(conf) == 0 || end.at(conf) != ref.after.at(conf)) {
          out.violation(where + ": run again after power-on, " +
                        firstDifference(without(end, state), without(ref.after, state)));
        }
      }
      PretendProcessId(0);
    }
  }
  return out;
}

class ToolCrashStates : public ::testing::TestWithParam<ToolOperation> {};

TEST_P(ToolCrashStates, EveryStateACutMayLeaveHoldsWholeVersionsAndBoots) {
  const ToolOperation& op = GetParam();
  ToolUnit u;
  ASSERT_FALSE(u.root.empty() || u.stick.empty());
  showSeed();
  for (const std::vector<std::string>& line : op.history) {
    const ToolRun run = u.run(line);
    ASSERT_EQ(run.status, 0) << "preparing: " << run;
  }
  if (op.prepare) op.prepare(u);
  if (!op.history.empty()) {
    const ToolRun verify = u.run({"verify"});
    ASSERT_EQ(verify.status, 0) << "the prepared unit: " << verify;
  }
  const std::vector<std::string> command = withStick(op.command, u);
  ToolRun first;
  const Reference ref = record(
      u, [](ToolUnit&) {}, [&](ToolUnit&) { first = u.run(command); });
  ASSERT_EQ(first.status, 0) << "the uncut run: " << first;
  for (Model model : {Model::kOrdered, Model::kWeak}) {
    SCOPED_TRACE(modelName(model));
    const auto start = std::chrono::steady_clock::now();
    const Outcome out = exploreTool(u, ref, op, model);
    std::printf("RELIABILITY crash-states operation=\"%s\" model=%s points=%zu states=%zu violations=%zu\n", op.name,
                modelName(model), out.points, out.states, out.violations);
    std::printf("  (%.1f s; weak states sampled at %zu of the points)\n", reliability::secondsSince(start),
                out.sampledPoints);
    EXPECT_EQ(out.violations, 0u);
    for (const std::string& e : out.examples) ADD_FAILURE() << e;
  }
}

std::string toolRowName(const ::testing::TestParamInfo<ToolOperation>& info) {
  return reliability::testName(info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Tool, ToolCrashStates, ::testing::ValuesIn(toolOperations()), toolRowName);
#endif  // SYSDATA_CRASH_STATES_TOOL

// ---- writers that must be caught ----

void writeAllTo(standin::FileSystem* fs, int fd, const std::string& data) {
  ASSERT_EQ(fs->Write(fd, data.data(), data.size()), static_cast<long long>(data.size()));
}

struct BrokenWriter {
  const char* name;
  std::function<void(const std::string& path, const std::string& content)> write;
  // The models under which it must be caught.
  bool caughtOrdered;
  bool caughtWeak;
};

std::ostream& operator<<(std::ostream& out, const BrokenWriter& w) { return out << w.name; }

std::string dirOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

const std::vector<BrokenWriter>& brokenWriters() {
  static const std::vector<BrokenWriter> writers = {
      {"replace renaming before syncing the data",
       [](const std::string& path, const std::string& content) {
         standin::FileSystem* fs = standin::GetFileSystem();
         const std::string temp = dirOf(path) + "/.broken.tmp";
         const int fd = fs->Open(temp, O_WRONLY | O_CREAT | O_EXCL, 0644);
         ASSERT_GE(fd, 0);
         writeAllTo(fs, fd, content);
         ASSERT_EQ(fs->Rename(temp, path), 0);
         ASSERT_EQ(fs->SyncDir(dirOf(path)), 0);
         ASSERT_EQ(fs->Sync(fd), 0);
         fs->Close(fd);
       },
       false, true},
      {"replace without the directory sync",
       [](const std::string& path, const std::string& content) {
         standin::FileSystem* fs = standin::GetFileSystem();
         const std::string temp = dirOf(path) + "/.broken.tmp";
         const int fd = fs->Open(temp, O_WRONLY | O_CREAT | O_EXCL, 0644);
         ASSERT_GE(fd, 0);
         writeAllTo(fs, fd, content);
         ASSERT_EQ(fs->Sync(fd), 0);
         fs->Close(fd);
         ASSERT_EQ(fs->Rename(temp, path), 0);
       },
       true, true},
      {"overwrite in place",
       [](const std::string& path, const std::string& content) {
         standin::FileSystem* fs = standin::GetFileSystem();
         const int fd = fs->Open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
         ASSERT_GE(fd, 0);
         writeAllTo(fs, fd, content);
         ASSERT_EQ(fs->Sync(fd), 0);
         fs->Close(fd);
       },
       true, true},
  };
  return writers;
}

class BrokenWriters : public ::testing::TestWithParam<BrokenWriter> {};

TEST_P(BrokenWriters, AreCaught) {
  const BrokenWriter& w = GetParam();
  MemUnit u;
  const std::string target = u.save("Broken.ini");
  // Two sectors and a half: a torn write has somewhere to tear.
  const std::string oldContent = keyFile(sysdata::productFiles()[0], "Last=old\n");
  std::string newContent;
  for (int i = 0; i < 40; ++i) newContent += "Key" + std::to_string(i) + "=new value " + std::to_string(i) + "\n";
  const auto prepare = [&](MemUnit& unit) { unit.put(target, oldContent); };
  const auto run = [&](MemUnit&) { w.write(target, newContent); };
  const Reference ref = record(u, prepare, run);
  for (Model model : {Model::kOrdered, Model::kWeak}) {
    SCOPED_TRACE(modelName(model));
    const Outcome out = explore(u, ref, model, nullptr, nullptr);
    std::printf("RELIABILITY crash-states broken=\"%s\" model=%s states=%zu violations=%zu\n", w.name,
                modelName(model), out.states, out.violations);
    if (!out.examples.empty()) std::printf("  e.g. %s\n", out.examples.front().c_str());
    const bool mustCatch = model == Model::kOrdered ? w.caughtOrdered : w.caughtWeak;
    if (mustCatch) {
      EXPECT_GT(out.violations, 0u) << "the exploration missed a broken writer";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Writers, BrokenWriters, ::testing::ValuesIn(brokenWriters()),
                         [](const ::testing::TestParamInfo<BrokenWriter>& info) {
                           std::string out;
                           for (const char* p = info.param.name; *p != '\0'; ++p) {
                             out += (*p >= 'a' && *p <= 'z') ? *p : '_';
                           }
                           return out;
                         });

}  // namespace
