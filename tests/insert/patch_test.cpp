#include "insert/patch.hpp"

#include <gtest/gtest.h>

#include <random>

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An image of `size` random bytes and a copy with `changes` applied.
struct Pair {
  Bytes source, target;
};
Pair pair_with(std::size_t size, const std::vector<std::pair<std::size_t, std::size_t>>& changes) {
  std::mt19937 random(7);
  Pair p;
  p.source.resize(size);
  for (auto& b : p.source) b = static_cast<std::uint8_t>(random());
  p.target = p.source;
  for (const auto& [at, length] : changes) {
    for (std::size_t i = at; i < at + length; ++i) p.target[i] = static_cast<std::uint8_t>(p.target[i] ^ 0x5A);
  }
  return p;
}

TEST(Patches, FirstDifferenceFindsTheNextChangedByte) {
  const std::vector<std::uint8_t> a(1000, 7);
  for (const std::size_t changed : {0u, 255u, 256u, 257u, 511u, 999u}) {
    std::vector<std::uint8_t> b = a;
    b[changed] = 8;
    EXPECT_EQ(first_difference(a, b, 0), changed);
    EXPECT_EQ(first_difference(a, b, changed), changed);
    EXPECT_EQ(first_difference(a, b, changed + 1), a.size());
  }
  EXPECT_EQ(first_difference(a, a, 0), a.size());
}

TEST(Patches, UnchangedImagesGiveTheSmallestPatches) {
  const Pair p = pair_with(4 << 20, {});
  EXPECT_EQ(make_ips(p.source, p.target), "PATCHEOF");
  const std::string bps = make_bps(p.source, p.target);
  EXPECT_EQ(bps.size(), 4u + 4 + 4 + 1 + 4 + 12);  // header, sizes, no metadata, one source read, checksums
  Bytes applied;
  ASSERT_FALSE(apply_bps(p.source, bps, applied));
  EXPECT_EQ(applied, p.target);
}

TEST(Patches, EveryKindOfChangeAppliesBackExactly) {
  const std::vector<std::vector<std::pair<std::size_t, std::size_t>>> cases = {
      {{0, 1}},                                  // the first byte
      {{(4 << 20) - 1, 1}},                      // the last byte
      {{100, 3}, {106, 2}},                      // close runs, merged into one IPS record
      {{1000, 70000}},                           // longer than one IPS record
      {{0x10000, 5}, {0x200000, 0x20000}},
  };
  for (const auto& changes : cases) {
    const Pair p = pair_with(4 << 20, changes);
    Bytes from_ips, from_bps;
    ASSERT_FALSE(apply_ips(p.source, make_ips(p.source, p.target), from_ips));
    ASSERT_FALSE(apply_bps(p.source, make_bps(p.source, p.target), from_bps));
    EXPECT_EQ(from_ips, p.target);
    EXPECT_EQ(from_bps, p.target);
  }
}

TEST(Patches, NoIpsRecordStartsWhereItWouldReadAsTheEnd) {
  // Only an image past 4 MiB reaches the offset 0x454F46 ("EOF").
  for (const std::size_t at : {std::size_t{0x454F46}, std::size_t{0x454F46 - 0xFFFF}}) {
    const Pair p = pair_with(0x460000, {{at, 0x100}});
    const std::string ips = make_ips(p.source, p.target);
    for (std::size_t record = 5; record + 3 <= ips.size() - 3;) {
      const std::size_t offset = std::uint8_t(ips[record]) << 16 | std::uint8_t(ips[record + 1]) << 8 | std::uint8_t(ips[record + 2]);
      const std::size_t size = std::uint8_t(ips[record + 3]) << 8 | std::uint8_t(ips[record + 4]);
      EXPECT_NE(offset, 0x454F46u);
      record += 5 + size;
    }
    Bytes applied;
    ASSERT_FALSE(apply_ips(p.source, ips, applied));
    EXPECT_EQ(applied, p.target);
  }
}

TEST(Patches, BadPatchesAreRefused) {
  const Pair p = pair_with(1 << 16, {{10, 4}});
  const std::string ips = make_ips(p.source, p.target);
  const std::string bps = make_bps(p.source, p.target);
  const Pair other = pair_with(1 << 16, {{20, 4}});
  Bytes applied;
  const std::pair<const char*, Outcome> refused[] = {
      {"IPS without its header", apply_ips(p.source, "PATCH", applied)},
      {"IPS cut inside a record", apply_ips(p.source, ips.substr(0, 12), applied)},
      {"IPS with bytes after EOF", apply_ips(p.source, ips + "x", applied)},
      {"BPS with a wrong magic", apply_bps(p.source, "BPS2" + bps.substr(4), applied)},
      {"BPS with a byte changed", apply_bps(p.source, bps.substr(0, 20) + char(bps[20] ^ 1) + bps.substr(21), applied)},
      {"BPS cut short", apply_bps(p.source, bps.substr(0, bps.size() - 1), applied)},
      {"BPS for another image", apply_bps(other.target, bps, applied)},
  };
  for (const auto& [what, failure] : refused) EXPECT_TRUE(failure) << what;
  EXPECT_NE(apply_bps(other.target, bps, applied)->reason.find("another image"), std::string::npos);
}

}  // namespace
}  // namespace ambergale
