// customize check | import | apply: dealer customization files.
#include <cstring>

#include "ApplyMarker.h"
#include "Commands.h"
#include "Files.h"
#include "SafeFile.h"
#include "UnitAccess.h"
#include "platform/TqStorage.h"
#include "src/customize/CustomizeSettings.h"
#include "src/customize/CustomizeSysDataProduct.h"
#include "src/customize/CustomizeSysDataProductImpl.h"
#include "src/customize/CustomizeUtility.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/LogCapture.h"

namespace sysdatactl {

namespace {

std::string trimNewline(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message;
}

// The dealer file the user named (a link to it is fine): a regular file of
// at most kMaxCustomizationBytes, and the caution image it names a regular
// file where it exists. The library reads both whole and would wait on a
// FIFO.
bool checkReadableFile(Context& ctx, const std::string& file, int* exitCode, std::string* imageName = nullptr) {
  std::string content;
  // A file in the unit is read the way the library will read it.
  const std::string host = unitHostPathOf(file);
  const ReadResult read = host.empty() ? readRegularFile(AT_FDCWD, file, kMaxCustomizationBytes, &content, true)
                                       : readUnitFile(UnitPath(host), kMaxCustomizationBytes, &content, true);
  if (read.status != ReadStatus::kOk) {
    *exitCode = fail(ctx.io, "cannot read customization file '" + file + "': " + read.reason());
    return false;
  }
  const std::string dir = CustomizeUtility::directoryOf(file);
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t eol = content.find('\n', pos);
    if (eol == std::string::npos) eol = content.size();
    std::string line = content.substr(pos, eol - pos);
    pos = eol + 1;
    CustomizeUtility::removeControlChars(line);
    if (!CustomizeUtility::startsWith(line, "[caution]")) continue;
    std::string name;
    CustomizeUtility::getValue(line.c_str(), name);
    const std::string image = dir + name;
    if (imageName != nullptr) *imageName = name;
    const std::string imageHost = host.empty() ? std::string() : CustomizeUtility::directoryOf(host) + name;
    if (!name.empty() && (host.empty() ? pathExists(image) : unitExists(UnitPath(imageHost)))) {
      const std::string problem = host.empty() ? readProblem(image) : unitReadProblem(UnitPath(imageHost));
      if (!problem.empty()) {
        *exitCode = fail(ctx.io, "cannot read the caution image '" + image + "': " + problem);
        return false;
      }
    }
  }
  return true;
}

// Why the unit's copy stored is not the file source (outside the unit, a
// final link followed as the library's copy follows it): empty when both
// hold the same bytes. A source that cannot be read is no mismatch.
std::string storedCopyProblem(const std::string& source, const UnitPath& stored, std::size_t limit) {
  std::string want;
  if (readRegularFile(AT_FDCWD, source, limit, &want, true).status != ReadStatus::kOk) return std::string();
  std::string have;
  const ReadResult read = readUnitFile(stored, limit, &have);
  if (read.status != ReadStatus::kOk) return read.reason();
  if (have != want) return "what is stored is not the file just imported (an earlier copy is left)";
  return std::string();
}

struct LintProblem {
  int line;
  std::string text;  // the line as checked
  std::string message;
};

// Why a line was rejected when the library said nothing: its number cannot
// be read, or (for a language) the unit's language set does not offer it.
std::string silentRejection(const std::string& line, std::uint32_t langSetCode) {
  standin::testing::ScopedLogCapture quiet;
  unsigned int value = 0;
  if (!CustomizeUtility::getValue(line.c_str(), value)) {
    return "value cannot be read as a hexadecimal number (rejected without a message)";
  }
  if (CustomizeUtility::startsWith(line, "[lang]")) {
    return "language " + std::to_string(value) + " is not offered with language set " + std::to_string(langSetCode) +
           " (rejected without a message)";
  }
  return "rejected without a message";
}

// Runs the library's checks line by line, past every problem. The header
// check and each entry's check are the library's own; their log messages are
// the report.
std::vector<LintProblem> lint(const std::string& relative, std::uint32_t langSetCode, int* linesRead, bool* opened) {
  std::vector<LintProblem> problems;
  TqStorage file(relative.c_str(), "rb");
  *opened = file.IsOpen();
  *linesRead = 0;
  if (!*opened) return problems;
  const std::string dir = CustomizeUtility::directoryOf(relative);
  CustomizeSysDataProductImpl impl;
  standin::testing::ScopedLogCapture capture;

  if (!impl.checkHeader(file)) {
    const std::vector<std::string> messages = capture.messages();
    if (messages.empty()) {
      problems.push_back({1, "", "the file is empty: no \"DOP_Customize\" header"});
      return problems;
    }
    for (const std::string& m : messages) problems.push_back({1, "", trimNewline(m)});
  }
  *linesRead = 1;
  int lineNo = 1;
  for (;;) {
    char buffer[CustomizeUtility::kLineSize];
    std::memset(buffer, 0, sizeof buffer);
    if (file.ReadLine(buffer, CustomizeUtility::kLineSize) != 0) break;
    ++lineNo;
    *linesRead = lineNo;
    if (CustomizeUtility::isEndLine(buffer)) break;
    std::string line(buffer);
    CustomizeUtility::removeControlChars(line);
    capture.clear();
    bool ok = true;
    if (CustomizeUtility::startsWith(line, "[model]") || CustomizeUtility::startsWith(line, "[maker]")) {
      unsigned int value = 0;
      const bool model = CustomizeUtility::startsWith(line, "[model]");
      ok = CustomizeUtility::getValue(line.c_str(), value) && (model ? impl.checkModel(value) : impl.checkMaker(value));
    } else {
      ok = CustomizeSettings::checkData(line, dir.c_str());
    }
    if (ok) continue;
    const std::vector<std::string> messages = capture.messages();
    if (messages.empty()) {
      problems.push_back({lineNo, line, silentRejection(line, langSetCode)});
    }
    for (const std::string& m : messages) problems.push_back({lineNo, line, trimNewline(m)});
  }
  return problems;
}

}  // namespace

