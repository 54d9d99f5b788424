// The product's variants: 22 recognised (model, destination) pairs with their
// model names, and the string lookup by pair with its fallback.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/Variants.h"

namespace {

using SystemDef::SYS_INFO_DESTINATION;
using SystemDef::SYS_INFO_MODEL;

struct PairRow {
  int model;
  int destination;
  const char* name;  // null: unrecognised
};
std::ostream& operator<<(std::ostream& os, const PairRow& r) {
  return os << "(" << r.model << "," << r.destination << ")";
}

const std::vector<PairRow> kRecognised = {
    {0, 3, "VH-A101"},  {1, 3, "VH-A102"},  {2, 3, "VH-A103"},  {3, 3, "VH-B201"},  {4, 3, "VH-B202"},
    {5, 3, "VH-C301"},  {6, 1, "VH-C304"},  {6, 3, "VH-C302"},  {6, 5, "VH-C306"},  {7, 3, "VH-C303"},
    {8, 1, "VH-C305"},  {9, 5, "VH-B203"},  {10, 5, "VH-B204"}, {11, 8, "VH-B205"}, {11, 13, "VH-B205"},
    {12, 8, "VH-B206"}, {12, 13, "VH-B206"}, {13, 8, "VH-C307"}, {14, 8, "VH-C308"}, {15, 3, "VH-D401"},
    {16, 3, "VH-D402"}, {16, 8, "VH-D403"},
};

TEST(Variants, TheTwentyTwoPairsAndTheirModelNamesInTableOrder) {
  ASSERT_EQ(sysdata::kVariantCount, kRecognised.size());
  const sysdata::Variant* all = sysdata::variants();
  for (std::size_t i = 0; i < kRecognised.size(); ++i) {
    const PairRow& row = kRecognised[i];
    SCOPED_TRACE(::testing::Message() << row);
    EXPECT_EQ(all[i].model, row.model);
    EXPECT_EQ(all[i].destination, row.destination);
    EXPECT_STREQ(all[i].modelName, row.name);
    const sysdata::Variant* found =
        sysdata::findVariant(SYS_INFO_MODEL(row.model), SYS_INFO_DESTINATION(row.destination));
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(found->modelName, row.name);
  }
}

TEST(Variants, OtherPairsAreUnrecognised) {
  const std::vector<PairRow> others = {
      {0, 0, nullptr},  {15, 8, nullptr}, {6, 2, nullptr},  {6, 8, nullptr},   {17, 3, nullptr},
      {-1, -1, nullptr}, {3, 13, nullptr}, {11, 3, nullptr}, {16, 13, nullptr},
  };
  for (const PairRow& row : others) {
    SCOPED_TRACE(::testing::Message() << row);
    EXPECT_EQ(sysdata::findVariant(SYS_INFO_MODEL(row.model), SYS_INFO_DESTINATION(row.destination)), nullptr);
  }
}

TEST(Variants, ModelSixNamesThreeVariantsByDestination) {
  std::set<std::string> names;
  for (int destination : {1, 3, 5}) {
    const sysdata::Variant* v = sysdata::findVariant(SystemDef::SYS_INFO_MODEL_6, SYS_INFO_DESTINATION(destination));
    ASSERT_NE(v, nullptr) << destination;
    names.insert(v->modelName);
  }
  EXPECT_EQ(names, (std::set<std::string>{"VH-C302", "VH-C304", "VH-C306"}));
}

TEST(Variants, StringLookupFirstMatchWinsWithFallback) {
  const sysdata::VariantString rows[] = {
      {SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_1, "first"},
      {SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_1, "shadowed"},
      {SystemDef::SYS_INFO_MODEL_6, SystemDef::SYS_INFO_DESTINATION_3, "second"},
      {SystemDef::SYS_INFO_MODEL_7, SystemDef::SYS_INFO_DESTINATION_3, nullptr},
  };
  const sysdata::VariantStringTable table = {rows, 4, "fallback"};
  const sysdata::VariantStringTable noFallback = {rows, 4, nullptr};
  const sysdata::VariantStringTable empty = {nullptr, 0, "only"};
  struct Case {
    const sysdata::VariantStringTable* table;
    int model;
    int destination;
    std::string want;
  };
  const std::vector<Case> cases = {
      {&table, 6, 1, "first"},     {&table, 6, 3, "second"},    {&table, 6, 5, "fallback"},
      {&table, -1, -1, "fallback"}, {&table, 7, 3, ""},          {&noFallback, 0, 0, ""},
      {&empty, 6, 1, "only"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "(" << c.model << "," << c.destination << ") want " << c.want);
    const char* got = sysdata::lookupVariantString(*c.table, SYS_INFO_MODEL(c.model), SYS_INFO_DESTINATION(c.destination));
    ASSERT_NE(got, nullptr) << "never null: callers build strings from it";
    EXPECT_EQ(got, c.want);
  }
}

}  // namespace
