// Internal: the store factory's record of creation calls (StoreControl.h).
#pragma once

#include <string>

namespace standin {
namespace detail {

// Records the call; false when the test made creations of name fail.
bool RecordCreation(const char* op, const char* name, const char* mode);

}  // namespace detail
}  // namespace standin
