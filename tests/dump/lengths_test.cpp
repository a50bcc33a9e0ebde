#include "dump/lengths.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace ambergale {
namespace {

std::vector<int> lengths(const std::vector<int>& pointers, int end) {
  std::vector<int> out(pointers.size(), -12345);
  infer_lengths(pointers, end, out);
  return out;
}

TEST(InferLengths, MeasuresToTheNextGreaterPointerOrTheEnd) {
  EXPECT_EQ(lengths({0x8100, 0x8000, 0x8040, 0x8000}, 0x8180), (std::vector<int>{0x80, 0x40, 0xC0, 0x40}));
  EXPECT_EQ(lengths({0x10, 0x20, 0x35}, 0x40), (std::vector<int>{0x10, 0x15, 0x0B}));
  EXPECT_EQ(lengths({0x50, 0x50, 0x50}, 0x60), (std::vector<int>{0x10, 0x10, 0x10}));
  EXPECT_EQ(lengths({0x10, 0x60}, 0x60), (std::vector<int>{0x50, 0}));
  EXPECT_EQ(lengths({0x10, 0x70}, 0x60), (std::vector<int>{0x60, -0x10}));
  EXPECT_EQ(lengths({0x70, 0x10}, 0x08), (std::vector<int>{-0x68, 0x60}));
}

TEST(InferLengths, AgreesWithTheClosedFormOnAnyTable) {
  // Each length is the smallest greater pointer (else the end) minus the
  // pointer: checked on dense, sparse and edge-of-bank tables.
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<int> pointers(1 + random() % 1600);
    const int spread = round % 3 == 0 ? 64 : round % 3 == 1 ? 4096 : 0x10000;
    const int base = round % 2 == 0 ? 0 : 0x10000 - spread;
    for (int& p : pointers) p = base + static_cast<int>(random() % spread);
    if (round % 5 == 0) pointers[0] = 0xFFFF;
    const int end = static_cast<int>(random() % 0x10001);
    std::vector<int> expected;
    for (const int p : pointers) {
      int next = end;
      bool found = false;
      for (const int q : pointers) {
        if (q > p && (!found || q < next)) {
          next = q;
          found = true;
        }
      }
      expected.push_back(next - p);
    }
    ASSERT_EQ(lengths(pointers, end), expected) << round;
  }
}

TEST(InferLengths, HandlesTablesOfFewerThanTwoPointers) {
  EXPECT_EQ(lengths({0x10}, 0x40), (std::vector<int>{0x30}));
  EXPECT_TRUE(lengths({}, 0x40).empty());
}

}  // namespace
}  // namespace ambergale
