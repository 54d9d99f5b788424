// files, defaults, show, dump, get, set, reset.
#include <cstdio>
#include <map>
#include <set>

#include "Commands.h"
#include "Files.h"
#include "SafeFile.h"
#include "UnitAccess.h"
#include "accessor/SettingsDataAccessor.h"
#include "core/SysDataProductFactory.h"
#include "core/RecordAccess.h"
#include "platform/SaveFileAccess.h"
#include "settings/SettingsCatalog.h"
#include "util/DefaultTableLayout.h"

namespace sysdatactl {

namespace {

// The host path of a known file, as the store places it ("" when the
// store gives no file object for it).
std::string diskPathOf(const KnownFile& file) {
  std::string path;
  if (file.binary) {
    SaveFileAccess* object = TqSingleton<SysDataProductFactory>::GetInstance()->getBinary(
        static_cast<SysDataProductFactory::SYSDATA_BINARY_ID>(file.product->registryId));
    if (object != nullptr) object->getFullPath(path);
  } else if (SaveFileAccessMetaText* object = metaTextOf(file)) {
    object->getFullPath(path);
  }
  return hostPathOfStoreFile(path);
}

struct BinarySummary {
  long long size = -1;
  bool uniform = false;
  unsigned char fill = 0;
  std::uint32_t hash = 0;  // FNV-1a of the content
  std::string head;        // the first bytes in hexadecimal
};

BinarySummary summariseBinary(const UnitPath& path) {
  BinarySummary summary;
  std::string content;
  if (readUnitFile(path, kMaxSettingsFileBytes, &content, true).status != ReadStatus::kOk) return summary;
  summary.size = static_cast<long long>(content.size());
  summary.uniform = !content.empty();
  summary.fill = content.empty() ? 0 : static_cast<unsigned char>(content[0]);
  summary.hash = 2166136261u;
  for (std::size_t i = 0; i < content.size(); ++i) {
    const auto byte = static_cast<unsigned char>(content[i]);
    if (byte != summary.fill) summary.uniform = false;
    summary.hash = (summary.hash ^ byte) * 16777619u;
    if (i < 32) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%02x", byte);
      summary.head += (i == 0 ? "" : " ") + std::string(buf);
    }
  }
  return summary;
}

std::string describeBinary(const BinarySummary& s) {
  std::string text = "binary " + std::to_string(s.size) + " bytes, ";
  if (s.uniform) return text + "every byte " + hex8(s.fill);
  if (s.size == 0) return "binary 0 bytes";
  return text + "fnv1a " + hex32(s.hash);
}

Json keyReadingJson(const KeyReading& r) {
  Json row = Json::object().set("key", Json::string(r.key)).set("type", Json::string(r.type));
  if (!r.present) return row.set("present", Json::boolean(false));
  row.set("present", Json::boolean(true)).set("readable", Json::boolean(r.readable));
  if (!r.readable) return row;
  switch (r.typed.type) {
    case sysdata::KeyType::Int:
      return row.set("value", Json::integer(r.typed.i));
    case sysdata::KeyType::UInt:
      return row.set("value", Json::integer(r.typed.u));
    case sysdata::KeyType::Bool:
      return row.set("value", Json::boolean(r.typed.b));
    case sysdata::KeyType::UChar:
      return row.set("value", Json::integer(r.typed.c));
    case sysdata::KeyType::String:
      return row.set("value", Json::string(r.typed.s));
  }
  return row;
}

// A data key by number, by name ("BEEP_VOL", "beep-vol", "DATAKEY_BEEP_VOL")
// or by the settings key it reads ("BeepVol").
bool resolveDataKey(const std::string& text, settings_datakey::DataKeyID* id) {
  std::int64_t number = 0;
  if (parseInt64(text, &number)) {
    if (number < 0 || number >= settings_datakey::DATAKEY_MAX) return false;
    *id = static_cast<settings_datakey::DataKeyID>(number);
    return true;
  }
  std::string name;
  for (char c : text) name += c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (settings_datakey::fromName(name.c_str(), id)) return true;
  // By settings key: a key that several data keys read ("SystemLang") means
  // the one that writes that key alone.
  std::vector<settings_datakey::DataKeyID> matches;
  for (int i = 0; i < settings_datakey::DATAKEY_MAX; ++i) {
    const auto candidate = static_cast<settings_datakey::DataKeyID>(i);
    SettingsDataAccessor::KeyInfo info;
    if (SettingsDataAccessor::describe(candidate, true, &info) && lower(info.key) == lower(text)) {
      matches.push_back(candidate);
    }
  }
  if (matches.size() == 1) {
    *id = matches[0];
    return true;
  }
  for (settings_datakey::DataKeyID candidate : matches) {
    SettingsDataAccessor::KeyInfo info;
    SettingsDataAccessor::describe(candidate, true, &info);
    if (info.setKeys[1] == nullptr) {
      *id = candidate;
      return true;
    }
  }
  return false;
}

std::string shortName(settings_datakey::DataKeyID id) {
  std::string name = settings_datakey::name(id);
  return name.compare(0, 8, "DATAKEY_") == 0 ? name.substr(8) : name;
}

std::string valueText(const SettingsDataAccessor::KeyInfo& info, int value) {
  return info.isUnsigned ? std::to_string(static_cast<std::uint32_t>(value)) : std::to_string(value);
}

Json valueJson(const SettingsDataAccessor::KeyInfo& info, int value) {
  return info.isUnsigned ? Json::integer(static_cast<std::uint32_t>(value)) : Json::integer(value);
}

// The on-disk path of a common file by name.
std::string diskPathOfName(const char* name) {
  const KnownFile* file = findKnownFile(name);
  return file != nullptr ? diskPathOf(*file) : std::string();
}

// What stands in the way of reading a file a command needs, "" when nothing
// does. A missing file is no problem: the library makes it.
std::string problemReading(const std::string& path) {
  if (path.empty()) return noFileObjectReason();
  const std::string problem = unitReadProblem(UnitPath(path));
  return problem == "no such file" ? std::string() : problem;
}

}  // namespace

