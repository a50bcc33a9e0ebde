#include "insert/checksum.hpp"

#include <algorithm>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"

namespace ambergale {

namespace {

using cartridge_map::kHeaderChecksum;
using cartridge_map::kHeaderComplement;

std::size_t offset_of(cartridge_map::RomAddress at) { return static_cast<std::size_t>(rom_offset(at.bank, at.address)); }

int word_at(std::span<const std::uint8_t> image, std::size_t at) { return image[at] | image[at + 1] << 8; }

}  // namespace

std::size_t header_checksum_offset() { return offset_of(kHeaderComplement); }

std::uint16_t compute_header_checksum(std::span<const std::uint8_t> image) {
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : image) sum += byte;
  const std::size_t pair = offset_of(kHeaderComplement);
  for (std::size_t at = pair; at < pair + 4; ++at) sum -= image[at];
  return static_cast<std::uint16_t>(sum + 0x1FE);  // what a valid pair adds
}

bool header_checksum_valid(std::span<const std::uint8_t> image) {
  const int checksum = word_at(image, offset_of(kHeaderChecksum));
  return checksum == compute_header_checksum(image) && word_at(image, offset_of(kHeaderComplement)) == (checksum ^ 0xFFFF);
}

std::optional<std::array<std::uint8_t, 4>> checksum_bytes(ChecksumPolicy policy, std::span<const std::uint8_t> original,
                                                          std::span<const std::uint8_t> image) {
  if (policy == ChecksumPolicy::keep || (policy == ChecksumPolicy::automatic && !header_checksum_valid(original))) {
    return std::nullopt;
  }
  const std::uint16_t checksum = compute_header_checksum(image);
  const auto complement = static_cast<std::uint16_t>(checksum ^ 0xFFFF);
  // The complement comes first, each little-endian.
  return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(complement & 0xFF), static_cast<std::uint8_t>(complement >> 8),
                                     static_cast<std::uint8_t>(checksum & 0xFF), static_cast<std::uint8_t>(checksum >> 8)};
}

bool apply_checksum_policy(ChecksumPolicy policy, std::span<const std::uint8_t> original, std::span<std::uint8_t> image) {
  const std::optional<std::array<std::uint8_t, 4>> pair = checksum_bytes(policy, original, image);
  if (!pair) return false;
  std::copy(pair->begin(), pair->end(), image.begin() + static_cast<std::ptrdiff_t>(offset_of(kHeaderComplement)));
  return true;
}

}  // namespace ambergale
