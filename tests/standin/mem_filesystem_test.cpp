// The in-memory file system: every row runs against the kernel (in a fresh
// temporary directory) and against MemFileSystem, and both must answer the
// same, errno included. Then the persistence model: which states a cut
// leaves under each model, and that the store works over the file system.
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "standin/FileSystem.h"
#include "standin/testing/MemFileSystem.h"

namespace {

using standin::FileSystem;
using standin::testing::MemFileSystem;
using Model = MemFileSystem::Model;

// What a step did: its result (clamped to -1, 0 or the count) and errno when
// it failed.
struct Outcome {
  long long rc;
  int err;
  bool operator==(const Outcome& o) const { return rc == o.rc && (rc >= 0 || err == o.err); }
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  out << "rc=" << o.rc;
  if (o.rc < 0) out << " errno=" << std::strerror(o.err);
  return out;
}

// A scenario: steps on a file system, with dir its scratch directory
// (holding "d/", an empty directory, and "f", a file of 5 bytes). The
// result is the outcome of the last step; the ones before must succeed.
struct Row {
  const char* name;
  std::function<Outcome(FileSystem& fs, const std::string& dir)> run;
};

std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }

Outcome result(long long rc) { return Outcome{rc < 0 ? -1 : rc, rc < 0 ? errno : 0}; }

int openOk(FileSystem& fs, const std::string& path, int flags, unsigned mode = 0644) {
  const int fd = fs.Open(path, flags | O_CLOEXEC, mode);
  EXPECT_GE(fd, 0) << path << ": " << std::strerror(errno);
  return fd;
}