int cmdFiles(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  Json json = Json::array();
  Table table({"FILE", "GROUP", "KIND", "KEYS/BYTES", "ON UNIT"});
  for (const KnownFile& file : knownFiles()) {
    const std::string path = diskPathOf(file);
    const bool present = !path.empty() && unitIsRegularFile(UnitPath(path));
    // Something that is not a regular file is not the file either.
    const std::string problem =
        present || path.empty() || !unitExists(UnitPath(path)) ? "" : unitReadProblem(UnitPath(path));
    const std::string size = file.binary ? std::to_string(file.recordSize) + " bytes"
                                         : (file.ownedKeys.empty() ? "-" : std::to_string(file.ownedKeys.size()) + " keys");
    table.add({file.name, groupName(file.group), file.binary ? "binary" : "key=value", size,
               present ? "yes" : (problem.empty() ? "no" : "no (" + problem + ")")});
    Json row = Json::object()
                   .set("file", Json::string(file.name))
                   .set("group", Json::string(groupName(file.group)))
                   .set("kind", Json::string(file.binary ? "binary" : "key=value"))
                   .set("ownedByLibrary", Json::boolean(file.ownedByLibrary))
                   .set("present", Json::boolean(present));
    if (file.binary) {
      row.set("recordSize", Json::integer(static_cast<std::int64_t>(file.recordSize)));
    } else {
      row.set("ownedKeys", Json::integer(static_cast<std::int64_t>(file.ownedKeys.size())));
    }
    json.push(row);
  }
  if (ctx.json) {
    printJson(ctx, json);
  } else {
    table.print(ctx.io.out);
  }
  return kExitOk;
}

