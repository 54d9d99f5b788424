// The subcommands of sysdatactl and what they share.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Cli.h"
#include "Host.h"
#include "Output.h"

namespace sysdatactl {

struct Context {
  Streams io;
  ParsedArgs args;
  std::string command;  // "get", "customize check"
  bool json = false;
  // --root, else SYSDATACTL_ROOT; empty when neither is given.
  std::string rootArg;
};

using CommandFn = int (*)(Context&);

struct Command {
  const char* name;      // "get", "customize check"
  const char* synopsis;  // "get KEY"
  const char* summary;   // one line for the command list
  const char* help;      // the rest of the command's --help
  std::vector<OptionDef> options;
  int minArgs;
  int maxArgs;
  CommandFn run;
};

const std::vector<Command>& commands();
const Command* findCommand(const std::string& name);

// Runs one command line (argv[0] is the program's name), its messages to
// io. Exceptions pass (main() turns them into a status and a reason).
int run(int argc, char** argv, const Streams& io);

// Every wait of a command for a lock (the unit's, a record's, the claim of
// its segment namespace) ends within this, in total: a stopped process that
// holds one makes the command fail, never hang.
constexpr long long kCommandWaitBudgetMs = 10000;
void setWaitBudget();

// Loads the unit named by --root / SYSDATACTL_ROOT. On failure prints the
// message and sets *exitCode (2 without a root, 1 for a missing or invalid
// unit).
bool openUnit(Context& ctx, Unit* unit, int* exitCode);
// Powers the unit on; on failure prints the message and returns null.
std::unique_ptr<HostSession> powerOn(Context& ctx, const Unit& unit);

void printJson(Context& ctx, const Json& json);

// The commands.
int cmdCreate(Context& ctx);
int cmdBoot(Context& ctx);
int cmdInfo(Context& ctx);
int cmdVariants(Context& ctx);
int cmdKeys(Context& ctx);
int cmdFiles(Context& ctx);
int cmdDefaults(Context& ctx);
int cmdShow(Context& ctx);
int cmdDump(Context& ctx);
int cmdGet(Context& ctx);
int cmdSet(Context& ctx);
int cmdReset(Context& ctx);
int cmdExport(Context& ctx);
int cmdImport(Context& ctx);
int cmdVerify(Context& ctx);
int cmdCustomizeCheck(Context& ctx);
int cmdCustomizeImport(Context& ctx);
int cmdCustomizeApply(Context& ctx);

}  // namespace sysdatactl
