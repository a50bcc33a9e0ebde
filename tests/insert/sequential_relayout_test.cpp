// The sequential block laid out again: messages change length, the block
// keeps its count and order and still reaches D07D, word-list pointers
// follow the messages they name, and every run is proven by the dump.
#include "insert/sequential_relayout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_run.hpp"
#include "dump/original_image.hpp"
#include "encode/message_encoder.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/line_text.hpp"
#include "support/stated_room.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"

namespace ambergale {
namespace {

using cartridge_map::kSequentialEnd;

std::vector<std::size_t> wide_characters(std::string_view line) { return testing_support::wide_characters(line, line.find(']') + 1); }

// A line's text after its address.
std::string_view text_of(std::string_view line) { return line.substr(line.find(']') + 1); }

// A line with `count` of its wide characters doubled (negative: deleted),
// from its first on.
std::string resized(std::string_view line, int count) {
  const std::vector<std::size_t> wide = wide_characters(line);
  std::string text(line);
  for (int k = std::abs(count) - 1; k >= 0; --k) {
    const std::size_t at = wide[static_cast<std::size_t>(k)];
    if (count > 0) text.insert(at, line.substr(at, 2));
    else text.erase(at, 2);
  }
  return text;
}

class SequentialRelayout : public testing::Test {
 protected:
  void load(int seed) {
    inputs_ = {};
    inputs_.image_file = sample::make_sample(seed).layout.image;
    inputs_.image_name = "image.smc";
    inputs_.opcode_file = sample::sample_opcode_file();
    original_ = run_in_memory(inputs_.image_file, inputs_.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(original_.failure);
    lines_ = split_lines(original_.dumps[1]);
    settings_.relayout = true;
    int end = 0;
    for (const auto& [address, message] : testing_support::word_list_map_of(inputs_.image_file).messages) {
      end = std::max(end, address + message.size);
    }
    settings_.free = {{0xFB, {end, 0x10000}}};
  }
  void SetUp() override { load(8); }

  // Inserts `edits` of wordlist2.txt; checks, when they go in, that the new
  // image's block shows the edited texts, line for line.
  Outcome insert(const std::vector<std::pair<std::size_t, std::string>>& edits, InsertResult& result) {
    inputs_.edited = {};
    inputs_.edited[1] = with_lines(original_.dumps[1], edits);
    if (Outcome failure = insert_edited_dumps(inputs_, settings_, result)) return failure;
    const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
    EXPECT_FALSE(again.failure);
    const std::vector<std::string_view> now = split_lines(again.dumps[1]);
    const std::vector<std::string_view> meant = split_lines(*inputs_.edited[1]);
    EXPECT_EQ(now.size(), meant.size());
    for (std::size_t i = 0; i < now.size() && i < meant.size(); ++i) EXPECT_EQ(text_of(now[i]), text_of(meant[i])) << i + 1;
    EXPECT_EQ(again.dumps[0], original_.dumps[0]);
    return std::nullopt;
  }

  // Lines with at least `wide` wide characters, from `from` on.
  std::size_t line_with(std::size_t wide, std::size_t from = 0) const {
    while (from < lines_.size() && wide_characters(lines_[from]).size() < wide) ++from;
    return from;
  }

  InsertInputs inputs_;
  InsertSettings settings_;
  MemoryRun original_;
  std::vector<std::string_view> lines_;
};

TEST_F(SequentialRelayout, UnchangedDumpsGiveTheImageBack) {
  inputs_.edited = {original_.dumps[0], original_.dumps[1], original_.dumps[2], original_.dumps[3]};
  InsertResult result;
  ASSERT_FALSE(insert_edited_dumps(inputs_, settings_, result));
  EXPECT_TRUE(result.image_file == inputs_.image_file);
}

TEST_F(SequentialRelayout, AGrownMessageIsPaidForByAShortenedOne) {
  const std::size_t grown = line_with(3), shortened = line_with(4, grown + 5);
  InsertResult result;
  const Outcome failure = insert({{grown + 1, resized(lines_[grown], 2)}, {shortened + 1, resized(lines_[shortened], -3)}}, result);
  ASSERT_FALSE(failure) << failure->text();
  const PlanCounts& counts = result.report.counts;
  EXPECT_EQ(counts.sequential_rewritten, 2u);
  ASSERT_FALSE(counts.sequential_moved.empty());
  EXPECT_EQ(counts.sequential_moved.front().line, grown + 2);  // the first edit keeps its address
  EXPECT_GE(counts.sequential_end_after, kSequentialEnd);
  const std::string report = report_text(result.report);
  EXPECT_NE(report.find("moved: wordlist2.txt line " + std::to_string(grown + 2)), std::string::npos) << report;
  EXPECT_NE(report.find("may be addressed from places the dump does not know"), std::string::npos) << report;
  EXPECT_EQ(report.find("unchanged lines that show an edited dictionary entry"), std::string::npos) << report;
}

TEST_F(SequentialRelayout, ABlockThatWouldEndShortIsLengthenedByLongerSpellings) {
  // Lines shortened by a third of their characters, one at a time: some
  // leave the block short of D07D, and those that go in reach it.
  std::size_t lengthened = 0, refused = 0;
  for (std::size_t i = lines_.size() - 200; i < lines_.size() && lengthened < 3; ++i) {
    const std::size_t wide = wide_characters(lines_[i]).size();
    if (wide < 9) continue;
    InsertResult result;
    const Outcome failure = insert({{i + 1, resized(lines_[i], -static_cast<int>(wide / 3))}}, result);
    if (failure) {
      // Shortened texts may spell out entries the original used.
      const bool grew = failure->text().find("messages that grew: [" + std::string(lines_[i].substr(1, 7)) + "]") != std::string::npos;
      refused += !grew;
      EXPECT_TRUE(grew || failure->text().find(" short of FB:D07D") != std::string::npos) << failure->text();
      EXPECT_TRUE(testing_support::stated_room(failure->text())) << failure->text();
      continue;
    }
    const PlanCounts& counts = result.report.counts;
    EXPECT_GE(counts.sequential_end_after, kSequentialEnd);
    const MessageMap before = testing_support::word_list_map_of(inputs_.image_file);
    const int shortest_end = before.sequential().end - (before.block[i].size - static_cast<int>(wide / 3));
    if (shortest_end < kSequentialEnd) ++lengthened;
  }
  std::cout << "lengthened: " << lengthened << ", refused: " << refused << "\n";
  EXPECT_GT(lengthened, 0u);
}

// An escape naming `unit`, as an edited line writes it.
std::string escape_of(std::uint16_t unit) {
  char text[8];
  std::snprintf(text, sizeof text, "<%02X%02X>", unit & 0xFF, unit >> 8);
  return text;
}

// A character by one of its codes `count` times, a line break of each
// kind after its first two, then `filler` `fills` times.
encode::Units run_of(std::uint16_t code, std::size_t count, std::uint16_t filler, std::size_t fills) {
  encode::Units units(count, code);
  units.insert(units.begin() + 1, kLineBreak);
  units.insert(units.begin() + 3, kOtherLineBreak);
  units.insert(units.end(), fills, filler);
  return units;
}

// Whether `literal` at its shortest ends a message short of `needed`
// bytes, no spelling of entries lengthens it, and a longer code of its
// characters brings it to exactly `needed`.
bool only_codes_lengthen(const encode::MessageCoder& coder, const encode::Units& literal, std::size_t needed) {
  encode::EncodedMessage shortest;
  std::size_t unencodable = 0;
  if (!encode::encode_message(coder, literal, shortest, unencodable) || shortest.bytes.size() >= needed) return false;
  const auto reaches = [&](encode::CharacterCodes codes, std::size_t least) {
    return encode::for_each_parse_in_window(coder, literal, least, 8 * needed, least, [](const encode::Units&) { return false; }, codes).found;
  };
  return !reaches(encode::CharacterCodes::own, shortest.bits + 1) && reaches(encode::CharacterCodes::own_or_longer, 8 * needed - 7);
}

// A character with a longer code than its own, run with both line breaks
// and a character of one code after it, that only_codes_lengthen to
// `needed` bytes; empty when there is none.
encode::Units run_only_codes_lengthen(const encode::MessageCoder& coder, std::size_t needed) {
  const auto has_longer = [&](std::uint16_t code) {
    const std::span<const std::uint16_t> others = other_codes_of(code);
    return encode::unit_bits(coder, code) > 0 && std::any_of(others.begin(), others.end(), [&](std::uint16_t other) {
             return encode::unit_bits(coder, other) > encode::unit_bits(coder, code);
           });
  };
  for (std::uint16_t code = 0; code < kCharTableSize; ++code) {
    if (!has_longer(code)) continue;
    for (std::uint16_t filler = 0x0080; filler < kCharTableSize; ++filler) {
      if (kCharTable[filler].empty() || !other_codes_of(filler).empty() || encode::unit_bits(coder, filler) == 0) continue;
      for (std::size_t fills = 0; fills < 3; ++fills) {
        for (std::size_t count = 2; count * static_cast<std::size_t>(encode::unit_bits(coder, code)) < 8 * needed; ++count) {
          if (only_codes_lengthen(coder, run_of(code, count, filler, fills), needed)) return run_of(code, count, filler, fills);
        }
      }
    }
  }
  return {};
}

TEST_F(SequentialRelayout, ABlockNoEntryCanLengthenTakesLongerCodesOfItsCharacters) {
  // The block's last message becomes a run of a character of several codes
  // (its shorter one, by escapes) with both line breaks, ending the block
  // short of D07D. No entry spells the run: only a longer code of the
  // character lengthens it, and the line breaks keep their codes.
  const encode::MessageCoder coder = encode::make_message_coder(original_.tables->text_trees, original_.tables->dictionary);
  const SequentialMessage last = testing_support::word_list_map_of(inputs_.image_file).block.back();
  const encode::Units literal = run_only_codes_lengthen(coder, static_cast<std::size_t>(kSequentialEnd - last.address));
  ASSERT_FALSE(literal.empty()) << "no run of a character of several codes ends the sample's block just short";
  std::string edited = std::string(lines_.back().substr(0, lines_.back().find(']') + 1)), shown;
  for (const std::uint16_t unit : literal) {
    edited += escape_of(unit);
    shown += kCharTable[unit];
  }
  inputs_.edited = {};
  inputs_.edited[1] = with_lines(original_.dumps[1], {{lines_.size(), edited}});
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs_, settings_, result);
  ASSERT_FALSE(failure) << failure->text();
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  EXPECT_EQ(text_of(split_lines(again.dumps[1]).back()), shown);
  const encode::Units written = testing_support::word_list_map_of(result.image_file).block.back().units;
  ASSERT_EQ(written.size(), literal.size() + 1);
  std::size_t others = 0;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    if (written[i] == literal[i]) continue;
    ++others;
    EXPECT_NE(std::find(other_codes_of(literal[i]).begin(), other_codes_of(literal[i]).end(), written[i]), other_codes_of(literal[i]).end()) << i;
  }
  EXPECT_EQ(written[1], kLineBreak);
  EXPECT_EQ(written[3], kOtherLineBreak);
  EXPECT_GT(others, 0u);
  const PlanCounts& counts = result.report.counts;
  EXPECT_EQ(counts.sequential_other_codes, others);
  EXPECT_EQ(counts.sequential_end_after, kSequentialEnd);
  const std::string report = report_text(result.report);
  EXPECT_NE(report.find(std::to_string(others) + " characters of the sequential block were written by another of their codes"), std::string::npos) << report;
}

TEST_F(SequentialRelayout, ABlockOverD07DIsRefusedWithTheBytesOver) {
  const std::size_t i = line_with(16);
  const std::string grown = resized(lines_[i], 16);
  InsertResult result;
  const Outcome failure = insert({{i + 1, grown}}, result);
  ASSERT_TRUE(failure);
  const std::string& text = failure->text();
  EXPECT_EQ(text.rfind("wordlist2.txt:" + std::to_string(i + 1) + ": the sequential block's texts share one fixed total, and it would take ", 0), 0u)
      << text;
  EXPECT_NE(text.find("messages that grew: [" + std::string(lines_[i].substr(1, 7)) + "] by "), std::string::npos) << text;
  const std::optional<testing_support::StatedRoom> room = testing_support::stated_room(text);
  ASSERT_TRUE(room) << text;
  EXPECT_TRUE(room->over) << text;
  EXPECT_LE(room->characters, 16u) << text;
}

TEST_F(SequentialRelayout, WordListPointersFollowTheMessagesTheyName) {
  // A word-list entry at a message of the block, after a grown line and
  // before a shortened one: its pointer word is rewritten.
  const MessageMap map = testing_support::word_list_map_of(inputs_.image_file);
  std::map<int, std::size_t> line_at;
  for (std::size_t s = 0; s < map.block.size(); ++s) line_at[map.block[s].address] = s;
  for (std::size_t i = 0; i < map.entries.size(); ++i) {
    const auto at = line_at.find(map.entries[i].address);
    if (at == line_at.end() || at->second < 10) continue;
    const std::size_t grown = line_with(3);
    if (grown >= at->second) continue;
    InsertResult result;
    std::size_t shortened = line_with(6, at->second + 1);
    while (shortened < lines_.size() && insert({{grown + 1, resized(lines_[grown], 1)}, {shortened + 1, resized(lines_[shortened], -4)}}, result)) {
      shortened = line_with(6, shortened + 1);
    }
    ASSERT_LT(shortened, lines_.size());
    const MessageMap after = testing_support::word_list_map_of(result.image_file);
    EXPECT_EQ(after.entries[i].address, after.block[at->second].address);
    EXPECT_NE(after.entries[i].address, map.entries[i].address);
    return;
  }
  FAIL() << "no word-list entry of the sample points at a message of the block";
}

TEST_F(SequentialRelayout, APointerIntoAMovedMessageIsRefused) {
  // The first entry's pointer word set inside a later message of the block.
  const MessageMap map = testing_support::word_list_map_of(inputs_.image_file);
  const std::size_t grown = line_with(3), target = grown + 10;
  const int inside = map.block[target].address + 2;
  const auto word = static_cast<std::size_t>(rom_offset(cartridge_map::kGroupPointers.bank, map.entries[0].word));
  inputs_.image_file[word] = static_cast<std::uint8_t>(inside & 0xFF);
  inputs_.image_file[word + 1] = static_cast<std::uint8_t>(inside >> 8);
  original_ = run_in_memory(inputs_.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(original_.failure);
  lines_ = split_lines(original_.dumps[1]);
  InsertResult result;
  const Outcome failure = insert({{grown + 1, resized(lines_[grown], 3)}}, result);
  ASSERT_TRUE(failure);
  const std::string& text = failure->text();
  EXPECT_EQ(text.rfind("wordlist2.txt:" + std::to_string(grown + 1) + ": entry " + entry_name(map.entries[0]) +
                           " (wordlist.txt line 1) points at " + address_text(0xFB, inside) + ", inside [" +
                           address_text(0xFB, map.block[target].address) + "] (wordlist2.txt line " + std::to_string(target + 1) +
                           "), which would be written again at FB:",
                       0),
            0u)
      << text;
  EXPECT_TRUE(text.ends_with(": a pointer into a message cannot follow it")) << text;
}

TEST_F(SequentialRelayout, EveryMessageAtItsShortestSpellingReadsTheSame) {
  OriginalImage original{inputs_.image_file, "image.smc", inputs_.opcode_file, Encoding::shift_jis, {}, {}, {}};
  ASSERT_FALSE(load_original(original));
  ChangeSet changes;
  for (std::size_t n = 1; n <= lines_.size(); ++n) {
    changes[1].push_back({1, n, lines_[n - 1], std::string(lines_[n - 1]), {"wordlist2.txt", n, 1, {}}});
  }
  InsertResult result;
  ASSERT_FALSE(run_insert(original, changes, settings_, result));
  ASSERT_TRUE(result.refusals.empty()) << result.refusals.front().failure.text();
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  const std::vector<std::string_view> now = split_lines(again.dumps[1]);
  ASSERT_EQ(now.size(), lines_.size());
  for (std::size_t i = 0; i < now.size(); ++i) EXPECT_EQ(text_of(now[i]), text_of(lines_[i])) << i + 1;
  EXPECT_EQ(again.dumps[0], original_.dumps[0]);
  const PlanCounts& counts = result.report.counts;
  std::cout << "block end " << address_text(0xFB, counts.sequential_end_before) << ", at the shortest spellings "
            << address_text(0xFB, counts.sequential_end_shortest) << ", lengthened to " << address_text(0xFB, counts.sequential_end_after) << ", "
            << counts.sequential_moved.size() << " of " << lines_.size() << " messages moved, " << counts.sequential_other_codes
            << " characters by another of their codes\n";
  EXPECT_GE(counts.sequential_end_after, kSequentialEnd);
  EXPECT_NE(report_text(result.report).find(" bytes of longer spellings: at their shortest it would have ended at "), std::string::npos);
}


// Runs of one sample, its image loaded once.
class Campaign {
 public:
  explicit Campaign(int seed) {
    inputs_.image_file = sample::make_sample(seed).layout.image;
    inputs_.opcode_file = sample::sample_opcode_file();
    original_ = std::make_unique<OriginalImage>(OriginalImage{inputs_.image_file, "image.smc", inputs_.opcode_file, Encoding::shift_jis, {}, {}, {}});
    EXPECT_FALSE(load_original(*original_));
    lines_ = split_lines(original_->dump.dumps[1]);
    int end = 0;
    for (const auto& [address, message] : original_->map.messages) end = std::max(end, address + message.size);
    free_ = {{0xFB, {end, 0x10000}}};
  }
  // Bank FB after its last message, where word-list messages the block
  // reaches are copied.
  const std::vector<DeclaredRange>& free() const { return free_; }
  // Whether the edits go in (the run proves itself); refusals are counted
  // by their kind.
  bool fits(const std::vector<std::pair<std::size_t, std::string>>& edits, const InsertSettings& settings) {
    std::array<std::optional<std::string>, 4> edited;
    edited[1] = with_lines(original_->dump.dumps[1], edits);
    ChangeSet changes;
    EXPECT_FALSE(changes_from_dumps(original_->dump.dumps, edited, Encoding::shift_jis, changes));
    InsertResult result;
    const Outcome failure = run_insert(*original_, changes, settings, result);
    EXPECT_FALSE(failure) << failure->text();
    return !failure && result.refusals.empty();
  }
  const std::vector<std::string_view>& lines() const { return lines_; }

 private:
  InsertInputs inputs_;
  std::unique_ptr<OriginalImage> original_;
  std::vector<std::string_view> lines_;
  std::vector<DeclaredRange> free_;
};

TEST(SequentialRelayoutCampaign, BalancedPairsGoIn) {
  // A line grown by one to three of its own characters, a later one
  // shortened by as many: nearly every pair goes in.
  InsertSettings settings;
  settings.relayout = true;
  std::size_t tried = 0, inserted = 0;
  for (const int seed : {3, 11}) {
    Campaign campaign(seed);
    settings.free = campaign.free();
    const std::vector<std::string_view>& lines = campaign.lines();
    std::size_t next = 0;
    for (int pair = 0; pair < 30; ++pair) {
      const int count = 1 + pair % 3;
      const auto has_room = [&](std::size_t i) { return wide_characters(lines[i]).size() > static_cast<std::size_t>(count); };
      std::size_t grown = (next * 7919 + 13) % lines.size();
      while (!has_room(grown)) grown = (grown + 1) % lines.size();
      std::size_t shortened = (grown + 1 + next * 104729 % 200) % lines.size();
      while (!has_room(shortened) || shortened == grown) shortened = (shortened + 1) % lines.size();
      ++next;
      ++tried;
      inserted += campaign.fits({{grown + 1, resized(lines[grown], count)}, {shortened + 1, resized(lines[shortened], -count)}}, settings);
    }
  }
  std::cout << inserted << " of " << tried << " balanced pairs inserted\n";
  EXPECT_GE(inserted * 100, tried * 95);
}

TEST(SequentialRelayoutCampaign, OneDoubledCharacterFitsMoreOften) {
  Campaign campaign(8);
  const std::vector<std::string_view>& lines = campaign.lines();
  InsertSettings fixed, relaid;
  fixed.free = relaid.free = campaign.free();
  relaid.relayout = true;
  std::size_t tried = 0, before = 0, after = 0;
  for (std::size_t i = 0; i < lines.size() && tried < 60; i += 17) {
    if (wide_characters(lines[i]).size() < 2) continue;
    const std::string doubled = resized(lines[i], 1);
    ++tried;
    before += campaign.fits({{i + 1, doubled}}, fixed);
    after += campaign.fits({{i + 1, doubled}}, relaid);
  }
  std::cout << "one doubled character: " << before << " of " << tried << " fit at their lengths, " << after << " with the block laid out again\n";
  EXPECT_GE(after, before);
}
}  // namespace
}  // namespace ambergale
