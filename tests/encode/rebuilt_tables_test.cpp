#include "encode/rebuilt_tables.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "encode/limited_tree.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"

namespace ambergale {
namespace {

using encode::RebuildScope;
using encode::Units;

std::uint16_t unit_of(std::string_view character) {
  const auto found = std::find(kCharTable.begin(), kCharTable.end(), character);
  return static_cast<std::uint16_t>(found - kCharTable.begin());
}

const std::uint16_t kSpace = unit_of("\x81\x40");       // 　
const std::uint16_t kPeriod = unit_of("\x81\x44");      // ．
const std::uint16_t kCapitalA = unit_of("\x82\x60");    // Ａ
const std::uint16_t kSmallA = unit_of("\x82\x81");      // ａ
constexpr std::uint16_t kWait = 0x0016;                 // a control of one argument
constexpr std::uint16_t kThreeArguments = 0x0013;

// English-like text of full-width letters: a vocabulary of random words
// drawn with Zipf-like frequencies, sentences closed by a period, a control
// with its arguments and a line break here and there.
std::vector<Units> english_like(std::uint32_t seed, int texts) {
  std::mt19937 random(seed);
  std::vector<Units> vocabulary(400);
  for (Units& word : vocabulary) {
    const std::size_t letters = 1 + random() % 8;
    for (std::size_t i = 0; i < letters; ++i) word.push_back(static_cast<std::uint16_t>(kSmallA + random() % 26));
  }
  std::vector<Units> result;
  for (int t = 0; t < texts; ++t) {
    Units text{static_cast<std::uint16_t>(kCapitalA + random() % 26)};
    const int words = 4 + static_cast<int>(random() % 30);
    for (int w = 0; w < words; ++w) {
      const std::size_t rank = (random() % 400) * (random() % 400) / 400;  // small ranks far more often
      text.insert(text.end(), vocabulary[rank].begin(), vocabulary[rank].end());
      if (random() % 9 == 0) text.insert(text.end(), {kPeriod, kLineBreak});
      else if (random() % 23 == 0) text.insert(text.end(), {kWait, static_cast<std::uint16_t>(0x30 + w)});
      else if (random() % 31 == 0) text.insert(text.end(), {kThreeArguments, 0x0021, 0x0200, 0x00FF});
      else text.push_back(kSpace);
    }
    text.push_back(kPeriod);
    result.push_back(text);
  }
  return result;
}

// Text trees of an image that writes capitals, spaces, periods, controls,
// their arguments and every dictionary code, but no small letter.
TreePair capitals_only_trees(std::span<const Units> texts) {
  Units known{kSpace, kPeriod, kLineBreak, kWait, kThreeArguments, 0x0021, 0x0200, 0x00FF, kEndCode};
  for (std::uint16_t u = 0; u < 26; ++u) known.push_back(static_cast<std::uint16_t>(kCapitalA + u));
  for (const Units& text : texts) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if (text[i] == kWait) known.push_back(text[i + 1]);
    }
  }
  for (int code = kRenderedEntryCodes.first; code <= kRenderedEntryCodes.last; ++code) {
    known.push_back(static_cast<std::uint16_t>(code));
  }
  const std::vector<Units> messages{known};
  return encode::build_text_coder(messages).trees();
}

constexpr encode::TreeDepths kDepths{16, 12, 16, 12};
constexpr std::size_t kRoom = 0x4000;

// `parse` as the game shows it: entries opened, end units dropped.
Units shown(std::span<const std::uint16_t> parse, const Dictionary& dictionary) {
  Units units;
  for (std::size_t i = 0; i < parse.size(); ++i) {
    if (kRenderedEntryCodes.holds(parse[i])) {
      for (const std::uint16_t unit : code_units(dictionary.codes[parse[i] - kFirstEntryCode])) {
        if (unit != kEndCode) units.push_back(unit);
      }
      continue;
    }
    units.push_back(parse[i]);
    for (int a = 0; a < argument_units(parse[i]); ++a) units.push_back(parse[++i]);
  }
  return units;
}

