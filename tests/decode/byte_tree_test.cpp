#include "decode/byte_tree.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "encode/encoder.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The trees of the documented example, by their codes:
//   lead: 0 -> leaf 3 (0x00), 10 -> leaf 4 (0x21), 11 -> leaf 5 (0x03)
//   low:  0 -> 0x41, 1 -> 0x9C
TreePair worked_trees() {
  TreePair trees;
  const Bytes lead = {0, 2, 1, 0, 1, 2, 0x00, 0x21, 0x03};
  const Bytes low = {0, 1, 0, 1, 0x41, 0x9C};
  std::copy(lead.begin(), lead.end(), trees.lead.begin());
  std::copy(low.begin(), low.end(), trees.low.begin());
  return trees;
}

struct Decoded {
  Bytes codes;
  std::int32_t consumed;
};

Decoded text(const TreePair& trees, const Bytes& input, std::int32_t limit) {
  CodeBuffer out;
  const TextDecode d = decode_text(trees, input, limit, out);
  return {Bytes(out.begin(), out.begin() + d.written), d.consumed};
}

TEST(DecodeText, WorkedExample) {
  const Decoded d = text(worked_trees(), {0xB8, 0x00}, 4);
  EXPECT_EQ(d.codes, (Bytes{0x21, 0x00, 0x9C, 0x03, 0xFF, 0xFF}));
  EXPECT_EQ(d.consumed, 1);  // six bits of the first word: the next message starts at byte 1
}

TEST(DecodeText, ConsumedLengthCountsTheBytesHoldingTakenBits) {
  struct Case {
    Bytes input;
    std::int32_t consumed;
  };
  const Case cases[] = {
      {{0x00}, 1},              // 1 bit: the end code
      {{0xD4}, 1},              // 8 bits: 0x0341, 0x21, 0x21, end
      {{0xAA, 0x00}, 2},        // 9 bits: four 0x21, end
      {{0xAA, 0xAA, 0x00}, 3},  // 17 bits: the end code opens the second word
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text(worked_trees(), c.input, 16).consumed, c.consumed) << testing::PrintToString(c.input);
  }
}

TEST(DecodeText, EndOnTheLastBitOfAWordConsumesTheWholeWord) {
  encode::TextCoder coder;
  coder.lead.codes[0] = {0, 1};      // 0
  coder.lead.codes[0x21] = {2, 2};   // 10
  coder.lead.codes[0x03] = {3, 2};   // 11
  coder.low.codes[0x41] = {0, 1};    // 0
  // 10 + 3 + 2 + 1 = 16 bits: the end code is the last bit of the first word.
  const std::vector<std::uint16_t> units = {0x21, 0x21, 0x21, 0x21, 0x21, 0x0341, 0x21, 0xFFFF};
  const Bytes input = encode::encode_units(coder, units);
  ASSERT_EQ(input.size(), 2u);
  const Decoded d = text(worked_trees(), input, 16);
  EXPECT_EQ(d.codes.size(), 2 * units.size());
  EXPECT_EQ(d.consumed, 2);
}

TEST(DecodeText, LimitIsRaisedToEvenAndTestedAfterLeadSymbols) {
  const TreePair trees = worked_trees();
  // 0x21 codes forever: the decode stops at the limit, with no end code.
  const Bytes endless(32, 0xAA);
  Decoded d = text(trees, endless, 31);  // behaves as 32
  EXPECT_EQ(d.codes.size(), 2u * 8 * 16);
  EXPECT_EQ(d.consumed, 33);  // the dropped symbol's first bit is in byte 32
  EXPECT_EQ(text(trees, endless, 32).codes, d.codes);

  for (std::int32_t limit : {0, -1, -7}) {
    d = text(trees, endless, limit);
    EXPECT_TRUE(d.codes.empty());
    EXPECT_GE(d.consumed, 1);
  }
}

TEST(DecodeText, PagePrefixBeforeTheLimitStillGetsItsLowByte) {
  // Seven 0x21 (14 bits), then lead 3 at bits 14-15; its low bit is the first
  // bit of the word at the limit 2: 1 -> 0x9C.
  const Bytes input = {0xAA, 0xAB, 0x80, 0x00};
  const Decoded d = text(worked_trees(), input, 2);
  ASSERT_EQ(d.codes.size(), 16u);
  EXPECT_EQ(d.codes[14], 0x9C);
  EXPECT_EQ(d.codes[15], 0x03);
}