int cmdDefaults(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const auto model = static_cast<SystemDef::SYS_INFO_MODEL>(unit.config.model);
  const auto destination = static_cast<SystemDef::SYS_INFO_DESTINATION>(unit.config.destination);
  const bool expand = ctx.args.has("all");

  struct Row {
    std::size_t offset;
    sysdata::DefaultWidth width;
    int count;
    int stride;
    std::string key;
    std::string writer;
    std::string description;
  };
  std::map<std::size_t, Row> rows;
  for (std::size_t i = 0; i < sysdata::defaultTableFieldCount(); ++i) {
    const sysdata::DefaultField& field = sysdata::defaultTableFields()[i];
    const std::string writer = sysdata::defaultFieldApplies(field, model, destination) ? "product" : "host";
    const int count = field.count == 0 ? 1 : field.count;
    if (expand || count == 1) {
      for (int k = 0; k < count; ++k) {
        const std::size_t offset = field.offset + static_cast<std::size_t>(k) * field.stride;
        rows[offset] = Row{offset, field.width, 1, 0, field.key != nullptr ? field.key : "", writer,
                           field.description};
      }
    } else {
      rows[field.offset] = Row{field.offset, field.width, count, field.stride,
                               field.key != nullptr ? field.key : "", writer, field.description};
    }
  }
  // The defaults the data keys read and the product leaves to the host.
  for (int id = 0; id < settings_datakey::DATAKEY_MAX; ++id) {
    for (bool demoInSettings : {true, false}) {
      SettingsDataAccessor::KeyInfo info;
      if (!SettingsDataAccessor::describe(static_cast<settings_datakey::DataKeyID>(id), demoInSettings, &info)) {
        continue;
      }
      if (rows.count(info.defaultOffset) != 0) continue;
      rows[info.defaultOffset] = Row{info.defaultOffset, sysdata::DefaultWidth::Word, 1, 0, info.key, "host",
                                     std::string("default of ") + info.file + " " + info.key};
    }
  }

  SysDataDefault table;
  Json json = Json::array();
  Table out({"OFFSET", "WIDTH", "VALUE", "KEY", "WRITER", "DESCRIPTION"});
  for (const auto& entry : rows) {
    const Row& row = entry.second;
    std::vector<std::string> texts;
    Json values = Json::array();
    for (int k = 0; k < row.count; ++k) {
      const std::size_t offset = row.offset + static_cast<std::size_t>(k) * static_cast<std::size_t>(row.stride);
      if (row.width == sysdata::DefaultWidth::Text) {
        const std::string text = sysdata::readText(table, offset);
        texts.push_back(quoteText(text));
        values.push(Json::string(text));
      } else if (row.width == sysdata::DefaultWidth::Byte) {
        const std::uint8_t b = sysdata::readU8(table, offset);
        std::string text = std::to_string(b);
        if (b >= 0x20 && b < 0x7f) text += " '" + std::string(1, static_cast<char>(b)) + "'";
        texts.push_back(text);
        values.push(Json::integer(b));
      } else {
        const std::int32_t w = sysdata::readI32(table, offset);
        texts.push_back(std::to_string(w));
        values.push(Json::integer(w));
      }
    }
    std::string value = texts.empty() ? "" : texts[0];
    for (const std::string& t : texts) {
      if (t != texts[0]) value = "(mixed)";
    }
    std::string offsetText = std::to_string(row.offset);
    if (row.count > 1) offsetText += " +" + std::to_string(row.stride) + "x" + std::to_string(row.count);
    const std::string width = row.width == sysdata::DefaultWidth::Text ? "text"
                                                                       : std::to_string(static_cast<int>(row.width));
    out.add({offsetText, width, value, row.key.empty() ? "-" : row.key, row.writer, row.description});
    Json item = Json::object()
                    .set("offset", Json::integer(static_cast<std::int64_t>(row.offset)))
                    .set("width", row.width == sysdata::DefaultWidth::Text ? Json::string("text")
                                                                           : Json::integer(static_cast<int>(row.width)))
                    .set("count", Json::integer(row.count))
                    .set("stride", Json::integer(row.stride));
    if (row.count == 1) {
      if (row.width == sysdata::DefaultWidth::Text) {
        item.set("value", Json::string(sysdata::readText(table, row.offset)));
      } else if (row.width == sysdata::DefaultWidth::Byte) {
        item.set("value", Json::integer(sysdata::readU8(table, row.offset)));
      } else {
        item.set("value", Json::integer(sysdata::readI32(table, row.offset)));
      }
    } else {
      item.set("values", values);
    }
    item.set("key", row.key.empty() ? Json::null() : Json::string(row.key))
        .set("writer", Json::string(row.writer))
        .set("description", Json::string(row.description));
    json.push(item);
  }
  if (ctx.json) {
    printJson(ctx, json);
  } else {
    out.print(ctx.io.out);
  }
  return kExitOk;
}

