// Command-line plumbing of sysdatactl: option parsing, exit codes and the
// one-line messages every command reports its failures with.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace sysdatactl {

// 0 success, 1 failure (one line on stderr), 2 usage error.
enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// The definition of one option of a command.
struct OptionDef {
  const char* name;  // without the leading "--"
  bool takesValue;
};

// The options every command accepts.
extern const std::vector<OptionDef> kGlobalOptions;

struct ParsedArgs {
  std::vector<std::string> positionals;
  std::map<std::string, std::string> options;  // flags map to ""

  bool has(const std::string& name) const { return options.count(name) != 0; }
  std::string get(const std::string& name, const std::string& fallback = std::string()) const;
};

// Parses args against known (plus the global options): "--name value",
// "--name=value", flags, "-h" for "--help", "--" ending the options. A word
// that starts with "-" followed by a digit is a positional (a negative
// number). False with a message on an unknown option or a missing value.
bool parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& known,
               ParsedArgs* out, std::string* error);

// Strict number parsing: the whole text must be the number. Decimal, or
// hexadecimal with "0x". Range-checked.
bool parseInt64(const std::string& text, std::int64_t* value);
bool parseInRange(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value);

// Where messages go; tests of the commands need nothing else.
struct Streams {
  std::ostream& out;
  std::ostream& err;
};

// "sysdatactl: <message>" on stderr; returns kExitFailure.
int fail(const Streams& io, const std::string& message);
// "sysdatactl: <message>" plus a pointer to the help; returns kExitUsage.
int usageError(const Streams& io, const std::string& message, const std::string& command);

std::string lower(std::string text);

}  // namespace sysdatactl
