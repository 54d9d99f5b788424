// Framework services: bounded copies, TqString, the simulated unit's path and
// segment mapping, the debug log and its capture, singleton teardown, the
// host base classes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/SystemRecords.h"
#include "platform/CustomizeSysData.h"
#include "platform/SysDataUtil.h"
#include "platform/TqDbgOutput.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "platform/TqStrUtil.h"
#include "platform/TqString.h"
#include "standin/testing/HostCalls.h"
#include "standin/testing/LogCapture.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnitTest;

struct CopyRow {
  const char* what;
  unsigned size;     // destination size
  const char* src;
  int count;         // -1: tq_strcpy, else tq_strncpy with this count
  bool ok;
  const char* dst;   // destination text afterwards
};

TEST(BoundedCopy, CopiesWhenItFitsAndEmptiesOtherwise) {
  const std::vector<CopyRow> rows = {
      {"fits", 16, "hello", -1, true, "hello"},
      {"exactly fits", 6, "hello", -1, true, "hello"},
      {"one too long", 5, "hello", -1, false, ""},
      {"empty source", 1, "", -1, true, ""},
      {"size zero", 0, "x", -1, false, "untouched"},
      {"cut a field", 16, "0123456789abcdefXYZ", 15, true, "0123456789abcde"},
      {"count beyond the source", 16, "abc", 15, true, "abc"},
      {"count zero", 4, "abc", 0, true, ""},
      {"field does not fit", 8, "0123456789", 15, false, ""},
      {"count fills exactly", 4, "abcdef", 3, true, "abc"},
      {"count one too many", 4, "abcdef", 4, false, ""},
  };
  for (const CopyRow& row : rows) {
    SCOPED_TRACE(row.what);
    char dst[32];
    std::strcpy(dst, "untouched");
    const int rc = row.count < 0 ? tq_strcpy(dst, row.size, row.src)
                                 : tq_strncpy(dst, row.size, row.src, static_cast<unsigned>(row.count));
    EXPECT_EQ(rc == 0, row.ok);
    EXPECT_STREQ(dst, row.dst);
  }
  char dst[8] = "same";
  EXPECT_NE(tq_strcpy(nullptr, 8, "x"), 0);
  EXPECT_NE(tq_strcpy(dst, 8, nullptr), 0);
  EXPECT_NE(tq_strncpy(nullptr, 8, "x", 1), 0);
  EXPECT_NE(tq_strncpy(dst, 8, nullptr, 1), 0);
  EXPECT_STREQ(dst, "same");
  // tq_strncpy reads no further than count: a source without NUL is fine.
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(tq_strncpy(dst, 8, unterminated, 4), 0);
  EXPECT_STREQ(dst, "abcd");
}

TEST(TqStringTest, BuildsSegmentNames) {
  TqString name("/", TqString::TQ_CP_UTF8);
  name += "SystemInfo";
  name += nullptr;
  EXPECT_STREQ(name.ToCHAR(TqString::TQ_CP_UTF8), "/SystemInfo");
  EXPECT_STREQ(TqString(nullptr, TqString::TQ_CP_DEFAULT).ToCHAR(TqString::TQ_CP_DEFAULT), "");
  EXPECT_STREQ(TqString().ToCHAR(TqString::TQ_CP_UTF8), "");
}

// ---- simulation ----

class SimulationTest : public SimUnitTest {
 protected:
  ~SimulationTest() override {
    ::unsetenv("TQ_SIM_SHM_PREFIX");
    TqSimSetRoot(unit.root().c_str());
  }
};

struct PathRow {
  const char* what;
  std::string path;
  std::string mapped;
};

TEST_F(SimulationTest, AbsolutePathsMoveUnderTheRoot) {
  const std::string root = unit.root();
  const std::vector<PathRow> rows = {
      {"absolute", "/Syslog/dop.txt", root + "/Syslog/dop.txt"},
      {"top directory", "/", root + "/"},
      {"relative", "data/x", "data/x"},
      {"empty", "", ""},
      {"the root itself", root, root},
      {"already under the root", root + "/data/save", root + "/data/save"},
      {"a sibling sharing the root's prefix", root + "-other/x", root + root + "-other/x"},
      {"a path shorter than the root", "/t", root + "/t"},
  };
  for (const PathRow& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(TqSimPath(row.path.c_str()), row.mapped);
  }
  EXPECT_EQ(TqSimPath(nullptr), "");

  // A trailing '/' on the root does not matter; no root maps nothing.
  TqSimSetRoot((root + "/").c_str());
  EXPECT_EQ(TqSimRoot(), root);
  EXPECT_EQ(TqSimPath("/a"), root + "/a");
  TqSimSetRoot("");
  EXPECT_EQ(TqSimRoot(), "");
  EXPECT_EQ(TqSimPath("/a"), "/a");
  EXPECT_EQ(TqSimShmName("/SystemInfo"), "/SystemInfo");
  EXPECT_TRUE(standin::testing::SimSegments().empty());
}

