// create, boot, info, variants, keys.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <set>

#include "ApplyMarker.h"
#include "Commands.h"
#include "Files.h"
#include "SafeFile.h"
#include "UnitAccess.h"
#include "accessor/SettingsDataAccessor.h"
#include "core/Variants.h"
#include "platform/TqSimulation.h"
#include "settings/SettingsCatalog.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "standin/testing/LogCapture.h"

namespace sysdatactl {

bool openUnit(Context& ctx, Unit* unit, int* exitCode) {
  if (ctx.rootArg.empty()) {
    *exitCode = usageError(ctx.io, "no unit given: use --root DIR or set SYSDATACTL_ROOT", ctx.command);
    return false;
  }
  std::string error;
  if (!loadUnit(ctx.rootArg, unit, &error)) {
    *exitCode = fail(ctx.io, error);
    return false;
  }
  return true;
}

std::unique_ptr<HostSession> powerOn(Context& ctx, const Unit& unit) {
  std::unique_ptr<HostSession> session(new HostSession(unit));
  if (!session->ok()) {
    fail(ctx.io, session->error());
    return nullptr;
  }
  return session;
}

void printJson(Context& ctx, const Json& json) { ctx.io.out << json.pretty() << "\n"; }

namespace {

// Library messages of a step the host watches, as warnings.
void reportLog(Context& ctx, const standin::testing::ScopedLogCapture& capture) {
  for (std::string message : capture.messages()) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    ctx.io.err << "sysdatactl: library: " << message << "\n";
  }
}

std::string pairText(std::int32_t model, std::int32_t destination) {
  return "model " + std::to_string(model) + ", destination " + std::to_string(destination);
}

bool numberOption(Context& ctx, const char* name, std::int64_t low, std::int64_t high, std::int64_t* value,
                  int* exitCode) {
  if (!ctx.args.has(name)) return true;
  if (parseInRange(ctx.args.get(name), low, high, value)) return true;
  *exitCode = usageError(ctx.io,
                         std::string("--") + name + " must be a number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", got '" + ctx.args.get(name) + "'",
                         ctx.command);
  return false;
}

}  // namespace

