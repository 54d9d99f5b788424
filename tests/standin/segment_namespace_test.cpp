// Each simulated unit's own namespace of shared-memory segments: roots whose
// derived prefixes are equal still get segments of their own, in processes
// running at once; a unit that is gone leaves nothing for good; the longest
// segment name the template accepts still fits under a prefix.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "platform/SystemRecordLayout.h"
#include "platform/TqSimulation.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/UnitFiles.h"

namespace {

using standin::testing::SimShmPrefixCandidate;

bool shmExists(const std::string& name) {
  struct stat st;
  return ::lstat(("/dev/shm/" + name).c_str(), &st) == 0;
}

// A scratch directory under the build tree's test area.
class SegmentNamespaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("SYSDATA_TEST_TMP");
    const std::string parent = base != nullptr && base[0] != '\0' ? base : "/tmp";
    sysdata_test::makeDirs(parent);
    std::string pattern = parent + "/ns-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    ASSERT_NE(::mkdtemp(buf.data()), nullptr);
    scratch_ = buf.data();
  }
  void TearDown() override {
    for (const std::string& root : roots_) {
      TqSimSetRoot(root.c_str());
      standin::testing::RemoveSimSegments();
    }
    TqSimSetRoot("");
    sysdata_test::removeTree(scratch_);
  }

  // Two unit roots under the scratch directory whose first prefix candidate
  // is the same (20 bits: a few thousand names find a pair).
  void makeRootsThatHashAlike(std::string* a, std::string* b) {
    std::map<std::string, std::string> seen;
    for (int n = 0; n < 200000; ++n) {
      const std::string root = scratch_ + "/u" + std::to_string(n);
      const std::string prefix = SimShmPrefixCandidate(root, 0);
      const auto it = seen.find(prefix);
      if (it != seen.end()) {
        *a = it->second;
        *b = root;
        break;
      }
      seen[prefix] = root;
    }
    ASSERT_FALSE(a->empty());
    for (const std::string* root : {a, b}) {
      ASSERT_EQ(::mkdir(root->c_str(), 0755), 0);
      roots_.push_back(*root);
    }
  }

  std::string scratch_;
  std::vector<std::string> roots_;
};

// Runs a unit in a child: fills its model, waits until the other unit has
// filled its own, then reads the model back. Writes its prefix to out and
// exits 0 when it read its own model.
pid_t startUnit(const std::string& root, int model, int readyFd, int goFd, int outFd) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::alarm(60);  // a hang fails the test instead of stalling it
  TqSimSetRoot(root.c_str());
  int rc = 0;
  if (!standin::host_records::setPair(static_cast<SystemDef::SYS_INFO_MODEL>(model),
                                      SystemDef::SYS_INFO_DESTINATION_5)) {
    rc = 2;
  }
  const std::string prefix = TqSimShmName("/").substr(1);
  if (::write(outFd, prefix.c_str(), prefix.size() + 1) < 0) rc = 3;
  char c = 'r';
  if (::write(readyFd, &c, 1) != 1 || ::read(goFd, &c, 1) != 1) rc = 4;
  {
    // Both units hold their segments now.
    TqSharedMemory<SysInfoStruct, 1> info("SystemInfo");
    if (info.recordBytes() == nullptr) {
      rc = 5;
    } else {
      TqSyncGuard guard(info);
      if (info.recordBytes()[record_layout::kSysInfoModel] != model) rc = 6;
    }
  }
  standin::testing::RemoveSimSegments();
  ::_exit(rc);
}

// The fault: the prefix was a 20-bit hash of the root, so two roots such as
// "/tmp/x/u343" and "/tmp/x/u1124" could share their segments, and one unit
// read the other's model. Two roots whose hashes are equal, run at once.
TEST_F(SegmentNamespaceTest, RootsWhosePrefixesHashAlikeDoNotShareRecords) {
  std::string a, b;
  makeRootsThatHashAlike(&a, &b);
  ASSERT_EQ(SimShmPrefixCandidate(a, 0), SimShmPrefixCandidate(b, 0));

  int ready[2], go[2], outA[2], outB[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(outA), 0);
  ASSERT_EQ(::pipe(outB), 0);
  const pid_t first = startUnit(a, 7, ready[1], go[0], outA[1]);
  const pid_t second = startUnit(b, 12, ready[1], go[0], outB[1]);
  char c;
  for (int i = 0; i < 2; ++i) ASSERT_EQ(::read(ready[0], &c, 1), 1) << "a unit did not start";
  ASSERT_EQ(::write(go[1], "gg", 2), 2);
  for (pid_t pid : {first, second}) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "a unit read another's record or failed (status " << status << ")";
  }
  char prefixA[16] = {}, prefixB[16] = {};
  ASSERT_GT(::read(outA[0], prefixA, sizeof prefixA - 1), 0);
  ASSERT_GT(::read(outB[0], prefixB, sizeof prefixB - 1), 0);
  EXPECT_STRNE(prefixA, prefixB);
  EXPECT_LE(std::strlen(prefixA), 6u);
  EXPECT_LE(std::strlen(prefixB), 6u);
  for (int fd : {ready[0], ready[1], go[0], go[1], outA[0], outA[1], outB[0], outB[1]}) ::close(fd);

  // Each unit removed its segments and its claim.
  for (const char* prefix : {prefixA, prefixB}) {
    EXPECT_FALSE(shmExists(prefix)) << "claim " << prefix << " left behind";
    EXPECT_FALSE(shmExists(std::string(prefix) + "SystemInfo"));
  }
}

