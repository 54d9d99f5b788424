// sysdatactl: bad input gets a clear one-line message, the right exit status
// and writes nothing.
#include <cctype>

#include "tests/tool/ToolHarness.h"

namespace tooltest {
namespace {

enum class Unit { None, Created, Booted };

struct ErrorRow {
  const char* what;
  Unit unit;
  std::vector<std::string> args;  // "@ROOT" and "@SCRATCH" are replaced
  bool withRoot;
  int exitCode;
  const char* message;  // part of the one line on stderr
};

void PrintTo(const ErrorRow& row, std::ostream* os) { *os << row.what; }

class ToolErrorTest : public ToolTest, public ::testing::WithParamInterface<ErrorRow> {};

std::string expand(const std::string& arg, const std::string& root, const std::string& scratch) {
  if (arg.compare(0, 5, "@ROOT") == 0) return root + arg.substr(5);
  if (arg.compare(0, 8, "@SCRATCH") == 0) return scratch + arg.substr(8);
  return arg;
}

TEST_P(ToolErrorTest, FailsCleanly) {
  const ErrorRow& row = GetParam();
  if (row.unit != Unit::None) {
    ASSERT_EQ(tool({"create", "VH-C306"}).exitCode, 0);
  }
  if (row.unit == Unit::Booted) {
    ASSERT_EQ(tool({"boot"}).exitCode, 0);
  }
  makeDirs(scratch_ + "/adir");
  writeFile(scratch_ + "/dealer.txt", "DOP_Customize\n[demo]1\n");
  const auto before = snapshot(scratch_);

  std::vector<std::string> args;
  for (const std::string& arg : row.args) args.push_back(expand(arg, root_, scratch_));
  const RunResult result = row.withRoot ? tool(args) : runTool(args);
  EXPECT_EQ(result.exitCode, row.exitCode) << result;
  EXPECT_TRUE(contains(result.err, row.message)) << result;
  EXPECT_TRUE(result.err.compare(0, 12, "sysdatactl: ") == 0) << result;
  // A failure is one line; a usage error adds the pointer to the help.
  EXPECT_EQ(countLines(result.err), row.exitCode == 2 ? 2 : 1) << result;
  EXPECT_EQ(result.out, "") << result;
  EXPECT_TRUE(before == snapshot(scratch_)) << "the command wrote something";
}

const ErrorRow kErrorRows[] = {
    {"no command", Unit::None, {}, false, 2, "no command given"},
    {"unknown command", Unit::None, {"frobnicate"}, false, 2, "unknown command 'frobnicate'"},
    {"unknown option", Unit::Created, {"get", "BeepVol", "--colour"}, true, 2, "unknown option '--colour'"},
    {"option without its value", Unit::None, {"get", "BeepVol", "--root"}, false, 2, "needs a value"},
    {"no root", Unit::None, {"get", "BeepVol"}, false, 2, "no unit given"},
    {"root that does not exist", Unit::None, {"--root", "@SCRATCH/nowhere", "get", "BeepVol"}, false, 1,
     "the directory does not exist"},
    {"directory that is no unit", Unit::None, {"--root", "@SCRATCH/adir", "boot"}, false, 1, "is not a unit"},
    {"unknown variant", Unit::None, {"create", "VH-Z999"}, true, 1, "unknown variant 'VH-Z999'"},
    {"variant name of two destinations", Unit::None, {"create", "VH-B205"}, true, 1,
     "VH-B205 is sold for destinations 8 and 13: add --destination"},
    {"pair that is no variant", Unit::None, {"create", "--model", "6", "--destination", "2"}, true, 1,
     "model 6, destination 2 is no variant"},
    {"model that is no number", Unit::None, {"create", "--model", "six", "--destination", "5"}, true, 2,
     "--model must be a number"},
    {"create without variant", Unit::None, {"create"}, true, 2, "give a variant name"},
    {"unknown data key", Unit::Booted, {"get", "NoSuchKey"}, true, 1, "unknown data key 'NoSuchKey'"},
    {"data key out of range", Unit::Booted, {"set", "31", "1"}, true, 1, "unknown data key '31'"},
    {"value that is no number", Unit::Booted, {"set", "BeepVol", "loud"}, true, 2, "VALUE must be a number"},
    {"value out of range", Unit::Booted, {"set", "BeepVol", "4294967296"}, true, 2, "VALUE must be a number"},
    {"set without value", Unit::Booted, {"set", "BeepVol"}, true, 2, "missing argument"},
    {"too many arguments", Unit::Booted, {"get", "BeepVol", "VoiceLang"}, true, 2, "unexpected argument 'VoiceLang'"},
    {"unknown settings file", Unit::Booted, {"show", "Nope.ini"}, true, 1, "unknown settings file 'Nope.ini'"},
    {"reset of a file the product does not reset", Unit::Booted, {"reset", "Sxm.ini", "Settings.ini"}, true, 1,
     "unknown file 'Settings.ini'"},
    {"reset by a name of another case", Unit::Booted, {"reset", "sxm.ini"}, true, 1, "unknown file 'sxm.ini'"},
    {"import from a missing directory", Unit::Booted, {"import", "@SCRATCH/nostick"}, true, 1,
     "no directory '"},
    {"export onto a file", Unit::Booted, {"export", "@SCRATCH/dealer.txt"}, true, 1, "is not a directory"},
    {"missing customization file", Unit::Booted, {"customize", "import", "@SCRATCH/none.txt"}, true, 1,
     "cannot read customization file"},
    {"customization file that is a directory", Unit::Booted, {"customize", "import", "@SCRATCH/adir"}, true, 1,
     "not a regular file"},
    {"check of a missing file", Unit::None, {"customize", "check", "@SCRATCH/none.txt"}, false, 1,
     "cannot read customization file"},
    {"customize without subcommand", Unit::None, {"customize"}, false, 2, "needs a subcommand"},
    {"customize import into no unit", Unit::None, {"--root", "@SCRATCH/nowhere", "customize", "import",
                                                    "@SCRATCH/dealer.txt"},
     false, 1, "the directory does not exist"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ToolErrorTest, ::testing::ValuesIn(kErrorRows),
                         [](const ::testing::TestParamInfo<ErrorRow>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != '\0'; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) != 0 ? *p : '_';
                           }
                           return name;
                         });

TEST_F(ToolTest, RootFromTheEnvironment) {
  const RunResult created = runTool({"create", "VH-A102"}, {{"SYSDATACTL_ROOT", root_}});
  ASSERT_EQ(created.exitCode, 0) << created;
  const RunResult info = runTool({"info", "--json"}, {{"SYSDATACTL_ROOT", root_}});
  ASSERT_EQ(info.exitCode, 0) << info;
  EXPECT_TRUE(contains(info.out, "\"variant\": \"VH-A102\"")) << info;
}

TEST_F(ToolTest, ABrokenUnitConfNamesItsLine) {
  ASSERT_EQ(tool({"create", "VH-C306"}).exitCode, 0);
  writeFile(root_ + "/unit.conf", "model=6\ndestination=5\ncamera_hd=300\n");
  const RunResult result = tool({"boot"});
  EXPECT_EQ(result.exitCode, 1) << result;
  EXPECT_TRUE(contains(result.err, "unit.conf: line 3: camera_hd must be a number from 0 to 255")) << result;
}

}  // namespace
}  // namespace tooltest
