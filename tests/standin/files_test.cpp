// TqStorage (line reads, whole-file writes) and TqFileSys (exists, copy,
// delete), on files of a simulated unit.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/TqFileSys.h"
#include "platform/TqStorage.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnitTest;
using sysdata_test::fileExists;
using sysdata_test::readFile;
using sysdata_test::writeFile;

// Every line a reader with this buffer size sees: its first size-1 bytes,
// the line feed only when it fits.
std::vector<std::string> expectedLines(const std::string& content, int size) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t end = content.find('\n', pos);
    const std::size_t next = end == std::string::npos ? content.size() : end + 1;
    std::string line = content.substr(pos, next - pos);
    if (line.size() > static_cast<std::size_t>(size - 1)) line.resize(static_cast<std::size_t>(size - 1));
    lines.push_back(line);
    pos = next;
  }
  return lines;
}

std::vector<std::string> readAllLines(TqStorage& in, int size) {
  std::vector<std::string> lines;
  std::vector<char> buf(static_cast<std::size_t>(size), 'Z');
  while (in.ReadLine(buf.data(), size) == 0) {
    lines.emplace_back(buf.data());
    std::fill(buf.begin(), buf.end(), 'Z');
  }
  return lines;
}

// Content of the regular file at path, or "<none>".
std::string fileContent(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "<none>";
  return readFile(path);
}

// Names ending in ".tmp" in dir.
std::vector<std::string> tempFiles(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) names.push_back(name);
    }
    ::closedir(d);
  }
  return names;
}

class FilesTest : public SimUnitTest {
 protected:
  // Host path of a file in the save directory, and where it lies on disk.
  static std::string host(const std::string& name) { return std::string(sysdata_test::SimUnit::kSaveDir) + "/" + name; }
  std::string disk(const std::string& name) const { return unit.saveFile(name); }
};

TEST_F(FilesTest, LongLinesAreCutAndTheirRestDropped) {
  const std::string content = "DOP_Customize\n" + std::string(126, 'a') + "\n" + std::string(127, 'b') + "\n" +
                              std::string(128, 'c') + "\n" + std::string(318, 'd') + "\n" + std::string(319, 'e') +
                              "\n" + std::string(5000, 'f') + "\n" + "\n" + "[short]1\r\n" + "~END\n" +
                              std::string(400, 'g');
  writeFile(disk("custom.txt"), content);
  std::vector<std::vector<std::string>> passes;
  for (int size : {128, 320, 2, 1}) {
    SCOPED_TRACE("buffer " + std::to_string(size));
    TqStorage in(host("custom.txt").c_str(), "rb");
    ASSERT_TRUE(in.IsOpen());
    const std::vector<std::string> lines = readAllLines(in, size);
    EXPECT_EQ(lines, expectedLines(content, size));
    passes.push_back(lines);
  }
  // Passes with different buffers see the same lines, one for one.
  ASSERT_EQ(passes[0].size(), passes[1].size());
  for (std::size_t i = 0; i < passes[0].size(); ++i) {
    EXPECT_EQ(passes[1][i].compare(0, passes[0][i].size(), passes[0][i]), 0) << "line " << i;
  }
}

