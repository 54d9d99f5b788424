// The stand-in settings file store.
//
// Each file object pairs a process-local lock (threads sharing the object
// queue on it, nesting counted) with an open-file-description lock on a
// hidden sibling lock file ".<name>.lock", taken at the outermost FOpen and
// dropped at the matching FClose; the lock file stays open in between. The
// file is loaded under that lock, so an update made by another object or
// process in between is always seen, and written back by whole-file
// replacement (temporary file, fsync, rename, fsync of the directory).
//
// A key=value file object keeps what it loaded (or flushed) after FClose,
// together with the file it came from, held open. The next FOpen uses it
// again only when it can prove that the file did not change since:
// - the path still names the same file: the held descriptor keeps that inode
//   alive, so its number cannot have been given to a replacement (and every
//   writer of a settings file replaces it);
// - its size and its modification and change times are the same, and the
//   change time lies before the moment the content was read. A write in
//   place after that moment sets a change time at or after it, so it cannot
//   go unseen even within the clock's granularity; a file changed just
//   before it was read is read again next time.
// Anything else, a failed check included, loads the file again; when the
// bytes read are exactly those the object last read or wrote (a file it has
// just flushed, say), the parsed content is kept instead of parsing them
// again.
#include "platform/SaveFileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "TqFramework/SharedMemory/TqSharedMemory"
#include "platform/SystemRecordLayout.h"
#include "platform/TqSimulation.h"
#include "standin/FileSystem.h"
#include "standin/FileUtil.h"
#include "standin/KeyValueText.h"
#include "standin/ProcessId.h"
#include "standin/StoreRecorder.h"

SaveFileAccessBase::~SaveFileAccessBase() = default;

