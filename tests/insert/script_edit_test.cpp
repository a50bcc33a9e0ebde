// Messages inside event scripts rewritten at their lengths, through whole
// insert runs on a sample cartridge: what fits, what is refused and how,
// and the lines the dump shows anew.
#include "insert/script_edit.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>

#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "dump/stored_messages.hpp"
#include "sample/sample_content.hpp"
#include "support/line_text.hpp"
#include "support/stated_room.hpp"
#include "script/disassembler.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"

namespace ambergale {
namespace {

// The two-byte characters of a line's text outside names.
std::vector<std::size_t> wide_characters(std::string_view line) { return testing_support::wide_characters(line, 0); }

class ScriptEdit : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    image_ = new std::vector<std::uint8_t>(sample::make_sample(2).layout.image);
    original_ = new MemoryRun(run_in_memory(*image_, sample::sample_opcode_file(), DumpSettings{}, true));
    ASSERT_FALSE(original_->failure);
    Cartridge cart;
    cart.bytes = *image_;
    map_ = new std::vector<ScriptLine>(map_script_lines(cart, *original_->tables));
    places_ = new std::vector<ScriptPlace>(script_places(cart));
    sizes_ = new std::vector<int>;
    for_each_script(cart, *original_->tables, [&](const ScriptView& view) {
      sizes_->push_back(view.size());
      return true;
    });
  }
  static void TearDownTestSuite() {
    delete image_;
    delete original_;
    delete map_;
    delete places_;
    delete sizes_;
  }

  void SetUp() override {
    inputs_.image_file = *image_;
    inputs_.image_name = "image.smc";
    inputs_.opcode_file = sample::sample_opcode_file();
    lines_ = split_lines(original_->dumps[3]);
  }

  // Whether the script of line `n` (0-based) shares its block with another.
  static bool shared(std::size_t n) {
    const ScriptPlace& place = (*places_)[static_cast<std::size_t>((*map_)[n].script)];
    int holders = 0;
    for (const ScriptPlace& other : *places_) holders += other.bank == place.bank && other.address == place.address;
    return holders > 1;
  }

  // The message of line `n` (0-based) in `image`: its units, the bits they
  // take and the script bytes it occupies.
  struct Message {
    std::vector<std::uint16_t> units;
    std::size_t bits = 0;
    std::vector<std::uint8_t> bytes;
  };
  static Message message_of(std::size_t n, const std::vector<std::uint8_t>& image = *image_) {
    Cartridge cart;
    cart.bytes = image;
    Message message;
    for_each_script(cart, *original_->tables, [&](const ScriptView& view) {
      if (view.index != (*map_)[n].script) return true;
      CodeBuffer codes;
      const std::int64_t offset = (*map_)[n].offset;
      const TextDecode text = decode_embedded(view.bytes, view.size(), offset, original_->tables->text_trees, codes);
      message.units = code_units(std::span(codes).first(static_cast<std::size_t>(text.written)));
      message.bits = static_cast<std::size_t>(text.bits);
      message.bytes.assign(view.bytes.begin() + offset, view.bytes.begin() + offset + text.consumed);
      return false;
    });
    return message;
  }
  static std::vector<std::uint16_t> message_units(std::size_t n) { return message_of(n).units; }

  Outcome insert(const std::vector<std::pair<std::size_t, std::string>>& edits, InsertResult& result) {
    inputs_.edited[3] = with_lines(original_->dumps[3], edits);
    return insert_edited_dumps(inputs_, {}, result);
  }

  static std::vector<std::uint8_t>* image_;
  static MemoryRun* original_;
  static std::vector<ScriptLine>* map_;
  static std::vector<ScriptPlace>* places_;
  static std::vector<int>* sizes_;  // of each script's bytes
  InsertInputs inputs_;
  std::vector<std::string_view> lines_;
};

std::vector<std::uint8_t>* ScriptEdit::image_ = nullptr;
MemoryRun* ScriptEdit::original_ = nullptr;
std::vector<ScriptLine>* ScriptEdit::map_ = nullptr;
std::vector<ScriptPlace>* ScriptEdit::places_ = nullptr;
std::vector<int>* ScriptEdit::sizes_ = nullptr;

