#include "platform/TqString.h"

TqString::TqString() = default;

TqString::TqString(const char* text, EN_CP /*cp*/) : text_(text != nullptr ? text : "") {}

TqString& TqString::operator+=(const char* text) {
  if (text != nullptr) text_ += text;
  return *this;
}

const char* TqString::ToCHAR(EN_CP /*cp*/) const { return text_.c_str(); }
