// Hostile settings files, the store's reading: any bytes as a settings file
// in the save directory.
//  - The store opens it, and every key it serves reads the same in every
//    type after a write of another key and a flush (a flush keeps what it
//    did not touch), and the flushed file is whole.
//  - The data accessor reads every data key twice with the same result (a
//    missing or unreadable key is filled once, then read back).
//  - A reset of a product file over the same bytes leaves every key of the
//    file at its factory default, each readable as its type.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accessor/SettingsDataAccessor.h"
#include "fuzz/FuzzUnit.h"
#include "platform/SaveFileAccess.h"
#include "settings/KeyTable.h"
#include "settings/SettingsCatalog.h"

namespace {

using sysdata_fuzz::fail;
using sysdata_fuzz::FuzzUnit;

// What each typed Get of a key gives; a failed Get reads as not ok.
struct Reading {
  bool iOk = false, uOk = false, bOk = false, cOk = false, sOk = false;
  int i = 0;
  unsigned int u = 0;
  bool b = false;
  unsigned char c = 0;
  std::string s;

  bool operator==(const Reading& o) const {
    return iOk == o.iOk && uOk == o.uOk && bOk == o.bOk && cOk == o.cOk && sOk == o.sOk && (!iOk || i == o.i) &&
           (!uOk || u == o.u) && (!bOk || b == o.b) && (!cOk || c == o.c) && (!sOk || s == o.s);
  }
  bool operator!=(const Reading& o) const { return !(*this == o); }

  // "int|unsigned|bool|uchar|string", "-" for each Get that failed: only
  // made for a report.
  std::string text() const {
    std::string out = iOk ? std::to_string(i) : "-";
    out += uOk ? "|" + std::to_string(u) : "|-";
    out += bOk ? (b ? "|1" : "|0") : "|-";
    out += cOk ? "|" + std::to_string(static_cast<unsigned>(c)) : "|-";
    out += sOk ? "|" + s : "|-";
    return out;
  }
};

Reading readings(SaveFileAccessMetaText& file, const std::string& key) {
  Reading r;
  r.iOk = file.Get(key.c_str(), &r.i);
  r.uOk = file.Get(key.c_str(), &r.u);
  r.bOk = file.Get(key.c_str(), &r.b);
  r.cOk = file.Get(key.c_str(), &r.c);
  r.sOk = file.Get(key.c_str(), &r.s);
  return r;
}

std::map<std::string, Reading> everything(SaveFileAccessMetaText& file) {
  std::vector<std::string> keys;
  if (!file.GetKeys(&keys)) fail("the keys of an open file are not served");
  std::map<std::string, Reading> all;
  for (std::string& key : keys) {
    Reading r = readings(file, key);
    all.emplace(std::move(key), std::move(r));
  }
  return all;
}

std::unique_ptr<SaveFileAccessMetaText> open(const char* name) {
  std::unique_ptr<SaveFileAccessMetaText> file(
      TqSingleton<SaveFileAccessFactory>::GetInstance()->CreateMetaText(name, "a+"));
  if (!file || !file->FOpen()) fail(std::string("the store does not open ") + name);
  return file;
}

void storeRoundTrip(FuzzUnit& unit, const std::uint8_t* data, std::size_t size) {
  const char* const name = "Scratch.ini";
  unit.writeHostFile(std::string(FuzzUnit::kSaveDir) + "/" + name, data, size);
  auto file = open(name);
  std::map<std::string, Reading> before = everything(*file);
  if (!file->Set("FuzzProbe", 12345)) fail("a plain key is refused");
  if (!file->Flush()) fail("the flush of a damaged file failed");
  file->FClose();
  file = open(name);
  std::map<std::string, Reading> after = everything(*file);
  file->FClose();
  Reading probe;
  probe.iOk = probe.uOk = probe.sOk = true;
  probe.i = 12345;
  probe.u = 12345;
  probe.s = "12345";
  before["FuzzProbe"] = probe;
  for (const auto& kv : before) {
    const auto it = after.find(kv.first);
    if (it == after.end()) fail("the flush lost key \"" + kv.first + "\"");
    if (it->second != kv.second) {
      fail("the flush changed key \"" + kv.first + "\" from " + kv.second.text() + " to " + it->second.text());
    }
  }
  if (after.size() != before.size()) fail("the flush invented keys");
  std::string text, why;
  unit.readHostFile(std::string(FuzzUnit::kSaveDir) + "/" + name, &text);
  if (!sysdata_fuzz::keyFileWhole(text, &why)) fail("the flushed file is not whole: " + why);
}

void accessorReads(FuzzUnit& unit, const std::uint8_t* data, std::size_t size) {
  unit.writeHostFile(std::string(FuzzUnit::kSaveDir) + "/Settings.ini", data, size);
  SettingsDataAccessor accessor;
  // Every fill is a durable write: read the keys the seeds name (languages,
  // beep, the unsigned colour, clock, time zone, demo mode), one more chosen
  // by the input, and one outside the table.
  const int ids[] = {0, 1, 5, 6, 10, 15, 16, 18, static_cast<int>(size % 31), settings_datakey::DATAKEY_MAX};
  for (int id : ids) {
    const auto key = static_cast<settings_datakey::DataKeyID>(id);
    const int first = accessor.getDataKeyIValue(key);
    if (accessor.getDataKeyIValue(key) != first) fail("data key " + std::to_string(id) + " read two ways");
  }
}

const sysdata::SettingsFileDef& resetFile() {
  static const sysdata::SettingsFileDef* const def = sysdata::findProductFile("AirGestureSetting.ini");
  if (def == nullptr) fail("no AirGestureSetting.ini in the product list");
  return *def;
}

// The file's factory defaults, read once: the unit's model and destination
// never change, and every read of a default maps the system information
// anew, which would otherwise be most of what checking a reset costs.
const std::vector<sysdata::KeyValue>& expectedDefaults() {
  static const std::vector<sysdata::KeyValue>* const values = [] {
    auto* out = new std::vector<sysdata::KeyValue>();
    const sysdata::SettingsFileDef& def = resetFile();
    for (std::size_t n = 0; n < def.keyCount; ++n) out->push_back(def.keys[n].getDefault());
    return out;
  }();
  return *values;
}

void resetOver(FuzzUnit& unit, const std::uint8_t* data, std::size_t size) {
  const sysdata::SettingsFileDef& def = resetFile();
  const std::vector<sysdata::KeyValue>& expected = expectedDefaults();
  unit.writeHostFile(std::string(FuzzUnit::kSaveDir) + "/" + def.fileName, data, size);
  def.reset();
  auto file = open(def.fileName);
  for (std::size_t n = 0; n < def.keyCount; ++n) {
    sysdata::KeyValue v;
    if (!sysdata::getKey(*file, def.keys[n].key, def.keys[n].type, &v) || !(v == expected[n])) {
      fail(std::string("after a reset ") + def.keys[n].key + " is not its default");
    }
  }
  file->FClose();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzUnit& unit = FuzzUnit::get();
  unit.allowWrites({FuzzUnit::kSaveDir + std::string("/")});
  storeRoundTrip(unit, data, size);
  accessorReads(unit, data, size);
  resetOver(unit, data, size);
  unit.endInput();
  return 0;
}
