// Shared-memory segments and the record views: creation and attachment across
// processes, the name checks, the mend of a segment left short by a creator
// that died, the first initialisation of "SystemInfo", and what a view
// answers when its segment cannot be mapped.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "platform/TqSimulation.h"
#include "standin/testing/HostRecords.h"
#include "standin/testing/LogCapture.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnit;
using sysdata_test::SimUnitTest;

struct TestRecord {
  unsigned char bytes[100];
};
using TestSegment = TqSharedMemory<TestRecord, 1>;

// The name as the unit sees it; shm_open and shm_unlink place it in the
// unit's namespace.
std::string hostName(const std::string& name) { return "/" + name; }
// The name as it lies in /dev/shm.
std::string shmName(const std::string& name) { return TqSimShmName(hostName(name).c_str()); }
std::string devShmPath(const std::string& name) { return "/dev/shm" + shmName(name); }

off_t segmentSize(const std::string& name) {
  struct stat st;
  if (::stat(devShmPath(name).c_str(), &st) != 0) return -1;
  return st.st_size;
}

std::uint32_t sizeWord(const std::string& name) {
  const int fd = ::shm_open(hostName(name).c_str(), O_RDONLY, 0);
  if (fd < 0) return 0xFFFFFFFFu;
  unsigned char b[4] = {0, 0, 0, 0};
  const ssize_t n = ::pread(fd, b, 4, 0);
  ::close(fd);
  return n == 4 ? sysdata::loadU32(b) : 0xFFFFFFFFu;
}

// Runs body in a child process and returns its exit code (0 = passed).
template <class F>
int inChild(F body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// A segment name that cannot be opened by anyone, root included: a directory
// of that name where the segment would lie.
class UnopenableSegment {
 public:
  explicit UnopenableSegment(const std::string& name) : path_(devShmPath(name)) {
    ::unlink(path_.c_str());
    made_ = ::mkdir(path_.c_str(), 0755) == 0;
  }
  ~UnopenableSegment() {
    if (made_) ::rmdir(path_.c_str());
  }
  bool made() const { return made_; }

 private:
  std::string path_;
  bool made_ = false;
};

// ---- segment template ----

TEST_F(SimUnitTest, FirstOpenerCreatesAndZeroFillsSecondProcessAttachesAndKeepsData) {
  const std::string name = "H2Shared";
  // First process: creates, finds the record zeroed and the size word set,
  // leaves data behind and spoils the size word.
  const int first = inChild([&] {
    TestSegment seg(name.c_str());
    if (!sysdata::RecordAccess::isMapped(seg) || !seg.wasCreated()) return 1;
    if (segmentSize(name) != static_cast<off_t>(TestSegment::kSegmentSize)) return 2;
    if (sizeWord(name) != 100u) return 3;
    TqSyncGuard guard(seg);
    for (unsigned char b : seg.record()->bytes) {
      if (b != 0) return 4;
    }
    for (int i = 0; i < 100; ++i) seg.record()->bytes[i] = static_cast<unsigned char>(i + 1);
    unsigned char* word = seg.recordBytes() - 4;
    sysdata::storeU32(word, 0xDEADBEEFu);
    return 0;
  });
  ASSERT_EQ(first, 0);
  ASSERT_EQ(sizeWord(name), 0xDEADBEEFu);

  // Second process: attaches, rewrites only the size word, sees the data.
  const int second = inChild([&] {
    TestSegment seg(name.c_str());
    if (!sysdata::RecordAccess::isMapped(seg) || seg.wasCreated()) return 1;
    if (sizeWord(name) != 100u) return 2;
    TqSyncGuard guard(seg);
    for (int i = 0; i < 100; ++i) {
      if (seg.record()->bytes[i] != static_cast<unsigned char>(i + 1)) return 3;
    }
    return 0;
  });
  EXPECT_EQ(second, 0);
}

std::size_t openDescriptors() {
  std::size_t n = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir) != nullptr) ++n;
    ::closedir(dir);
  }
  return n;
}

