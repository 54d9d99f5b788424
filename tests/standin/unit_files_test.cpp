// The stand-in's unit files by host path (standin/UnitFiles.h), the one way
// a tool that plays the host reaches a unit's files: a link planted in the
// unit, absolute or climbing with "..", never leads a stat, an open, a
// listing, a removal, a creation check or a replacement out of the unit; the
// creation check creates nothing; the power-on sweep removes what dead
// writers left and nothing else, never following a link.
//
// Every test runs through the kernel's in-root resolution and through the
// component walk that replaces it where the kernel lacks it.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/TqSimulation.h"
#include "standin/UnitFiles.h"
#include "standin/testing/PathResolution.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnit;
using sysdata_test::fileExists;
using sysdata_test::makeDirs;
using sysdata_test::readFile;
using sysdata_test::removeTree;
using sysdata_test::writeFile;

enum class Resolution { kKernel, kWalk };

std::string resolutionName(const ::testing::TestParamInfo<Resolution>& info) {
  return info.param == Resolution::kKernel ? "Kernel" : "Walk";
}

// What a directory holds, with the directory's own times: a file made and
// removed again shows.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> out;
  struct stat self;
  if (::lstat(dir.c_str(), &self) == 0) {
    out["."] = std::to_string(self.st_mtim.tv_sec) + "." + std::to_string(self.st_mtim.tv_nsec);
  }
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      struct stat st;
      const std::string path = dir + "/" + name;
      if (::lstat(path.c_str(), &st) != 0) continue;
      std::string what = std::to_string(st.st_mode) + ":";
      if (S_ISREG(st.st_mode)) what += readFile(path);
      out[name] = what;
    }
    ::closedir(d);
  }
  return out;
}

pid_t deadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

std::string temporaryName(const std::string& name, pid_t pid, const std::string& number) {
  return "." + name + "." + std::to_string(pid) + "." + number + ".tmp";
}

class UnitFilesTest : public ::testing::TestWithParam<Resolution> {
 public:  // table rows use the helpers
  void SetUp() override {
    standin::testing::ForceComponentWalk(GetParam() == Resolution::kWalk);
    outside_ = unit.root() + ".outside";
    makeDirs(outside_);
    writeFile(outside_ + "/victim.txt", "precious\n");
    makeDirs(unit.disk("/data/save"));
    makeDirs(unit.disk("/Syslog"));
  }
  void TearDown() override {
    standin::testing::ForceComponentWalk(false);
    removeTree(outside_);
  }
  // Replaces the unit's directory at hostPath with a link to target.
  void link(const std::string& hostPath, const std::string& target) const {
    removeTree(unit.disk(hostPath));
    ASSERT_EQ(::symlink(target.c_str(), unit.disk(hostPath).c_str()), 0) << hostPath;
  }

  SimUnit unit;
  std::string outside_;
};

// ---- no way out ----

struct EscapeRow {
  const char* name;
  const char* linkAt;     // the unit's directory replaced by a link out
  bool climbing;          // the link climbs with ".." instead of being absolute
  std::function<int()> act;
  int expectedErrno;      // the call fails with it (0: either way; only the outside matters)
};

