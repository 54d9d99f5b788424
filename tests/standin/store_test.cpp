// The settings file store: typed keys, the file's form, damaged files, the
// calling rules, import/export copies and the factory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "platform/TqStorage.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnitTest;
using sysdata_test::fileExists;
using sysdata_test::readFile;
using sysdata_test::writeFile;

class StoreTest : public SimUnitTest {
 public:  // table rows use the helpers
  std::unique_ptr<SaveFileAccessMetaText> text(const char* name = "Mic.ini") {
    return std::unique_ptr<SaveFileAccessMetaText>(factory.CreateMetaText(name, "a+"));
  }
  std::unique_ptr<SaveFileAccess> binary(const char* name) {
    return std::unique_ptr<SaveFileAccess>(factory.Create(name, "r+"));
  }
  // One whole write cycle.
  void write(const std::function<void(SaveFileAccessMetaText&)>& sets, const char* name = "Mic.ini") {
    auto file = text(name);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->FOpen());
    sets(*file);
    EXPECT_TRUE(file->Flush());
    EXPECT_TRUE(file->FClose());
  }
  std::string string(const char* key, const char* name = "Mic.ini") {
    auto file = text(name);
    EXPECT_TRUE(file->FOpen());
    std::string value = "<missing>";
    file->Get(key, &value);
    file->FClose();
    return value;
  }
  static ino_t inode(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
  }

  SaveFileAccessFactory factory;
};

TEST_F(StoreTest, EachTypeIsWrittenInItsTextFormAndReadBack) {
  write([](SaveFileAccessMetaText& f) {
    EXPECT_TRUE(f.Set("I", -5));
    EXPECT_TRUE(f.Set("U", 4000000000u));
    EXPECT_TRUE(f.Set("B", true));
    EXPECT_TRUE(f.Set("F", false));
    EXPECT_TRUE(f.Set("C", static_cast<unsigned char>(200)));
    EXPECT_TRUE(f.Set("S", std::string("a=b\nc")));
  });
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "I=-5\nU=4000000000\nB=1\nF=0\nC=200\nS=a=b\\x0Ac\n");

  auto file = text();
  ASSERT_TRUE(file->FOpen());
  int i = 0;
  unsigned u = 0;
  bool b = false, f = true;
  unsigned char c = 0;
  std::string s;
  EXPECT_TRUE(file->Get("I", &i));
  EXPECT_TRUE(file->Get("U", &u));
  EXPECT_TRUE(file->Get("B", &b));
  EXPECT_TRUE(file->Get("F", &f));
  EXPECT_TRUE(file->Get("C", &c));
  EXPECT_TRUE(file->Get("S", &s));
  EXPECT_EQ(i, -5);
  EXPECT_EQ(u, 4000000000u);
  EXPECT_TRUE(b);
  EXPECT_FALSE(f);
  EXPECT_EQ(c, 200);
  EXPECT_EQ(s, "a=b\nc");
  // A value is text: a bool or a char reads as int, a number as string.
  EXPECT_TRUE(file->Get("B", &i));
  EXPECT_EQ(i, 1);
  EXPECT_TRUE(file->Get("C", &s));
  EXPECT_EQ(s, "200");
  EXPECT_TRUE(file->FClose());
}

TEST_F(StoreTest, HostileStringsRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"empty", ""},
      {"blanks around", "  padded value \t "},
      {"only blanks", "   "},
      {"equals signs", "=a==b="},
      {"line feed", "one\ntwo\n"},
      {"carriage return", "cr\r"},
      {"crlf", "\r\n"},
      {"backslash", "C:\\dir\\"},
      {"escape look-alike", "\\x41\\\\x0A\\"},
      {"nul inside", std::string("a\0b\0", 4)},
      {"delete byte", "\x7f"},
      {"utf-8", "Gr\xC3\xBC\xC3\x9F" "e"},
      {"every byte", all},
      {"long", std::string(200000, 'x') + "\n" + std::string(1000, '=')},
  };
  write([&](SaveFileAccessMetaText& f) {
    for (const auto& row : rows) EXPECT_TRUE(f.Set(row.first, row.second)) << row.first;
  });
  // Whatever the values hold, the file keeps one line per key.
  EXPECT_EQ(sysdata_test::readKeyFile(unit.saveFile("Mic.ini")).size(), rows.size());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    EXPECT_EQ(string(row.first), row.second);
  }
}

