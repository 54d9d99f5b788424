#include "standin/testing/MemFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <memory>
#include <random>
#include <string_view>
#include <utility>

#include "standin/ProcessId.h"

namespace standin {
namespace testing {

namespace {

constexpr int kRootIno = 1;
constexpr std::size_t kSector = 512;
// Far above the descriptors of the process: a memory descriptor handed to
// a plain system call by mistake fails with EBADF.
constexpr int kFirstFd = 1 << 24;
constexpr unsigned kUmask = 022;
// Times of the files a power-on finds: 2000-01-01, long before any boot.
constexpr long long kBeforeThisBoot = 946684800LL * 1000000000LL;

struct Node {
  bool dir = false;
  unsigned mode = 0644;
  int links = 0;
  std::string data;
  // Transparent: a path is walked by views of its components, without a
  // string made for each.
  std::map<std::string, int, std::less<>> entries;
  long long mtime = 0;
  long long ctime = 0;
  // Owned by whoever made it, as on a disk; asked once, not at every stat.
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
};

// The components of a path, as views into it. A relative path is taken from
// the process's working directory, as the real calls take it (a program that
// changes into a directory of this machine hands the library a relative
// path); the absolute path it makes is kept here, so the views stay valid.
// Every call walks a path: the views of a path of ordinary depth are kept
// in the object itself, and only a deeper one takes memory from the heap.
class Parts {
 public:
  explicit Parts(const std::string& given) {
    const std::string* path = &given;
    if (!given.empty() && given[0] != '/') {
      char cwd[PATH_MAX];
      if (::getcwd(cwd, sizeof cwd) != nullptr) {
        owned_.reset(new std::string(std::string(cwd) + "/" + given));
        path = owned_.get();
      }
    }
    Split(*path);
  }
  Parts(const Parts&) = delete;
  Parts& operator=(const Parts&) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const std::string_view& operator[](std::size_t i) const { return data()[i]; }
  const std::string_view& back() const { return data()[size_ - 1]; }
  const std::string_view* begin() const { return data(); }
  const std::string_view* end() const { return data() + size_; }

 private:
  static constexpr std::size_t kInline = 16;

  const std::string_view* data() const { return spilled_.empty() ? inline_ : spilled_.data(); }
  void Split(const std::string& path);
  void PushBack(std::string_view part) {
    if (size_ < kInline && spilled_.empty()) {
      inline_[size_++] = part;
      return;
    }
    if (spilled_.empty()) spilled_.assign(inline_, inline_ + size_);
    spilled_.push_back(part);
    ++size_;
  }
  void PopBack() {
    --size_;
    if (!spilled_.empty()) spilled_.pop_back();
  }

  std::string_view inline_[kInline];
  std::vector<std::string_view> spilled_;
  std::size_t size_ = 0;
  std::unique_ptr<std::string> owned_;
};

// path must outlive the views (the caller's, or the one Parts owns).
void Parts::Split(const std::string& path) {
  const std::string_view all(path);
  std::size_t pos = 0;
  while (pos <= all.size()) {
    std::size_t slash = all.find('/', pos);
    if (slash == std::string_view::npos) slash = all.size();
    const std::string_view part = all.substr(pos, slash - pos);
    if (part == "..") {
      if (!empty()) PopBack();
    } else if (!part.empty() && part != ".") {
      PushBack(part);
    }
    pos = slash + 1;
  }
}

}  // namespace

struct MemFileSystem::Image {
  std::map<int, Node> nodes;
  int nextIno = kRootIno + 1;

  Image() {
    Node root;
    root.dir = true;
    root.mode = 0755;
    root.links = 1;
    nodes[kRootIno] = root;
  }

  Node* Get(int ino) {
    const auto it = nodes.find(ino);
    return it == nodes.end() ? nullptr : &it->second;
  }
  const Node* Get(int ino) const {
    const auto it = nodes.find(ino);
    return it == nodes.end() ? nullptr : &it->second;
  }

  // The inode at path, or -1 with errno (ENOENT, ENOTDIR).
  int Walk(const Parts& parts, std::size_t count) const {
    int ino = kRootIno;
    for (std::size_t i = 0; i < count; ++i) {
      const Node* node = Get(ino);
      if (node == nullptr || !node->dir) {
        errno = ENOTDIR;
        return -1;
      }
      const auto it = node->entries.find(parts[i]);
      if (it == node->entries.end()) {
        errno = ENOENT;
        return -1;
      }
      ino = it->second;
    }
    return ino;
  }

  void Paths(int ino, const std::string& prefix, int want, std::vector<std::string>* out) const {
    const Node* node = Get(ino);
    if (node == nullptr || !node->dir) return;
    for (const auto& entry : node->entries) {
      const std::string path = prefix + "/" + entry.first;
      if (entry.second == want) out->push_back(path);
      Paths(entry.second, path, want, out);
    }
  }

  void Files(int ino, const std::string& prefix, std::vector<std::pair<std::string, int>>* out) const {
    const Node* node = Get(ino);
    if (node == nullptr || !node->dir) return;
    for (const auto& entry : node->entries) {
      const std::string path = prefix + "/" + entry.first;
      const Node* child = Get(entry.second);
      if (child == nullptr) continue;
      if (child->dir) {
        out->emplace_back(path + "/", entry.second);
        Files(entry.second, path, out);
      } else {
        out->emplace_back(path, entry.second);
      }
    }
  }

