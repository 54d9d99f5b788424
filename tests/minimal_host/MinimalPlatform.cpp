// The smallest host the product library runs in: every class and function of
// the host's platform interfaces (platform/*.h) that the library calls, with
// trivial bodies. Settings files and raw files live in memory; locks are
// process-local (one process); logging goes to a string. Nothing of the
// stand-in platform is used.
//
// The integration guide (docs/integration.md) uses this file as its worked
// example: a real host implements the same list with its own store, files,
// inter-process locks and logging.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CustomizeSysData.h"
#include "platform/SaveFileAccess.h"
#include "platform/SysDataUtil.h"
#include "platform/TqDbgOutput.h"
#include "platform/TqFileSys.h"
#include "platform/TqSingletonFinalizer.h"
#include "platform/TqStorage.h"
#include "platform/TqStrUtil.h"
#include "platform/TqString.h"
#include "platform/TqSync.h"
#include "tests/minimal_host/MemoryStore.h"

namespace {

struct Memory {
  std::recursive_mutex mutex;
  std::map<std::string, minimal_host::KeyValues> settings;
  std::map<std::string, std::string> raw;
  std::string log;
  std::vector<void (*)()> destroyFuncs;
};

Memory& memory() {
  static Memory* const m = new Memory();
  return *m;
}

// One settings file: sets go to a pending copy that Flush makes current.
class MemoryFile : public SaveFileAccessMetaText {
 public:
  explicit MemoryFile(const char* name) : name_(name) {}
  bool FOpen() override { return true; }
  bool FClose() override { return true; }
  bool getFullPath(std::string& path) const override {
    path = "/memory/" + name_;
    return true;
  }
  bool FOpenForImportExport(const char*) override { return true; }
  bool FCloseForImportExport() override { return true; }
  bool FlushForImportExport() override { return true; }
  const std::string& name() const override { return name_; }

  bool Set(const char* key, int value) override { return put(key, std::to_string(value)); }
  bool Set(const char* key, unsigned int value) override { return put(key, std::to_string(value)); }
  bool Set(const char* key, bool value) override { return put(key, value ? "true" : "false"); }
  bool Set(const char* key, unsigned char value) override { return put(key, std::to_string(value)); }
  bool Set(const char* key, const std::string& value) override { return put(key, value); }
  bool Get(const char* key, int* value) override { return number(key, value); }
  bool Get(const char* key, unsigned int* value) override { return number(key, value); }
  bool Get(const char* key, bool* value) override {
    std::string text;
    if (!find(key, &text)) return false;
    *value = text == "true";
    return true;
  }
  bool Get(const char* key, unsigned char* value) override { return number(key, value); }
  bool Get(const char* key, std::string* value) override { return find(key, value); }
  bool GetKeys(std::vector<std::string>* keys) override {
    std::lock_guard<std::recursive_mutex> lock(memory().mutex);
    keys->clear();
    for (const auto& kv : memory().settings[name_]) keys->push_back(kv.first);
    return true;
  }
  bool Flush() override {
    std::lock_guard<std::recursive_mutex> lock(memory().mutex);
    for (const auto& kv : pending_) memory().settings[name_][kv.first] = kv.second;
    pending_.clear();
    return true;
  }
  bool SetForImportExport(const char*, int) override { return true; }
  bool SetForImportExport(const char*, unsigned int) override { return true; }
  bool SetForImportExport(const char*, bool) override { return true; }
  bool SetForImportExport(const char*, unsigned char) override { return true; }
  bool SetForImportExport(const char*, const std::string&) override { return true; }
  bool GetForImportExport(const char*, int*) override { return false; }

 private:
  bool put(const char* key, const std::string& value) {
    pending_[key] = value;
    return true;
  }
  bool find(const char* key, std::string* value) {
    std::lock_guard<std::recursive_mutex> lock(memory().mutex);
    const auto pending = pending_.find(key);
    if (pending != pending_.end()) {
      *value = pending->second;
      return true;
    }
    const minimal_host::KeyValues& file = memory().settings[name_];
    const auto it = file.find(key);
    if (it == file.end()) return false;
    *value = it->second;
    return true;
  }
  template <class T>
  bool number(const char* key, T* value) {
    std::string text;
    if (!find(key, &text)) return false;
    *value = static_cast<T>(std::stoll(text));
    return true;
  }

