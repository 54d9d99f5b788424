#include "Meta.h"

#include <cctype>
#include <ostream>
#include <set>
#include <sstream>

#include "Commands.h"
#include "Files.h"
#include "accessor/SettingsDataAccessor.h"
#include "core/Variants.h"
#include "settings/SettingsCatalog.h"
#include "util/SysDataUtilProduct.h"

#ifndef SYSDATACTL_VERSION
#error "SYSDATACTL_VERSION must carry the project version"
#endif

namespace sysdatactl {

void printVersion(std::ostream& out, bool json) {
  if (json) {
    // The version is digits and dots: nothing to quote.
    out << "{\n  \"version\": \"" SYSDATACTL_VERSION "\"\n}\n";
  } else {
    out << "sysdatactl " SYSDATACTL_VERSION "\n";
  }
}

// ---------------------------------------------------------------------------
// The manual page.

namespace {

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Text for roff: backslashes and minus signs escaped, and nothing that roff
// would read as a request at the start of a line.
std::string roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

bool isBlank(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

std::size_t indentOf(const std::string& line) { return line.find_first_not_of(' '); }

// "Exit status:" and the like: a heading of the overview.
bool isHeading(const std::string& line) {
  return !line.empty() && std::isupper(static_cast<unsigned char>(line[0])) != 0 && line.back() == ':' &&
         line.find("  ") == std::string::npos;
}

// "  TERM   description": two blanks of indent, the term, two or more blanks,
// the description. A line of indent two without such a gap is a term alone.
bool splitItem(const std::string& line, std::string* term, std::string* description) {
  if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') return false;
  const std::size_t gap = line.find("  ", 2);
  if (gap == std::string::npos) {
    *term = line.substr(2);
    description->clear();
    return true;
  }
  *term = line.substr(2, gap - 2);
  const std::size_t start = line.find_first_not_of(' ', gap);
  *description = start == std::string::npos ? std::string() : line.substr(start);
  return true;
}

// A block of help text: paragraphs of plain lines, and lists of items whose
// description may go on over lines of deeper indent.
void printBlock(std::ostream& out, const std::vector<std::string>& lines) {
  bool inItem = false;
  bool paragraphOpen = false;
  for (const std::string& line : lines) {
    if (isBlank(line)) {
      paragraphOpen = false;
      inItem = false;
      continue;
    }
    std::string term;
    std::string description;
    if (splitItem(line, &term, &description)) {
      out << ".TP\n\\fB" << roff(term) << "\\fR\n";
      if (!description.empty()) out << roff(description) << "\n";
      inItem = true;
      paragraphOpen = false;
      continue;
    }
    const std::size_t indent = indentOf(line);
    if (inItem && indent > 2) {
      out << roff(line.substr(indent)) << "\n";
      continue;
    }
    if (!paragraphOpen) {
      out << ".PP\n";
      paragraphOpen = true;
    }
    inItem = false;
    out << roff(line.substr(indent)) << "\n";
  }
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void printManual(std::ostream& out, const std::string& overview, const std::vector<CommandHelp>& commands) {
  const std::vector<std::string> lines = splitLines(overview);
  const std::string usagePrefix = "usage: ";
  std::string usage;
  std::vector<std::string> description;
  // The overview's "Heading:" blocks, in order.
  std::vector<std::pair<std::string, std::vector<std::string>>> sections;
  for (const std::string& line : lines) {
    if (usage.empty() && line.compare(0, usagePrefix.size(), usagePrefix) == 0) {
      usage = line.substr(usagePrefix.size());
    } else if (isHeading(line)) {
      sections.push_back({line.substr(0, line.size() - 1), {}});
    } else if (sections.empty()) {
      description.push_back(line);
    } else {
      sections.back().second.push_back(line);
    }
  }

  // The whatis line: the description's first sentence, as man -k shows it.
  std::string whatis;
  for (const std::string& line : description) {
    if (isBlank(line)) {
      if (!whatis.empty()) break;
      continue;
    }
    whatis += (whatis.empty() ? "" : " ") + line.substr(indentOf(line));
    const std::size_t stop = whatis.find(". ");
    if (stop != std::string::npos) {
      whatis.erase(stop + 1);
      break;
    }
  }
  if (!whatis.empty() && whatis.back() == '.') whatis.pop_back();
  if (!whatis.empty()) whatis[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(whatis[0])));

  out << ".TH SYSDATACTL 1 \"\" \"sysdatactl " SYSDATACTL_VERSION "\" \"User Commands\"\n"
      << ".SH NAME\n"
      << "sysdatactl \\- " << roff(whatis) << "\n"
      << ".SH SYNOPSIS\n";
  const std::string program = "sysdatactl ";
  const std::string usageArgs = usage.compare(0, program.size(), program) == 0 ? usage.substr(program.size()) : usage;
  out << "\\fBsysdatactl\\fR " << roff(usageArgs) << "\n.br\n"
      << "\\fBsysdatactl\\fR \\-\\-help | \\-\\-version\n"
      << ".SH DESCRIPTION\n";
  printBlock(out, description);

  for (const auto& section : sections) {
    out << ".SH " << upper(section.first) << "\n";
    if (section.first != "Commands") {
      printBlock(out, section.second);
      continue;
    }
    // The full help of each command in place of the one-line list.
    for (const CommandHelp& help : commands) {
      out << ".SS \"" << roff(help.command->synopsis) << "\"\n";
      std::vector<std::string> body = splitLines(help.text);
      if (!body.empty() && body[0].compare(0, usagePrefix.size(), usagePrefix) == 0) body.erase(body.begin());
      printBlock(out, body);
    }
  }
}

// ---------------------------------------------------------------------------
// Completion.

namespace {

enum class Arg { None, Variant, SettingsFile, ResetName, DataKey, Directory, Path };

struct CommandArgs {
  const char* command;
  std::vector<Arg> args;  // the last one repeats up to the command's maximum
};

// What each positional argument of a command is.
const std::vector<CommandArgs>& commandArgs() {
  static const std::vector<CommandArgs> table = {
      {"create", {Arg::Variant}},
      {"show", {Arg::SettingsFile}},
      {"get", {Arg::DataKey}},
      {"set", {Arg::DataKey, Arg::None}},
      {"reset", {Arg::ResetName}},
      {"export", {Arg::Directory}},
      {"import", {Arg::Directory}},
      {"customize check", {Arg::Path}},
      {"customize import", {Arg::Path}},
  };
  return table;
}

Arg argumentAt(const Command& command, int index) {
  if (index >= command.maxArgs) return Arg::None;
  for (const CommandArgs& entry : commandArgs()) {
    if (entry.command != std::string(command.name) || entry.args.empty()) continue;
    const std::size_t at = static_cast<std::size_t>(index);
    return at < entry.args.size() ? entry.args[at] : entry.args.back();
  }
  return Arg::None;
}

const OptionDef* findOption(const Command* command, const std::string& name) {
  if (command != nullptr) {
    for (const OptionDef& option : command->options) {
      if (name == option.name) return &option;
    }
  }
  for (const OptionDef& option : kGlobalOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

bool looksNegativeNumber(const std::string& word) {
  return word.size() >= 2 && word[0] == '-' && std::isdigit(static_cast<unsigned char>(word[1])) != 0;
}

class Candidates {
 public:
  Candidates(std::ostream& out, std::string prefix) : out_(out), prefix_(std::move(prefix)) {}
  void add(const std::string& word) {
    if (word.compare(0, prefix_.size(), prefix_) == 0 && seen_.insert(word).second) out_ << word << "\n";
  }
  const std::string& prefix() const { return prefix_; }

 private:
  std::ostream& out_;
  std::string prefix_;
  std::set<std::string> seen_;
};

void addDataKeys(Candidates& candidates) {
  for (int i = 0; i < settings_datakey::DATAKEY_MAX; ++i) candidates.add(std::to_string(i));
  for (int i = 0; i < settings_datakey::DATAKEY_MAX; ++i) {
    const auto id = static_cast<settings_datakey::DataKeyID>(i);
    std::string name = settings_datakey::name(id);
    if (name.compare(0, 8, "DATAKEY_") == 0) name.erase(0, 8);
    std::string dashed = lower(name);
    for (char& c : dashed) c = c == '_' ? '-' : c;
    candidates.add(dashed);
    // The upper-case names only once the user has started one.
    if (!candidates.prefix().empty()) candidates.add(name);
    SettingsDataAccessor::KeyInfo info;
    if (SettingsDataAccessor::describe(id, true, &info) && info.key != nullptr) candidates.add(info.key);
  }
}

void addArgument(Candidates& candidates, std::ostream& out, Arg arg) {
  switch (arg) {
    case Arg::None:
      return;
    case Arg::Variant:
      for (std::size_t i = 0; i < sysdata::kVariantCount; ++i) candidates.add(sysdata::variants()[i].modelName);
      return;
    case Arg::SettingsFile:
      for (const KnownFile& file : knownFiles()) candidates.add(file.name);
      return;
    case Arg::ResetName:
      for (std::size_t i = 0; i < sysdata::kProductFileCount; ++i) candidates.add(sysdata::productFiles()[i].fileName);
      for (std::size_t i = 0; i < sysdata::kNavigationFileCount; ++i) candidates.add(sysdata::navigationFileNames()[i]);
      return;
    case Arg::DataKey:
      addDataKeys(candidates);
      return;
    case Arg::Directory:
      out << "@dir\n";
      return;
    case Arg::Path:
      out << "@file\n";
      return;
  }
}

void addOptionValue(Candidates& candidates, std::ostream& out, const std::string& option) {
  if (option == "root") {
    out << "@dir\n";
  } else if (option == "model" || option == "destination") {
    for (std::size_t i = 0; i < sysdata::kVariantCount; ++i) {
      const sysdata::Variant& v = sysdata::variants()[i];
      candidates.add(std::to_string(option == "model" ? static_cast<int>(v.model) : static_cast<int>(v.destination)));
    }
  }
}

}  // namespace

int runCompletion(std::ostream& out, const std::vector<std::string>& words) {
  const std::string current = words.empty() ? std::string() : words.back();
  std::string command;
  const Command* cmd = nullptr;
  int positional = 0;
  bool optionsEnded = false;
  std::string pendingOption;  // an option still waiting for its value
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    const std::string& word = words[i];
    if (!pendingOption.empty()) {
      pendingOption.clear();
      continue;
    }
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && word.size() > 1 && word[0] == '-' && !looksNegativeNumber(word)) {
      if (word.compare(0, 2, "--") != 0 || word.find('=') != std::string::npos) continue;
      const OptionDef* option = findOption(cmd, word.substr(2));
      if (option != nullptr && option->takesValue) pendingOption = option->name;
      continue;
    }
    if (command.empty() || command == "customize") {
      command = command.empty() ? word : command + " " + word;
      cmd = findCommand(command);
      continue;
    }
    ++positional;
  }

  // "--name=VALUE": the value of the option, by what comes after "=".
  const std::size_t eq = current.find('=');
  if (!optionsEnded && current.compare(0, 2, "--") == 0 && eq != std::string::npos) {
    const OptionDef* option = findOption(cmd, current.substr(2, eq - 2));
    Candidates values(out, current.substr(eq + 1));
    if (option != nullptr && option->takesValue) addOptionValue(values, out, option->name);
    return kExitOk;
  }
  Candidates candidates(out, current);
  if (!pendingOption.empty()) {
    addOptionValue(candidates, out, pendingOption);
    return kExitOk;
  }
  if (!optionsEnded && !current.empty() && current[0] == '-') {
    if (cmd != nullptr) {
      for (const OptionDef& option : cmd->options) candidates.add(std::string("--") + option.name);
    }
    for (const OptionDef& option : kGlobalOptions) candidates.add(std::string("--") + option.name);
    if (command.empty()) candidates.add("--version");
    return kExitOk;
  }
  if (command.empty() || (command == "customize" && cmd == nullptr)) {
    const std::string group = command.empty() ? "" : command + " ";
    for (const Command& c : commands()) {
      const std::string name = c.name;
      if (name.compare(0, group.size(), group) != 0) continue;
      const std::string rest = name.substr(group.size());
      candidates.add(rest.substr(0, rest.find(' ')));
    }
    if (command.empty()) candidates.add("help");
    return kExitOk;
  }
  if (cmd != nullptr) addArgument(candidates, out, argumentAt(*cmd, positional));
  return kExitOk;
}

}  // namespace sysdatactl