  // Drops an inode nobody names any more (unless open: caller checks).
  void Forget(int ino) {
    const Node* node = Get(ino);
    if (node != nullptr && node->links <= 0 && ino != kRootIno) nodes.erase(ino);
  }
};

struct MemFileSystem::Change {
  enum Kind { kCreate, kMkdir, kUnlink, kRename, kWrite, kTruncate, kSync, kSyncDir };
  explicit Change(Kind k) : kind(k) {}
  Kind kind;
  int ino = 0;
  int dir = 0;
  std::string name;
  int dir2 = 0;
  std::string name2;
  long long offset = 0;
  std::string data;

  bool Barrier() const { return kind == kSync || kind == kSyncDir; }
  bool DataChange() const { return kind == kWrite || kind == kTruncate; }
};

struct MemFileSystem::Recording {
  std::shared_ptr<const Image> durable;
  std::vector<Change> log;
};

struct MemFileSystem::OpenFile {
  int ino = 0;
  int flags = 0;
  long long offset = 0;
};

struct MemFileSystem::Resolved {
  int parent = -1;
  std::string name;
};

namespace {

using Image = MemFileSystem::Image;
using Change = MemFileSystem::Change;

void LinkEntry(Image* image, int dir, const std::string& name, int ino) {
  Node* d = image->Get(dir);
  if (d == nullptr || !d->dir) return;
  const auto it = d->entries.find(name);
  if (it != d->entries.end()) {
    if (it->second == ino) return;
    if (Node* old = image->Get(it->second)) --old->links;
  }
  d->entries[name] = ino;
  if (Node* n = image->Get(ino)) ++n->links;
}

void UnlinkEntry(Image* image, int dir, const std::string& name, int ino) {
  Node* d = image->Get(dir);
  if (d == nullptr) return;
  const auto it = d->entries.find(name);
  if (it == d->entries.end() || it->second != ino) return;
  d->entries.erase(it);
  if (Node* n = image->Get(ino)) --n->links;
}

Node& Ensure(Image* image, int ino, bool dir) {
  Node& n = image->nodes[ino];
  if (dir) {
    n.dir = true;
    n.mode = 0755;
  }
  if (image->nextIno <= ino) image->nextIno = ino + 1;
  return n;
}

// Applies one recorded change (or a sector of a write) to an image.
void Apply(Image* image, const Change& c) {
  switch (c.kind) {
    case Change::kCreate:
    case Change::kMkdir:
      Ensure(image, c.ino, c.kind == Change::kMkdir);
      LinkEntry(image, c.dir, c.name, c.ino);
      break;
    case Change::kUnlink:
      UnlinkEntry(image, c.dir, c.name, c.ino);
      break;
    case Change::kRename:
      Ensure(image, c.ino, false);
      UnlinkEntry(image, c.dir, c.name, c.ino);
      LinkEntry(image, c.dir2, c.name2, c.ino);
      break;
    case Change::kWrite: {
      Node& n = Ensure(image, c.ino, false);
      const std::size_t end = static_cast<std::size_t>(c.offset) + c.data.size();
      if (n.data.size() < end) n.data.resize(end, '\0');
      n.data.replace(static_cast<std::size_t>(c.offset), c.data.size(), c.data);
      break;
    }
    case Change::kTruncate:
      Ensure(image, c.ino, false).data.resize(static_cast<std::size_t>(c.offset), '\0');
      break;
    case Change::kSync:
    case Change::kSyncDir:
      break;
  }
}

// Whether change j is durable at crash point p (made durable by a later
// barrier before p).
bool Durable(const std::vector<Change>& log, std::size_t j, std::size_t p) {
  const Change& c = log[j];
  if (c.Barrier()) return true;
  bool dir1 = false;
  bool dir2 = c.kind != Change::kRename || c.dir2 == c.dir;
  for (std::size_t k = j + 1; k < p; ++k) {
    const Change& b = log[k];
    if (c.DataChange()) {
      if (b.kind == Change::kSync && b.ino == c.ino) return true;
      continue;
    }
    if (b.kind != Change::kSyncDir) continue;
    if (b.ino == c.dir) dir1 = true;
    if (c.kind == Change::kRename && b.ino == c.dir2) dir2 = true;
    if (dir1 && dir2) return true;
  }
  return false;
}

// A write split into the sectors it touches (offsets aligned to 512).
std::vector<Change> Sectors(const Change& c) {
  std::vector<Change> out;
  if (c.kind != Change::kWrite || c.data.size() <= kSector) {
    out.push_back(c);
    return out;
  }
  std::size_t pos = 0;
  while (pos < c.data.size()) {
    const std::size_t abs = static_cast<std::size_t>(c.offset) + pos;
    const std::size_t len = std::min(c.data.size() - pos, kSector - abs % kSector);
    Change piece = c;
    piece.offset = static_cast<long long>(abs);
    piece.data = c.data.substr(pos, len);
    out.push_back(std::move(piece));
    pos += len;
  }
  return out;
}

}  // namespace

MemFileSystem::MemFileSystem(std::size_t capacity)
    : capacity_(capacity), now_(new Image()), durable_(new Image()), nextFd_(kFirstFd) {}

MemFileSystem::~MemFileSystem() = default;

void MemFileSystem::SetCapacity(std::size_t capacity) {
  std::lock_guard<std::mutex> lock(mutex_);
  capacity_ = capacity;
}

bool MemFileSystem::ResolveParent(const std::string& path, Resolved* out) const {
  const Parts parts(path);
  if (parts.empty()) {
    errno = EBUSY;  // the root itself
    return false;
  }
  const int parent = now_->Walk(parts, parts.size() - 1);
  if (parent < 0) return false;
  const Node* node = now_->Get(parent);
  if (node == nullptr || !node->dir) {
    errno = ENOTDIR;
    return false;
  }
  out->parent = parent;
  out->name.assign(parts.back().data(), parts.back().size());
  return true;
}

int MemFileSystem::Lookup(const std::string& path) const {
  const Parts parts(path);
  const int ino = now_->Walk(parts, parts.size());
  if (ino < 0) return -1;
  // "file/" names a directory that is not there.
  const Node* node = now_->Get(ino);
  if (!path.empty() && path.back() == '/' && node != nullptr && !node->dir) {
    errno = ENOTDIR;
    return -1;
  }
  return ino;
}

MemFileSystem::OpenFile* MemFileSystem::Desc(int fd) {
  const auto it = fds_.find(fd);
  if (it == fds_.end() || now_->Get(it->second->ino) == nullptr) {
    errno = EBADF;
    return nullptr;
  }
  return it->second.get();
}

void MemFileSystem::Record(Change change) {
  if (recording_) log_.push_back(std::move(change));
}

void MemFileSystem::Remember(int ino) {
  if (!recording_) return;
  std::vector<std::string> paths;
  now_->Paths(kRootIno, "", ino, &paths);
  const Node* node = now_->Get(ino);
  if (node == nullptr || node->dir) return;
  for (const std::string& path : paths) versions_[path].insert(node->data);
}

void MemFileSystem::RememberDir(int dirIno) {
  if (!recording_) return;
  const Node* dir = now_->Get(dirIno);
  if (dir == nullptr) return;
  std::vector<std::string> dirPaths;
  if (dirIno == kRootIno) {
    dirPaths.push_back("");
  } else {
    now_->Paths(kRootIno, "", dirIno, &dirPaths);
  }
  for (const auto& entry : dir->entries) {
    const Node* child = now_->Get(entry.second);
    if (child == nullptr || child->dir) continue;
    for (const std::string& d : dirPaths) versions_[d + "/" + entry.first].insert(child->data);
  }
}

std::size_t MemFileSystem::DataBytes() const {
  std::size_t total = 0;
  for (const auto& n : now_->nodes) total += n.second.data.size();
  return total;
}

void MemFileSystem::Touch(int ino) {
  if (Node* n = now_->Get(ino)) n->mtime = n->ctime = Tick();
}

long long MemFileSystem::Tick() {
  // The wall clock, but a new time at every change: the store recognises a
  // file it read before by its times.
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  const long long wall = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  clock_ = wall > clock_ ? wall : clock_ + 1;
  return clock_;
}

// ---- helpers ----

bool MemFileSystem::MakeDirs(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  int ino = kRootIno;
  for (const std::string_view part : Parts(path)) {
    Node* node = now_->Get(ino);
    if (node == nullptr || !node->dir) return false;
    const auto it = node->entries.find(part);
    if (it != node->entries.end()) {
      ino = it->second;
      continue;
    }
    const int child = now_->nextIno++;
    Node& made = now_->nodes[child];
    made.dir = true;
    made.mode = 0755;
    LinkEntry(now_.get(), ino, std::string(part), child);
    Touch(child);
    ino = child;
  }
  const Node* node = now_->Get(ino);
  return node != nullptr && node->dir;
}

bool MemFileSystem::PutFile(const std::string& path, const std::string& content) {
  std::lock_guard<std::mutex> lock(mutex_);
  Resolved r;
  if (!ResolveParent(path, &r)) return false;
  Node* dir = now_->Get(r.parent);
  const auto it = dir->entries.find(r.name);
  int ino;
  if (it != dir->entries.end()) {
    ino = it->second;
    if (now_->Get(ino)->dir) return false;
  } else {
    ino = now_->nextIno++;
    now_->nodes[ino];
    LinkEntry(now_.get(), r.parent, r.name, ino);
  }
  now_->Get(ino)->data = content;
  Touch(ino);
  return true;
}

bool MemFileSystem::GetFile(const std::string& path, std::string* content) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const int ino = Lookup(path);
  const Node* node = ino < 0 ? nullptr : now_->Get(ino);
  if (node == nullptr || node->dir) return false;
  *content = node->data;
  return true;
}

bool MemFileSystem::Remove(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  Resolved r;
  if (!ResolveParent(path, &r)) return false;
  const auto it = now_->Get(r.parent)->entries.find(r.name);
  if (it == now_->Get(r.parent)->entries.end()) return false;
  const int ino = it->second;
  // The directory and everything beneath it go (unless still open).
  std::vector<int> stack{ino};
  std::vector<int> all;
  while (!stack.empty()) {
    const int at = stack.back();
    stack.pop_back();
    all.push_back(at);
    if (const Node* node = now_->Get(at)) {
      for (const auto& e : node->entries) stack.push_back(e.second);
    }
  }
  UnlinkEntry(now_.get(), r.parent, r.name, ino);
  for (int at : all) {
    bool open = false;
    for (const auto& f : fds_) open = open || f.second->ino == at;
    if (!open && at != kRootIno) now_->nodes.erase(at);
  }
  return true;
}

bool MemFileSystem::Exists(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return Lookup(path) >= 0;
}

std::vector<std::string> MemFileSystem::List(const std::string& dir) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  const int ino = Lookup(dir);
  const Node* node = ino < 0 ? nullptr : now_->Get(ino);
  if (node == nullptr || !node->dir) return out;
  for (const auto& entry : node->entries) out.push_back(entry.first);
  return out;
}