TEST_F(ScriptEdit, SmallEditsThatFitAreRewrittenAtTheirLengths) {
  // One character replaced by another of the line, deleted, or doubled, on
  // the first 100 message lines that have two and a block of their own:
  // each tried alone, then all that fit in one run.
  std::map<std::string, std::pair<int, int>> tally;  // kind -> fitted, tried
  std::map<std::string, int> block_refused;          // kind -> kept the message's length, not the block's
  std::map<std::size_t, std::string> fitting;  // line (1-based) -> its first edit that fits
  for (std::size_t i = 0; i < map_->size() && tally["replaced"].second < 100; ++i) {
    if ((*map_)[i].kind != ScriptLine::Kind::message || shared(i)) continue;
    const std::string_view line = lines_[i];
    const std::vector<std::size_t> wide = wide_characters(line);
    if (wide.size() < 2) continue;
    for (const auto& [kind, text] : testing_support::one_character_edits(line, wide, i)) {
      if (text == line) continue;
      InsertResult result;
      const Outcome failure = insert({{i + 1, text}}, result);
      ++tally[kind].second;
      if (!failure) {
        ++tally[kind].first;
        EXPECT_EQ(result.report.counts.script_messages_rewritten, 1u);
        // Taken at the first try, the new message keeps the bits the old one
        // had after its end code.
        if (result.report.counts.script_most_tries == 1) {
          const Message before = message_of(i), after = message_of(i, result.image_file);
          ASSERT_EQ(after.bytes.size(), before.bytes.size());
          const unsigned free_bits = static_cast<unsigned>(8 * after.bytes.size() - after.bits);
          EXPECT_EQ(after.bytes.back() & ((1u << free_bits) - 1), before.bytes.back() & ((1u << free_bits) - 1)) << i;
        }
        if (!fitting.count(i + 1)) fitting[i + 1] = text;
        continue;
      }
      // A refusal names the line, and one of length the characters to drop
      // or add, or that some must change.
      const std::string& reason = failure->text();
      EXPECT_EQ(reason.rfind("messcript.txt:" + std::to_string(i + 1) + ": script ", 0), 0u) << reason;
      if (reason.find("; the translation needs ") != std::string::npos) {
        EXPECT_TRUE(testing_support::stated_room(reason)) << reason;
      } else {
        EXPECT_NE(reason.find(": change a character or two (about "), std::string::npos) << reason;
        block_refused[kind] += reason.find(" takes ") == std::string::npos;  // not the message's bits but the block's
      }
    }
  }
  for (const auto& [kind, counts] : tally) {
    std::cout << kind << ": " << counts.first << " of " << counts.second << " fit (" << block_refused[kind]
              << " more keep the message's length but not the block's)\n";
  }
  EXPECT_GT(tally["replaced"].first, tally["replaced"].second / 4);
  EXPECT_GT(tally["deleted"].first, tally["deleted"].second / 4);

  // Every line that fitted, in one run: each message is rewritten, every
  // other line reads as it did but for those the report names.
  InsertResult result;
  const Outcome failure = insert({fitting.begin(), fitting.end()}, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_EQ(result.report.counts.script_messages_rewritten, fitting.size());
  EXPECT_LE(result.report.counts.script_blocks_recompressed, fitting.size());
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  const std::vector<std::string_view> lines = split_lines(again.dumps[3]);
  const std::vector<std::string_view> edited = split_lines(*inputs_.edited[3]);
  ASSERT_EQ(lines.size(), edited.size());
  std::size_t differing = 0;
  for (std::size_t n = 0; n < lines.size(); ++n) differing += lines[n] != edited[n];
  EXPECT_EQ(differing, result.report.script_artefacts.size());
  for (const std::size_t d : {0u, 1u, 2u}) EXPECT_EQ(again.dumps[d], original_->dumps[d]);
}

TEST_F(ScriptEdit, LinesOfLaterScriptsThatShowRewrittenBytesAreArtefacts) {
  // A message of a script followed by a shorter one, near where the shorter
  // one ends: the shorter one's listing may read the rewritten bytes from
  // the buffer the dump keeps for all scripts.
  int runs = 0;
  for (std::size_t i = 0; i < map_->size() && runs < 60; ++i) {
    const ScriptLine& line = (*map_)[i];
    if (line.kind != ScriptLine::Kind::message || shared(i) || line.script + 1 >= static_cast<int>(sizes_->size())) continue;
    const int next_size = (*sizes_)[static_cast<std::size_t>(line.script) + 1];
    if (next_size >= (*sizes_)[static_cast<std::size_t>(line.script)] || line.offset + 4 < next_size || line.offset > next_size + 4) continue;
    const std::vector<std::size_t> wide = wide_characters(lines_[i]);
    if (wide.size() < 2) continue;
    std::string text(lines_[i]);
    text.replace(wide[0], 2, lines_[i].substr(wide[1], 2));
    if (text == lines_[i]) continue;
    InsertResult result;
    ++runs;
    if (insert({{i + 1, text}}, result) || result.report.script_artefacts.empty()) continue;
    // Each artefact is a line of a later script that the new image lists
    // anew; every other line reads as edited.
    const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
    const std::vector<std::string_view> lines = split_lines(again.dumps[3]);
    const std::vector<std::string_view> edited = split_lines(*inputs_.edited[3]);
    for (const std::size_t n : result.report.script_artefacts) {
      EXPECT_GT((*map_)[n - 1].script, line.script);
      EXPECT_NE(lines[n - 1], edited[n - 1]);
    }
    std::size_t differing = 0;
    for (std::size_t n = 0; n < lines.size(); ++n) differing += lines[n] != edited[n];
    EXPECT_EQ(differing, result.report.script_artefacts.size());
    EXPECT_NE(report_text(result.report).find(" that show rewritten script bytes without being edited: "), std::string::npos);
    return;
  }
  FAIL() << "no edit of the sample shows in a later script";
}

TEST_F(ScriptEdit, ScriptsOfOneBlockMustBeEditedAlike) {
  for (std::size_t i = 0; i < map_->size(); ++i) {
    if ((*map_)[i].kind != ScriptLine::Kind::message || !shared(i) || wide_characters(lines_[i]).size() < 2) continue;
    std::string text(lines_[i]);
    const std::vector<std::size_t> wide = wide_characters(text);
    text.replace(wide[0], 2, lines_[i].substr(wide[1], 2));
    if (text == lines_[i]) continue;
    InsertResult result;
    const Outcome refused = insert({{i + 1, text}}, result);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text().rfind("messcript.txt:" + std::to_string(i + 1) + ": script ", 0), 0u) << refused->text();
    EXPECT_NE(refused->text().find(") are one block "), std::string::npos) << refused->text();
    EXPECT_NE(refused->text().find(" the same way"), std::string::npos) << refused->text();
    return;
  }
  FAIL() << "no shared block holds a message";
}

