// Edit campaigns on a sample cartridge: many word-list lines changed in one
// run, each proven by the dump of the new image.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_run.hpp"
#include "encode/encoder.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "dump/stored_messages.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing_support::word_list_map_of;

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

  // Where the last character of line i starts, when it is a two-byte one
  // and not the first of the text.
  std::optional<std::size_t> last_two_byte(std::size_t i) const {
    const std::string_view line = lines_[i];
    std::size_t last = std::string::npos;
    bool two_bytes = false;
    for (std::size_t at = line.find(':') + 1; at < line.size();) {
      const auto byte = static_cast<unsigned char>(line[at]);
      two_bytes = (byte >= 0x81 && byte <= 0x9F) || byte >= 0xE0;
      last = at;
      at += two_bytes ? 2 : 1;
    }
    if (!two_bytes || last == line.find(':') + 1) return std::nullopt;
    return last;
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
    if (edits.size() == 60) break;
    if (const auto last = last_two_byte(i)) edits[i] = std::string(lines_[i].substr(0, *last));
  }
  // Dropping a character can undo a dictionary match and need more bytes:
  // such a message moves into bytes the others left free, and when none is
  // large enough the refusal names its line, which leaves the campaign.
  InsertResult result;
  std::size_t refused = 0;
  for (;;) {
    inputs_.edited[0] = edited(edits);
    result = {};
    const Outcome failure = insert_edited_dumps(inputs_, {}, result);
    if (!failure) break;
    ASSERT_NE(failure->text().find(" missing; the translation needs about "), std::string::npos) << failure->text();
    ASSERT_EQ(edits.erase(std::stoul(failure->text().substr(13)) - 1), 1u);
    ++refused;
  }
  EXPECT_LT(refused, 5u);
  EXPECT_EQ(result.report.lines_changed[0], edits.size());
  EXPECT_EQ(result.report.counts.messages_in_place + result.report.counts.messages_moved, edits.size());
  EXPECT_GT(result.report.counts.messages_in_place, edits.size() / 2);
  EXPECT_GT(result.report.bytes_written, edits.size());
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
  in_utf8.encoding = Encoding::utf8;
  const InsertSettings utf8;
  InsertResult from_utf8;
  const Outcome utf8_failure = insert_edited_dumps(in_utf8, utf8, from_utf8);
  ASSERT_FALSE(utf8_failure) << utf8_failure->text();
  EXPECT_TRUE(from_utf8.image_file == result.image_file);
  // A changed line that is not UTF-8, or holds a character Shift-JIS
  // lacks, is named with the byte and the character.
  const std::string line(split_lines(*in_utf8.edited[0])[0].substr(0, 5));
  const std::pair<std::string, std::string> cases[] = {
      {line + "\xFF", "wordlist.txt:1: byte 6 is not UTF-8"},
      {line + "\xF0\x9F\x98\x80", "wordlist.txt:1: byte 6 starts '\xF0\x9F\x98\x80' (U+1F600), which Shift-JIS does not have"},
  };
  for (const auto& [edited, message] : cases) {
    InsertInputs bad_inputs = in_utf8;
    bad_inputs.edited[0] = with_lines(*in_utf8.edited[0], {{1, edited}});
    const Outcome bad = insert_edited_dumps(bad_inputs, utf8, from_utf8);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->text(), message);
  }
}

