// Number and name parsing shared by every pass over a customization file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "src/customize/CustomizeUtility.h"
#include "standin/testing/LogCapture.h"
#include "tests/customize/CustomizeTestSupport.h"

namespace {

struct HexRow {
  const char* text;
  bool ok;
  unsigned int value;
  // The host's own sscanf gives the same answer on every build (no overflow).
  bool sameOnEveryBuild;
};

std::ostream& operator<<(std::ostream& out, const HexRow& row) { return out << "\"" << row.text << "\""; }

// The conversion "%x" makes on the 32-bit target.
const HexRow kHexRows[] = {
    {"14", true, 0x14, true},
    {"0x14", true, 0x14, true},
    {"0X14", true, 0x14, true},
    {"aBc", true, 0xABC, true},
    {" 14", true, 0x14, true},
    {"  \v\f14", true, 0x14, true},
    {"14 and words", true, 0x14, true},
    {"1g", true, 1, true},
    {"+5", true, 5, true},
    {"-5", true, 0xFFFFFFFBu, true},
    {"-0x5", true, 0xFFFFFFFBu, true},
    {"-FFFFFFFF", true, 1, true},
    {"0x", true, 0, true},
    {"0xg", true, 0, true},
    {"0", true, 0, true},
    {"FFFFFFFF", true, 0xFFFFFFFFu, true},
    {"000000000000001F", true, 0x1F, true},
    // Beyond 32 bits the target saturates; a 64-bit build's sscanf would
    // keep the low 32 bits (0 here), which the range checks would accept.
    {"100000000", true, 0xFFFFFFFFu, false},
    {"100000014", true, 0xFFFFFFFFu, false},
    {"-100000000", true, 0xFFFFFFFFu, false},
    {"FFFFFFFFFFFFFFF", true, 0xFFFFFFFFu, false},
    {"", false, 0, true},
    {"   ", false, 0, true},
    {"g", false, 0, true},
    {"x5", false, 0, true},
    {"-", false, 0, true},
    {"+", false, 0, true},
    {"- 5", false, 0, true},
    {"+-5", false, 0, true},
    {"on", false, 0, true},
};

TEST(CustomizeParseHex, ConvertsAsTheTargetDoes) {
  for (const HexRow& row : kHexRows) {
    SCOPED_TRACE(::testing::Message() << row);
    unsigned int value = 0xDEADBEEF;
    EXPECT_EQ(CustomizeUtility::parseHex(row.text, value), row.ok);
    EXPECT_EQ(value, row.ok ? row.value : 0xDEADBEEF);
    // Where long is 32 bits, as on the target, sscanf itself is the reference
    // for every row.
    if (row.sameOnEveryBuild || sizeof(long) == 4) {
      unsigned int host = 0xDEADBEEF;
      const int items = std::sscanf(row.text, "%x", &host);
      EXPECT_EQ(items == 1, row.ok) << "the table disagrees with sscanf";
      if (items == 1) {
        EXPECT_EQ(host, row.value) << "the table disagrees with sscanf";
      }
    }
  }
}

struct ValueRow {
  const char* line;
  bool ok;
  unsigned int value;
  bool logsNoBracket;
};

std::ostream& operator<<(std::ostream& out, const ValueRow& row) { return out << "\"" << row.line << "\""; }

TEST(CustomizeGetValue, ReadsAtMostFifteenCharactersAfterTheFirstBracket) {
  const ValueRow rows[] = {
      {"[miclevel]14", true, 0x14, false},
      {"[miclevel] 14", true, 0x14, false},
      {"[miclevel]0x14", true, 0x14, false},
      {"[a]x]14", false, 0, false},  // the value starts after the first "]"
      {"[miclevel]000000000000014", true, 0x14, false},  // 15 characters
      {"[miclevel]0000000000000014", true, 0x1, false},  // 16: the last is cut off
      {"[miclevel]" "               " "14", false, 0, false},  // 15 blanks fill the copy
      {"[miclevel]", false, 0, false},
      {"[demo]on", false, 0, false},
      {"miclevel 14", false, 0, true},
      {"", false, 0, true},
  };
  for (const ValueRow& row : rows) {
    SCOPED_TRACE(::testing::Message() << row);
    standin::testing::ScopedLogCapture capture;
    unsigned int value = 0xDEADBEEF;
    EXPECT_EQ(CustomizeUtility::getValue(row.line, value), row.ok);
    EXPECT_EQ(value, row.ok ? row.value : 0xDEADBEEF);
    const auto logs = customize_test::customizeLogs(capture);
    if (row.logsNoBracket) {
      ASSERT_EQ(logs.size(), 1u);
      EXPECT_EQ(logs[0], (customize_test::Logged{customize_test::kUtilitySource, "getValue",
                                                 "<----- Failure to get value !!!!! ----->\n"}));
    } else {
      EXPECT_TRUE(logs.empty());
    }
  }
}

TEST(CustomizeGetValue, NameIsTheWholeRestOfTheLine) {
  const struct {
    const char* line;
    bool ok;
    const char* name;
  } rows[] = {
      {"[caution]logo.png", true, "logo.png"},
      {"[caution] logo.png", true, " logo.png"},
      {"[caution]a]b.png", true, "a]b.png"},
      {"[caution]", true, ""},
      {"caution logo.png", false, "unchanged"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    standin::testing::ScopedLogCapture capture;
    std::string name = "unchanged";
    EXPECT_EQ(CustomizeUtility::getValue(row.line, name), row.ok);
    EXPECT_EQ(name, row.name);
    EXPECT_EQ(customize_test::customizeLogs(capture).size(), row.ok ? 0u : 1u);
  }
}

TEST(CustomizeLineHelpers, CleanEndAndDirectory) {
  const struct {
    const char* raw;
    const char* cleaned;
    bool ends;
  } lines[] = {
      {"[demo]1\r\n", "[demo]1", false},
      {"\t[demo]\t1 x\n", "[demo]1 x", false},
      {"~END\n", "~END", true},
      {"~END of file", "~END of file", true},
      {"\t~END\n", "~END", false},
      {" ~END", " ~END", false},
      {"~EN", "~EN", false},
  };
  for (const auto& row : lines) {
    SCOPED_TRACE(row.raw);
    std::string text = row.raw;
    CustomizeUtility::removeControlChars(text);
    EXPECT_EQ(text, row.cleaned);
    char buffer[32] = {};
    std::snprintf(buffer, sizeof(buffer), "%s", row.raw);
    CustomizeUtility::removeControlChars(buffer);
    EXPECT_STREQ(buffer, row.cleaned);
    EXPECT_EQ(CustomizeUtility::isEndLine(row.raw), row.ends);
  }
  const struct {
    const char* path;
    const char* dir;
  } paths[] = {{"/media/usb/dop.txt", "/media/usb/"}, {"dop.txt", ""}, {"/dop.txt", "/"}, {"a/b/", "a/b/"}};
  for (const auto& row : paths) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(CustomizeUtility::directoryOf(row.path), row.dir);
  }
}

}  // namespace