TEST_F(FilesTest, ReadLineAtTheEndAndOnBadArguments) {
  writeFile(disk("two.txt"), "one\ntwo");
  TqStorage in(host("two.txt").c_str(), "rb");
  char buf[16];
  EXPECT_EQ(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "one\n");
  EXPECT_EQ(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "two");
  EXPECT_NE(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_NE(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_NE(in.ReadLine(nullptr, 16), 0);
  EXPECT_NE(in.ReadLine(buf, 0), 0);
  // Rewind and read again.
  EXPECT_EQ(in.Seek(0, TqStorage::TQ_SEEK_SET), 0);
  EXPECT_EQ(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "one\n");
  EXPECT_EQ(in.Seek(1, TqStorage::TQ_SEEK_CUR), 0);
  EXPECT_EQ(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "wo");
  EXPECT_EQ(in.Seek(-2, TqStorage::TQ_SEEK_END), 0);
  EXPECT_EQ(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "wo");
  EXPECT_NE(in.Seek(-100, TqStorage::TQ_SEEK_SET), 0);
  EXPECT_EQ(in.Close(), 0);
  EXPECT_FALSE(in.IsOpen());
  EXPECT_NE(in.ReadLine(buf, sizeof buf), 0);
  EXPECT_NE(in.Seek(0, TqStorage::TQ_SEEK_SET), 0);
  EXPECT_NE(in.Close(), 0);
}

struct OpenRow {
  const char* what;
  const char* path;  // host path
  const char* mode;
  bool opens;
};

TEST_F(FilesTest, OpenAcceptsOnlyItsModesAndUsableFiles) {
  writeFile(disk("exists.txt"), "x\n");
  const std::string existing = host("exists.txt");
  const std::string fresh = host("fresh.txt");
  const std::vector<OpenRow> rows = {
      {"read binary", existing.c_str(), "rb", true},
      {"read", existing.c_str(), "r", true},
      {"write", fresh.c_str(), "w", true},
      {"missing file", "/data/save/none.txt", "rb", false},
      {"directory", sysdata_test::SimUnit::kSaveDir, "rb", false},
      {"write into a missing directory", "/data/none/x.txt", "w", false},
      {"write to a directory path", "/data/save/", "w", false},
      {"append", existing.c_str(), "a", false},
      {"update", existing.c_str(), "r+", false},
      {"write binary", fresh.c_str(), "wb", false},
      {"empty mode", existing.c_str(), "", false},
      {"null mode", existing.c_str(), nullptr, false},
      {"null path", nullptr, "rb", false},
      {"empty path", "", "rb", false},
  };
  for (const OpenRow& row : rows) {
    SCOPED_TRACE(row.what);
    TqStorage file;
    EXPECT_EQ(file.Open(row.path, row.mode), row.opens);
    EXPECT_EQ(file.IsOpen(), row.opens);
    TqStorage constructed(row.path, row.mode);
    EXPECT_EQ(constructed.IsOpen(), row.opens);
  }
  EXPECT_EQ(readFile(disk("exists.txt")), "x\n");
}

TEST_F(FilesTest, WholeFileWriteAppearsOnlyAtClose) {
  const std::string path = disk("SxmAlertCity.ini");
  writeFile(path, std::string(500, 'o'));
  {
    TqStorage out;
    ASSERT_TRUE(out.Open(host("SxmAlertCity.ini").c_str(), "w"));
    EXPECT_EQ(out.Write(std::string(60, '\0').data(), 60), 60);
    EXPECT_EQ(out.Write(std::string(48, '\0').data(), 48), 48);
    EXPECT_EQ(out.Write(nullptr, 0), 0);
    EXPECT_EQ(out.Write(nullptr, 4), -1);
    EXPECT_EQ(out.Write("x", -1), -1);
    // Not yet: the old content stays whole until the close.
    EXPECT_EQ(readFile(path), std::string(500, 'o'));
    char buf[8];
    EXPECT_NE(out.ReadLine(buf, sizeof buf), 0);
    EXPECT_NE(out.Seek(0, TqStorage::TQ_SEEK_SET), 0);
  }  // the destructor closes
  EXPECT_EQ(readFile(path), std::string(108, '\0'));

  // Open and close without a write leaves an empty file, created if missing.
  TqStorage empty;
  ASSERT_TRUE(empty.Open(host("GARMIN.NVM").c_str(), "w"));
  EXPECT_EQ(empty.Close(), 0);
  EXPECT_TRUE(fileExists(disk("GARMIN.NVM")));
  EXPECT_EQ(readFile(disk("GARMIN.NVM")), "");

  // Reopening commits the earlier write first.
  TqStorage twice;
  ASSERT_TRUE(twice.Open(host("a.bin").c_str(), "w"));
  twice.Write("first", 5);
  ASSERT_TRUE(twice.Open(host("b.bin").c_str(), "w"));
  EXPECT_EQ(readFile(disk("a.bin")), "first");
  twice.Write("second", 6);
  EXPECT_EQ(twice.Close(), 0);
  EXPECT_EQ(readFile(disk("b.bin")), "second");

  // A read-mode storage refuses writes.
  TqStorage in(host("b.bin").c_str(), "rb");
  EXPECT_EQ(in.Write("x", 1), -1);
}

TEST_F(FilesTest, WriteOverADirectoryFailsAtCloseAndLeavesNothing) {
  ::mkdir(disk("POI").c_str(), 0755);
  TqStorage out;
  ASSERT_TRUE(out.Open(host("POI").c_str(), "w"));
  EXPECT_NE(out.Close(), 0);
  struct stat st;
  ASSERT_EQ(::stat(disk("POI").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

struct CopyRow {
  const char* what;
  const char* from;  // host paths
  const char* to;
  bool copied;
};

TEST_F(FilesTest, CopyIsWholeOrAbsent) {
  std::string big(300000, 'x');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31);
  writeFile(disk("big.bin"), big);
  writeFile(disk("empty.bin"), "");
  writeFile(disk("target.bin"), "old target");
  unit.makeSyslog();
  const std::vector<CopyRow> rows = {
      {"large file", "/data/save/big.bin", "/Syslog/big.bin", true},
      {"empty file", "/data/save/empty.bin", "/Syslog/empty.bin", true},
      {"over an existing file", "/data/save/big.bin", "/data/save/target.bin", true},
      {"onto itself", "/data/save/big.bin", "/data/save/big.bin", true},
      {"missing source", "/data/save/none.bin", "/Syslog/none.bin", false},
      {"directory as source", "/data/save", "/Syslog/dir.bin", false},
      {"missing target directory", "/data/save/big.bin", "/NoSuchDir/big.bin", false},
      {"directory as target", "/data/save/big.bin", "/Syslog", false},
      {"null source", nullptr, "/Syslog/x", false},
      {"null target", "/data/save/big.bin", nullptr, false},
  };
  for (const CopyRow& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string before = row.to != nullptr ? fileContent(unit.disk(row.to)) : "<none>";
    EXPECT_EQ(TqFileSys::Copy(row.from, row.to, false, false), row.copied);
    if (row.to == nullptr) continue;
    // Copied whole, or the target is exactly as it was.
    EXPECT_EQ(fileContent(unit.disk(row.to)), row.copied ? fileContent(unit.disk(row.from)) : before);
  }
  EXPECT_EQ(readFile(disk("big.bin")), big);
  // No temporary file is left in either directory.
  EXPECT_EQ(tempFiles(disk("")), std::vector<std::string>{});
  EXPECT_EQ(tempFiles(unit.disk("/Syslog/")), std::vector<std::string>{});
}

struct PathRow {
  const char* what;
  const char* path;
  bool exists;
};

TEST_F(FilesTest, ExistAndDelete) {
  writeFile(disk("f.txt"), "x");
  const std::vector<PathRow> rows = {
      {"file", "/data/save/f.txt", true},
      {"directory", "/data/save", true},
      {"missing", "/data/save/none", false},
      {"below a file", "/data/save/f.txt/x", false},
      {"null", nullptr, false},
      {"empty", "", false},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(TqFileSys::IsExist(row.path), row.exists);
  }
  EXPECT_TRUE(TqFileSys::Delete("/data/save/f.txt", true));
  EXPECT_FALSE(fileExists(disk("f.txt")));
  EXPECT_FALSE(TqFileSys::IsExist("/data/save/f.txt"));
  // Already gone counts as gone.
  EXPECT_TRUE(TqFileSys::Delete("/data/save/f.txt", true));
  EXPECT_TRUE(TqFileSys::Delete("/data/save/none/deeper", true));
  // A directory is not a file: not removed.
  EXPECT_FALSE(TqFileSys::Delete("/data/save", true));
  EXPECT_TRUE(TqFileSys::IsExist("/data/save"));
  EXPECT_FALSE(TqFileSys::Delete(nullptr, true));
  EXPECT_FALSE(TqFileSys::Delete("", true));
}

}  // namespace

// A writer killed between creating its temporary file and renaming it leaves
// the file behind; the next whole-file write of the same target removes what
// dead writers left, and nothing that a live writer may still be filling.
TEST_F(FilesTest, LeftoverTemporaryFilesOfDeadWritersAreRemovedByTheNextWrite) {
  // A pid that certainly belongs to no process: a child that has been reaped.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  const std::string dead = std::to_string(child);
  const std::string live = std::to_string(::getppid());

  const std::string ours = std::to_string(::getpid());
  struct Row {
    const char* what;
    std::string name;
    bool removed;
    // Last written before this boot (process ids start again at a boot).
    bool earlierBoot = false;
  };
  const std::vector<Row> rows = {
      {"dead writer of the target", ".target.bin." + dead + ".0.tmp", true},
      {"dead writer, later call", ".target.bin." + dead + ".17.tmp", true},
      {"live writer of the target", ".target.bin." + live + ".3.tmp", false},
      {"dead writer of another file", ".other.bin." + dead + ".0.tmp", false},
      {"not a temporary name", ".target.bin." + dead + ".tmp", false},
      {"no counter", ".target.bin." + dead + "..tmp", false},
      {"earlier boot, its id now a live process's", ".target.bin." + live + ".4.tmp", true, true},
      {"earlier boot, its id now ours", ".target.bin." + ours + ".5.tmp", true, true},
      {"earlier boot, another file", ".other.bin." + live + ".4.tmp", false, true},
  };
  struct Writer {
    const char* what;
    const char* subdir;
    void (*write)(const std::string& dir);
  };
  const Writer writers[] = {
      {"TqStorage w", "stale-storage",
       [](const std::string& dir) {
         TqStorage out;
         ASSERT_TRUE(out.Open((dir + "/target.bin").c_str(), "w"));
         ASSERT_EQ(out.Write("new", 3), 3);
         ASSERT_EQ(out.Close(), 0);
       }},
      {"TqFileSys::Copy", "stale-copy",
       [](const std::string& dir) {
         writeFile(dir + "/source.bin", "new");
         ASSERT_TRUE(TqFileSys::Copy((dir + "/source.bin").c_str(), (dir + "/target.bin").c_str(), false, false));
       }},
  };
  for (const Writer& writer : writers) {
    SCOPED_TRACE(writer.what);
    const std::string dir = unit.makeDir(writer.subdir);
    for (const Row& row : rows) {
      writeFile(dir + "/" + row.name, "partial");
      if (row.earlierBoot) {
        struct timespec times[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir + "/" + row.name).c_str(), times, 0), 0);
      }
    }
    writer.write(dir);
    EXPECT_EQ(readFile(dir + "/target.bin"), "new");
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      EXPECT_EQ(fileExists(dir + "/" + row.name), !row.removed) << row.name;
    }
  }
}
