// The command table of sysdatactl and the reading of a command line: what
// main() runs, and what the tests that drive the tool in their own process
// (on a file system in memory) run.
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "Meta.h"
#include "standin/testing/StoreControl.h"

namespace sysdatactl {

void setWaitBudget() { standin::testing::SetWaitBudget(kCommandWaitBudgetMs); }

namespace {

const char* const kOverview =
    "usage: sysdatactl [--root DIR] [--json] COMMAND [ARGS...]\n"
    "\n"
    "Plays the host of a simulated head unit kept in a directory. Every\n"
    "invocation is one power-on of the unit: the host's records are filled from\n"
    "DIR/unit.conf, the factory default table is filled, the command runs, and\n"
    "the power-off leaves no shared memory behind.\n"
    "\n"
    "Commands:\n";

const char* const kFooter =
    "\n"
    "Options:\n"
    "  --root DIR   the unit's directory (default: $SYSDATACTL_ROOT)\n"
    "  --json       machine-readable output for commands that list data\n"
    "  -h, --help   this text; 'sysdatactl COMMAND --help' for one command\n"
    "  --version    the tool's version\n"
    "\n"
    "Exit status:\n"
    "  0   success\n"
    "  1   failure (one line on stderr)\n"
    "  2   usage error\n"
    "\n"
    "Environment:\n"
    "  SYSDATACTL_ROOT   the unit's directory when --root is not given\n"
    "  TQ_DEBUG_LOG      set to 1 to see the library's log on stderr\n"
    "  TMPDIR            where 'customize check' without a unit makes its\n"
    "                    throw-away one (default /tmp)\n"
    "\n"
    "Files:\n"
    "  DIR/unit.conf     the host's configuration of the unit: model and\n"
    "                    destination, the save and calibration directories,\n"
    "                    the language-set code, the stored customization's\n"
    "                    name, the demo and camera switches\n"
    "  DIR/...           every absolute path the unit's host uses (/Syslog/,\n"
    "                    the save and calibration directories) lies under DIR\n";

const std::vector<OptionDef> kNone = {};

}  // namespace

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"create", "create VARIANT | create --model N --destination N",
       "make a new unit of a variant",
       "Makes the unit's directory (DIR need not exist) with its unit.conf and\n"
       "the host directories: the save and calibration directories and /Syslog/.\n"
       "VARIANT is a model name such as VH-C306 (see 'sysdatactl variants'); a\n"
       "name shared by two destinations needs --destination as well.\n"
       "\n"
       "  --model N, --destination N   the pair by number\n"
       "  --allow-unknown              accept a pair that is no variant (it gets\n"
       "                               only the common part of the default table)\n"
       "  --camera-hd N                non-zero: HD camera guide lines (default 0)\n"
       "  --lang-set-code N            language-set code (default 0)\n"
       "  --demo-user-init N           non-zero: demo mode in Settings.ini (default 1)\n"
       "  --customize-file-name NAME   name of the stored customization copy\n"
       "  --force                      replace an existing unit.conf\n",
       {{"model", true},
        {"destination", true},
        {"allow-unknown", false},
        {"camera-hd", true},
        {"lang-set-code", true},
        {"demo-user-init", true},
        {"customize-file-name", true},
        {"force", false}},
       0, 1, cmdCreate},
      {"boot", "boot [--init]", "power on: default table, calibration file, first-boot initialisation",
       "Powers the unit on as the host does: fills the factory default table and\n"
       "makes sure the air-gesture calibration file exists. On the unit's first\n"
       "boot (or with --init) it brings every product settings file to its\n"
       "factory state and then applies a stored dealer customization, as the host\n"
       "does after an initialisation. An initialisation or a customization apply\n"
       "that a power loss cut is finished by the next boot.\n"
       "\n"
       "  --init   initialise the product files again (a factory reset)\n",
       {{"init", false}}, 0, 0, cmdBoot},
      {"info", "info", "show the unit's configuration and state",
       "Shows unit.conf, the variant, the boot count and what is stored in /Syslog/.\n", kNone, 0, 0,
       cmdInfo},
      {"variants", "variants", "list the product's variants",
       "Lists the 22 (model, destination) pairs the product recognises with their\n"
       "model names. Needs no unit.\n",
       kNone, 0, 0, cmdVariants},
      {"keys", "keys", "list the data keys of get and set",
       "Lists the 31 data keys: number, name, file, settings key, type and the\n"
       "offset of the key's default in the factory default table. Needs no unit.\n",
       kNone, 0, 0, cmdKeys},
      {"files", "files", "list the settings files and whether the unit has them",
       "Lists the product files, the calibration file and the common files, with\n"
       "their kind and whether the unit holds them now.\n",
       kNone, 0, 0, cmdFiles},
      {"defaults", "defaults [--all]", "show the unit's factory default table",
       "Shows the fields of the factory default table (\"SysDataDefault\") that the\n"
       "product writes or that a data key reads, by offset, with width, value, the\n"
       "settings key where the field has one, and who wrote it (product or host).\n"
       "\n"
       "  --all   also list the runs of equal fields entry by entry\n",
       {{"all", false}}, 0, 0, cmdDefaults},
      {"show", "show FILE", "show a settings file as a table of keys and values",
       "Shows the keys of FILE (a name from 'sysdatactl files') with their type and\n"
       "value. Keys whose type the library fixes come first; a missing one is\n"
       "shown as <missing>. A binary file is shown by size and content.\n",
       kNone, 1, 1, cmdShow},
      {"dump", "dump", "every key of every settings file, one per line",
       "Prints FILE:KEY=VALUE for every key of every settings file the unit holds,\n"
       "and FILE:<binary ...> for binary files; stable for diff.\n",
       kNone, 0, 0, cmdDump},
      {"get", "get KEY | get --all", "read a common setting by data key",
       "Reads a common setting through the data accessor. KEY is a number 0-30, a\n"
       "name such as BEEP_VOL or beep-vol, or the settings key such as BeepVol\n"
       "(see 'sysdatactl keys'). A key the file lacks is filled from the factory\n"
       "default table and written back, as the host's reads do.\n"
       "\n"
       "  --all   every data key\n",
       {{"all", false}}, 0, 1, cmdGet},
      {"set", "set KEY VALUE", "write a common setting by data key",
       "Writes VALUE (decimal, or hexadecimal with 0x; -2147483648 to 4294967295)\n"
       "through the data accessor, unchecked, as the host does.\n",
       kNone, 2, 2, cmdSet},
      {"reset", "reset FILE...", "bring files back to their initial state",
       "Resets each FILE by name through the product's file initialisation: a\n"
       "product settings file gets its factory values, a navigation or user data\n"
       "file is emptied. Other names are refused.\n",
       kNone, 1, 1000, cmdReset},
      {"export", "export DIR", "export the settings to a directory (a USB stick)",
       "Runs the product's export into DIR (made when missing): the 38 product\n"
       "files, DriveRecorder.ini with its live values and every other one with\n"
       "factory values.\n",
       kNone, 1, 1, cmdExport},
      {"import", "import DIR", "import the settings from a directory",
       "Runs the product's import from DIR: the drive recorder's last connection\n"
       "is taken over into the unit.\n",
       kNone, 1, 1, cmdImport},
      {"verify", "verify", "check the unit's settings files",
       "An offline health check: every product file and every common file the\n"
       "library writes parses, holds each of its keys with a value of the key's\n"
       "type (common files: where present), binary records have their exact size,\n"
       "and the calibration file exists. Lists each problem; exit 1 when any.\n",
       kNone, 0, 0, cmdVerify},
      {"customize check", "customize check FILE", "lint a dealer customization file",
       "Checks every line of FILE with the library's own checks and reports every\n"
       "problem as FILE:LINE: message, the message being the one the library logs.\n"
       "The library's import stops at the first problem; this goes on. Exit 1 when\n"
       "there is any problem. Without a unit, a throw-away one is used.\n"
       "\n"
       "  --lang-set-code N   language-set code to check [lang] against (default:\n"
       "                      the unit's, or 0 without a unit)\n",
       {{"lang-set-code", true}}, 1, 1, cmdCustomizeCheck},
      {"customize import", "customize import FILE", "validate and store a dealer customization file",
       "Imports FILE as the host does: it is validated and, with the caution image\n"
       "it names, stored in the unit's /Syslog/. The values take effect after the\n"
       "next initialisation ('sysdatactl customize apply' or 'boot --init').\n",
       kNone, 1, 1, cmdCustomizeImport},
      {"customize apply", "customize apply", "apply the stored customization",
       "Applies the stored customization as the host does after an initialisation.\n"
       "A one-shot customization removes itself.\n",
       kNone, 0, 0, cmdCustomizeApply},
  };
  return table;
}