const std::vector<EscapeRow>& escapeRows() {
  static const std::vector<EscapeRow> rows = {
      {"StatAbsolute", "/Syslog", false,
       [] {
         struct stat st;
         return standin::unit::Stat("/Syslog/victim.txt", &st);
       },
       ENOENT},
      {"LstatClimbing", "/Syslog", true,
       [] {
         struct stat st;
         return standin::unit::Lstat("/Syslog/victim.txt", &st);
       },
       ENOENT},
      {"OpenForReading", "/data/save", false,
       [] { return standin::unit::Open("/data/save/victim.txt", O_RDONLY | O_NONBLOCK); }, ENOENT},
      {"OpenToCreate", "/data/save", true,
       [] { return standin::unit::Open("/data/save/new.txt", O_WRONLY | O_CREAT | O_EXCL, 0600); }, 0},
      {"List", "/Syslog", false,
       [] {
         std::vector<std::string> names;
         const int rc = standin::unit::List("/Syslog", &names);
         return rc == 0 && !names.empty() ? 1 : rc;
       },
       0},
      {"Unlink", "/Syslog", false, [] { return standin::unit::Unlink("/Syslog/victim.txt"); }, ENOENT},
      {"Mkdir", "/Syslog", true, [] { return standin::unit::Mkdir("/Syslog/made", 0755); }, 0},
      {"ReplaceFile", "/data/save", false,
       [] { return standin::unit::ReplaceFile("/data/save/victim.txt", "overwritten\n", 0644); }, 0},
      {"CheckCreatable", "/Syslog", false, [] { return standin::unit::CheckCreatable("/Syslog"); }, ENOENT},
      {"DirectoryId", "/Syslog", true,
       [] {
         unsigned long long dev = 0;
         unsigned long long ino = 0;
         return standin::unit::DirectoryId("/Syslog", &dev, &ino);
       },
       ENOENT},
  };
  return rows;
}

TEST_P(UnitFilesTest, NoCallLeavesTheUnitThroughALink) {
  const std::string deep = "../../../../../../../../../../../../../../../..";
  for (const EscapeRow& row : escapeRows()) {
    SCOPED_TRACE(row.name);
    link(row.linkAt, row.climbing ? deep + outside_ : outside_);
    const auto before = snapshot(outside_);
    errno = 0;
    const int rc = row.act();
    const int error = errno;
    if (rc >= 0 && row.expectedErrno == 0) {
      // What succeeded happened within the unit (an absolute or climbing
      // link starts again at its root).
      if (rc > 2) ::close(rc);
    } else if (row.expectedErrno != 0) {
      EXPECT_EQ(rc, -1);
      EXPECT_EQ(error, row.expectedErrno) << std::strerror(error);
    }
    EXPECT_EQ(snapshot(outside_), before) << "changed outside the unit";
    EXPECT_EQ(readFile(outside_ + "/victim.txt"), "precious\n");
    removeTree(unit.disk(row.linkAt));
    makeDirs(unit.disk(row.linkAt));
  }
}

TEST_P(UnitFilesTest, WithoutARootNothingIsTakenAsAPathOfThisMachine) {
  const std::string root = TqSimRoot();
  TqSimSetRoot("");
  struct stat st;
  errno = 0;
  const int rc = standin::unit::Stat(outside_ + "/victim.txt", &st);
  const int error = errno;
  const int replaced = standin::unit::ReplaceFile(outside_ + "/victim.txt", "overwritten\n", 0644);
  TqSimSetRoot(root.c_str());
  EXPECT_EQ(rc, -1);
  EXPECT_EQ(error, ENXIO);
  EXPECT_EQ(replaced, -1);
  EXPECT_EQ(readFile(outside_ + "/victim.txt"), "precious\n");
}

TEST_P(UnitFilesTest, TheCreationCheckCreatesNothing) {
  const auto before = snapshot(unit.disk("/Syslog"));
  EXPECT_EQ(standin::unit::CheckCreatable("/Syslog"), 0) << std::strerror(errno);
  EXPECT_EQ(snapshot(unit.disk("/Syslog")), before);
  errno = 0;
  EXPECT_EQ(standin::unit::CheckCreatable("/nowhere"), -1);
  EXPECT_EQ(errno, ENOENT);
  writeFile(unit.disk("/Syslog/file.txt"), "x");
  errno = 0;
  EXPECT_EQ(standin::unit::CheckCreatable("/Syslog/file.txt"), -1);
  EXPECT_EQ(errno, ENOTDIR);
  if (::geteuid() != 0) {
    // Root may write anywhere: the kernel says so too.
    ::chmod(unit.disk("/Syslog").c_str(), 0555);
    errno = 0;
    EXPECT_EQ(standin::unit::CheckCreatable("/Syslog"), -1);
    EXPECT_EQ(errno, EACCES);
    ::chmod(unit.disk("/Syslog").c_str(), 0755);
  }
}

