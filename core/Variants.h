// The product's variants: the 22 (model, destination) pairs the product
// recognises and the model name of each.
#pragma once

#include <cstddef>

#include "core/SysDataExport.h"
#include "platform/SystemDef.h"

namespace sysdata {

struct Variant {
  SystemDef::SYS_INFO_MODEL model;
  SystemDef::SYS_INFO_DESTINATION destination;
  const char* modelName;
};

constexpr std::size_t kVariantCount = 22;

// The 22 variants in the order of the model table (model ascending).
const Variant* variants();
// The variant of a pair, or null for an unrecognised pair.
const Variant* findVariant(SystemDef::SYS_INFO_MODEL model,
                           SystemDef::SYS_INFO_DESTINATION destination);

// A string default that may differ by variant: rows tried in order, first
// matching pair wins, fallback for every other pair.
struct VariantString {
  SystemDef::SYS_INFO_MODEL model;
  SystemDef::SYS_INFO_DESTINATION destination;
  const char* value;
};
struct VariantStringTable {
  const VariantString* rows;
  std::size_t count;
  const char* fallback;
};
const char* lookupVariantString(const VariantStringTable& table,
                                SystemDef::SYS_INFO_MODEL model,
                                SystemDef::SYS_INFO_DESTINATION destination);

}  // namespace sysdata