std::string readAll(FileSystem& fs, const std::string& path) {
  const int fd = fs.Open(path, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return "<" + std::string(std::strerror(errno)) + ">";
  std::string out;
  char buf[64];
  long long n;
  while ((n = fs.Read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  fs.Close(fd);
  return out;
}

// Compares a content: rc 1 when path holds want.
Outcome holds(FileSystem& fs, const std::string& path, const std::string& want) {
  const std::string got = readAll(fs, path);
  EXPECT_EQ(got, want) << path;
  return Outcome{got == want ? 1 : 0, 0};
}

const std::vector<Row>& rows() {
  static const std::vector<Row> r = {
      {"open of a missing file", [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/none", O_RDONLY, 0)); }},
      {"open beneath a missing directory",
       [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/none/x", O_RDWR | O_CREAT, 0644)); }},
      {"open beneath a file", [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/f/x", O_RDONLY, 0)); }},
      {"O_CREAT|O_EXCL of an existing file",
       [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/f", O_WRONLY | O_CREAT | O_EXCL, 0644)); }},
      {"O_CREAT|O_EXCL of an existing directory",
       [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/d", O_WRONLY | O_CREAT | O_EXCL, 0644)); }},
      {"open of a directory for writing", [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/d", O_WRONLY, 0)); }},
      {"O_DIRECTORY of a file", [](FileSystem& fs, const std::string& d) { return result(fs.Open(d + "/f", O_RDONLY | O_DIRECTORY, 0)); }},
      {"O_DIRECTORY of a directory",
       [](FileSystem& fs, const std::string& d) {
         const int fd = fs.Open(d + "/d", O_RDONLY | O_DIRECTORY, 0);
         if (fd >= 0) fs.Close(fd);
         return result(fd < 0 ? -1 : 0);
       }},
      {"read of a directory",
       [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/d", O_RDONLY | O_DIRECTORY);
         char c;
         const Outcome o = result(fs.Read(fd, &c, 1));
         fs.Close(fd);
         return o;
       }},
      {"O_TRUNC empties", [](FileSystem& fs, const std::string& d) {
         fs.Close(openOk(fs, d + "/f", O_WRONLY | O_TRUNC));
         return holds(fs, d + "/f", "");
       }},
      {"O_APPEND writes at the end whatever the offset",
       [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_WRONLY | O_APPEND);
         fs.Seek(fd, 0, SEEK_SET);
         fs.Write(fd, "XY", 2);
         fs.Close(fd);
         return holds(fs, d + "/f", "helloXY");
       }},
      {"two opens have their own offsets",
       [](FileSystem& fs, const std::string& d) {
         const int a = openOk(fs, d + "/f", O_RDWR);
         const int b = openOk(fs, d + "/f", O_RDWR);
         fs.Write(a, "AB", 2);
         fs.Write(b, "C", 1);
         fs.Close(a);
         fs.Close(b);
         return holds(fs, d + "/f", "CBllo");
       }},
      {"seek past the end and write leaves zeros",
       [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_WRONLY);
         fs.Seek(fd, 7, SEEK_SET);
         fs.Write(fd, "Z", 1);
         fs.Close(fd);
         return holds(fs, d + "/f", std::string("hello\0\0Z", 8));
       }},
      {"seek before the start", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDONLY);
         const Outcome o = result(fs.Seek(fd, -1, SEEK_SET));
         fs.Close(fd);
         return o;
       }},
      {"write on a read-only descriptor", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDONLY);
         const Outcome o = result(fs.Write(fd, "x", 1));
         fs.Close(fd);
         return o;
       }},
      {"read on a write-only descriptor", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_WRONLY);
         char c;
         const Outcome o = result(fs.Read(fd, &c, 1));
         fs.Close(fd);
         return o;
       }},
      {"truncate of a read-only descriptor", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDONLY);
         const Outcome o = result(fs.Truncate(fd, 0));
         fs.Close(fd);
         return o;
       }},
      {"truncate shortens and lengthens", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDWR);
         fs.Truncate(fd, 2);
         fs.Truncate(fd, 4);
         fs.Close(fd);
         return holds(fs, d + "/f", std::string("he\0\0", 4));
       }},
      {"close twice", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDONLY);
         fs.Close(fd);
         return result(fs.Close(fd));
       }},
      {"an unlinked file stays readable while open", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDONLY);
         fs.Unlink(d + "/f");
         char buf[8] = {};
         const long long n = fs.Read(fd, buf, sizeof buf);
         fs.Close(fd);
         struct stat st;
         return Outcome{n == 5 && std::string(buf, 5) == "hello" && fs.Stat(d + "/f", &st) != 0 ? 1 : 0, 0};
       }},
      {"unlink of a missing file", [](FileSystem& fs, const std::string& d) { return result(fs.Unlink(d + "/none")); }},
      {"unlink of a directory", [](FileSystem& fs, const std::string& d) {
         const Outcome o = result(fs.Unlink(d + "/d"));
         // Linux says EISDIR, POSIX allows EPERM.
         return Outcome{o.rc, o.err == EPERM ? EISDIR : o.err};
       }},
      {"mkdir of an existing name", [](FileSystem& fs, const std::string& d) { return result(fs.Mkdir(d + "/f", 0755)); }},
      {"mkdir beneath a missing directory", [](FileSystem& fs, const std::string& d) { return result(fs.Mkdir(d + "/none/x", 0755)); }},
      {"rename replaces a file", [](FileSystem& fs, const std::string& d) {
         fs.Close(openOk(fs, d + "/g", O_WRONLY | O_CREAT | O_EXCL));
         if (fs.Rename(d + "/f", d + "/g") != 0) return result(-1);
         struct stat st;
         return Outcome{holds(fs, d + "/g", "hello").rc == 1 && fs.Stat(d + "/f", &st) != 0 ? 1 : 0, 0};
       }},
      {"rename of a missing file", [](FileSystem& fs, const std::string& d) { return result(fs.Rename(d + "/none", d + "/g")); }},
      {"rename of a file over a directory", [](FileSystem& fs, const std::string& d) { return result(fs.Rename(d + "/f", d + "/d")); }},
      {"rename of a directory over a file", [](FileSystem& fs, const std::string& d) { return result(fs.Rename(d + "/d", d + "/f")); }},
      {"rename of a directory over a non-empty one", [](FileSystem& fs, const std::string& d) {
         fs.Mkdir(d + "/e", 0755);
         fs.Close(openOk(fs, d + "/d/x", O_WRONLY | O_CREAT));
         const Outcome o = result(fs.Rename(d + "/e", d + "/d"));
         return Outcome{o.rc, o.err == EEXIST ? ENOTEMPTY : o.err};
       }},
      {"rename of a directory beneath itself", [](FileSystem& fs, const std::string& d) { return result(fs.Rename(d + "/d", d + "/d/x")); }},
      {"a descriptor follows its file through a rename", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_WRONLY);
         fs.Rename(d + "/f", d + "/d/moved");
         fs.Write(fd, "J", 1);
         fs.Close(fd);
         return holds(fs, d + "/d/moved", "Jello");
       }},
      {"stat of a file and of a directory", [](FileSystem& fs, const std::string& d) {
         struct stat a;
         struct stat b;
         if (fs.Stat(d + "/f", &a) != 0 || fs.Stat(d + "/d", &b) != 0) return result(-1);
         return Outcome{S_ISREG(a.st_mode) && a.st_size == 5 && S_ISDIR(b.st_mode) ? 1 : 0, 0};
       }},
      {"stat through a file", [](FileSystem& fs, const std::string& d) {
         struct stat st;
         return result(fs.Stat(d + "/f/x", &st));
       }},
      {"fstat of a closed descriptor", [](FileSystem& fs, const std::string& d) {
         const int fd = openOk(fs, d + "/f", O_RDONLY);
         fs.Close(fd);
         struct stat st;
         return result(fs.Fstat(fd, &st));
       }},
      {"sync of a directory that is a file", [](FileSystem& fs, const std::string& d) { return result(fs.SyncDir(d + "/f")); }},
      {"list a directory", [](FileSystem& fs, const std::string& d) {
         std::vector<std::string> names;
         if (fs.ListDir(d, &names) != 0) return result(-1);
         std::sort(names.begin(), names.end());
         return Outcome{names == std::vector<std::string>{"d", "f"} ? 1 : 0, 0};
       }},
      {"list a file", [](FileSystem& fs, const std::string& d) {
         std::vector<std::string> names;
         return result(fs.ListDir(d + "/f", &names));
       }},
      {"lock, unlock and lock again through another open", [](FileSystem& fs, const std::string& d) {
         const int a = openOk(fs, d + "/f", O_RDWR);
         const int b = openOk(fs, d + "/f", O_RDWR);
         const bool ok = fs.Lock(a) == 0 && fs.Unlock(a) == 0 && fs.Lock(b) == 0;
         fs.Close(a);
         fs.Close(b);
         return Outcome{ok ? 1 : 0, 0};
       }},
      {"a path deeper than most, walked with dots", [](FileSystem& fs, const std::string& d) {
         std::string path = d + "/d";
         for (int i = 0; i < 24; ++i) {
           path += "/n" + std::to_string(i);
           if (fs.Mkdir(path, 0755) != 0) return result(-1);
         }
         fs.Close(openOk(fs, path + "/file", O_WRONLY | O_CREAT | O_EXCL));
         // Up past where the path's components no longer fit in place, and
         // down again.
         const std::string odd = path + "/../../../n21/./n22//n23/file";
         struct stat st;
         return Outcome{fs.Stat(odd, &st) == 0 && S_ISREG(st.st_mode) && holds(fs, odd, "").rc == 1 ? 1 : 0, 0};
       }},
      {"a new file belongs to its maker", [](FileSystem& fs, const std::string& d) {
         fs.Close(openOk(fs, d + "/g", O_WRONLY | O_CREAT | O_EXCL));
         struct stat st;
         if (fs.Stat(d + "/g", &st) != 0) return result(-1);
         return Outcome{st.st_uid == ::geteuid() && st.st_gid == ::getegid() ? 1 : 0, 0};
       }},
      {"closing the descriptor drops its lock", [](FileSystem& fs, const std::string& d) {
         const int a = openOk(fs, d + "/f", O_RDWR);
         fs.Lock(a);
         fs.Close(a);
         const int b = openOk(fs, d + "/f", O_RDWR);
         const Outcome o = result(fs.Lock(b));
         fs.Close(b);
         return o;
       }},
  };
  return r;
}

