// What sysdatactl tells about itself rather than about a unit: its version,
// its manual page and the words the shell completion offers.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace sysdatactl {

struct Command;

// Hidden commands, for the build and the shell; --help does not list them.
constexpr const char* kManualCommand = "__manual";
constexpr const char* kCompleteCommand = "__complete";

// "sysdatactl 1.0.0", or {"version": "1.0.0"} with json.
void printVersion(std::ostream& out, bool json);

// The --help text of one command, as the user sees it.
struct CommandHelp {
  const Command* command;
  std::string text;
};

// The manual page sysdatactl(1) in roff, made from exactly the texts --help
// prints: the overview (usage, description, then "Heading:" blocks of
// "  TERM   description" lines) and every command's own help, so the page
// cannot say something else than the tool.
void printManual(std::ostream& out, const std::string& overview, const std::vector<CommandHelp>& commands);

// The shell completion's source of words. words are the command line after
// the program name up to the word being completed, which comes last (empty
// when the cursor stands after a blank). Prints the candidates that start
// with it, one per line; "@file" or "@dir" asks the shell to complete a path
// instead.
int runCompletion(std::ostream& out, const std::vector<std::string>& words);

}  // namespace sysdatactl