TEST_F(StoreTest, NewKeysAreAppendedAndExistingKeysKeepTheirPlace) {
  write([](SaveFileAccessMetaText& f) {
    f.Set("Zeta", 1);
    f.Set("Alpha", 2);
    f.Set("Mid", 3);
  });
  write([](SaveFileAccessMetaText& f) {
    f.Set("Alpha", 20);
    f.Set("New", 4);
    f.Set("Zeta", 10);
  });
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "Zeta=10\nAlpha=20\nMid=3\nNew=4\n");
  auto file = text();
  ASSERT_TRUE(file->FOpen());
  std::vector<std::string> keys;
  ASSERT_TRUE(file->GetKeys(&keys));
  EXPECT_EQ(keys, (std::vector<std::string>{"Zeta", "Alpha", "Mid", "New"}));
  file->FClose();
}

// Stored text -> what each typed Get answers ("-" = false).
struct ReadRow {
  const char* stored;
  const char* asInt;
  const char* asUnsigned;
  const char* asBool;
  const char* asChar;
};

TEST_F(StoreTest, GetReadsOnlyTextOfTheAskedType) {
  const std::vector<ReadRow> rows = {
      {"0", "0", "0", "0", "0"},
      {"1", "1", "1", "1", "1"},
      {"007", "7", "7", "-", "7"},
      {"255", "255", "255", "-", "255"},
      {"256", "256", "256", "-", "-"},
      {"-1", "-1", "-", "-", "-"},
      {"-0", "0", "-", "-", "-"},
      {"2147483647", "2147483647", "2147483647", "-", "-"},
      {"2147483648", "-", "2147483648", "-", "-"},
      {"-2147483648", "-2147483648", "-", "-", "-"},
      {"-2147483649", "-", "-", "-", "-"},
      {"4294967295", "-", "4294967295", "-", "-"},
      {"4294967296", "-", "-", "-", "-"},
      {"99999999999999999999999", "-", "-", "-", "-"},
      {"", "-", "-", "-", "-"},
      {"+5", "-", "-", "-", "-"},
      {" 5", "-", "-", "-", "-"},
      {"5 ", "-", "-", "-", "-"},
      {"0x10", "-", "-", "-", "-"},
      {"1.5", "-", "-", "-", "-"},
      {"-", "-", "-", "-", "-"},
      {"true", "-", "-", "-", "-"},
  };
  write([&](SaveFileAccessMetaText& f) {
    for (std::size_t i = 0; i < rows.size(); ++i) f.Set(("K" + std::to_string(i)).c_str(), std::string(rows[i].stored));
  });
  auto file = text();
  ASSERT_TRUE(file->FOpen());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const ReadRow& row = rows[i];
    SCOPED_TRACE(std::string("stored \"") + row.stored + "\"");
    const std::string key = "K" + std::to_string(i);
    // An answer of false leaves the value alone.
    int iv = 4242;
    unsigned uv = 4242;
    bool bv = true;
    unsigned char cv = 42;
    const bool gotI = file->Get(key.c_str(), &iv);
    const bool gotU = file->Get(key.c_str(), &uv);
    const bool gotB = file->Get(key.c_str(), &bv);
    const bool gotC = file->Get(key.c_str(), &cv);
    EXPECT_EQ(gotI ? std::to_string(iv) : (iv == 4242 ? "-" : "changed"), row.asInt);
    EXPECT_EQ(gotU ? std::to_string(uv) : (uv == 4242 ? "-" : "changed"), row.asUnsigned);
    EXPECT_EQ(gotB ? std::to_string(bv) : (bv ? "-" : "changed"), row.asBool);
    EXPECT_EQ(gotC ? std::to_string(cv) : (cv == 42 ? "-" : "changed"), row.asChar);
  }
  int missing = 7;
  EXPECT_FALSE(file->Get("NoSuchKey", &missing));
  EXPECT_EQ(missing, 7);
  file->FClose();
}