const Command* findCommand(const std::string& name) {
  for (const Command& command : commands()) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

namespace {

void printOverview(std::ostream& out) {
  out << kOverview;
  Table table({"", ""});
  for (const Command& command : commands()) table.add({"  " + std::string(command.name), command.summary});
  table.print(out, false);
  out << kFooter;
}

void printCommandHelp(std::ostream& out, const Command& command) {
  std::string summary = command.summary;
  if (!summary.empty()) summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
  out << "usage: sysdatactl [--root DIR] [--json] " << command.synopsis << "\n\n"
      << summary << ".\n\n"
      << command.help;
}

bool isGlobalWithValue(const std::string& arg) { return arg == "--root"; }

// The manual page from the very texts --help prints.
int printManualPage(std::ostream& out) {
  std::ostringstream overview;
  printOverview(overview);
  std::vector<CommandHelp> helps;
  for (const Command& command : commands()) {
    std::ostringstream text;
    printCommandHelp(text, command);
    helps.push_back({&command, text.str()});
  }
  printManual(out, overview.str(), helps);
  return kExitOk;
}

}  // namespace

int run(int argc, char** argv, const Streams& io) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == kManualCommand) return printManualPage(io.out);
  if (!args.empty() && args[0] == kCompleteCommand) {
    return runCompletion(io.out, std::vector<std::string>(args.begin() + 1, args.end()));
  }

  // The command words are the first words that are neither options nor the
  // values of global options; "customize" takes a second word.
  std::vector<std::string> rest;
  std::string command;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool isWord = optionsEnded || arg.empty() || arg[0] != '-';
    if (arg == "--" && !optionsEnded) {
      optionsEnded = true;
      rest.push_back(arg);
      continue;
    }
    if (isWord && (command.empty() || command == "customize")) {
      command = command.empty() ? arg : command + " " + arg;
      continue;
    }
    rest.push_back(arg);
    if (!optionsEnded && isGlobalWithValue(arg) && i + 1 < args.size()) rest.push_back(args[++i]);
  }

  if (command.empty() || command == "help") {
    ParsedArgs parsed;
    std::string error;
    if (!parseArgs(rest, {{"version", false}}, &parsed, &error)) return usageError(io, error, "");
    if (command.empty() && parsed.has("version") && !parsed.has("help")) {
      printVersion(io.out, parsed.has("json"));
      return kExitOk;
    }
    if (command.empty() && !parsed.has("help")) {
      return usageError(io, "no command given", "");
    }
    printOverview(io.out);
    return kExitOk;
  }
  if (command == "customize") {
    ParsedArgs parsed;
    std::string error;
    parseArgs(rest, {}, &parsed, &error);
    if (parsed.has("help")) {
      io.out << "usage: sysdatactl [--root DIR] customize check|import|apply ...\n\n";
      for (const Command& c : commands()) {
        if (std::string(c.name).compare(0, 10, "customize ") == 0) {
          io.out << "  " << c.synopsis << "\n      " << c.summary << "\n";
        }
      }
      return kExitOk;
    }
    return usageError(io, "customize needs a subcommand: check, import or apply", "customize");
  }
  const Command* cmd = findCommand(command);
  if (cmd == nullptr) {
    return usageError(io, "unknown command '" + command + "'", "");
  }

  Context ctx{io, ParsedArgs(), command, false, std::string()};
  std::string error;
  if (!parseArgs(rest, cmd->options, &ctx.args, &error)) return usageError(io, error, command);
  if (ctx.args.has("help")) {
    printCommandHelp(io.out, *cmd);
    return kExitOk;
  }
  const int count = static_cast<int>(ctx.args.positionals.size());
  if (count < cmd->minArgs) return usageError(io, "missing argument: " + std::string(cmd->synopsis), command);
  if (count > cmd->maxArgs) {
    return usageError(io, "unexpected argument '" + ctx.args.positionals[static_cast<std::size_t>(cmd->maxArgs)] + "'",
                      command);
  }
  ctx.json = ctx.args.has("json");
  if (ctx.args.has("root")) {
    ctx.rootArg = ctx.args.get("root");
    if (ctx.rootArg.empty()) return usageError(io, "--root needs a directory", command);
  } else if (const char* env = std::getenv("SYSDATACTL_ROOT")) {
    ctx.rootArg = env;
  }
  return cmd->run(ctx);
}

}  // namespace sysdatactl