std::vector<std::string> MemFileSystem::FilesBeneath(const std::string& dir) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  const int ino = Lookup(dir);
  if (ino < 0) return out;
  std::string prefix = dir;
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  std::vector<std::pair<std::string, int>> files;
  now_->Files(ino, prefix, &files);
  for (const auto& f : files) {
    if (f.first.back() != '/') out.push_back(f.first);
  }
  return out;
}

// ---- persistence model ----

void MemFileSystem::MarkDurable() {
  std::lock_guard<std::mutex> lock(mutex_);
  recording_ = true;
  log_.clear();
  durable_ = std::make_shared<const Image>(*now_);
  versions_.clear();
  std::vector<std::pair<std::string, int>> files;
  now_->Files(kRootIno, "", &files);
  for (const auto& f : files) {
    if (f.first.back() != '/') versions_[f.first].insert(now_->Get(f.second)->data);
  }
}

std::size_t MemFileSystem::ChangeCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return log_.size();
}

std::string MemFileSystem::ChangeName(std::size_t i) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (i >= log_.size()) return "?";
  const Change& c = log_[i];
  const auto path = [this](int dir, const std::string& name) {
    std::vector<std::string> paths;
    if (dir == kRootIno) return "/" + name;
    now_->Paths(kRootIno, "", dir, &paths);
    return (paths.empty() ? std::string("?") : paths.front()) + "/" + name;
  };
  const std::string ino = "#" + std::to_string(c.ino);
  switch (c.kind) {
    case Change::kCreate:
      return "create " + path(c.dir, c.name) + " " + ino;
    case Change::kMkdir:
      return "mkdir " + path(c.dir, c.name);
    case Change::kUnlink:
      return "unlink " + path(c.dir, c.name);
    case Change::kRename:
      return "rename " + path(c.dir, c.name) + " -> " + path(c.dir2, c.name2);
    case Change::kWrite:
      return "write " + ino + " at " + std::to_string(c.offset) + " (" + std::to_string(c.data.size()) + " bytes)";
    case Change::kTruncate:
      return "truncate " + ino + " to " + std::to_string(c.offset);
    case Change::kSync:
      return "sync " + ino;
    case Change::kSyncDir:
      return "syncdir #" + std::to_string(c.ino);
  }
  return "?";
}

