#include "platform/crc32.hpp"

#include <zlib.h>

namespace ambergale {

std::uint32_t crc32_of(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint32_t>(::crc32(::crc32(0, nullptr, 0), bytes.data(), static_cast<uInt>(bytes.size())));
}

}  // namespace ambergale
