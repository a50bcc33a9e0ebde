#include "insert/checksum.hpp"

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

bool apply_checksum_policy(ChecksumPolicy policy, std::span<const std::uint8_t> original, std::span<std::uint8_t> image) {
  if (policy == ChecksumPolicy::keep || (policy == ChecksumPolicy::automatic && !header_checksum_valid(original))) {
    return false;
  }
  const std::uint16_t checksum = compute_header_checksum(image);
  const auto put = [&](cartridge_map::RomAddress at, int word) {
    image[offset_of(at)] = static_cast<std::uint8_t>(word & 0xFF);
    image[offset_of(at) + 1] = static_cast<std::uint8_t>(word >> 8);
  };
  put(kHeaderComplement, checksum ^ 0xFFFF);
  put(kHeaderChecksum, checksum);
  return true;
}

}  // namespace ambergale