// A killed run leaves its segments and its claim; once its root is gone they
// are removed, by a sweep or by the next claim of the same prefix.
TEST_F(SegmentNamespaceTest, SegmentsOfAUnitThatIsGoneAreRemoved) {
  struct Row {
    const char* what;
    bool sweep;  // true: RemoveStaleSimSegments; false: the next unit's claim
  };
  const std::vector<Row> rows = {{"by a sweep", true}, {"by the next claim of the prefix", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string gone, next;
    makeRootsThatHashAlike(&gone, &next);
    TqSimSetRoot(gone.c_str());
    ASSERT_TRUE(standin::host_records::setPair(SystemDef::SYS_INFO_MODEL_7, SystemDef::SYS_INFO_DESTINATION_3));
    const std::string prefix = TqSimShmName("/").substr(1);
    ASSERT_TRUE(shmExists(prefix + "SystemInfo"));
    ASSERT_TRUE(shmExists(prefix)) << "the claim";
    TqSimSetRoot("");
    sysdata_test::removeTree(gone);  // as if the run was killed and its unit removed

    if (row.sweep) {
      // Every claim in any process sweeps too, so a test running beside this
      // one may get there first: what counts is that the namespace is gone.
      standin::testing::RemoveStaleSimSegments();
    } else {
      TqSimSetRoot(next.c_str());
      EXPECT_EQ(TqSimShmName("/").substr(1), prefix) << "the gone unit's prefix is free again";
      EXPECT_TRUE(standin::testing::SimSegments().empty()) << "and starts empty";
      standin::testing::RemoveSimSegments();
      TqSimSetRoot("");
    }
    EXPECT_FALSE(shmExists(prefix + "SystemInfo"));
    EXPECT_FALSE(shmExists(prefix));
    sysdata_test::removeTree(next);
    roots_.clear();
  }
}

// A run killed while it used a temporary unit leaves its root behind too; its
// segments and claim still go, since the run that owned them is gone.
TEST_F(SegmentNamespaceTest, SegmentsOfAKilledRunsTemporaryUnitAreRemoved) {
  const std::string root = scratch_ + "/temporary";
  ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
  roots_.push_back(root);
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(60);
    standin::testing::SetSimUnitTemporary(true);
    TqSimSetRoot(root.c_str());
    standin::host_records::setCameraHd(1);
    const std::string prefix = TqSimShmName("/").substr(1);
    if (::write(out[1], prefix.c_str(), prefix.size() + 1) < 0) ::_exit(3);
    ::raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  char prefix[16] = {};
  ASSERT_GT(::read(out[0], prefix, sizeof prefix - 1), 0);
  ::close(out[0]);
  ::close(out[1]);
  ASSERT_TRUE(shmExists(std::string(prefix) + "FuncInfoProduct")) << "the killed run left its segment";

  standin::testing::RemoveStaleSimSegments();  // or a sweep of a unit running beside this test
  EXPECT_FALSE(shmExists(std::string(prefix) + "FuncInfoProduct"));
  EXPECT_FALSE(shmExists(prefix)) << "the claim";
}

// A live unit's claim is never taken: the same root finds its own claim again
// at its next power-on, and its records are still there, whatever bytes its
// path holds.
TEST_F(SegmentNamespaceTest, AUnitFindsItsClaimAgainAtItsNextPowerOn) {
  for (const char* name : {"unit", "unit with\na line feed and \xff"}) {
    SCOPED_TRACE(name);
    const std::string root = scratch_ + "/" + name;
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    roots_.push_back(root);
    TqSimSetRoot(root.c_str());
    ASSERT_TRUE(standin::host_records::setCameraHd(5));
    const std::string prefix = TqSimShmName("/");
    // The sweep may remove what other tests left; never this live unit.
    standin::testing::RemoveStaleSimSegments();
    EXPECT_TRUE(shmExists(prefix.substr(1))) << "a live unit's claim is not stale";
    EXPECT_TRUE(shmExists(prefix.substr(1) + "FuncInfoProduct"));
    TqSimSetRoot(root.c_str());  // the next power-on
    EXPECT_EQ(TqSimShmName("/"), prefix);
    EXPECT_EQ(standin::host_records::cameraHd(), 5);
  }
}

struct LongRecord {
  unsigned char bytes[16];
};

// The longest name the segment template accepts still makes a file name in
// /dev/shm with the unit's prefix in front.
TEST_F(SegmentNamespaceTest, TheLongestSegmentNameFitsUnderAPrefix) {
  const std::string root = scratch_ + "/unit";
  ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
  roots_.push_back(root);
  TqSimSetRoot(root.c_str());
  const std::string name(TqSharedMemory<LongRecord, 1>::kMaxNameLength, 'n');
  {
    TqSharedMemory<LongRecord, 1> segment(name.c_str());
    EXPECT_NE(segment.recordBytes(), nullptr) << std::strerror(errno);
  }
  EXPECT_EQ(standin::testing::SimSegments().size(), 1u);
}

}  // namespace