TEST_F(SimUnitTest, DestroyingAViewClosesItButLeavesTheSegmentAndItsContents) {
  { FuncInfoProduct warm; }  // whatever the lock keeps open for the name stays open
  const std::size_t descriptorsBefore = openDescriptors();
  {
    FuncInfoProduct view;
    ASSERT_TRUE(sysdata::RecordAccess::isMapped(view));
    ASSERT_TRUE(standin::host_records::setCameraHd(9));
  }
  EXPECT_EQ(openDescriptors(), descriptorsBefore);
  const std::vector<std::string> segments = standin::testing::SimSegments();
  EXPECT_NE(std::find(segments.begin(), segments.end(), shmName("FuncInfoProduct").substr(1)), segments.end());
  FuncInfoProduct again;
  EXPECT_EQ(sysdata::cameraHd(again), 9);
}

struct NameCase {
  const char* label;
  std::string name;
  bool isNull;
  bool accepted;
  const char* message;  // for a rejected name
};

TEST_F(SimUnitTest, NameChecks) {
  const std::vector<NameCase> cases = {
      {"248 characters", std::string(248, 'n'), false, true, nullptr},
      {"249 characters", std::string(249, 'n'), false, false,
       "TqSharedMemory Failed. Error. Name is over the length.\n"},
      {"null", std::string(), true, false, "TqSharedMemory Failed. Error. Name is NULL.\n"},
      {"empty", std::string(), false, false, "TqSharedMemory Failed. Error. Name is nothing.\n"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::size_t segmentsBefore = standin::testing::SimSegments().size();
    standin::testing::ScopedLogCapture log;
    {
      TestSegment seg(c.isNull ? nullptr : c.name.c_str());
      EXPECT_EQ(sysdata::RecordAccess::isMapped(seg), c.accepted);
      EXPECT_EQ(seg.record() != nullptr, c.accepted);
      if (!c.accepted) {
        EXPECT_EQ(seg.descriptor(), -1);
      }
    }
    const auto records = log.records();
    if (c.accepted) {
      EXPECT_TRUE(records.empty()) << records.front().message;
      EXPECT_EQ(standin::testing::SimSegments().size(), segmentsBefore + 1);
    } else {
      ASSERT_EQ(records.size(), 1u);
      EXPECT_EQ(records[0].message, c.message);
      EXPECT_EQ(records[0].function, "TqSharedMemory");
      EXPECT_EQ(records[0].tag, 1);
      EXPECT_EQ(standin::testing::SimSegments().size(), segmentsBefore) << "nothing was opened";
    }
  }
}

struct ShortCase {
  const char* label;
  off_t existingSize;
};

// A creator that died between creating and sizing its segment leaves it
// shorter than the record; the next opener extends it before mapping (a
// short mapping faults on first touch), keeps what is there and never
// shrinks a longer one.
TEST_F(SimUnitTest, ShortSegmentIsExtendedNeverShrunkNorCleared) {
  const std::vector<ShortCase> cases = {
      {"empty (died before sizing)", 0},
      {"a few bytes", 10},
      {"one byte short", static_cast<off_t>(TestSegment::kSegmentSize) - 1},
      {"longer than the record", static_cast<off_t>(TestSegment::kSegmentSize) + 50},
  };
  int n = 0;
  for (const ShortCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = "H2Short" + std::to_string(n++);
    const int fd = ::shm_open(hostName(name).c_str(), O_CREAT | O_EXCL | O_RDWR, 0664);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::ftruncate(fd, c.existingSize), 0);
    std::vector<unsigned char> existing(static_cast<std::size_t>(c.existingSize));
    for (std::size_t i = 0; i < existing.size(); ++i) existing[i] = static_cast<unsigned char>(0x80 + (i % 64));
    if (!existing.empty()) {
      ASSERT_EQ(::pwrite(fd, existing.data(), existing.size(), 0), static_cast<ssize_t>(existing.size()));
    }
    ::close(fd);

    const int child = inChild([&] {
      TestSegment seg(name.c_str());
      if (!sysdata::RecordAccess::isMapped(seg) || seg.wasCreated()) return 1;
      TqSyncGuard guard(seg);
      // Touch the whole record: a short mapping would fault here.
      unsigned sum = 0;
      for (unsigned char b : seg.record()->bytes) sum += b;
      (void)sum;
      return 0;
    });
    ASSERT_EQ(child, 0) << "the opener crashed or did not map";

    const off_t expectedSize = std::max(c.existingSize, static_cast<off_t>(TestSegment::kSegmentSize));
    EXPECT_EQ(segmentSize(name), expectedSize);
    const std::string bytes = sysdata_test::readFile(devShmPath(name));
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(expectedSize));
    EXPECT_EQ(sizeWord(name), 100u);
    for (std::size_t i = 4; i < bytes.size(); ++i) {
      const unsigned char want = i < existing.size() ? existing[i] : 0;
      if (static_cast<unsigned char>(bytes[i]) != want) {
        ADD_FAILURE() << "byte " << i << " is " << int(static_cast<unsigned char>(bytes[i])) << ", want "
                      << int(want);
        break;
      }
    }
  }
}