std::shared_ptr<const MemFileSystem::Recording> MemFileSystem::Recorded() const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto out = std::make_shared<Recording>();
  out->durable = durable_;
  out->log = log_;
  return out;
}

std::size_t MemFileSystem::ChangeCount(const Recording& recording) { return recording.log.size(); }

MemFileSystem::CrashStateSet MemFileSystem::CrashStates(std::size_t point, Model model, std::size_t limit,
                                                        std::uint64_t seed) const {
  return CrashStates(*Recorded(), point, model, limit, seed);
}

MemFileSystem::CrashStateSet MemFileSystem::CrashStates(const Recording& recording, std::size_t point, Model model,
                                                        std::size_t limit, std::uint64_t seed) {
  const std::vector<Change>& log_ = recording.log;
  const std::shared_ptr<const Image>& durable_ = recording.durable;
  CrashStateSet out;
  const std::size_t p = std::min(point, log_.size());
  if (model == Model::kOrdered) {
    std::size_t shortest = 0;
    for (std::size_t j = 0; j < p; ++j) {
      if (!log_[j].Barrier() && Durable(log_, j, p)) shortest = j + 1;
    }
    for (std::size_t q = shortest; q <= p; ++q) {
      // Prefix q, and prefix q with its last write torn after each sector.
      std::vector<std::size_t> tears{0};
      if (q > 0 && log_[q - 1].kind == Change::kWrite) {
        const std::vector<Change> pieces = Sectors(log_[q - 1]);
        for (std::size_t k = 1; k < pieces.size(); ++k) tears.push_back(k);
      }
      for (std::size_t tear : tears) {
        auto image = std::make_shared<Image>(*durable_);
        for (std::size_t j = 0; j < q; ++j) {
          if (j + 1 == q && tear != 0) {
            const std::vector<Change> pieces = Sectors(log_[j]);
            for (std::size_t k = 0; k < tear; ++k) Apply(image.get(), pieces[k]);
          } else {
            Apply(image.get(), log_[j]);
          }
        }
        std::string what = "first " + std::to_string(q) + " of " + std::to_string(p) + " changes";
        if (tear != 0) what += ", the last torn after " + std::to_string(tear) + " sectors";
        out.states.push_back(CrashState{what, image});
      }
    }
    return out;
  }
  // Weak: the durable changes, and a subset of the rest, sector by sector.
  struct Piece {
    std::size_t index;
    Change change;
    bool pending;
  };
  std::vector<Piece> pieces;
  std::size_t pending = 0;
  for (std::size_t j = 0; j < p; ++j) {
    if (log_[j].Barrier()) continue;
    const bool durable = Durable(log_, j, p);
    for (Change& c : Sectors(log_[j])) {
      pieces.push_back(Piece{j, std::move(c), !durable});
      if (!durable) ++pending;
    }
  }
  std::vector<std::vector<bool>> masks;
  const bool exhaustive = pending < 63 && (std::uint64_t{1} << pending) <= limit;
  out.exhaustive = exhaustive;
  if (exhaustive) {
    for (std::uint64_t m = 0; m < (std::uint64_t{1} << pending); ++m) {
      std::vector<bool> mask(pending);
      for (std::size_t b = 0; b < pending; ++b) mask[b] = ((m >> b) & 1u) != 0;
      masks.push_back(std::move(mask));
    }
  } else {
    std::mt19937_64 rng(seed ^ (static_cast<std::uint64_t>(p) * 0x9e3779b97f4a7c15ull));
    masks.push_back(std::vector<bool>(pending, false));
    masks.push_back(std::vector<bool>(pending, true));
    while (masks.size() < limit) {
      std::vector<bool> mask(pending);
      for (std::size_t b = 0; b < pending; ++b) mask[b] = (rng() & 1u) != 0;
      masks.push_back(std::move(mask));
    }
  }
  for (const std::vector<bool>& mask : masks) {
    auto image = std::make_shared<Image>(*durable_);
    std::string what = "durable changes of " + std::to_string(p) + ", and of the rest:";
    std::size_t b = 0;
    bool any = false;
    std::size_t lastIndex = static_cast<std::size_t>(-1);
    for (const Piece& piece : pieces) {
      bool take = true;
      if (piece.pending) take = mask[b++];
      if (!take) continue;
      Apply(image.get(), piece.change);
      if (piece.pending && piece.index != lastIndex) {
        what += " " + std::to_string(piece.index + 1);
        lastIndex = piece.index;
        any = true;
      }
    }
    if (!any) what += " none";
    out.states.push_back(CrashState{what, image});
  }
  return out;
}

