// Every library operation against its floor, and the single-key operations
// against SQLite, interleaved sample by sample (see Interleave.h).
//
// Writes only count when they change something: the store skips a flush of
// unchanged content, so each round either alternates the value it writes or
// restores, untimed, a state in which the operation has work to do.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "bench/Floors.h"
#include "bench/Interleave.h"
#include "bench/Peer.h"
#include "bench/Scenario.h"
#include "core/SystemRecords.h"
#include "settings/CommonSettings.h"
#include "settings/SettingsCatalog.h"
#include "settings/SxmSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "standin/testing/HostCalls.h"

namespace sysdata_bench {
namespace {

constexpr std::size_t kModelOffset = record_layout::kSysInfoModel;  // model, then destination
constexpr std::size_t kBeepVolDefault = 1768;

// Keys of a default key=value text, in file order, with their values.
std::vector<std::pair<std::string, std::string>> entriesOf(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    const std::size_t eq = text.find('=', pos);
    if (eq != std::string::npos && eq < eol) out.emplace_back(text.substr(pos, eq - pos), text.substr(eq + 1, eol - eq - 1));
    pos = eol + 1;
  }
  return out;
}

std::string serialise(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::size_t size = 0;
  for (const auto& e : entries) size += e.first.size() + e.second.size() + 2;
  std::string out;
  out.reserve(size);
  for (const auto& e : entries) {
    out.append(e.first);
    out.push_back('=');
    out.append(e.second);
    out.push_back('\n');
  }
  return out;
}

std::vector<std::string> settingsKeyNames(std::size_t n) {
  std::vector<std::string> names;
  for (const auto& e : settingsKeys(n)) names.push_back(e.first);
  for (const char* mic : {"BtPhoneSndTalkVol", "EchoCancel", "NoiseReduction"}) names.push_back(mic);
  return names;
}

// ---- single keys ----

void BM_Setter(benchmark::State& state) {
  Scenario s;
  s.mirror("Mic.ini");
  SqlitePeer peer(s.unit.root() + "/peer.db", settingsKeyNames(72));
  auto value = [](int round) { return round % 2 == 0 ? 5 : -5; };
  runInterleaved(state, {"setter SysDataMic::setEchoCancel",
                         [&](int r) { TqSingleton<SysDataMic>::GetInstance()->setEchoCancel(value(r)); },
                         {{"floor: read + parse + serialise + durable replace",
                           [&](int r) { floorSet(s.floor, "Mic.ini", "EchoCancel", value(r)); }, 1.10},
                          {"peer: SQLite WAL FULL update", [&](int r) { peer.update("EchoCancel", value(r)); }, 0}},
                         nullptr});
}

void BM_AccessorGetPresent(benchmark::State& state) {
  Scenario s;
  s.mirror("Settings.ini");
  SqlitePeer peer(s.unit.root() + "/peer.db", settingsKeyNames(72));
  SettingsDataAccessor accessor;
  const int lockFd = ::open(s.floor.path(".Settings.ini.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  int sink = 0;
  runInterleaved(state, {"accessor get, key present",
                         [&](int) { sink += accessor.getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL); },
                         {{"floor: read + parse", [&](int) { sink += floorGet(s.floor, "Settings.ini", "BeepVol"); }, 1.10},
                          {"peer: SQLite prepared point read", [&](int) { sink += peer.read("BeepVol"); }, 1.0},
                          {"the store's contract alone: lock + stat + unlock",
                           [&](int) { contractGet(lockFd, s.floor.path("Settings.ini")); }, 0}},
                         nullptr});
  benchmark::DoNotOptimize(sink);
  ::close(lockFd);
}

void BM_AccessorGetMissing(benchmark::State& state) {
  Scenario s;
  auto keys = settingsKeys(72);
  keys.erase(keys.begin());  // "BeepVol"
  const std::string without = keyValueText(keys);
  SettingsDataAccessor accessor;
  int sink = 0;
  runInterleaved(state,
                 {"accessor get, key missing (default filled in)",
                  [&](int) { sink += accessor.getDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL); },
                  {{"floor: read + parse + 1 map cycle + serialise + durable replace",
                    [&](int) {
                      ParsedText parsed;
                      parsed.parse(s.floor.read("Settings.ini"));
                      if (parsed.find("BeepVol") != nullptr) std::abort();
                      const std::string value = std::to_string(s.sysDataDefault.cycle(kBeepVolDefault, 1));
                      s.floor.replaceDurably("Settings.ini", parsed.serialiseWith("BeepVol", value));
                    },
                    1.10}},
                  [&](int) {
                    replaceFile(s.unit.saveFile("Settings.ini"), without);
                    writeFile(s.floor.path("Settings.ini"), without);
                  }});
  benchmark::DoNotOptimize(sink);
}

void BM_AccessorSet(benchmark::State& state) {
  Scenario s;
  s.mirror("Settings.ini");
  SqlitePeer peer(s.unit.root() + "/peer.db", settingsKeyNames(72));
  SettingsDataAccessor accessor;
  auto value = [](int round) { return round % 2 == 0 ? 2 : 4; };
  runInterleaved(state, {"accessor set",
                         [&](int r) { accessor.setDataKeyIValue(settings_datakey::DATAKEY_BEEP_VOL, value(r)); },
                         {{"floor: read + parse + serialise + durable replace",
                           [&](int r) { floorSet(s.floor, "Settings.ini", "BeepVol", value(r)); }, 1.10},
                          {"peer: SQLite WAL FULL update", [&](int r) { peer.update("BeepVol", value(r)); }, 0}},
                         nullptr});
}

// ---- resets ----

void BM_ResetSxmFavorite(benchmark::State& state) {
  Scenario s;
  const std::string defaults = readFile(s.unit.saveFile("SxmFavorite.ini"));
  const auto entries = entriesOf(defaults);
  const std::string dirty = withFirstValueChanged(defaults);
  runInterleaved(state, {"reset \"SxmFavorite.ini\" (72 keys)",
                         [&](int) { TqSingleton<SysDataSxmFavorite>::GetInstance()->initializeAllData(); },
                         {{"floor: 72 map cycles + serialise + durable replace",
                           [&](int) {
                             for (std::size_t k = 0; k < entries.size(); ++k) s.systemInfo.cycle(kModelOffset, 2);
                             s.floor.replaceDurably("SxmFavorite.ini", serialise(entries));
                           },
                           1.10},
                          {"floor with the design's steps per map cycle (3 lock holds, creating open)",
                           [&](int) {
                             for (std::size_t k = 0; k < entries.size(); ++k) s.systemInfo.designCycle(kModelOffset, 2, 2);
                             s.floor.replaceDurably("SxmFavorite.design", serialise(entries));
                           },
                           1.10}},
                         [&](int) { replaceFile(s.unit.saveFile("SxmFavorite.ini"), dirty); }});
}

void BM_ResetSxmTeamDb(benchmark::State& state) {
  Scenario s;
  const std::size_t size = 20480;
  std::vector<unsigned char> record(size, 0);
  runInterleaved(state, {"reset \"SxmTeamDb.ini\" (20480 B binary)",
                         [&](int) { TqSingleton<SysDataSxmTeamDb>::GetInstance()->initializeAllData(); },
                         {{"floor: fopen + fwrite + fclose (not durable)",
                           [&](int) { s.floor.writePlain("SxmTeamDb.ini", record.data(), size); }, 1.10},
                          {"floor: 1 map cycle + durable replace",
                           [&](int) {
                             s.systemInfo.cycle(kModelOffset, 2);
                             s.floor.replaceDurably("SxmTeamDb.durable", record.data(), size);
                           },
                           1.10}},
                         nullptr});
}

// The floor of a reset of every product file: per file the map cycle of the
// save-directory record that the reset by name makes at entry, one map cycle
// per default read, and one durable replace.
struct ResetAllFloor {
  struct File {
    std::string name;
    bool binary;
    std::size_t size;
    std::vector<std::pair<std::string, std::string>> entries;
    std::string dirty;
  };
  std::vector<File> files;

