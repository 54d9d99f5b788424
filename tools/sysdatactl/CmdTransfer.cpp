// export, import: the settings to and from a directory of this machine (a
// USB stick on the unit).
#include <cerrno>
#include <cstdint>

#include "Commands.h"
#include "Files.h"
#include "SafeFile.h"
#include "UnitAccess.h"
#include "platform/SaveFileAccess.h"
#include "settings/SettingsCatalog.h"

namespace sysdatactl {

namespace {

constexpr const char* kDriveRecorder = "DriveRecorder.ini";
constexpr const char* kLastConnect = "FrontRecorderLastConnect";

// The unit's "FrontRecorderLastConnect", read without writing anything.
bool readLastConnect(int* value) {
  const KnownFile* file = findKnownFile(kDriveRecorder);
  SaveFileAccessMetaText* object = file != nullptr ? metaTextOf(*file) : nullptr;
  if (object == nullptr || !object->FOpen()) return false;
  const bool found = object->Get(kLastConnect, value);
  object->FClose();
  return found;
}

// An exported copy: a regular file written by this export (not one an
// earlier export left), a binary one of its record's size, a key file not
// empty.
bool checkExported(const std::string& path, const FileState& before, const sysdata::SettingsFileDef& def,
                   std::string* problem) {
  long long size = 0;
  if (!isRegularFileNoFollow(path, &size)) {
    *problem = "missing";
    return false;
  }
  if (before.exists && fileState(path) == before) {
    *problem = "not written (what is there is from an earlier export)";
    return false;
  }
  const bool complete =
      def.kind == sysdata::FileKind::Binary ? static_cast<std::size_t>(size) == def.recordSize : size > 0;
  if (!complete) *problem = "size " + std::to_string(size) + " bytes";
  return complete;
}

// Why the directory of this machine a command reads or writes must not be
// used: it is the unit's save directory or lies within the unit (named
// directly, or through a link, or a mount), so that the command would
// overwrite what it is to read. Empty when it is apart. A directory that
// does not exist yet is judged by the nearest one above it that does.
std::string overlapWithUnit(const std::string& dirArg, const UnitPath& saveDir) {
  std::string dir = dirArg;
  std::vector<std::pair<unsigned long long, unsigned long long>> chain;
  while (!directoryChain(dir, &chain)) {
    const std::size_t slash = dir.find_last_of('/');
    if (slash == std::string::npos) {
      if (dir == ".") return std::string();
      dir = ".";
    } else {
      dir = slash == 0 ? "/" : dir.substr(0, slash);
    }
  }
  DirectoryId root;
  DirectoryId save;
  const bool hasRoot = unitDirectoryId(UnitPath("/"), &root);
  const bool hasSave = unitDirectoryId(saveDir, &save);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    const DirectoryId id{chain[i].first, chain[i].second};
    if (hasSave && id == save) {
      return i == 0 && dir == dirArg ? "it is the unit's save directory " + saveDir.host()
                                     : "it lies within the unit's save directory " + saveDir.host();
    }
    if (hasRoot && id == root) return "it lies within the unit";
  }
  // Named by a path beneath the root that the unit resolves elsewhere.
  if (beneathUnit(dirArg)) return "it lies within the unit";
  return std::string();
}

std::string lastConnectText(bool found, int value) { return found ? std::to_string(value) : "<missing>"; }

}  // namespace

int cmdExport(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  const std::string dirArg = ctx.args.positionals[0];
  if (dirArg.empty()) return usageError(ctx.io, "DIR must not be empty", ctx.command);
  const std::string overlap = overlapWithUnit(dirArg, UnitPath(unit.config.saveDir));
  if (!overlap.empty()) return fail(ctx.io, "cannot export to '" + dirArg + "': " + overlap);
  if (pathExists(dirArg) && !isDirectory(dirArg)) return fail(ctx.io, "'" + dirArg + "' exists and is not a directory");
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  if (!isDirectory(dirArg) && !makeDirectories(dirArg)) {
    return fail(ctx.io, "cannot make the directory '" + dirArg + "': " + errnoText(errno));
  }
  const std::string dir = absolutePath(dirArg);
  const sysdata::SettingsFileDef* files = sysdata::productFiles();
  std::vector<FileState> before(sysdata::kProductFileCount);
  // What the export replaces must be files: opening a FIFO there to write
  // would wait for a reader, a directory cannot be replaced.
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
    const std::string target = dir + "/" + files[i].fileName;
    if (pathExists(target) && !isRegularFile(target)) {
      return fail(ctx.io, "cannot export to " + target + ": not a regular file");
    }
    before[i] = fileState(target);
    const UnitPath source = session->saveFile(files[i].fileName);
    if (unitExists(source)) {
      const std::string problem = unitReadProblem(source);
      if (!problem.empty()) return fail(ctx.io, "cannot export " + std::string(files[i].fileName) + ": " + problem);
    }
  }
  std::string relative;
  std::string error;
  if (!enterDirectory(dir, &relative, &error)) return fail(ctx.io, error);
  const bool hostResult = session->util().dataExport(relative.c_str());

  std::vector<std::string> missing;
  std::string firstProblem;
  Json written = Json::array();
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
    std::string problem;
    if (checkExported(dir + "/" + files[i].fileName, before[i], files[i], &problem)) {
      written.push(Json::string(files[i].fileName));
    } else {
      if (missing.empty()) firstProblem = problem;
      missing.push_back(files[i].fileName);
    }
  }
  const std::size_t count = sysdata::kProductFileCount - missing.size();
  // A partial export is a failure, not a success with a footnote.
  if (!missing.empty()) {
    std::string cause = createProblem(dir);
    if (cause.empty()) cause = firstProblem == "missing" ? "not written" : firstProblem;
    return fail(ctx.io, "export incomplete: " + std::to_string(missing.size()) + " of " +
                            std::to_string(sysdata::kProductFileCount) + " files missing in " + dir + " (first: " +
                            missing[0] + "): " + cause);
  }
  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("directory", Json::string(dir))
                       .set("files", written)
                       .set("hostResult", Json::boolean(hostResult)));
  } else {
    ctx.io.out << "exported " << count << " product files to " << dir << "\n"
               << "  " << kDriveRecorder << " with the unit's values, the others with factory values\n";
  }
  if (!hostResult) return fail(ctx.io, "the host's export reported a failure");
  return kExitOk;
}

