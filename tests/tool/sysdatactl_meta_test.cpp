// sysdatactl about itself: --version, and the manual page that must say what
// --help says.
#include <cctype>
#include <sstream>

#include "tests/tool/ToolHarness.h"

#ifndef SYSDATA_PROJECT_VERSION
#error "SYSDATA_PROJECT_VERSION must carry the project version"
#endif

namespace tooltest {
namespace {

struct VersionRow {
  const char* what;
  std::vector<std::string> args;
  int exitCode;
  std::string out;  // exactly; "@HELP" for the overview
};

TEST(ToolVersion, VersionAndItsJson) {
  const std::string version = SYSDATA_PROJECT_VERSION;
  const VersionRow rows[] = {
      {"plain", {"--version"}, 0, "sysdatactl " + version + "\n"},
      {"json after", {"--version", "--json"}, 0, "{\n  \"version\": \"" + version + "\"\n}\n"},
      {"json before", {"--json", "--version"}, 0, "{\n  \"version\": \"" + version + "\"\n}\n"},
      {"with a root", {"--root", "/nonexistent", "--version"}, 0, "sysdatactl " + version + "\n"},
      {"help wins", {"--version", "--help"}, 0, "@HELP"},
      {"not an option of a command", {"get", "--version"}, 2, ""},
      {"takes no value", {"--version=2"}, 2, ""},
  };
  for (const VersionRow& row : rows) {
    SCOPED_TRACE(row.what);
    const RunResult result = runTool(row.args);
    EXPECT_EQ(result.exitCode, row.exitCode) << result;
    if (row.out == "@HELP") {
      EXPECT_EQ(result.out.compare(0, 7, "usage: "), 0) << result;
    } else {
      EXPECT_EQ(result.out, row.out) << result;
    }
    if (row.exitCode == 0) {
      EXPECT_EQ(result.err, "") << result;
    }
  }
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) out.push_back(line);
  return out;
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string word;
  while (in >> word) out.push_back(word);
  return out;
}

std::string trim(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// How the manual page writes a text: minus signs and backslashes escaped.
std::string roff(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '-' ? std::string("\\-") : c == '\\' ? std::string("\\e") : std::string(1, c);
  return out;
}

// The pieces of a help line: a "  TERM   description" line gives the term
// and the description, any other line its text.
std::vector<std::string> pieces(const std::string& line) {
  const std::string text = trim(line);
  if (text.empty()) return {};
  const std::size_t gap = text.find("  ");
  if (gap == std::string::npos) return {text};
  return {text.substr(0, gap), trim(text.substr(gap))};
}

class ToolManualTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    const RunResult manual = runTool({"__manual"});
    ASSERT_EQ(manual.exitCode, 0) << manual;
    manual_ = manual.out;
    const RunResult overview = runTool({"--help"});
    ASSERT_EQ(overview.exitCode, 0) << overview;
    overview_ = overview.out;
    // The command names, from the overview's command list.
    bool inCommands = false;
    for (const std::string& line : lines(overview_)) {
      if (line == "Commands:") {
        inCommands = true;
      } else if (inCommands && trim(line).empty()) {
        inCommands = false;
      } else if (inCommands) {
        commands_.push_back(pieces(line)[0]);
      }
    }
    ASSERT_FALSE(commands_.empty()) << overview;
  }

  std::string manual_;
  std::string overview_;
  std::vector<std::string> commands_;
};

TEST_F(ToolManualTest, HasTheSectionsOfAManualPage) {
  for (const char* section : {".TH SYSDATACTL 1 ", "\n.SH NAME\nsysdatactl \\- ", "\n.SH SYNOPSIS\n",
                              "\n.SH DESCRIPTION\n", "\n.SH COMMANDS\n", "\n.SH OPTIONS\n", "\n.SH EXIT STATUS\n",
                              "\n.SH ENVIRONMENT\n", "\n.SH FILES\n"}) {
    EXPECT_TRUE(contains(manual_, section)) << section << "\n" << manual_;
  }
  EXPECT_TRUE(contains(manual_, "\"sysdatactl " SYSDATA_PROJECT_VERSION "\"")) << manual_;
  // Nothing roff would take for a request or an escape of its own.
  for (const std::string& line : lines(manual_)) {
    SCOPED_TRACE(line);
    if (line.empty()) continue;
    if (line[0] == '.') {
      EXPECT_TRUE(line.compare(0, 4, ".TH ") == 0 || line.compare(0, 4, ".SH ") == 0 ||
                  line.compare(0, 4, ".SS ") == 0 || line == ".PP" || line == ".TP" || line == ".br");
    }
    EXPECT_NE(line[0], '\'');
  }
}

// Every line of every --help text is in the page, so the two cannot drift.
TEST_F(ToolManualTest, SaysEverythingTheHelpSays) {
  std::vector<std::pair<std::string, std::string>> helps = {{"overview", overview_}};
  for (const std::string& command : commands_) {
    std::vector<std::string> args = words(command);
    args.push_back("--help");
    const RunResult help = runTool(args);
    ASSERT_EQ(help.exitCode, 0) << command << "\n" << help;
    helps.push_back({command, help.out});
  }
  for (const auto& help : helps) {
    SCOPED_TRACE(help.first);
    bool inCommands = false;
    for (const std::string& line : lines(help.second)) {
      if (line.compare(0, 7, "usage: ") == 0) {
        // The command's synopsis heads its part of the page.
        const std::string prefix = "usage: sysdatactl [--root DIR] [--json] ";
        if (help.first != "overview" && line.compare(0, prefix.size(), prefix) == 0) {
          EXPECT_TRUE(contains(manual_, ".SS \"" + roff(line.substr(prefix.size())) + "\"\n")) << line;
        }
        continue;
      }
      // The overview's one-line command list is the commands' own parts.
      if (line == "Commands:") inCommands = true;
      if (trim(line).empty()) inCommands = false;
      if (inCommands) continue;
      // A heading is a section of the page.
      if (line.back() == ':' && line[0] != ' ' && !contains(line, "  ")) {
        std::string section = line.substr(0, line.size() - 1);
        for (char& c : section) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_TRUE(contains(manual_, "\n.SH " + section + "\n")) << line;
        continue;
      }
      for (const std::string& piece : pieces(line)) {
        EXPECT_TRUE(contains(manual_, roff(piece))) << "'" << piece << "' of: " << line;
      }
    }
  }
}

// An option in the command table that the help text forgot would be missing
// from the page as well.
TEST_F(ToolManualTest, DocumentsEveryOptionOfEveryCommand) {
  std::vector<std::string> lists = {""};
  for (const std::string& command : commands_) lists.push_back(command);
  for (const std::string& command : lists) {
    SCOPED_TRACE(command.empty() ? "global" : command);
    std::vector<std::string> args = {"__complete"};
    for (const std::string& word : words(command)) args.push_back(word);
    args.push_back("--");
    const RunResult options = runTool(args);
    ASSERT_EQ(options.exitCode, 0) << options;
    ASSERT_FALSE(options.out.empty()) << options;
    for (const std::string& option : lines(options.out)) {
      EXPECT_TRUE(contains(manual_, "\\fB" + roff(option)) || contains(manual_, ", " + roff(option)))
          << option;
    }
  }
}

}  // namespace
}  // namespace tooltest