struct DamageRow {
  const char* what;
  std::string content;
  std::map<std::string, std::string> served;  // key -> string value
  bool onlyThese;                             // served holds every key
  const char* clean;                          // the file after the next Flush (null: not pinned)
};

// A clean file: lines "key=value\n" without control bytes.
bool isClean(const std::string& text) {
  if (!text.empty() && text.back() != '\n') return false;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    if (line.find('=') == std::string::npos || line[0] == '=') return false;
    for (unsigned char c : line) {
      if (c < 0x20 || c == 0x7F) return false;
    }
    start = end + 1;
  }
  return true;
}

TEST_F(StoreTest, DamagedFilesOpenServeWhatIsReadableAndFlushClean) {
  std::string junk;
  for (int i = 0; i < 3000; ++i) junk.push_back(static_cast<char>((i * 7919 + i / 13) & 0xFF));
  const std::string longValue(1 << 20, 'v');
  const std::vector<DamageRow> rows = {
      {"binary junk", junk, {}, false, nullptr},
      {"junk after good lines", "A=1\nB=2\n" + junk, {{"A", "1"}, {"B", "2"}}, false, nullptr},
      {"nul bytes", std::string("A=1\n\0\0\0\nB=x\0y\nC\0=3\n", 20), {{"A", "1"}, {"B", std::string("x\0y", 3)}},
       true, "A=1\nB=x\\x00y\n"},
      {"line without equals", "A=1\njust text\n\nB=2\n", {{"A", "1"}, {"B", "2"}}, true, "A=1\nB=2\n"},
      {"empty key", "=5\nA=1\n", {{"A", "1"}}, true, "A=1\n"},
      {"very long line", "A=" + longValue + "\nB=2\n", {{"A", longValue}, {"B", "2"}}, true, nullptr},
      {"very long line without equals", std::string(1 << 20, 'q') + "\nB=2\n", {{"B", "2"}}, true, "B=2\n"},
      {"truncated last line", "A=1\nB=12", {{"A", "1"}, {"B", "12"}}, true, "A=1\nB=12\n"},
      {"truncated key", "A=1\nBee", {{"A", "1"}}, true, "A=1\n"},
      {"crlf lines", "A=1\r\nB=two\r\n", {{"A", "1"}, {"B", "two"}}, true, "A=1\nB=two\n"},
      {"repeated key", "A=1\nA=2\nB=3\n", {{"A", "1"}, {"B", "3"}}, true, "A=1\nB=3\n"},
      {"stray backslash", "A=a\\b\\x4\n", {{"A", "a\\b\\x4"}}, true, "A=a\\\\b\\\\x4\n"},
      {"control byte in key", "A\tB=1\nC=2\n", {{"C", "2"}}, true, "C=2\n"},
      {"empty file", "", {}, true, ""},
  };
  const std::string path = unit.saveFile("Mic.ini");
  for (const DamageRow& row : rows) {
    SCOPED_TRACE(row.what);
    writeFile(path, row.content);
    auto file = text();
    ASSERT_TRUE(file->FOpen());
    std::vector<std::string> keys;
    ASSERT_TRUE(file->GetKeys(&keys));
    std::map<std::string, std::string> served;
    for (const std::string& key : keys) {
      std::string value;
      ASSERT_TRUE(file->Get(key.c_str(), &value));
      served[key] = value;
    }
    if (row.onlyThese) {
      EXPECT_EQ(served, row.served);
    } else {
      for (const auto& kv : row.served) EXPECT_EQ(served[kv.first], kv.second) << kv.first;
    }
    // No set: the flush still rewrites the damaged file.
    EXPECT_TRUE(file->Flush());
    EXPECT_TRUE(file->FClose());
    const std::string written = readFile(path);
    EXPECT_TRUE(isClean(written));
    if (row.clean != nullptr) {
      EXPECT_EQ(written, row.clean);
    }
    // The clean file serves exactly what the damaged one did.
    auto again = text();
    ASSERT_TRUE(again->FOpen());
    std::vector<std::string> keysAgain;
    again->GetKeys(&keysAgain);
    EXPECT_EQ(keysAgain, keys);
    for (const auto& kv : served) {
      std::string value;
      EXPECT_TRUE(again->Get(kv.first.c_str(), &value));
      EXPECT_EQ(value, kv.second);
    }
    again->FClose();
  }
}