int cmdShow(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  const std::string& name = ctx.args.positionals[0];
  const KnownFile* file = findKnownFile(name);
  if (file == nullptr) return fail(ctx.io, "unknown settings file '" + name + "' (see 'sysdatactl files')");
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const std::string path = diskPathOf(*file);
  if (path.empty() || !unitExists(UnitPath(path))) return fail(ctx.io, name + ": the unit has no such file yet");
  const std::string problem = unitReadProblem(UnitPath(path));
  if (!problem.empty()) return fail(ctx.io, "cannot read " + name + ": " + problem);

  if (file->binary) {
    const BinarySummary s = summariseBinary(UnitPath(path));
    if (ctx.json) {
      Json json = Json::object()
                      .set("file", Json::string(file->name))
                      .set("kind", Json::string("binary"))
                      .set("size", Json::integer(s.size))
                      .set("recordSize", Json::integer(static_cast<std::int64_t>(file->recordSize)))
                      .set("uniform", Json::boolean(s.uniform));
      if (s.uniform) json.set("fill", Json::integer(s.fill));
      json.set("fnv1a", Json::string(hex32(s.hash))).set("head", Json::string(s.head));
      printJson(ctx, json);
    } else {
      ctx.io.out << file->name << ": " << describeBinary(s) << " (record size " << file->recordSize << ")\n";
      if (!s.uniform && s.size > 0) ctx.io.out << "  first bytes: " << s.head << "\n";
    }
    return kExitOk;
  }

  SaveFileAccessMetaText* object = metaTextOf(*file);
  if (object == nullptr || !object->FOpen()) return fail(ctx.io, name + ": the store cannot open it");
  const std::vector<KeyReading> readings = readKeys(*object, *file);
  object->FClose();
  Json json = Json::array();
  Table table({"KEY", "TYPE", "VALUE"});
  for (const KeyReading& r : readings) {
    std::string value = r.value;
    if (!r.present) {
      value = "<missing>";
    } else if (!r.readable) {
      value = "<unreadable: " + r.value + ">";
    }
    table.add({r.key, r.type, value});
    json.push(keyReadingJson(r));
  }
  if (ctx.json) {
    printJson(ctx, Json::object().set("file", Json::string(file->name)).set("keys", json));
  } else {
    table.print(ctx.io.out);
  }
  return kExitOk;
}

int cmdDump(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  Json json = Json::object();
  // A file that is there but cannot be read is not left out in silence;
  // the files' own problems are named before those of the store.
  std::vector<std::string> unreadable;
  std::vector<std::string> storeCannot;
  for (const KnownFile& file : knownFiles()) {
    const std::string path = diskPathOf(file);
    if (path.empty()) {
      storeCannot.push_back(file.name + ": " + noFileObjectReason());
      continue;
    }
    if (!unitExists(UnitPath(path))) continue;
    const std::string problem = unitReadProblem(UnitPath(path));
    if (!problem.empty()) {
      unreadable.push_back(file.name + ": " + problem);
      continue;
    }
    if (file.binary) {
      const BinarySummary s = summariseBinary(UnitPath(path));
      if (s.size < 0) {
        unreadable.push_back(file.name + ": cannot be read whole");
        continue;
      }
      ctx.io.out << (ctx.json ? "" : file.name + ":<" + describeBinary(s) + ">\n");
      json.set(file.name, Json::string("<" + describeBinary(s) + ">"));
      continue;
    }
    SaveFileAccessMetaText* object = metaTextOf(file);
    if (object == nullptr || !object->FOpen()) {
      const std::string cause = unitCreateProblem(session->saveDir());
      storeCannot.push_back(file.name + ": the store cannot open it" + (cause.empty() ? "" : " (" + cause + ")"));
      continue;
    }
    const std::vector<KeyReading> readings = readKeys(*object, file);
    object->FClose();
    Json keys = Json::object();
    for (const KeyReading& r : readings) {
      if (!r.present) continue;
      const std::string value = r.readable ? r.value : "<unreadable: " + r.value + ">";
      if (!ctx.json) ctx.io.out << file.name << ":" << r.key << "=" << value << "\n";
      keys.set(r.key, Json::string(value));
    }
    json.set(file.name, keys);
  }
  if (ctx.json) printJson(ctx, json);
  unreadable.insert(unreadable.end(), storeCannot.begin(), storeCannot.end());
  if (!unreadable.empty()) {
    return fail(ctx.io, "dump incomplete: " + std::to_string(unreadable.size()) + " file" +
                            (unreadable.size() == 1 ? "" : "s") + " could not be read (" + unreadable[0] +
                            (unreadable.size() > 1 ? ", ..." : "") + ")");
  }
  return kExitOk;
}