TEST_F(WordListEdit, GrownAndSharedLinesMoveIntoFreeSpace) {
  // Free space: bank FB after the last message.
  const MessageMap before = word_list_map_of(inputs_.image_file);
  int end = 0;
  for (const auto& [address, message] : before.messages) end = std::max(end, address + message.size);
  ASSERT_LT(end, 0xFF00);
  InsertSettings settings;
  settings.free = {{0xFB, {end, 0x10000}}};
  // Lines grown by their last character three times; a line whose message
  // the sequential block shows; the lines of shared messages edited alike,
  // apart, and one of two alone.
  std::map<std::size_t, std::string> edits;
  for (const std::size_t i : private_) {
    if (edits.size() == 30) break;
    const auto last = last_two_byte(i);
    if (!last) continue;
    const std::string character(lines_[i].substr(*last, 2));
    edits[i] = std::string(lines_[i]) + character + character + character;
  }
  std::vector<std::size_t> in_block;
  std::map<int, std::vector<std::size_t>> sharing;  // address -> lines
  for (std::size_t i = 0; i < before.entries.size(); ++i) {
    const int address = before.entries[i].address;
    if (sequential_.count(address) && users_.at(address) == 1) in_block.push_back(i);
    if (!sequential_.count(address) && users_.at(address) == 2) sharing[address].push_back(i);
  }
  ASSERT_GE(in_block.size(), 1u);
  ASSERT_GE(sharing.size(), 3u);
  const auto add = [&](std::size_t i, const char* text) { edits[i] = std::string(lines_[i]) + text; };
  add(in_block[0], "\x81H");  // ？
  auto pair = sharing.begin();
  const std::vector<std::size_t> alike = (pair++)->second, apart = (pair++)->second, alone = (pair++)->second;
  add(alike[0], "\x81H");
  add(alike[1], "\x81H");
  add(apart[0], "\x81H");
  add(apart[1], "\x81I");  // ！
  add(alone[0], "\x81H");
  inputs_.edited[0] = edited(edits);
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs_, settings, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_GT(result.report.counts.messages_moved, 20u);
  EXPECT_LT(result.report.counts.free_after, result.report.counts.free_before);

  const MemoryRun again = run_in_memory(result.image_file, inputs_.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  EXPECT_EQ(again.dumps[0], *inputs_.edited[0]);
  const MemoryRun first = run_in_memory(inputs_.image_file, inputs_.opcode_file, DumpSettings{}, true);
  for (std::size_t d = 1; d < 4; ++d) EXPECT_EQ(again.dumps[d], first.dumps[d]) << d;
  const MessageMap after = word_list_map_of(result.image_file);
  const auto address = [&](std::size_t i) { return after.entries[i].address; };
  EXPECT_EQ(address(alike[0]), address(alike[1]));
  EXPECT_NE(address(apart[0]), address(apart[1]));
  EXPECT_EQ(address(alone[1]), before.entries[alone[1]].address);  // the unchanged one keeps the old bytes
  EXPECT_NE(address(alone[0]), before.entries[alone[0]].address);
  EXPECT_FALSE(address(in_block[0]) >= after.sequential().start && address(in_block[0]) < after.sequential().end);
}

TEST_F(WordListEdit, RefusesWhatItCannotPlaceOrRead) {
  // あいうえおかきくけこさしすせそたちつてと
  const std::string grown = std::string(lines_[private_[0]]) +
                            "\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1"
                            "\x82\xB3\x82\xB5\x82\xB7\x82\xB9\x82\xBB\x82\xBD\x82\xBF\x82\xC2\x82\xC4\x82\xC6";
  const std::pair<std::map<std::size_t, std::string>, std::string> cases[] = {
      {{{private_[0], grown}}, " bytes in bank FB; the largest free range is FB:"},
      {{{private_[0], std::string(lines_[private_[0]]) + "\\t"}}, "a '\\' not followed by 'n'"},
  };
  for (const auto& [edits, reason] : cases) {
    inputs_.edited[0] = edited(edits);
    InsertResult result;
    const Outcome refused = insert_edited_dumps(inputs_, {}, result);
    ASSERT_TRUE(refused) << reason;
    EXPECT_EQ(refused->text().rfind("wordlist.txt:" + std::to_string(edits.begin()->first + 1) + ":", 0), 0u) << refused->text();
    EXPECT_NE(refused->text().find(reason), std::string::npos) << refused->text();
  }
}

TEST(WordListEditSmall, ACharacterTheTreesCannotWriteIsNamed) {
  // The small cartridge's text trees hold only the few codes its messages use.
  auto [inputs, dumps] = testing_support::small_insert(testing_support::small_image());
  ASSERT_EQ(split_lines(dumps[0])[1].substr(0, 5), "0001:");
  inputs.edited[0] = with_lines(dumps[0], {{2, "0001:\x81I\x82\xA0"}});  // ！あ
  InsertResult result;
  const Outcome refused = insert_edited_dumps(inputs, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "wordlist.txt:2:2: '\xE3\x81\x82' (U+3042) has no code in the text trees: "
                            "the game cannot write it in this kind of text");  // あ in UTF-8
  // More units than the decoder keeps of a message.
  std::string long_text = "0001:";
  for (int i = 0; i < 1920; ++i) long_text += "\x81I";  // ！
  inputs.edited[0] = with_lines(dumps[0], {{2, long_text}});
  const Outcome too_long = insert_edited_dumps(inputs, {}, result);
  ASSERT_TRUE(too_long);
  EXPECT_EQ(too_long->text(), "wordlist.txt:2: the text takes 1920 units; a message holds at most 1919 before its end code");
}

// The small cartridge with its image changed by hand, and its word-list dump.
struct HandMade {
  InsertInputs inputs;
  std::string words;
  MessageMap map;
  explicit HandMade(const std::function<void(std::vector<std::uint8_t>&, const MessageMap&)>& change) {
    std::vector<std::uint8_t> image = testing_support::small_image();
    change(image, word_list_map_of(image));
    map = word_list_map_of(image);
    testing_support::SmallInsert insert = testing_support::small_insert(std::move(image));
    inputs = std::move(insert.inputs);
    words = insert.dumps[0];
    EXPECT_FALSE(words.empty());
  }
};

TEST(WordListEditSmall, GroupsSharingAListAreOnePointerWord) {
  // Group 02 made to point at group 00's list: both now run to group 0E's.
  const HandMade made([](std::vector<std::uint8_t>& image, const MessageMap& map) {
    encode::put_word(image, cartridge_map::kGroupPointers.bank, cartridge_map::kGroupPointers.address + 4, map.entries[0].word);
  });
  ASSERT_EQ(made.map.entries.size(), 7u);
  ASSERT_EQ(made.map.entries[3].word, made.map.entries[0].word);
  InsertInputs inputs = made.inputs;
  inputs.edited[0] = with_lines(made.words, {{1, "0000:\x81I"}});  // ！
  InsertResult result;
  const Outcome refused = insert_edited_dumps(inputs, {}, result);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "wordlist.txt:1: entry 0000 and line 4 (entry 0200) are one pointer word " +
                                 address_text(0xC4, made.map.entries[0].word) +
                                 " (groups 00 and 02 share a list): edit both the same way");
  // Edited alike, they are one new message behind one rewritten word; the
  // old message stays for entry 0002, which points at it too.
  inputs.edited[0] = with_lines(made.words, {{1, "0000:\x81I"}, {4, "0200:\x81I"}});
  InsertSettings settings;
  settings.free = {{0xFB, {0xF000, 0xF100}}};
  const Outcome alike = insert_edited_dumps(inputs, settings, result);
  ASSERT_FALSE(alike) << alike->text();
  EXPECT_EQ(result.report.counts.messages_moved, 1u);
  const MessageMap after = word_list_map_of(result.image_file);
  EXPECT_EQ(after.entries[0].address, 0xF000);
  EXPECT_EQ(after.entries[3].address, 0xF000);
  EXPECT_EQ(after.entries[2].address, made.map.entries[2].address);
}