  explicit ResetAllFloor(const Scenario& s) {
    const sysdata::SettingsFileDef* defs = sysdata::productFiles();
    for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
      File f;
      f.name = defs[i].fileName;
      f.binary = defs[i].kind == sysdata::FileKind::Binary;
      f.size = defs[i].recordSize;
      if (!f.binary) {
        const std::string text = readFile(s.unit.saveFile(f.name));
        f.entries = entriesOf(text);
        f.dirty = withFirstValueChanged(text);
      }
      files.push_back(std::move(f));
    }
  }

  // design: map cycles with the steps the design asks of the views.
  void run(const Scenario& s, bool design) const {
    std::vector<unsigned char> record;
    for (const File& f : files) {
      s.sysDataInfo.cycleAs(design, record_layout::kSaveFileDir, 1, 1);
      if (f.binary) {
        s.systemInfo.cycleAs(design, kModelOffset, 2, 2);
        record.assign(f.size, 0);
        s.floor.replaceDurably(f.name, record.data(), record.size());
      } else {
        for (std::size_t k = 0; k < f.entries.size(); ++k) s.systemInfo.cycleAs(design, kModelOffset, 2, 2);
        s.floor.replaceDurably(f.name, serialise(f.entries));
      }
    }
  }

  // Makes every key=value file of the unit differ from its defaults.
  void dirty(const Scenario& s) const {
    for (const File& f : files) {
      if (!f.binary) replaceFile(s.unit.saveFile(f.name), f.dirty);
    }
  }
};

