// The storage behind the word-list lines, checked against the layout the
// test images were built with.
#include "insert/word_list_map.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

using namespace cartridge_map;

using testing_support::word_list_map_of;

TEST(WordListMap, FollowsTheLayoutOfTheSample) {
  const sample::SampleCartridge sample = sample::make_sample(5);
  const WordListMap map = word_list_map_of(sample.layout.image);
  std::vector<int> addresses;
  for (const auto& group : sample.layout.group_pointers) addresses.insert(addresses.end(), group.begin(), group.end());
  ASSERT_EQ(map.entries.size(), addresses.size());
  for (std::size_t i = 0; i < addresses.size(); ++i) EXPECT_EQ(map.entries[i].address, addresses[i]) << i;
  std::set<int> sequential;
  for (const auto& [address, units] : sample.layout.sequential) sequential.insert(address);
  EXPECT_GT(map.sequential().end, *sequential.rbegin());
  EXPECT_GE(map.scripts.end, kScriptGroups[2].end_address);
  // Messages the sequential block shows are not the word lists' own.
  std::size_t shared = 0;
  for (const auto& [address, message] : map.messages) {
    EXPECT_EQ(message.own_bytes, !sequential.count(address)) << address;
    EXPECT_EQ(message.units.back(), 0xFFFF);
    shared += sequential.count(address);
  }
  EXPECT_GT(shared, 10u);
}

TEST(WordListMap, MessagesSharingPartOfTheirBytesAreNotTheirOwn) {
  // Entry 0200 is pointed one byte into the message of entry 0000 (which it
  // shared in full before): both messages now share bytes.
  std::vector<std::uint8_t> image = testing_support::small_image();
  const WordListMap before = word_list_map_of(image);
  ASSERT_EQ(before.entries.size(), 4u);
  const WordListEntry& moved = before.entries[2];
  ASSERT_EQ(moved.address, before.entries[0].address);
  EXPECT_TRUE(before.messages.at(moved.address).own_bytes);
  encode::put_word(image, kGroupPointers.bank, moved.word, moved.address + 1);
  const WordListMap after = word_list_map_of(image);
  ASSERT_EQ(after.messages.size(), before.messages.size() + 1);
  EXPECT_FALSE(after.messages.at(moved.address).own_bytes);
  EXPECT_FALSE(after.messages.at(moved.address + 1).own_bytes);
}

TEST(WordListMap, TheByteAfterAnOddLastScriptBlockOfBankFbIsTheScripts) {
  // A script made the last block of bank FB: when it is odd, the decoder's
  // last word holds FB:7CB5, which no message may then take.
  std::vector<std::uint8_t> image = sample::make_sample(5).layout.image;
  const ScriptGroup& group = kScriptGroups[2];
  const int end = group.end_address;
  for (const int length : {2, 3}) {
    encode::put_word(image, kScriptPointers.bank, kScriptPointers.address + 2 * group.first, end - length);
    const WordListMap map = word_list_map_of(image);
    EXPECT_EQ(map.scripts.end, end + length % 2) << length;
    const DeclaredRange after{0xFB, {end, end + 1}};
    EXPECT_EQ(check_declared_ranges(map, std::span(&after, 1)).has_value(), length % 2 != 0) << length;
  }
}

TEST(WordListMap, DeclaredRangesMustLieOutsideEverythingKnown) {
  const WordListMap map = word_list_map_of(testing_support::small_image());
  const int message = map.entries[0].address;
  const auto declared = [](int bank, int start, int end) { return DeclaredRange{bank, {start, end}}; };
  const std::pair<DeclaredRange, std::string> cases[] = {
      {declared(0xFA, 0xF000, 0xF100), "--free FA:F000-F0FF: moved messages can go only into bank FB"},
      {declared(0xFB, 0x7C00, 0x7D00), "--free FB:7C00-7CFF holds bytes of the event scripts (FB:0000-7CB"},
      {declared(0xFB, map.sequential().end - 1, 0xF000), "holds bytes of the sequential block (FB:8000-"},
      {declared(0xFB, message + 1, message + 2), "holds bytes of a word-list message"},
  };
  for (const auto& [range, reason] : cases) {
    const Outcome refused = check_declared_ranges(map, std::span(&range, 1));
    ASSERT_TRUE(refused) << reason;
    EXPECT_NE(refused->text().find(reason), std::string::npos) << refused->text();
  }
  const DeclaredRange fine = declared(0xFB, 0xF000, 0x10000);
  EXPECT_FALSE(check_declared_ranges(map, std::span(&fine, 1)));
}

}  // namespace
}  // namespace ambergale