struct ReserveCase {
  const char* label;
  off_t existingSize;  // -1: no segment yet, the view creates it
  bool mapped;
};

// Pages that cannot be had make a failed mapping, never a SIGBUS at the
// first touch. A file-size limit below the segment's size makes the kernel
// refuse to back the pages, as a full /dev/shm does; a segment that already
// has its size needs no new pages and maps.
TEST_F(SimUnitTest, SegmentWhosePagesCannotBeReservedIsAFailedMapping) {
  const std::vector<ReserveCase> cases = {
      {"created", -1, false},
      {"left short by a dead creator", 10, false},
      {"already full size", static_cast<off_t>(TestSegment::kSegmentSize), true},
  };
  int n = 0;
  for (const ReserveCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = "H2Reserve" + std::to_string(n++);
    if (c.existingSize >= 0) {
      const int fd = ::shm_open(hostName(name).c_str(), O_CREAT | O_EXCL | O_RDWR, 0664);
      ASSERT_GE(fd, 0) << std::strerror(errno);
      ASSERT_EQ(::ftruncate(fd, c.existingSize), 0);
      ::close(fd);
    }
    const int child = inChild([&] {
      ::signal(SIGXFSZ, SIG_IGN);
      const struct rlimit limit = {8, 8};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 9;
      standin::testing::ScopedLogCapture log;
      TestSegment seg(name.c_str());
      if (sysdata::RecordAccess::isMapped(seg) != c.mapped) return 1;
      if ((seg.record() != nullptr) != c.mapped) return 2;
      if (c.mapped) {
        TqSyncGuard guard(seg);
        unsigned sum = 0;
        for (unsigned char b : seg.record()->bytes) sum += b;
        return sum == 0 ? 0 : 3;
      }
      // Logged in the form that carries the system's reason.
      for (const auto& record : log.records()) {
        if (record.message == "posix_fallocate error\n" && record.tag == -1) return 0;
      }
      return 4;
    });
    EXPECT_EQ(child, 0) << "exit code; 107 is SIGBUS, 4 a missing log line";
  }
}

// The same through a real view: "SystemInfo" left at 20 bytes still holds
// the model and destination; the view extends it, keeps them and initialises.
TEST_F(SimUnitTest, ViewOverAShortSystemInfoKeepsItsBytes) {
  const int fd = ::shm_open("/SystemInfo", O_RDWR, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 20), 0);
  ::close(fd);

  const int child = inChild([] {
    SystemInformation info;
    if (!sysdata::RecordAccess::isMapped(info)) return 1;
    if (info.getModel() != SystemDef::SYS_INFO_MODEL_6) return 2;
    if (info.getDestination() != SystemDef::SYS_INFO_DESTINATION_5) return 3;
    if (sysdata::readU8(info, record_layout::kSysInfoInitialised) != 1) return 4;
    return 0;
  });
  EXPECT_EQ(child, 0) << "exit code; 107 is SIGBUS";
  EXPECT_EQ(segmentSize("SystemInfo"), 572);
}

// ---- "SystemInfo" first initialisation ----

