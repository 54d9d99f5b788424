// The stand-in settings file store.
//
// Each file object pairs a process-local lock (threads sharing the object
// queue on it, nesting counted) with an open-file-description lock on a
// hidden sibling lock file ".<name>.lock", taken at the outermost FOpen and
// dropped at the matching FClose. The file is loaded under that lock, so an
// update made by another object or process in between is always seen, and
// written back by whole-file replacement (temporary file, fsync, rename,
// fsync of the directory).
#include "platform/SaveFileAccess.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "TqFramework/SharedMemory/TqSharedMemory.h"
#include "core/SystemRecords.h"
#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/FileUtil.h"
#include "standin/KeyValueText.h"
#include "standin/StoreRecorder.h"

SaveFileAccessBase::~SaveFileAccessBase() = default;

namespace {

using standin::detail::KeyValueDocument;
using standin::detail::ReadResult;

constexpr const char* kCalibrationFileName = "AirGestureCalibration.ini";
// A binary record is at most a few kilobytes; refuse absurd sizes.
constexpr long long kMaxBinarySize = 64ll * 1024 * 1024;

// The lock of one file object: exclusive against the other threads (local
// part) and against every other descriptor of the lock file, in this process
// or another (file part). Counted for its holder.
class FileLock {
 public:
  explicit FileLock(std::string lockPath) : path_(std::move(lockPath)) {}
  ~FileLock() {
    if (fd_ >= 0) standin::GetFileSystem()->Close(fd_);
  }

  enum Result { kFailed, kAcquired, kNested };

  Result Acquire() {
    const std::thread::id me = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(mutex_);
    if (depth_ > 0 && holderPid_ != ::getpid()) {
      // A child forked while a thread of its parent held the file (the
      // forking thread's id is the child's own): that hold, and the
      // descriptor that carries it, are the parent's.
      if (fd_ >= 0) standin::GetFileSystem()->Close(fd_);
      fd_ = -1;
      depth_ = 0;
      owner_ = std::thread::id();
    }
    if (depth_ > 0 && owner_ == me) {
      ++depth_;
      return kNested;
    }
    released_.wait(lock, [this] { return depth_ == 0; });
    owner_ = me;
    depth_ = 1;
    lock.unlock();
    // Another process may hold the file for a while: wait outside the mutex.
    standin::FileSystem* fs = standin::GetFileSystem();
    const int fd = fs->Open(path_, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    const bool locked = fd >= 0 && standin::detail::LockFd(fd);
    if (!locked && fd >= 0) fs->Close(fd);
    lock.lock();
    if (!locked) {
      depth_ = 0;
      owner_ = std::thread::id();
      released_.notify_one();
      return kFailed;
    }
    fd_ = fd;
    holderPid_ = ::getpid();
    return kAcquired;
  }

  // Drops one level held by the calling thread; before the last level goes,
  // onLast runs while the lock is still held. false when the caller holds
  // nothing.
  bool Release(const std::function<void()>& onLast) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return false;
    if (depth_ > 1) {
      --depth_;
      return true;
    }
    if (onLast) onLast();
    // Closing the only descriptor of the open file releases its lock.
    if (fd_ >= 0) standin::GetFileSystem()->Close(fd_);
    fd_ = -1;
    depth_ = 0;
    owner_ = std::thread::id();
    released_.notify_one();
    return true;
  }

  bool HeldByMe() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return depth_ > 0 && owner_ == std::this_thread::get_id();
  }

 private:
  const std::string path_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::thread::id owner_;
  unsigned long depth_ = 0;
  int fd_ = -1;
  pid_t holderPid_ = 0;  // the process whose thread holds it
};

// The path and lock shared by both kinds of file object.
struct FileIdentity {
  FileIdentity(const std::string& fileName, const std::string& directory)
      : name(fileName),
        dir(directory),
        path(standin::detail::JoinPath(directory, fileName)),
        lock(standin::detail::JoinPath(directory, "." + fileName + ".lock")) {}
  const std::string name;
  const std::string dir;
  const std::string path;
  FileLock lock;
};

