#include "encode/dictionary_choice.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

#include "text/code_units.hpp"
#include "text/dictionary.hpp"

namespace ambergale {
namespace {

using encode::Units;

// Units 0x0041.. are the full-width letters Ａ..; a space is 0x0020.
Units letters(std::string_view text) {
  Units units;
  for (const char c : text) units.push_back(c == ' ' ? 0x0020 : static_cast<std::uint16_t>(c));
  return units;
}

// Texts that repeat a few words, with a control (0016, whose argument 0x0041
// is a letter's value) and a line break between them.
std::vector<Units> repetitive_texts() {
  std::vector<Units> texts;
  const std::string_view words[] = {"THE KING ", "OF THE NORTH ", "SAID ", "THE WIND ", "KINGDOM OF STONE "};
  for (int t = 0; t < 60; ++t) {
    Units text;
    for (int w = 0; w < 6; ++w) {
      const Units word = letters(words[(t * 7 + w * 3) % 5]);
      text.insert(text.end(), word.begin(), word.end());
      if (w == 2) text.insert(text.end(), {0x0016, 0x0041, kLineBreak});
    }
    texts.push_back(text);
  }
  return texts;
}

// The parse with every entry replaced by the units it expands to.
Units opened(const encode::ChosenDictionary& dictionary, const Units& parse) {
  Units units;
  for (const std::uint16_t unit : parse) {
    if (unit == kEndCode) continue;
    if (unit < kFirstEntryCode) {
      units.push_back(unit);
      continue;
    }
    const Units& entry = dictionary.expanded[static_cast<std::size_t>(unit - kFirstEntryCode)];
    units.insert(units.end(), entry.begin(), entry.end());
  }
  return units;
}

// The entries as the image would store them, each with its end code.
std::vector<CodeStream> stored(const encode::ChosenDictionary& dictionary) {
  std::vector<CodeStream> codes;
  for (const auto& halves : dictionary.halves) {
    CodeStream stream;
    for (const std::uint16_t unit : {halves[0], halves[1], kEndCode}) {
      stream.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      stream.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    codes.push_back(stream);
  }
  return codes;
}

TEST(DictionaryChoice, EntriesHoldOnlyTravellingUnitsAndEveryTextDecodesBack) {
  const std::vector<Units> texts = repetitive_texts();
  const encode::ChosenDictionary dictionary = encode::choose_dictionary(texts);
  ASSERT_FALSE(dictionary.halves.empty());
  for (const Units& entry : dictionary.expanded) {
    for (const std::uint16_t unit : entry) EXPECT_TRUE(encode::clean_unit(unit)) << std::hex << unit;
  }
  const encode::TextCost cost = encode::measure_texts(texts, dictionary);
  for (std::size_t t = 0; t < texts.size(); ++t) {
    EXPECT_EQ(opened(dictionary, cost.parses[t]), texts[t]) << t;
    // The control's argument is written as itself, right after its control.
    const auto control = std::find(cost.parses[t].begin(), cost.parses[t].end(), 0x0016);
    ASSERT_NE(control, cost.parses[t].end());
    EXPECT_EQ(control[1], 0x0041);
  }
}

TEST(DictionaryChoice, AnArgumentNeverTravelsEvenWhenOnlyArgumentsRepeat) {
  const std::vector<Units> texts(20, Units{0x0016, 0x0041, 0x0042, 0x0018, 0x0043, 0x0044});
  const encode::ChosenDictionary dictionary = encode::choose_dictionary(texts);
  for (const Units& entry : dictionary.expanded) EXPECT_NE(entry.front(), 0x0041);
  EXPECT_EQ(encode::travelling_units(texts[0]), (std::vector<bool>{false, false, true, false, false, true}));
}

TEST(DictionaryChoice, EntriesFitTheGamesSlotAndExpandThereAsChosen) {
  // One long run of a repeated pair nests as deep as the slot allows.
  Units text;
  for (int i = 0; i < 2000; ++i) text.insert(text.end(), {0x0041, 0x0042});
  const std::vector<Units> texts{text, letters("ABABAB CAB")};
  const encode::ChosenDictionary dictionary = encode::choose_dictionary(texts);
  std::vector<CodeStream> codes = stored(dictionary);
  expand_dictionary(codes);
  std::size_t longest = 0;
  for (std::size_t e = 0; e < codes.size(); ++e) {
    const std::vector<std::uint16_t> units = code_units(codes[e]);
    EXPECT_LE(units.size(), kEntrySlotUnits) << e;
    EXPECT_EQ(units.size(), dictionary.slot_units[e]) << e;
    Units characters;
    for (const std::uint16_t unit : units) {
      EXPECT_FALSE(kExpandedReferences.holds(unit)) << "entry " << e << " kept a reference: a cycle or an overflow";
      if (unit != kEndCode) characters.push_back(unit);
    }
    EXPECT_EQ(characters, dictionary.expanded[e]) << e;
    for (const std::uint16_t half : dictionary.halves[e]) {
      if (half >= kFirstEntryCode) {
        EXPECT_LT(half - kFirstEntryCode, static_cast<int>(e)) << "entries nest only earlier ones";
      }
    }
    longest = std::max(longest, units.size());
  }
  EXPECT_GT(longest, kEntrySlotUnits / 2);
}

TEST(DictionaryChoice, StopsAtTheEntriesAllowed) {
  const encode::ChosenDictionary dictionary = encode::choose_dictionary(repetitive_texts(), {5, kEntrySlotUnits});
  EXPECT_EQ(dictionary.halves.size(), 5u);
}

TEST(DictionaryChoice, RepetitiveTextCostsFarLessThanUnitByUnit) {
  const std::vector<Units> texts = repetitive_texts();
  const encode::TextCost plain = encode::measure_texts(texts, encode::choose_dictionary(texts, {0, kEntrySlotUnits}));
  const encode::TextCost chosen = encode::measure_texts(texts, encode::choose_dictionary(texts));
  EXPECT_EQ(plain.characters, chosen.characters);
  EXPECT_GT(plain.bits_per_character(), 3.0);
  EXPECT_LT(chosen.bits_per_character(), plain.bits_per_character() / 3);
}

TEST(DictionaryChoice, IsDeterministic) {
  const std::vector<Units> texts = repetitive_texts();
  const encode::ChosenDictionary a = encode::choose_dictionary(texts), b = encode::choose_dictionary(texts);
  EXPECT_EQ(a.halves, b.halves);
  EXPECT_EQ(encode::measure_texts(texts, a).parses, encode::measure_texts(texts, b).parses);
}

TEST(DictionaryChoice, CharactersLeaveOutControlsArgumentsAndLineBreaks) {
  EXPECT_EQ(encode::characters_of(Units{0x0041, 0x0016, 0x0042, kLineBreak, 0x0020, 0x0013, 1, 2, 3}), 2u);
}

}  // namespace
}  // namespace ambergale
