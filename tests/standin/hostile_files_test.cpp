// The stand-in's file layer on a file system someone else can touch: links
// planted in a unit never lead out of it, nothing blocks on a FIFO, non-files
// are told from missing files, reads and copies are bounded, copies never
// widen who may read, and an unusable lock directory is an error.
//
// Every test that resolves paths runs twice: through the kernel's in-root
// resolution and through the component walk that replaces it where the
// kernel (or qemu) lacks it.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "platform/TqFileSys.h"
#include "platform/TqStorage.h"
#include "platform/TqSync.h"
#include "standin/testing/FaultInjection.h"
#include "standin/testing/LogCapture.h"
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

// Ends the test process if a call blocks: a hang becomes a failure.
class Watchdog {
 public:
  explicit Watchdog(unsigned int seconds) { ::alarm(seconds); }
  ~Watchdog() { ::alarm(0); }
};

// What a directory holds: name -> kind, mode and content.
std::map<std::string, std::string> snapshot(const std::string& dir) {
  std::map<std::string, std::string> out;
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

bool isRegular(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

pid_t deadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

class HostileFilesTest : public ::testing::TestWithParam<Resolution> {
 public:  // table rows use the helpers
  void SetUp() override {
    standin::testing::ForceComponentWalk(GetParam() == Resolution::kWalk);
    outside_ = unit.root() + ".outside";
    makeDirs(outside_);
    writeFile(outside_ + "/victim.txt", "precious\n");
    writeFile(outside_ + "/Mic.ini", "EchoCancel=3\n");
    before_ = snapshot(outside_);
  }
  void TearDown() override {
    standin::testing::ForceComponentWalk(false);
    removeTree(outside_);
  }

  std::string disk(const std::string& hostPath) const { return unit.disk(hostPath); }
  // Replaces the unit's directory at hostPath with a link to target.
  void link(const std::string& hostPath, const std::string& target) const {
    removeTree(disk(hostPath));
    makeDirs(DirOf(disk(hostPath)));
    ASSERT_EQ(::symlink(target.c_str(), disk(hostPath).c_str()), 0) << hostPath;
  }
  static std::string DirOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

  SimUnit unit;
  std::string outside_;
  std::map<std::string, std::string> before_;
};

// ---- no escape from the root ----

struct EscapeRow {
  const char* name;
  std::function<void(HostileFilesTest&)> plant;
  std::function<bool(HostileFilesTest&)> act;
  int expected;  // 1 succeeds, 0 fails, -1 either (only the outside matters)
  std::function<void(HostileFilesTest&)> check;
};

class RootEscapeTest : public HostileFilesTest {};

bool copyIn(const char* to) {
  return TqFileSys::Copy("/data/save/source.txt", to, false, false);
}

bool storageWrite(const char* path) {
  TqStorage out;
  if (!out.Open(path, "w")) return false;
  if (out.Write("overwritten\n", 12) != 12) return false;
  return out.Close() == 0;
}

std::vector<EscapeRow> escapeRows() {
  const std::string deep = "../../../../../../../../../../../../../../../..";
  return {
      {"CopyIntoSyslogLinkedOutsideByAbsolutePath", [](HostileFilesTest& t) { t.link("/Syslog", t.outside_); },
       [](HostileFilesTest&) { return copyIn("/Syslog/victim.txt"); }, 0, nullptr},
      {"CopyIntoSyslogLinkedOutsideByDotDots",
       [deep](HostileFilesTest& t) { t.link("/Syslog", deep + t.outside_); },
       [](HostileFilesTest&) { return copyIn("/Syslog/victim.txt"); }, 0, nullptr},
      {"DeleteThroughSyslogLinkedOutside", [](HostileFilesTest& t) { t.link("/Syslog", t.outside_); },
       [](HostileFilesTest&) { return TqFileSys::Delete("/Syslog/victim.txt", true); }, -1, nullptr},
      {"IsExistThroughSyslogLinkedOutside", [](HostileFilesTest& t) { t.link("/Syslog", t.outside_); },
       [](HostileFilesTest&) { return TqFileSys::IsExist("/Syslog/victim.txt"); }, 0, nullptr},
      {"StorageWriteThroughSaveDirLinkedOutside", [](HostileFilesTest& t) { t.link("/data/save", t.outside_); },
       [](HostileFilesTest&) { return storageWrite("/data/save/victim.txt"); }, 0, nullptr},
      {"StorageReadOfFileLinkedOutside",
       [](HostileFilesTest& t) {
         makeDirs(t.disk("/Syslog"));
         ASSERT_EQ(::symlink((t.outside_ + "/victim.txt").c_str(), t.disk("/Syslog/peek.txt").c_str()), 0);
       },
       [](HostileFilesTest&) { return TqStorage("/Syslog/peek.txt", "rb").IsOpen(); }, 0, nullptr},
      {"StoreResetThroughSaveDirLinkedOutside", [](HostileFilesTest& t) { t.link("/data/save", t.outside_); },
       [](HostileFilesTest&) {
         SaveFileAccessFactory factory;
         std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("Mic.ini", "a+"));
         if (!file || !file->FOpen()) return false;
         file->Set("EchoCancel", 0);
         const bool ok = file->Flush();
         file->FClose();
         return ok;
       },
       0, nullptr},
      {"CopyOverAFileLinkReplacesTheLinkOnly",
       [](HostileFilesTest& t) {
         makeDirs(t.disk("/Syslog"));
         ASSERT_EQ(::symlink((t.outside_ + "/victim.txt").c_str(), t.disk("/Syslog/dop_customize.txt").c_str()), 0);
       },
       [](HostileFilesTest&) { return copyIn("/Syslog/dop_customize.txt"); }, 1,
       [](HostileFilesTest& t) {
         EXPECT_TRUE(isRegular(t.disk("/Syslog/dop_customize.txt")));
         EXPECT_EQ(readFile(t.disk("/Syslog/dop_customize.txt")), "source\n");
       }},
      {"DeleteOfAFileLinkRemovesTheLinkOnly",
       [](HostileFilesTest& t) {
         makeDirs(t.disk("/Syslog"));
         ASSERT_EQ(::symlink((t.outside_ + "/victim.txt").c_str(), t.disk("/Syslog/dop_customize.txt").c_str()), 0);
       },
       [](HostileFilesTest&) { return TqFileSys::Delete("/Syslog/dop_customize.txt", true); }, 1,
       [](HostileFilesTest& t) { EXPECT_FALSE(fileExists(t.disk("/Syslog/dop_customize.txt"))); }},
      {"DotDotsInALinkStopAtTheRoot", [deep](HostileFilesTest& t) { t.link("/Syslog", deep); },
       [](HostileFilesTest&) { return copyIn("/Syslog/landed.txt"); }, 1,
       [](HostileFilesTest& t) { EXPECT_EQ(readFile(t.unit.root() + "/landed.txt"), "source\n"); }},
      {"AbsoluteLinkIsFollowedWithinTheRoot", [](HostileFilesTest& t) { t.link("/Syslog", "/data"); },
       [](HostileFilesTest&) { return copyIn("/Syslog/landed.txt"); }, 1,
       [](HostileFilesTest& t) { EXPECT_EQ(readFile(t.disk("/data/landed.txt")), "source\n"); }},
      {"DotDotsInThePathStopAtTheRoot", nullptr,
       [](HostileFilesTest&) { return copyIn("/data/../../../../../../../../../landed.txt"); }, 1,
       [](HostileFilesTest& t) { EXPECT_EQ(readFile(t.unit.root() + "/landed.txt"), "source\n"); }},
      {"LinkLoopFails",
       [](HostileFilesTest& t) {
         ASSERT_EQ(::symlink("/loop2", t.disk("/loop1").c_str()), 0);
         ASSERT_EQ(::symlink("/loop1", t.disk("/loop2").c_str()), 0);
       },
       [](HostileFilesTest&) { return copyIn("/loop1/x.txt"); }, 0, nullptr},
      {"StaleTemporaryFilesOutsideAreNotSwept",
       [](HostileFilesTest& t) {
         writeFile(t.outside_ + "/.victim.txt." + std::to_string(deadPid()) + ".7.tmp", "not ours\n");
         t.link("/Syslog", t.outside_);
       },
       [](HostileFilesTest&) { return storageWrite("/Syslog/victim.txt"); }, 0, nullptr},
  };
}

TEST_P(RootEscapeTest, LinksInTheUnitNeverLeadOutOfIt) {
  for (const EscapeRow& row : escapeRows()) {
    SCOPED_TRACE(row.name);
    writeFile(disk("/data/save/source.txt"), "source\n");
    if (row.plant) row.plant(*this);
    const std::map<std::string, std::string> before = snapshot(outside_);
    const bool ok = row.act(*this);
    if (row.expected >= 0) { EXPECT_EQ(ok, row.expected == 1); }
    if (row.check) row.check(*this);
    EXPECT_EQ(snapshot(outside_), before) << "something outside the unit changed";
    // Undo the plant for the next row.
    for (const char* planted : {"/Syslog", "/data/save", "/loop1", "/loop2", "/landed.txt", "/data/landed.txt"}) {
      struct stat st;
      if (::lstat(disk(planted).c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || S_ISREG(st.st_mode))) {
        ::unlink(disk(planted).c_str());
      }
    }
    removeTree(disk("/Syslog"));
    makeDirs(disk("/data/save"));
  }
}

// The directories that stats go through are kept open; one removed and
// replaced by a link must be resolved again, within the root.
TEST_P(RootEscapeTest, KeptDirectoryReplacedByALinkIsResolvedAgain) {
  makeDirs(disk("/Syslog"));
  writeFile(disk("/Syslog/victim.txt"), "inside\n");
  EXPECT_TRUE(TqFileSys::IsExist("/Syslog/victim.txt"));
  removeTree(disk("/Syslog"));
  ASSERT_EQ(::symlink(outside_.c_str(), disk("/Syslog").c_str()), 0);
  EXPECT_FALSE(TqFileSys::IsExist("/Syslog/victim.txt")) << "a link out of the unit was followed";
  ::unlink(disk("/Syslog").c_str());
  makeDirs(disk("/Syslog"));
  EXPECT_FALSE(TqFileSys::IsExist("/Syslog/victim.txt"));
  writeFile(disk("/Syslog/victim.txt"), "again\n");
  EXPECT_TRUE(TqFileSys::IsExist("/Syslog/victim.txt"));
  // A link as the last component is followed within the root.
  ASSERT_EQ(::symlink("/Syslog/victim.txt", disk("/Syslog/alias.txt").c_str()), 0);
  EXPECT_TRUE(TqFileSys::IsExist("/Syslog/alias.txt"));
  ::unlink(disk("/Syslog/alias.txt").c_str());
  ASSERT_EQ(::symlink((outside_ + "/victim.txt").c_str(), disk("/Syslog/alias.txt").c_str()), 0);
  EXPECT_FALSE(TqFileSys::IsExist("/Syslog/alias.txt"));
}

// A save directory given relative in the host's record was taken from the
// working directory, wherever that is.
TEST_P(RootEscapeTest, RelativeSaveDirectoryStaysInTheUnit) {
  std::string relative;
  for (int i = 0; i < 24; ++i) relative += "../";
  relative += outside_.substr(1);
  unit.setSaveFileDir(relative.c_str());
  SaveFileAccessFactory factory;
  std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("Mic.ini", "a+"));
  ASSERT_NE(file, nullptr);
  std::string where;
  ASSERT_TRUE(file->getFullPath(where));
  EXPECT_EQ(where.compare(0, unit.root().size() + 1, unit.root() + "/"), 0) << where;
  if (file->FOpen()) {
    file->Set("EchoCancel", 0);
    EXPECT_FALSE(file->Flush());
    file->FClose();
  }
  EXPECT_EQ(snapshot(outside_), before_);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, RootEscapeTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

// ---- non-regular files: refused at once, told from missing ----

enum class Kind { kMissing, kFifo, kDirectory };

const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::kMissing:
      return "missing";
    case Kind::kFifo:
      return "FIFO";
    case Kind::kDirectory:
      return "directory";
  }
  return "?";
}

