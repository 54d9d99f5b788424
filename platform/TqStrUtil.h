// Bounded string copies of the host framework.
//
// tq_strcpy(dst, size, src): copies src with its NUL into dst when it fits in
//   size bytes and returns 0; otherwise writes an empty string (when size > 0)
//   and returns non-zero. Null dst or src returns non-zero and writes nothing.
// tq_strncpy(dst, size, src, count): copies at most count bytes of src (less
//   when src ends first) and a NUL into dst; returns 0 when that fits in size
//   bytes, otherwise writes an empty string (when size > 0) and returns
//   non-zero. Null dst or src returns non-zero and writes nothing.
#pragma once

#include "platform/TqPlatformExport.h"

extern "C" {
TQPLATFORM_API int tq_strcpy(char* dst, unsigned int size, const char* src);
TQPLATFORM_API int tq_strncpy(char* dst, unsigned int size, const char* src, unsigned int count);
}