TEST_F(StoreTest, NothingWorksOutsideFOpenAndFClose) {
  auto file = text();
  int i = 0;
  std::string s;
  std::vector<std::string> keys;
  EXPECT_FALSE(file->Set("A", 1));
  EXPECT_FALSE(file->Set("S", std::string("x")));
  EXPECT_FALSE(file->Get("A", &i));
  EXPECT_FALSE(file->Get("S", &s));
  EXPECT_FALSE(file->GetKeys(&keys));
  EXPECT_FALSE(file->Flush());
  EXPECT_FALSE(file->FClose());
  EXPECT_FALSE(fileExists(unit.saveFile("Mic.ini")));

  ASSERT_TRUE(file->FOpen());
  EXPECT_TRUE(file->Set("A", 1));
  EXPECT_TRUE(file->FClose());
  // The set was not flushed: it is gone, and the closed object refuses work.
  EXPECT_FALSE(file->Set("A", 2));
  EXPECT_FALSE(file->Flush());
  EXPECT_FALSE(fileExists(unit.saveFile("Mic.ini")));
  ASSERT_TRUE(file->FOpen());
  EXPECT_FALSE(file->Get("A", &i));
  EXPECT_TRUE(file->FClose());
}

TEST_F(StoreTest, OtherThreadsCannotWorkInsideAnotherThreadsOpen) {
  auto file = text();
  ASSERT_TRUE(file->FOpen());
  ASSERT_TRUE(file->Set("A", 1));
  bool setOk = true, getOk = true, flushOk = true, closeOk = true;
  std::thread([&] {
    int v = 0;
    setOk = file->Set("A", 2);
    getOk = file->Get("A", &v);
    flushOk = file->Flush();
    closeOk = file->FClose();
  }).join();
  EXPECT_FALSE(setOk);
  EXPECT_FALSE(getOk);
  EXPECT_FALSE(flushOk);
  EXPECT_FALSE(closeOk);
  int v = 0;
  EXPECT_TRUE(file->Get("A", &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(file->FClose());
}

TEST_F(StoreTest, BadKeysAndNullOutputsAreRefused) {
  auto file = text();
  ASSERT_TRUE(file->FOpen());
  for (const char* key : {static_cast<const char*>(nullptr), "", "a=b", "=", "line\nfeed", "cr\r", "tab\t"}) {
    SCOPED_TRACE(key == nullptr ? "null" : key);
    EXPECT_FALSE(file->Set(key, 1));
    EXPECT_FALSE(file->Set(key, std::string("v")));
  }
  EXPECT_TRUE(file->Set("Key with blanks", 3));
  EXPECT_FALSE(file->Get("Key with blanks", static_cast<int*>(nullptr)));
  EXPECT_FALSE(file->Get(nullptr, static_cast<int*>(nullptr)));
  EXPECT_FALSE(file->GetKeys(nullptr));
  int v = 0;
  EXPECT_TRUE(file->Get("Key with blanks", &v));
  EXPECT_EQ(v, 3);
  EXPECT_TRUE(file->Flush());
  EXPECT_TRUE(file->FClose());
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "Key with blanks=3\n");
}

TEST_F(StoreTest, FlushWritesOnlyWhenSomethingChangedOrTheFileIsMissing) {
  const std::string path = unit.saveFile("Mic.ini");
  // A missing file is created by a flush even without a set.
  write([](SaveFileAccessMetaText&) {});
  ASSERT_TRUE(fileExists(path));
  EXPECT_EQ(readFile(path), "");

  write([](SaveFileAccessMetaText& f) { f.Set("A", 1); });
  const ino_t first = inode(path);
  // The same value again, and a read: nothing to write.
  write([](SaveFileAccessMetaText& f) {
    f.Set("A", 1);
    int v;
    f.Get("A", &v);
  });
  EXPECT_EQ(inode(path), first);
  write([](SaveFileAccessMetaText& f) { f.Set("A", 2); });
  EXPECT_NE(inode(path), first);
  EXPECT_EQ(readFile(path), "A=2\n");
}

TEST_F(StoreTest, NestedOpensOnOneThreadAreCounted) {
  auto file = text();
  ASSERT_TRUE(file->FOpen());
  ASSERT_TRUE(file->Set("A", 1));
  ASSERT_TRUE(file->FOpen());
  // The inner open keeps the unflushed set.
  int v = 0;
  EXPECT_TRUE(file->Get("A", &v));
  EXPECT_TRUE(file->FClose());
  EXPECT_TRUE(file->Set("B", 2));
  EXPECT_TRUE(file->Flush());
  EXPECT_TRUE(file->FClose());
  EXPECT_FALSE(file->FClose());
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "A=1\nB=2\n");
}

