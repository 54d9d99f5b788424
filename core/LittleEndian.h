// Fixed-width little-endian fields at explicit byte offsets, so that shared
// records read the same on the 32-bit target and on a 64-bit development host
// whatever the compiler's padding.
#pragma once

#include <cstdint>

namespace sysdata {

inline std::uint32_t loadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int32_t loadI32(const unsigned char* p) { return static_cast<std::int32_t>(loadU32(p)); }

inline void storeU32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

inline void storeI32(unsigned char* p, std::int32_t v) { storeU32(p, static_cast<std::uint32_t>(v)); }

}  // namespace sysdata
