// The ranges a user declares free for moved word-list messages, checked
// against the map of what the image stores.
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"
#include "insert/word_list_edit.hpp"
#include "sample/sample_content.hpp"
#include "support/image_maps.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale {
namespace {

using namespace cartridge_map;

using testing_support::word_list_map_of;

TEST(DeclaredRanges, TheByteAfterAnOddLastScriptBlockOfBankFbIsTheScripts) {
  // A script made the last block of bank FB: when it is odd, the decoder's
  // last word holds FB:7CB5, which no message may then take.
  std::vector<std::uint8_t> image = sample::make_sample(5).layout.image;
  const ScriptGroup& group = kScriptGroups[2];
  const int end = group.end_address;
  for (const int length : {2, 3}) {
    encode::put_word(image, kScriptPointers.bank, kScriptPointers.address + 2 * group.first, end - length);
    const MessageMap map = word_list_map_of(image);
    EXPECT_EQ(map.scripts.end, end + length % 2) << length;
    const DeclaredRange after{0xFB, {end, end + 1}};
    EXPECT_EQ(check_declared_ranges(map, std::span(&after, 1)).has_value(), length % 2 != 0) << length;
  }
}

TEST(DeclaredRanges, DeclaredRangesMustLieOutsideEverythingKnown) {
  const MessageMap map = word_list_map_of(testing_support::small_image());
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
