#include "fuzz/FuzzUnit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "core/SysDataFactory.h"
#include "core/SysDataProductFactory.h"
#include "standin/testing/HostCalls.h"
#include "standin/testing/HostRecords.h"
#include "standin/FileSystem.h"
#include "standin/testing/MemFileSystem.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/UnitFiles.h"
#include "util/SysDataUtilProduct.h"

namespace sysdata_fuzz {
namespace {

using sysdata_test::removeTree;

// True when path is absolute and has no empty, "." or ".." component: it is
// its own normal form.
bool isNormal(const std::string& path) {
  if (path.empty() || path[0] != '/' || (path.size() > 1 && path.back() == '/')) return path == "/";
  for (std::size_t at = 0; at < path.size(); at = path.find('/', at + 1)) {
    const std::size_t next = path.find('/', at + 1);
    const std::size_t length = (next == std::string::npos ? path.size() : next) - at - 1;
    if (length == 0 || (length == 1 && path[at + 1] == '.') ||
        (length == 2 && path[at + 1] == '.' && path[at + 2] == '.')) {
      return false;
    }
    if (next == std::string::npos) break;
  }
  return true;
}

// "a//b/./c/../d" -> "a/b/d", lexically, so that a prefix test cannot be
// fooled by dots.
std::string normalise(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(pos, slash - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    pos = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

// The unit's files: in memory, where a durable write costs no disk sync, so
// that an input costs what the library does with it and not what the disk
// does.
standin::testing::MemFileSystem& memory() {
  static standin::testing::MemFileSystem* const fs = new standin::testing::MemFileSystem();
  return *fs;
}

// Passes every call to the memory file system; refuses, by ending the
// process, any change outside the allowed directories.
class GuardFileSystem final : public standin::FileSystem {
 public:
  void allow(const std::vector<std::string>& diskDirs) {
    std::lock_guard<std::mutex> lock(mutex_);
    allowed_.clear();
    for (const std::string& d : diskDirs) allowed_.push_back(normalise(d) + "/");
  }

  int Open(const std::string& path, int flags, unsigned int mode) override {
    const bool changes = (flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_ACCMODE) != O_RDONLY;
    if (changes) check("open for writing", path);
    return base()->Open(path, flags, mode);
  }
  int Close(int fd) override { return base()->Close(fd); }
  long long Read(int fd, void* buf, std::size_t size) override { return base()->Read(fd, buf, size); }
  long long Write(int fd, const void* data, std::size_t size) override { return base()->Write(fd, data, size); }
  long long Seek(int fd, long long offset, int whence) override { return base()->Seek(fd, offset, whence); }
  int Sync(int fd) override { return base()->Sync(fd); }
  int SyncDir(const std::string& dir) override { return base()->SyncDir(dir); }
  int Rename(const std::string& from, const std::string& to) override {
    check("rename from", from);
    check("rename to", to);
    return base()->Rename(from, to);
  }
  int Unlink(const std::string& path) override {
    check("unlink", path);
    return base()->Unlink(path);
  }
  int Truncate(int fd, long long size) override { return base()->Truncate(fd, size); }
  int Mkdir(const std::string& path, unsigned int mode) override {
    check("mkdir", path);
    return base()->Mkdir(path, mode);
  }
  int Stat(const std::string& path, struct stat* st) override { return base()->Stat(path, st); }
  int Fstat(int fd, struct stat* st) override { return base()->Fstat(fd, st); }
  int Lock(int fd) override { return base()->Lock(fd); }
  int Unlock(int fd) override { return base()->Unlock(fd); }
  int SetBlocking(int fd) override { return base()->SetBlocking(fd); }
  int ListDir(const std::string& dir, std::vector<std::string>* names) override {
    return base()->ListDir(dir, names);
  }
  FileSystem* Untracked() override { return base(); }

 private:
  static standin::FileSystem* base() { return &memory(); }

  void check(const char* what, const std::string& path) {
    // Every path the stand-in makes is already normal: no copy is made.
    std::string normalised;
    if (!isNormal(path)) normalised = normalise(path);
    const std::string& n = normalised.empty() ? path : normalised;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& a : allowed_) {
      // Beneath a, or a itself (a ends in '/').
      if (n.compare(0, a.size(), a) == 0 || (n.size() + 1 == a.size() && a.compare(0, n.size(), n) == 0)) return;
    }
    fail(std::string("the library changed a file outside its directories: ") + what + " " + path);
  }

  std::mutex mutex_;
  std::vector<std::string> allowed_;
};

GuardFileSystem& guard() {
  static GuardFileSystem* const fs = new GuardFileSystem();
  return *fs;
}

std::string g_root;

// The framework's lock files and the store's ".<name>.lock" files: made on
// first use and kept open by their owners for the life of the process, they
// are not the unit's content.
bool isLockFile(const std::string& path) {
  if (path.find("/.tqlocks/") != std::string::npos) return true;
  const std::size_t slash = path.rfind('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.size() - name > 6 && path[name] == '.' && path.compare(path.size() - 5, 5, ".lock") == 0;
}

void teardown() {
  standin::SetFileSystem(nullptr);
  sysdata_test::closeUnitRoot(g_root);
}

}  // namespace

void fail(const std::string& what) {
  std::fprintf(stderr, "\nFUZZ PROPERTY VIOLATED: %s\n", what.c_str());
  std::fflush(stderr);
  // Leave nothing behind but the report.
  standin::SetFileSystem(nullptr);
  standin::testing::RemoveSimSegments();
  if (!g_root.empty()) removeTree(g_root);
  std::abort();
}

bool keyFileWhole(const std::string& text, std::string* why) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t lf = text.find('\n', pos);
    if (lf == std::string::npos) {
      *why = "last line has no line feed";
      return false;
    }
    const std::size_t eq = text.find('=', pos);
    if (eq == std::string::npos || eq == pos || eq > lf) {
      *why = "line without key: \"" + text.substr(pos, lf - pos) + "\"";
      return false;
    }
    pos = lf + 1;
  }
  return true;
}

FuzzUnit& FuzzUnit::get() {
  static FuzzUnit* const unit = new FuzzUnit();
  return *unit;
}

FuzzUnit::FuzzUnit() {
  const char* base = std::getenv("SYSDATA_TEST_TMP");
  if (base == nullptr || base[0] == '\0') base = std::getenv("TMPDIR");
  const std::string parent = (base != nullptr && base[0] != '\0') ? base : "/tmp";
  root_ = sysdata_test::openUnitRoot(parent, "fuzz-");
  if (root_.empty()) fail("cannot make a unit directory under " + parent);
  g_root = root_;
  std::atexit(teardown);
  // The root stays on disk (the segment namespace is claimed for it); what
  // lies beneath it lives in memory.
  for (const char* dir : {kSaveDir, kCalibrationDir, "/Syslog", "/media/usb", "/media/usb/sub"}) {
    if (!memory().MakeDirs(root_ + dir)) fail(std::string("cannot make ") + dir);
  }
  // In place before the stand-in opens its first file (the records' lock
  // files): a descriptor of one file system means nothing to the other.
  guard().allow({root_});
  standin::SetFileSystem(&guard());

  namespace records = standin::host_records;
  records::setPair(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);
  records::setSaveFileDir(kSaveDir);
  records::setCalibrationDir(kCalibrationDir);
  records::setCustomizeFileName(kCustomizeFileName);
  records::setLangSetCode(0);
  records::setDemoUserInit(1);
  records::setCameraHd(0);
  SysDataUtilProduct().initSysDataDefault(SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_5);

  // Caution images a dealer file may name.
  writeHostFile("/media/usb/logo.png", std::string("\x89PNG\r\n\x1a\n logo", 14));
  writeHostFile("/media/usb/Logo.PNG", std::string("\x89PNG\r\n\x1a\n LOGO", 14));
  writeHostFile("/media/usb/a b.png", std::string("\x89PNG\r\n\x1a\n space", 15));
  writeHostFile("/media/usb/sub/inner.png", std::string("\x89PNG\r\n\x1a\n inner", 15));

  allowWrites({});
  baseline_ = memory().FilesNow(root_);
  for (auto it = baseline_.begin(); it != baseline_.end();) {
    it = isLockFile(it->first) ? baseline_.erase(it) : std::next(it);
  }
}

void FuzzUnit::allowWrites(const std::vector<std::string>& hostDirs) {
  std::vector<std::string> dirs = {root_ + "/.tqlocks"};
  for (const std::string& d : hostDirs) dirs.push_back(root_ + d);
  guard().allow(dirs);
}

void FuzzUnit::setLangSetCode(std::uint32_t code) { standin::host_records::setLangSetCode(code); }
void FuzzUnit::setDemoUserInit(std::uint8_t value) { standin::host_records::setDemoUserInit(value); }
void FuzzUnit::setCameraHd(std::uint8_t value) { standin::host_records::setCameraHd(value); }

void FuzzUnit::writeHostFile(const std::string& hostPath, const std::uint8_t* data, std::size_t size) const {
  const std::string path = disk(hostPath);
  if (!memory().PutFile(path, std::string(reinterpret_cast<const char*>(data), size))) fail("cannot write " + path);
}

void FuzzUnit::writeHostFile(const std::string& hostPath, const std::string& content) const {
  writeHostFile(hostPath, reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
}

void FuzzUnit::removeHostFile(const std::string& hostPath) const { memory().Unlink(disk(hostPath)); }

bool FuzzUnit::readHostFile(const std::string& hostPath, std::string* content) const {
  content->clear();
  return memory().GetFile(disk(hostPath), content);
}

namespace {

// The factory's key=value file object of that name (if it has one) reads its
// file again, by one open and close.
template <class Factory>
void rereadMetaText(const std::string& name) {
  for (int id = 0; id < Factory::SYSDATA_METATXT_MAX; ++id) {
    const auto key = static_cast<typename Factory::SYSDATA_METATXT_ID>(id);
    const char* known = Factory::metaTextName(key);
    if (known == nullptr || name != known) continue;
    if (SaveFileAccessMetaText* file = TqSingleton<Factory>::GetInstance()->getMetaText(key)) {
      if (file->FOpen()) file->FClose();
    }
  }
}

}  // namespace

void FuzzUnit::endInput() {
  standin::testing::ClearCreationCalls();
  standin::testing::ClearHostCalls();
  // The guard's list, too, is as every input finds it.
  allowWrites({});
  const std::vector<std::string> restored = memory().RestoreFiles(root_, baseline_, isLockFile);
  // The registries' file objects keep what they read last: they read the
  // restored file now rather than at the next input's first open.
  const std::string saveDir = disk(kSaveDir) + "/";
  const std::string calibrationDir = disk(kCalibrationDir) + "/";
  for (const std::string& path : restored) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = path.substr(0, slash + 1);
    if (dir != saveDir && dir != calibrationDir) continue;
    const std::string name = path.substr(slash + 1);
    rereadMetaText<SysDataFactory>(name);
    rereadMetaText<SysDataProductFactory>(name);
  }
}

void FuzzUnit::clearSyslog() const {
  const std::string dir = disk("/Syslog");
  for (const std::string& name : memory().List(dir)) {
    memory().Remove(dir + "/" + name);
  }
}

}  // namespace sysdata_fuzz
