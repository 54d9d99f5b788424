// The settings file store: typed keys, file form, damaged files, calling rules.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/SaveFileAccess.h"
#include "standin/testing/StoreControl.h"
#include "tests/support/SimUnit.h"

namespace {

using sysdata_test::SimUnitTest;
using sysdata_test::readFile;
using sysdata_test::writeFile;

class StoreTest : public SimUnitTest {
 protected:
  std::unique_ptr<SaveFileAccessMetaText> text(const char* name) {
    return std::unique_ptr<SaveFileAccessMetaText>(factory.CreateMetaText(name, "a+"));
  }
  SaveFileAccessFactory factory;
};

TEST_F(StoreTest, WriteThenReadEveryType) {
  auto file = text("Mic.ini");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(file->FOpen());
  EXPECT_TRUE(file->Set("I", -5));
  EXPECT_TRUE(file->Set("U", 4000000000u));
  EXPECT_TRUE(file->Set("B", true));
  EXPECT_TRUE(file->Set("C", static_cast<unsigned char>(200)));
  EXPECT_TRUE(file->Set("S", std::string("a=b\nc")));
  EXPECT_TRUE(file->Flush());
  EXPECT_TRUE(file->FClose());
  EXPECT_EQ(readFile(unit.saveFile("Mic.ini")), "I=-5\nU=4000000000\nB=1\nC=200\nS=a=b\\x0Ac\n");

  auto again = text("Mic.ini");
  ASSERT_TRUE(again->FOpen());
  int i = 0;
  unsigned u = 0;
  bool b = false;
  unsigned char c = 0;
  std::string s;
  EXPECT_TRUE(again->Get("I", &i));
  EXPECT_TRUE(again->Get("U", &u));
  EXPECT_TRUE(again->Get("B", &b));
  EXPECT_TRUE(again->Get("C", &c));
  EXPECT_TRUE(again->Get("S", &s));
  EXPECT_EQ(i, -5);
  EXPECT_EQ(u, 4000000000u);
  EXPECT_TRUE(b);
  EXPECT_EQ(c, 200);
  EXPECT_EQ(s, "a=b\nc");
  EXPECT_TRUE(again->FClose());
}

}  // namespace