namespace {

using standin::detail::KeyValueDocument;
using standin::detail::ReadResult;

constexpr const char* kCalibrationFileName = "AirGestureCalibration.ini";
// A binary record is at most a few kilobytes; refuse absurd sizes.
constexpr long long kMaxBinarySize = 64ll * 1024 * 1024;
// The import/export copy of a binary record is read whole; one larger than
// this is not a record of ours.
constexpr std::size_t kMaxBinaryCopy = 1024u * 1024u;
// The same for the copy of a key=value file: a product file holds a few
// dozen keys.
constexpr std::size_t kMaxTextCopy = 1024u * 1024u;

// The lock of one file object: exclusive against the other threads (local
// part) and against every other descriptor of the lock file, in this process
// or another (file part). Counted for its holder. The lock file stays open
// from the first acquisition to the object's end; a forked child that
// inherited the descriptor (and so shares its lock) opens its own.
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
    if (depth_ > 0 && fdPid_ != standin::detail::CurrentPid()) {
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
    const pid_t pid = standin::detail::CurrentPid();
    if (fd_ >= 0 && fdPid_ != pid) {
      fs->Close(fd_);
      fd_ = -1;
    }
    if (fd_ < 0) {
      // Never blocks on a FIFO planted as the lock file, never follows a link.
      fd_ = standin::detail::OpenRegular(path_, O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
      fdPid_ = pid;
    }
    if (fd_ >= 0 && standin::detail::LockFd(fd_)) return kAcquired;
    lock.lock();
    depth_ = 0;
    owner_ = std::thread::id();
    released_.notify_one();
    return kFailed;
  }

  // Drops one level held by the calling thread; before the last level goes,
  // onLast() runs while the lock is still held. false when the caller holds
  // nothing.
  template <class OnLast>
  bool Release(OnLast onLast) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return false;
    if (depth_ > 1) {
      --depth_;
      return true;
    }
    onLast();
    if (fd_ >= 0) standin::detail::UnlockFd(fd_);
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
  // Touched only by the holder.
  int fd_ = -1;
  pid_t fdPid_ = 0;
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

  // The import/export copy of a key=value file on a medium: one larger than
  // kMaxTextCopy is refused (errno EFBIG) before it is read.
  bool Load(const std::string& path) {
    std::string text;
    const bool cut = false;
    switch (standin::detail::ReadWholeFile(path, &text, kMaxTextCopy)) {
      case ReadResult::kMissing:
        doc.Clear();
        exists = false;
        clean = true;
        modified = false;
        return true;
      case ReadResult::kOk:
        Take(text, cut);
        return true;
      case ReadResult::kError:
        break;
    }
    // An unreadable file is not an empty one: writing it back from nothing
    // would lose every key.
    return false;
  }

  // Takes the content read from an existing file (cut: the file was longer).
  void Take(std::string& text, bool cut) {
    if (cut) {
      // Keep whole lines only; the file is rewritten clean on flush.
      const std::size_t lastLf = text.find_last_of('\n');
      text.resize(lastLf == std::string::npos ? 0 : lastLf + 1);
    }
    clean = doc.Parse(text) && !cut;
    exists = true;
    modified = false;
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

// Reads what is left of fd into *out, at most limit bytes (*cut says whether
// there was more). false on a read error.
// expected: the size the file had when it was opened (a hint).
bool ReadRest(int fd, std::string* out, std::size_t limit, bool* cut, std::size_t expected) {
  out->clear();
  *cut = false;
  standin::FileSystem* fs = standin::GetFileSystem();
  // Room for the whole file and one byte more, so that a file that kept its
  // size is read by one call and its end seen by a second. Every open after
  // a change reads the file: the buffer is no larger than that needs (and
  // grows when the file did), since its every byte is cleared first.
  std::size_t capacity = (expected < limit ? expected : limit) + 1;
  if (capacity < 256) capacity = 256;
  out->resize(capacity);
  std::size_t used = 0;
  for (;;) {
    if (used == out->size()) {
      if (used > limit) break;
      out->resize(used * 2 > limit + 1 ? limit + 1 : used * 2);
    }
    const long long n = fs->Read(fd, &(*out)[used], out->size() - used);
    if (n < 0) {
      out->clear();
      return false;
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > limit) {
    used = limit;
    *cut = true;
  }
  out->resize(used);
  return true;
}

bool Before(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool Same(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The file a key=value object's content came from, kept to prove on the next
// FOpen that the file did not change (see the top of this file).
class Snapshot {
 public:
  Snapshot() = default;
  ~Snapshot() { Forget(); }
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  // The file was missing.
  void SetMissing() {
    Forget();
    valid_ = true;
    missing_ = true;
  }

  // fd (taken over) is open on the file whose status is st; its content was
  // read after readStart.
  void Set(int fd, const struct stat& st, const struct timespec& readStart) {
    Forget();
    fd_ = fd;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    size_ = st.st_size;
    mtime_ = st.st_mtim;
    ctime_ = st.st_ctim;
    // Changed so recently that a write in place in the same clock tick would
    // leave the same times: not to be trusted.
    valid_ = Before(st.st_ctim, readStart);
  }

  void Forget() {
    if (fd_ >= 0) standin::GetFileSystem()->Close(fd_);
    fd_ = -1;
    valid_ = false;
    missing_ = false;
  }

  // True when path still names the file recorded, unchanged (or is still
  // missing).
  bool StillValid(const std::string& path) const {
    if (!valid_) return false;
    struct stat st;
    if (standin::GetFileSystem()->Stat(path, &st) != 0) return missing_ && (errno == ENOENT || errno == ENOTDIR);
    return !missing_ && st.st_dev == dev_ && st.st_ino == ino_ && st.st_size == size_ && Same(st.st_mtim, mtime_) &&
           Same(st.st_ctim, ctime_);
  }

 private:
  bool valid_ = false;
  bool missing_ = false;
  int fd_ = -1;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  off_t size_ = 0;
  struct timespec mtime_ = {};
  struct timespec ctime_ = {};
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
    // Sets a holder never flushed (a parent that forked mid-cycle) are not
    // the file's content.
    if (live_.modified) DropLive();
    if (snapshot_.StillValid(id_.path) || LoadLive()) return true;
    const int saved = errno;
    id_.lock.Release([this] { DropLive(); });
    errno = saved;
    return false;
  }

  bool FClose() override {
    return id_.lock.Release([this] {
      // Sets that were not flushed are not the file's content.
      if (live_.modified) DropLive();
    });
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
    if (!live_.modified && live_.clean && live_.exists) return true;
    // The new file is not kept as a snapshot: it has only just changed, so
    // the next FOpen reads it again (see the top of this file), but need not
    // parse it when it still holds these bytes.
    snapshot_.Forget();
    liveTextIsFile_ = false;
    std::string text = live_.doc.Serialise();
    if (!standin::detail::WriteFileAtomically(id_.path, text)) return false;
    live_.exists = true;
    live_.clean = true;
    live_.modified = false;
    liveText_ = std::move(text);
    liveTextIsFile_ = true;
    return true;
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
  // Loads the live file under the lock and records where it came from.
  bool LoadLive() {
    standin::FileSystem* fs = standin::GetFileSystem();
    struct timespec readStart;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &readStart);
    // A FIFO, a device or a directory in the place of the file is refused
    // without blocking, and is not "missing": writing defaults over it would
    // hide the damage. (O_NONBLOCK changes nothing for the regular file
    // that is read, so it is not cleared.)
    const int fd = fs->Open(id_.path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) {
      if (errno != ENOENT && errno != ENOTDIR) {
        // An unreadable file is not an empty one: writing it back from
        // nothing would lose every key.
        DropLive();
        return false;
      }
      live_.Drop();
      liveText_.clear();
      liveTextIsFile_ = false;
      snapshot_.SetMissing();
      return true;
    }
    struct stat st;
    std::string text;
    bool cut = false;
    if (!standin::detail::CheckRegular(fd, &st) ||
        !ReadRest(fd, &text, standin::detail::kMaxWholeFile, &cut, static_cast<std::size_t>(st.st_size))) {
      const int saved = errno;
      fs->Close(fd);
      DropLive();
      errno = saved;
      return false;
    }
    if (!(liveTextIsFile_ && !cut && text == liveText_)) {
      live_.Take(text, cut);
      liveTextIsFile_ = !cut;
      liveText_ = std::move(text);
    }
    live_.exists = true;
    snapshot_.Set(fd, st, readStart);
    return true;
  }

  void DropLive() {
    live_.Drop();
    snapshot_.Forget();
    liveText_.clear();
    liveTextIsFile_ = false;
  }

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
  // Touched only by the thread that holds id_.lock. Between FClose and the
  // next FOpen they keep the last content that matched the file.
  LoadedText live_;
  Snapshot snapshot_;
  // The bytes live_ was parsed from or serialised to, when liveTextIsFile_:
  // a reload that reads the same bytes keeps live_ as it is.
  std::string liveText_;
  bool liveTextIsFile_ = false;

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
  bool FClose() override {
    return id_.lock.Release([] {});
  }

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
    // Refused past the limit, before anything is read.
    switch (standin::detail::ReadWholeFile(copyPath_, &copy_, kMaxBinaryCopy)) {
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
    // Without the inter-process lock the record may be half written.
    if (!shm.HeldAcrossProcesses()) return std::string();
    if (name == kCalibrationFileName) {
      dir = FieldText(record + record_layout::kCalibrationDir,
                      sizeof(SysDataInfoStruct) - record_layout::kCalibrationDir);
    } else {
      dir = FieldText(record + record_layout::kSaveFileDir,
                      record_layout::kCalibrationDir - record_layout::kSaveFileDir);
    }
  }
  if (dir.empty()) return dir;
  // Under a simulation root, a relative directory would be taken from the
  // working directory, outside the unit: it is a directory of the unit too.
  if (dir[0] != '/' && !TqSimRoot().empty()) dir.insert(0, "/");
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
