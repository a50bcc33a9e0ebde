#include "insert/free_space.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

TEST(FreeSpace, MergesRangesAndTakesFirstFitInAddressOrder) {
  FreeSpace pool;
  pool.add({0x9000, 0x9010});
  pool.add({0x8000, 0x8004});
  pool.add({0x8004, 0x8008});  // touches the one before: one range of 8
  pool.add({0x9008, 0x9020});  // overlaps: 9000-901F
  EXPECT_EQ(pool.total(), 8 + 0x20);
  EXPECT_EQ(pool.largest().start, 0x9000);
  EXPECT_EQ(pool.take(9), 0x9000);    // the first range holds only 8
  EXPECT_EQ(pool.take(8), 0x8000);
  EXPECT_EQ(pool.take(0x18), std::nullopt);
  EXPECT_EQ(pool.take(0x17), 0x9009);
  EXPECT_EQ(pool.total(), 0);
  EXPECT_EQ(pool.largest().size(), 0);

  FreeSpace own;
  own.add({0x8000, 0x8010});
  EXPECT_FALSE(own.take_at(0x800C, 5));
  EXPECT_TRUE(own.take_at(0x8004, 4));  // splits it
  EXPECT_EQ(own.take(5), 0x8008);
  EXPECT_EQ(own.take(4), 0x8000);
  EXPECT_EQ(own.total(), 3);
}

TEST(FreeSpace, ReadsDeclaredRanges) {
  DeclaredRange range;
  ASSERT_FALSE(parse_declared_range("FB:7ff2-7FFF", range));
  EXPECT_EQ(range.bank, 0xFB);
  EXPECT_EQ(range.range.start, 0x7FF2);
  EXPECT_EQ(range.range.end, 0x8000);
  EXPECT_EQ(declared_text(range), "FB:7FF2-7FFF");
  ASSERT_FALSE(parse_declared_range("FB:FFFF-FFFF", range));
  EXPECT_EQ(range.range.size(), 1);
  for (const char* bad : {"FB:8000", "FB:8000-80", "FB8000-8100", "FB:8000+8100", "FB:80G0-8100", "FB:-800-8100",
                          "FB:8000-8100x", "FB:8100-80FF"}) {
    const Outcome failure = parse_declared_range(bad, range);
    ASSERT_TRUE(failure) << bad;
    EXPECT_NE(failure->text().find(bad), std::string::npos) << failure->text();
  }
}

}  // namespace
}  // namespace ambergale
