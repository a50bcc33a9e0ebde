// The cartridge header's checksum: the 16-bit sum of all the image's bytes,
// with its complement (checksum XOR 0xFFFF) stored before it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace ambergale {

enum class ChecksumPolicy {
  automatic,  // recompute only when the original image's pair was valid
  fix,        // always recompute
  keep,       // never touch it
};

// The checksum the image's bytes give (the stored pair counted as a valid one).
std::uint16_t compute_header_checksum(std::span<const std::uint8_t> image);

// Whether the stored checksum and complement match the image.
bool header_checksum_valid(std::span<const std::uint8_t> image);

// Where the complement and the checksum lie in the image: four bytes.
std::size_t header_checksum_offset();

// The complement and checksum, as stored, that `policy` gives the edited
// image `image` (whose original was `original`); nothing when it leaves
// them alone.
std::optional<std::array<std::uint8_t, 4>> checksum_bytes(ChecksumPolicy policy, std::span<const std::uint8_t> original,
                                                          std::span<const std::uint8_t> image);

// Applies `policy` to the edited image `image`, whose original was `original`.
// Returns whether the pair was rewritten.
bool apply_checksum_policy(ChecksumPolicy policy, std::span<const std::uint8_t> original, std::span<std::uint8_t> image);

}  // namespace ambergale
