#include "text/text_parse.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

using Kind = TextPiece::Kind;
using Units = std::vector<std::uint16_t>;

std::vector<TextPiece> parse(std::string_view text) {
  std::vector<TextPiece> pieces;
  const Outcome failure = parse_line_text(text, pieces);
  EXPECT_FALSE(failure) << failure->text();
  return pieces;
}

TEST(ParseLineText, SplitsTheDumpsOwnSpelling) {
  // ！(ボルテン)\n－？1300341256000A00<1700>ソ : a trail byte 5C never reads as '\'.
  const std::vector<TextPiece> pieces =
      parse("\x81I(\x83{\x83\x8B\x83" "e\x83\x93)\\n-\x81H130034015600A000<1700>\x83\\");
  const std::vector<std::tuple<Kind, std::size_t, Units>> expected = {
      {Kind::character, 1, {0x0021}},
      {Kind::name, 2, {0x0019, 0x0081}},
      {Kind::newline, 8, {0x0012, 0x0017}},
      {Kind::character, 10, {0x002D}},
      {Kind::character, 11, {0x003F, 0x007E}},  // ？ is two codes
      {Kind::hex_run, 12, {0x0013, 0x0134, 0x0056, 0x00A0}},
      {Kind::escape, 28, {0x0017}},
      {Kind::character, 34, {0x00CD}},  // ソ
  };
  ASSERT_EQ(pieces.size(), expected.size());
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    EXPECT_EQ(pieces[i].kind, std::get<0>(expected[i])) << i;
    EXPECT_EQ(pieces[i].column, std::get<1>(expected[i])) << i;
    EXPECT_EQ(pieces[i].units, std::get<2>(expected[i])) << i;
  }
}

TEST(ParseLineText, RefusesWhatTheDumpNeverWrites) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"\x81I\\t", "2: a '\\' not followed by 'n' (a line break is written \\n)"},
      {"(\x83K)", "1: '(' starts none of the six character names"},
      {"<1700", "1: an escape '<' without its '>'"},
      {"<17 00>", "1: an escape holds units of four upper-case hex digits, low byte first, between spaces: <1700 3F00>"},
      {"<>", "1: an escape holds units of four upper-case hex digits, low byte first, between spaces: <1700 3F00>"},
      {"\x81I<0500>", "2: <0500>: the unit is never produced by the decoder"},
      {"100", "1: a run of 3 hex digits: units take four each; digits are written full-width (\x82\x4F-\x82\x58)"},
      {"12000010", "5: 0010: the unit is never produced by the decoder"},
      {"abc", "1: 'a' is not in the character table (its characters are full-width)"},
      {"\x81I\x82", "2: this character is not in the character table"},
      {"\x85\x40", "1: this character is not in the character table"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<TextPiece> pieces;
    const Outcome refused = parse_line_text(text, pieces);
    ASSERT_TRUE(refused) << text;
    EXPECT_EQ(std::to_string(refused->column) + ": " + refused->reason, message);
  }
}

}  // namespace
}  // namespace ambergale