class Posix : public ::testing::TestWithParam<Row> {};

void makeScratch(FileSystem& fs, const std::string& dir) {
  ASSERT_EQ(fs.Mkdir(dir + "/d", 0755), 0);
  const int fd = fs.Open(dir + "/f", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(fs.Write(fd, "hello", 5), 5);
  fs.Close(fd);
}

TEST_P(Posix, MemoryAnswersAsTheKernel) {
  const Row& row = GetParam();
  const char* base = std::getenv("SYSDATA_TEST_TMP");
  std::string tmpl = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/memfs-XXXXXX";
  ::mkdir(tmpl.substr(0, tmpl.find_last_of('/')).c_str(), 0755);
  ASSERT_NE(::mkdtemp(&tmpl[0]), nullptr);
  FileSystem& posix = *standin::PosixFileSystem();
  makeScratch(posix, tmpl);
  const Outcome real = row.run(posix, tmpl);
  // Clean up what the row left, deepest first.
  ::nftw(
      tmpl.c_str(), [](const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);

  MemFileSystem mem;
  ASSERT_TRUE(mem.MakeDirs("/scratch"));
  makeScratch(mem, "/scratch");
  const Outcome memory = row.run(mem, "/scratch");
  EXPECT_EQ(memory, real) << "kernel: " << real << ", memory: " << memory;
}

INSTANTIATE_TEST_SUITE_P(Rows, Posix, ::testing::ValuesIn(rows()), [](const ::testing::TestParamInfo<Row>& info) {
  std::string out;
  for (const char* p = info.param.name; *p != '\0'; ++p) {
    const char c = *p;
    const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (word) {
      out += c;
    } else if (!out.empty() && out.back() != '_') {
      out += '_';
    }
  }
  return out;
});

TEST(MemFileSystem, FullAtItsCapacity) {
  MemFileSystem mem(10);
  const int fd = mem.Open("/a", O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(mem.Write(fd, "0123456", 7), 7);
  EXPECT_EQ(mem.Write(fd, "789abc", 6), 3) << "what fits is written";
  errno = 0;
  EXPECT_EQ(mem.Write(fd, "d", 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_EQ(mem.Truncate(fd, 11), -1);
  EXPECT_EQ(errno, ENOSPC);
  // Overwriting in place needs no room.
  mem.Seek(fd, 0, SEEK_SET);
  EXPECT_EQ(mem.Write(fd, "XY", 2), 2);
  mem.Close(fd);
  // Space comes back with the file.
  EXPECT_EQ(mem.Unlink("/a"), 0);
  const int fd2 = mem.Open("/b", O_WRONLY | O_CREAT, 0644);
  EXPECT_EQ(mem.Write(fd2, "0123456789", 10), 10);
  mem.Close(fd2);
}

// Putting back the files beneath a directory: what an input changed,
// created or removed is undone, what it did not touch stays the same file,
// files the caller keeps are left alone, and a descriptor still open on a
// replaced file keeps the content it had.
TEST(MemFileSystem, RestoreFilesUndoesChanges) {
  MemFileSystem mem;
  ASSERT_TRUE(mem.MakeDirs("/u/save"));
  ASSERT_TRUE(mem.MakeDirs("/other"));
  ASSERT_TRUE(mem.PutFile("/u/save/same", "same content"));
  ASSERT_TRUE(mem.PutFile("/u/save/changed", "before"));
  ASSERT_TRUE(mem.PutFile("/u/save/removed", "gone later"));
  ASSERT_TRUE(mem.PutFile("/u/.keep.lock", ""));
  ASSERT_TRUE(mem.PutFile("/other/outside", "outside"));
  const auto baseline = mem.FilesNow("/u");
  struct stat sameBefore;
  ASSERT_EQ(mem.Stat("/u/save/same", &sameBefore), 0);

  const int held = mem.Open("/u/save/changed", O_RDONLY, 0);
  ASSERT_GE(held, 0);
  ASSERT_TRUE(mem.PutFile("/u/save/changed", "after, longer"));
  ASSERT_TRUE(mem.Remove("/u/save/removed"));
  ASSERT_TRUE(mem.PutFile("/u/save/created", "new"));
  ASSERT_TRUE(mem.MakeDirs("/u/save/sub"));
  ASSERT_TRUE(mem.PutFile("/u/save/sub/deep", "new too"));
  ASSERT_TRUE(mem.PutFile("/u/.keep.lock", "taken"));
  ASSERT_TRUE(mem.PutFile("/u/.new.lock", ""));
  ASSERT_TRUE(mem.PutFile("/other/outside", "changed outside"));

  const auto keepLocks = [](const std::string& path) {
    return path.size() > 5 && path.compare(path.size() - 5, 5, ".lock") == 0;
  };
  std::vector<std::string> restored = mem.RestoreFiles("/u", baseline, keepLocks);
  std::sort(restored.begin(), restored.end());
  EXPECT_EQ(restored, (std::vector<std::string>{"/u/save/changed", "/u/save/created", "/u/save/removed",
                                                  "/u/save/sub/deep"}));

  struct Expect {
    const char* path;
    const char* content;  // null: absent
  };
  const Expect rows[] = {
      {"/u/save/same", "same content"}, {"/u/save/changed", "before"},   {"/u/save/removed", "gone later"},
      {"/u/save/created", nullptr},     {"/u/save/sub/deep", nullptr},   {"/u/.keep.lock", "taken"},
      {"/u/.new.lock", ""},             {"/other/outside", "changed outside"},
  };
  for (const Expect& row : rows) {
    SCOPED_TRACE(row.path);
    std::string content;
    const bool there = mem.GetFile(row.path, &content);
    EXPECT_EQ(there, row.content != nullptr);
    if (row.content != nullptr) {
      EXPECT_EQ(content, row.content);
    }
  }
  struct stat sameAfter;
  ASSERT_EQ(mem.Stat("/u/save/same", &sameAfter), 0);
  EXPECT_EQ(sameAfter.st_ino, sameBefore.st_ino) << "an untouched file is not replaced";
  char buf[32] = {};
  EXPECT_EQ(mem.Read(held, buf, sizeof buf), 13);
  EXPECT_STREQ(buf, "after, longer") << "the open file was replaced, not written over";
  mem.Close(held);
  EXPECT_TRUE(mem.RestoreFiles("/u", baseline, keepLocks).empty()) << "nothing left to put back";
}

// ---- the persistence model ----

std::set<std::string> contentsAt(const MemFileSystem::CrashStateSet& set, const std::string& path) {
  std::set<std::string> out;
  for (const auto& state : set.states) {
    std::string content;
    out.insert(MemFileSystem::FileIn(*state.image, path, &content) ? content : "<absent>");
  }
  return out;
}

// A durable replacement of /a/f ("old") by "new", call by call:
// 0 create tmp, 1 write, 2 sync, 3 rename, 4 syncdir.
struct Replace : ::testing::Test {
  MemFileSystem mem;
  void SetUp() override {
    ASSERT_TRUE(mem.MakeDirs("/a"));
    ASSERT_TRUE(mem.PutFile("/a/f", "old"));
    mem.MarkDurable();
    const int fd = mem.Open("/a/.f.tmp", O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(mem.Write(fd, "new", 3), 3);
    ASSERT_EQ(mem.Sync(fd), 0);
    mem.Close(fd);
    ASSERT_EQ(mem.Rename("/a/.f.tmp", "/a/f"), 0);
    ASSERT_EQ(mem.SyncDir("/a"), 0);
    ASSERT_EQ(mem.ChangeCount(), 5u);
  }
};

TEST_F(Replace, EveryPointLeavesTheOldOrTheNewFile) {
  struct Case {
    std::size_t point;
    Model model;
    std::set<std::string> atTarget;
    std::set<std::string> atTemp;
  };
  const std::vector<Case> cases = {
      {0, Model::kOrdered, {"old"}, {"<absent>"}},
      {2, Model::kOrdered, {"old"}, {"<absent>", "", "new"}},
      // The data was synced: a prefix holds at least the write.
      {4, Model::kOrdered, {"old", "new"}, {"<absent>", "new"}},
      {5, Model::kOrdered, {"new"}, {"<absent>"}},
      {2, Model::kWeak, {"old"}, {"<absent>", "", "new"}},
      // The rename may land without the creation beside it; the data was
      // synced, so either way the target is whole.
      {4, Model::kWeak, {"old", "new"}, {"<absent>", "new"}},
      {5, Model::kWeak, {"new"}, {"<absent>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.point) + (c.model == Model::kOrdered ? " ordered" : " weak"));
    const MemFileSystem::CrashStateSet set = mem.CrashStates(c.point, c.model, 1024, 1);
    EXPECT_TRUE(set.exhaustive);
    EXPECT_EQ(contentsAt(set, "/a/f"), c.atTarget);
    EXPECT_EQ(contentsAt(set, "/a/.f.tmp"), c.atTemp);
  }
  EXPECT_EQ(mem.Versions("/a/f"), (std::set<std::string>{"old", "new"}));
}

TEST_F(Replace, PowerOnReplacesTheContentAndDropsDescriptors) {
  const int fd = mem.Open("/a/f", O_RDONLY, 0);
  const MemFileSystem::CrashStateSet set = mem.CrashStates(0, Model::kOrdered, 16, 1);
  ASSERT_EQ(set.states.size(), 1u);
  mem.PowerOn(set.states[0]);
  std::string content;
  EXPECT_TRUE(mem.GetFile("/a/f", &content));
  EXPECT_EQ(content, "old");
  EXPECT_FALSE(mem.Exists("/a/.f.tmp"));
  char c;
  EXPECT_EQ(mem.Read(fd, &c, 1), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(mem.ChangeCount(), 0u);
}

TEST(MemFileSystemModel, WritesTearAtSectorsAndLargeSetsAreSampled) {
  MemFileSystem mem;
  ASSERT_TRUE(mem.PutFile("/f", ""));
  mem.MarkDurable();
  const int fd = mem.Open("/f", O_WRONLY, 0);
  const std::string data(1300, 'x');  // three sectors
  ASSERT_EQ(mem.Write(fd, data.data(), data.size()), 1300);
  const std::set<std::string> ordered = contentsAt(mem.CrashStates(1, Model::kOrdered, 64, 1), "/f");
  EXPECT_EQ(ordered, (std::set<std::string>{"", std::string(512, 'x'), std::string(1024, 'x'), data}));
  // Weak: any subset of the three sectors (holes read as zeros).
  const MemFileSystem::CrashStateSet weak = mem.CrashStates(1, Model::kWeak, 64, 1);
  EXPECT_TRUE(weak.exhaustive);
  EXPECT_EQ(weak.states.size(), 8u);
  EXPECT_EQ(contentsAt(weak, "/f").count(std::string(512, '\0') + std::string(512, 'x')), 1u);
  // Many unsynced writes: a sample of the size asked, the same for a seed.
  for (int i = 0; i < 20; ++i) mem.Write(fd, "y", 1);
  const MemFileSystem::CrashStateSet a = mem.CrashStates(mem.ChangeCount(), Model::kWeak, 50, 7);
  const MemFileSystem::CrashStateSet b = mem.CrashStates(mem.ChangeCount(), Model::kWeak, 50, 7);
  EXPECT_FALSE(a.exhaustive);
  ASSERT_EQ(a.states.size(), 50u);
  for (std::size_t i = 0; i < a.states.size(); ++i) EXPECT_EQ(a.states[i].what, b.states[i].what);
  // A sync makes all of it durable: one state left.
  ASSERT_EQ(mem.Sync(fd), 0);
  EXPECT_EQ(mem.CrashStates(mem.ChangeCount(), Model::kWeak, 50, 7).states.size(), 1u);
  mem.Close(fd);
}

}  // namespace