void BM_InitSysDataFileAll(benchmark::State& state) {
  Scenario s;
  const ResetAllFloor floor(s);
  const sysdata::SettingsFileDef* defs = sysdata::productFiles();
  runInterleaved(state, {"initSysDataFile over the 38 product files",
                         [&](int) {
                           for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
                             s.util.initSysDataFile(defs[i].fileName);
                           }
                         },
                         {{"floor: per file its map cycles + durable replace", [&](int) { floor.run(s, false); }, 1.10},
                          {"floor with the design's steps per map cycle", [&](int) { floor.run(s, true); }, 1.10}},
                         [&](int) {
                           floor.dirty(s);
                           standin::testing::ClearHostCalls();
                         }});
}

void BM_InitSysDataDefault(benchmark::State& state) {
  Scenario s;
  std::vector<unsigned char> buffer(sizeof(SysDataDefaultMem::Data));
  runInterleaved(state, {"initSysDataDefault",
                         [&](int) {
                           s.util.initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
                         },
                         {{"floor: 1 map cycle, record read and written back under the lock",
                           [&](int) { s.sysDataDefault.copyOutAndBack(buffer.data()); }, 1.10},
                          {"floor with the design's steps (lock held while mapping, creating open)",
                           [&](int) {
                             s.sysDataDefault.designCycle(1, [&](unsigned char* record) {
                               std::memcpy(buffer.data(), record, buffer.size());
                               std::memcpy(record, buffer.data(), buffer.size());
                             });
                           },
                           1.10}},
                         [&](int) { standin::testing::ClearHostCalls(); }});
}

// ---- export ----

// The floor of an export: the save-directory record read, 38 durable copies,
// then per file rewritten with defaults a read + parse of the copy, a map
// cycle per default and a durable replace.
void exportFloor(const Scenario& s, const ResetAllFloor& files, const FloorDir& target, bool design) {
  const sysdata::SettingsFileDef* defs = sysdata::productFiles();
  std::vector<unsigned char> buffer(20480);
  s.sysDataInfo.cycleAs(design, record_layout::kSaveFileDir, 1, 1);
  for (const auto& f : files.files) target.copyDurably(s.unit.saveFile(f.name), f.name);
  for (std::size_t i = 0; i < files.files.size(); ++i) {
    const auto& f = files.files[i];
    if (!defs[i].exportDefaults) continue;
    if (f.binary) {
      s.systemInfo.cycleAs(design, kModelOffset, 2, 2);
      std::memset(buffer.data(), 0, f.size);
      target.replaceDurably(f.name, buffer.data(), f.size);
    } else {
      ParsedText parsed;
      parsed.parse(target.read(f.name));
      for (std::size_t k = 0; k < f.entries.size(); ++k) s.systemInfo.cycleAs(design, kModelOffset, 2, 2);
      target.replaceDurably(f.name, parsed.serialiseWith(f.entries[0].first, f.entries[0].second));
    }
  }
}

void BM_DataExport(benchmark::State& state) {
  Scenario s;
  const ResetAllFloor files(s);
  // A unit in use: every product file differs from its defaults, so the
  // export's default phase has every copy to rewrite.
  files.dirty(s);
  for (const auto& f : files.files) {
    if (f.binary) writeFile(s.unit.saveFile(f.name), std::string(f.size, '\x01'));
  }
  s.unit.makeDir("media/export");
  const std::string exportHost = "/media/export";
  FloorDir target(s.unit.root() + "/floor-export");
  runInterleaved(state,
                 {"dataExport",
                  [&](int) { s.util.dataExport(exportHost.c_str()); },
                  {{"floor: 38 durable copies, then per file read + parse + its map cycles + durable replace",
                    [&](int) { exportFloor(s, files, target, false); }, 1.10},
                   {"floor with the design's steps per map cycle", [&](int) { exportFloor(s, files, target, true); },
                    1.10}},
                  [&](int) { standin::testing::ClearHostCalls(); }});
}

// ---- customization ----