TEST_F(SimUnitTest, SystemInfoIsInitialisedOnceAndNeverAgain) {
  const std::string before = sysdata_test::readFile(devShmPath("SystemInfo"));
  ASSERT_EQ(before.size(), 572u);
  ASSERT_EQ(before[4 + record_layout::kSysInfoInitialised], 0) << "the host's fill does not initialise";

  { SystemInformation info; }
  std::string after = sysdata_test::readFile(devShmPath("SystemInfo"));
  for (std::size_t i = 4; i < after.size(); ++i) {
    const std::size_t offset = i - 4;
    char want = before[i];
    for (std::size_t field : record_layout::kSysInfoTextFields) {
      if (offset == field) want = '-';
    }
    if (offset == record_layout::kSysInfoInitialised) want = 1;
    EXPECT_EQ(after[i], want) << "record offset " << offset;
  }

  // The host empties a text field; mapping again, by a view or by the
  // view of another kind, leaves it empty.
  {
    TestSegment raw("SystemInfo");  // same segment seen as bytes
    ASSERT_TRUE(sysdata::RecordAccess::isMapped(raw));
    TqSyncGuard guard(raw);
    raw.recordBytes()[record_layout::kSysInfoTextFields[3]] = 0;
  }
  {
    SystemInformation info;
    SystemInformation another;
    EXPECT_EQ(info.getModel(), SystemDef::SYS_INFO_MODEL_6);
    EXPECT_EQ(info.getDestination(), SystemDef::SYS_INFO_DESTINATION_5);
  }
  after = sysdata_test::readFile(devShmPath("SystemInfo"));
  EXPECT_EQ(after[4 + record_layout::kSysInfoTextFields[3]], 0);
  EXPECT_EQ(after[4 + record_layout::kSysInfoTextFields[0]], '-');
}

TEST_F(SimUnitTest, SystemInfoCreatedByTheViewItselfIsInitialised) {
  ::shm_unlink("/SystemInfo");
  SystemInformation info;
  ASSERT_TRUE(sysdata::RecordAccess::isMapped(info));
  for (std::size_t field : record_layout::kSysInfoTextFields) {
    EXPECT_EQ(sysdata::readU8(info, field), '-') << "field at " << field;
  }
  EXPECT_EQ(sysdata::readU8(info, record_layout::kSysInfoInitialised), 1);
  EXPECT_EQ(info.getModel(), 0);
  EXPECT_EQ(info.getDestination(), 0);
}

// ---- views over their records ----

TEST_F(SimUnitTest, ViewsReadTheHostRecords) {
  unit.setPair(SystemDef::SYS_INFO_MODEL_16, SystemDef::SYS_INFO_DESTINATION_8);
  unit.setLangSetCode(0x12345678u);
  unit.setDemoUserInit(0);
  unit.setCameraHd(3);
  SystemInformation info;
  EXPECT_EQ(info.getModel(), SystemDef::SYS_INFO_MODEL_16);
  EXPECT_EQ(info.getDestination(), SystemDef::SYS_INFO_DESTINATION_8);
  SysDataInformation dirs;
  ASSERT_NE(dirs.getSaveFileDir(), nullptr);
  EXPECT_STREQ(dirs.getSaveFileDir(), SimUnit::kSaveDir);
  EXPECT_EQ(sysdata::calibrationDir(dirs), SimUnit::kCalibrationDir);
  FuncInfoSharedMem func;
  EXPECT_EQ(sysdata::langSetCode(func), 0x12345678u);
  EXPECT_EQ(sysdata::customizeFileName(func), SimUnit::kCustomizeFileName);
  EXPECT_EQ(sysdata::demoUserInit(func), 0);
  FuncInfoProduct product;
  EXPECT_EQ(sysdata::cameraHd(product), 3);
  SysDataDefault defaults;
  EXPECT_TRUE(sysdata::RecordAccess::isMapped(defaults));
}

TEST_F(SimUnitTest, ModelAndDestinationAreLittleEndianWords) {
  ASSERT_TRUE(standin::host_records::setPair(SystemDef::SYS_INFO_MODEL_12, SystemDef::SYS_INFO_DESTINATION_13));
  {
    SystemInformation info;
    EXPECT_EQ(info.getModel(), SystemDef::SYS_INFO_MODEL_12);
    EXPECT_EQ(info.getDestination(), SystemDef::SYS_INFO_DESTINATION_13);
  }
  const std::string bytes = sysdata_test::readFile(devShmPath("SystemInfo"));
  const unsigned char* rec = reinterpret_cast<const unsigned char*>(bytes.data()) + 4;
  EXPECT_EQ(std::vector<int>(rec + 8, rec + 16), (std::vector<int>{12, 0, 0, 0, 13, 0, 0, 0}));
}

