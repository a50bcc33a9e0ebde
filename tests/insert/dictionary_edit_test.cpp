// Dictionary entries edited in their slots: the entry's line and every line
// that shows it, in all four dumps, come out as the edited dictionary says.
#include <gtest/gtest.h>

#include <map>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_run.hpp"
#include "encode/encoder.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/small_cartridge.hpp"
#include "support/stated_room.hpp"

namespace ambergale {
namespace {

class DictionaryEdit : public testing::Test {
 protected:
  static void SetUpTestSuite() { image_ = new std::vector<std::uint8_t>(sample::make_sample(7).layout.image); }
  static void TearDownTestSuite() { delete image_; }

  void SetUp() override {
    inputs_.image_file = *image_;
    inputs_.image_name = "image.smc";
    inputs_.opcode_file = sample::sample_opcode_file();
    original_ = run_in_memory(inputs_.image_file, inputs_.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(original_.failure);
    lines_ = split_lines(original_.dumps[2]);
  }

  // Where the last character of line i starts, when it is a two-byte one
  // and not the first of the text.
  std::optional<std::size_t> last_two_byte(std::size_t i) const {
    const std::string_view line = lines_[i];
    std::size_t last = std::string::npos;
    bool two_bytes = false;
    for (std::size_t at = 5; at < line.size();) {
      const auto byte = static_cast<unsigned char>(line[at]);
      two_bytes = (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
      last = at;
      at += two_bytes ? 2 : 1;
    }
    if (!two_bytes || last == 5) return std::nullopt;
    return last;
  }

  // The edited dump: line i (0-based) replaced where `edits` says.
  std::string edited(const std::map<std::size_t, std::string>& edits) const {
    std::vector<std::pair<std::size_t, std::string>> numbered;
    for (const auto& [i, text] : edits) numbered.emplace_back(i + 1, text);
    return with_lines(original_.dumps[2], numbered);
  }

  static std::vector<std::uint8_t>* image_;
  InsertInputs inputs_;
  MemoryRun original_;
  std::vector<std::string_view> lines_;
};

std::vector<std::uint8_t>* DictionaryEdit::image_ = nullptr;

TEST_F(DictionaryEdit, EditedEntriesChangeEveryLineThatShowsThem) {
  // Entries early in the dictionary grown by their own last character, and
  // many after them shortened by one: the grown ones no longer fit their
  // slots, and the entries from the first of them on are laid out again in
  // the bytes the shortened ones gave up.
  std::map<std::size_t, std::string> edits;
  for (std::size_t i = 100; i < lines_.size() && edits.size() < 80; i += 23) {
    if (const auto last = last_two_byte(i)) {
      const std::string character(lines_[i].substr(*last, 2));
      edits[i] = edits.size() < 8 ? std::string(lines_[i]) + character : std::string(lines_[i].substr(0, *last));
    }
  }
  inputs_.edited[2] = edited(edits);
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs_, {}, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_EQ(result.report.counts.entries_in_place, 0u);
  EXPECT_EQ(result.report.counts.entries_laid_out, lines_.size() - edits.begin()->first);
  EXPECT_LT(result.report.counts.dictionary_end_after, result.report.counts.dictionary_end_before);
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  const std::vector<std::string_view> after = split_lines(again.dumps[2]);
  for (const auto& [i, line] : edits) EXPECT_EQ(after[i], line);
  // Messages that use an edited entry read differently now; their bits did not change.
  EXPECT_NE(again.dumps[0] + again.dumps[1] + again.dumps[3], original_.dumps[0] + original_.dumps[1] + original_.dumps[3]);
  EXPECT_GT(result.report.lines_reshown[0] + result.report.lines_reshown[1] + result.report.lines_reshown[3], 0u);

  // Shortened alone, they take fewer bytes (a shortened entry may still
  // need more than its slot: the entries it used may be edited too).
  std::map<std::size_t, std::string> shortened(std::next(edits.begin(), 8), edits.end());
  inputs_.edited[2] = edited(shortened);
  const Outcome in_place = insert_edited_dumps(inputs_, {}, result);
  ASSERT_FALSE(in_place) << in_place->text();
  EXPECT_LT(result.report.counts.dictionary_end_after, result.report.counts.dictionary_end_before);
}

TEST_F(DictionaryEdit, AnEditedEntryMayUseOtherEntries) {
  // Entry 10 written as the texts of two entries that are found again.
  const std::size_t target = 10;
  std::vector<std::size_t> used;
  for (std::size_t i = 200; i < lines_.size() && used.size() < 2; ++i) {
    if (lines_[i].size() >= 9 && lines_[i].find_first_of("0123456789ABCDEF\\(", 5) == std::string_view::npos) used.push_back(i);
  }
  ASSERT_EQ(used.size(), 2u);
  const std::string text = std::string(lines_[target].substr(0, 5)) + std::string(lines_[used[0]].substr(5)) +
                           std::string(lines_[used[1]].substr(5));
  inputs_.edited[2] = edited({{target, text}});
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs_, {}, result);
  ASSERT_FALSE(failure) << failure->text();
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  EXPECT_EQ(split_lines(again.dumps[2])[target], text);
}

TEST_F(DictionaryEdit, RefusesWhatItCannotPutBack) {
  const auto many = [&](std::size_t line) {
    std::string text = std::string(lines_[line]);
    for (int i = 0; i < 12; ++i) text += lines_[line].substr(5);
    return text;
  };
  const struct {
    std::map<std::size_t, std::string> edits;
    std::string reason;
    bool room;  // the bytes missing stated in characters too
  } cases[] = {
      {{{10, std::string(lines_[10].substr(0, 5)) + "<1A04>"}}, "entry 041A would refer to itself through 041A", false},
      {{{10, std::string(lines_[10].substr(0, 5)) + "<1B04>"}, {11, std::string(lines_[11].substr(0, 5))}},
       "entry 041A would use entry 041B, which uses an entry this run changes", false},
      {{{10, many(10)}, {20, many(20)}, {30, many(30)}}, "entry 041A grows by ", true},
      {{{10, std::string(lines_[10].substr(0, 5)) + "\\n"}}, "original line does not decide", false},
  };
  for (const auto& [edits, reason, room] : cases) {
    inputs_.edited[2] = edited(edits);
    InsertResult result;
    const Outcome refused = insert_edited_dumps(inputs_, {}, result);
    ASSERT_TRUE(refused) << reason;
    EXPECT_EQ(refused->text().rfind("sublist.txt:11", 0), 0u) << refused->text();
    EXPECT_NE(refused->text().find(reason), std::string::npos) << refused->text();
    const std::optional<testing_support::StatedRoom> stated = testing_support::stated_room(refused->text());
    EXPECT_EQ(stated.has_value(), room) << refused->text();
    if (stated) {
      EXPECT_TRUE(stated->over && stated->bits % 8 == 0) << refused->text();
    }
  }
}

TEST_F(DictionaryEdit, GoesWithWordListEditsInOneRun) {
  // Entry 10 shortened and the first word-list line grown: the word-list
  // line is written with the dictionary as edited, and every other line
  // that shows entry 10 is shown anew.
  inputs_.edited[2] = edited({{10, std::string(lines_[10].substr(0, 5))}});
  std::string words = original_.dumps[0];
  words.insert(words.find("\r\n"), "\x81H");  // ？
  inputs_.edited[0] = words;
  int end = 0;
  for (const auto& [address, message] : testing_support::word_list_map_of(*image_).messages) {
    end = std::max(end, address + message.size);
  }
  InsertSettings settings;
  settings.free = {{0xFB, {end, 0x10000}}};
  InsertResult result;
  const Outcome both = insert_edited_dumps(inputs_, settings, result);
  ASSERT_FALSE(both) << both->text();
  EXPECT_EQ(result.report.lines_changed[0], 1u);
  EXPECT_EQ(result.report.lines_changed[2], 1u);
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  EXPECT_EQ(split_lines(again.dumps[0])[0], split_lines(words)[0]);
  EXPECT_EQ(split_lines(again.dumps[2])[10], lines_[10].substr(0, 5));
}

TEST(DictionaryEditLimits, AnEntryThatWouldExpandPastItsSlotIsRefused) {
  // Entry 0 holds 50 of a rare character, entry 1 refers to it and holds 45
  // of a common one: 97 units expanded, end units included. Entry 0 edited
  // to 60 of the common one fits its bytes, but entry 1 would expand to 107.
  sample::CartridgeContent content = testing_support::small_content();
  constexpr std::uint16_t kRare = 0x00E0, kCommon = 0x0080;
  content.dictionary[0] = std::vector<std::uint16_t>(50, kRare);
  content.dictionary[0].push_back(0xFFFF);
  content.dictionary[1] = {0x0410};
  content.dictionary[1].insert(content.dictionary[1].end(), 45, kCommon);
  content.dictionary[1].push_back(0xFFFF);
  for (int e = 100; e < 2000; ++e) content.dictionary[e] = {kCommon, 0xFFFF};
  auto [inputs, dumps] = testing_support::small_insert(sample::build_cartridge(content).image);
  std::string common_text;
  for (int i = 0; i < 60; ++i) common_text += "\x82\xA2";  // い, the unit 0x0080
  inputs.edited[2] = with_lines(dumps[2], {{1, "0410:" + common_text}});
  InsertResult result;
  const Outcome refused = insert_edited_dumps(inputs, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "sublist.txt:1: entry 0411 would expand to 107 units, more than the 100 of a slot");
}

TEST(DictionaryEditLimits, AnEntryTooLargeIsRefusedWithTheCharactersToDrop) {
  // 1900 of one character: past the 397 bytes an entry may take. As many
  // fewer as the refusal says, it is no longer too large (the entries after
  // it no longer fit, then), and one fewer still is.
  auto [inputs, dumps] = testing_support::small_insert(testing_support::small_image());
  const auto refusal = [&](std::size_t characters) {
    std::string text;
    for (std::size_t i = 0; i < characters; ++i) text += "\x82\xA2";  // い
    inputs.edited[2] = with_lines(dumps[2], {{1, "0410:" + text}});
    InsertResult result;
    const Outcome refused = insert_edited_dumps(inputs, {}, result);
    return refused ? refused->text() : std::string();
  };
  const std::string too_large = refusal(1900);
  EXPECT_EQ(too_large.rfind("sublist.txt:1: entry 0410 needs ", 0), 0u) << too_large;
  EXPECT_NE(too_large.find(" bytes, more than the 397 an entry may take; the translation needs about "), std::string::npos)
      << too_large;
  const std::optional<testing_support::StatedRoom> room = testing_support::stated_room(too_large);
  ASSERT_TRUE(room) << too_large;
  EXPECT_TRUE(room->over);
  EXPECT_EQ(refusal(1900 - room->characters).find(" more than the 397 "), std::string::npos);
  EXPECT_NE(refusal(1900 - room->characters + 1).find(" more than the 397 "), std::string::npos);
}

TEST(DictionaryEditLimits, AnEntryReadingTheEditedOnesBytesIsNamed) {
  // Entry 0415's pointer made equal to the next one's: its slot is empty and
  // it reads entry 0416's bytes, so editing 0416 would change it too.
  std::vector<std::uint8_t> image = testing_support::small_image();
  using cartridge_map::kDictionaryPointers;
  const int next = image[rom_offset(kDictionaryPointers.bank, kDictionaryPointers.address + 12)] |
                   image[rom_offset(kDictionaryPointers.bank, kDictionaryPointers.address + 13)] << 8;
  encode::put_word(image, kDictionaryPointers.bank, kDictionaryPointers.address + 10, next);
  auto [inputs, dumps] = testing_support::small_insert(image);
  inputs.edited[2] = with_lines(dumps[2], {{7, "0416:\x82\xA2"}});  // い
  InsertResult result;
  const Outcome refused = insert_edited_dumps(inputs, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "sublist.txt:7: entry 0415 (line 6) would read differently: its bits are not all inside its own slot");
}

TEST(DictionaryEditLimits, AnEntryThatStillFitsStaysInItsSlot) {
  // The last entry, か, written as its escape: the same bits, one line changed.
  auto [inputs, dumps] = testing_support::small_insert(testing_support::small_image());
  ASSERT_EQ(split_lines(dumps[2]).back(), "0FF8:\x82\xA9");
  inputs.edited[2] = with_lines(dumps[2], {{3049, "0FF8:<8400>"}});
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs, {}, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_EQ(result.report.counts.entries_in_place, 1u);
  EXPECT_EQ(result.report.counts.entries_laid_out, 0u);
  EXPECT_EQ(result.report.counts.dictionary_end_after, result.report.counts.dictionary_end_before);
  EXPECT_TRUE(result.image_file == inputs.image_file);
  // Emptied, it ends one byte after its start: the end code alone.
  inputs.edited[2] = with_lines(dumps[2], {{3049, "0FF8:"}});
  ASSERT_FALSE(insert_edited_dumps(inputs, {}, result));
  using cartridge_map::kDictionaryPointers;
  const int last = inputs.image_file[rom_offset(kDictionaryPointers.bank, kDictionaryPointers.address + 2 * 3048)] |
                   inputs.image_file[rom_offset(kDictionaryPointers.bank, kDictionaryPointers.address + 2 * 3048 + 1)] << 8;
  EXPECT_EQ(result.report.counts.dictionary_end_before, cartridge_map::kDictionaryEnd);
  EXPECT_EQ(result.report.counts.dictionary_end_after, last + 1);
}

}  // namespace
}  // namespace ambergale
