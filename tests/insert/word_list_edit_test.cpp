// Edit campaigns on a sample cartridge: many word-list lines changed in one
// run, each proven by the dump of the new image.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "dump/dump_run.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "sample/sample_content.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

class WordListEdit : public testing::Test {
 protected:
  static void SetUpTestSuite() { sample_ = new sample::SampleCartridge(sample::make_sample(5)); }
  static void TearDownTestSuite() { delete sample_; }

  void SetUp() override {
    inputs_.image_file = sample_->layout.image;
    inputs_.image_name = "image.smc";
    inputs_.opcode_file = sample::sample_opcode_file();
    const MemoryRun dumps = run_in_memory(inputs_.image_file, inputs_.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(dumps.failure);
    lines_ = split_lines(dumps.dumps[0]);
    owned_ = dumps.dumps[0];
    lines_ = split_lines(owned_);
    // Lines whose message is theirs alone: no other entry and no message of
    // the sequential block has its address.
    for (const auto& group : sample_->layout.group_pointers) {
      for (const int address : group) ++users_[address];
    }
    for (const auto& [address, units] : sample_->layout.sequential) sequential_.insert(address);
    std::size_t line = 0;
    for (const auto& group : sample_->layout.group_pointers) {
      for (const int address : group) {
        if (users_[address] == 1 && !sequential_.count(address)) private_.push_back(line);
        ++line;
      }
    }
  }

  // The edited dump: line i (0-based) replaced where `edits` says.
  std::string edited(const std::map<std::size_t, std::string>& edits) const {
    std::vector<std::pair<std::size_t, std::string>> numbered;
    for (const auto& [i, text] : edits) numbered.emplace_back(i + 1, text);
    return with_lines(owned_, numbered);
  }

  static sample::SampleCartridge* sample_;
  InsertInputs inputs_;
  std::string owned_;
  std::vector<std::string_view> lines_;
  std::map<int, int> users_;  // message address -> entries that point at it
  std::set<int> sequential_;  // addresses of the sequential block's messages
  std::vector<std::size_t> private_;
};

sample::SampleCartridge* WordListEdit::sample_ = nullptr;

TEST_F(WordListEdit, ShortenedLinesGoBackIntoTheirOwnBytes) {
  ASSERT_GT(private_.size(), 100u);
  // The last character of many private lines dropped, in one run.
  std::map<std::size_t, std::string> edits;
  for (const std::size_t i : private_) {
    const std::string_view line = lines_[i];
    if (edits.size() == 60) break;
    // A two-byte character at the end, read from the start of the text.
    std::size_t last = std::string::npos;
    bool two_bytes = false;
    for (std::size_t at = line.find(':') + 1; at < line.size();) {
      const auto byte = static_cast<unsigned char>(line[at]);
      two_bytes = (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
      last = at;
      at += two_bytes ? 2 : 1;
    }
    if (!two_bytes || last == line.find(':') + 1) continue;
    edits[i] = std::string(line.substr(0, last));
  }
  // Dropping a character can undo a dictionary match and need more bytes:
  // such a refusal names its line, which leaves the campaign.
  InsertResult result;
  std::size_t refused = 0;
  for (;;) {
    inputs_.edited[0] = edited(edits);
    result = {};
    const Outcome failure = run_insert(inputs_, {}, result);
    if (!failure) break;
    ASSERT_NE(failure->text().find("bytes missing"), std::string::npos) << failure->text();
    ASSERT_EQ(edits.erase(std::stoul(failure->text().substr(13)) - 1), 1u);
    ++refused;
  }
  EXPECT_LT(refused, edits.size());
  EXPECT_EQ(result.lines_changed, edits.size());
  EXPECT_EQ(result.messages_written, edits.size());
  EXPECT_GT(result.bytes_written, edits.size());
  EXPECT_NE(result.image_file, inputs_.image_file);
  // The proof the run made, made again here: the new image dumps to the edits.
  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  EXPECT_EQ(again.dumps[0], *inputs_.edited[0]);

  // The same edits made in UTF-8 dumps give the same image.
  const Cp932ToUtf8 to_utf8;
  InsertInputs in_utf8 = inputs_;
  for (auto& dump : in_utf8.edited) {
    if (!dump) continue;
    std::string converted;
    to_utf8.convert(*dump, converted);
    dump = converted;
  }
  InsertSettings utf8;
  utf8.encoding = Encoding::utf8;
  InsertResult from_utf8;
  const Outcome failure = run_insert(in_utf8, utf8, from_utf8);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_TRUE(from_utf8.image_file == result.image_file);
  // A changed line that is not UTF-8 is named.
  std::string& dump = *in_utf8.edited[0];
  dump.insert(dump.find("\r\n"), "\xFF");
  const Outcome bad = run_insert(in_utf8, utf8, from_utf8);
  ASSERT_TRUE(bad);
  EXPECT_NE(bad->text().find("wordlist.txt:1: byte "), std::string::npos) << bad->text();
  EXPECT_NE(bad->text().find(" is not UTF-8, or starts a character Shift-JIS does not have"), std::string::npos);
}

TEST_F(WordListEdit, RefusesWhatItCannotPutBackInPlace) {
  // A line whose message the sequential block shows too, one of two lines
  // sharing a message, and a line made much longer.
  std::size_t in_block = 0, shared = 0;
  std::size_t line = 0;
  for (const auto& group : sample_->layout.group_pointers) {
    for (const int address : group) {
      if (!in_block && sequential_.count(address) && users_.at(address) == 1) in_block = line;
      if (!shared && users_.at(address) > 1 && !sequential_.count(address)) shared = line;
      ++line;
    }
  }
  ASSERT_GT(in_block, 0u);
  ASSERT_GT(shared, 0u);
  // あいうえおかきくけこさしすせそたちつてと
  const std::string grown = std::string(lines_[private_[0]]) +
                            "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1"
                            "\x82\xB3\x82\xB5\x82\xB7\x82\xB9\x82\xBB\x82\xBD\x82\xBF\x82\xC2\x82\xC4\x82\xC6";
  const std::pair<std::map<std::size_t, std::string>, std::string> cases[] = {
      {{{in_block, std::string(lines_[in_block]) + "\x81H"}}, "are shared with the sequential block"},
      {{{shared, std::string(lines_[shared]) + "\x81H"}}, "edit both the same way"},
      {{{private_[0], grown}}, "bytes missing"},
      {{{private_[0], std::string(lines_[private_[0]]) + "\\t"}}, "a '\\' not followed by 'n'"},
  };
  for (const auto& [edits, reason] : cases) {
    inputs_.edited[0] = edited(edits);
    InsertResult result;
    const Outcome refused = run_insert(inputs_, {}, result);
    ASSERT_TRUE(refused) << reason;
    EXPECT_EQ(refused->text().rfind("wordlist.txt:" + std::to_string(edits.begin()->first + 1) + ":", 0), 0u) << refused->text();
    EXPECT_NE(refused->text().find(reason), std::string::npos) << refused->text();
  }
}

TEST(WordListEditSmall, ACharacterTheTreesCannotWriteIsNamed) {
  // The small cartridge's text trees hold only the few codes its messages use.
  InsertInputs inputs;
  inputs.image_file = testing_support::small_image();
  inputs.image_name = "small.smc";
  inputs.opcode_file = testing_support::small_opcode_file();
  const MemoryRun dumps = run_in_memory(inputs.image_file, inputs.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(dumps.failure);
  ASSERT_EQ(split_lines(dumps.dumps[0])[1].substr(0, 5), "0001:");
  inputs.edited[0] = with_lines(dumps.dumps[0], {{2, "0001:\x81I\x82\xA0"}});  // ！あ
  InsertResult result;
  const Outcome refused = run_insert(inputs, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "wordlist.txt:2:2: code 007F has no code in the text trees");
}

}  // namespace
}  // namespace ambergale
