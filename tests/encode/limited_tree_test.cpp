#include "encode/limited_tree.hpp"

#include <gtest/gtest.h>

#include <random>

#include "decode/byte_tree.hpp"
#include "support/tree_codes.hpp"
#include "text/code_units.hpp"

namespace ambergale {
namespace {

using encode::Frequencies;

using testing_support::decode_code;

std::uint64_t cost_of(const Frequencies& frequency, const std::array<encode::Code, 256>& codes) {
  std::uint64_t bits = 0;
  for (int s = 0; s < 256; ++s) bits += frequency[s] * static_cast<std::uint64_t>(codes[s].length);
  return bits;
}

// Skewed counts, as a text's are: a few symbols common, many rare.
Frequencies skewed(std::mt19937& random, int symbols) {
  Frequencies frequency{};
  for (int i = 0; i < symbols; ++i) frequency[static_cast<std::size_t>(i)] = 1 + (random() % 2000000) / (1 + i * i);
  return frequency;
}

TEST(LimitedTree, DecodesEverySymbolWithinItsDepthAndCostsNoLessThanHuffman) {
  std::mt19937 random(27);
  for (const int symbols : {2, 3, 40, 200, 248, 256}) {
    const Frequencies frequency = skewed(random, symbols);
    const std::uint64_t huffman = cost_of(frequency, encode::build_byte_tree(frequency).codes);
    for (const int depth : {8, 9, 11, 14, 32}) {
      if (symbols > 1 << std::min(depth, 8)) continue;
      const encode::LimitedTree limited = encode::build_limited_tree(frequency, depth, encode::kLowSymbols);
      ASSERT_EQ(limited.refusal, "") << symbols << " " << depth;
      EXPECT_EQ(limited.tree.table[1] + 1, symbols);
      int deepest = 0;
      for (int s = 0; s < symbols; ++s) {
        const encode::Code code = limited.tree.codes[static_cast<std::size_t>(s)];
        ASSERT_GT(code.length, 0);
        ASSERT_LE(code.length, depth);
        ASSERT_EQ(decode_code(limited.tree.table, code), s) << symbols << " " << depth;
        deepest = std::max(deepest, code.length);
      }
      EXPECT_EQ(encode::tree_depth(limited.tree.table), deepest);
      const std::uint64_t bits = cost_of(frequency, limited.tree.codes);
      EXPECT_GE(bits, huffman);
      if (depth == 32) {
        EXPECT_EQ(bits, huffman) << symbols;
      }
    }
  }
}

TEST(LimitedTree, ATightLimitCostsLittleOnATextsCounts) {
  std::mt19937 random(3);
  const Frequencies frequency = skewed(random, 240);
  const encode::ByteTreeCode huffman = encode::build_byte_tree(frequency);
  const int deepest = encode::tree_depth(huffman.table);
  const encode::LimitedTree limited = encode::build_limited_tree(frequency, deepest - 3, encode::kLowSymbols);
  ASSERT_EQ(limited.refusal, "");
  EXPECT_EQ(encode::tree_depth(limited.tree.table), deepest - 3);
  EXPECT_LT(cost_of(frequency, limited.tree.codes), cost_of(frequency, huffman.codes) * 1001 / 1000);
}

TEST(LimitedTree, RefusesMoreSymbolsThanTheRoomOrTheDepthHolds) {
  Frequencies frequency{};
  for (std::size_t s = 0; s < 249; ++s) frequency[s] = 1 + s;
  EXPECT_EQ(encode::build_limited_tree(frequency, 12, encode::kTextLeadSymbols).refusal,
            "249 symbols, and the tree holds at most 248");
  frequency[248] = 0;
  EXPECT_EQ(encode::build_limited_tree(frequency, 12, encode::kTextLeadSymbols).refusal, "");
  EXPECT_EQ(encode::build_limited_tree(frequency, 7, encode::kTextLeadSymbols).refusal,
            "248 symbols need codes of more than 7 bits");
  const Frequencies four{5, 1, 1, 1};
  EXPECT_EQ(encode::build_limited_tree(four, 2, encode::kTextLeadSymbols).refusal, "");
  const Frequencies five{5, 1, 1, 1, 1};
  EXPECT_EQ(encode::build_limited_tree(five, 2, encode::kTextLeadSymbols).refusal,
            "5 symbols need codes of more than 2 bits");
}

TEST(LimitedTree, TheRoomOfEachTableGivesItsSymbols) {
  EXPECT_EQ(encode::kTextLeadSymbols, 248);
  EXPECT_EQ(encode::kLowSymbols, 256);
  EXPECT_EQ(encode::kDictLeadSymbols, 216);
}

TEST(TreeDepth, IsTheDeepestLeafOfAnImagesTable) {
  // Lead tree: 0 -> 0x00, 10 -> 0x21, 11 -> 0x03.
  const ByteTree worked = [] {
    ByteTree tree{};
    const std::uint8_t bytes[] = {0, 2, 1, 0, 1, 2, 0x00, 0x21, 0x03};
    std::copy(std::begin(bytes), std::end(bytes), tree.begin());
    return tree;
  }();
  EXPECT_EQ(encode::tree_depth(worked), 2);
  Frequencies chain{};
  for (std::size_t s = 0; s < 10; ++s) chain[s] = std::uint64_t{1} << s;  // each code one bit longer
  EXPECT_EQ(encode::tree_depth(encode::build_byte_tree(chain).table), 9);
}

// Texts that need every lead symbol: each character c (the clean units
// 0x10..0xFF) c - 0x0F times, one control with its argument, a unit of
// each page and the end code.
std::vector<encode::Units> texts_needing_every_lead_symbol(std::uint16_t control, std::uint16_t argument) {
  std::vector<encode::Units> texts;
  for (std::uint16_t unit = 0x10; unit <= 0xFF; ++unit) {
    if (!encode::clean_unit(unit)) continue;
    texts.push_back(encode::Units(unit - 0x0F, unit));
    texts.back().push_back(kEndCode);
  }
  texts.push_back({control, argument, kEndCode});
  for (std::uint16_t page = 1; page <= 15; ++page) texts.push_back({static_cast<std::uint16_t>(page << 8 | 0x40), kEndCode});
  return texts;
}

TEST(Carriers, AreTheRarestCharactersAndNeverAControlOrArgument) {
  const encode::LeadNeeds needs = encode::lead_needs(texts_needing_every_lead_symbol(0x0016, 0x0021));
  EXPECT_TRUE(needs.kept[0x16]);
  EXPECT_TRUE(needs.kept[0x21]);
  EXPECT_TRUE(needs.kept[0]);
  EXPECT_TRUE(needs.kept[4]);
  std::vector<std::uint16_t> expected;  // the rarest characters, the argument 0x21 kept
  std::size_t needed = 0;
  for (std::size_t s = 0; s < 256; ++s) needed += needs.kept[s] || needs.characters[s] > 0 ? 1 : 0;
  ASSERT_GT(needed, 40u);
  const int most = static_cast<int>(needed) - 8;
  for (std::uint16_t unit = 0x10; expected.size() < 8; ++unit) {
    if (encode::clean_unit(unit) && unit != 0x21) expected.push_back(unit);
  }
  const encode::Carriers carriers = encode::choose_carriers(needs, most);
  EXPECT_EQ(carriers.refusal, "");
  EXPECT_EQ(carriers.characters, expected);
  for (const std::uint16_t unit : carriers.characters) EXPECT_FALSE(control_unit(unit));
  EXPECT_EQ(encode::choose_carriers(needs, most + 8).characters, std::vector<std::uint16_t>{});
}

TEST(Carriers, RefuseWithTheCountsWhenWhatCannotTravelDoesNotFit) {
  encode::LeadNeeds needs;
  for (std::size_t s = 0; s < 20; ++s) needs.kept[s] = true;
  needs.characters[0x41] = 5;
  EXPECT_EQ(encode::choose_carriers(needs, 19).refusal,
            "the lead tree holds at most 19 symbols, and the text needs 20 that cannot travel in the dictionary "
            "(controls, their arguments, page prefixes, the end code) besides 1 character");
  EXPECT_EQ(encode::choose_carriers(needs, 20).characters, std::vector<std::uint16_t>{0x41});
  EXPECT_EQ(encode::choose_carriers(needs, 21).characters, std::vector<std::uint16_t>{});
  needs.kept.fill(false);
  for (std::size_t s = 0x20; s < 0x40; ++s) needs.kept[s] = true;
  EXPECT_NE(encode::choose_carriers(needs, 32).refusal.find("needs 33 that cannot travel"), std::string::npos)
      << "a carried character needs a dictionary page";
}

}  // namespace
}  // namespace ambergale
