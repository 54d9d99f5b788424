#include "tests/support/UnitFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TqFramework/SharedMemory/TqSharedMemory.h"
#include "core/LittleEndian.h"
#include "core/SystemRecords.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/StoreControl.h"

namespace sysdata_test {
namespace {

template <class T>
bool writeRecord(const char* segment, std::size_t offset, const void* data, std::size_t size) {
  TqSharedMemory<T, 1> shm(segment);
  if (shm.recordBytes() == nullptr) return false;
  TqSyncGuard guard(shm);
  std::memcpy(shm.recordBytes() + offset, data, size);
  return true;
}

template <class T>
bool writeText(const char* segment, std::size_t offset, const char* text) {
  return writeRecord<T>(segment, offset, text, std::strlen(text) + 1);
}

}  // namespace

void makeDirs(const std::string& path) {
  // Every prefix that ends before a slash, then the whole path.
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string partial = path.substr(0, slash);
    if (!partial.empty()) ::mkdir(partial.c_str(), 0755);
    if (slash == std::string::npos) break;
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
    if (n < 0 && errno == EINTR) continue;
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
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

std::string openUnitRoot(const std::string& parent, const std::string& prefix) {
  makeDirs(parent);
  const std::string pattern = parent + "/" + prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) return std::string();
  const std::string root = buf.data();
  TqSimSetRoot(root.c_str());
  // A fresh namespace may still hold segments of an earlier unit whose root
  // hashed alike; start clean.
  standin::testing::RemoveSimSegments();
  return root;
}

void closeUnitRoot(const std::string& root) {
  TqSingletonFinalizer::runDestroyFuncs();
  standin::testing::RemoveSimSegments();
  if (!root.empty()) removeTree(root);
  TqSimSetRoot("");
}

bool bootUnitRecords(const std::string& root, SystemDef::SYS_INFO_MODEL model,
                     SystemDef::SYS_INFO_DESTINATION destination) {
  makeDirs(root + kUnitSaveDir);
  makeDirs(root + kUnitCalibrationDir);
  return host_records::setSaveFileDir(kUnitSaveDir) && host_records::setCalibrationDir(kUnitCalibrationDir) &&
         host_records::setPair(model, destination) && host_records::setCustomizeFileName(kUnitCustomizeFileName) &&
         host_records::setLangSetCode(0) && host_records::setDemoUserInit(1) && host_records::setCameraHd(0);
}

namespace host_records {

bool setPair(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination) {
  unsigned char b[8];
  sysdata::storeI32(b, model);
  sysdata::storeI32(b + 4, destination);
  return writeRecord<SysInfoStruct>("SystemInfo", record_layout::kSysInfoModel, b, 8);
}
bool setLangSetCode(std::uint32_t code) {
  unsigned char b[4];
  sysdata::storeU32(b, code);
  return writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kLangSetCode, b, 4);
}
bool setCustomizeFileName(const char* name) {
  return writeText<FuncInfoStruct>("FuncInfo", record_layout::kCustomizeFileName, name);
}
bool setDemoUserInit(std::uint8_t value) {
  return writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kDemoUserInit, &value, 1);
}
bool setCameraHd(std::uint8_t value) {
  return writeRecord<FuncInfoProductStruct>("FuncInfoProduct", record_layout::kCameraHd, &value, 1);
}
bool setSaveFileDir(const char* dir) {
  return writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kSaveFileDir, dir);
}
bool setCalibrationDir(const char* dir) {
  return writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kCalibrationDir, dir);
}

}  // namespace host_records
}  // namespace sysdata_test