// Every text written with the new tables, decoded with their trees, and
// opened through their dictionary, is the text again.
void expect_texts_come_back(std::span<const Units> texts, const encode::RebuiltTables& tables) {
  Dictionary dictionary;
  const encode::MessageCoder coder = encode::writing_coder(tables, dictionary);
  for (std::size_t t = 0; t < texts.size(); ++t) {
    encode::EncodedMessage message;
    std::size_t unencodable = 0;
    ASSERT_TRUE(encode::encode_message(coder, texts[t], message, unencodable)) << t << " at " << unencodable;
    CodeBuffer out;
    const TextDecode decoded = decode_text(tables.text_trees, message.bytes,
                                           static_cast<std::int32_t>(message.bytes.size()) + 2, out);
    const Units units = code_units(std::span(out).first(static_cast<std::size_t>(decoded.written)));
    ASSERT_TRUE(ends_with_end_code(units)) << t;
    EXPECT_EQ(shown(std::span(units).first(units.size() - 1), dictionary), texts[t]) << t;
  }
}

// The game's expansion of every entry stays in its slot and leaves no
// reference behind, which a cycle would.
void expect_entries_expand_within_slot(const encode::RebuiltTables& tables) {
  ASSERT_EQ(tables.entries.size(), static_cast<std::size_t>(kDictionaryEntries));
  Dictionary dictionary;
  build_dictionary_from(tables.entries, dictionary);
  for (std::size_t e = 0; e < dictionary.codes.size(); ++e) {
    const Units units = code_units(dictionary.codes[e]);
    EXPECT_LE(units.size(), kEntrySlotUnits) << e;
    EXPECT_TRUE(std::none_of(units.begin(), units.end(), [](std::uint16_t u) { return kExpandedReferences.holds(u); }))
        << e;
  }
}

void expect_trees_fit(const encode::RebuiltTables& tables, RebuildScope scope) {
  const int rooms[] = {cartridge_map::kTextLeadTreeRoom, cartridge_map::kLowTreeRoom,
                       cartridge_map::kDictLeadTreeRoom, cartridge_map::kLowTreeRoom};
  for (int i = scope == RebuildScope::trees ? 0 : 2; i < 4; ++i) {
    EXPECT_LE(tables.tree_bytes[i].size(), static_cast<std::size_t>(rooms[i])) << i;
    EXPECT_FALSE(tables.tree_bytes[i].empty()) << i;
  }
  if (scope == RebuildScope::trees) {
    EXPECT_LE(tables.built_depths.text_lead, kDepths.text_lead);
    EXPECT_LE(tables.built_depths.text_low, kDepths.text_low);
  }
  EXPECT_LE(tables.built_depths.dict_lead, kDepths.dict_lead);
  EXPECT_LE(tables.built_depths.dict_low, kDepths.dict_low);
}

TEST(RebuiltTables, EveryTextComesBackAndEveryTableFitsInBothScopes) {
  const std::vector<Units> texts = english_like(27, 300);
  const TreePair kept = capitals_only_trees(texts);
  for (const RebuildScope scope : {RebuildScope::dictionary, RebuildScope::trees}) {
    SCOPED_TRACE(scope == RebuildScope::trees ? "trees" : "dictionary");
    const encode::RebuiltTables tables = encode::rebuild_tables(texts, {kept, kDepths, kRoom}, scope);
    ASSERT_EQ(tables.refusal, "");
    expect_texts_come_back(texts, tables);
    expect_entries_expand_within_slot(tables);
    expect_trees_fit(tables, scope);
    EXPECT_GT(tables.entries_chosen, 100u);
    EXPECT_GE(tables.nesting, 2);
    ASSERT_EQ(tables.entry_starts.size(), tables.entries.size());
    EXPECT_LE(tables.entry_bytes.size(), kRoom);
    Dictionary dictionary;
    const encode::WrittenBits written = encode::written_bits(texts, encode::writing_coder(tables, dictionary));
    EXPECT_GT(written.per_character(), 1.0);
    EXPECT_LT(written.per_character(), 6.0);
  }
}

