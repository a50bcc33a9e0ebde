#include "encode/script_codes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "encode/encoder.hpp"

namespace ambergale {
namespace {

ScriptTree tree_of(const std::vector<std::uint8_t>& header_bytes) {
  std::array<std::uint8_t, kScriptHeaderBytes> header{};
  std::copy_n(header_bytes.begin(), std::min(header_bytes.size(), header.size()), header.begin());
  ScriptTree tree;
  ScriptTreeBuilder builder;
  EXPECT_FALSE(builder.build_script_tree(tree.nodes, header, tree.leaf_boundary));
  return tree;
}

// Whether `prefix` is the start of `code`.
bool starts(const encode::Code& code, const encode::Code& prefix) {
  return prefix.length <= code.length && code.bits >> (code.length - prefix.length) == prefix.bits;
}

TEST(ScriptCodes, TheWorkedTree) {
  // Codes: 0 for 0x010 (byte 10), 10 for 0x000 (byte FF), 11 for 0x100 (byte 00).
  const encode::ScriptCodes codes = encode::script_codes_of(tree_of({0x02, 0x19, 0x00, 0x02, 0x02, 0x08, 0x01, 0x80, 0x00}));
  ASSERT_EQ(codes.by_byte[0x10].size(), 1u);
  EXPECT_EQ(codes.by_byte[0x10][0].code.length, 1);
  EXPECT_EQ(codes.by_byte[0xFF][0].symbol, 0);
  EXPECT_EQ(codes.by_byte[0xFF][0].code.bits, 0b10u);
  EXPECT_EQ(codes.by_byte[0x00][0].symbol, 0x100);
  EXPECT_EQ(codes.by_byte[0x00][0].code.bits, 0b11u);
  EXPECT_TRUE(codes.by_byte[0x41].empty());
  // Only the walk "1" stops on an internal node.
  EXPECT_EQ(codes.longest_open, 1);
  EXPECT_EQ(codes.open[1].bits, 1u);
}

TEST(ScriptCodes, EveryLeafOfABuiltTreeByItsByteShortestFirstAndOpenWalksOfEveryDepth) {
  // Skewed weights give a deep tree; 0x41 and 0x141 both give byte 41, 0 and
  // 0xFF byte FF.
  std::map<int, std::uint64_t> frequency;
  for (int s = 1; s < 40; ++s) frequency[s] = 1ull << (s % 20);
  frequency[0x141] = 3;
  frequency[0x41] = 1000;
  frequency[0] = 5;
  frequency[0xFF] = 7;
  const encode::ScriptTreeCode built = encode::build_script_tree_code(frequency);
  const encode::ScriptCodes codes = encode::script_codes_of(tree_of(built.header));
  std::size_t leaves = 0;
  for (const auto& [symbol, code] : built.codes) {
    const auto& of_byte = codes.by_byte[script_unit(symbol).byte];
    const auto found = std::find_if(of_byte.begin(), of_byte.end(), [&](const encode::ScriptLeaf& leaf) {
      return leaf.symbol == symbol && leaf.code.bits == code.bits && leaf.code.length == code.length;
    });
    EXPECT_NE(found, of_byte.end()) << symbol;
  }
  for (const auto& of_byte : codes.by_byte) {
    leaves += of_byte.size();
    for (std::size_t k = 1; k < of_byte.size(); ++k) EXPECT_LE(of_byte[k - 1].code.length, of_byte[k].code.length);
  }
  EXPECT_EQ(leaves, built.codes.size());
  EXPECT_EQ(codes.by_byte[0x41].size(), 2u);
  EXPECT_EQ(codes.by_byte[0x41][0].symbol, 0x41);
  EXPECT_EQ(codes.by_byte[0xFF].size(), 2u);
  // A walk of each length up to the deepest leaf's, less one, reaches no
  // leaf: it starts some longer code and is no code itself.
  EXPECT_EQ(codes.longest_open, built.max_depth - 1);
  for (int n = 1; n <= codes.longest_open; ++n) {
    const encode::Code& open = codes.open[static_cast<std::size_t>(n)];
    EXPECT_EQ(open.length, n);
    bool longer = false;
    for (const auto& [symbol, code] : built.codes) {
      EXPECT_FALSE(starts(open, code)) << n << " reaches the leaf of " << symbol;
      longer = longer || starts(code, open);
    }
    EXPECT_TRUE(longer) << n;
  }
}

}  // namespace
}  // namespace ambergale
