#include "text/text_output.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

TEST(TextOutput, PassingTheCeilingFailsAndStopsTheOutput) {
  OutputBudget budget{100};
  MemoryOutput first("first.txt", budget);
  first.line_text().append(std::string(58, 'a'));
  first.end_line();
  first.hand_on();
  EXPECT_TRUE(first.ok());
  MemoryOutput second("second.txt", budget);
  second.line_text().append(std::string(38, 'b'));
  second.end_line();  // exactly at the ceiling
  second.hand_on();
  EXPECT_TRUE(second.ok());
  EXPECT_EQ(budget.used, 100u);
  second.line_text().append("c");
  second.end_line();
  second.hand_on();
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.failure()->text(), "second.txt: the run's output passes its ceiling of 100 bytes (raise it with --max-output)");
  EXPECT_EQ(second.contents(), std::string(38, 'b') + "\r\n");
  second.line_text().append("d");
  second.end_line();
  second.hand_on();
  EXPECT_EQ(second.size(), 40u);  // nothing more after a failure
}

TEST(TextOutput, ConvertsToUtf8WithReplacementsForInvalidBytes) {
  Cp932ToUtf8 utf8;
  ASSERT_TRUE(utf8.available());
  OutputBudget budget;
  MemoryOutput out("out.txt", budget, {&utf8, true});
  const std::pair<std::string, std::string> cases[] = {
      {"\x82\xA0\x93W\x8A" "J", "\xE3\x81\x82\xE5\xB1\x95\xE9\x96\x8B"},  // あ展開
      {"\\n~", "\\n~"},
      {"\xB1", "\xEF\xBD\xB1"},            // half-width ｱ
      {"\x81", "\xEF\xBF\xBD"},            // a lead byte before the line end
      {"\x80" "A\xFF", "\xEF\xBF\xBD" "A\xEF\xBF\xBD"},  // bytes that start no character
      {"\x82\x20", "\xEF\xBF\xBD "},       // a lead byte with no valid trail
  };
  std::string expected;
  for (const auto& [sjis, utf] : cases) {
    out.line_text().append(sjis);
    out.end_line();
    expected += utf + "\r\n";
  }
  out.hand_on();
  EXPECT_EQ(out.contents(), expected);
  EXPECT_EQ(budget.used, expected.size());  // the ceiling counts the bytes written
}

TEST(TextOutput, EndsLinesWithCrLfOrLf) {
  OutputBudget budget;
  MemoryOutput crlf("a.txt", budget);
  MemoryOutput lf("b.txt", budget, {nullptr, false});
  for (MemoryOutput* out : {&crlf, &lf}) {
    out->line_text().append("\x83\x93");  // ン
    out->end_line();
    out->end_line();
    out->hand_on();
  }
  EXPECT_EQ(crlf.contents(), "\x83\x93\r\n\r\n");
  EXPECT_EQ(lf.contents(), "\x83\x93\n\n");
}

}  // namespace
}  // namespace ambergale
