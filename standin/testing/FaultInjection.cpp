#include "standin/testing/FaultInjection.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "standin/FileUtil.h"

namespace standin {
namespace testing {

const char* CallKindName(CallKind kind) {
  switch (kind) {
    case CallKind::kOpen:
      return "open";
    case CallKind::kRead:
      return "read";
    case CallKind::kWrite:
      return "write";
    case CallKind::kSync:
      return "sync";
    case CallKind::kSyncDir:
      return "syncdir";
    case CallKind::kRename:
      return "rename";
    case CallKind::kUnlink:
      return "unlink";
    case CallKind::kTruncate:
      return "truncate";
    case CallKind::kMkdir:
      return "mkdir";
    case CallKind::kMutating:
      return "mutating";
  }
  return "?";
}

FaultInjectionFileSystem::FaultInjectionFileSystem(FileSystem* base)
    : base_(base != nullptr ? base : PosixFileSystem()) {}

FaultInjectionFileSystem::~FaultInjectionFileSystem() = default;

std::size_t FaultInjectionFileSystem::CallCount(CallKind kind) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = counts_.find(kind);
  return it == counts_.end() ? 0 : it->second;
}

void FaultInjectionFileSystem::ResetCounts() {
  std::lock_guard<std::mutex> lock(mutex_);
  counts_.clear();
  injected_ = 0;
}

void FaultInjectionFileSystem::FailNth(CallKind kind, std::size_t n, FailMode mode, int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  failKind_ = kind;
  failAt_ = n;
  failSeen_ = 0;
  failMode_ = mode;
  failErrno_ = error;
  fired_ = false;
  crashed_ = false;
}

void FaultInjectionFileSystem::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  failAt_ = 0;
  failSeen_ = 0;
  crashed_ = false;
}

bool FaultInjectionFileSystem::Fired() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fired_;
}

std::size_t FaultInjectionFileSystem::InjectedFailures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return injected_;
}

bool FaultInjectionFileSystem::ShouldFail(CallKind kind, bool mutating) {
  ++counts_[kind];
  if (mutating) ++counts_[CallKind::kMutating];
  bool fail = false;
  if (crashed_ && mutating) {
    fail = true;
  } else if (failAt_ != 0 && !fired_ && (kind == failKind_ || (failKind_ == CallKind::kMutating && mutating))) {
    if (++failSeen_ == failAt_) {
      fired_ = true;
      fail = true;
      if (failMode_ == FailMode::kCrash) crashed_ = true;
    }
  }
  if (fail) {
    ++injected_;
    errno = failErrno_;
  }
  return fail;
}

bool FaultInjectionFileSystem::ReadRaw(const std::string& path, std::string* content) {
  content->clear();
  const int fd = base_->Open(path, O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  char chunk[16384];
  for (;;) {
    const long long n = base_->Read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    content->append(chunk, static_cast<std::size_t>(n));
  }
  base_->Close(fd);
  return true;
}

bool FaultInjectionFileSystem::WriteRaw(const std::string& path, const std::string& content) {
  const int fd = base_->Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const long long n = base_->Write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  base_->Close(fd);
  return left == 0;
}

void FaultInjectionFileSystem::TrackWritable(const std::string& path) {
  if (files_.count(path) != 0) return;
  // First sight of the file: what is there now counts as durable.
  FileState state;
  ReadRaw(path, &state.synced);
  files_.emplace(path, std::move(state));
}

void FaultInjectionFileSystem::MarkDirty(int fd) {
  const auto it = fdPaths_.find(fd);
  if (it == fdPaths_.end()) return;
  files_[it->second].dirty = true;
}

int FaultInjectionFileSystem::Open(const std::string& path, int flags, unsigned int mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool creates = (flags & O_CREAT) != 0;
  const bool truncates = (flags & O_TRUNC) != 0;
  const bool writable = (flags & O_ACCMODE) != O_RDONLY;
  if (ShouldFail(CallKind::kOpen, creates || truncates)) return -1;
  struct stat st;
  const bool existed = base_->Stat(path, &st) == 0;
  if (writable && existed && S_ISREG(st.st_mode)) TrackWritable(path);
  const int fd = base_->Open(path, flags, mode);
  if (fd < 0) return fd;
  if (creates && !existed) {
    DirOp op;
    op.kind = DirOp::kCreate;
    op.dir = detail::DirName(path);
    op.path = path;
    dirOps_.push_back(std::move(op));
    files_[path] = FileState();  // never synced: its durable content is empty
  }
  if (writable) {
    fdPaths_[fd] = path;
    if (truncates && existed) files_[path].dirty = true;
  }
  return fd;
}

int FaultInjectionFileSystem::Close(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  fdPaths_.erase(fd);
  return base_->Close(fd);
}

long long FaultInjectionFileSystem::Read(int fd, void* buf, std::size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ShouldFail(CallKind::kRead, false)) return -1;
  }
  return base_->Read(fd, buf, size);
}

long long FaultInjectionFileSystem::Write(int fd, const void* data, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kWrite, true)) return -1;
  const auto it = fdPaths_.find(fd);
  if (it != fdPaths_.end()) TrackWritable(it->second);
  const long long n = base_->Write(fd, data, size);
  if (n > 0) MarkDirty(fd);
  return n;
}

