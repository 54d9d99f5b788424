#include "core/Variants.h"

namespace sysdata {
namespace {

using M = SystemDef::SYS_INFO_MODEL;
using D = SystemDef::SYS_INFO_DESTINATION;

constexpr Variant kVariants[kVariantCount] = {
    {M(0), D(3), "VH-A101"},   {M(1), D(3), "VH-A102"},  {M(2), D(3), "VH-A103"},
    {M(3), D(3), "VH-B201"},   {M(4), D(3), "VH-B202"},  {M(5), D(3), "VH-C301"},
    {M(6), D(1), "VH-C304"},   {M(6), D(3), "VH-C302"},  {M(6), D(5), "VH-C306"},
    {M(7), D(3), "VH-C303"},   {M(8), D(1), "VH-C305"},  {M(9), D(5), "VH-B203"},
    {M(10), D(5), "VH-B204"},  {M(11), D(8), "VH-B205"}, {M(11), D(13), "VH-B205"},
    {M(12), D(8), "VH-B206"},  {M(12), D(13), "VH-B206"}, {M(13), D(8), "VH-C307"},
    {M(14), D(8), "VH-C308"},  {M(15), D(3), "VH-D401"}, {M(16), D(3), "VH-D402"},
    {M(16), D(8), "VH-D403"},
};

}  // namespace

const Variant* variants() { return kVariants; }

const Variant* findVariant(SystemDef::SYS_INFO_MODEL model, SystemDef::SYS_INFO_DESTINATION destination) {
  for (const Variant& v : kVariants) {
    if (v.model == model && v.destination == destination) return &v;
  }
  return nullptr;
}

const char* lookupVariantString(const VariantStringTable& table, SystemDef::SYS_INFO_MODEL model,
                                SystemDef::SYS_INFO_DESTINATION destination) {
  for (std::size_t i = 0; i < table.count; ++i) {
    const VariantString& row = table.rows[i];
    if (row.model == model && row.destination == destination) return row.value != nullptr ? row.value : "";
  }
  // Callers build a std::string from the answer: never hand them null.
  return table.fallback != nullptr ? table.fallback : "";
}

}  // namespace sysdata