TEST(WordListEditSmall, AMessageSharingPartOfItsBytesMovesIntoDeclaredSpace) {
  // Entry 0200 pointed one byte into the message of entry 0000.
  const HandMade made([](std::vector<std::uint8_t>& image, const MessageMap& map) {
    encode::put_word(image, cartridge_map::kGroupPointers.bank, map.entries[2].word, map.entries[0].address + 1);
  });
  InsertInputs inputs = made.inputs;
  inputs.edited[0] = with_lines(made.words, {{1, "0000:\x81I"}});
  InsertResult result;
  const Outcome refused = insert_edited_dumps(inputs, {}, result);
  ASSERT_TRUE(refused);
  // ！ takes 8 to 15 bits: 16 bits are two of it.
  EXPECT_EQ(refused->text(), "wordlist.txt:1: entry 0000 needs 2 bytes in bank FB; no byte there is free: 2 bytes missing; "
                             "the translation needs about 2 characters fewer (16 bits over), or add --free BB:AAAA-BBBB");
  InsertSettings settings;
  settings.free = {{0xFB, {0xF000, 0xF100}}};
  const Outcome moved = insert_edited_dumps(inputs, settings, result);
  ASSERT_FALSE(moved) << moved->text();
  EXPECT_EQ(result.report.counts.messages_moved, 1u);
  EXPECT_EQ(result.report.counts.free_before - result.report.counts.free_after, 2);
  const MessageMap after = word_list_map_of(result.image_file);
  EXPECT_EQ(after.entries[0].address, 0xF000);
  EXPECT_EQ(after.entries[2].address, made.map.entries[2].address);
}

