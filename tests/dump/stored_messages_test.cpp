// The storage behind the word-list lines, checked against the layout the
// test images were built with.
#include "dump/stored_messages.hpp"

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

TEST(MessageMap, FollowsTheLayoutOfTheSample) {
  const sample::SampleCartridge sample = sample::make_sample(5);
  const MessageMap map = word_list_map_of(sample.layout.image);
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

TEST(MessageMap, MessagesSharingPartOfTheirBytesAreNotTheirOwn) {
  // Entry 0200 is pointed one byte into the message of entry 0000 (which it
  // shared in full before): both messages now share bytes.
  std::vector<std::uint8_t> image = testing_support::small_image();
  const MessageMap before = word_list_map_of(image);
  ASSERT_EQ(before.entries.size(), 4u);
  const WordListEntry& moved = before.entries[2];
  ASSERT_EQ(moved.address, before.entries[0].address);
  EXPECT_TRUE(before.messages.at(moved.address).own_bytes);
  encode::put_word(image, kGroupPointers.bank, moved.word, moved.address + 1);
  const MessageMap after = word_list_map_of(image);
  ASSERT_EQ(after.messages.size(), before.messages.size() + 1);
  EXPECT_FALSE(after.messages.at(moved.address).own_bytes);
  EXPECT_FALSE(after.messages.at(moved.address + 1).own_bytes);
}

}  // namespace
}  // namespace ambergale