  std::string name_;
  minimal_host::KeyValues pending_;
};

// A binary settings file: its record is written through TqStorage at its
// full path. The library decides whether the calibration file exists by
// looking in the calibration directory, so the store must keep
// "AirGestureCalibration.ini" exactly there; the other records live in the
// store's own place.
class MemoryRecord : public SaveFileAccess {
 public:
  explicit MemoryRecord(const char* name) : name_(name) {}
  bool FOpen() override { return true; }
  bool FClose() override { return true; }
  bool getFullPath(std::string& path) const override {
    if (name_ == "AirGestureCalibration.ini") {
      path = std::string(minimal_host::kCalibrationDir) + "/" + name_;
    } else {
      path = "/memory/" + name_;
    }
    return true;
  }
  bool FOpenForImportExport(const char*) override { return true; }
  bool FCloseForImportExport() override { return true; }
  bool FlushForImportExport() override { return true; }
  const std::string& name() const override { return name_; }
  bool WriteForImportExport(const void*, long long) override { return true; }

 private:
  std::string name_;
};

}  // namespace

// ---- the settings file store ----

namespace {
std::atomic<void (*)(const char*)> g_creationHook{nullptr};
void creating(const char* name) {
  if (auto hook = g_creationHook.load()) hook(name);
}
}  // namespace

SaveFileAccessBase::~SaveFileAccessBase() = default;
SaveFileAccessFactory::SaveFileAccessFactory() = default;
SaveFileAccessFactory::~SaveFileAccessFactory() = default;
// The library holds a registry's creation lock while these run: they call
// nothing of the library.
SaveFileAccessMetaText* SaveFileAccessFactory::CreateMetaText(const char* name, const char*) {
  creating(name);
  return new MemoryFile(name);
}
SaveFileAccessMetaText* SaveFileAccessFactory::CreateMetaTextFlush(const char* name, const char*) {
  creating(name);
  return new MemoryFile(name);
}
SaveFileAccess* SaveFileAccessFactory::Create(const char* name, const char*) {
  creating(name);
  return new MemoryRecord(name);
}
SaveFileAccess* SaveFileAccessFactory::CreateFlush(const char* name, const char*) {
  creating(name);
  return new MemoryRecord(name);
}

// ---- locks (one process: the shared lock is a process-local one) ----

struct TqSync::Impl {
  std::recursive_mutex mutex;
};
struct TqSharedSyncObject::Impl {
  std::recursive_mutex mutex;
};

TqSyncObjectBase::~TqSyncObjectBase() = default;
TqSync::TqSync() : impl_(new Impl()) {}
TqSync::~TqSync() { delete impl_; }
bool TqSync::Lock(unsigned int) {
  impl_->mutex.lock();
  return true;
}
void TqSync::Unlock() { impl_->mutex.unlock(); }
void TqSync::lock() const { impl_->mutex.lock(); }
void TqSync::unlock() const { impl_->mutex.unlock(); }
TqSyncGuard::TqSyncGuard(const TqSyncObjectBase& object) : object_(object) { object_.lock(); }
TqSyncGuard::~TqSyncGuard() { object_.unlock(); }
TqSharedSyncObject::TqSharedSyncObject(const char*) : impl_(new Impl()) {}
TqSharedSyncObject::~TqSharedSyncObject() { delete impl_; }
void TqSharedSyncObject::lock() const { impl_->mutex.lock(); }
void TqSharedSyncObject::unlock() const { impl_->mutex.unlock(); }

// ---- files ----

struct TqStorage::Impl {
  std::string path;
  bool open = false;
  bool writing = false;
  std::size_t position = 0;
};

TqStorage::TqStorage() : impl_(new Impl()) {}
TqStorage::TqStorage(const char* path, const char* mode) : impl_(new Impl()) { Open(path, mode); }
TqStorage::~TqStorage() {
  Close();
  delete impl_;
}
bool TqStorage::Open(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) return false;
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  impl_->path = path;
  impl_->writing = mode[0] == 'w';
  impl_->position = 0;
  if (impl_->writing) {
    memory().raw[path].clear();
  } else if (memory().raw.count(path) == 0) {
    return false;
  }
  impl_->open = true;
  return true;
}
bool TqStorage::IsOpen() const { return impl_->open; }
long long TqStorage::Write(const void* data, long long size) {
  if (!impl_->open || !impl_->writing || size < 0) return -1;
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  memory().raw[impl_->path].append(static_cast<const char*>(data), static_cast<std::size_t>(size));
  return size;
}
int TqStorage::ReadLine(char* buf, int size) {
  if (!impl_->open || impl_->writing || buf == nullptr || size <= 0) return -1;
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  const std::string& text = memory().raw[impl_->path];
  if (impl_->position >= text.size()) return -1;
  std::size_t end = text.find('\n', impl_->position);
  end = end == std::string::npos ? text.size() : end + 1;
  const std::size_t n = std::min(end - impl_->position, static_cast<std::size_t>(size) - 1);
  std::memcpy(buf, text.data() + impl_->position, n);
  buf[n] = '\0';
  impl_->position = end;
  return 0;
}
int TqStorage::Seek(long long offset, EN_POS pos) {
  if (!impl_->open || pos != TQ_SEEK_SET || offset < 0) return -1;
  impl_->position = static_cast<std::size_t>(offset);
  return 0;
}
int TqStorage::Close() {
  impl_->open = false;
  return 0;
}

