// Patches from one image to another, and their appliers.
//
// IPS: "PATCH", then records of a 3-byte big-endian offset, a 2-byte
// big-endian size and that many bytes (at most 65535), then "EOF". A record
// may not start at offset 0x454F46, which reads as "EOF": such a record
// starts a byte earlier. No checksum.
//
// BPS: "BPS1", the source, target and metadata sizes as variable-length
// numbers, then actions ((length - 1) << 2 | command: 0 copies the source's
// bytes at the same place, 1 takes the bytes that follow in the patch; 2 and
// 3, copies from elsewhere, are read but never written), then the CRC32s of
// the source, the target and the patch before them, little-endian.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

// The first offset at or after `from` where two images of one size differ,
// or their size when none does.
std::size_t first_difference(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::size_t from);

// Both images have the same size.
std::string make_ips(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target);
std::string make_bps(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target);

// Applies `patch` to `source` into `target`. A malformed patch, or (BPS) a
// checksum that does not match, is refused.
Outcome apply_ips(std::span<const std::uint8_t> source, std::string_view patch, std::vector<std::uint8_t>& target);
Outcome apply_bps(std::span<const std::uint8_t> source, std::string_view patch, std::vector<std::uint8_t>& target);

}  // namespace ambergale
