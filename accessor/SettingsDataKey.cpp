#include "accessor/SettingsDataKey.h"

#include <cstring>

namespace settings_datakey {
namespace {

#define SETTINGS_DATAKEY_NAME(name, value) #name,
const char* const kNames[] = {SETTINGS_DATAKEY_LIST(SETTINGS_DATAKEY_NAME)};
#undef SETTINGS_DATAKEY_NAME

static_assert(sizeof(kNames) / sizeof(kNames[0]) == DATAKEY_MAX, "one name per data key");

constexpr const char kPrefix[] = "DATAKEY_";

}  // namespace

bool isValid(DataKeyID id) { return static_cast<int>(id) >= 0 && static_cast<int>(id) < DATAKEY_MAX; }

const char* name(DataKeyID id) { return isValid(id) ? kNames[static_cast<int>(id)] : nullptr; }

bool fromName(const char* text, DataKeyID* id) {
  if (text == nullptr || id == nullptr) return false;
  const std::size_t prefixLength = sizeof(kPrefix) - 1;
  for (int i = 0; i < DATAKEY_MAX; ++i) {
    const char* full = kNames[i];
    if (std::strcmp(text, full) == 0 || std::strcmp(text, full + prefixLength) == 0) {
      *id = static_cast<DataKeyID>(i);
      return true;
    }
  }
  return false;
}

}  // namespace settings_datakey