TEST_P(UnitFilesTest, ReplaceFileWritesWholeAndLeavesNoTemporaryFile) {
  ASSERT_EQ(standin::unit::ReplaceFile("/unit.state", "boots=1\n", 0644), 0) << std::strerror(errno);
  ASSERT_EQ(standin::unit::ReplaceFile("/unit.state", "boots=2\n", 0644), 0) << std::strerror(errno);
  EXPECT_EQ(readFile(unit.disk("/unit.state")), "boots=2\n");
  std::vector<std::string> names;
  ASSERT_EQ(standin::unit::List("/", &names), 0);
  for (const std::string& name : names) EXPECT_FALSE(standin::unit::IsTemporaryName(name)) << name;
}

// ---- the power-on sweep ----

TEST_P(UnitFilesTest, TheSweepRemovesDeadWritersFilesOnlyAndFollowsNoLink) {
  const pid_t dead = deadPid();
  const std::vector<std::string> gone = {
      "/Syslog/" + temporaryName("dop_startup_caution_img.png", dead, "123"),
      "/data/save/" + temporaryName("Settings.ini", dead, "7"),
      "/data/save/" + temporaryName("probe", dead, "00ff00ff00ff00ff"),
      "/" + temporaryName("unit.state", dead, "1"),
  };
  const std::vector<std::string> kept = {
      "/Syslog/" + temporaryName("alive.txt", ::getpid(), "1"),  // a writer that lives
      "/Syslog/dop_customize.txt",                               // no temporary name
      "/Syslog/" + temporaryName("", dead, "1"),                 // no name in it
      "/Syslog/.x." + std::to_string(dead) + ".tmp",             // no number
  };
  for (const std::string& path : gone) writeFile(unit.disk(path), "left");
  for (const std::string& path : kept) writeFile(unit.disk(path), "kept");
  // A link of such a name, and a directory of the unit linked outside with
  // such a file in it: neither is the unit's to clear.
  const std::string linkName = "/Syslog/" + temporaryName("link", dead, "1");
  ASSERT_EQ(::symlink((outside_ + "/victim.txt").c_str(), unit.disk(linkName).c_str()), 0);
  writeFile(outside_ + "/" + temporaryName("outside", dead, "1"), "not the unit's");
  ASSERT_EQ(::symlink(outside_.c_str(), unit.disk("/data/linked").c_str()), 0);
  const auto outsideBefore = snapshot(outside_);

  EXPECT_EQ(standin::unit::SweepTemporaries(), static_cast<int>(gone.size()));
  for (const std::string& path : gone) EXPECT_FALSE(fileExists(unit.disk(path))) << path;
  for (const std::string& path : kept) EXPECT_TRUE(fileExists(unit.disk(path))) << path;
  struct stat st;
  EXPECT_EQ(::lstat(unit.disk(linkName).c_str(), &st), 0) << "removed a link";
  EXPECT_EQ(snapshot(outside_), outsideBefore) << "changed outside the unit";
}

TEST(UnitFileNames, TemporaryNames) {
  struct Row {
    const char* name;
    bool temporary;
  };
  const Row rows[] = {
      {".Settings.ini.123.4567.tmp", true},
      {".dop_startup_caution_img.png.1.0.tmp", true},
      {".probe.42.0123456789abcdef.tmp", true},
      {".a.b.c.77.1.tmp", true},
      {"Settings.ini.123.4567.tmp", false},  // not hidden
      {"..123.4567.tmp", false},             // no name
      {".Settings.ini.x12.4567.tmp", false},  // pid not a number
      {".Settings.ini.123.tmp", false},       // no number
      {".Settings.ini.0.5.tmp", false},       // pid 0
      {".Settings.ini.123.45G.tmp", false},   // number not hexadecimal
      {".Settings.ini.123.4567.tmpx", false},
      {".Settings.ini.99999999999.1.tmp", false},  // no such pid can be
  };
  for (const Row& row : rows) EXPECT_EQ(standin::unit::IsTemporaryName(row.name), row.temporary) << row.name;
}

INSTANTIATE_TEST_SUITE_P(Resolutions, UnitFilesTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

}  // namespace
