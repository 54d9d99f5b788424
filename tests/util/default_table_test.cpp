// The product's share of the factory default table: for every recognised
// pair the common part, the frequency blocks, the destination, model and
// combined fields and the model name; for an unrecognised pair the common
// part and the always-written frequencies only; every other byte as the base
// operation left it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/LittleEndian.h"
#include "core/RecordAccess.h"
#include "core/SystemRecords.h"
#include "standin/testing/HostCalls.h"
#include "tests/support/SimUnit.h"
#include "tests/util/UtilTestSupport.h"
#include "util/DefaultTableLayout.h"
#include "util/SysDataUtilProduct.h"

namespace {

using Model = SystemDef::SYS_INFO_MODEL;
using Dest = SystemDef::SYS_INFO_DESTINATION;

constexpr std::size_t kRecord = 5356;
// What the base operation "left": the stand-in's base writes nothing, so the
// tests paint the record first and look for the paint where the product
// owns no field.
constexpr unsigned char kPaint = 0xA5;

struct PairRow {
  int model;
  int destination;
  const char* modelName;  // null: an unrecognised pair
};

std::ostream& operator<<(std::ostream& out, const PairRow& row) {
  return out << "model " << row.model << " destination " << row.destination;
}

const PairRow kPairs[] = {
    {0, 3, "VH-A101"},  {1, 3, "VH-A102"},  {2, 3, "VH-A103"},  {3, 3, "VH-B201"},  {4, 3, "VH-B202"},
    {5, 3, "VH-C301"},  {6, 1, "VH-C304"},  {6, 3, "VH-C302"},  {6, 5, "VH-C306"},  {7, 3, "VH-C303"},
    {8, 1, "VH-C305"},  {9, 5, "VH-B203"},  {10, 5, "VH-B204"}, {11, 8, "VH-B205"}, {11, 13, "VH-B205"},
    {12, 8, "VH-B206"}, {12, 13, "VH-B206"}, {13, 8, "VH-C307"}, {14, 8, "VH-C308"}, {15, 3, "VH-D401"},
    {16, 3, "VH-D402"}, {16, 8, "VH-D403"},
    // Unrecognised: unknown destination, a known destination with the wrong
    // model, unknown model, the "unmapped" answer, negative and large values.
    {0, 0, nullptr},    {15, 8, nullptr},   {6, 2, nullptr},    {6, 8, nullptr},    {17, 3, nullptr},
    {0, 1, nullptr},    {16, 13, nullptr},  {-1, -1, nullptr},  {3, 5, nullptr},    {0x7fffffff, 3, nullptr},
};

// The expected record, written out from the product's table of values
// independently of the library's own field table.
class Expected {
 public:
  Expected() : bytes_(kRecord, kPaint) {}
  void word(std::size_t offset, std::int32_t value) { sysdata::storeI32(&bytes_[offset], value); }
  void byte(std::size_t offset, unsigned char value) { bytes_[offset] = value; }
  void text(std::size_t offset, const char* value) {
    std::memcpy(&bytes_[offset], value, std::strlen(value) + 1);
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
};

Expected expectedFor(const PairRow& row) {
  Expected e;
  const int m = row.model;
  const int d = row.destination;
  const bool known = row.modelName != nullptr;

  // Common part.
  for (std::size_t off : {72, 224, 736, 824}) e.word(off, 1);
  e.word(244, 10);
  e.word(248, 10);
  e.word(1756, 1);
  e.word(1764, 1);
  e.word(1768, 3);
  e.word(1772, 1);
  e.word(1784, 1);
  e.word(1788, 2);
  e.word(1808, 13);
  e.byte(1812, 31);
  e.byte(1813, 31);
  e.byte(1814, 31);
  e.byte(1815, 0);
  e.word(1832, 0);
  e.word(1836, 0);
  e.word(3784, 992);
  e.word(3788, 50);
  e.word(3792, 894);
  e.word(3796, 109);
  for (std::size_t off : {4432, 4436, 4440, 5252, 5256, 5264}) e.word(off, 1);
  for (std::size_t off : {12, 284, 292, 300, 4420, 4428, 4452, 4456, 4464, 5248, 5272, 5276, 5280, 5292}) {
    e.word(off, 0);
  }
  for (std::size_t off : {3604, 4450, 4451}) e.byte(off, 0);

  // Frequency blocks: a frequency word and two zero words per entry.
  auto entry = [&](std::size_t block, int k, bool write, std::int32_t freq) {
    const std::size_t at = block + 12 * static_cast<std::size_t>(k);
    if (write) e.word(at, freq);
    e.word(at + 4, 0);
    e.word(at + 8, 0);
  };
  auto ab = [&](std::int32_t a, std::int32_t b) { return d == 3 ? a : b; };
  entry(4476, 0, known, ab(8790, 8750));
  entry(4476, 1, true, 8990);
  entry(4476, 2, true, 9790);
  entry(4476, 3, true, 10590);
  entry(4476, 4, known, ab(10790, 10800));
  for (int k = 5; k <= 14; ++k) entry(4476, k, known, ab(8790, 8750));
  for (int k = 15; k <= 17; ++k) entry(4476, k, known, (d == 3 || d == 1) ? 9790 : 8750);
  entry(5052, 0, known, ab(530, 531));
  entry(5052, 1, known, ab(600, 603));
  entry(5052, 2, known, ab(1000, 999));
  entry(5052, 3, known, ab(1500, 1404));
  entry(5052, 4, known, ab(1700, 1602));
  entry(5052, 5, known, d == 3 ? 1000 : d == 1 ? 999 : 531);
  entry(5296, 0, true, 9790);
  entry(5296, 1, known, ab(8790, 8750));
  entry(5296, 2, known, ab(8790, 8750));
  entry(5296, 3, known, ab(1000, 999));
  e.word(5344, 0);

  if (!known) return e;

  // By destination: columns for 1, 3, 5, 8, 13.
  auto byDest = [&](int d1, int d3, int d5, int d8, int d13) {
    switch (d) {
      case 1: return d1;
      case 3: return d3;
      case 5: return d5;
      case 8: return d8;
      default: return d13;
    }
  };
  e.word(1840, byDest(2, 1, 2, 2, 2));
  e.word(1844, byDest(29, 4, 78, 62, 62));
  e.word(1928, byDest(1, 1, 0, 0, 0));
  e.word(4424, byDest(1, 0, 1, 0, 0));
  e.word(5244, byDest(1, 2, 1, 1, 1));
  e.word(5260, byDest(2, 0, 0, 0, 0));
  e.word(5268, byDest(0, 1, 0, 0, 0));
  e.word(5284, byDest(3, 1, 6, 7, 7));
  e.word(5352, byDest(3, 1, 6, 7, 7));

  // By model.
  const bool large = m == 0 || m == 3 || m == 5 || m == 9 || m == 10;
  const std::int32_t largeGeo[8] = {160, 540, 1120, 540, 480, 180, 800, 180};
  const std::int32_t smallGeo[8] = {100, 360, 700, 360, 300, 120, 500, 120};
  for (int i = 0; i < 8; ++i) e.word(252 + 4 * static_cast<std::size_t>(i), large ? largeGeo[i] : smallGeo[i]);
  const bool family15 = m == 15 || m == 16;
  for (std::size_t off : {332, 2196, 3080}) e.word(off, family15 ? 1 : 0);
  for (std::size_t off : {2784, 3684}) e.word(off, family15 ? 0 : 1);
  e.word(908, m <= 2 ? 2 : 0);
  e.word(1776, m <= 2 ? 0 : (m >= 11 && m <= 14) ? 3 : 1);
  e.word(1800, m <= 10 ? 2 : 0);
  e.byte(4405, family15 ? 'd' : 'G');
  e.byte(4406, family15 ? 'd' : 'G');

  // By both.
  e.word(4328, (family15 && d == 3) ? 8 : (m == 16 && d == 8) ? 9 : 4);
  e.byte(4407, family15 ? 'd' : ((m == 11 || m == 12) && d == 13) ? ':' : '0');
  e.word(4460, (d == 3 && m <= 7) ? 1 : 0);
  e.text(4332, row.modelName);
  return e;
}

void paintRecord() {
  SysDataDefault table;
  std::vector<unsigned char> paint(kRecord, kPaint);
  ASSERT_TRUE(sysdata::RecordAccess::write(table, 0, paint.data(), paint.size()));
}

std::vector<unsigned char> readRecord() {
  SysDataDefault table;
  std::vector<unsigned char> bytes(kRecord, 0);
  sysdata::RecordAccess::read(table, 0, bytes.data(), bytes.size());
  return bytes;
}

// The first differing offset, so a failure names the field.
std::string firstDifference(const std::vector<unsigned char>& actual, const std::vector<unsigned char>& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (actual[i] != expected[i]) {
      return "first difference at offset " + std::to_string(i) + ": got " + std::to_string(actual[i]) +
             ", expected " + std::to_string(expected[i]);
    }
  }
  return "";
}

bool fill(const PairRow& row) {
  SysDataUtilProduct util;
  return util.initSysDataDefault(static_cast<Model>(row.model), static_cast<Dest>(row.destination));
}

using DefaultTableTest = util_test::UtilTest;

TEST_F(DefaultTableTest, EveryPairGetsItsFieldsAndNothingElse) {
  standin::testing::SetHostResult("initSysDataDefault", false);
  for (const PairRow& row : kPairs) {
    SCOPED_TRACE(::testing::Message() << row);
    paintRecord();
    standin::testing::ClearHostCalls();

    EXPECT_TRUE(fill(row)) << "true whatever the base returns";
    const std::vector<unsigned char> expected = expectedFor(row).bytes();
    const std::vector<unsigned char> once = readRecord();
    EXPECT_EQ(firstDifference(once, expected), "");

    // A second fill leaves the same record.
    EXPECT_TRUE(fill(row));
    EXPECT_EQ(firstDifference(readRecord(), once), "");

    const auto calls = standin::testing::HostCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, "initSysDataDefault");
    EXPECT_EQ(calls[0].arg, std::to_string(row.model) + "," + std::to_string(row.destination));
  }
}

