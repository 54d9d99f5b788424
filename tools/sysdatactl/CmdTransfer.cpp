// export, import: the settings to and from a directory of this machine (a
// USB stick on the unit).
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "Commands.h"
#include "Files.h"
#include "SafeFile.h"
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

// An exported copy: a regular file; a binary one of its record's size, a
// key file not empty.
bool checkExported(const std::string& path, const sysdata::SettingsFileDef& def, std::string* problem) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *problem = "missing";
    return false;
  }
  const bool complete = def.kind == sysdata::FileKind::Binary ? static_cast<std::size_t>(st.st_size) == def.recordSize
                                                              : st.st_size > 0;
  if (!complete) *problem = "size " + std::to_string(st.st_size) + " bytes";
  return complete;
}

std::string lastConnectText(bool found, int value) { return found ? std::to_string(value) : "<missing>"; }

}  // namespace

int cmdExport(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  const std::string dirArg = ctx.args.positionals[0];
  if (dirArg.empty()) return usageError(ctx.io, "DIR must not be empty", ctx.command);
  if (pathExists(dirArg) && !isDirectory(dirArg)) return fail(ctx.io, "'" + dirArg + "' exists and is not a directory");
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  if (!isDirectory(dirArg) && !makeDirectories(dirArg)) {
    return fail(ctx.io, "cannot make the directory '" + dirArg + "': " + errnoText(errno));
  }
  const std::string dir = absolutePath(dirArg);
  const sysdata::SettingsFileDef* files = sysdata::productFiles();
  // What the export replaces must be files: opening a FIFO there to write
  // would wait for a reader, a directory cannot be replaced.
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
    const std::string target = dir + "/" + files[i].fileName;
    if (pathExists(target) && !isRegularFile(target)) {
      return fail(ctx.io, "cannot export to " + target + ": not a regular file");
    }
    const std::string source = session->saveFile(files[i].fileName);
    if (pathExists(source)) {
      const std::string problem = readProblem(source);
      if (!problem.empty()) return fail(ctx.io, "cannot export " + std::string(files[i].fileName) + ": " + problem);
    }
  }
  std::string relative;
  std::string error;
  if (!enterDirectory(dir, &relative, &error)) return fail(ctx.io, error);
  const bool hostResult = session->util().dataExport(relative.c_str());

  std::vector<std::string> missing;
  Json written = Json::array();
  for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) {
    std::string problem;
    if (checkExported(dir + "/" + files[i].fileName, files[i], &problem)) {
      written.push(Json::string(files[i].fileName));
    } else {
      missing.push_back(files[i].fileName);
    }
  }
  const std::size_t count = sysdata::kProductFileCount - missing.size();
  // A partial export is a failure, not a success with a footnote.
  if (!missing.empty()) {
    std::string cause = probeWritable(dir);
    if (cause.empty()) cause = "not written";
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
  const std::string live = session->saveFile(kDriveRecorder);
  if (pathExists(live)) {
    const std::string problem = readProblem(live);
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
    std::string cause = storeProblem(live);
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