int cmdCreate(Context& ctx) {
  if (ctx.rootArg.empty()) {
    return usageError(ctx.io, "no unit given: use --root DIR or set SYSDATACTL_ROOT", ctx.command);
  }
  UnitConfig config;
  int exitCode = kExitOk;
  std::int64_t model = -1;
  std::int64_t destination = -1;
  std::int64_t n = 0;
  if (!numberOption(ctx, "model", INT32_MIN, INT32_MAX, &model, &exitCode)) return exitCode;
  if (!numberOption(ctx, "destination", INT32_MIN, INT32_MAX, &destination, &exitCode)) return exitCode;
  const bool haveModel = ctx.args.has("model");
  const bool haveDestination = ctx.args.has("destination");

  if (!ctx.args.positionals.empty()) {
    const std::string wanted = lower(ctx.args.positionals[0]);
    if (haveModel) return usageError(ctx.io, "give a variant name or --model, not both", ctx.command);
    std::vector<const sysdata::Variant*> matches;
    for (std::size_t i = 0; i < sysdata::kVariantCount; ++i) {
      const sysdata::Variant& v = sysdata::variants()[i];
      if (lower(v.modelName) == wanted && (!haveDestination || v.destination == destination)) {
        matches.push_back(&v);
      }
    }
    if (matches.empty()) {
      if (haveDestination) {
        return fail(ctx.io, "no variant '" + ctx.args.positionals[0] + "' with destination " +
                                std::to_string(destination) + " (see 'sysdatactl variants')");
      }
      return fail(ctx.io, "unknown variant '" + ctx.args.positionals[0] + "' (see 'sysdatactl variants')");
    }
    if (matches.size() > 1) {
      std::string destinations;
      for (const sysdata::Variant* v : matches) {
        destinations += (destinations.empty() ? "" : " and ") + std::to_string(v->destination);
      }
      return fail(ctx.io, std::string(matches[0]->modelName) + " is sold for destinations " + destinations +
                              ": add --destination");
    }
    config.model = matches[0]->model;
    config.destination = matches[0]->destination;
  } else {
    if (!haveModel || !haveDestination) {
      return usageError(ctx.io, "give a variant name, or both --model and --destination", ctx.command);
    }
    config.model = static_cast<std::int32_t>(model);
    config.destination = static_cast<std::int32_t>(destination);
    if (sysdata::findVariant(static_cast<SystemDef::SYS_INFO_MODEL>(config.model),
                             static_cast<SystemDef::SYS_INFO_DESTINATION>(config.destination)) == nullptr &&
        !ctx.args.has("allow-unknown")) {
      return fail(ctx.io, pairText(config.model, config.destination) +
                              " is no variant of the product (see 'sysdatactl variants'; --allow-unknown "
                              "makes such a unit anyway)");
    }
  }
  if (!numberOption(ctx, "camera-hd", 0, 255, &n, &exitCode)) return exitCode;
  if (ctx.args.has("camera-hd")) config.cameraHd = static_cast<std::uint8_t>(n);
  if (!numberOption(ctx, "demo-user-init", 0, 255, &n, &exitCode)) return exitCode;
  if (ctx.args.has("demo-user-init")) config.demoUserInit = static_cast<std::uint8_t>(n);
  if (!numberOption(ctx, "lang-set-code", 0, UINT32_MAX, &n, &exitCode)) return exitCode;
  if (ctx.args.has("lang-set-code")) config.langSetCode = static_cast<std::uint32_t>(n);
  if (ctx.args.has("customize-file-name")) config.customizeFileName = ctx.args.get("customize-file-name");
  std::string error;
  if (!validateUnitConfig(config, &error)) return usageError(ctx.io, error, ctx.command);
  // Whatever is written must be what every later command reads.
  if (!checkWritableUnitConfig(config, &error)) return usageError(ctx.io, error, ctx.command);

  const std::string& root = ctx.rootArg;
  if (pathExists(root) && !isDirectory(root)) return fail(ctx.io, "'" + root + "' exists and is not a directory");
  if (!makeDirectories(root)) return fail(ctx.io, "cannot make the directory '" + root + "': " + errnoText(errno));
  Unit unit;
  unit.root = absolutePath(root);
  unit.config = config;
  if (unit.root.empty()) return fail(ctx.io, "cannot make the directory '" + root + "': " + errnoText(errno));
  // From here on the unit's files are reached beneath its root only.
  TqSimSetRoot(unit.root.c_str());
  if (unitExists(UnitPath(std::string("/") + kUnitConfigName)) && !ctx.args.has("force")) {
    return fail(ctx.io, "a unit already exists at '" + root + "' (--force replaces its unit.conf)");
  }
  // A unit being used while it is made again waits, and is not half-written.
  const int lockFd = lockUnitDirectory(unit.root, &error);
  if (lockFd < 0) return fail(ctx.io, error);
  struct LockHolder {
    int fd;
    ~LockHolder() { unlockUnitDirectory(fd); }
  } holder{lockFd};
  // The host directories are made beneath the unit, following no link a
  // unit made again may hold.
  for (const std::string& hostDir : {config.saveDir, config.calibrationDir, std::string("/Syslog")}) {
    std::string reason;
    if (!makeUnitDirectories(UnitPath(hostDir), &reason)) {
      return fail(ctx.io, "cannot make '" + unit.root + hostDir + "': " + reason);
    }
  }
  if (!writeUnitConfig(unit.root, formatUnitConfig(config), &error)) return fail(ctx.io, error);
  // A unit made again keeps its boot count; a new one, or one whose count is
  // damaged, starts from 0.
  int boots = 0;
  std::string ignored;
  if (!unitExists(UnitPath(std::string("/") + kUnitStateName)) || !readBoots(unit.root, &boots, &ignored)) {
    if (!writeBoots(unit, 0, &error)) return fail(ctx.io, error);
  }

  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("root", Json::string(unit.root))
                       .set("variant", Json::string(variantLabel(config)))
                       .set("model", Json::integer(config.model))
                       .set("destination", Json::integer(config.destination)));
  } else {
    ctx.io.out << "created unit " << variantLabel(config) << " (" << pairText(config.model, config.destination)
               << ") at " << unit.root << "\n";
  }
  return kExitOk;
}

