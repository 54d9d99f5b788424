#include "Cli.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ostream>

namespace sysdatactl {

const std::vector<OptionDef> kGlobalOptions = {{"root", true}, {"json", false}, {"help", false}};

std::string ParsedArgs::get(const std::string& name, const std::string& fallback) const {
  auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

namespace {

const OptionDef* findOptionDef(const std::vector<OptionDef>& known, const std::string& name) {
  for (const OptionDef& option : known) {
    if (name == option.name) return &option;
  }
  for (const OptionDef& option : kGlobalOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

bool looksNegativeNumber(const std::string& arg) {
  return arg.size() >= 2 && arg[0] == '-' && std::isdigit(static_cast<unsigned char>(arg[1])) != 0;
}

}  // namespace

bool parseArgs(const std::vector<std::string>& args, const std::vector<OptionDef>& known,
               ParsedArgs* out, std::string* error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-" || looksNegativeNumber(arg)) {
      out->positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h") {
      out->options["help"] = "";
      continue;
    }
    if (arg.compare(0, 2, "--") != 0) {
      *error = "unknown option '" + arg + "'";
      return false;
    }
    std::string name = arg.substr(2);
    std::string value;
    bool inlineValue = false;
    const std::size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    const OptionDef* option = findOptionDef(known, name);
    if (option == nullptr) {
      *error = "unknown option '--" + name + "'";
      return false;
    }
    if (option->takesValue) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          *error = "option '--" + name + "' needs a value";
          return false;
        }
        value = args[++i];
      }
    } else if (inlineValue) {
      *error = "option '--" + name + "' takes no value";
      return false;
    }
    out->options[name] = value;
  }
  return true;
}

bool parseInt64(const std::string& text, std::int64_t* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) != 0) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const bool hex = text.size() > 2 && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0);
  const long long parsed = std::strtoll(begin, &end, hex ? 16 : 10);
  if (errno != 0 || end == begin || *end != '\0') return false;
  *value = parsed;
  return true;
}

bool parseInRange(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t* value) {
  std::int64_t parsed = 0;
  if (!parseInt64(text, &parsed) || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

int fail(const Streams& io, const std::string& message) {
  io.err << "sysdatactl: " << message << "\n";
  return kExitFailure;
}

int usageError(const Streams& io, const std::string& message, const std::string& command) {
  io.err << "sysdatactl: " << message << "\n";
  io.err << "Try 'sysdatactl " << (command.empty() ? std::string() : command + " ") << "--help'.\n";
  return kExitUsage;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace sysdatactl