TEST_F(StoreTest, EveryOpenSeesTheLatestFlushOfAnyObject) {
  auto a = text();
  auto b = text();
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(a->FOpen());
    a->Set("A", round);
    a->Flush();
    a->FClose();
    ASSERT_TRUE(b->FOpen());
    int v = -1;
    EXPECT_TRUE(b->Get("A", &v));
    EXPECT_EQ(v, round);
    b->Set("B", round);
    b->Flush();
    b->FClose();
  }
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "A=2\nB=2\n");
}

// Another writer changes the file between two opens of one object.
struct ChangeRow {
  const char* what;
  std::function<void(StoreTest&, const std::string& path)> change;
  const char* seen;  // value of "A" at the next open ("-": missing)
};

TEST_F(StoreTest, AnOpenAlwaysSeesChangesMadeSinceThePreviousOne) {
  const std::vector<ChangeRow> rows = {
      {"another object", [](StoreTest& t, const std::string&) {
         t.write([](SaveFileAccessMetaText& f) { f.Set("A", 2); });
       }, "2"},
      {"another process", [](StoreTest& t, const std::string&) {
         const pid_t pid = ::fork();
         if (pid == 0) {
           SaveFileAccessFactory factory;
           std::unique_ptr<SaveFileAccessMetaText> f(factory.CreateMetaText("Mic.ini", "a+"));
           const bool ok = f != nullptr && f->FOpen() && f->Set("A", 2) && f->Flush() && f->FClose();
           ::_exit(ok ? 0 : 1);
         }
         int status = -1;
         ::waitpid(pid, &status, 0);
         EXPECT_EQ(status, 0);
         (void)t;
       }, "2"},
      {"rewrite in place, same size", [](StoreTest&, const std::string& path) { writeFile(path, "A=2\n"); }, "2"},
      {"rewrite in place, same size, twice", [](StoreTest&, const std::string& path) {
         writeFile(path, "A=3\n");
         writeFile(path, "A=2\n");
       }, "2"},
      {"replaced by rename", [](StoreTest&, const std::string& path) {
         writeFile(path + ".new", "A=2\n");
         ::rename((path + ".new").c_str(), path.c_str());
       }, "2"},
      {"removed", [](StoreTest&, const std::string& path) { ::unlink(path.c_str()); }, "-"},
      {"unchanged", [](StoreTest&, const std::string&) {}, "1"},
  };
  const std::string path = unit.saveFile("Mic.ini");
  for (const ChangeRow& row : rows) {
    SCOPED_TRACE(row.what);
    writeFile(path, "A=1\n");
    // Old enough that a reader may keep what it read, if it can prove that
    // the file did not change.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto reader = text();
    for (int pass = 0; pass < 2; ++pass) {
      ASSERT_TRUE(reader->FOpen());
      int a = 0;
      EXPECT_TRUE(reader->Get("A", &a));
      EXPECT_EQ(a, 1);
      ASSERT_TRUE(reader->FClose());
    }
    row.change(*this, path);
    ASSERT_TRUE(reader->FOpen());
    int a = 0;
    const bool got = reader->Get("A", &a);
    EXPECT_EQ(got ? std::to_string(a) : "-", row.seen);
    // An unflushed set is not kept for the next open either.
    reader->Set("A", 99);
    ASSERT_TRUE(reader->FClose());
    ASSERT_TRUE(reader->FOpen());
    const bool again = reader->Get("A", &a);
    EXPECT_EQ(again ? std::to_string(a) : "-", row.seen);
    ASSERT_TRUE(reader->FClose());
  }
}