int cmdBoot(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  bool initialise = false;
  bool initialiseCut = false;
  std::vector<std::string> failures;
  int boots = 0;
  std::string calibration;
  std::string customization;
  int initialised = 0;
  {
    std::unique_ptr<HostSession> session = powerOn(ctx, unit);
    if (!session) return kExitFailure;
    // The count as it is under the unit's lock: concurrent boots each count.
    boots = session->unit().boots;
    // An initialisation that a power loss cut is finished now: after the
    // first boot nothing else would reset the files it did not reach.
    initialiseCut = initialisePending();
    initialise = boots == 0 || ctx.args.has("init") || initialiseCut;
    standin::testing::ScopedLogCapture capture;

    const bool hadCalibration = unitIsRegularFile(session->calibrationFile());
    session->util().confirmCalibrationData();
    const bool hasCalibration = unitIsRegularFile(session->calibrationFile());
    calibration = hadCalibration ? "present" : (hasCalibration ? "created" : "missing");

    if (calibration == "missing") {
      const std::string problem = unitStoreProblem(session->calibrationFile());
      if (!problem.empty()) failures.push_back("cannot make the calibration file: " + problem);
    }

    // A customization apply cut by a power loss is finished now, at the
    // first power-on after it (an initialisation applies it anyway).
    const bool applyCut = applyPending();
    // The first boot's record of an unfinished initialisation is its boot
    // count, written only once the initialisation is done; a later one
    // records it before the first file is reset.
    bool initialiseMarked = false;
    if (initialise && boots != 0 && !initialiseCut) {
      std::string markError;
      initialiseMarked = markInitialiseStarted(&markError);
      if (!initialiseMarked) failures.push_back(markError);
    }
    if (initialise && boots != 0 && !initialiseCut && !initialiseMarked) {
      // Not recorded, so not begun: a cut could leave it half done for good.
      customization = "not applied";
    } else if (initialise) {
      const sysdata::SettingsFileDef* files = sysdata::productFiles();
      for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
        const UnitPath path = session->saveFile(files[i].fileName);
        // The library would block on a FIFO: such a file is left alone.
        std::string problem = unitReadProblem(path);
        if (problem == "no such file") problem.clear();
        if (problem.empty()) {
          session->util().initSysDataFile(files[i].fileName);
          if (checkInitialised(path, files[i].fileName, &problem)) ++initialised;
        }
        if (!problem.empty()) failures.push_back("cannot initialise " + std::string(files[i].fileName) + ": " + problem);
      }
      const bool stored = unitIsRegularFile(session->storedCustomization());
      const std::string problem = stored ? settingsStoreProblem(session->saveDir()) : "";
      if (problem.empty()) {
        CustomizeSysDataProduct customize;
        customize.afterInitialize(CustomizeSysData::INITIALIZE_ALL);
      }
      if (!problem.empty()) {
        customization = "not applied";
        failures.push_back("customization not applied: " + problem);
      } else if (!stored) {
        customization = "none stored";
      } else {
        customization = unitIsRegularFile(session->storedCustomization()) ? "applied (kept)" : "applied (one-shot, removed)";
      }
    } else if (applyCut) {
      const bool stored = unitIsRegularFile(session->storedCustomization());
      const std::string problem = stored ? settingsStoreProblem(session->saveDir()) : "";
      if (problem.empty()) {
        CustomizeSysDataProduct customize;
        customize.afterInitialize(CustomizeSysData::INITIALIZE_ALL);
        customization = "interrupted apply finished";
      } else {
        customization = "interrupted apply not finished";
        failures.push_back("customization not applied: " + problem);
      }
    } else {
      customization = "not applied (no initialisation)";
    }
    if (applyCut && failures.empty()) {
      std::string markError;
      if (!markApplyFinished(&markError)) failures.push_back(markError);
    }
    // The record is of a cut, not of a failure: an initialisation that ran
    // to its end has reported what it could not do, and the next boot does
    // not try again.
    if (initialiseCut || initialiseMarked) {
      std::string markError;
      if (!markInitialiseFinished(&markError)) failures.push_back(markError);
    }
    reportLog(ctx, capture);
    // A first boot whose initialisation did not complete is not counted, so
    // the next boot initialises again.
    std::string error;
    if ((failures.empty() || boots != 0) && !writeBoots(session->unit(), boots + 1, &error)) {
      return fail(ctx.io, error);
    }
  }
  unit.boots = boots;

  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("boot", Json::integer(unit.boots + 1))
                       .set("variant", Json::string(variantLabel(unit.config)))
                       .set("initialised", Json::boolean(initialise))
                       .set("productFilesInitialised", Json::integer(initialised))
                       .set("calibration", Json::string(calibration))
                       .set("customization", Json::string(customization)));
  } else {
    ctx.io.out << "boot " << unit.boots + 1 << " of " << variantLabel(unit.config) << " ("
               << pairText(unit.config.model, unit.config.destination) << ")\n";
    ctx.io.out << "  default table:     filled\n";
    ctx.io.out << "  calibration file:  " << calibration << "\n";
    if (initialise) {
      ctx.io.out << "  product files:     " << initialised << " initialised to factory values"
                 << (initialiseCut ? " (finishing an initialisation a power loss cut)" : "") << "\n";
    } else {
      ctx.io.out << "  product files:     kept (not the first boot; --init resets them)\n";
    }
    ctx.io.out << "  customization:     " << customization << "\n";
  }
  if (!failures.empty()) {
    return fail(ctx.io, failures[0] + (failures.size() > 1 ? " (and " + std::to_string(failures.size() - 1) +
                                                                 " more problem" + (failures.size() > 2 ? "s" : "") + ")"
                                                           : std::string()));
  }
  if (calibration == "missing") return fail(ctx.io, "the calibration file could not be made");
  return kExitOk;
}