void MemFileSystem::PowerOn(const CrashState& state) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int nextIno = std::max(now_->nextIno, state.image->nextIno);
  now_.reset(new Image(*state.image));
  now_->nextIno = nextIno;
  // Everything on the disk was written before this boot; and nothing the
  // process kept may take the files for those it had before the cut.
  for (auto& n : now_->nodes) n.second.mtime = n.second.ctime = kBeforeThisBoot + (++sinceBoot_);
  std::vector<int> orphans;
  for (const auto& n : now_->nodes) {
    if (n.second.links <= 0 && n.first != kRootIno) orphans.push_back(n.first);
  }
  for (int ino : orphans) now_->nodes.erase(ino);
  fds_.clear();
  locks_.clear();
  unlocked_.notify_all();
  log_.clear();
  durable_ = std::make_shared<const Image>(*now_);
  versions_.clear();
}

std::map<std::string, std::set<std::string>> MemFileSystem::AllVersions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return versions_;
}

std::set<std::string> MemFileSystem::Versions(const std::string& path) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = versions_.find(path);
  return it == versions_.end() ? std::set<std::string>() : it->second;
}

bool MemFileSystem::FileIn(const Image& image, const std::string& path, std::string* content) {
  const Parts parts(path);
  const int ino = image.Walk(parts, parts.size());
  const Node* node = ino < 0 ? nullptr : image.Get(ino);
  if (node == nullptr || node->dir) return false;
  *content = node->data;
  return true;
}

std::map<std::string, std::string> MemFileSystem::FilesIn(const Image& image, const std::string& dir) {
  std::map<std::string, std::string> out;
  const Parts parts(dir);
  const int ino = image.Walk(parts, parts.size());
  if (ino < 0) return out;
  std::string prefix;
  for (const std::string_view part : parts) {
    prefix += '/';
    prefix.append(part.data(), part.size());
  }
  std::vector<std::pair<std::string, int>> files;
  image.Files(ino, prefix, &files);
  for (const auto& f : files) {
    if (f.first.back() != '/') out[f.first] = image.Get(f.second)->data;
  }
  return out;
}

std::map<std::string, std::string> MemFileSystem::FilesNow(const std::string& dir) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return FilesIn(*now_, dir);
}

namespace {

// Calls visit(path, node) for every regular file beneath the directory ino,
// path growing in one buffer.
template <class Visit>
void EachFile(const Image& image, int ino, std::string* path, Visit& visit) {
  const Node* node = image.Get(ino);
  if (node == nullptr || !node->dir) return;
  const std::size_t length = path->size();
  for (const auto& entry : node->entries) {
    path->push_back('/');
    path->append(entry.first);
    if (const Node* child = image.Get(entry.second)) {
      if (child->dir) {
        EachFile(image, entry.second, path, visit);
      } else {
        visit(*path, *child);
      }
    }
    path->resize(length);
  }
}

}  // namespace

