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

#include "platform/TqSimulation.h"
#include "platform/TqSingletonFinalizer.h"
#include "standin/testing/StoreControl.h"

namespace sysdata_test {

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
  // The stand-in claims a namespace of segments of its own for the root at
  // the first segment use; nothing of an earlier unit is in it.
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

}  // namespace sysdata_test
