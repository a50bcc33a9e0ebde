// CodeStream bytes from unit values, for tests that write messages by hand.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ambergale::testing_support {

// Each unit as two bytes, low byte first.
inline std::vector<std::uint8_t> code_bytes(std::span<const std::uint16_t> units) {
  std::vector<std::uint8_t> bytes;
  for (std::uint16_t u : units) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return bytes;
}

inline std::vector<std::uint8_t> code_bytes(std::initializer_list<std::uint16_t> units) {
  return code_bytes(std::span<const std::uint16_t>(units.begin(), units.size()));
}

}  // namespace ambergale::testing_support