std::vector<std::string> MemFileSystem::RestoreFiles(const std::string& dir,
                                                     const std::map<std::string, std::string>& files,
                                                     bool (*keep)(const std::string& path)) {
  std::vector<std::string> stale;    // removed, and made again when in files
  std::vector<std::string> missing;  // in files, not there
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const Parts parts(dir);
    const int ino = now_->Walk(parts, parts.size());
    std::string path;
    for (const std::string_view part : parts) {
      path += '/';
      path.append(part.data(), part.size());
    }
    std::size_t found = 0;
    auto visit = [&](const std::string& at, const Node& node) {
      if (keep != nullptr && keep(at)) return;
      const auto was = files.find(at);
      if (was != files.end()) ++found;
      if (was == files.end() || was->second != node.data) stale.push_back(at);
    };
    if (ino >= 0) EachFile(*now_, ino, &path, visit);
    if (found < files.size()) {
      for (const auto& file : files) {
        if (keep != nullptr && keep(file.first)) continue;
        if (Lookup(file.first) < 0) missing.push_back(file.first);
      }
    }
  }
  std::vector<std::string> restored;
  for (const std::string& at : stale) {
    Remove(at);
    const auto was = files.find(at);
    if (was != files.end()) PutFile(at, was->second);
    restored.push_back(at);
  }
  for (const std::string& at : missing) {
    PutFile(at, files.at(at));
    restored.push_back(at);
  }
  return restored;
}

void PretendProcessId(int pid) { detail::SetCurrentPidForTesting(static_cast<pid_t>(pid)); }

// ---- FileSystem ----

int MemFileSystem::Open(const std::string& path, int flags, unsigned int mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int access = flags & O_ACCMODE;
  const bool writable = access != O_RDONLY;
  Resolved r;
  int ino = -1;
  if (Parts(path).empty()) {
    ino = kRootIno;
  } else {
    if (!ResolveParent(path, &r)) return -1;
    const Node* dir = now_->Get(r.parent);
    const auto it = dir->entries.find(r.name);
    if (it != dir->entries.end()) ino = it->second;
  }
  if (ino >= 0) {
    Node* node = now_->Get(ino);
    if ((flags & O_CREAT) != 0 && (flags & O_EXCL) != 0) {
      errno = EEXIST;
      return -1;
    }
    if (node->dir && (writable || (flags & O_TRUNC) != 0 || (flags & O_CREAT) != 0)) {
      errno = EISDIR;
      return -1;
    }
    if (!node->dir && ((flags & O_DIRECTORY) != 0 || (!path.empty() && path.back() == '/'))) {
      errno = ENOTDIR;
      return -1;
    }
    if (!node->dir && writable && (flags & O_TRUNC) != 0 && !node->data.empty()) {
      node->data.clear();
      Touch(ino);
      Change c(Change::kTruncate);
      c.ino = ino;
      c.offset = 0;
      Record(std::move(c));
    }
  } else {
    if ((flags & O_CREAT) == 0) {
      errno = ENOENT;
      return -1;
    }
    if ((flags & O_DIRECTORY) != 0 || (!path.empty() && path.back() == '/')) {
      errno = EISDIR;
      return -1;
    }
    ino = now_->nextIno++;
    Node& made = now_->nodes[ino];
    made.mode = mode & 07777 & ~kUmask;
    LinkEntry(now_.get(), r.parent, r.name, ino);
    Touch(ino);
    Touch(r.parent);
    Change c(Change::kCreate);
    c.ino = ino;
    c.dir = r.parent;
    c.name = r.name;
    Record(std::move(c));
  }
  auto file = std::make_shared<OpenFile>();
  file->ino = ino;
  file->flags = flags;
  const int fd = nextFd_++;
  fds_[fd] = std::move(file);
  return fd;
}

int MemFileSystem::Close(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = fds_.find(fd);
  if (it == fds_.end()) {
    errno = EBADF;
    return -1;
  }
  const OpenFile* file = it->second.get();
  const int ino = file->ino;
  const auto held = locks_.find(ino);
  if (held != locks_.end() && held->second == file) {
    held->second = nullptr;
    unlocked_.notify_all();
  }
  fds_.erase(it);
  bool stillOpen = false;
  for (const auto& f : fds_) stillOpen = stillOpen || f.second->ino == ino;
  if (!stillOpen) {
    // Nobody can hold a lock of a file nobody has open.
    locks_.erase(ino);
    now_->Forget(ino);
  }
  return 0;
}

long long MemFileSystem::Read(int fd, void* buf, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  const Node* node = now_->Get(file->ino);
  if (node->dir) {
    errno = EISDIR;
    return -1;
  }
  if ((file->flags & O_ACCMODE) == O_WRONLY) {
    errno = EBADF;
    return -1;
  }
  if (file->offset >= static_cast<long long>(node->data.size())) return 0;
  const std::size_t n = std::min(size, node->data.size() - static_cast<std::size_t>(file->offset));
  std::memcpy(buf, node->data.data() + file->offset, n);
  file->offset += static_cast<long long>(n);
  return static_cast<long long>(n);
}