// A complete dealer file; variant 0 and 1 differ in every value the apply
// pass writes, so that every entry changes the settings.
std::string customization(int variant) {
  const bool a = variant % 2 == 0;
  std::string text = "DOP_Customize\n[model]2\n[maker]2\n";
  text += a ? "[illumi_1]1\n" : "[illumi_1]2\n";
  text += a ? "[illumiuser_Red]10\n[illumiuser_Green]11\n[illumiuser_Blue]12\n"
            : "[illumiuser_Red]5\n[illumiuser_Green]6\n[illumiuser_Blue]7\n";
  text += a ? "[lang]1\n[demo]1\n[rearcam]1\n[pguideline]1\n" : "[lang]2\n[demo]0\n[rearcam]0\n[pguideline]0\n";
  const char* vga[] = {"ulx", "uly", "urx", "ury", "llx", "lly", "lrx", "lry"};
  for (const char* corner : vga) {
    const bool x = corner[1] == 'x' || corner[2] == 'x';
    text += std::string("[glinevga_") + corner + "]" + (x ? (a ? "8" : "9") : (a ? "A" : "B")) + "\n";
  }
  text += a ? "[glinevga_center]0\n" : "[glinevga_center]1\n";
  for (const char* corner : vga) {
    const bool x = corner[1] == 'x' || corner[2] == 'x';
    text += std::string("[glinehd_") + corner + "]" + (x ? "D" : "F") + "\n";
  }
  text += "[glinehd_center]0\n";
  text += a ? "[miclevel]14\n[echocancel]3\n[noizereduction]4\n[rcamera_message]1\n"
            : "[miclevel]10\n[echocancel]6\n[noizereduction]7\n[rcamera_message]0\n";
  text += "[caution]logo.png\n~END\n";
  return text;
}

// Lines of a customization file, TAB, CR and LF removed.
std::vector<std::string> customizationLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r' && c != '\t') {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool startsWith(const std::string& line, const char* prefix) { return line.compare(0, std::strlen(prefix), prefix) == 0; }

void BM_CustomizeImport(benchmark::State& state) {
  Scenario s;
  s.unit.makeDir("media/usb");
  s.unit.makeDir("Syslog");
  const std::string media = s.unit.disk("/media/usb/");
  writeFile(media + "dop.txt", customization(0));
  writeFile(media + "logo.png", std::string(4096, 'p'));
  CustomizeSysDataProduct product;
  runInterleaved(state,
                 {"customization import",
                  [&](int) {
                    std::string path = "/media/usb/dop.txt";
                    if (!product.import(path)) std::abort();
                  },
                  {{"floor: read + parse, its map cycles, 2 durable copies",
                    [&](int) {
                      struct stat st;
                      for (const std::string& line : customizationLines(readWhole(media + "dop.txt"))) {
                        if (startsWith(line, "[lang]")) s.funcInfo.cycle(record_layout::kLangSetCode, 1);
                        if (startsWith(line, "[caution]")) ::stat((media + line.substr(9)).c_str(), &st);
                      }
                      s.funcInfo.cycle(record_layout::kCustomizeFileName, 4);
                      s.floor.copyDurably(media + "logo.png", "dop_startup_caution_img.png");
                      s.floor.copyDurably(media + "dop.txt", "dop_customize.txt");
                    },
                    1.10}},
                  [&](int) { standin::testing::ClearHostCalls(); }});
}

