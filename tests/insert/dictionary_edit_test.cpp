// Dictionary entries edited in their slots: the entry's line and every line
// that shows it, in all four dumps, come out as the edited dictionary says.
#include <gtest/gtest.h>

#include <map>

#include "dump/dump_run.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"
#include "support/small_cartridge.hpp"

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

TEST_F(DictionaryEdit, ShortenedEntriesChangeEveryLineThatShowsThem) {
  // The last two-byte character of entries dropped, in one run; those that
  // would need more bytes than their slot leave the campaign.
  std::map<std::size_t, std::string> edits;
  for (std::size_t i = 0; i < lines_.size() && edits.size() < 40; i += 7) {
    const std::string_view line = lines_[i];
    std::size_t last = std::string::npos;
    bool two_bytes = false;
    for (std::size_t at = 5; at < line.size();) {
      const auto byte = static_cast<unsigned char>(line[at]);
      two_bytes = (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
      last = at;
      at += two_bytes ? 2 : 1;
    }
    if (two_bytes && last > 5) edits[i] = std::string(line.substr(0, last));
  }
  InsertResult result;
  std::size_t refused = 0;
  for (;;) {
    inputs_.edited[2] = edited(edits);
    result = {};
    const Outcome failure = run_insert(inputs_, {}, result);
    if (!failure) break;
    ASSERT_NE(failure->text().find("bytes missing"), std::string::npos) << failure->text();
    ASSERT_EQ(edits.erase(std::stoul(failure->text().substr(12)) - 1), 1u);
    ++refused;
  }
  ASSERT_GT(edits.size(), 10u);
  EXPECT_EQ(result.messages_written, edits.size());
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  const std::vector<std::string_view> after = split_lines(again.dumps[2]);
  for (const auto& [i, line] : edits) EXPECT_EQ(after[i], line);
  // Messages that use an edited entry read differently now; their bits did not change.
  EXPECT_NE(again.dumps[0] + again.dumps[1] + again.dumps[3], original_.dumps[0] + original_.dumps[1] + original_.dumps[3]);
}

TEST_F(DictionaryEdit, RefusesWhatItCannotPutBackInItsSlot) {
  const std::pair<std::map<std::size_t, std::string>, std::string> cases[] = {
      {{{10, std::string(lines_[10].substr(0, 5)) + "<1004>"}}, "references to other entries are not inserted yet"},
      {{{10, std::string(lines_[10]) + std::string(lines_[10].substr(5)) + std::string(lines_[10].substr(5)) +
                 std::string(lines_[10].substr(5))}},
       "bytes missing"},
      {{{10, std::string(lines_[10].substr(0, 5)) + "\\n"}}, "original line does not decide"},
  };
  for (const auto& [edits, reason] : cases) {
    inputs_.edited[2] = edited(edits);
    InsertResult result;
    const Outcome refused = run_insert(inputs_, {}, result);
    ASSERT_TRUE(refused) << reason;
    EXPECT_EQ(refused->text().rfind("sublist.txt:11", 0), 0u) << refused->text();
    EXPECT_NE(refused->text().find(reason), std::string::npos) << refused->text();
  }
  // A word-list line and a dictionary line in one run.
  inputs_.edited[2] = edited({{10, std::string(lines_[10].substr(0, 5))}});
  std::string words = original_.dumps[0];
  words.insert(words.find("\r\n"), "\x81H");
  inputs_.edited[0] = words;
  InsertResult result;
  const Outcome both = run_insert(inputs_, {}, result);
  ASSERT_TRUE(both);
  EXPECT_NE(both->text().find("edit the dictionary and the word lists in separate runs"), std::string::npos);
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
  InsertInputs inputs;
  inputs.image_file = sample::build_cartridge(content).image;
  inputs.image_name = "limits.smc";
  inputs.opcode_file = testing_support::small_opcode_file();
  const MemoryRun dumps = run_in_memory(inputs.image_file, inputs.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(dumps.failure);
  std::string common_text;
  for (int i = 0; i < 60; ++i) common_text += "\x82\xA2";  // い, the unit 0x0080
  inputs.edited[2] = with_lines(dumps.dumps[2], {{1, "0410:" + common_text}});
  InsertResult result;
  const Outcome refused = run_insert(inputs, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "sublist.txt:1: entry 0411 would expand to 107 units, more than the 100 of a slot");
}

}  // namespace
}  // namespace ambergale
