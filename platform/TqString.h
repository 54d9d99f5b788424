// String of the host framework. Code pages are accepted and do not change the
// bytes (the product uses ASCII names only). ToCHAR returns a NUL-terminated
// view that stays valid until the string is next changed or destroyed. A null
// source pointer gives an empty string.
#pragma once

#include <string>

#include "platform/TqPlatformExport.h"

class TQPLATFORM_API TqString {
 public:
  enum EN_CP { TQ_CP_DEFAULT = 0, TQ_CP_UTF8 = 32 };

  TqString();
  TqString(const char* text, EN_CP cp);
  TqString& operator+=(const char* text);
  const char* ToCHAR(EN_CP cp) const;

 private:
  std::string text_;
};
