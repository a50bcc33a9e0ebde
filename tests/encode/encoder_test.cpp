#include "encode/encoder.hpp"

#include <gtest/gtest.h>

#include <random>

#include "decode/byte_tree.hpp"
#include "support/tree_codes.hpp"

namespace ambergale {
namespace {

using testing_support::decode_code;

TEST(CodesOfTree, GiveTheCodesTheTreeWasBuiltWith) {
  std::mt19937 random(11);
  for (int round = 0; round < 50; ++round) {
    std::array<std::uint64_t, 256> frequency{};
    const int symbols = 2 + static_cast<int>(random() % 255);
    for (int i = 0; i < symbols; ++i) frequency[random() % 256] += 1 + random() % (round % 2 == 0 ? 4 : 100000);
    const encode::ByteTreeCode built = encode::build_byte_tree(frequency);
    const std::array<encode::Code, 256> found = encode::codes_of_tree(built.table);
    for (int s = 0; s < 256; ++s) {
      ASSERT_EQ(found[s].length, built.codes[s].length) << round << " " << s;
      if (found[s].length > 0) {
        ASSERT_EQ(decode_code(built.table, found[s]), s);
      }
    }
  }
}

TEST(CodesOfTree, TakeTheShortestWalkOfAnyTree) {
  // The worked lead tree: 0 -> 0x00, 10 -> 0x21, 11 -> 0x03; and a tree in
  // which both children of every node are the same node, which has 2^255
  // walks and must not take as many steps.
  ByteTree worked{};
  const std::uint8_t bytes[] = {0, 2, 1, 0, 1, 2, 0x00, 0x21, 0x03};
  std::copy(std::begin(bytes), std::end(bytes), worked.begin());
  const auto codes = encode::codes_of_tree(worked);
  EXPECT_EQ(codes[0x00].length, 1);
  EXPECT_EQ(codes[0x21].length, 2);
  EXPECT_EQ(codes[0x21].bits, 2u);
  EXPECT_EQ(codes[0x03].bits, 3u);
  EXPECT_EQ(codes[0x80].length, 0);
  ByteTree chain{};
  chain[1] = 255;  // every distance 0: node a's children are both node a + 1
  for (int i = 0; i < 256; ++i) chain[255 + 1 + 256 + i % 2] = 0x41;
  const auto long_codes = encode::codes_of_tree(chain);
  EXPECT_EQ(long_codes[0x41].length, 0);  // 255 bits: longer than a Code holds
}

}  // namespace
}  // namespace ambergale
