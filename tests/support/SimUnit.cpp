#include "tests/support/SimUnit.h"

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

#include "standin/testing/StoreControl.h"

namespace sysdata_test {
namespace {

// A fatal failure, as an assertion in a helper gives, where a constructor
// cannot hold one.
void failFatally(const std::string& what) { FAIL() << what; }

}  // namespace

SimUnit::SimUnit(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination) {
  const char* base = std::getenv("SYSDATA_TEST_TMP");
  const std::string parent = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  root_ = openUnitRoot(parent, "unit-");
  if (root_.empty()) {
    ADD_FAILURE() << "mkdtemp failed under " << parent;
    return;
  }
  if (!bootUnitRecords(root_, model, destination)) failFatally("cannot map the host records of " + root_);
}

SimUnit::~SimUnit() {
  closeUnitRoot(root_);
  // Injected creation failures belong to the test that made them.
  standin::testing::ClearCreationFailures();
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
  if (!host_records::setPair(model, destination)) FAIL() << "cannot map SystemInfo";
}
void SimUnit::setLangSetCode(std::uint32_t code) {
  if (!host_records::setLangSetCode(code)) FAIL() << "cannot map FuncInfo";
}
void SimUnit::setCustomizeFileName(const char* name) {
  if (!host_records::setCustomizeFileName(name)) FAIL() << "cannot map FuncInfo";
}
void SimUnit::setDemoUserInit(std::uint8_t value) {
  if (!host_records::setDemoUserInit(value)) FAIL() << "cannot map FuncInfo";
}
void SimUnit::setCameraHd(std::uint8_t value) {
  if (!host_records::setCameraHd(value)) FAIL() << "cannot map FuncInfoProduct";
}
void SimUnit::setSaveFileDir(const char* dir) {
  if (!host_records::setSaveFileDir(dir)) FAIL() << "cannot map SysDataInfo";
}
void SimUnit::setCalibrationDir(const char* dir) {
  if (!host_records::setCalibrationDir(dir)) FAIL() << "cannot map SysDataInfo";
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
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