int cmdInfo(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  const UnitConfig& c = unit.config;
  const UnitPath stored = UnitPath("/Syslog").child(c.customizeFileName);
  const UnitPath caution("/Syslog/dop_startup_caution_img.png");
  const UnitPath calibration(c.calibrationDir + "/AirGestureCalibration.ini");
  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("root", Json::string(unit.root))
                       .set("variant", Json::string(variantLabel(c)))
                       .set("model", Json::integer(c.model))
                       .set("destination", Json::integer(c.destination))
                       .set("saveDir", Json::string(c.saveDir))
                       .set("calibrationDir", Json::string(c.calibrationDir))
                       .set("langSetCode", Json::integer(c.langSetCode))
                       .set("customizeFileName", Json::string(c.customizeFileName))
                       .set("demoUserInit", Json::integer(c.demoUserInit))
                       .set("cameraHd", Json::integer(c.cameraHd))
                       .set("boots", Json::integer(unit.boots))
                       .set("calibrationFile", Json::boolean(unitIsRegularFile(calibration)))
                       .set("storedCustomization", Json::boolean(unitIsRegularFile(stored)))
                       .set("storedCautionImage", Json::boolean(unitIsRegularFile(caution))));
    return kExitOk;
  }
  Table table({"", ""});
  table.add({"root", unit.root});
  table.add({"variant", variantLabel(c) + " (" + pairText(c.model, c.destination) + ")"});
  table.add({"save_dir", c.saveDir});
  table.add({"calibration_dir", c.calibrationDir});
  table.add({"lang_set_code", std::to_string(c.langSetCode)});
  table.add({"customize_file_name", c.customizeFileName});
  table.add({"demo_user_init", std::to_string(c.demoUserInit)});
  table.add({"camera_hd", std::to_string(c.cameraHd)});
  table.add({"boots", std::to_string(unit.boots)});
  table.add({"calibration file", unitIsRegularFile(calibration) ? "present" : "missing"});
  table.add({"stored customization", unitIsRegularFile(stored) ? "/Syslog/" + c.customizeFileName : "none"});
  table.add({"stored caution image", unitIsRegularFile(caution) ? "/Syslog/dop_startup_caution_img.png" : "none"});
  table.print(ctx.io.out, false);
  return kExitOk;
}

