#include "text/fullwidth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "text/char_table.hpp"
#include "text/shown_character.hpp"

namespace ambergale {
namespace {

TEST(Fullwidth, EachCounterpartIsTheFullWidthFormTheTableHolds) {
  // '"' and '\'' take the closing quotes; the others have none.
  const std::string_view none = "#$&;<>@\\^`{|}-";
  for (char c = ' '; c <= '~'; ++c) {
    const std::string_view counterpart = fullwidth_counterpart(c);
    if (none.find(c) != std::string_view::npos) {
      EXPECT_TRUE(counterpart.empty()) << c;
      continue;
    }
    const char32_t expected = c == ' ' ? 0x3000 : c == '"' ? 0x201D : c == '\'' ? 0x2019 : 0xFEE0 + static_cast<char32_t>(c);
    EXPECT_EQ(unicode_of(counterpart), expected) << c;
    EXPECT_NE(std::find(kCharTable.begin(), kCharTable.end(), counterpart), kCharTable.end()) << c;
  }
}

TEST(ShownCharacter, AUnitIsItsCharacterOrItsEscape) {
  const std::pair<std::uint16_t, std::string> cases[] = {
      {0x007F, "'\xE3\x81\x82' (U+3042)"},  // あ
      {0x002D, "'-' (U+002D)"},
      {0x0020, "'\xE3\x80\x80' (U+3000)"},  // the ideographic space
      {0x0010, "<1000>"},
      {0x0012, "<1200>"},  // "\n" tells neither line break apart
      {0x0017, "<1700>"},
      {0x0FF9, "<F90F>"},
  };
  for (const auto& [unit, shown] : cases) EXPECT_EQ(shown_unit(unit), shown) << unit;
}

TEST(ShownCharacter, UnconvertedUtf8IsACharacterOrNoUtf8) {
  const std::tuple<std::string_view, std::size_t, std::string> cases[] = {
      {"a\xF0\x9F\x98\x80", 1, "starts '\xF0\x9F\x98\x80' (U+1F600), which Shift-JIS does not have"},  // 😀
      {"\xC3\xA9", 0, "starts '\xC3\xA9' (U+00E9), which Shift-JIS does not have"},                      // é
      {"\xFF", 0, "is not UTF-8"},
      {"\xC0\x80", 0, "is not UTF-8"},      // an overlong NUL
      {"\xED\xA0\x80", 0, "is not UTF-8"},  // a surrogate
      {"\xE2\x99", 0, "is not UTF-8"},      // cut short
      {"\xF4\x90\x80\x80", 0, "is not UTF-8"},  // past U+10FFFF
  };
  for (const auto& [text, at, why] : cases) EXPECT_EQ(not_converted(text, at), why) << text;
}

}  // namespace
}  // namespace ambergale