// The floor of one apply pass: per line the map cycle of the camera record,
// and per written key a read + parse + serialise + durable replace of its
// file, with the reads and map cycles the values need.
void floorApply(const Scenario& s, const std::string& storedPath, int round, bool design) {
  static const std::map<std::string, std::string> kVgaKeys = {
      {"[glinevga_ulx]", "CamGuidePosiUpperLeftX"},  {"[glinevga_uly]", "CamGuidePosiUpperLeftY"},
      {"[glinevga_urx]", "CamGuidePosiUpperRightX"}, {"[glinevga_ury]", "CamGuidePosiUpperRightY"},
      {"[glinevga_llx]", "CamGuidePosiLowerLeftX"},  {"[glinevga_lly]", "CamGuidePosiLowerLeftY"},
      {"[glinevga_lrx]", "CamGuidePosiLowerRightX"}, {"[glinevga_lry]", "CamGuidePosiLowerRightY"},
      {"[glinevga_center]", "CamGuidePosiCenterY"},
  };
  const int v = round;
  for (const std::string& line : customizationLines(readWhole(storedPath))) {
    if (startsWith(line, "~END")) break;
    if (startsWith(line, "[model]")) continue;
    s.funcInfoProduct.cycleAs(design, record_layout::kCameraHd, 1, 1);
    if (startsWith(line, "[illumi_1]")) {
      floorSet(s.floor, "Settings.ini", "KeyIllumiPreset", v);
    } else if (startsWith(line, "[illumiuser_")) {
      const int rgb = floorGet(s.floor, "Settings.ini", "KeyIllumiRGBUser1Dim");
      floorSet(s.floor, "Settings.ini", "KeyIllumiRGBUser1Dim", rgb + v);
    } else if (startsWith(line, "[lang]")) {
      for (const char* key : {"SystemLang", "VoiceLang", "DisplayLang"}) floorSet(s.floor, "Settings.ini", key, v);
    } else if (startsWith(line, "[demo]")) {
      s.funcInfo.cycleAs(design, record_layout::kDemoUserInit, 1, 1);
      floorSet(s.floor, "Settings.ini", "DemoOnOff", v);
    } else if (startsWith(line, "[rearcam]")) {
      floorSet(s.floor, "Camera.ini", "RCamIntSetting", v);
    } else if (startsWith(line, "[pguideline]")) {
      floorSet(s.floor, "Camera.ini", "CamGuideLineOnOff", v);
    } else if (startsWith(line, "[glinevga_")) {
      const auto key = kVgaKeys.find(line.substr(0, line.find(']') + 1));
      if (key != kVgaKeys.end()) floorSet(s.floor, "Camera.ini", key->second.c_str(), v);
    } else if (startsWith(line, "[miclevel]")) {
      floorSet(s.floor, "Mic.ini", "BtPhoneSndTalkVol", v);
    } else if (startsWith(line, "[echocancel]")) {
      floorSet(s.floor, "Mic.ini", "EchoCancel", v);
    } else if (startsWith(line, "[noizereduction]")) {
      floorSet(s.floor, "Mic.ini", "NoiseReduction", v);
    } else if (startsWith(line, "[rcamera_message]")) {
      if (std::strtoul(line.c_str() + 17, nullptr, 16) != 1) s.systemInfo.cycleAs(design, kModelOffset, 2, 2);
      floorSet(s.floor, "ProductCameraSetting.ini", "MessageSetting", v);
    } else if (startsWith(line, "[caution]")) {
      struct stat st;
      ::stat((s.unit.disk("/Syslog/") + "dop_startup_caution_img.png").c_str(), &st);
      floorGet(s.floor, "InitialValueCustomize.ini", "StartupCautionPath");
    }
  }
}

void BM_CustomizeApply(benchmark::State& state) {
  Scenario s;
  s.unit.makeDir("Syslog");
  const std::string stored = s.unit.disk("/Syslog/") + BenchUnit::kCustomizeFileName;
  writeFile(s.unit.disk("/Syslog/dop_startup_caution_img.png"), std::string(4096, 'p'));
  CustomizeSysDataProduct product;
  // Both variants once, so that every file holds every key it will hold.
  for (int variant = 0; variant < 2; ++variant) {
    writeFile(stored, customization(variant));
    product.afterInitialize(CustomizeSysData::INITIALIZE_ALL);
  }
  for (const char* name : {"Settings.ini", "Camera.ini", "Mic.ini", "ProductCameraSetting.ini",
                           "InitialValueCustomize.ini"}) {
    s.mirror(name);
  }
  const std::string floorStored = s.floor.path("stored-customization.txt");
  runInterleaved(state, {"customization apply pass (full file, every value changes)",
                         [&](int) {
                           if (!product.afterInitialize(CustomizeSysData::INITIALIZE_ALL)) std::abort();
                         },
                         {{"floor: per line 1 map cycle, per written key read + parse + serialise + durable replace",
                           [&](int r) { floorApply(s, floorStored, r, false); }, 1.10},
                          {"floor with the design's steps per map cycle",
                           [&](int r) { floorApply(s, floorStored, r, true); }, 1.10}},
                         [&](int r) {
                           replaceFile(stored, customization(r));
                           writeFile(floorStored, customization(r));
                           standin::testing::ClearHostCalls();
                         }});
}

}  // namespace

BENCHMARK(BM_Setter)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(600));
BENCHMARK(BM_AccessorGetPresent)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(10000));
BENCHMARK(BM_AccessorGetMissing)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(600));
BENCHMARK(BM_AccessorSet)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(600));
BENCHMARK(BM_ResetSxmFavorite)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(300));
BENCHMARK(BM_ResetSxmTeamDb)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(600));
BENCHMARK(BM_InitSysDataFileAll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(scaled(30));
BENCHMARK(BM_InitSysDataDefault)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(5000));
BENCHMARK(BM_DataExport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(scaled(20));
BENCHMARK(BM_CustomizeImport)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(scaled(300));
BENCHMARK(BM_CustomizeApply)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(scaled(30));

}  // namespace sysdata_bench