// "<path>/<name>" of an import/export copy; empty when path is unusable.
std::string CopyPath(const char* path, const std::string& name) {
  if (path == nullptr || path[0] == '\0') return std::string();
  return standin::detail::JoinPath(TqSimPath(path), name);
}

// A loaded key=value file with what its next flush must do.
struct LoadedText {
  KeyValueDocument doc;
  bool exists = false;    // a file was there when loaded (or written since)
  bool clean = true;      // the file on disk is exactly doc's clean form
  bool modified = false;  // doc changed since load or last flush

  bool Load(const std::string& path) {
    std::string text;
    bool cut = false;
    switch (standin::detail::ReadWholeFile(path, &text, standin::detail::kMaxWholeFile, &cut)) {
      case ReadResult::kMissing:
        doc.Clear();
        exists = false;
        clean = true;
        modified = false;
        return true;
      case ReadResult::kOk:
        if (cut) {
          // Keep whole lines only; the file is rewritten clean on flush.
          const std::size_t lastLf = text.find_last_of('\n');
          text.resize(lastLf == std::string::npos ? 0 : lastLf + 1);
        }
        clean = doc.Parse(text) && !cut;
        exists = true;
        modified = false;
        return true;
      case ReadResult::kError:
        break;
    }
    // An unreadable file is not an empty one: writing it back from nothing
    // would lose every key.
    return false;
  }

  bool Flush(const std::string& path) {
    if (!modified && clean && exists) return true;
    if (!standin::detail::WriteFileAtomically(path, doc.Serialise())) return false;
    exists = true;
    clean = true;
    modified = false;
    return true;
  }

  void Drop() {
    doc.Clear();
    exists = false;
    clean = true;
    modified = false;
  }
};

class MetaTextFile final : public SaveFileAccessMetaText {
 public:
  MetaTextFile(const std::string& name, const std::string& dir) : id_(name, dir) {}
  ~MetaTextFile() override = default;

  bool FOpen() override {
    switch (id_.lock.Acquire()) {
      case FileLock::kNested:
        return true;
      case FileLock::kFailed:
        return false;
      case FileLock::kAcquired:
        break;
    }
    if (live_.Load(id_.path)) return true;
    id_.lock.Release([this] { live_.Drop(); });
    return false;
  }

  bool FClose() override {
    return id_.lock.Release([this] { live_.Drop(); });
  }

  bool getFullPath(std::string& path) const override {
    path = id_.path;
    return true;
  }

  const std::string& name() const override { return id_.name; }

  bool Set(const char* key, int value) override { return SetStored(key, std::to_string(value)); }
  bool Set(const char* key, unsigned int value) override { return SetStored(key, std::to_string(value)); }
  bool Set(const char* key, bool value) override { return SetStored(key, value ? "1" : "0"); }
  bool Set(const char* key, unsigned char value) override {
    return SetStored(key, std::to_string(static_cast<unsigned>(value)));
  }
  bool Set(const char* key, const std::string& value) override {
    return SetStored(key, standin::detail::EscapeValue(value));
  }

  bool Get(const char* key, int* value) override {
    const std::string* stored = Find(key, value);
    std::int32_t v = 0;
    if (stored == nullptr || !standin::detail::ParseInt32(*stored, &v)) return false;
    *value = v;
    return true;
  }
  bool Get(const char* key, unsigned int* value) override {
    const std::string* stored = Find(key, value);
    std::uint32_t v = 0;
    if (stored == nullptr || !standin::detail::ParseUint32(*stored, &v)) return false;
    *value = v;
    return true;
  }
  bool Get(const char* key, bool* value) override {
    const std::string* stored = Find(key, value);
    bool v = false;
    if (stored == nullptr || !standin::detail::ParseBool(*stored, &v)) return false;
    *value = v;
    return true;
  }
  bool Get(const char* key, unsigned char* value) override {
    const std::string* stored = Find(key, value);
    std::uint8_t v = 0;
    if (stored == nullptr || !standin::detail::ParseUint8(*stored, &v)) return false;
    *value = v;
    return true;
  }
  bool Get(const char* key, std::string* value) override {
    const std::string* stored = Find(key, value);
    if (stored == nullptr) return false;
    *value = standin::detail::UnescapeValue(*stored);
    return true;
  }