// The cases a reader checks first, spelled out field by field.
TEST_F(DefaultTableTest, NamedEdgeCases) {
  struct Row {
    int model;
    int destination;
    std::size_t offset;
    int width;  // 1 or 4
    std::int32_t expected;
    const char* what;
  };
  const Row rows[] = {
      {6, 5, 1840, 4, 2, "SystemLang"},
      {6, 5, 1844, 4, 78, "TimeZone"},
      {6, 5, 1928, 4, 0, "SteeringWheelPosition"},
      {6, 5, 4656, 4, 8750, "FM entry 15"},
      {6, 5, 4668, 4, 8750, "FM entry 16"},
      {6, 5, 4680, 4, 8750, "FM entry 17"},
      {6, 1, 4656, 4, 9790, "FM entry 15, destination 1"},
      {16, 8, 4328, 4, 9, "combined field"},
      {16, 8, 4405, 1, 'd', "byte 4405"},
      {16, 8, 4406, 1, 'd', "byte 4406"},
      {16, 8, 4407, 1, 'd', "byte 4407"},
      {11, 13, 4407, 1, ':', "byte 4407"},
      {12, 13, 4407, 1, ':', "byte 4407"},
      {11, 8, 4407, 1, '0', "byte 4407"},
      {12, 8, 4407, 1, '0', "byte 4407"},
      {0, 3, 4405, 1, 'G', "byte 4405"},
      {15, 3, 4328, 4, 8, "combined field"},
      {16, 3, 4328, 4, 8, "combined field"},
      {0, 3, 1812, 4, 2039583, "KeyIllumiRGBUser1Dim"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "model " << row.model << " destination " << row.destination << " offset "
                                      << row.offset << " (" << row.what << ")");
    paintRecord();
    ASSERT_TRUE(fill(PairRow{row.model, row.destination, nullptr}));
    SysDataDefault table;
    const std::int32_t got = row.width == 4 ? sysdata::readI32(table, row.offset) : sysdata::readU8(table, row.offset);
    EXPECT_EQ(got, row.expected);
  }
}