class NonRegularTest : public HostileFilesTest {};

struct NonRegularRow {
  const char* op;
  const char* hostPath;  // where the FIFO / directory is put
  std::function<bool()> act;
  bool okWhenMissing;
  bool exactErrno;  // errno after a failure is EINVAL / EISDIR / ENOENT
};

// Opens "Mic.ini" through the store as every reset and setter does.
bool OpenMicIni() {
  SaveFileAccessFactory factory;
  std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("Mic.ini", "a+"));
  if (!file || !file->FOpen()) return false;
  file->FClose();
  return true;
}

std::vector<NonRegularRow> nonRegularRows() {
  return {
      {"TqStorage read", "/Syslog/dop_customize.txt",
       [] { return TqStorage("/Syslog/dop_customize.txt", "rb").IsOpen(); }, false, true},
      {"copy source (caution image)", "/media/caution.png",
       [] { return TqFileSys::Copy("/media/caution.png", "/Syslog/dop_startup_caution_img.png", false, false); },
       false, true},
      {"settings file", "/data/save/Mic.ini",
       OpenMicIni,
       true, false},
      {"settings lock file", "/data/save/.Mic.ini.lock",
       OpenMicIni,
       true, false},
      {"export copy of a binary file", "/media/SxmTeamDb.ini",
       [] {
         SaveFileAccessFactory factory;
         std::unique_ptr<SaveFileAccess> file(factory.Create("SxmTeamDb.ini", "r+"));
         if (!file || !file->FOpenForImportExport("/media")) return false;
         file->FCloseForImportExport();
         return true;
       },
       true, true},
      {"import copy of a key=value file (DriveRecorder.ini)", "/media/DriveRecorder.ini",
       [] {
         SaveFileAccessFactory factory;
         std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("DriveRecorder.ini", "a+"));
         if (!file || !file->FOpenForImportExport("/media")) return false;
         file->FCloseForImportExport();
         return true;
       },
       true, true},
  };
}

