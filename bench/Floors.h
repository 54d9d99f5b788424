// The physical floors the library's operations are measured against: the
// least work any implementation must do to get the same effect on this
// machine, written with plain system calls and no abstraction.
//
// - read + parse of a key=value file (a get);
// - read + parse + serialise + durable atomic replace (a write of one key):
//   temporary file, write, fsync, close, rename over the target, fsync of the
//   directory, whose descriptor stays open;
// - map-lock-read-unmap of a shared-memory record (one default read):
//   shm_open, mmap, an open-file-description lock on a lock file that stays
//   open, the read, unlock, munmap, close;
// - fopen-fwrite-fclose of a binary record, and its durable counterpart;
// - a durable copy of a file.
//
// Floor files live in their own directory beside the unit's save directory,
// on the same file system, with content of the same size as the unit's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sysdata_bench {

// Key=value text split into (key, value) views of the text, in file order.
class ParsedText {
 public:
  void parse(std::string text);
  const std::string_view* find(std::string_view key) const;
  // Sets key (appended when new) and returns the serialised text.
  std::string serialiseWith(std::string_view key, std::string_view value) const;
  std::string serialise() const;
  std::size_t size() const { return entries_.size(); }

 private:
  std::string text_;
  std::vector<std::pair<std::string_view, std::string_view>> entries_;
};

// A directory holding floor files, with its descriptor open for fsync.
class FloorDir {
 public:
  explicit FloorDir(std::string path);
  ~FloorDir();
  FloorDir(const FloorDir&) = delete;
  FloorDir& operator=(const FloorDir&) = delete;

  std::string path(const std::string& name) const { return path_ + "/" + name; }
  const std::string& dir() const { return path_; }

  std::string read(const std::string& name) const;
  // Temporary file, write, fsync, close, rename, fsync of the directory.
  bool replaceDurably(const std::string& name, const void* data, std::size_t size) const;
  bool replaceDurably(const std::string& name, const std::string& content) const {
    return replaceDurably(name, content.data(), content.size());
  }
  // Durable copy of a file into this directory under name.
  bool copyDurably(const std::string& fromPath, const std::string& name) const;
  // fopen("w"), fwrite, fclose: truncation in place, nothing made durable.
  bool writePlain(const std::string& name, const void* data, std::size_t size) const;

 private:
  std::string path_;
  int fd_ = -1;
};

// Read of a whole file: open, fstat, read, close.
std::string readWhole(const std::string& path);

// An exclusive open-file-description lock (F_WRLCK) or its release
// (F_UNLCK) on the whole of fd.
void lockFdFor(int fd, short type);

// What the store's contract alone costs an open-get-close of an unchanged
// file: the exclusive inter-process lock, one stat proving the file is the
// one read before, the unlock. lockFd: a descriptor of a lock file.
void contractGet(int lockFd, const std::string& path);

// Floor of a get: read + parse + look up + convert.
int floorGet(const FloorDir& dir, const std::string& name, const char* key);
// Floor of a write of one key: read + parse + serialise + durable replace.
void floorSet(const FloorDir& dir, const std::string& name, const char* key, int value);

// A shared-memory record of the unit, mapped and unmapped per cycle.
class FloorSegment {
 public:
  // hostName: "SystemInfo" and so on (placed in the unit's namespace);
  // recordSize: the record after its 4-byte size word.
  FloorSegment(const char* hostName, std::size_t recordSize, const std::string& lockPath);
  ~FloorSegment();
  FloorSegment(const FloorSegment&) = delete;
  FloorSegment& operator=(const FloorSegment&) = delete;

  // shm_open, mmap, lock, read words 32-bit words at offset, unlock, munmap,
  // close. Returns the sum of the words read.
  std::uint32_t cycle(std::size_t offset, int words) const;
  // The same cycle with the steps the segment template and the record views
  // make: under the lock, the creating open that fails because the segment
  // exists, the plain open, the template's check of the segment's size, the
  // mapping and the write of the size word; then holds separate holds of the
  // lock (the first-initialisation check of "SystemInfo", the reads), the
  // last one running access.
  void designCycle(int holds, const std::function<void(unsigned char* record)>& access) const;
  std::uint32_t designCycle(std::size_t offset, int words, int holds) const;
  // cycle() or, when design, designCycle().
  std::uint32_t cycleAs(bool design, std::size_t offset, int words, int holds) const {
    return design ? designCycle(offset, words, holds) : cycle(offset, words);
  }
  // One mapping; under one hold of the lock the whole record is copied out
  // and written back (a read-modify-write of the whole record).
  void copyOutAndBack(unsigned char* buffer) const;

 private:
  std::string shmName_;
  std::size_t segmentSize_;
  int lockFd_ = -1;
};

// Serialised "Key=Value\n" text of keys with int values.
std::string keyValueText(const std::vector<std::pair<std::string, int>>& entries);

}  // namespace sysdata_bench