TEST(RebuiltTables, TheMostUsedEntriesTakeTheCheapestCodes) {
  const std::vector<Units> texts = english_like(13, 300);
  const TreePair kept = capitals_only_trees(texts);
  for (const RebuildScope scope : {RebuildScope::dictionary, RebuildScope::trees}) {
    SCOPED_TRACE(scope == RebuildScope::trees ? "trees" : "dictionary");
    const encode::RebuiltTables tables = encode::rebuild_tables(texts, {kept, kDepths, kRoom}, scope);
    ASSERT_EQ(tables.refusal, "");
    Dictionary dictionary;
    const encode::MessageCoder coder = encode::writing_coder(tables, dictionary);
    std::vector<std::size_t> uses(0x1000, 0);
    for (const Units& text : texts) {
      encode::EncodedMessage message;
      std::size_t unencodable = 0;
      ASSERT_TRUE(encode::encode_message(coder, text, message, unencodable));
      for (std::size_t i = 0; i < message.units.size(); i += 1 + static_cast<std::size_t>(argument_units(message.units[i]))) {
        if (kRenderedEntryCodes.holds(message.units[i])) ++uses[message.units[i]];
      }
    }
    const auto most_used = static_cast<std::uint16_t>(std::max_element(uses.begin(), uses.end()) - uses.begin());
    if (scope == RebuildScope::trees) {
      EXPECT_EQ(most_used, kFirstEntryCode);
    }
    for (std::uint16_t code = kFirstEntryCode; code <= kRenderedEntryCodes.last; ++code) {
      if (uses[code] > 0) {
        EXPECT_LE(encode::unit_bits(coder, most_used), encode::unit_bits(coder, code)) << std::hex << code;
      }
    }
  }
}

// An alias is an entry holding one character alone: none unless asked for,
// and only for characters the texts hold and the text trees write (a
// carried one has its entry already); the texts still come back.
TEST(RebuiltTables, GiveAliasesOnlyToTheCharactersAskedFor) {
  const std::vector<Units> texts = english_like(31, 200);
  const TreePair kept = capitals_only_trees(texts);
  const std::uint16_t never_written = unit_of("\x82\x4f");  // ０
  const struct {
    std::vector<std::uint16_t> wanted;
    std::size_t aliases;
  } cases[] = {{{}, 0}, {{kSpace, kCapitalA}, 2}, {{kCapitalA, never_written}, 1}};
  for (const RebuildScope scope : {RebuildScope::dictionary, RebuildScope::trees}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << (scope == RebuildScope::trees ? "trees " : "dictionary ") << c.wanted.size());
      const encode::RebuiltTables tables = encode::rebuild_tables(texts, {kept, kDepths, kRoom, c.wanted}, scope);
      ASSERT_EQ(tables.refusal, "");
      EXPECT_EQ(tables.aliases, c.aliases);
      Dictionary dictionary;
      build_dictionary_from(tables.entries, dictionary);
      for (const std::uint16_t character : c.wanted) {
        const bool alone = std::any_of(dictionary.codes.begin(), dictionary.codes.end(), [&](const auto& codes) {
          const Units units = code_units(codes);
          return units.size() == 2 && units[0] == character && units[1] == kEndCode;
        });
        EXPECT_EQ(alone, character != never_written) << character;
      }
      expect_texts_come_back(texts, tables);
    }
  }
}

