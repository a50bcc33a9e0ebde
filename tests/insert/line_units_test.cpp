#include "insert/line_units.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

using Units = std::vector<std::uint16_t>;

struct Read {
  Outcome failure;
  Units units;
};

// `text` read against the original message `original`, with an empty
// dictionary; `has_code` says which units the trees can write.
Read read(std::string_view text, const Units& original,
          const std::function<bool(std::uint16_t)>& has_code = [](std::uint16_t) { return true; },
          std::uint16_t newline = 0) {
  static const Dictionary dictionary;
  std::vector<TextPiece> pieces;
  Read result;
  result.failure = parse_line_text(text, HexRuns::units, pieces);
  if (result.failure) return result;
  LineUnits read;
  result.failure = line_units(pieces, {original, dictionary}, ReadingRules{has_code, newline}, read);
  EXPECT_EQ(read.columns.size(), read.units.size());
  result.units = read.units;
  return result;
}

TEST(LineUnits, KeepTheOriginalsCodesWhereTheLinesAgree) {
  // い\nう with the break 0017, and ？ as 007E.
  const Units original = {0x0080, 0x0017, 0x0081, 0x007E, 0xFFFF};
  // A break and a ？ added: the aligned ones keep their codes, the new
  // break takes the original's only break code, the new ？ its lowest code.
  const Read added = read("\x82\xA2\\n\x82\xA4\x81H\\n\x82\xA6\x81H", original);
  ASSERT_FALSE(added.failure) << added.failure->text();
  EXPECT_EQ(added.units, (Units{0x0080, 0x0017, 0x0081, 0x007E, 0x0017, 0x0082, 0x003F}));
  // The lowest code the trees can write.
  const Read writable = read("\x82\xA2\x81H\x81H", {0x0080, 0xFFFF}, [](std::uint16_t u) { return u != 0x003F; });
  ASSERT_FALSE(writable.failure);
  EXPECT_EQ(writable.units, (Units{0x0080, 0x007E, 0x007E}));
  // --newline decides new line breaks; the aligned ones keep their codes.
  const Read given = read("\\n\\n\\n", {0x0012, 0x0017, 0xFFFF}, [](std::uint16_t) { return true; }, 0x0012);
  ASSERT_FALSE(given.failure) << given.failure->text();
  EXPECT_EQ(given.units, (Units{0x0012, 0x0017, 0x0012}));
  // Hex runs the original holds, names and escapes come through as written.
  const Read kept = read("F90F(\x83" "e\x83" "B\x83})<1200>", {0x0FF9, 0xFFFF});
  ASSERT_FALSE(kept.failure) << kept.failure->text();
  EXPECT_EQ(kept.units, (Units{0x0FF9, 0x0019, 0x0085, 0x0012}));
}

TEST(LineUnits, RefuseWhatTheOriginalDoesNotDecide) {
  const std::pair<std::pair<std::string_view, Units>, std::string> cases[] = {
      {{"\\n\\n\\n", {0x0012, 0x0017, 0xFFFF}},
       "5: \\n may be 0012 or 0017 and the original line does not decide: write <1200> or <1700>, or give --newline"},
      {{"\\n", {0x0080, 0xFFFF}}, "1: \\n may be 0012 or 0017 and the original line does not decide: write <1200> or <1700>, or give --newline"},
      {{"\x81\xA1", {0xFFFF}},  // ■
       "1: '\xE2\x96\xA0' (U+25A0) has four codes and the original line does not decide: write it as <FC03>, <FD03>, <FE03> "
       "or <FF03>"},  // ■ in UTF-8
      {{"F90F0504", {0x0FF9, 0xFFFF}}, "5: a hex run that the original line does not hold: write new units as <LLHH>"},
      {{"\x82\xA0<FFFF>", {0xFFFF}}, "2: <FFFF> would end the message there"},
  };
  for (const auto& [input, message] : cases) {
    const Read r = read(input.first, input.second);
    ASSERT_TRUE(r.failure) << message;
    EXPECT_EQ(std::to_string(r.failure->column) + ": " + r.failure->reason, message);
  }
}

}  // namespace
}  // namespace ambergale
