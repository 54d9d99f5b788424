#include "tests/support/SimUnit.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "TqFramework/SharedMemory/TqSharedMemory.h"
#include "core/SystemRecords.h"
#include "core/LittleEndian.h"
#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/StoreControl.h"

namespace sysdata_test {
namespace {

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

void makeDirs(const std::string& path) {
  std::string partial;
  std::stringstream in(path);
  std::string part;
  if (!path.empty() && path[0] == '/') partial = "";
  while (std::getline(in, part, '/')) {
    if (part.empty()) continue;
    partial += "/" + part;
    ::mkdir(partial.c_str(), 0755);
  }
}

// Writes bytes into a record through the segment template directly, so the
// fixture does not depend on the views it helps to test.
template <class T>
void writeRecord(const char* segment, std::size_t offset, const void* data, std::size_t size) {
  TqSharedMemory<T, 1> shm(segment);
  ASSERT_NE(shm.recordBytes(), nullptr) << segment;
  TqSyncGuard guard(shm);
  std::memcpy(shm.recordBytes() + offset, data, size);
}

template <class T>
void writeText(const char* segment, std::size_t offset, const char* text) {
  writeRecord<T>(segment, offset, text, std::strlen(text) + 1);
}

}  // namespace

SimUnit::SimUnit(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination) {
  const char* base = std::getenv("SYSDATA_TEST_TMP");
  std::string parent = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  makeDirs(parent);
  std::string pattern = parent + "/unit-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const char* made = ::mkdtemp(buf.data());
  if (made == nullptr) {
    ADD_FAILURE() << "mkdtemp failed under " << parent;
    return;
  }
  root_ = made;
  TqSimSetRoot(root_.c_str());
  // A fresh namespace may still hold segments of an earlier unit whose root
  // hashed alike; start clean.
  standin::testing::RemoveSimSegments();
  makeDirs(root_ + kSaveDir);
  makeDirs(root_ + kCalibrationDir);
  setSaveFileDir(kSaveDir);
  setCalibrationDir(kCalibrationDir);
  setPair(model, destination);
  setCustomizeFileName(kCustomizeFileName);
  setLangSetCode(0);
  setDemoUserInit(1);
  setCameraHd(0);
}

SimUnit::~SimUnit() {
  // Singletons hold file objects of this unit; end them with the unit.
  TqSingletonFinalizer::runDestroyFuncs();
  standin::testing::RemoveSimSegments();
  standin::testing::ClearCreationFailures();
  if (!root_.empty()) removeTree(root_);
  TqSimSetRoot("");
}

std::string SimUnit::disk(const std::string& hostPath) const { return root_ + hostPath; }
std::string SimUnit::saveFile(const std::string& name) const { return root_ + kSaveDir + "/" + name; }
std::string SimUnit::calibrationFile() const {
  return root_ + kCalibrationDir + "/AirGestureCalibration.ini";
}
std::string SimUnit::makeDir(const std::string& relative) const {
  const std::string path = root_ + "/" + relative;
  makeDirs(path);
  return path;
}
std::string SimUnit::makeSyslog() const { return makeDir("Syslog"); }

void SimUnit::setPair(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination) {
  unsigned char b[8];
  sysdata::storeI32(b, model);
  sysdata::storeI32(b + 4, destination);
  writeRecord<SysInfoStruct>("SystemInfo", record_layout::kSysInfoModel, b, 8);
}
void SimUnit::setLangSetCode(std::uint32_t code) {
  unsigned char b[4];
  sysdata::storeU32(b, code);
  writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kLangSetCode, b, 4);
}
void SimUnit::setCustomizeFileName(const char* name) {
  writeText<FuncInfoStruct>("FuncInfo", record_layout::kCustomizeFileName, name);
}
void SimUnit::setDemoUserInit(std::uint8_t value) {
  writeRecord<FuncInfoStruct>("FuncInfo", record_layout::kDemoUserInit, &value, 1);
}
void SimUnit::setCameraHd(std::uint8_t value) {
  writeRecord<FuncInfoProductStruct>("FuncInfoProduct", record_layout::kCameraHd, &value, 1);
}
void SimUnit::setSaveFileDir(const char* dir) {
  writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kSaveFileDir, dir);
}
void SimUnit::setCalibrationDir(const char* dir) {
  writeText<SysDataInfoStruct>("SysDataInfo", record_layout::kCalibrationDir, dir);
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::vector<std::pair<std::string, std::string>> readKeyFile(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> rows;
  std::istringstream in(readFile(path));
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    rows.emplace_back(line.substr(0, eq), line.substr(eq + 1));
  }
  return rows;
}

std::string keyValue(const std::string& path, const std::string& key) {
  for (const auto& row : readKeyFile(path)) {
    if (row.first == key) return row.second;
  }
  return "<missing>";
}

}  // namespace sysdata_test
