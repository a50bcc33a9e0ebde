#include "text/dictionary.hpp"

#include <gtest/gtest.h>

#include <chrono>

#include "support/code_units.hpp"
#include "text/render.hpp"

namespace ambergale {
namespace {

CodeStream units(std::initializer_list<std::uint16_t> values) { return testing_support::code_bytes(values); }

std::string text_of(const CodeStream& entry) { return testing_support::render_text(entry); }

TEST(ExpandDictionary, WorkedExample) {
  std::vector<CodeStream> codes = {units({0x0021, 0xFFFF}), units({0x0410, 0x039C, 0xFFFF}),
                                   units({0x0411, 0x0410, 0xFFFF})};
  expand_dictionary(codes);
  EXPECT_EQ(codes[0], units({0x0021, 0xFFFF}));
  EXPECT_EQ(codes[1], units({0x0021, 0xFFFF, 0x039C, 0xFFFF}));
  EXPECT_EQ(codes[2], units({0x0021, 0xFFFF, 0x039C, 0xFFFF, 0x0021, 0xFFFF, 0xFFFF}));
  EXPECT_EQ(text_of(codes[2]), "\x81\x49\x97\xE1\x81\x49");  // ！例！
}

TEST(ExpandDictionary, CopiesEntriesInTheirStateAtThatMoment) {
  // Entry 0 refers to the later entry 1, which is expanded only afterwards:
  // the first pass copies 1 unexpanded, and a later pass finishes the job.
  std::vector<CodeStream> codes = {units({0x0411, 0xFFFF}), units({0x0412, 0x0080, 0xFFFF}), units({0x0081, 0xFFFF})};
  expand_dictionary(codes);
  EXPECT_EQ(codes[0], units({0x0081, 0xFFFF, 0x0080, 0xFFFF, 0xFFFF}));
  EXPECT_EQ(codes[1], units({0x0081, 0xFFFF, 0x0080, 0xFFFF}));
}

TEST(ExpandDictionary, ReplacesReferencesEverywhereAndDropsEmptyTargets) {
  std::vector<CodeStream> codes(3049, units({0xFFFF}));
  codes[0] = units({0x0FF9, 0x0080, 0x0FFF, 0xFFFF});  // entries 3049.. are empty: the units vanish
  codes[1] = units({0x0013, 0x0500, 0xFFFF});          // a control argument is replaced too
  codes[240] = units({0x0081, 0x0082, 0x0083, 0xFFFF});
  expand_dictionary(codes);
  EXPECT_EQ(codes[0], units({0x0080, 0xFFFF}));
  EXPECT_EQ(text_of(codes[1]), "1300810082008300");
}

TEST(ExpandDictionary, LeavesCyclesInPlace) {
  std::vector<CodeStream> codes = {
      units({0x0410}),                       // nothing but a reference to itself
      units({0x0080, 0x0412, 0x0081, 0xFFFF}),  // 1 -> 2 -> 1
      units({0x0082, 0x0411, 0xFFFF}),
      units({0x0411, 0x0414, 0xFFFF}),       // leads into the cycle; 4 is fine
      units({0x0083, 0xFFFF}),
  };
  expand_dictionary(codes);
  EXPECT_EQ(codes[0], units({0x0410}));
  EXPECT_EQ(codes[1], units({0x0080, 0x0412, 0x0081, 0xFFFF}));
  EXPECT_EQ(codes[3], units({0x0411, 0x0083, 0xFFFF, 0xFFFF}));
  EXPECT_EQ(text_of(codes[0]), "1004");
}

TEST(ExpandDictionary, NeverGrowsAnEntryPast3840Bytes) {
  // Each entry doubles the one before it: 2^12 units is past the cap.
  std::vector<CodeStream> codes = {units({0x0080, 0xFFFF})};
  for (int e = 1; e < 13; ++e) {
    const auto before = static_cast<std::uint16_t>(0x0410 + e - 1);
    codes.push_back(units({before, before}));
  }
  expand_dictionary(codes);
  for (const CodeStream& entry : codes) EXPECT_LE(entry.size(), 3840u);
  EXPECT_EQ(codes[10].size(), 2048u + 2);  // one copy of entry 9, one reference left
  // Entry 12 takes one copy of entry 11 (2052 bytes) but not the second.
  EXPECT_EQ(codes[12].size(), 2052u + 2);
}

TEST(ExpandDictionary, FullTablesOfReferencesFinishQuickly) {
  // Every entry full of references: to the empty entry past the table (one
  // vanishing per pass), or to the entry before it (copies the cap stops).
  const auto fill = [](int unit) {
    CodeStream entry;
    for (int j = 0; j < 1920; ++j) entry.insert(entry.end(), {static_cast<std::uint8_t>(unit & 0xFF), static_cast<std::uint8_t>(unit >> 8)});
    return entry;
  };
  std::vector<CodeStream> vanishing(3049, fill(0x0FF9));
  std::vector<CodeStream> chained(3049);
  chained[0] = units({0x0080});
  for (int e = 1; e < 3049; ++e) chained[e] = fill(0x0410 + e - 1);
  const auto start = std::chrono::steady_clock::now();
  expand_dictionary(vanishing);
  expand_dictionary(chained);
  // About 0.3 s in a release build; the bound leaves room for sanitizer builds.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  for (const CodeStream& entry : vanishing) EXPECT_TRUE(entry.empty());
  EXPECT_EQ(chained[1], fill(0x0080));
  EXPECT_EQ(chained[2], fill(0x0411));  // no copy of entry 1 fits
}

}  // namespace
}  // namespace ambergale

namespace ambergale {
namespace {

TEST(NestingDepth, CountsTheDeepestChainAndEndsCyclesWhereTheyCloseUp) {
  const auto units = [](std::initializer_list<std::uint16_t> values) { return testing_support::code_bytes(values); };
  const std::vector<CodeStream> chain = {units({0x0021, 0xFFFF}), units({0x0410, 0x039C, 0xFFFF}),
                                         units({0x0411, 0x0410, 0xFFFF}), units({0x0FF9, 0xFFFF})};
  EXPECT_EQ(nesting_depth(chain), 3);
  // Entries 0 and 1 name each other; entry 2 names the cycle.
  const std::vector<CodeStream> cycle = {units({0x0411, 0xFFFF}), units({0x0410, 0xFFFF}), units({0x0410, 0xFFFF})};
  EXPECT_EQ(nesting_depth(cycle), 3);
  EXPECT_EQ(nesting_depth({}), 0);
}

}  // namespace
}  // namespace ambergale