int cmdCustomizeCheck(Context& ctx) {
  const std::string fileArg = ctx.args.positionals[0];
  std::int64_t langSetCode = -1;
  if (ctx.args.has("lang-set-code") && !parseInRange(ctx.args.get("lang-set-code"), 0, UINT32_MAX, &langSetCode)) {
    return usageError(ctx.io, "--lang-set-code must be a number from 0 to 4294967295", ctx.command);
  }
  int exitCode = kExitOk;
  std::unique_ptr<HostSession> session;
  if (ctx.rootArg.empty()) {
    UnitConfig config;
    if (langSetCode >= 0) config.langSetCode = static_cast<std::uint32_t>(langSetCode);
    session = HostSession::ephemeral(config);
    if (!session->ok()) return fail(ctx.io, session->error());
  } else {
    Unit unit;
    if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
    session = powerOn(ctx, unit);
    if (!session) return kExitFailure;
    // For this check only: the records end with this power-on.
    if (langSetCode >= 0) standin::host_records::setLangSetCode(static_cast<std::uint32_t>(langSetCode));
  }
  // Once the unit is on: a file in it is read through the unit's door.
  if (!checkReadableFile(ctx, fileArg, &exitCode)) return exitCode;
  const std::uint32_t effectiveLangSet = standin::host_records::langSetCode();
  std::string relative;
  std::string error;
  if (!enterDirectoryOf(fileArg, &relative, &error)) return fail(ctx.io, error);
  int linesRead = 0;
  bool opened = false;
  const std::vector<LintProblem> problems = lint(relative, effectiveLangSet, &linesRead, &opened);
  if (!opened) return fail(ctx.io, "cannot open customization file '" + fileArg + "'");

  if (ctx.json) {
    Json list = Json::array();
    for (const LintProblem& p : problems) {
      list.push(Json::object()
                    .set("line", Json::integer(p.line))
                    .set("text", Json::string(p.text))
                    .set("message", Json::string(p.message)));
    }
    printJson(ctx, Json::object()
                       .set("file", Json::string(fileArg))
                       .set("linesChecked", Json::integer(linesRead))
                       .set("langSetCode", Json::integer(effectiveLangSet))
                       .set("ok", Json::boolean(problems.empty()))
                       .set("problems", list));
  } else {
    for (const LintProblem& p : problems) ctx.io.out << fileArg << ":" << p.line << ": " << p.message << "\n";
    if (problems.empty()) ctx.io.out << fileArg << ": ok (" << linesRead << " lines checked)\n";
  }
  if (!problems.empty()) {
    return fail(ctx.io, fileArg + ": " + std::to_string(problems.size()) + " problem" +
                            (problems.size() == 1 ? "" : "s"));
  }
  return kExitOk;
}