long long MemFileSystem::Write(int fd, const void* data, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  if ((file->flags & O_ACCMODE) == O_RDONLY) {
    errno = EBADF;
    return -1;
  }
  Node* node = now_->Get(file->ino);
  if ((file->flags & O_APPEND) != 0) file->offset = static_cast<long long>(node->data.size());
  const std::size_t offset = static_cast<std::size_t>(file->offset);
  std::size_t n = size;
  if (capacity_ != 0) {
    const std::size_t end = offset + size;
    const std::size_t growth = end > node->data.size() ? end - node->data.size() : 0;
    const std::size_t used = DataBytes();
    const std::size_t room = used >= capacity_ ? 0 : capacity_ - used;
    if (growth > room) {
      // What fits is written, as a real file system does; nothing fits: ENOSPC.
      const std::size_t fits = node->data.size() + room > offset ? node->data.size() + room - offset : 0;
      if (fits == 0) {
        errno = ENOSPC;
        return -1;
      }
      n = std::min(n, fits);
    }
  }
  if (n == 0) return 0;
  if (node->data.size() < offset + n) node->data.resize(offset + n, '\0');
  node->data.replace(offset, n, static_cast<const char*>(data), n);
  file->offset += static_cast<long long>(n);
  Touch(file->ino);
  // The record copies the data: not made when nothing records.
  if (recording_) {
    Change c(Change::kWrite);
    c.ino = file->ino;
    c.offset = static_cast<long long>(offset);
    c.data.assign(static_cast<const char*>(data), n);
    Record(std::move(c));
  }
  return static_cast<long long>(n);
}

long long MemFileSystem::Seek(int fd, long long offset, int whence) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  const Node* node = now_->Get(file->ino);
  long long base = 0;
  if (whence == SEEK_CUR) {
    base = file->offset;
  } else if (whence == SEEK_END) {
    base = static_cast<long long>(node->data.size());
  } else if (whence != SEEK_SET) {
    errno = EINVAL;
    return -1;
  }
  if (base + offset < 0) {
    errno = EINVAL;
    return -1;
  }
  file->offset = base + offset;
  return file->offset;
}

int MemFileSystem::Sync(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  Change c(Change::kSync);
  c.ino = file->ino;
  Record(std::move(c));
  if (now_->Get(file->ino)->dir) {
    RememberDir(file->ino);
  } else {
    Remember(file->ino);
  }
  return 0;
}

int MemFileSystem::SyncDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int ino = Lookup(dir.empty() ? std::string("/") : dir);
  if (ino < 0) return -1;
  if (!now_->Get(ino)->dir) {
    errno = ENOTDIR;
    return -1;
  }
  Change c(Change::kSyncDir);
  c.ino = ino;
  Record(std::move(c));
  RememberDir(ino);
  return 0;
}

int MemFileSystem::Rename(const std::string& from, const std::string& to) {
  std::lock_guard<std::mutex> lock(mutex_);
  Resolved a;
  Resolved b;
  if (!ResolveParent(from, &a) || !ResolveParent(to, &b)) return -1;
  Node* da = now_->Get(a.parent);
  const auto src = da->entries.find(a.name);
  if (src == da->entries.end()) {
    errno = ENOENT;
    return -1;
  }
  const int ino = src->second;
  const Node* moving = now_->Get(ino);
  Node* db = now_->Get(b.parent);
  const auto dst = db->entries.find(b.name);
  if (dst != db->entries.end()) {
    if (dst->second == ino) return 0;
    const Node* target = now_->Get(dst->second);
    if (moving->dir && !target->dir) {
      errno = ENOTDIR;
      return -1;
    }
    if (!moving->dir && target->dir) {
      errno = EISDIR;
      return -1;
    }
    if (target->dir && !target->entries.empty()) {
      errno = ENOTEMPTY;
      return -1;
    }
  }
  if (moving->dir) {
    // Not into itself or beneath itself.
    std::vector<std::string> inside;
    now_->Paths(ino, "", b.parent, &inside);
    if (b.parent == ino || !inside.empty()) {
      errno = EINVAL;
      return -1;
    }
  }
  const int replaced = dst != db->entries.end() ? dst->second : -1;
  UnlinkEntry(now_.get(), a.parent, a.name, ino);
  LinkEntry(now_.get(), b.parent, b.name, ino);
  Touch(a.parent);
  Touch(b.parent);
  if (replaced >= 0) {
    bool open = false;
    for (const auto& f : fds_) open = open || f.second->ino == replaced;
    if (!open) now_->Forget(replaced);
  }
  Change c(Change::kRename);
  c.ino = ino;
  c.dir = a.parent;
  c.name = a.name;
  c.dir2 = b.parent;
  c.name2 = b.name;
  Record(std::move(c));
  return 0;
}

int MemFileSystem::Unlink(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  Resolved r;
  if (!ResolveParent(path, &r)) return -1;
  Node* dir = now_->Get(r.parent);
  const auto it = dir->entries.find(r.name);
  if (it == dir->entries.end()) {
    errno = ENOENT;
    return -1;
  }
  const int ino = it->second;
  if (now_->Get(ino)->dir) {
    errno = EISDIR;
    return -1;
  }
  UnlinkEntry(now_.get(), r.parent, r.name, ino);
  Touch(r.parent);
  bool open = false;
  for (const auto& f : fds_) open = open || f.second->ino == ino;
  if (!open) now_->Forget(ino);
  Change c(Change::kUnlink);
  c.ino = ino;
  c.dir = r.parent;
  c.name = r.name;
  Record(std::move(c));
  return 0;
}

