// Debug log of the host framework.
//
// DbgPrint(file, function, line, tag, format, ...) formats the message
// printf-style and hands it, with its origin, to the log. DbgPrintStdErr does
// the same for failed system calls and adds the text of errno. Neither fails
// nor changes errno. The stand-in writes to standard error only when the
// environment variable TQ_DEBUG_LOG is set, and always hands each message to
// the test capture of standin/testing/LogCapture.h.
#pragma once

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqDbgOutput {
 public:
  enum EN_TAG { TQ_TAG_NONE = 0, TQ_TAG_ERROR = 1 };

  static void DbgPrint(const char* file, const char* function, int line, EN_TAG tag,
                       const char* format, ...) __attribute__((format(printf, 5, 6)));
  static void DbgPrintStdErr(const char* file, const char* function, int line,
                             const char* format, ...) __attribute__((format(printf, 4, 5)));
};
