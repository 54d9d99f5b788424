#include "bench/BenchUnit.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TqFramework/SharedMemory/TqSharedMemory.h"
#include "core/LittleEndian.h"
#include "core/SystemRecords.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/StoreControl.h"

namespace sysdata_bench {
namespace {

template <class T>
void writeRecord(const char* segment, std::size_t offset, const void* data, std::size_t size) {
  TqSharedMemory<T, 1> shm(segment);
  if (shm.recordBytes() == nullptr) {
    std::fprintf(stderr, "cannot map %s\n", segment);
    std::abort();
  }
  TqSyncGuard guard(shm);
  std::memcpy(shm.recordBytes() + offset, data, size);
}

template <class T>
void writeText(const char* segment, std::size_t offset, const char* text) {
  writeRecord<T>(segment, offset, text, std::strlen(text) + 1);
}

}  // namespace

void makeDirs(const std::string& path) {
  std::string partial;
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    if (slash > pos) {
      partial += "/" + path.substr(pos, slash - pos);
      ::mkdir(partial.c_str(), 0755);
    }
    pos = slash + 1;
  }
}

void removeTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        removeTree(path + "/" + entry->d_name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

std::string readFile(const std::string& path) {
  std::string out;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

void writeFile(const std::string& path, const std::string& content) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

void replaceFile(const std::string& path, const std::string& content) {
  const std::string temp = path + ".bench-tmp";
  writeFile(temp, content);
  ::rename(temp.c_str(), path.c_str());
}

BenchUnit::BenchUnit() {
  const char* base = std::getenv("SYSDATA_BENCH_TMP");
  const std::string parent = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  makeDirs(parent);
  std::string pattern = parent + "/bench-unit-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const char* made = ::mkdtemp(buf.data());
  if (made == nullptr) {
    std::fprintf(stderr, "mkdtemp failed under %s\n", parent.c_str());
    return;
  }
  root_ = made;
  TqSimSetRoot(root_.c_str());
  standin::testing::RemoveSimSegments();
  makeDirs(root_ + kSaveDir);
  makeDirs(root_ + kCalibrationDir);
  writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kSaveFileDir, kSaveDir);
  writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kCalibrationDir, kCalibrationDir);
  unsigned char pair[8];
  sysdata::storeI32(pair, SystemDef::SYS_INFO_MODEL_6);
  sysdata::storeI32(pair + 4, SystemDef::SYS_INFO_DESTINATION_5);
  writeRecord<SysInfoStruct>("SystemInfo", record_layout::kSysInfoModel, pair, 8);
  writeText<FuncInfoStruct>("FuncInfo", record_layout::kCustomizeFileName, kCustomizeFileName);
  const unsigned char langSetCode[4] = {0, 0, 0, 0};
  writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kLangSetCode, langSetCode, 4);
  const unsigned char demoUserInit = 1;
  writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kDemoUserInit, &demoUserInit, 1);
  const unsigned char cameraHd = 0;
  writeRecord<FuncInfoProductStruct>("FuncInfoProduct", record_layout::kCameraHd, &cameraHd, 1);
}

BenchUnit::~BenchUnit() {
  TqSingletonFinalizer::runDestroyFuncs();
  standin::testing::RemoveSimSegments();
  if (!root_.empty()) removeTree(root_);
  TqSimSetRoot("");
}

std::string BenchUnit::makeDir(const std::string& relative) const {
  const std::string path = root_ + "/" + relative;
  makeDirs(path);
  return path;
}

}  // namespace sysdata_bench