int cmdGet(Context& ctx) {
  const bool all = ctx.args.has("all");
  if (all == !ctx.args.positionals.empty()) {
    return usageError(ctx.io, "give one KEY, or --all", ctx.command);
  }
  settings_datakey::DataKeyID id = settings_datakey::DATAKEY_MAX;
  if (!all && !resolveDataKey(ctx.args.positionals[0], &id)) {
    return fail(ctx.io, "unknown data key '" + ctx.args.positionals[0] + "' (see 'sysdatactl keys')");
  }
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const bool demoInSettings = unit.config.demoUserInit != 0;
  // A value the file holds but the tool cannot read must not come out as the
  // factory default the accessor falls back on. The keys share three files:
  // each is looked at once.
  std::set<std::string> checked;
  for (int i = all ? 0 : id; i < (all ? static_cast<int>(settings_datakey::DATAKEY_MAX) : id + 1); ++i) {
    SettingsDataAccessor::KeyInfo info;
    if (!SettingsDataAccessor::describe(static_cast<settings_datakey::DataKeyID>(i), demoInSettings, &info)) continue;
    if (!checked.insert(info.file).second) continue;
    const std::string problem = problemReading(diskPathOfName(info.file));
    if (!problem.empty()) return fail(ctx.io, std::string("cannot read ") + info.key + " from " + info.file + ": " + problem);
  }
  SettingsDataAccessor accessor;
  Json json = Json::array();
  Json single;
  Table table({"ID", "NAME", "FILE", "KEY", "VALUE"});
  for (int i = all ? 0 : id; i < (all ? static_cast<int>(settings_datakey::DATAKEY_MAX) : id + 1); ++i) {
    const auto key = static_cast<settings_datakey::DataKeyID>(i);
    SettingsDataAccessor::KeyInfo info;
    SettingsDataAccessor::describe(key, demoInSettings, &info);
    const int value = accessor.getDataKeyIValue(key);
    table.add({std::to_string(i), shortName(key), info.file, info.key, valueText(info, value)});
    single = Json::object()
                 .set("id", Json::integer(i))
                 .set("name", Json::string(shortName(key)))
                 .set("file", Json::string(info.file))
                 .set("key", Json::string(info.key))
                 .set("value", valueJson(info, value));
    json.push(single);
    if (!all && !ctx.json) ctx.io.out << valueText(info, value) << "\n";
  }
  if (ctx.json) {
    printJson(ctx, all ? json : single);
  } else if (all) {
    table.print(ctx.io.out);
  }
  return kExitOk;
}

int cmdSet(Context& ctx) {
  settings_datakey::DataKeyID id = settings_datakey::DATAKEY_MAX;
  if (!resolveDataKey(ctx.args.positionals[0], &id)) {
    return fail(ctx.io, "unknown data key '" + ctx.args.positionals[0] + "' (see 'sysdatactl keys')");
  }
  std::int64_t value = 0;
  if (!parseInRange(ctx.args.positionals[1], INT32_MIN, UINT32_MAX, &value)) {
    return usageError(ctx.io,
                      "VALUE must be a number from -2147483648 to 4294967295, got '" + ctx.args.positionals[1] + "'",
                      ctx.command);
  }
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  SettingsDataAccessor::KeyInfo info;
  SettingsDataAccessor::describe(id, unit.config.demoUserInit != 0, &info);
  const std::string path = diskPathOfName(info.file);
  const std::string where = std::string("cannot store ") + info.key + " in " + info.file + ": ";
  // The store would replace what stands there; the library would not say.
  std::string problem = problemReading(path);
  if (!problem.empty()) return fail(ctx.io, where + problem);
  const int wanted = static_cast<int>(static_cast<std::uint32_t>(value));
  SettingsDataAccessor accessor;
  accessor.setDataKeyIValue(id, wanted);
  // The setter reports nothing: what counts is what the file holds now.
  const int stored = SettingsDataAccessor().getDataKeyIValue(id);
  if (stored != wanted) {
    problem = unitStoreProblem(UnitPath(path));
    if (problem.empty()) problem = "it reads back as " + valueText(info, stored);
    return fail(ctx.io, where + problem);
  }
  return kExitOk;
}

int cmdReset(Context& ctx) {
  for (const std::string& name : ctx.args.positionals) {
    if (sysdata::findProductFile(name) == nullptr && !sysdata::isNavigationFile(name)) {
      return fail(ctx.io, "unknown file '" + name +
                              "': reset takes a product settings file or a navigation/user data file "
                              "(see 'sysdatactl files')");
    }
  }
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  for (const std::string& name : ctx.args.positionals) {
    // The library would block on a FIFO or fail in silence on a directory.
    const std::string problem = problemReading(session->saveFile(name).host());
    if (!problem.empty()) return fail(ctx.io, "cannot reset " + name + ": " + problem);
  }
  Json json = Json::array();
  for (const std::string& name : ctx.args.positionals) {
    session->util().initSysDataFile(name);
    std::string problem;
    if (!checkInitialised(session->saveFile(name), name, &problem)) return fail(ctx.io, "cannot reset " + name + ": " + problem);
    const bool navigation = sysdata::isNavigationFile(name);
    if (!ctx.json) ctx.io.out << (navigation ? "emptied " : "reset ") << name << "\n";
    json.push(Json::object()
                  .set("file", Json::string(name))
                  .set("action", Json::string(navigation ? "emptied" : "reset")));
  }
  if (ctx.json) printJson(ctx, json);
  return kExitOk;
}

}  // namespace sysdatactl