TEST_F(DefaultTableTest, ModelNameIsNulTerminatedAndTouchesNothingAfterIt) {
  paintRecord();
  ASSERT_TRUE(fill(PairRow{6, 5, nullptr}));
  const std::vector<unsigned char> record = readRecord();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record[4332])), "VH-C306");
  EXPECT_EQ(record[4332 + 7], 0);
  for (std::size_t i = 4332 + 8; i < 4405; ++i) EXPECT_EQ(record[i], kPaint) << "offset " << i;
}

// The layout the tools print: rows inside the record, no two rows writing
// the same byte, keys where the field is a settings default.
TEST(DefaultTableLayout, RowsStayInsideTheRecordAndDoNotOverlap) {
  std::vector<int> owner(kRecord, -1);
  const sysdata::DefaultField* fields = sysdata::defaultTableFields();
  for (std::size_t i = 0; i < sysdata::defaultTableFieldCount(); ++i) {
    const sysdata::DefaultField& f = fields[i];
    SCOPED_TRACE(::testing::Message() << "row at offset " << f.offset);
    const std::size_t width = f.width == sysdata::DefaultWidth::Word   ? 4
                              : f.width == sysdata::DefaultWidth::Byte ? 1
                                                                       : 8;  // longest model name + NUL
    ASSERT_GE(f.count, 1);
    for (std::size_t n = 0; n < f.count; ++n) {
      const std::size_t at = f.offset + n * f.stride;
      ASSERT_LE(at + width, kRecord);
      for (std::size_t b = at; b < at + width; ++b) {
        EXPECT_EQ(owner[b], -1) << "byte " << b << " also written by the row at offset "
                                << (owner[b] >= 0 ? fields[owner[b]].offset : 0);
        owner[b] = static_cast<int>(i);
      }
    }
    EXPECT_NE(f.description, nullptr);
    EXPECT_EQ(f.value == nullptr, f.width == sysdata::DefaultWidth::Text);
  }
  const sysdata::DefaultField* beepVol = nullptr;
  for (std::size_t i = 0; i < sysdata::defaultTableFieldCount(); ++i) {
    if (fields[i].offset == 1768) beepVol = &fields[i];
  }
  ASSERT_NE(beepVol, nullptr);
  ASSERT_NE(beepVol->key, nullptr);
  EXPECT_STREQ(beepVol->key, "BeepVol");
}

// Two fills at once, for two recognised pairs, leave one pair's record, never
// a mix of both.
TEST_F(DefaultTableTest, ConcurrentFillsDoNotInterleave) {
  const PairRow a{6, 5, "VH-C306"};
  const PairRow b{16, 3, "VH-D402"};
  paintRecord();
  auto run = [](PairRow row) {
    for (int i = 0; i < 40; ++i) fill(row);
  };
  std::thread ta(run, a);
  std::thread tb(run, b);
  ta.join();
  tb.join();
  const std::vector<unsigned char> record = readRecord();
  const std::string diffA = firstDifference(record, expectedFor(a).bytes());
  const std::string diffB = firstDifference(record, expectedFor(b).bytes());
  EXPECT_TRUE(diffA.empty() || diffB.empty()) << diffA << " / " << diffB;
}

TEST_F(DefaultTableTest, UnmappableSegmentIsSkipped) {
  util_test::BlockedSegment blocked("SysDataDefault");
  ASSERT_TRUE(blocked.ok());
  standin::testing::ClearHostCalls();
  EXPECT_TRUE(fill(PairRow{6, 5, nullptr}));
  const auto calls = standin::testing::HostCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].op, "initSysDataDefault");
}

}  // namespace