TEST_F(StoreTest, TwoObjectsOfOneFileExcludeEachOtherAcrossThreads) {
  auto a = text();
  auto b = text();
  constexpr int kRounds = 40;
  auto bump = [](SaveFileAccessMetaText& f) {
    for (int i = 0; i < kRounds; ++i) {
      ASSERT_TRUE(f.FOpen());
      int v = 0;
      f.Get("Count", &v);
      f.Set("Count", v + 1);
      f.Flush();
      f.FClose();
    }
  };
  std::thread t1([&] { bump(*a); });
  std::thread t2([&] { bump(*b); });
  t1.join();
  t2.join();
  EXPECT_EQ(sysdata_test::keyValue(unit.saveFile("Mic.ini"), "Count"), std::to_string(2 * kRounds));
}

TEST_F(StoreTest, ImportExportCopiesLiveDirectlyInTheGivenDirectory) {
  const std::string medium = unit.makeDir("media/usb");
  const std::string hostMedium = "/media/usb";
  auto file = text();
  // Export: no FOpen.
  ASSERT_TRUE(file->FOpenForImportExport(hostMedium.c_str()));
  EXPECT_TRUE(file->SetForImportExport("I", -3));
  EXPECT_TRUE(file->SetForImportExport("U", 3u));
  EXPECT_TRUE(file->SetForImportExport("B", true));
  EXPECT_TRUE(file->SetForImportExport("C", static_cast<unsigned char>(9)));
  EXPECT_TRUE(file->SetForImportExport("S", std::string("x\ny")));
  EXPECT_TRUE(file->FlushForImportExport());
  EXPECT_TRUE(file->FCloseForImportExport());
  EXPECT_EQ(readFile(medium + "/Mic.ini"), "I=-3\nU=3\nB=1\nC=9\nS=x\\x0Ay\n");
  EXPECT_FALSE(fileExists(unit.saveFile("Mic.ini")));

  // Import of one key, in the documented order; a trailing '/' is fine.
  ASSERT_TRUE(file->FOpen());
  ASSERT_TRUE(file->FOpenForImportExport((hostMedium + "/").c_str()));
  int v = 0;
  EXPECT_TRUE(file->GetForImportExport("I", &v));
  EXPECT_EQ(v, -3);
  EXPECT_FALSE(file->GetForImportExport("S", &v));
  EXPECT_FALSE(file->GetForImportExport("Missing", &v));
  EXPECT_TRUE(file->Set("I", v));
  EXPECT_TRUE(file->Flush());
  EXPECT_TRUE(file->FCloseForImportExport());
  EXPECT_TRUE(file->FClose());
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "I=-3\n");
}