int cmdCustomizeImport(Context& ctx) {
  const std::string fileArg = ctx.args.positionals[0];
  int exitCode = kExitOk;
  Unit unit;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  // The stored copy and the caution image are written in the unit: a
  // dealer file there could be the very file the import replaces.
  if (beneathUnit(fileArg)) return fail(ctx.io, "cannot import '" + fileArg + "': it lies within the unit");
  std::string imageName;
  if (!checkReadableFile(ctx, fileArg, &exitCode, &imageName)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const bool hadImage = unitIsRegularFile(session->storedCautionImage());
  std::string relative;
  std::string error;
  if (!enterDirectoryOf(fileArg, &relative, &error)) return fail(ctx.io, error);

  standin::testing::ScopedLogCapture capture;
  CustomizeSysDataProduct customize;
  std::string path = relative;
  const bool imported = customize.import(path);
  const std::vector<std::string> messages = capture.messages();
  if (!imported) {
    std::string reason = messages.empty() ? "rejected" : trimNewline(messages[0]);
    const bool hasSyslog = unitIsDirectory(session->syslog());
    const std::string cause = hasSyslog ? unitCreateProblem(session->syslog()) : "";
    if (!hasSyslog) {
      reason += " (the unit has no /Syslog/ directory)";
    } else if (reason.find("Copy Error") != std::string::npos && !cause.empty()) {
      // The library's line says only that a copy failed; the cause is the
      // place it copies to.
      reason += " (cannot store " +
                std::string(reason.find("Caution") != std::string::npos ? "the caution image" : "the customization") +
                " in /Syslog/: " + cause + ")";
    } else if (messages.empty() || reason.compare(0, 6, "<-----") == 0) {
      // A validation message: the import stops at the first problem.
      reason += " ('sysdatactl customize check' lists every problem)";
    }
    return fail(ctx.io, fileArg + " not imported: " + reason);
  }
  // An earlier import leaves files of the same names: what is stored now
  // must be what was just imported.
  const std::string mismatch = storedCopyProblem(relative, session->storedCustomization(), kMaxCustomizationBytes);
  if (!mismatch.empty()) {
    return fail(ctx.io, fileArg + " not imported: " + session->storedCustomization().host() + ": " + mismatch);
  }
  if (!imageName.empty()) {
    const std::string imageMismatch =
        storedCopyProblem(CustomizeUtility::directoryOf(relative) + imageName, session->storedCautionImage(),
                          kMaxSettingsFileBytes);
    if (!imageMismatch.empty()) {
      return fail(ctx.io, fileArg + " not imported: " + session->storedCautionImage().host() + ": " + imageMismatch);
    }
  }
  const bool hasImage = unitIsRegularFile(session->storedCautionImage());
  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("file", Json::string(fileArg))
                       .set("stored", Json::string(session->storedCustomization().host()))
                       .set("cautionImage", Json::boolean(hasImage)));
  } else {
    ctx.io.out << "imported " << fileArg << "\n  stored as " << session->storedCustomization().host() << "\n";
    if (hasImage) {
      ctx.io.out << "  caution image stored as /Syslog/" << CustomizeSettings::kCautionImageName
                 << (hadImage ? " (replaced)" : "") << "\n";
    }
    ctx.io.out << "  applied after the next initialisation: 'sysdatactl customize apply' or 'sysdatactl boot --init'\n";
  }
  return kExitOk;
}

int cmdCustomizeApply(Context& ctx) {
  Unit unit;
  int exitCode = kExitOk;
  if (!openUnit(ctx, &unit, &exitCode)) return exitCode;
  std::unique_ptr<HostSession> session = powerOn(ctx, unit);
  if (!session) return kExitFailure;
  const bool stored = unitIsRegularFile(session->storedCustomization());
  if (!stored && unitExists(session->storedCustomization())) {
    return fail(ctx.io, "cannot read the stored customization " + session->storedCustomization().host() + ": " +
                            unitReadProblem(session->storedCustomization()));
  }
  const UnitPath saveDir = session->saveDir();
  std::string problem = stored ? settingsStoreProblem(saveDir) : std::string();
  if (!problem.empty()) return fail(ctx.io, "customization not applied: " + problem);
  // A cut from here on leaves half a customization: the next boot finishes it.
  std::string markError;
  if (stored && !markApplyStarted(&markError)) return fail(ctx.io, markError);
  standin::testing::ScopedLogCapture capture;
  CustomizeSysDataProduct customize;
  const bool result = customize.afterInitialize(CustomizeSysData::INITIALIZE_ALL);
  problem = stored ? settingsStoreProblem(saveDir) : std::string();
  if (!problem.empty()) return fail(ctx.io, "customization not applied: " + problem);
  if (!markApplyFinished(&markError)) return fail(ctx.io, markError);
  for (const std::string& m : capture.messages()) ctx.io.err << "sysdatactl: library: " << trimNewline(m) << "\n";
  const bool kept = unitIsRegularFile(session->storedCustomization());
  const std::string state = !stored ? "none stored" : (kept ? "applied (kept)" : "applied (one-shot, removed)");
  if (ctx.json) {
    printJson(ctx, Json::object()
                       .set("stored", Json::boolean(stored))
                       .set("applied", Json::boolean(stored))
                       .set("kept", Json::boolean(kept))
                       .set("hostResult", Json::boolean(result)));
  } else {
    ctx.io.out << "customization: " << state << "\n";
  }
  if (!result) return fail(ctx.io, "the host's customization step reported a failure");
  return kExitOk;
}

}  // namespace sysdatactl