TEST_P(NonRegularTest, NothingBlocksOnAFifoAndNonFilesAreNotMissing) {
  Watchdog watchdog(60);
  for (const NonRegularRow& row : nonRegularRows()) {
    for (Kind kind : {Kind::kMissing, Kind::kFifo, Kind::kDirectory}) {
      SCOPED_TRACE(std::string(row.op) + " / " + kindName(kind));
      makeDirs(disk("/Syslog"));
      makeDirs(disk("/media"));
      writeFile(disk("/media/ok.txt"), "x\n");
      const std::string where = disk(row.hostPath);
      removeTree(where);
      if (kind == Kind::kFifo) { ASSERT_EQ(::mkfifo(where.c_str(), 0600), 0); }
      if (kind == Kind::kDirectory) { ASSERT_EQ(::mkdir(where.c_str(), 0700), 0); }
      errno = 0;
      const bool ok = row.act();
      const int err = errno;
      if (kind == Kind::kMissing) {
        EXPECT_EQ(ok, row.okWhenMissing);
        if (!ok && row.exactErrno) { EXPECT_EQ(err, ENOENT); }
      } else {
        EXPECT_FALSE(ok);
        EXPECT_NE(err, ENOENT) << "a " << kindName(kind) << " reported as missing";
        if (row.exactErrno) { EXPECT_EQ(err, kind == Kind::kFifo ? EINVAL : EISDIR); }
      }
      removeTree(where);
    }
  }
}