int MemFileSystem::Truncate(int fd, long long size) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  Node* node = now_->Get(file->ino);
  if (node->dir || (file->flags & O_ACCMODE) == O_RDONLY || size < 0) {
    // Linux: EISDIR for a directory, EINVAL for a descriptor not open for
    // writing or a negative size.
    errno = node->dir ? EISDIR : EINVAL;
    return -1;
  }
  const std::size_t want = static_cast<std::size_t>(size);
  if (capacity_ != 0 && want > node->data.size() && DataBytes() + (want - node->data.size()) > capacity_) {
    errno = ENOSPC;
    return -1;
  }
  node->data.resize(want, '\0');
  Touch(file->ino);
  Change c(Change::kTruncate);
  c.ino = file->ino;
  c.offset = size;
  Record(std::move(c));
  return 0;
}

int MemFileSystem::Mkdir(const std::string& path, unsigned int mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  Resolved r;
  if (!ResolveParent(path, &r)) return -1;
  Node* dir = now_->Get(r.parent);
  if (dir->entries.count(r.name) != 0) {
    errno = EEXIST;
    return -1;
  }
  const int ino = now_->nextIno++;
  Node& made = now_->nodes[ino];
  made.dir = true;
  made.mode = mode & 07777 & ~kUmask;
  LinkEntry(now_.get(), r.parent, r.name, ino);
  Touch(ino);
  Touch(r.parent);
  Change c(Change::kMkdir);
  c.ino = ino;
  c.dir = r.parent;
  c.name = r.name;
  Record(std::move(c));
  return 0;
}

namespace {
void Fill(const Node& node, int ino, struct stat* st) {
  std::memset(st, 0, sizeof *st);
  st->st_dev = 0x6d656d;
  st->st_ino = static_cast<ino_t>(ino);
  st->st_mode = (node.dir ? S_IFDIR : S_IFREG) | node.mode;
  st->st_nlink = static_cast<nlink_t>(node.links > 0 ? node.links : 0);
  st->st_uid = node.uid;
  st->st_gid = node.gid;
  st->st_size = static_cast<off_t>(node.data.size());
  st->st_blksize = 4096;
  st->st_blocks = static_cast<blkcnt_t>((node.data.size() + 511) / 512);
  st->st_mtim.tv_sec = static_cast<time_t>(node.mtime / 1000000000);
  st->st_mtim.tv_nsec = static_cast<long>(node.mtime % 1000000000);
  st->st_ctim.tv_sec = static_cast<time_t>(node.ctime / 1000000000);
  st->st_ctim.tv_nsec = static_cast<long>(node.ctime % 1000000000);
  st->st_atim = st->st_mtim;
}
}  // namespace

int MemFileSystem::Stat(const std::string& path, struct stat* st) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int ino = Lookup(path);
  if (ino < 0) return -1;
  Fill(*now_->Get(ino), ino, st);
  return 0;
}

int MemFileSystem::Fstat(int fd, struct stat* st) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  Fill(*now_->Get(file->ino), file->ino, st);
  return 0;
}

int MemFileSystem::Lock(int fd) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    const auto it = fds_.find(fd);
    if (it == fds_.end()) {
      errno = EBADF;
      return -1;
    }
    const OpenFile* file = it->second.get();
    const auto held = locks_.find(file->ino);
    if (held == locks_.end()) {
      locks_.emplace(file->ino, file);
      return 0;
    }
    if (held->second == nullptr || held->second == file) {
      held->second = file;
      return 0;
    }
    unlocked_.wait(lock);
  }
}

int MemFileSystem::Unlock(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = fds_.find(fd);
  if (it == fds_.end()) {
    errno = EBADF;
    return -1;
  }
  const auto held = locks_.find(it->second->ino);
  if (held != locks_.end() && held->second == it->second.get()) {
    // The entry stays, free, while the file is open: a lock taken and
    // dropped again and again costs no allocation.
    held->second = nullptr;
    unlocked_.notify_all();
  }
  return 0;
}

int MemFileSystem::SetBlocking(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  OpenFile* file = Desc(fd);
  if (file == nullptr) return -1;
  file->flags &= ~O_NONBLOCK;
  return 0;
}

int MemFileSystem::ListDir(const std::string& dir, std::vector<std::string>* names) {
  std::lock_guard<std::mutex> lock(mutex_);
  names->clear();
  const int ino = Lookup(dir.empty() ? std::string("/") : dir);
  if (ino < 0) return -1;
  const Node* node = now_->Get(ino);
  if (!node->dir) {
    errno = ENOTDIR;
    return -1;
  }
  for (const auto& entry : node->entries) names->push_back(entry.first);
  return 0;
}

ScopedMemFileSystem::ScopedMemFileSystem(std::size_t capacity) : fs_(capacity) { SetFileSystem(&fs_); }

ScopedMemFileSystem::~ScopedMemFileSystem() { SetFileSystem(nullptr); }

}  // namespace testing
}  // namespace standin
