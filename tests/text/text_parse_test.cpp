#include "text/text_parse.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

using Kind = TextPiece::Kind;
using Units = std::vector<std::uint16_t>;

std::vector<TextPiece> parse(std::string_view text) {
  std::vector<TextPiece> pieces;
  const Outcome failure = parse_line_text(text, HexRuns::units, pieces);
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
      {"100", "1: a run of 3 hex digits: units take four each; digits are written full-width (\xEF\xBC\x90-\xEF\xBC\x99), "
              "or use --fullwidth"},  // ０-９
      {"12000010", "5: 0010: the unit is never produced by the decoder"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<TextPiece> pieces;
    const Outcome refused = parse_line_text(text, HexRuns::units, pieces);
    ASSERT_TRUE(refused) << text;
    EXPECT_EQ(std::to_string(refused->column) + ": " + refused->reason, message);
  }
}

TEST(ParseLineText, NamesACharacterItLacksInUtf8WithWhatToWriteInstead) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"\x81I\x81\xF4", "2: '\xE2\x99\xAA' (U+266A) is not in the character table"},  // ！♪; ♪ in UTF-8
      {"abc", "1: 'a' (U+0061) is not in the character table: write '\xEF\xBD\x81' (U+FF41), or use --fullwidth"},  // ａ
      {" ", "1: ' ' (U+0020) is not in the character table: write '\xE3\x80\x80' (U+3000), or use --fullwidth"},
      {"\"", "1: '\"' (U+0022) is not in the character table: write '\xE2\x80\x9D' (U+201D), or use --fullwidth"},  // ”
      {"#", "1: '#' (U+0023) is not in the character table, nor a full-width form of it"},
      {"\x81\x7C", "1: '\xEF\xBC\x8D' (U+FF0D) is not in the character table: write '-' (U+002D)"},  // －
      {"\xB1", "1: '\xEF\xBD\xB1' (U+FF71) is not in the character table"},  // ｱ
      {"\t", "1: U+0009 is not in the character table"},
      {"\x81I\x82", "2: the byte 82 is no Shift-JIS character"},
      {"\x85\x40", "1: the bytes 85 40 are no Shift-JIS character"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<TextPiece> pieces;
    const Outcome refused = parse_line_text(text, HexRuns::units, pieces);
    ASSERT_TRUE(refused) << text;
    EXPECT_EQ(std::to_string(refused->column) + ": " + refused->reason, message);
  }
}

TEST(FullwidthText, WritesAsciiFullWidthAndLeavesTheSyntax) {
  using enum HexRuns;
  const std::tuple<std::string_view, HexRuns, std::string_view> cases[] = {
      // Hi (ガルドス)-<1300 3B02>\n2 ok! -> Ｈｉ　(ガルドス)-<1300 3B02>\n２　ｏｋ！
      {"Hi (\x83K\x83\x8B\x83h\x83X)-<1300 3B02>\\n2 ok!", characters,
       "\x82\x67\x82\x89\x81\x40(\x83\x4B\x83\x8B\x83\x68\x83\x58)-<1300 3B02>\\n\x82\x51\x81\x40\x82\x8F\x82\x8B\x81\x49"},
      // A hex run as far as it reads as units: 13003B023803EA00Ａｂｃ　1000
      {"13003B023803EA00Abc 1000", units, "13003B023803EA00\x82\x60\x82\x82\x82\x83\x81\x40" "1000"},
      // ...and no further: ＡＢＢＡ　１２３４５
      {"ABBA 12345", units, "\x82\x60\x82\x61\x82\x61\x82\x60\x81\x40\x82\x50\x82\x51\x82\x52\x82\x53\x82\x54"},
      // A catalogue writes units as tags: １３００　ｘ
      {"1300 x", characters, "\x82\x50\x82\x52\x82\x4F\x82\x4F\x81\x40\x82\x98"},
      // '(' that starts no name is text; what has no counterpart stays: （ｓｅｅ）　#;<ｘ
      {"(see) #;<x", units, "\x81\x69\x82\x93\x82\x85\x82\x85\x81\x6A\x81\x40#;<\x82\x98"},
      // ”Ｉｔ’ｓ”
      {"\"It's\"", characters, "\x81\x68\x82\x68\x82\x94\x81\x66\x82\x93\x81\x68"},
      // ［＿～］
      {"[_~]", units, "\x81\x6D\x81\x51\x81\x60\x81\x6E"},
      // アソn: a trail byte 41 or 5C is no 'A' or '\\' -> アソｎ
      {"\x83\x41\x83\\n", units, "\x83\x41\x83\\\x82\x8E"},
      // A catalogue's own line break: ａ LF ｂ
      {"a\nb", characters, "\x82\x81\n\x82\x82"},
  };
  for (const auto& [text, hex_runs, expected] : cases) EXPECT_EQ(fullwidth_text(text, hex_runs), expected) << text;
}

}  // namespace
}  // namespace ambergale