TEST_F(StoreTest, ImportExportCallsOutsideTheirPairOrWithBadPathsFail) {
  auto file = text();
  int v = 0;
  EXPECT_FALSE(file->SetForImportExport("A", 1));
  EXPECT_FALSE(file->GetForImportExport("A", &v));
  EXPECT_FALSE(file->FlushForImportExport());
  EXPECT_FALSE(file->FCloseForImportExport());
  EXPECT_FALSE(file->FOpenForImportExport(nullptr));
  EXPECT_FALSE(file->FOpenForImportExport(""));
  // A directory that does not exist opens empty but cannot be written.
  ASSERT_TRUE(file->FOpenForImportExport("/no/such/medium"));
  EXPECT_FALSE(file->GetForImportExport("A", &v));
  EXPECT_TRUE(file->SetForImportExport("A", 1));
  EXPECT_FALSE(file->FlushForImportExport());
  EXPECT_TRUE(file->FCloseForImportExport());
  EXPECT_FALSE(file->SetForImportExport("A", 1));

  auto bin = binary("SxmTeamDb.ini");
  EXPECT_FALSE(bin->WriteForImportExport("x", 1));
  EXPECT_FALSE(bin->FlushForImportExport());
  EXPECT_FALSE(bin->FCloseForImportExport());
  EXPECT_FALSE(bin->FOpenForImportExport(nullptr));
}

TEST_F(StoreTest, BinaryCopyIsReplacedWhole) {
  const std::string medium = unit.makeDir("export");
  writeFile(medium + "/SxmTeamDb.ini", std::string(100, 'o'));
  auto bin = binary("SxmTeamDb.ini");
  ASSERT_NE(bin, nullptr);
  ASSERT_TRUE(bin->FOpenForImportExport("/export"));
  const std::string record(32, '\0');
  EXPECT_FALSE(bin->WriteForImportExport(nullptr, 4));
  EXPECT_FALSE(bin->WriteForImportExport(record.data(), -1));
  EXPECT_TRUE(bin->WriteForImportExport(record.data(), static_cast<long long>(record.size())));
  EXPECT_TRUE(bin->FlushForImportExport());
  EXPECT_TRUE(bin->FCloseForImportExport());
  EXPECT_EQ(readFile(medium + "/SxmTeamDb.ini"), record);

  // A copy that does not exist yet is written even when empty.
  ASSERT_TRUE(bin->FOpenForImportExport("/export/"));
  ASSERT_TRUE(bin->WriteForImportExport(nullptr, 0));
  bin->FCloseForImportExport();
  unit.makeDir("export/empty");
  ASSERT_TRUE(bin->FOpenForImportExport("/export/empty"));
  EXPECT_TRUE(bin->FlushForImportExport());
  bin->FCloseForImportExport();
  EXPECT_TRUE(fileExists(medium + "/empty/SxmTeamDb.ini"));
}

TEST_F(StoreTest, BinaryFilesAreWrittenByTheirOwnersAtTheFullPath) {
  auto bin = binary("SxmAlertMusic.ini");
  ASSERT_NE(bin, nullptr);
  std::string path;
  ASSERT_TRUE(bin->getFullPath(path));
  EXPECT_EQ(path, unit.saveFile("SxmAlertMusic.ini"));
  EXPECT_EQ(bin->name(), "SxmAlertMusic.ini");
  EXPECT_TRUE(bin->FOpen());
  EXPECT_TRUE(bin->FOpen());
  EXPECT_TRUE(bin->FClose());
  EXPECT_TRUE(bin->FClose());
  EXPECT_FALSE(bin->FClose());
  // Nothing is written by the object itself.
  EXPECT_FALSE(fileExists(path));
  TqStorage out;
  ASSERT_TRUE(out.Open(path.c_str(), "w"));
  EXPECT_EQ(out.Write(std::string(6488, '\0').data(), 6488), 6488);
  EXPECT_EQ(out.Close(), 0);
  EXPECT_EQ(readFile(path).size(), 6488u);
}

struct CreationRow {
  const char* what;
  const char* name;
  bool made;
};

