#include "insert/checksum.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "cartridge/cartridge.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kComplement = 0xFFDC;  // bank C0 at file offset 0
constexpr std::size_t kChecksum = 0xFFDE;

Bytes image_with_valid_checksum() {
  Bytes image(kImageSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  const std::uint16_t sum = compute_header_checksum(image);
  image[kComplement] = static_cast<std::uint8_t>(~sum & 0xFF);
  image[kComplement + 1] = static_cast<std::uint8_t>((~sum >> 8) & 0xFF);
  image[kChecksum] = static_cast<std::uint8_t>(sum & 0xFF);
  image[kChecksum + 1] = static_cast<std::uint8_t>(sum >> 8);
  return image;
}

TEST(HeaderChecksum, IsTheSumOfEveryByteWithAValidPair) {
  const Bytes image = image_with_valid_checksum();
  EXPECT_TRUE(header_checksum_valid(image));
  const std::uint32_t total = std::accumulate(image.begin(), image.end(), std::uint32_t{0});
  EXPECT_EQ(compute_header_checksum(image), total & 0xFFFF);
  Bytes changed = image;
  changed[0x390000] ^= 1;
  EXPECT_FALSE(header_checksum_valid(changed));
}

TEST(HeaderChecksum, EachPolicyTouchesThePairOnlyAsItSays) {
  const Bytes valid = image_with_valid_checksum();
  Bytes invalid = valid;
  invalid[kChecksum] ^= 0xFF;
  struct Case {
    ChecksumPolicy policy;
    const Bytes* original;
    bool rewritten;
  };
  for (const Case& c : {Case{ChecksumPolicy::automatic, &valid, true}, Case{ChecksumPolicy::automatic, &invalid, false},
                        Case{ChecksumPolicy::fix, &invalid, true}, Case{ChecksumPolicy::keep, &valid, false}}) {
    Bytes edited = *c.original;
    edited[0x3B8000] ^= 0x40;
    const Bytes before = edited;
    EXPECT_EQ(apply_checksum_policy(c.policy, *c.original, edited), c.rewritten);
    EXPECT_EQ(header_checksum_valid(edited), c.rewritten);
    for (std::size_t i = 0; i < edited.size(); ++i) {
      if (i < kComplement || i >= kChecksum + 2) {
        ASSERT_EQ(edited[i], before[i]) << i;
      }
    }
  }
}

}  // namespace
}  // namespace ambergale
