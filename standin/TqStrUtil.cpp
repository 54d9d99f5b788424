#include "platform/TqStrUtil.h"

#include <cstring>

extern "C" {

int tq_strcpy(char* dst, unsigned int size, const char* src) {
  if (dst == nullptr || src == nullptr) return -1;
  const std::size_t length = std::strlen(src);
  if (length >= size) {
    if (size > 0) dst[0] = '\0';
    return -1;
  }
  std::memcpy(dst, src, length + 1);
  return 0;
}

int tq_strncpy(char* dst, unsigned int size, const char* src, unsigned int count) {
  if (dst == nullptr || src == nullptr) return -1;
  // Never reads src beyond count bytes or its NUL.
  const std::size_t length = ::strnlen(src, count);
  if (length >= size) {
    if (size > 0) dst[0] = '\0';
    return -1;
  }
  std::memmove(dst, src, length);
  dst[length] = '\0';
  return 0;
}

}  // extern "C"
