#include "decode/script_tree.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "encode/encoder.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Built {
  ScriptTree tree;
  std::string failure;
};

Built build(const Bytes& header_bytes) {
  std::array<std::uint8_t, kScriptHeaderBytes> header{};
  std::copy_n(header_bytes.begin(), std::min(header_bytes.size(), header.size()), header.begin());
  ScriptTreeBuilder builder;
  Built b;
  b.tree.leaf_boundary = -1;
  if (const Outcome refused = builder.build_script_tree(b.tree.nodes, header, b.tree.leaf_boundary)) b.failure = refused->reason;
  return b;
}

Bytes decode(const ScriptTree& tree, const Bytes& input, std::int32_t length) {
  std::array<std::uint8_t, kScriptOutputCap> out;
  const int n = decode_script(tree, input, length, out);
  return Bytes(out.begin(), out.begin() + n);
}

const Bytes kWorkedHeader = {0x02, 0x19, 0x00, 0x02, 0x02, 0x08, 0x01, 0x80, 0x00};

TEST(BuildScriptTree, WorkedExample) {
  const Built b = build(kWorkedHeader);
  ASSERT_EQ(b.failure, "");
  EXPECT_EQ(b.tree.leaf_boundary, 8);
  const std::vector<std::uint16_t> expected = {8, 4, 10, 12, 0x0010, 0x0000, 0x0100};
  EXPECT_EQ(std::vector<std::uint16_t>(b.tree.nodes.begin(), b.tree.nodes.begin() + 7), expected);
  // Any spare_bits value builds the same tree.
  Bytes spare = kWorkedHeader;
  spare[0] |= 0xF0;
  EXPECT_EQ(build(spare).tree.nodes, b.tree.nodes);
}

TEST(DecodeScript, WorkedExample) {
  const ScriptTree tree = build(kWorkedHeader).tree;
  const Bytes expected = {0xFF, 0xFF, 0x10, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF,
                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(decode(tree, {0x9D, 0x55, 0xC0}, 2), expected);
  EXPECT_EQ(decode(tree, {0x9D, 0x55, 0xC0}, 1), expected);  // 1 behaves as 2
  EXPECT_TRUE(decode(tree, {0x9D, 0x55}, 0).empty());
  EXPECT_TRUE(decode(tree, {0x9D, 0x55}, -3).empty());
}

TEST(DecodeScript, SymbolsBecomeBytePairs) {
  const encode::ScriptTreeCode code = encode::build_script_tree_code({{0, 1}, {1, 1}, {255, 1}, {256, 1}, {0x1A5, 1}});
  const ScriptTree tree = build(code.header).tree;
  encode::BitWriter w;
  for (int s : {1, 0, 255, 256, 0x1A5}) w.put(code.codes.at(s));
  w.pad_to_byte(1);
  Bytes input = w.bytes();
  const Bytes out = decode(tree, input, static_cast<std::int32_t>(input.size()));
  const Bytes expected = {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xA5, 0x01};
  ASSERT_GE(out.size(), expected.size());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 10), expected);
}

TEST(DecodeScript, OutputIsCappedAt12032Bytes) {
  const ScriptTree tree = build(kWorkedHeader).tree;
  const Bytes zeros(8192, 0);  // symbol 0x010 on every bit
  EXPECT_EQ(decode(tree, zeros, 8000).size(), 12032u);
}

TEST(BuildScriptTree, DepthBitsZeroPutsEveryLeafAtDepthBase) {
  // depth_bits 0, depth_base 1, value_bits 4, node_count 1: two leaves 5, 6.
  const Built b = build({0x00, 0x14, 0x00, 0x01, 0x56});
  ASSERT_EQ(b.failure, "");
  EXPECT_EQ(b.tree.nodes[2], 5);
  EXPECT_EQ(b.tree.nodes[3], 6);
}

TEST(BuildScriptTree, RefusesMalformedHeaders) {
  struct Case {
    const char* what;
    Bytes header;
  };
  const Case cases[] = {
      {"node_count above 682", {0x02, 0x19, 0x02, 0xAB}},
      {"more internal nodes than node_count", {0x02, 0x19, 0x00, 0x01, 0x02, 0x08, 0x01, 0x80, 0x00}},
      // Leaves at depth 2, then 1: the right subtree at depth 2 never meets depth 1.
      {"a depth never met", {0x02, 0x01, 0x02, 0xAA, 0x88}},
      {"root as a leaf", {0x00, 0x04, 0x00, 0x02, 0x00}},
  };
  for (const Case& c : cases) {
    const Built b = build(c.header);
    EXPECT_EQ(b.tree.leaf_boundary, -1) << c.what;
    EXPECT_NE(b.failure, "") << c.what;
  }
}

TEST(BuildScriptTree, RefusesAHeaderRunningPastItsBytes) {
  // Every leaf at depth 10 with 15-bit values: the leaves' values run out of
  // the 1024 bytes before the 682 pairs run out.
  const Bytes header = {0x00, 0xAF, 0x02, 0xAA};
  const Built b = build(header);
  EXPECT_EQ(b.tree.leaf_boundary, -1);
  EXPECT_NE(b.failure.find("1024"), std::string::npos) << b.failure;
}

TEST(DecodeScript, RoundTripsAnEncodedScript) {
  std::map<int, std::uint64_t> frequency;
  std::vector<int> symbols;
  for (int i = 0; i < 300; ++i) {
    const int s = (i * 37) % 290;
    symbols.push_back(s);
    ++frequency[s];
  }
  const encode::ScriptTreeCode code = encode::build_script_tree_code(frequency);
  const Built b = build(code.header);
  ASSERT_EQ(b.failure, "");
  encode::BitWriter w;
  for (int s : symbols) w.put(code.codes.at(s));
  w.pad_to_byte();
  const Bytes out = decode(b.tree, w.bytes(), static_cast<std::int32_t>(w.bytes().size()));
  ASSERT_GE(out.size(), 2 * symbols.size());
  for (std::size_t i = 0; i < symbols.size(); ++i) {
    const int s = symbols[i];
    const int value = s == 0 ? 0xFFFF : s == 256 ? 0 : s;
    EXPECT_EQ(out[2 * i] + out[2 * i + 1] * 256, value) << i;
  }
}

}  // namespace
}  // namespace ambergale

namespace ambergale {
namespace {

TEST(IndexScriptTree, StepTablesNeverChangeADecode) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    std::map<int, std::uint64_t> frequency;
    const int symbols = 2 + static_cast<int>(random() % 300);
    for (int s = 0; s < symbols; ++s) frequency[static_cast<int>(random() % 600)] = 1 + random() % 1000;
    ScriptTree tree = build(encode::build_script_tree_code(frequency).header).tree;
    ASSERT_GE(tree.leaf_boundary, 0);
    ScriptTree indexed = tree;
    index_script_tree(indexed);
    std::vector<std::uint8_t> input(random() % 200);
    for (auto& b : input) b = static_cast<std::uint8_t>(random());
    const std::int32_t length = static_cast<std::int32_t>(random() % 220) - 4;
    ASSERT_EQ(decode(tree, input, length), decode(indexed, input, length)) << round;
  }
}

}  // namespace
}  // namespace ambergale