  bool GetKeys(std::vector<std::string>* keys) override {
    if (keys == nullptr || !id_.lock.HeldByMe()) return false;
    *keys = live_.doc.Keys();
    return true;
  }

  bool Flush() override {
    if (!id_.lock.HeldByMe()) return false;
    return live_.Flush(id_.path);
  }

  bool FOpenForImportExport(const char* path) override {
    std::lock_guard<std::mutex> lock(copyMutex_);
    copyOpen_ = false;
    copy_.Drop();
    copyPath_ = CopyPath(path, id_.name);
    if (copyPath_.empty() || !copy_.Load(copyPath_)) return false;
    copyOpen_ = true;
    return true;
  }

  bool FCloseForImportExport() override {
    std::lock_guard<std::mutex> lock(copyMutex_);
    if (!copyOpen_) return false;
    copyOpen_ = false;
    copy_.Drop();
    return true;
  }

  bool FlushForImportExport() override {
    std::lock_guard<std::mutex> lock(copyMutex_);
    return copyOpen_ && copy_.Flush(copyPath_);
  }

  bool SetForImportExport(const char* key, int value) override { return SetCopy(key, std::to_string(value)); }
  bool SetForImportExport(const char* key, unsigned int value) override {
    return SetCopy(key, std::to_string(value));
  }
  bool SetForImportExport(const char* key, bool value) override { return SetCopy(key, value ? "1" : "0"); }
  bool SetForImportExport(const char* key, unsigned char value) override {
    return SetCopy(key, std::to_string(static_cast<unsigned>(value)));
  }
  bool SetForImportExport(const char* key, const std::string& value) override {
    return SetCopy(key, standin::detail::EscapeValue(value));
  }

  bool GetForImportExport(const char* key, int* value) override {
    if (key == nullptr || value == nullptr) return false;
    std::lock_guard<std::mutex> lock(copyMutex_);
    if (!copyOpen_) return false;
    const std::string* stored = copy_.doc.Find(key);
    std::int32_t v = 0;
    if (stored == nullptr || !standin::detail::ParseInt32(*stored, &v)) return false;
    *value = v;
    return true;
  }

 private:
  bool SetStored(const char* key, const std::string& stored) {
    if (!standin::detail::IsValidKey(key) || !id_.lock.HeldByMe()) return false;
    if (live_.doc.Set(key, stored)) live_.modified = true;
    return true;
  }

  template <class T>
  const std::string* Find(const char* key, T* value) {
    if (key == nullptr || value == nullptr || !id_.lock.HeldByMe()) return nullptr;
    return live_.doc.Find(key);
  }

  bool SetCopy(const char* key, const std::string& stored) {
    if (!standin::detail::IsValidKey(key)) return false;
    std::lock_guard<std::mutex> lock(copyMutex_);
    if (!copyOpen_) return false;
    if (copy_.doc.Set(key, stored)) copy_.modified = true;
    return true;
  }

  FileIdentity id_;
  // Touched only by the thread that holds id_.lock.
  LoadedText live_;

  std::mutex copyMutex_;
  bool copyOpen_ = false;
  std::string copyPath_;
  LoadedText copy_;
};

class BinaryFile final : public SaveFileAccess {
 public:
  BinaryFile(const std::string& name, const std::string& dir) : id_(name, dir) {}
  ~BinaryFile() override = default;

  // The owner writes the record itself at getFullPath; FOpen/FClose only
  // bracket the file's lock.
  bool FOpen() override { return id_.lock.Acquire() != FileLock::kFailed; }
  bool FClose() override { return id_.lock.Release(nullptr); }

  bool getFullPath(std::string& path) const override {
    path = id_.path;
    return true;
  }

  const std::string& name() const override { return id_.name; }

  bool FOpenForImportExport(const char* path) override {
    std::lock_guard<std::mutex> lock(copyMutex_);
    copyOpen_ = false;
    copy_.clear();
    copyPath_ = CopyPath(path, id_.name);
    if (copyPath_.empty()) return false;
    switch (standin::detail::ReadWholeFile(copyPath_, &copy_)) {
      case ReadResult::kOk:
        copyExists_ = true;
        break;
      case ReadResult::kMissing:
        copyExists_ = false;
        break;
      case ReadResult::kError:
        return false;
    }
    copyModified_ = false;
    copyOpen_ = true;
    return true;
  }