TEST(WordListEditSmall, OnlyTheMessagesInTheBytesTheBlockRewritesAreCopiedOut) {
  // Line 4 of the sequential block, the 18 bytes at FB:8009 after the
  // message at FB:8005, with two characters in its middle swapped: its bits
  // keep their length, and only the bytes between them change. Entry 0E00,
  // the last line of the word list, is pointed at or around those bytes and
  // left as it is.
  const auto [base, dumps] = testing_support::small_insert(testing_support::small_image());
  const std::string line(split_lines(dumps[1])[3]);
  ASSERT_EQ(line.substr(0, 9), "[FB:8009]");
  const std::size_t at = 9 + 2 * 8;  // the ninth character and the tenth, two bytes each
  const std::string swapped = line.substr(0, at) + line.substr(at + 2, 2) + line.substr(at, 2) + line.substr(at + 4);
  InsertSettings settings;
  settings.free = {{0xFB, {0xF000, 0xF100}}};
  const auto block_bytes = [](const std::vector<std::uint8_t>& image) {
    Cartridge cart;
    cart.bytes = image;
    const std::span<const std::uint8_t> bytes = rom_view(cart, 0xFB, 0x8009).first(18);
    return Bytes(bytes.begin(), bytes.end());
  };
  InsertInputs plain = base;
  plain.edited[1] = with_lines(dumps[1], {{4, swapped}});
  InsertResult swap;
  const Outcome swap_failure = insert_edited_dumps(plain, settings, swap);
  ASSERT_FALSE(swap_failure) << swap_failure->text();
  const Bytes before = block_bytes(base.image_file), after = block_bytes(swap.image_file);
  int first = 0, last = 18;
  while (first < last && before[first] == after[first]) ++first;
  while (last > first && before[last - 1] == after[last - 1]) --last;
  ASSERT_GT(first, 0);
  ASSERT_LT(last, 18);

  const struct {
    int pointer;
    bool copied;
  } cases[] = {
      {0x8005, false},            // the message before, which ends where the rewritten one starts
      {0x8009, true},             // the rewritten message itself
      {0x8009 + first, true},     // the first byte that changes
      {0x8009 + last - 1, true},  // the last
      {0x8009 + last, false},     // the byte after it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(address_text(0xFB, c.pointer));
    const HandMade made([&](std::vector<std::uint8_t>& image, const MessageMap& map) {
      encode::put_word(image, cartridge_map::kGroupPointers.bank, map.entries.back().word, c.pointer);
    });
    InsertInputs inputs = made.inputs;
    inputs.edited[1] = with_lines(dumps[1], {{4, swapped}});
    InsertResult result;
    const Outcome failure = insert_edited_dumps(inputs, settings, result);
    ASSERT_FALSE(failure) << failure->text();
    EXPECT_EQ(result.report.counts.sequential_rewritten, 1u);
    EXPECT_EQ(result.report.counts.messages_copied, c.copied ? 1u : 0u);
    EXPECT_EQ(word_list_map_of(result.image_file).entries.back().address, c.copied ? 0xF000 : c.pointer);
    const MemoryRun again = run_in_memory(result.image_file, inputs.opcode_file, DumpSettings{}, true);
    ASSERT_FALSE(again.failure);
    EXPECT_EQ(again.dumps[0], made.words);
  }

  // A message to copy out that finds no room is refused on its unchanged
  // line, with the bytes it lacks and its own characters they hold.
  const HandMade made([&](std::vector<std::uint8_t>& image, const MessageMap& map) {
    encode::put_word(image, cartridge_map::kGroupPointers.bank, map.entries.back().word, 0x8009 + first);
  });
  const int size = made.map.messages.at(0x8009 + first).size;
  ASSERT_GT(size, 1);
  // The unchanged line is named in the refusal of the edit that rewrote its bytes.
  const std::string needs = "wordlist2.txt:4: the unchanged message of wordlist.txt line 4 must be copied out of the bytes "
                            "this edit rewrites, and entry 0E00 needs " + std::to_string(size) + " bytes in bank FB; ";
  ASSERT_EQ(size, 12);
  const std::pair<std::vector<DeclaredRange>, std::string> rooms[] = {
      {{}, needs + "no byte there is free: 12 bytes missing; its text needs about 16 characters fewer (96 bits over), "
                   "or add --free BB:AAAA-BBBB"},
      {{{0xFB, {0xF000, 0xF001}}},
       needs + "the largest free range is FB:F000-F000 (1 byte): 11 bytes missing; its text needs about 15 characters fewer "
               "(88 bits over), or add --free BB:AAAA-BBBB"},
  };
  for (const auto& [free, reason] : rooms) {
    InsertInputs inputs = made.inputs;
    inputs.edited[1] = with_lines(dumps[1], {{4, swapped}});
    InsertSettings room;
    room.free = free;
    InsertResult result;
    const Outcome refused = insert_edited_dumps(inputs, room, result);
    ASSERT_TRUE(refused) << reason;
    EXPECT_EQ(refused->text(), reason);
  }
}

