// Upper-case hexadecimal and decimal fields, appended without a format
// string: the dumps write millions of them.
#pragma once

#include <cstdint>
#include <string>

namespace ambergale {

// Appends `value` in upper-case hexadecimal, zero-padded to at least
// `min_digits` digits; a value that needs more digits gets them all.
void append_hex(std::string& out, std::uint32_t value, int min_digits);

// Appends `value` in plain decimal.
void append_decimal(std::string& out, std::uint32_t value);

// The hex form of a 16-bit unit that has no text: its two bytes, low byte
// first, so unit 0x0FF9 is written F90F.
inline void append_unit_hex(std::string& out, std::uint8_t low, std::uint8_t high) {
  append_hex(out, low, 2);
  append_hex(out, high, 2);
}

}  // namespace ambergale