// A directory without its terminator inside its own field is not handed out:
// a reader would run into the next field or off the record.
TEST_F(SimUnitTest, DirectoryWithoutTerminatorInItsFieldIsNotServed) {
  {
    SysDataInformation dirs;
    std::vector<unsigned char> full(record_layout::kCalibrationDir, 'a');
    ASSERT_TRUE(sysdata::RecordAccess::write(dirs, record_layout::kSaveFileDir, full.data(), full.size()));
    EXPECT_EQ(dirs.getSaveFileDir(), nullptr);
    EXPECT_EQ(sysdata::calibrationDir(dirs), SimUnit::kCalibrationDir);

    // The save-file directory as the library's own reads see it.
    EXPECT_EQ(sysdata::saveFileDir(dirs), "");

    // The calibration directory's field runs to the end of the record: its
    // text is served when it ends there, not when it fills the field.
    std::vector<unsigned char> tail(sizeof(SysDataInfoStruct) - record_layout::kCalibrationDir, 'b');
    tail.back() = 0;
    ASSERT_TRUE(sysdata::RecordAccess::write(dirs, record_layout::kCalibrationDir, tail.data(), tail.size()));
    EXPECT_EQ(sysdata::calibrationDir(dirs), std::string(tail.size() - 1, 'b'));
    tail.back() = 'b';
    ASSERT_TRUE(sysdata::RecordAccess::write(dirs, record_layout::kCalibrationDir, tail.data(), tail.size()));
    EXPECT_EQ(sysdata::calibrationDir(dirs), "");
  }
  SysDataInformation dirs;
  EXPECT_FALSE(standin::host_records::setSaveFileDir(std::string(record_layout::kCalibrationDir, 'c').c_str()))
      << "a directory that would overrun its field is refused";
  EXPECT_TRUE(standin::host_records::setSaveFileDir(std::string(record_layout::kCalibrationDir - 1, 'c').c_str()));
  ASSERT_NE(dirs.getSaveFileDir(), nullptr);
  EXPECT_EQ(std::strlen(dirs.getSaveFileDir()), record_layout::kCalibrationDir - 1);
}

TEST_F(SimUnitTest, UnmappedViewsAnswerSafely) {
  UnopenableSegment sys("SystemInfo");
  UnopenableSegment dirs("SysDataInfo");
  UnopenableSegment func("FuncInfo");
  UnopenableSegment product("FuncInfoProduct");
  UnopenableSegment defaults("SysDataDefault");
  ASSERT_TRUE(sys.made() && dirs.made() && func.made() && product.made() && defaults.made());

  // The host's writers fail too.
  EXPECT_FALSE(standin::host_records::setPair(SystemDef::SYS_INFO_MODEL_1, SystemDef::SYS_INFO_DESTINATION_3));
  EXPECT_FALSE(standin::host_records::setSaveFileDir("/x"));
  EXPECT_FALSE(standin::host_records::setDemoUserInit(1));

  standin::testing::ScopedLogCapture log;
  SystemInformation info;
  EXPECT_FALSE(sysdata::RecordAccess::isMapped(info));
  EXPECT_EQ(info.getModel(), SystemDef::SYS_INFO_MODEL_UNKNOWN);
  EXPECT_EQ(info.getDestination(), SystemDef::SYS_INFO_DESTINATION_UNKNOWN);

  SysDataInformation dirView;
  EXPECT_EQ(dirView.getSaveFileDir(), nullptr);
  EXPECT_EQ(sysdata::calibrationDir(dirView), "");

  FuncInfoSharedMem funcView;
  EXPECT_EQ(sysdata::langSetCode(funcView), 0u);
  EXPECT_EQ(sysdata::customizeFileName(funcView), "");
  EXPECT_EQ(sysdata::demoUserInit(funcView), 0);
  EXPECT_FALSE(sysdata::RecordAccess::write(funcView, record_layout::kDemoUserInit, "\1", 1));

  FuncInfoProduct productView;
  EXPECT_EQ(sysdata::cameraHd(productView), 0);

  SysDataDefault defaultView;
  EXPECT_FALSE(sysdata::RecordAccess::isMapped(defaultView));
  EXPECT_EQ(sysdata::RecordAccess::bytes(defaultView), nullptr);
  unsigned char buf[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_FALSE(sysdata::RecordAccess::read(defaultView, 0, buf, sizeof(buf)));
  EXPECT_EQ(std::vector<int>(buf, buf + 8), std::vector<int>(8, 0));

  const auto records = log.records();
  ASSERT_EQ(records.size(), 5u) << "one report per view";
  for (const auto& r : records) {
    EXPECT_EQ(r.message, "shm_open error\n");
    EXPECT_EQ(r.tag, -1) << "the system-call form";
  }
}

}  // namespace