TEST_F(SimulationTest, SegmentNamesGetAShortPrefix) {
  const std::string mapped = TqSimShmName("/SystemInfo");
  ASSERT_EQ(mapped[0], '/');
  const std::string prefix = mapped.substr(1, mapped.size() - std::strlen("/SystemInfo"));
  EXPECT_FALSE(prefix.empty());
  EXPECT_LE(prefix.size(), 6u);
  EXPECT_EQ(prefix.find('/'), std::string::npos);
  EXPECT_EQ(TqSimShmName("/FuncInfo"), "/" + prefix + "FuncInfo");
  EXPECT_EQ(TqSimShmName(nullptr), "");

  // Another root, another namespace.
  const std::string otherRoot = unit.makeDir("elsewhere");
  TqSimSetRoot(otherRoot.c_str());
  EXPECT_NE(TqSimShmName("/SystemInfo"), mapped);
  standin::testing::RemoveSimSegments();  // its claim

  // The environment picks the prefix, cut to six characters, and claims it
  // like any other.
  ::setenv("TQ_SIM_SHM_PREFIX", "abcdefghij", 1);
  EXPECT_EQ(TqSimShmName("/SystemInfo"), "/abcdefSystemInfo");
  struct stat st;
  EXPECT_EQ(::stat("/dev/shm/abcdef", &st), 0) << "no claim of the prefix";
  standin::testing::RemoveSimSegments();
  EXPECT_NE(::stat("/dev/shm/abcdef", &st), 0) << "the claim outlived the power-off";
  // A shorter one would be the beginning of other units' prefixes.
  ::setenv("TQ_SIM_SHM_PREFIX", "t1", 1);
  TqSimSetRoot(otherRoot.c_str());
  EXPECT_EQ(TqSimShmName("/SystemInfo"), "");
  std::string why;
  EXPECT_FALSE(standin::testing::ClaimSimSegments(&why));
  EXPECT_NE(why.find("TQ_SIM_SHM_PREFIX \"t1\""), std::string::npos) << why;
}

TEST_F(SimulationTest, TheUnitsSegmentsAreListedAndRemoved) {
  // The fixture's records live in four segments of this unit.
  std::vector<std::string> segments = standin::testing::SimSegments();
  std::sort(segments.begin(), segments.end());
  const std::string prefix = TqSimShmName("/").substr(1);
  EXPECT_EQ(segments, (std::vector<std::string>{prefix + "FuncInfo", prefix + "FuncInfoProduct", prefix + "SysDataInfo",
                                                prefix + "SystemInfo"}));
  standin::testing::RemoveSimSegments();
  EXPECT_TRUE(standin::testing::SimSegments().empty());
  // A new view creates a fresh, zero-filled segment.
  TqSharedMemory<SysInfoStruct, 1> fresh("SystemInfo");
  ASSERT_TRUE(fresh.isMapped());
  EXPECT_TRUE(fresh.wasCreated());
  EXPECT_EQ(standin::testing::SimSegments(), std::vector<std::string>{prefix + "SystemInfo"});
}

// ---- log ----

TEST(DebugLog, CaptureRecordsEveryMessageWithItsOrigin) {
  standin::testing::ScopedLogCapture capture;
  TqDbgOutput::DbgPrint("src/a.cpp", "import", 12, TqDbgOutput::TQ_TAG_ERROR, "<----- %s is NG[%d] !!!!! ----->\n",
                        "MicLevel", 7);
  errno = ENOENT;
  TqDbgOutput::DbgPrintStdErr("include/x.h", "TqSharedMemory", 34, "shm_open error\n");
  EXPECT_EQ(errno, ENOENT) << "logging changed errno";
  TqDbgOutput::DbgPrint("f", "g", 1, TqDbgOutput::TQ_TAG_NONE, "%s", std::string(3000, 'L').c_str());

  const auto records = capture.records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].file, "src/a.cpp");
  EXPECT_EQ(records[0].function, "import");
  EXPECT_EQ(records[0].line, 12);
  EXPECT_EQ(records[0].tag, 1);
  EXPECT_EQ(records[0].message, "<----- MicLevel is NG[7] !!!!! ----->\n");
  EXPECT_EQ(records[1].tag, -1);
  EXPECT_EQ(records[1].message, "shm_open error\n");
  EXPECT_EQ(records[2].tag, 0);
  EXPECT_EQ(records[2].message, std::string(3000, 'L'));
  EXPECT_EQ(capture.messages()[1], "shm_open error\n");
  capture.clear();
  EXPECT_TRUE(capture.messages().empty());
}

