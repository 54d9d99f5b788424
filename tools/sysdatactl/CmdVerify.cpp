// verify: an offline health check of the unit's settings, like fsck.
#include <cerrno>
#include <set>

#include "ApplyMarker.h"
#include "Commands.h"
#include "Files.h"
#include "SafeFile.h"
#include "UnitAccess.h"
#include "core/SysDataProductFactory.h"
#include "platform/SaveFileAccess.h"

namespace sysdatactl {

namespace {

struct Problem {
  std::string file;
  std::string key;
  std::string message;
};

// The store's key=value form (platform/SaveFileAccess.h): one "Key=Value"
// per line, every line ended by a line feed, no raw control bytes, each key
// once. The store reads around damage; verify names it.
void scanKeyValueText(const std::string& name, const std::string& text, std::vector<Problem>* problems) {
  std::set<std::string> keys;
  std::size_t pos = 0;
  int lineNo = 0;
  while (pos < text.size()) {
    ++lineNo;
    const std::size_t eol = text.find('\n', pos);
    const bool terminated = eol != std::string::npos;
    const std::string line = text.substr(pos, (terminated ? eol : text.size()) - pos);
    pos = terminated ? eol + 1 : text.size();
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      problems->push_back({name, "", where + "not a Key=Value line"});
      continue;
    }
    bool control = false;
    for (unsigned char c : line) control = control || c < 0x20 || c == 0x7f;
    if (control) problems->push_back({name, "", where + "raw control bytes"});
    if (!terminated) problems->push_back({name, "", where + "last line is cut (no line feed)"});
    if (!keys.insert(line.substr(0, eq)).second) {
      problems->push_back({name, line.substr(0, eq), where + "key given again"});
    }
  }
}

}  // namespace

int cmdVerify(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const std::string notBooted = unit.boots == 0 ? " (the unit has not booted yet)" : "";

  std::vector<Problem> problems;
  for (const std::string& dir : {unit.config.saveDir, unit.config.calibrationDir, std::string("/Syslog")}) {
    if (!unitIsDirectory(UnitPath(dir))) problems.push_back({dir, "", "host directory missing"});
  }
  if (applyPending()) {
    problems.push_back({kApplyMarkerName, "",
                        "a customization apply was cut before it finished (the next boot finishes it)"});
  }
  if (initialisePending()) {
    problems.push_back({kInitialiseMarkerName, "",
                        "an initialisation of the product files was cut before it finished (the next boot "
                        "finishes it)"});
  }
  int checkedFiles = 0;
  int checkedKeys = 0;
  for (const KnownFile& file : knownFiles()) {
    if (!file.ownedByLibrary) continue;
    const bool required = file.group != FileGroup::Common;
    std::string path;
    if (file.binary) {
      SaveFileAccess* object = TqSingleton<SysDataProductFactory>::GetInstance()->getBinary(
          static_cast<SysDataProductFactory::SYSDATA_BINARY_ID>(file.product->registryId));
      if (object != nullptr) object->getFullPath(path);
    } else if (SaveFileAccessMetaText* object = metaTextOf(file)) {
      object->getFullPath(path);
    }
    path = hostPathOfStoreFile(path);
    if (path.empty()) {
      // Out of descriptors, every later file fails the same way: one cause,
      // not a problem per file.
      if (descriptorsExhausted()) return fail(ctx.io, "cannot verify the unit: " + errnoText(EMFILE));
      problems.push_back({file.name, "", noFileObjectReason()});
      continue;
    }
    if (!unitExists(UnitPath(path))) {
      if (required) problems.push_back({file.name, "", "missing" + notBooted});
      continue;
    }
    // A FIFO or a directory in its place is not a missing file.
    const std::string unreadable = unitReadProblem(UnitPath(path));
    if (!unreadable.empty()) {
      problems.push_back({file.name, "", unreadable});
      continue;
    }
    ++checkedFiles;
    if (file.binary) {
      const long long size = unitFileSize(UnitPath(path));
      if (size != static_cast<long long>(file.recordSize)) {
        problems.push_back({file.name, "", "size " + std::to_string(size) + " bytes, expected " +
                                               std::to_string(file.recordSize)});
      }
      continue;
    }
    std::string text;
    const ReadResult read = readUnitFile(UnitPath(path), kMaxSettingsFileBytes, &text, true);
    if (read.status != ReadStatus::kOk) {
      if (read.status == ReadStatus::kError && read.error == EMFILE) {
        return fail(ctx.io, "cannot verify the unit: " + errnoText(EMFILE));
      }
      problems.push_back({file.name, "", "cannot be read: " + read.reason()});
      continue;
    }
    scanKeyValueText(file.name, text, &problems);
    SaveFileAccessMetaText* object = metaTextOf(file);
    if (object == nullptr || !object->FOpen()) {
      if (descriptorsExhausted()) return fail(ctx.io, "cannot verify the unit: " + errnoText(EMFILE));
      problems.push_back({file.name, "", "the store cannot open it"});
      continue;
    }
    const std::vector<KeyReading> readings = readKeys(*object, file);
    object->FClose();
    for (const KeyReading& r : readings) {
      if (!r.owned) continue;
      ++checkedKeys;
      if (!r.present) {
        // Common files hold a key only once something wrote it.
        if (required) problems.push_back({file.name, r.key, "missing"});
      } else if (!r.readable) {
        problems.push_back({file.name, r.key, "value " + r.value + " is not a " + r.type});
      }
    }
  }

  Json list = Json::array();
  for (const Problem& p : problems) {
    if (!ctx.json) {
      ctx.io.out << p.file << ": " << (p.key.empty() ? "" : p.key + ": ") << p.message << "\n";
    }
    list.push(Json::object()
                  .set("file", Json::string(p.file))
                  .set("key", p.key.empty() ? Json::null() : Json::string(p.key))
                  .set("problem", Json::string(p.message)));
  }
  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("filesChecked", Json::integer(checkedFiles))
                       .set("keysChecked", Json::integer(checkedKeys))
                       .set("problems", list));
  } else {
    ctx.io.out << "verify: " << problems.size() << " problem" << (problems.size() == 1 ? "" : "s") << " in "
               << checkedFiles << " files and " << checkedKeys << " keys checked\n";
  }
  if (!problems.empty()) {
    return fail(ctx.io, "verify found " + std::to_string(problems.size()) + " problem" +
                            (problems.size() == 1 ? "" : "s"));
  }
  return kExitOk;
}

}  // namespace sysdatactl
