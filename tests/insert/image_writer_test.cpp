// The image writer: only bytes the plan owns are written, each write checked
// when it is made.
#include "insert/image_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace ambergale {
namespace {

TEST(ImageWriter, WritesOnlyInsideTheExtentsThePlanOwns) {
  // Owned: 10-19 and 20-24 (touching, so one), and 40-41.
  const std::vector<Extent> owned = {{20, 5}, {10, 10}, {40, 2}, {50, 0}};
  const struct {
    std::size_t offset;
    std::size_t size;
    bool written;
  } cases[] = {
      {10, 15, true},   // across the two touching extents
      {12, 3, true},    // inside
      {40, 2, true},    // a whole extent
      {9, 2, false},    // starts before
      {24, 2, false},   // runs past
      {30, 1, false},   // between
      {41, 2, false},   // past the last
      {50, 1, false},   // an empty extent owns nothing
      {60, 8, false},   // past the image
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> image(64, 0);
    ImageWriter writer(image, owned);
    const std::vector<std::uint8_t> bytes(c.size, 0xAB);
    const Outcome refused = writer.write(c.offset, bytes);
    EXPECT_EQ(!refused, c.written) << c.offset << "+" << c.size;
    const std::size_t changed = static_cast<std::size_t>(std::count(image.begin(), image.end(), 0xAB));
    EXPECT_EQ(changed, c.written ? c.size : 0) << c.offset << "+" << c.size;
    EXPECT_EQ(writer.written().size(), c.written ? 1u : 0u);
  }
}

TEST(ImageWriter, CarriesOutAPlanAndTheChecksumOnlyWhenABytesChanged) {
  std::vector<std::uint8_t> original(0x10000, 0);
  InsertPlan plan(original);
  const std::vector<std::uint8_t> same = {0, 0};
  plan.claim(0x100, 2);
  plan.write(0xC0, 0x0100, same);
  std::vector<std::uint8_t> image = original;
  bool checksum = true;
  ASSERT_FALSE(write_plan(plan, ChecksumPolicy::fix, original, image, checksum));
  EXPECT_FALSE(checksum);  // nothing changed: the checksum is left alone
  EXPECT_TRUE(image == original);

  const std::vector<std::uint8_t> bytes = {1, 2};
  plan.write(0xC0, 0x0100, bytes);
  ASSERT_FALSE(write_plan(plan, ChecksumPolicy::fix, original, image, checksum));
  EXPECT_TRUE(checksum);
  EXPECT_EQ(image[0x100], 1);
  EXPECT_EQ(image[0x101], 2);

  // A write the plan did not claim never reaches the image.
  plan.write(0xC0, 0x0200, bytes);
  std::vector<std::uint8_t> refused_image = original;
  const Outcome refused = write_plan(plan, ChecksumPolicy::keep, original, refused_image, checksum);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused_image[0x200], 0);
}

}  // namespace
}  // namespace ambergale