int cmdVariants(Context& ctx) {
  Json json = Json::array();
  Table table({"MODEL", "DESTINATION", "NAME"});
  for (std::size_t i = 0; i < sysdata::kVariantCount; ++i) {
    const sysdata::Variant& v = sysdata::variants()[i];
    json.push(Json::object()
                  .set("model", Json::integer(v.model))
                  .set("destination", Json::integer(v.destination))
                  .set("name", Json::string(v.modelName)));
    table.add({std::to_string(v.model), std::to_string(v.destination), v.modelName});
  }
  if (ctx.json) {
    printJson(ctx, json);
  } else {
    table.print(ctx.io.out);
  }
  return kExitOk;
}

int cmdKeys(Context& ctx) {
  Json json = Json::array();
  Table table({"ID", "NAME", "FILE", "KEY", "TYPE", "DEFAULT", "SET WRITES"});
  for (int id = 0; id < settings_datakey::DATAKEY_MAX; ++id) {
    const auto key = static_cast<settings_datakey::DataKeyID>(id);
    SettingsDataAccessor::KeyInfo inSettings;
    SettingsDataAccessor::KeyInfo inNoUserInit;
    if (!SettingsDataAccessor::describe(key, true, &inSettings) ||
        !SettingsDataAccessor::describe(key, false, &inNoUserInit)) {
      continue;
    }
    std::string file = inSettings.file;
    std::string offset = std::to_string(inSettings.defaultOffset);
    if (std::string(inSettings.file) != inNoUserInit.file) {
      file += "|" + std::string(inNoUserInit.file);
      offset += "|" + std::to_string(inNoUserInit.defaultOffset);
    }
    std::string writes;
    Json writesJson = Json::array();
    for (const char* setKey : inSettings.setKeys) {
      if (setKey == nullptr) continue;
      writes += (writes.empty() ? "" : ",") + std::string(setKey);
      writesJson.push(Json::string(setKey));
    }
    std::string name = settings_datakey::name(key);
    if (name.compare(0, 8, "DATAKEY_") == 0) name = name.substr(8);
    const char* type = inSettings.isUnsigned ? "uint" : "int";
    table.add({std::to_string(id), name, file, inSettings.key, type, offset, writes});
    Json row = Json::object()
                   .set("id", Json::integer(id))
                   .set("name", Json::string(name))
                   .set("file", Json::string(inSettings.file))
                   .set("key", Json::string(inSettings.key))
                   .set("type", Json::string(type))
                   .set("defaultOffset", Json::integer(inSettings.defaultOffset))
                   .set("setWrites", writesJson);
    if (std::string(inSettings.file) != inNoUserInit.file) {
      row.set("fileWhenDemoUserInitZero", Json::string(inNoUserInit.file));
      row.set("defaultOffsetWhenDemoUserInitZero", Json::integer(inNoUserInit.defaultOffset));
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

}  // namespace sysdatactl