TEST(RebuiltTables, CarriesTheLettersTheKeptTreesCannotWrite) {
  const std::vector<Units> texts = english_like(5, 200);
  const encode::RebuiltTables tables =
      encode::rebuild_tables(texts, {capitals_only_trees(texts), kDepths, kRoom}, RebuildScope::dictionary);
  ASSERT_EQ(tables.refusal, "");
  EXPECT_GT(tables.carriers, 0u);
  EXPECT_LE(tables.carriers, 26u);
  EXPECT_TRUE(std::equal(tables.text_trees.lead.begin(), tables.text_trees.lead.end(),
                         capitals_only_trees(texts).lead.begin()));
  EXPECT_TRUE(tables.tree_bytes[0].empty() && tables.tree_bytes[1].empty());
}

TEST(RebuiltTables, RebuiltTreesCarryTheRarestCharactersWhenPageZeroOverflowsTheLeadTree) {
  std::vector<Units> texts = english_like(8, 200);
  // Every page-0 character once, and as a control's argument every unit
  // below them and every page prefix: 256 lead symbols.
  Units rare;
  for (std::uint16_t unit = 0x0020; unit <= 0x00FF; ++unit) rare.insert(rare.end(), {unit, kSpace});
  for (std::uint16_t unit = 0x0010; unit < 0x0020; ++unit) rare.insert(rare.end(), {kWait, unit});
  for (std::uint16_t page = 1; page <= 15; ++page) rare.insert(rare.end(), {kWait, static_cast<std::uint16_t>(page << 8)});
  texts.push_back(rare);
  const TreePair none{};
  const encode::RebuiltTables tables = encode::rebuild_tables(texts, {none, kDepths, kRoom}, RebuildScope::trees);
  ASSERT_EQ(tables.refusal, "");
  EXPECT_GT(tables.carriers, 0u);
  expect_texts_come_back(texts, tables);
  expect_trees_fit(tables, RebuildScope::trees);
}

TEST(RebuiltTables, RefusesWithTheCountsWhenWhatCannotTravelOverflowsTheLeadTree) {
  std::vector<Units> texts = english_like(9, 50);
  Units arguments;
  for (std::uint16_t unit = 0x0010; unit <= 0x00FF; ++unit) arguments.insert(arguments.end(), {kWait, unit});
  for (std::uint16_t page = 1; page <= 15; ++page) arguments.insert(arguments.end(), {kWait, static_cast<std::uint16_t>(page << 8)});
  texts.push_back(arguments);
  const TreePair none{};
  const encode::RebuiltTables tables = encode::rebuild_tables(texts, {none, kDepths, kRoom}, RebuildScope::trees);
  EXPECT_NE(tables.refusal.find("at most 248 symbols"), std::string::npos) << tables.refusal;
  EXPECT_NE(tables.refusal.find("cannot travel"), std::string::npos) << tables.refusal;
}

TEST(RebuiltTables, RefusesEntriesThatOverflowTheirRoom) {
  const std::vector<Units> texts = english_like(3, 100);
  const TreePair kept = capitals_only_trees(texts);
  const encode::RebuiltTables tables = encode::rebuild_tables(texts, {kept, kDepths, 100}, RebuildScope::dictionary);
  EXPECT_NE(tables.refusal.find("room for 100"), std::string::npos) << tables.refusal;
}

TEST(RebuiltTables, AreTheSameEveryRun) {
  const std::vector<Units> texts = english_like(11, 150);
  const TreePair kept = capitals_only_trees(texts);
  for (const RebuildScope scope : {RebuildScope::dictionary, RebuildScope::trees}) {
    const encode::RebuiltTables first = encode::rebuild_tables(texts, {kept, kDepths, kRoom}, scope);
    const encode::RebuiltTables second = encode::rebuild_tables(texts, {kept, kDepths, kRoom}, scope);
    EXPECT_EQ(first.tree_bytes, second.tree_bytes);
    EXPECT_EQ(first.entry_bytes, second.entry_bytes);
    EXPECT_EQ(first.entries, second.entries);
  }
}

}  // namespace
}  // namespace ambergale
