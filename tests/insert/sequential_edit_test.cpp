// Messages of the sequential block rewritten at their lengths: how many
// small edits fit, and a run of many of them proven by the dump.
#include "insert/sequential_edit.hpp"

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>

#include "dump/dump_run.hpp"
#include "dump/load_tables.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/line_text.hpp"
#include "support/stated_room.hpp"
#include "text/char_table.hpp"

namespace ambergale {
namespace {

// The two-byte characters of a line's text outside names.
std::vector<std::size_t> wide_characters(std::string_view line) { return testing_support::wide_characters(line, line.find(']') + 1); }

class SequentialEdit : public testing::Test {
 protected:
  static void SetUpTestSuite() { sample_ = new sample::SampleCartridge(sample::make_sample(8)); }
  static void TearDownTestSuite() { delete sample_; }

  void SetUp() override {
    inputs_.image_file = sample_->layout.image;
    inputs_.image_name = "image.smc";
    inputs_.opcode_file = sample::sample_opcode_file();
    original_ = run_in_memory(inputs_.image_file, inputs_.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(original_.failure);
    lines_ = split_lines(original_.dumps[1]);
    int end = 0;
    for (const auto& [address, message] : testing_support::word_list_map_of(inputs_.image_file).messages) {
      end = std::max(end, address + message.size);
    }
    settings_.free = {{0xFB, {end, 0x10000}}};
  }

  static sample::SampleCartridge* sample_;
  InsertInputs inputs_;
  InsertSettings settings_;
  MemoryRun original_;
  std::vector<std::string_view> lines_;
};

sample::SampleCartridge* SequentialEdit::sample_ = nullptr;

TEST_F(SequentialEdit, SmallEditsThatFitAreRewrittenAtTheirLengths) {
  // One character replaced by another of the line, deleted, or doubled, on
  // each of the first 100 lines that have two: each tried alone, then all
  // that fit in one run.
  std::map<std::string, std::pair<int, int>> tally;  // kind -> fitted, tried
  std::map<std::size_t, std::string> fitting;  // line (1-based) -> its first edit that fits
  for (std::size_t i = 0; i < lines_.size() && tally["replaced"].second < 100; ++i) {
    const std::string_view line = lines_[i];
    const std::vector<std::size_t> wide = wide_characters(line);
    if (wide.size() < 2) continue;
    for (const auto& [kind, text] : testing_support::one_character_edits(line, wide, i)) {
      if (text == line) continue;
      inputs_.edited[1] = with_lines(original_.dumps[1], {{i + 1, text}});
      InsertResult result;
      const Outcome failure = insert_edited_dumps(inputs_, settings_, result);
      ++tally[kind].second;
      if (!failure) {
        ++tally[kind].first;
        if (!fitting.count(i + 1)) fitting[i + 1] = text;
        continue;
      }
      // A refusal names the line, and one of length the characters to drop
      // or add, or that some must change.
      const std::string& reason = failure->text();
      EXPECT_EQ(reason.rfind("wordlist2.txt:" + std::to_string(i + 1) + ":", 0), 0u) << reason;
      if (reason.find(" takes ") != std::string::npos) {
        EXPECT_TRUE(testing_support::stated_room(reason) || reason.find(": change a character or two (about ") != std::string::npos)
            << reason;
      }
    }
  }
  for (const auto& [kind, counts] : tally) {
    std::cout << kind << ": " << counts.first << " of " << counts.second << " fit\n";
  }
  EXPECT_GT(tally["replaced"].first, tally["replaced"].second / 5);
  EXPECT_GT(tally["deleted"].first, tally["deleted"].second / 5);

  // Every line that fitted, in one run: the addresses stay, and word-list
  // lines that showed a rewritten message keep their text through copies.
  inputs_.edited[1] = with_lines(original_.dumps[1], {fitting.begin(), fitting.end()});
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs_, settings_, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_GT(result.report.counts.sequential_rewritten, fitting.size() / 2);
  EXPECT_LE(result.report.counts.sequential_rewritten, fitting.size());
  EXPECT_GT(result.report.counts.messages_copied, 0u);
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  EXPECT_EQ(again.dumps[1], *inputs_.edited[1]);
  EXPECT_EQ(again.dumps[0], original_.dumps[0]);
}

TEST_F(SequentialEdit, AWordListLineEditedAsItsMessageSharesTheNewBytes) {
  // A word-list entry that points at a message of the block, edited alike
  // in both dumps: no copy, the entry keeps its pointer.
  const MessageMap map = testing_support::word_list_map_of(inputs_.image_file);
  const std::vector<SequentialMessage>& block = map.block;
  const std::vector<std::string_view> words = split_lines(original_.dumps[0]);
  for (std::size_t i = 0; i < map.entries.size(); ++i) {
    const auto in_block = std::find_if(block.begin(), block.end(), [&](const SequentialMessage& m) { return m.address == map.entries[i].address; });
    if (in_block == block.end()) continue;
    const std::size_t s = static_cast<std::size_t>(in_block - block.begin());
    const std::vector<std::size_t> wide = wide_characters(lines_[s]);
    if (wide.size() < 2) continue;
    std::string text(lines_[s]);
    text.replace(wide[0], 2, lines_[s].substr(wide[1], 2));
    inputs_.edited[1] = with_lines(original_.dumps[1], {{s + 1, text}});
    const std::string word_line = std::string(line_identifier("wordlist.txt", words[i])) + text.substr(text.find(']') + 1);
    inputs_.edited[0] = with_lines(original_.dumps[0], {{i + 1, word_line}});
    InsertResult result;
    if (insert_edited_dumps(inputs_, settings_, result)) continue;  // this one does not fit its length
    const MessageMap after = testing_support::word_list_map_of(result.image_file);
    EXPECT_EQ(after.entries[i].address, map.entries[i].address);
    const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
    EXPECT_EQ(split_lines(again.dumps[0])[i], word_line);
    return;
  }
  FAIL() << "no word-list line of the sample shows a message of the block that fits";
}

TEST_F(SequentialEdit, ATextTooLongForItsBytesIsRefusedWithTheCharactersToDrop) {
  std::size_t i = 0;
  while (wide_characters(lines_[i]).size() < 3) ++i;
  std::string grown(lines_[i]);
  for (const std::size_t at : wide_characters(lines_[i])) grown += lines_[i].substr(at, 2);
  inputs_.edited[1] = with_lines(original_.dumps[1], {{i + 1, grown}});
  InsertResult result;
  const Outcome refused = insert_edited_dumps(inputs_, settings_, result);
  ASSERT_TRUE(refused);
  const std::string& text = refused->text();
  EXPECT_EQ(text.rfind("wordlist2.txt:" + std::to_string(i + 1) + ": " + std::string(lines_[i].substr(0, 9)) + " takes ", 0), 0u) << text;
  // Its characters doubled: fewer to drop than were added.
  const std::optional<testing_support::StatedRoom> room = testing_support::stated_room(text);
  ASSERT_TRUE(room) << text;
  EXPECT_TRUE(room->over) << text;
  EXPECT_GE(room->characters, 1u) << text;
  EXPECT_LE(room->characters, wide_characters(lines_[i]).size()) << text;
}

TEST_F(SequentialEdit, TheSameTextWrittenOtherwiseKeepsTheMessagesBits) {
  // Lines whose first character is written as its escape: nothing changes.
  std::vector<std::pair<std::size_t, std::string>> edits;
  for (std::size_t i = 0; i < lines_.size() && edits.size() < 50; ++i) {
    const std::string_view text = lines_[i].substr(9);
    for (int unit = 0x0080; unit < 0x0100; ++unit) {  // kana, one code each
      if (kCharTable[static_cast<std::size_t>(unit)] != text.substr(0, 2)) continue;
      char escape[8];
      std::snprintf(escape, sizeof escape, "<%02X00>", unit);
      edits.emplace_back(i + 1, std::string(lines_[i].substr(0, 9)) + escape + std::string(text.substr(2)));
    }
  }
  ASSERT_GT(edits.size(), 20u);
  inputs_.edited[1] = with_lines(original_.dumps[1], edits);
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs_, settings_, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_EQ(result.report.lines_changed[1], edits.size());
  EXPECT_EQ(result.report.counts.sequential_rewritten, 0u);
  EXPECT_TRUE(result.image_file == inputs_.image_file);
}

}  // namespace
}  // namespace ambergale
