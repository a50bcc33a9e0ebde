#include "dump/lengths.hpp"

#include <gtest/gtest.h>

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

TEST(InferLengths, HandlesTablesOfFewerThanTwoPointers) {
  EXPECT_EQ(lengths({0x10}, 0x40), (std::vector<int>{0x30}));
  EXPECT_TRUE(lengths({}, 0x40).empty());
}

}  // namespace
}  // namespace ambergale
