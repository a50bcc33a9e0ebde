#include "insert/edit_set.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

TEST(SplitLines, TakesCrLfOrLfAndALastLineWithout) {
  using Lines = std::vector<std::string_view>;
  EXPECT_EQ(split_lines(""), Lines{});
  EXPECT_EQ(split_lines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(split_lines("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(split_lines("a\rb\r"), (Lines{"a\rb\r"}));  // a CR alone is no line end
}

TEST(LineIdentifier, NamesEachDumpsLines) {
  EXPECT_EQ(line_identifier("wordlist.txt", "0012:\x83\x41:x"), "0012:");
  EXPECT_EQ(line_identifier("wordlist.txt", "00100:text"), "00100:");  // entries past 0xFF
  EXPECT_EQ(line_identifier("wordlist2.txt", "[FB:8000]text:]"), "[FB:8000]");
  EXPECT_EQ(line_identifier("sublist.txt", "0410:"), "0410:");
  EXPECT_EQ(line_identifier("messcript.txt", "0000 01 end"), "");
}

TEST(MatchDump, CollectsOnlyChangedLines) {
  std::vector<ChangedLine> changed;
  ASSERT_FALSE(match_dump("wordlist.txt", "0000:a\r\n0001:b\r\n0002:c\r\n", "0000:a\n0001:B\n0002:c", changed));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].number, 2u);
  EXPECT_EQ(changed[0].original, "0001:b");
  EXPECT_EQ(changed[0].edited, "0001:B");
}

TEST(MatchDump, RefusesWhatIsNoEditOfTheDump) {
  const std::string original = "0410:a\r\n0411:b\r\n0412:c\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {"0410:a\n0412:c\n",
       "sublist.txt: 2 lines, the dump of the image has 3; lines may be changed, not added or removed "
       "(first out of place: line 2, 0412: where 0411: was expected)"},
      {"0410:a\n0411:b\n0412:c\nextra\n", "sublist.txt: 4 lines, the dump of the image has 3; lines may be changed, not added or removed"},
      {"0410:a\n0413:b\n0412:c\n",
       "sublist.txt:2: the line starts 0413:, the dump has 0411: here; what names the line cannot change"},
      {std::string("0410:a\n0411:b\0\n0412:c\n", 21), "sublist.txt:2:7: a NUL byte"},
  };
  // Lines without identifiers are compared whole.
  std::vector<ChangedLine> unused;
  const Outcome listing = match_dump("messcript.txt", "a\r\nb\r\nc\r\n", "a\nc\n", unused);
  ASSERT_TRUE(listing);
  EXPECT_EQ(listing->text(), "messcript.txt: 2 lines, the dump of the image has 3; lines may be changed, not added or removed "
                             "(first out of place: line 2, c where b was expected)");
  for (const auto& [edited, message] : cases) {
    std::vector<ChangedLine> changed;
    const Outcome refused = match_dump("sublist.txt", original, edited, changed);
    ASSERT_TRUE(refused) << edited;
    EXPECT_EQ(refused->text(), message);
  }
}

}  // namespace
}  // namespace ambergale