TEST_F(StoreTest, FactoryCreatesObjectsOnlyForUsableNames) {
  standin::testing::FailCreationOf("Refused.ini");
  const std::vector<CreationRow> rows = {
      {"plain name", "Settings.ini", true},
      {"calibration file", "AirGestureCalibration.ini", true},
      {"null", nullptr, false},
      {"empty", "", false},
      {"directory part", "sub/Settings.ini", false},
      {"absolute", "/etc/passwd", false},
      {"dot", ".", false},
      {"dot dot", "..", false},
      {"reserved hidden name", ".Settings.ini.lock", false},
      {"forced failure", "Refused.ini", false},
  };
  for (const CreationRow& row : rows) {
    SCOPED_TRACE(row.what);
    standin::testing::ClearCreationCalls();
    std::unique_ptr<SaveFileAccessMetaText> a(factory.CreateMetaText(row.name, "a+"));
    std::unique_ptr<SaveFileAccessMetaText> b(factory.CreateMetaTextFlush(row.name, "a+"));
    std::unique_ptr<SaveFileAccess> c(factory.Create(row.name, "r+"));
    std::unique_ptr<SaveFileAccess> d(factory.CreateFlush(row.name, "r+"));
    EXPECT_EQ(a != nullptr, row.made);
    EXPECT_EQ(b != nullptr, row.made);
    EXPECT_EQ(c != nullptr, row.made);
    EXPECT_EQ(d != nullptr, row.made);
    // Every call is recorded, failed or not.
    const auto calls = standin::testing::CreationCalls();
    ASSERT_EQ(calls.size(), 4u);
    const char* ops[] = {"CreateMetaText", "CreateMetaTextFlush", "Create", "CreateFlush"};
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(calls[i].op, ops[i]);
      EXPECT_EQ(calls[i].name, row.name != nullptr ? row.name : "");
      EXPECT_EQ(calls[i].mode, i < 2 ? "a+" : "r+");
    }
  }
  standin::testing::ClearCreationFailures();
  EXPECT_NE(std::unique_ptr<SaveFileAccessMetaText>(factory.CreateMetaText("Refused.ini", "a+")), nullptr);
}

TEST_F(StoreTest, FilesArePlacedByTheDirectoriesInTheRecord) {
  std::string path;
  ASSERT_TRUE(text("Settings.ini")->getFullPath(path));
  EXPECT_EQ(path, unit.saveFile("Settings.ini"));
  ASSERT_TRUE(text("AirGestureCalibration.ini")->getFullPath(path));
  EXPECT_EQ(path, unit.calibrationFile());

  // The directory is read when the object is made.
  auto before = text("Settings.ini");
  unit.makeDir("other/save");
  unit.setSaveFileDir("/other/save");
  auto after = text("Settings.ini");
  before->getFullPath(path);
  EXPECT_EQ(path, unit.saveFile("Settings.ini"));
  after->getFullPath(path);
  EXPECT_EQ(path, unit.disk("/other/save/Settings.ini"));

  // An empty directory is unknown: no object (the other directory still works).
  unit.setSaveFileDir("");
  EXPECT_EQ(text("Settings.ini"), nullptr);
  EXPECT_EQ(binary("SxmTeamDb.ini"), nullptr);
  EXPECT_NE(text("AirGestureCalibration.ini"), nullptr);
  unit.setCalibrationDir("");
  EXPECT_EQ(text("AirGestureCalibration.ini"), nullptr);
}

TEST_F(StoreTest, AMissingSaveDirectoryMakesOpenFailNotCrash) {
  unit.setSaveFileDir("/not/there");
  auto file = text();
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(file->FOpen());
  EXPECT_FALSE(file->Set("A", 1));
  EXPECT_FALSE(file->Flush());
  EXPECT_FALSE(file->FClose());
}

TEST_F(StoreTest, AnUnreadableFileFailsOpenInsteadOfLosingItsKeys) {
  const std::string path = unit.saveFile("Mic.ini");
  // A directory in place of the file cannot be loaded; writing an empty file
  // over it would be wrong too.
  ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
  auto file = text();
  EXPECT_FALSE(file->FOpen());
  EXPECT_FALSE(file->Set("A", 1));
  // The lock was released: the next open is not blocked.
  ASSERT_EQ(::rmdir(path.c_str()), 0);
  EXPECT_TRUE(file->FOpen());
  EXPECT_TRUE(file->FClose());
}

}  // namespace
