#include "text/render.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "support/code_units.hpp"
#include "text/char_table.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string render(const Bytes& stream, const std::vector<std::string>& dictionary = {}) {
  return testing_support::render_text(stream, dictionary);
}

Bytes units(std::initializer_list<std::uint16_t> values) { return testing_support::code_bytes(values); }

TEST(RenderCodes, WorkedExamples) {
  std::vector<std::string> dictionary(3049);
  dictionary[0] = "D0";
  dictionary[3048] = "DLAST";
  struct Case {
    Bytes stream;
    std::string text;
  };
  const Case cases[] = {
      {{0x21, 0x00, 0x9C, 0x03, 0xFF, 0xFF}, "\x81\x49\x97\xE1"},  // ！例
      {{0x19, 0x00, 0x81, 0x00, 0xFF, 0xFF}, "(\x83{\x83\x8B\x83" "e\x83\x93)"},  // (ボルテン)
      {{0x16, 0x00, 0x80, 0x00}, "16008000"},
      {{0x13, 0x00, 0x34, 0x12, 0x56, 0x00, 0xCD, 0xAB}, "130034125600CDAB"},
      {{0x05, 0x04, 0xF9, 0x0F, 0x10, 0x04}, "0504F90FD0"},
      {{}, ""},
      {units({0x21, 0xFFFF, 0x21}), "\x81\x49\x81\x49"},  // end codes mid-stream render as nothing
      {units({0x19, 0x80}), "(\x83K\x83\x8B\x83h\x83X)"},  // (ガルドス)
      {units({0x19, 0x85}), "(\x83" "e\x83" "B\x83})"},    // (ティマ)
      {units({0x19, 0x7F}), "19007F00"},
      {units({0x19, 0x86}), "19008600"},
      {units({0x19, 0x180}), "19008001"},
      {units({0x18, 0x80}), "18008000"},
      {units({0x1B, 0x0410}), "1B001004"},
      {units({0x12, 0x17}), "\\n\\n"},
      {units({0x2D}), "-"},
      {units({0x0400, 0x040F, 0x0FF8, 0x0FF9, 0xFFFE}), "00040F04DLASTF90FFEFF"},
      {units({0x0000, 0x001F, 0x03FC, 0x03FF}), "00001F00\x81\xA1\x81\xA1"},  // ■■
  };
  for (const Case& c : cases) EXPECT_EQ(render(c.stream, dictionary), c.text) << testing::PrintToString(c.stream);
}

TEST(RenderCodes, NeverReadsPastTheLength) {
  struct Case {
    Bytes stream;
    std::string text;
  };
  const Case cases[] = {
      {{0x19, 0x00}, "1900"},                         // a final lone control
      {{0x19, 0x00, 0x80}, "190080"},                 // half an argument
      {{0x13, 0x00, 0x34, 0x12}, "13003412"},         // two of four units
      {{0x21, 0x00, 0x7F}, "\x81\x49" "7F"},          // odd length: the last byte as two digits
  };
  for (const Case& c : cases) EXPECT_EQ(render(c.stream), c.text) << testing::PrintToString(c.stream);
  // Bytes past the given length are not rendered, even when they are there.
  const Bytes stream = {0x19, 0x00, 0x80, 0x00};
  TextBuffer out;
  out.append("kept:");
  EXPECT_EQ(render_codes(stream, 2, {}, out), 4);
  EXPECT_EQ(out.view(), "kept:1900");
}

TEST(RenderCodes, DictionaryCodesWithoutTextTakeTheHexForm) {
  EXPECT_EQ(render(units({0x0410, 0x0FF8})), "1004F80F");
}

TEST(CharTable, GivesEveryCodeAboveTheControlsItsShiftJisCharacter) {
  // 30 empty entries, all in page 0 below 0x0020.
  int empty = 0;
  for (int c = 0; c < kCharTableSize; ++c) {
    if (kCharTable[c].empty()) {
      ++empty;
      EXPECT_LT(c, 0x20) << c;
    } else if (c != 0x12 && c != 0x17 && c != 0x2D) {
      EXPECT_EQ(kCharTable[c].size(), 2u) << c;
      EXPECT_GE(static_cast<unsigned char>(kCharTable[c][0]), 0x81) << c;
    }
  }
  EXPECT_EQ(empty, 30);
  // One character in every row of 32 codes, checked against its Shift-JIS bytes.
  const std::pair<int, const char*> samples[] = {
      {0x0020, "\x81\x40"}, {0x0030, "\x82\x4F"}, {0x0041, "\x82\x60"}, {0x005D, "\x8E\x9E"},  // 　０Ａ時
      {0x0060, "\x81\x60"}, {0x007A, "\x82\x9A"}, {0x007F, "\x82\xA0"},                      // ～ｚあ
      {0x0080, "\x82\xA2"}, {0x00A0, "\x82\xDF"}, {0x00C0, "\x83\x43"}, {0x00E0, "\x83\x81"},  // いめイメ
      {0x0100, "\x82\xDA"}, {0x0115, "\x83\x94"}, {0x0120, "\x81\x77"}, {0x012B, "\x81\x51"},  // ぼヴ『＿
      {0x0140, "\x95\xFB"}, {0x0160, "\x90\xB6"}, {0x0180, "\x95\x9C"}, {0x01A0, "\x8F\x68"},  // 方生復宿
      {0x01AF, "\x81\x45"}, {0x01C0, "\x8E\x52"}, {0x01C7, "\x81\x58"}, {0x01E0, "\x8C\x8A"},  // ・山々穴
      {0x0200, "\x8A\xE7"}, {0x020F, "\x81\xA8"}, {0x0220, "\x8D\xBB"}, {0x0240, "\x96\x58"},  // 顔→砂帽
      {0x0245, "\x81\x79"}, {0x0260, "\x95\x89"}, {0x0280, "\x94\x4D"}, {0x0290, "\x81\x6D"},  // 【負熱［
      {0x02A0, "\x8B\x99"}, {0x02C0, "\x94\xAD"}, {0x02CB, "\x81\xA9"}, {0x02E0, "\x8D\x71"},  // 漁発←航
      {0x0300, "\x93\x7C"}, {0x0313, "\x81\xAA"}, {0x0320, "\x94\xFC"}, {0x0340, "\x90\x41"},  // 倒↑美植
      {0x0360, "\x8B\x74"}, {0x0380, "\x88\xF5"}, {0x03A0, "\x8D\x72"}, {0x03C0, "\x8E\xCB"},  // 逆員荒射
      {0x03E0, "\x8B\x85"}, {0x03FB, "\x97\xD5"}, {0x03FC, "\x81\xA1"}, {0x036D, "\x90\x48"},  // 球臨■食
  };
  for (const auto& [code, bytes] : samples) EXPECT_EQ(kCharTable[code], bytes) << std::hex << code;
  EXPECT_EQ(kCharTable[0x003F], kCharTable[0x007E]);
  EXPECT_EQ(kCharTable[0x01A6], kCharTable[0x0284]);
  EXPECT_EQ(kCharTable[0x0012], "\\n");
}

}  // namespace
}  // namespace ambergale