TEST(WordListEditSmall, EveryLineGivenATextTheTreesCannotWriteIsRefused) {
  // Lines 1 and 3 (entries 0000 and 0200) show one message through two
  // pointer words; the same text on both is encoded once, and refused on both.
  auto [inputs, dumps] = testing_support::small_insert(testing_support::small_image());
  const MessageMap map = word_list_map_of(inputs.image_file);
  ASSERT_EQ(map.entries[0].address, map.entries[2].address);
  ASSERT_NE(map.entries[0].word, map.entries[2].word);
  inputs.edited[0] = with_lines(dumps[0], {{1, "0000:\x81I\x82\xA0"}, {3, "0200:\x81I\x82\xA0"}});  // ！あ
  OriginalImage original{inputs.image_file, "small.smc", inputs.opcode_file, Encoding::shift_jis, {}, {}, {}};
  ASSERT_FALSE(load_original(original));
  ChangeSet changes;
  ASSERT_FALSE(changes_from_dumps(original.dump.dumps, inputs.edited, Encoding::shift_jis, changes));
  InsertResult result;
  ASSERT_FALSE(run_insert(original, changes, {}, result));
  std::vector<std::string> reasons;
  for (const Refusal& refusal : result.refusals) reasons.push_back(refusal.failure.text());
  const std::string reason = "'\xE3\x81\x82' (U+3042) has no code in the text trees: the game cannot write it in this kind of text";
  EXPECT_EQ(reasons, (std::vector<std::string>{"wordlist.txt:1:2: " + reason, "wordlist.txt:3:2: " + reason}));
  EXPECT_TRUE(result.image_file.empty());
}

TEST(WordListEditSmall, LinesOfOneMessageEditedApartTakeItsOwnBytesOnce) {
  // Lines 1 and 3 (entries 0000 and 0200) show the 4 bytes at FB:D07D
  // through two pointer words; edited apart, both new texts are shorter.
  // The first goes back into the freed bytes, the second must move.
  auto [inputs, dumps] = testing_support::small_insert(testing_support::small_image());
  const MessageMap before = word_list_map_of(inputs.image_file);
  ASSERT_EQ(before.entries[0].address, before.entries[2].address);
  inputs.edited[0] = with_lines(dumps[0], {{1, "0000:\x81I"}, {3, "0200:\x97\xE1"}});  // ！, 例
  InsertSettings settings;
  settings.free = {{0xFB, {0xF000, 0xF100}}};
  InsertResult result;
  const Outcome failure = insert_edited_dumps(inputs, settings, result);
  ASSERT_FALSE(failure) << failure->text();
  EXPECT_EQ(result.report.counts.messages_in_place, 1u);
  EXPECT_EQ(result.report.counts.messages_moved, 1u);
  const MessageMap after = word_list_map_of(result.image_file);
  EXPECT_EQ(after.entries[0].address, before.entries[0].address);
  EXPECT_EQ(after.entries[2].address, 0xF000);
  const MemoryRun again = run_in_memory(result.image_file, inputs.opcode_file, DumpSettings{}, true);
  ASSERT_FALSE(again.failure);
  EXPECT_EQ(again.dumps[0], *inputs.edited[0]);
}

}  // namespace
}  // namespace ambergale
