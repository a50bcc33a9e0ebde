// Room told in characters: what a text's characters cost, and the words a
// refusal or the catalogue uses for it.
#include "encode/character_room.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

using encode::CharacterBits;
using encode::Miss;

// Lead symbols: end 3 bits, 0012 4, 0013 6, い 5, う 7, Ａ 8, ａ 6, page 4
// 2; low byte 10 3, so entry 0410 takes 5 bits. Entry 0410 is い \n う.
encode::MessageCoder hand_coder() {
  encode::MessageCoder coder;
  const std::pair<int, int> lead[] = {{0x00, 3}, {0x12, 4}, {0x13, 6}, {0x80, 5}, {0x81, 7}, {0x41, 8}, {0x61, 6}, {0x04, 2}};
  for (const auto& [symbol, length] : lead) coder.lead[static_cast<std::size_t>(symbol)].length = length;
  coder.low[0x10].length = 3;
  coder.clean = {{0x0080, 0x0012, 0x0081}};
  return coder;
}

TEST(CharacterBits, CharactersApartFromTagsArgumentsAndTheEndCode) {
  const encode::MessageCoder coder = hand_coder();
  // い, control 0013 whose arguments い う Ａ are no characters, 0012, entry
  // 0410 (two characters), え that the trees cannot write, う, the end code.
  const std::uint16_t units[] = {0x0080, 0x0013, 0x0080, 0x0081, 0x0041, 0x0012, 0x0410, 0x0082, 0x0081, 0xFFFF};
  const CharacterBits cost = encode::character_bits(coder, units);
  EXPECT_EQ(cost.bits, 5u + 5 + 7);
  EXPECT_EQ(cost.characters, 4u);
  EXPECT_EQ(cost.other_bits, 6u + 5 + 7 + 8 + 4 + 3);
  // A control cut short counts the arguments it has.
  const std::uint16_t cut[] = {0x0013, 0x0080};
  EXPECT_EQ(encode::character_bits(coder, cut).other_bits, 11u);
  EXPECT_EQ(encode::character_bits(coder, cut).characters, 0u);

  const CharacterBits latin = encode::latin_letter_bits(coder);  // Ａ and ａ
  EXPECT_EQ(latin.bits, 14u);
  EXPECT_EQ(latin.characters, 2u);
}

TEST(CharacterRoom, BitsOffInCharactersOfTheTextsOwnKind) {
  const struct {
    std::size_t bits;
    Miss miss;
    CharacterBits cost;
    const char* words;
  } cases[] = {
      {38, Miss::over, {76, 10}, "about 5 characters fewer (38 bits over)"},
      {11, Miss::short_of, {55, 10}, "about 2 characters more (11 bits short)"},
      {17, Miss::over, {8, 1}, "about 3 characters fewer (17 bits over)"},    // up
      {17, Miss::short_of, {8, 1}, "about 2 characters more (17 bits short)"}, // down
      {16, Miss::over, {8, 1}, "about 2 characters fewer (16 bits over)"},    // both ends the same
      {16, Miss::short_of, {8, 1}, "about 2 characters more (16 bits short)"},
      {1, Miss::over, {10, 1}, "about 1 character fewer (1 bit over)"},
      {1, Miss::short_of, {10, 1}, "about 1 character more (1 bit short)"},  // never 0 more
      {12, Miss::over, {}, "12 bits over"},                                    // nothing to count by
  };
  for (const auto& c : cases) EXPECT_EQ(encode::characters_off(c.bits, c.miss, c.cost), c.words);
}

TEST(CharacterRoom, CountsAndFallbacks) {
  EXPECT_EQ(encode::counted(1, "byte"), "1 byte");
  EXPECT_EQ(encode::counted(0, "byte"), "0 bytes");
  EXPECT_EQ(encode::counted(12, "full-width Latin letter"), "12 full-width Latin letters");
  EXPECT_EQ(encode::characters_in(95, {76, 10}), 12u);
  EXPECT_EQ(encode::characters_in(95, {}), 0u);
  const CharacterBits translation{30, 3}, original{80, 10};
  EXPECT_EQ(encode::counting_cost(translation, original).bits, 30u);
  EXPECT_EQ(encode::counting_cost({0, 0, 9}, original).bits, 80u);
  EXPECT_EQ(encode::change_a_character({75, 10}), "change a character or two (about 8 bits each)");
  EXPECT_EQ(encode::change_a_character({7, 7}), "change a character or two (about 1 bit each)");
  EXPECT_EQ(encode::change_a_character({}), "change a character or two");
}

}  // namespace
}  // namespace ambergale