TEST_F(ScriptEdit, AMessageWithoutItsEndCodeIsRefused) {
  for (std::size_t i = 0; i < map_->size(); ++i) {
    if ((*map_)[i].kind != ScriptLine::Kind::message || shared(i)) continue;
    const std::vector<std::uint16_t> units = message_units(i);
    if (!units.empty() && units.back() == 0xFFFF) continue;
    InsertResult result;
    const Outcome refused = insert({{i + 1, std::string(lines_[i]) + "\x82\xA0"}}, result);  // あ
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->text().find(" has no end code within its script"), std::string::npos) << refused->text();
    return;
  }
  FAIL() << "every message of the sample ends with its end code";
}

TEST_F(ScriptEdit, ATextTooLongOrTooShortForItsBytesIsRefusedWithTheCharactersToDropOrAdd) {
  std::size_t i = 0;
  while ((*map_)[i].kind != ScriptLine::Kind::message || shared(i) || wide_characters(lines_[i]).size() < 3 ||
         message_units(i).back() != 0xFFFF) {
    ++i;
  }
  std::string grown(lines_[i]);
  for (const std::size_t at : wide_characters(lines_[i])) grown += lines_[i].substr(at, 2);
  InsertResult result;
  const Outcome refused = insert({{i + 1, grown}}, result);
  ASSERT_TRUE(refused);
  char start[80];
  std::snprintf(start, sizeof start, "messcript.txt:%zu: script %04X, message at %04X takes ", i + 1,
                static_cast<unsigned>((*map_)[i].script), static_cast<unsigned>((*map_)[i].offset));
  EXPECT_EQ(refused->text().rfind(start, 0), 0u) << refused->text();
  // Its characters doubled: fewer to drop than were added.
  const std::size_t characters = wide_characters(lines_[i]).size();
  const std::optional<testing_support::StatedRoom> over = testing_support::stated_room(refused->text());
  ASSERT_TRUE(over) << refused->text();
  EXPECT_TRUE(over->over);
  EXPECT_GE(over->characters, 1u);
  EXPECT_LE(over->characters, characters);
  // Emptied, counted in the original's characters: about as many to add as
  // it had, more when its tags went too, and less only by the bits the
  // window spares.
  const Outcome emptied = insert({{i + 1, ""}}, result);
  ASSERT_TRUE(emptied);
  EXPECT_EQ(emptied->text().rfind(start, 0), 0u) << emptied->text();
  const std::optional<testing_support::StatedRoom> short_of = testing_support::stated_room(emptied->text());
  ASSERT_TRUE(short_of) << emptied->text();
  EXPECT_FALSE(short_of->over);
  EXPECT_GE(short_of->characters + 2, characters) << emptied->text();
  EXPECT_LE(short_of->characters, 2 * characters) << emptied->text();
}

TEST_F(ScriptEdit, TheSameTextWrittenOtherwiseKeepsTheMessagesBits) {
  // Lines of characters alone whose first character is written as its
  // escape: nothing changes.
  std::vector<std::pair<std::size_t, std::string>> edits;
  for (std::size_t i = 0; i < map_->size() && edits.size() < 50; ++i) {
    if ((*map_)[i].kind != ScriptLine::Kind::message || shared(i)) continue;
    const std::vector<std::uint16_t> units = message_units(i);
    if (std::any_of(units.begin(), units.end(), [](std::uint16_t u) { return u >= kFirstEntryCode && u != kEndCode; })) continue;
    const std::string_view text = lines_[i];
    for (int unit = 0x0080; unit < 0x0100; ++unit) {  // kana, one code each
      if (kCharTable[static_cast<std::size_t>(unit)] != text.substr(0, 2)) continue;
      char escape[8];
      std::snprintf(escape, sizeof escape, "<%02X00>", unit);
      edits.emplace_back(i + 1, escape + std::string(text.substr(2)));
    }
  }
  ASSERT_GT(edits.size(), 20u);
  InsertResult result;
  const Outcome failure = insert(edits, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_EQ(result.report.lines_changed[3], edits.size());
  EXPECT_EQ(result.report.counts.script_messages_rewritten, 0u);
  EXPECT_TRUE(result.image_file == inputs_.image_file);
}

}  // namespace
}  // namespace ambergale