  bool FCloseForImportExport() override {
    std::lock_guard<std::mutex> lock(copyMutex_);
    if (!copyOpen_) return false;
    copyOpen_ = false;
    copy_.clear();
    copy_.shrink_to_fit();
    return true;
  }

  bool WriteForImportExport(const void* data, long long size) override {
    if (size < 0 || size > kMaxBinarySize || (size > 0 && data == nullptr)) return false;
    std::lock_guard<std::mutex> lock(copyMutex_);
    if (!copyOpen_) return false;
    const char* bytes = static_cast<const char*>(data);
    const std::size_t n = static_cast<std::size_t>(size);
    if (copy_.size() == n && (n == 0 || std::memcmp(copy_.data(), bytes, n) == 0)) return true;
    copy_.assign(bytes, bytes + n);
    copyModified_ = true;
    return true;
  }

  bool FlushForImportExport() override {
    std::lock_guard<std::mutex> lock(copyMutex_);
    if (!copyOpen_) return false;
    if (!copyModified_ && copyExists_) return true;
    if (!standin::detail::WriteFileAtomically(copyPath_, copy_)) return false;
    copyModified_ = false;
    copyExists_ = true;
    return true;
  }

 private:
  FileIdentity id_;

  std::mutex copyMutex_;
  bool copyOpen_ = false;
  bool copyExists_ = false;
  bool copyModified_ = false;
  std::string copyPath_;
  std::string copy_;
};

// NUL-terminated text of at most max bytes at p; empty when unterminated.
std::string FieldText(const unsigned char* p, std::size_t max) {
  const void* nul = std::memchr(p, 0, max);
  if (nul == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(p), static_cast<const unsigned char*>(nul) - p);
}

// The on-disk directory of the file called name; empty when unknown.
std::string DirectoryFor(const std::string& name) {
  TqSharedMemory<SysDataInfoStruct, 1> shm("SysDataInfo");
  const unsigned char* record = shm.recordBytes();
  if (record == nullptr) return std::string();
  std::string dir;
  {
    TqSyncGuard guard(shm);
    if (name == kCalibrationFileName) {
      dir = FieldText(record + record_layout::kCalibrationDir,
                      sizeof(SysDataInfoStruct) - record_layout::kCalibrationDir);
    } else {
      dir = FieldText(record + record_layout::kSaveFileDir,
                      record_layout::kCalibrationDir - record_layout::kSaveFileDir);
    }
  }
  if (dir.empty()) return dir;
  return TqSimPath(dir.c_str());
}

// Names the store accepts: a bare file name. Names beginning with '.' are
// the store's own (lock and temporary files) and "." / ".." are not files.
bool IsFileName(const char* name) {
  return name != nullptr && name[0] != '\0' && name[0] != '.' && std::strchr(name, '/') == nullptr;
}

template <class File>
File* MakeFile(const char* op, const char* name, const char* mode) {
  if (!standin::detail::RecordCreation(op, name, mode) || !IsFileName(name)) return nullptr;
  const std::string dir = DirectoryFor(name);
  if (dir.empty()) return nullptr;
  return new File(name, dir);
}

}  // namespace

SaveFileAccessFactory::SaveFileAccessFactory() = default;
SaveFileAccessFactory::~SaveFileAccessFactory() = default;

SaveFileAccessMetaText* SaveFileAccessFactory::CreateMetaText(const char* name, const char* mode) {
  return MakeFile<MetaTextFile>("CreateMetaText", name, mode);
}

SaveFileAccessMetaText* SaveFileAccessFactory::CreateMetaTextFlush(const char* name, const char* mode) {
  return MakeFile<MetaTextFile>("CreateMetaTextFlush", name, mode);
}

SaveFileAccess* SaveFileAccessFactory::Create(const char* name, const char* mode) {
  return MakeFile<BinaryFile>("Create", name, mode);
}

SaveFileAccess* SaveFileAccessFactory::CreateFlush(const char* name, const char* mode) {
  return MakeFile<BinaryFile>("CreateFlush", name, mode);
}
