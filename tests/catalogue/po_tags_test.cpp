// The tags a translation keeps: its msgid's controls as a multiset (in
// order with strict_order), names and line breaks free, and line breaks at
// the edges where the msgid has them.
#include "catalogue/po_tags.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

// Shift-JIS, as the catalogue's texts are read.
const std::string kYa = "\x83\x84";             // ヤ
const std::string kNaru = "\x90\xAC";           // 成
const std::string kA = "\x82\xA0";              // あ
const std::string kYes = "\x82\x78\x82\x85\x82\x93";  // Ｙｅｓ
const std::string kNo = "\x82\x6D\x82\x8F";     // Ｎｏ
const std::string kGardos = "(\x83K\x83\x8B\x83h\x83X)";  // (ガルドス)
const std::string kTima = "(\x83" "e\x83" "B\x83})";      // (ティマ)
const std::string kFirst = "<1300 3B02 3803 EA00>", kSecond = "<1300 E101 1902 C200>";
const std::string kKept = "keep these tags: " + kFirst + " " + kSecond;

struct Case {
  std::string source, translation;
  std::string refused;         // the reason, "" when taken
  std::string refused_strictly;  // with strict_order
};

TEST(PoTags, ControlsAreKeptAsAMultisetNamesAndLineBreaksMove) {
  const std::string yes_no = kFirst + kYa + kSecond + kNaru;
  const std::string dropped = "the translation drops the tag ";
  const std::string out_of_order =
      "the translation has the tags in another order than the msgid (--strict-tags); keep them in this order: " + kFirst + " " + kSecond;
  const Case cases[] = {
      {yes_no, kYes + "\x81\x40" + kNo, dropped + kFirst + " of the msgid; " + kKept, ""},
      {yes_no, kFirst + kYes + kSecond + kNo + "<1600 8100>",
       "the translation adds the tag <1600 8100>, which the msgid does not have; " + kKept, ""},
      {kA, kA + "<1B00 2000>", "the translation adds the tag <1B00 2000>, which the msgid does not have; the msgid has no tags to keep", ""},
      {yes_no, kSecond + kNo + kFirst + kYes, "", out_of_order},
      {yes_no, kFirst + kYes + kSecond + kNo, "", ""},
      // A control is its units, however the tags split them.
      {yes_no, "<1300><3B02 3803 EA00>" + kYes + "<1300 E101><1902><C200>" + kNo, "", ""},
      {yes_no, "<1300 3B02><3803 EA00>" + kYes + kSecond + kNo, "", ""},
      // A control held twice is kept twice.
      {"<1800 A000>" + kA + "<1800 A000>", "<1800 A000>" + kA,
       dropped + "<1800 A000> (the msgid has it twice, the translation once); keep these tags: <1800 A000> <1800 A000>", ""},
      {kA + "<1800 A000>", "<1800 A000>" + kA + "<1800 A000>",
       "the translation adds the tag <1800 A000> (the msgid has it once, the translation twice); keep these tags: <1800 A000>", ""},
      // Names move, come and go; a 0019 that shows no name is a control.
      {kGardos + kA + "<1800 A000>", "<1800 A000>" + kTima + kA + kGardos + kGardos, "", ""},
      {kA + "<1900 9001>", kA, dropped + "<1900 9001> of the msgid; keep these tags: <1900 9001>", ""},
      {kA, "<1900 8500>" + kA, "", ""},
      // Line breaks inside move, come and go, 0017 among them.
      {kA + "\n" + kA + "<1700>" + kA, kA + kA + kA, "", ""},
      {kA + kA, kA + "\n" + kA + "<1700>" + kA + "<1200>", "", ""},
      // Units without a character that are no control need not be kept; one
      // of no known use below the characters is kept.
      {kA + "<0404><F90F>", kA, "", ""},
      {kA + "<1100>", kA, dropped + "<1100> of the msgid; keep these tags: <1100>", ""},
      // A control cut short keeps its place at the end, where it takes no
      // character as an argument.
      {kA + "<1300 2902>", "<1300 2902>" + kA, dropped + "<1300 2902> of the msgid; keep these tags: <1300 2902>", ""},
      // Line breaks at the edges are msgfmt --check's.
      {kA + "\n", kA, "the msgid ends with a line break and the translation does not", ""},
      {kA, kA + "\n", "the translation ends with a line break and the msgid does not", ""},
      {"\n" + kA, kA, "the msgid begins with a line break and the translation does not", ""},
      {kA, "\n" + kA, "the translation begins with a line break and the msgid does not", ""},
      {"\n" + kA + "\n", "\n" + kA + "\n" + kA + "\n", "", ""},
      {kA + "\n", kA + "<1200>", "the msgid ends with a line break and the translation does not", ""},
  };
  for (const Case& c : cases) {
    for (const bool strict : {false, true}) {
      const std::string expected = !c.refused.empty() || !strict ? c.refused : c.refused_strictly;
      const Outcome refused = check_tags(c.source, c.translation, strict);
      EXPECT_EQ(refused ? refused->reason : "", expected) << c.translation << (strict ? " (strict)" : "");
    }
  }
}

}  // namespace
}  // namespace ambergale
