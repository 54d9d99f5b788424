// A named POSIX shared-memory segment holding one record T behind a 4-byte
// size word, mapped read-write for the life of the object and guarded by the
// inter-process lock of the same name.
//
// Layout (shared with every process that maps it):
//   offset 0  uint32 little-endian: size of the record area (segment size - 4),
//             written by every process that maps the segment;
//   offset 4  the record, sizeof(T) bytes.
//
// The creator sizes the segment and zero-fills the record; later openers
// attach without clearing it. An opener that finds the segment shorter than
// its size (its creator died between creating and sizing it) extends it
// first, never shrinking it and never clearing what is there, because mapping
// beyond the end of a short segment faults on first access. The segment is
// never unlinked.
//
// Nothing throws: a failure leaves the descriptor -1 and/or nothing mapped,
// record() then returns null, and the failure is logged.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/TqDbgOutput.h"
#include "platform/TqSimulation.h"
#include "platform/TqString.h"
#include "platform/TqSync.h"

template <class T, int N>
class TqSharedMemory;

template <class T>
class __attribute__((visibility("default"))) TqSharedMemory<T, 1> : public TqSharedSyncObject {
 public:
  static constexpr std::size_t kMaxNameLength = 248;
  static constexpr std::uint32_t kRecordSize = static_cast<std::uint32_t>(sizeof(T));
  static constexpr std::size_t kSegmentSize = sizeof(T) + 4;

  explicit TqSharedMemory(const char* name) : TqSharedSyncObject(name) {
    if (name == nullptr) {
      TqDbgOutput::DbgPrint(__FILE__, "TqSharedMemory", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                            "TqSharedMemory Failed. Error. Name is NULL.\n");
      return;
    }
    if (name[0] == '\0') {
      TqDbgOutput::DbgPrint(__FILE__, "TqSharedMemory", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                            "TqSharedMemory Failed. Error. Name is nothing.\n");
      return;
    }
    if (std::strlen(name) > kMaxNameLength) {
      TqDbgOutput::DbgPrint(__FILE__, "TqSharedMemory", __LINE__, TqDbgOutput::TQ_TAG_ERROR,
                            "TqSharedMemory Failed. Error. Name is over the length.\n");
      return;
    }
    TqSyncGuard guard(*this);
    TqString segment("/", TqString::TQ_CP_UTF8);
    segment += name;
    // The real host maps the name unchanged; a simulated unit gets its own
    // namespace of segments.
    const std::string shmName = TqSimShmName(segment.ToCHAR(TqString::TQ_CP_UTF8));

    descriptor_ = ::shm_open(shmName.c_str(), O_CREAT | O_EXCL | O_RDWR, 0664);
    if (descriptor_ >= 0) {
      created_ = true;
    } else if (errno == EEXIST) {
      descriptor_ = ::shm_open(shmName.c_str(), O_CREAT | O_RDWR, 0664);
    }
    if (descriptor_ < 0) {
      descriptor_ = -1;
      TqDbgOutput::DbgPrintStdErr(__FILE__, "TqSharedMemory", __LINE__, "shm_open error\n");
      return;
    }
    if (created_) {
      if (::ftruncate(descriptor_, static_cast<off_t>(kSegmentSize)) != 0) {
        TqDbgOutput::DbgPrintStdErr(__FILE__, "TqSharedMemory", __LINE__, "ftruncate error\n");
      }
    } else if (!growShortSegment()) {
      // Mapping a segment shorter than the record would fault on first access.
      return;
    }
    void* mapping = ::mmap(nullptr, kSegmentSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor_, 0);
    if (mapping == MAP_FAILED) {
      TqDbgOutput::DbgPrintStdErr(__FILE__, "TqSharedMemory", __LINE__, "mmap error\n");
      return;
    }
    mapping_ = mapping;
    const std::uint32_t size = kRecordSize;
    unsigned char* bytes = static_cast<unsigned char*>(mapping_);
    bytes[0] = static_cast<unsigned char>(size);
    bytes[1] = static_cast<unsigned char>(size >> 8);
    bytes[2] = static_cast<unsigned char>(size >> 16);
    bytes[3] = static_cast<unsigned char>(size >> 24);
    if (created_) {
      TqSyncGuard nested(*this);
      std::memset(bytes + 4, 0, kRecordSize);
    }
  }

  ~TqSharedMemory() override {
    if (mapping_ != MAP_FAILED) {
      ::munmap(mapping_, kSegmentSize);
      mapping_ = MAP_FAILED;
    }
    if (descriptor_ != -1) {
      ::close(descriptor_);
      descriptor_ = -1;
    }
  }

  TqSharedMemory(const TqSharedMemory&) = delete;
  TqSharedMemory& operator=(const TqSharedMemory&) = delete;

  // The record, or null when nothing is mapped. Read and write it only under a
  // TqSyncGuard on this object.
  T* record() const {
    return mapping_ == MAP_FAILED ? nullptr
                                  : reinterpret_cast<T*>(static_cast<unsigned char*>(mapping_) + 4);
  }
  unsigned char* recordBytes() const {
    return mapping_ == MAP_FAILED ? nullptr : static_cast<unsigned char*>(mapping_) + 4;
  }
  bool isMapped() const { return mapping_ != MAP_FAILED; }
  bool wasCreated() const { return created_; }
  int descriptor() const { return descriptor_; }

 private:
  // True when the attached segment is at least kSegmentSize long afterwards.
  bool growShortSegment() {
    struct stat st;
    if (::fstat(descriptor_, &st) != 0) {
      TqDbgOutput::DbgPrintStdErr(__FILE__, "TqSharedMemory", __LINE__, "fstat error\n");
      return false;
    }
    if (st.st_size >= static_cast<off_t>(kSegmentSize)) {
      return true;
    }
    // Growing keeps the existing bytes and zero-fills the new ones.
    if (::ftruncate(descriptor_, static_cast<off_t>(kSegmentSize)) != 0) {
      TqDbgOutput::DbgPrintStdErr(__FILE__, "TqSharedMemory", __LINE__, "ftruncate error\n");
      return false;
    }
    return true;
  }

  int descriptor_ = -1;
  void* mapping_ = MAP_FAILED;
  bool created_ = false;
};