TEST_P(NonRegularTest, ResetOverADirectoryFailsVisibly) {
  // A binary reset writes the record itself through TqStorage "w".
  makeDirs(disk("/data/save/SxmTeamDb.ini"));
  TqStorage out;
  ASSERT_TRUE(out.Open("/data/save/SxmTeamDb.ini", "w"));
  EXPECT_EQ(out.Write("\0\0\0\0", 4), 4);
  errno = 0;
  EXPECT_NE(out.Close(), 0);
  EXPECT_EQ(errno, EISDIR);
  struct stat st;
  ASSERT_EQ(::lstat(disk("/data/save/SxmTeamDb.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));

  // A key=value reset cannot even open the file: never "missing, so empty".
  makeDirs(disk("/data/save/Mic.ini"));
  SaveFileAccessFactory factory;
  std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("Mic.ini", "a+"));
  ASSERT_NE(file, nullptr);
  errno = 0;
  EXPECT_FALSE(file->FOpen());
  EXPECT_EQ(errno, EISDIR);
  EXPECT_FALSE(file->Flush());

  // Nor does deleting a directory count as the file being gone.
  errno = 0;
  EXPECT_FALSE(TqFileSys::Delete("/data/save/Mic.ini", true));
  EXPECT_EQ(errno, EISDIR);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, NonRegularTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

// ---- copies never widen read access ----

class CopyModeTest : public HostileFilesTest {};

TEST_P(CopyModeTest, CopyOfAPrivateFileStaysPrivate) {
  const mode_t oldMask = ::umask(0);
  struct Row {
    mode_t source;
    bool throughLink;
  };
  for (const Row& row : std::vector<Row>{{0600, false}, {0600, true}, {0640, false}, {0400, true}, {0644, false},
                                         {0755, false}, {0666, true}}) {
    SCOPED_TRACE("source mode " + std::to_string(row.source) + (row.throughLink ? " through a link" : ""));
    makeDirs(disk("/media"));
    makeDirs(disk("/Syslog"));
    const std::string source = disk("/media/secret.png");
    removeTree(source);
    writeFile(source, "image\n");
    ASSERT_EQ(::chmod(source.c_str(), row.source), 0);
    const char* from = "/media/secret.png";
    if (row.throughLink) {
      removeTree(disk("/media/link.png"));
      ASSERT_EQ(::symlink("/media/secret.png", disk("/media/link.png").c_str()), 0);
      from = "/media/link.png";
    }
    ASSERT_TRUE(TqFileSys::Copy(from, "/Syslog/dop_startup_caution_img.png", false, false));
    struct stat st;
    ASSERT_EQ(::stat(disk("/Syslog/dop_startup_caution_img.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, row.source & 0666);
    // Replacing an existing, wider copy narrows it too.
    ASSERT_EQ(::chmod(disk("/Syslog/dop_startup_caution_img.png").c_str(), 0666), 0);
    ASSERT_TRUE(TqFileSys::Copy(from, "/Syslog/dop_startup_caution_img.png", false, false));
    ASSERT_EQ(::stat(disk("/Syslog/dop_startup_caution_img.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, row.source & 0666);
  }
  ::umask(oldMask);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, CopyModeTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

// ---- bounded reads ----

class SizeLimitTest : public HostileFilesTest {};

void sparseFile(const std::string& path, long long size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
  ::close(fd);
}

TEST_P(SizeLimitTest, HugeFilesAreRefusedBeforeTheyAreRead) {
  struct Row {
    const char* what;
    const char* hostPath;
    long long size;
    std::function<bool()> act;
    bool ok;
  };
  const std::vector<Row> rows = {
      {"TqStorage read at the limit", "/media/big.txt", TqStorage::kMaxReadSize,
       [] { return TqStorage("/media/big.txt", "rb").IsOpen(); }, true},
      {"TqStorage read past the limit", "/media/big.txt", TqStorage::kMaxReadSize + 1,
       [] { return TqStorage("/media/big.txt", "rb").IsOpen(); }, false},
      {"copy past the limit", "/media/big.png", TqFileSys::kMaxCopySize + 1,
       [] { return TqFileSys::Copy("/media/big.png", "/Syslog/dop_startup_caution_img.png", false, false); },
       false},
      {"copy at the limit", "/media/big.png", TqFileSys::kMaxCopySize,
       [] { return TqFileSys::Copy("/media/big.png", "/Syslog/dop_startup_caution_img.png", false, false); },
       true},
      {"binary import copy of 3 GB", "/media/SxmTeamDb.ini", 3ll * 1024 * 1024 * 1024,
       [] {
         SaveFileAccessFactory factory;
         std::unique_ptr<SaveFileAccess> file(factory.Create("SxmTeamDb.ini", "r+"));
         if (!file || !file->FOpenForImportExport("/media")) return false;
         file->FCloseForImportExport();
         return true;
       },
       false},
      {"key=value import copy of 3 GB", "/media/DriveRecorder.ini", 3ll * 1024 * 1024 * 1024,
       [] {
         SaveFileAccessFactory factory;
         std::unique_ptr<SaveFileAccessMetaText> file(factory.CreateMetaText("DriveRecorder.ini", "a+"));
         if (!file || !file->FOpenForImportExport("/media")) return false;
         file->FCloseForImportExport();
         return true;
       },
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    makeDirs(disk("/media"));
    makeDirs(disk("/Syslog"));
    removeTree(disk("/Syslog/dop_startup_caution_img.png"));
    sparseFile(disk(row.hostPath), row.size);
    errno = 0;
    EXPECT_EQ(row.act(), row.ok);
    if (!row.ok) {
      EXPECT_EQ(errno, EFBIG);
      EXPECT_FALSE(fileExists(disk("/Syslog/dop_startup_caution_img.png")));
    }
    removeTree(disk(row.hostPath));
  }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, SizeLimitTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

// ---- a failure keeps the system's reason ----

class FailureReasonTest : public HostileFilesTest {};

// A write on a full disk reported "Input/output error" or nothing at all:
// every failing step of a copy, a whole-file write or a store flush must
// leave errno at the reason of the step that failed.
TEST_P(FailureReasonTest, FullDiskAtAnyStepIsReportedAsSuch) {
  using standin::testing::CallKind;
  using standin::testing::FaultInjectionFileSystem;
  struct Row {
    const char* what;
    std::function<bool()> act;
  };
  SaveFileAccessFactory factory;
  std::unique_ptr<SaveFileAccessMetaText> mic(factory.CreateMetaText("Mic.ini", "a+"));
  ASSERT_NE(mic, nullptr);
  int value = 0;
  const std::vector<Row> rows = {
      {"TqFileSys::Copy",
       [] { return TqFileSys::Copy("/media/image.png", "/Syslog/dop_startup_caution_img.png", false, false); }},
      {"TqStorage write",
       [] {
         TqStorage out;
         if (!out.Open("/data/save/SxmTeamDb.ini", "w")) return false;
         if (out.Write("record", 6) != 6) {
           const int saved = errno;
           out.Close();
           errno = saved;
           return false;
         }
         return out.Close() == 0;
       }},
      {"store flush",
       [&mic, &value] {
         if (!mic->FOpen()) return false;
         mic->Set("EchoCancel", ++value);
         const bool ok = mic->Flush();
         const int saved = errno;
         mic->FClose();
         errno = saved;
         return ok;
       }},
  };
  makeDirs(disk("/media"));
  makeDirs(disk("/Syslog"));
  writeFile(disk("/media/image.png"), "image\n");
  for (const Row& row : rows) {
    // A dry run counts the steps that change the disk.
    std::size_t steps = 0;
    {
      standin::testing::ScopedFaultInjection faults;
      ASSERT_TRUE(row.act()) << row.what;
      steps = faults->CallCount(CallKind::kMutating);
    }
    ASSERT_GT(steps, 0u) << row.what;
    for (std::size_t n = 1; n <= steps; ++n) {
      SCOPED_TRACE(std::string(row.what) + ", step " + std::to_string(n) + " of " + std::to_string(steps));
      standin::testing::ScopedFaultInjection faults;
      faults->FailNth(CallKind::kMutating, n, FaultInjectionFileSystem::FailMode::kOnce, ENOSPC);
      errno = 0;
      const bool ok = row.act();
      const int err = errno;
      if (!faults->Fired()) continue;
      EXPECT_FALSE(ok) << "a failed step reported as success";
      EXPECT_EQ(err, ENOSPC);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Resolutions, FailureReasonTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

// ---- the inter-process lock never silently stops being one ----

class LockDirTest : public HostileFilesTest {};

TEST_P(LockDirTest, UnusableLockDirectoryIsAnErrorNotALocalLock) {
  struct Row {
    const char* what;
    std::function<bool(const std::string& dir)> plant;  // false: skip
  };
  const std::string outside = outside_;
  const std::vector<Row> rows = {
      {"a link to a directory",
       [outside](const std::string& dir) { return ::symlink(outside.c_str(), dir.c_str()) == 0; }},
      {"a regular file", [](const std::string& dir) {
         writeFile(dir, "");
         return true;
       }},
      {"mode 0777",
       [](const std::string& dir) { return ::mkdir(dir.c_str(), 0700) == 0 && ::chmod(dir.c_str(), 0777) == 0; }},
      {"owned by another user",
       [](const std::string& dir) {
         if (::geteuid() != 0) return false;
         return ::mkdir(dir.c_str(), 0700) == 0 && ::chown(dir.c_str(), 65534, 65534) == 0;
       }},
  };
  const std::string dir = unit.root() + "/.tqlocks";
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    removeTree(dir);
    if (!row.plant(dir)) {
      std::printf("[ SKIPPED  ] lock directory %s: needs root (chown)\n", row.what);
      continue;
    }
    const std::string name = "HostileLock" + std::to_string(n++);
    standin::testing::ScopedLogCapture capture;
    {
      TqSharedSyncObject lock(name.c_str());
      lock.lock();
      EXPECT_FALSE(lock.HeldAcrossProcesses());
      lock.unlock();
    }
    bool logged = false;
    for (const auto& record : capture.records()) {
      if (record.tag == -1 && record.message.find(name) != std::string::npos &&
          record.message.find("not taken") != std::string::npos) {
        logged = true;
      }
    }
    EXPECT_TRUE(logged) << "the failure was not logged";
    EXPECT_EQ(snapshot(outside_), before_) << "a lock file was made outside the unit";
  }
  // A sound directory makes it a lock again.
  removeTree(dir);
  TqSharedSyncObject lock("HostileLockSound");
  lock.lock();
  EXPECT_TRUE(lock.HeldAcrossProcesses());
  lock.unlock();
  EXPECT_FALSE(lock.HeldAcrossProcesses());
}

TEST_P(LockDirTest, StoreRefusesToReadTheRecordWithoutTheLock) {
  const std::string dir = unit.root() + "/.tqlocks";
  removeTree(dir);
  writeFile(dir, "");
  // A child reopens the record's lock file, which now cannot exist.
  const pid_t pid = ::fork();
  if (pid == 0) {
    SaveFileAccessFactory factory;
    SaveFileAccessMetaText* file = factory.CreateMetaText("Mic.ini", "a+");
    ::_exit(file == nullptr ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a settings file was made from a record read without its lock";
  removeTree(dir);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, LockDirTest, ::testing::Values(Resolution::kKernel, Resolution::kWalk),
                         resolutionName);

}  // namespace