bool TqFileSys::IsExist(const char* path) {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  return path != nullptr && memory().raw.count(path) != 0;
}
bool TqFileSys::Copy(const char* from, const char* to, bool, bool) {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  if (from == nullptr || to == nullptr || memory().raw.count(from) == 0) return false;
  memory().raw[to] = memory().raw[from];
  return true;
}
bool TqFileSys::Delete(const char* path, bool) {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  return path != nullptr && memory().raw.erase(path) != 0;
}

// ---- strings, logging, teardown ----

TqString::TqString() = default;
TqString::TqString(const char* text, EN_CP) : text_(text != nullptr ? text : "") {}
TqString& TqString::operator+=(const char* text) {
  if (text != nullptr) text_ += text;
  return *this;
}
const char* TqString::ToCHAR(EN_CP) const { return text_.c_str(); }

namespace {
void appendLog(const char* file, const char* function, int line, const char* format, va_list args) {
  char message[1024];
  std::vsnprintf(message, sizeof message, format, args);
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  memory().log += std::string(file) + ":" + std::to_string(line) + " " + function + ": " + message;
}
}  // namespace

void TqDbgOutput::DbgPrint(const char* file, const char* function, int line, EN_TAG, const char* format, ...) {
  va_list args;
  va_start(args, format);
  appendLog(file, function, line, format, args);
  va_end(args);
}
void TqDbgOutput::DbgPrintStdErr(const char* file, const char* function, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  appendLog(file, function, line, format, args);
  va_end(args);
}

void TqSingletonFinalizer::addDestroyFunc(void (*destroy)()) {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  memory().destroyFuncs.push_back(destroy);
}
void TqSingletonFinalizer::runDestroyFuncs() {
  std::vector<void (*)()> funcs;
  {
    std::lock_guard<std::recursive_mutex> lock(memory().mutex);
    funcs.swap(memory().destroyFuncs);
  }
  for (auto it = funcs.rbegin(); it != funcs.rend(); ++it) (*it)();
}
std::size_t TqSingletonFinalizer::pendingCount() {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  return memory().destroyFuncs.size();
}

extern "C" int tq_strcpy(char* dst, unsigned int size, const char* src) {
  if (dst == nullptr || src == nullptr || size == 0) return -1;
  const std::size_t n = std::strlen(src);
  if (n >= size) return -1;
  std::memcpy(dst, src, n + 1);
  return 0;
}
extern "C" int tq_strncpy(char* dst, unsigned int size, const char* src, unsigned int count) {
  if (dst == nullptr || src == nullptr || size == 0) return -1;
  std::size_t n = 0;
  while (n < count && src[n] != '\0') ++n;
  if (n >= size) return -1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return 0;
}

// ---- the two hook base classes ----

SysDataUtil::SysDataUtil() = default;
SysDataUtil::~SysDataUtil() = default;
bool SysDataUtil::initSysDataDefault(SystemDef::SYS_INFO_MODEL, SystemDef::SYS_INFO_DESTINATION) const { return true; }
bool SysDataUtil::initSysDataFile(const std::string&) const { return true; }
void SysDataUtil::confirmCalibrationData() const {}
bool SysDataUtil::dataImport(const char*) { return true; }
bool SysDataUtil::dataExport(const char*) { return true; }

CustomizeSysData::CustomizeSysData() = default;
CustomizeSysData::~CustomizeSysData() = default;
bool CustomizeSysData::import(std::string&) { return true; }
bool CustomizeSysData::afterInitialize(InitializeType) { return true; }

// ---- what the host's own checks read ----

namespace minimal_host {
std::map<std::string, KeyValues> settingsFiles() {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  return memory().settings;
}
std::map<std::string, std::string> rawFiles() {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  return memory().raw;
}
std::string log() {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  return memory().log;
}
void clearLog() {
  std::lock_guard<std::recursive_mutex> lock(memory().mutex);
  memory().log.clear();
}
void setCreationHook(void (*hook)(const char* name)) { g_creationHook.store(hook); }
}  // namespace minimal_host