long long FaultInjectionFileSystem::Seek(int fd, long long offset, int whence) {
  return base_->Seek(fd, offset, whence);
}

int FaultInjectionFileSystem::Sync(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kSync, true)) return -1;
  const int rc = base_->Sync(fd);
  if (rc == 0) {
    const auto it = fdPaths_.find(fd);
    if (it != fdPaths_.end()) {
      FileState& state = files_[it->second];
      ReadRaw(it->second, &state.synced);
      state.dirty = false;
    }
  }
  return rc;
}

int FaultInjectionFileSystem::SyncDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kSyncDir, true)) return -1;
  const int rc = base_->SyncDir(dir);
  if (rc == 0) {
    std::vector<DirOp> kept;
    for (DirOp& op : dirOps_) {
      if (op.dir != dir) kept.push_back(std::move(op));
    }
    dirOps_.swap(kept);
  }
  return rc;
}

int FaultInjectionFileSystem::Rename(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kRename, true)) return -1;
  DirOp op;
  op.kind = DirOp::kRename;
  op.dir = detail::DirName(to);
  op.path = to;
  op.from = from;
  // What a power cut brings back at to: its durable content.
  const auto old = files_.find(to);
  if (old != files_.end()) {
    op.hadOld = true;
    op.old = old->second.synced;
  } else {
    op.hadOld = ReadRaw(to, &op.old);
  }
  const int rc = base_->Rename(from, to);
  if (rc != 0) return rc;
  dirOps_.push_back(std::move(op));
  files_.erase(to);
  const auto moved = files_.find(from);
  if (moved != files_.end()) {
    FileState state = std::move(moved->second);
    files_.erase(moved);
    files_[to] = std::move(state);
  }
  for (auto it = fdPaths_.begin(); it != fdPaths_.end();) {
    if (it->second == to) {
      it = fdPaths_.erase(it);  // the replaced file is no longer at to
    } else {
      if (it->second == from) it->second = to;
      ++it;
    }
  }
  return rc;
}

int FaultInjectionFileSystem::Unlink(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kUnlink, true)) return -1;
  DirOp op;
  op.kind = DirOp::kUnlink;
  op.dir = detail::DirName(path);
  op.path = path;
  const auto old = files_.find(path);
  if (old != files_.end()) {
    op.hadOld = true;
    op.old = old->second.synced;
  } else {
    op.hadOld = ReadRaw(path, &op.old);
  }
  const int rc = base_->Unlink(path);
  if (rc != 0) return rc;
  dirOps_.push_back(std::move(op));
  files_.erase(path);
  return rc;
}

int FaultInjectionFileSystem::Truncate(int fd, long long size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kTruncate, true)) return -1;
  const auto it = fdPaths_.find(fd);
  if (it != fdPaths_.end()) TrackWritable(it->second);
  const int rc = base_->Truncate(fd, size);
  if (rc == 0) MarkDirty(fd);
  return rc;
}

int FaultInjectionFileSystem::Mkdir(const std::string& path, unsigned int mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ShouldFail(CallKind::kMkdir, true)) return -1;
  const int rc = base_->Mkdir(path, mode);
  if (rc == 0) {
    DirOp op;
    op.kind = DirOp::kMkdir;
    op.dir = detail::DirName(path);
    op.path = path;
    dirOps_.push_back(std::move(op));
  }
  return rc;
}

int FaultInjectionFileSystem::Stat(const std::string& path, struct stat* st) { return base_->Stat(path, st); }

int FaultInjectionFileSystem::Fstat(int fd, struct stat* st) { return base_->Fstat(fd, st); }

void FaultInjectionFileSystem::SimulatePowerCut() {
  std::lock_guard<std::mutex> lock(mutex_);
  struct stat st;
  // Data first, at the files' current places; then the directory changes,
  // latest first, carry them back where they were durable.
  for (const auto& entry : files_) {
    if (entry.second.dirty && base_->Stat(entry.first, &st) == 0) WriteRaw(entry.first, entry.second.synced);
  }
  for (auto it = dirOps_.rbegin(); it != dirOps_.rend(); ++it) {
    switch (it->kind) {
      case DirOp::kCreate:
        base_->Unlink(it->path);
        break;
      case DirOp::kRename:
        if (base_->Stat(it->path, &st) == 0) base_->Rename(it->path, it->from);
        if (it->hadOld) WriteRaw(it->path, it->old);
        break;
      case DirOp::kUnlink:
        if (it->hadOld) WriteRaw(it->path, it->old);
        break;
      case DirOp::kMkdir:
        ::rmdir(it->path.c_str());
        break;
    }
  }
  files_.clear();
  dirOps_.clear();
}

void FaultInjectionFileSystem::MarkAllDurable() {
  std::lock_guard<std::mutex> lock(mutex_);
  files_.clear();
  dirOps_.clear();
}

ScopedFaultInjection::ScopedFaultInjection() { SetFileSystem(&fs_); }

ScopedFaultInjection::~ScopedFaultInjection() { SetFileSystem(nullptr); }

}  // namespace testing
}  // namespace standin