TEST(DebugLog, CapturesAreIndependentAndSeeAllThreads) {
  auto outer = std::make_unique<standin::testing::ScopedLogCapture>();
  TqDbgOutput::DbgPrint("f", "g", 1, TqDbgOutput::TQ_TAG_ERROR, "before\n");
  {
    standin::testing::ScopedLogCapture inner;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([t] {
        for (int i = 0; i < 50; ++i) TqDbgOutput::DbgPrint("f", "g", t, TqDbgOutput::TQ_TAG_ERROR, "%d\n", i);
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(inner.records().size(), 200u);
  }
  EXPECT_EQ(outer->records().size(), 201u);
  outer.reset();
  // Nothing live: a message goes nowhere and nothing breaks.
  TqDbgOutput::DbgPrint("f", "g", 1, TqDbgOutput::TQ_TAG_ERROR, "after\n");
  standin::testing::ScopedLogCapture late;
  EXPECT_TRUE(late.records().empty());
}

// ---- teardown and host bases ----

std::vector<int> g_order;
void destroyA() { g_order.push_back(1); }
void destroyB() { g_order.push_back(2); }
void destroyC() {
  g_order.push_back(3);
  // A destroy function may record another one; it runs in the same teardown.
  TqSingletonFinalizer::addDestroyFunc(&destroyA);
}

TEST(SingletonFinalizer, RunsLastRecordedFirstAndEmptiesTheList) {
  TqSingletonFinalizer::runDestroyFuncs();
  g_order.clear();
  TqSingletonFinalizer::addDestroyFunc(&destroyA);
  TqSingletonFinalizer::addDestroyFunc(&destroyB);
  TqSingletonFinalizer::addDestroyFunc(&destroyB);
  TqSingletonFinalizer::addDestroyFunc(nullptr);
  TqSingletonFinalizer::addDestroyFunc(&destroyC);
  EXPECT_EQ(TqSingletonFinalizer::pendingCount(), 4u);
  TqSingletonFinalizer::runDestroyFuncs();
  EXPECT_EQ(g_order, (std::vector<int>{3, 1, 2, 2, 1}));
  EXPECT_EQ(TqSingletonFinalizer::pendingCount(), 0u);
  TqSingletonFinalizer::runDestroyFuncs();
  EXPECT_EQ(g_order.size(), 5u);
}

TEST(HostBases, RecordEachCallAndAnswerAsConfigured) {
  standin::testing::ClearHostCalls();
  standin::testing::ResetHostResults();
  SysDataUtil util;
  CustomizeSysData customize;
  std::string path = "/media/usb/dop.txt";
  EXPECT_TRUE(util.initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5));
  EXPECT_TRUE(util.initSysDataFile("Other.ini"));
  util.confirmCalibrationData();
  standin::testing::SetHostResult("dataImport", false);
  EXPECT_FALSE(util.dataImport("/media/usb"));
  EXPECT_TRUE(util.dataExport(nullptr));
  EXPECT_TRUE(customize.import(path));
  standin::testing::SetHostResult("afterInitialize", false);
  EXPECT_FALSE(customize.afterInitialize(CustomizeSysData::INITIALIZE_FACTORY));
  standin::testing::ResetHostResults();
  EXPECT_TRUE(util.dataImport("again"));

  const std::vector<std::pair<std::string, std::string>> expected = {
      {"initSysDataDefault", "6,5"}, {"initSysDataFile", "Other.ini"}, {"confirmCalibrationData", ""},
      {"dataImport", "/media/usb"},  {"dataExport", ""},               {"import", "/media/usb/dop.txt"},
      {"afterInitialize", "2"},      {"dataImport", "again"},
  };
  const auto calls = standin::testing::HostCalls();
  ASSERT_EQ(calls.size(), expected.size());
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i].op, expected[i].first) << i;
    EXPECT_EQ(calls[i].arg, expected[i].second) << i;
  }
  standin::testing::ClearHostCalls();
  EXPECT_TRUE(standin::testing::HostCalls().empty());
}

}  // namespace
