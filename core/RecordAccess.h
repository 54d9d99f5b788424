// The library's own access to the fields of the record views
// (core/SystemRecords.h): guarded reads and writes at explicit offsets. Not
// installed and not exported: a host reads what the views offer and writes
// the records itself.
//
// Reads from a view whose segment is not mapped, or past the end of the
// record, give zero bytes (an empty text); writes then do nothing and return
// false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/LittleEndian.h"
#include "core/SystemRecords.h"
#include "platform/TqSync.h"

namespace sysdata {

struct RecordAccess {
  // The segment's inter-process lock, for callers that hold it across
  // several steps.
  template <class View>
  static const TqSyncObjectBase& sync(const View& view) {
    return view;
  }
  // Raw record bytes (null when unmapped); touch them only under sync().
  template <class View>
  static unsigned char* bytes(const View& view) {
    return view.recordBytes();
  }
  template <class View>
  static bool isMapped(const View& view) {
    return view.isMapped();
  }
  template <class View>
  static constexpr std::size_t size() {
    return View::kRecordSize;
  }

  template <class View>
  static bool read(const View& view, std::size_t offset, void* out, std::size_t size) {
    constexpr std::size_t kSize = View::kRecordSize;
    unsigned char* dst = static_cast<unsigned char*>(out);
    const unsigned char* src = view.recordBytes();
    if (src == nullptr || offset > kSize || size > kSize - offset) {
      for (std::size_t i = 0; i < size; ++i) dst[i] = 0;
      return false;
    }
    TqSyncGuard guard(sync(view));
    for (std::size_t i = 0; i < size; ++i) dst[i] = src[offset + i];
    return true;
  }

  template <class View>
  static bool write(View& view, std::size_t offset, const void* data, std::size_t size) {
    constexpr std::size_t kSize = View::kRecordSize;
    unsigned char* dst = view.recordBytes();
    if (dst == nullptr || offset > kSize || size > kSize - offset) return false;
    const unsigned char* src = static_cast<const unsigned char*>(data);
    TqSyncGuard guard(sync(view));
    for (std::size_t i = 0; i < size; ++i) dst[offset + i] = src[i];
    return true;
  }

  // The NUL-terminated text of the field [offset, end) (end at most the
  // record's size). Empty when the field holds no terminator: a text that
  // fills its field is not served, so it never runs on into the next field.
  template <class View>
  static std::string readText(const View& view, std::size_t offset, std::size_t end) {
    const unsigned char* src = view.recordBytes();
    if (end > View::kRecordSize) end = View::kRecordSize;
    if (src == nullptr || offset >= end) return std::string();
    TqSyncGuard guard(sync(view));
    std::size_t stop = offset;
    while (stop < end && src[stop] != 0) ++stop;
    if (stop == end) return std::string();
    return std::string(reinterpret_cast<const char*>(src + offset), stop - offset);
  }
  // The same for a field that runs to the end of the record.
  template <class View>
  static std::string readText(const View& view, std::size_t offset) {
    return readText(view, offset, View::kRecordSize);
  }
};

template <class View>
std::uint32_t readU32(const View& view, std::size_t offset) {
  unsigned char b[4];
  RecordAccess::read(view, offset, b, 4);
  return loadU32(b);
}

template <class View>
std::int32_t readI32(const View& view, std::size_t offset) {
  return static_cast<std::int32_t>(readU32(view, offset));
}

template <class View>
std::uint8_t readU8(const View& view, std::size_t offset) {
  unsigned char b = 0;
  RecordAccess::read(view, offset, &b, 1);
  return b;
}

template <class View>
bool writeU32(View& view, std::size_t offset, std::uint32_t value) {
  unsigned char b[4];
  storeU32(b, value);
  return RecordAccess::write(view, offset, b, 4);
}

template <class View>
std::string readText(const View& view, std::size_t offset) {
  return RecordAccess::readText(view, offset);
}

// The fields the library reads besides the views' own operations. Each text
// is bounded by its own field.
inline std::string saveFileDir(const SysDataInformation& view) {
  return RecordAccess::readText(view, record_layout::kSaveFileDir, record_layout::kCalibrationDir);
}
inline std::string calibrationDir(const SysDataInformation& view) {
  return RecordAccess::readText(view, record_layout::kCalibrationDir);
}
inline std::uint32_t langSetCode(const FuncInfoSharedMem& view) { return readU32(view, record_layout::kLangSetCode); }
inline std::string customizeFileName(const FuncInfoSharedMem& view) {
  return RecordAccess::readText(view, record_layout::kCustomizeFileName, record_layout::kDemoUserInit);
}
inline std::uint8_t demoUserInit(const FuncInfoSharedMem& view) { return readU8(view, record_layout::kDemoUserInit); }
inline std::uint8_t cameraHd(const FuncInfoProduct& view) { return readU8(view, record_layout::kCameraHd); }

}  // namespace sysdata
