// The CRC-32 of a run of bytes, zlib's, as BPS patches and catalogues give it.
#pragma once

#include <cstdint>
#include <span>

namespace ambergale {

std::uint32_t crc32_of(std::span<const std::uint8_t> bytes);

}  // namespace ambergale