int cmdImport(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  const std::string dirArg = ctx.args.positionals[0];
  if (dirArg.empty()) return usageError(ctx.io, "DIR must not be empty", ctx.command);
  const std::string overlap = overlapWithUnit(dirArg, UnitPath(unit.config.saveDir));
  if (!overlap.empty()) return fail(ctx.io, "cannot import from '" + dirArg + "': " + overlap);
  if (!isDirectory(dirArg)) return fail(ctx.io, "no directory '" + dirArg + "' to import from");
  const std::string dir = absolutePath(dirArg);
  // The library reads the stick's copy: a FIFO there would wait for a
  // writer, a huge file would be read whole.
  const std::string copy = dir + "/" + kDriveRecorder;
  // The value the stick carries, to see that it arrived.
  bool offered = false;
  std::int64_t offeredValue = 0;
  if (pathExists(copy)) {
    std::string content;
    const ReadResult read = readRegularFile(copy, kMaxSettingsFileBytes, &content);
    if (read.status != ReadStatus::kOk) return fail(ctx.io, "cannot import " + copy + ": " + read.reason());
    const std::string head = std::string(kLastConnect) + "=";
    std::size_t pos = 0;
    while (pos < content.size()) {
      std::size_t eol = content.find('\n', pos);
      if (eol == std::string::npos) eol = content.size();
      const std::string line = content.substr(pos, eol - pos);
      pos = eol + 1;
      if (line.compare(0, head.size(), head) == 0) {
        offered = parseInRange(line.substr(head.size()), INT32_MIN, INT32_MAX, &offeredValue);
      }
    }
  }
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const UnitPath live = session->saveFile(kDriveRecorder);
  if (unitExists(live)) {
    const std::string problem = unitReadProblem(live);
    if (!problem.empty()) return fail(ctx.io, "cannot import into " + std::string(kDriveRecorder) + ": " + problem);
  }
  int before = 0;
  const bool hadBefore = readLastConnect(&before);
  std::string relative;
  std::string error;
  if (!enterDirectory(dir, &relative, &error)) return fail(ctx.io, error);
  const bool hostResult = session->util().dataImport(relative.c_str());
  int after = 0;
  const bool hasAfter = readLastConnect(&after);
  // The import hook reports nothing of its own: what counts is the value.
  if (offered && (!hasAfter || after != offeredValue)) {
    std::string cause = unitStoreProblem(live);
    if (cause.empty()) cause = "it reads " + lastConnectText(hasAfter, after);
    return fail(ctx.io, std::string("cannot store ") + kLastConnect + " in " + kDriveRecorder + ": " + cause);
  }

  if (ctx.json) {
    Json json = Json::object()
                    .set("directory", Json::string(dir))
                    .set("file", Json::string(kDriveRecorder))
                    .set("key", Json::string(kLastConnect));
    json.set("before", hadBefore ? Json::integer(before) : Json::null());
    json.set("after", hasAfter ? Json::integer(after) : Json::null());
    json.set("hostResult", Json::boolean(hostResult));
    printJson(ctx, json);
  } else {
    ctx.io.out << "imported from " << dir << "\n  " << kDriveRecorder << " " << kLastConnect << " = "
               << lastConnectText(hasAfter, after);
    if (hadBefore != hasAfter || before != after) {
      ctx.io.out << " (was " << lastConnectText(hadBefore, before) << ")\n";
    } else {
      ctx.io.out << " (unchanged)\n";
    }
  }
  if (!hostResult) return fail(ctx.io, "the host's import reported a failure");
  return kExitOk;
}

}  // namespace sysdatactl