TEST(DecodeText, OutputIsCappedAt3840Bytes) {
  const Bytes endless(4096, 0xAA);
  const Decoded d = text(worked_trees(), endless, 4096);
  EXPECT_EQ(d.codes.size(), 3840u);
  EXPECT_NE(d.codes[3838], 0xFF);
  EXPECT_EQ(text(worked_trees(), endless, 2147483647).codes.size(), 3840u);  // the largest odd limit
}

TEST(DecodeDictEntry, UsesTheLengthUnraised) {
  const TreePair trees = worked_trees();
  const Bytes endless(1024, 0xAA);
  CodeBuffer out;
  // Length 7: the walk that fetches the word at 6 ends the decode, where
  // decode_text would raise the limit to 8 and decode that word too.
  EXPECT_EQ(decode_dict_entry(trees, endless, 7, out).written, 2 * 8 * 3);
  EXPECT_EQ(decode_dict_entry(trees, endless, 8, out).written, 2 * 8 * 4);
  EXPECT_EQ(decode_text(trees, endless, 7, out).written, 2 * 8 * 4);
}

TEST(DecodeText, RoundTripsEncodedMessages) {
  const std::vector<std::vector<std::uint16_t>> messages = {
      {0x0021, 0x039C, 0x0010, 0x00FF, 0x0FFF, 0x0100, 0xFFFF},
      {0xFFFF},
      {0x0080, 0x0081, 0x0082, 0x0083, 0x0019, 0x0080, 0x0A00, 0xFFFF},
  };
  const encode::TextCoder coder = encode::build_text_coder(messages);
  const TreePair trees = coder.trees();
  Bytes stream;
  std::vector<std::size_t> starts;
  for (const auto& m : messages) {
    starts.push_back(stream.size());
    const Bytes coded = encode::encode_units(coder, m);
    stream.insert(stream.end(), coded.begin(), coded.end());
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(at, starts[i]);
    const Decoded d = text(trees, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at), stream.end()), 768);
    Bytes expected;
    for (std::uint16_t u : messages[i]) {
      expected.push_back(static_cast<std::uint8_t>(u & 0xFF));
      expected.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    EXPECT_EQ(d.codes, expected);
    at += static_cast<std::size_t>(d.consumed);
  }
}

TEST(DecodeSymbol, StaysInsideTheTableForAnyTree) {
  // 255 internal nodes with the largest distances: the deepest index formed
  // is 767, inside the table.
  ByteTree tree{};
  tree.fill(255);
  tree[1] = 255;
  const Bytes ones(64, 0xFF);
  BitReader reader(ones);
  EXPECT_EQ(decode_symbol(tree, reader), 255);
  EXPECT_EQ(reader.position, 2);
}

}  // namespace
}  // namespace ambergale

namespace ambergale {
namespace {

TEST(IndexTrees, StepTablesNeverChangeADecode) {
  // Random trees (well-formed or not) and random input: the indexed walk and
  // the bit-by-bit walk agree on every result and on the reader's state.
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    TreePair plain;
    for (auto& b : plain.lead) b = static_cast<std::uint8_t>(random());
    for (auto& b : plain.low) b = static_cast<std::uint8_t>(random());
    plain.lead[1] = static_cast<std::uint8_t>(random() % 256);
    TreePair indexed = plain;
    index_trees(indexed);
    std::vector<std::uint8_t> input(random() % 64);
    for (auto& b : input) b = static_cast<std::uint8_t>(random());
    const std::int32_t limit = static_cast<std::int32_t>(random() % 80) - 4;
    CodeBuffer a, b;
    const TextDecode da = decode_text(plain, input, limit, a);
    const TextDecode db = decode_text(indexed, input, limit, b);
    ASSERT_EQ(da.written, db.written) << round;
    ASSERT_EQ(da.consumed, db.consumed) << round;
    ASSERT_TRUE(std::equal(a.begin(), a.begin() + da.written, b.begin())) << round;
  }
}

}  // namespace
}  // namespace ambergale
