// Upper-case hexadecimal and decimal fields, appended without a format
// string: the dumps write millions of them.
#pragma once

#include <cstdint>
#include <string>

namespace ambergale {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends `value` in upper-case hexadecimal, zero-padded to at least
// `min_digits` digits; a value that needs more digits gets them all.
void append_hex(std::string& out, std::uint32_t value, int min_digits);

// Writes `byte` as two hex digits at `at`.
inline void put_hex2(char* at, std::uint8_t byte) {
  at[0] = kHexDigits[byte >> 4];
  at[1] = kHexDigits[byte & 0xF];
}

// Appends `value` in plain decimal.
void append_decimal(std::string& out, std::uint32_t value);

// The hex form of a 16-bit unit that has no text: its two bytes, low byte
// first, so unit 0x0FF9 is written F90F.
inline void append_unit_hex(std::string& out, std::uint8_t low, std::uint8_t high) {
  char text[4];
  put_hex2(text, low);
  put_hex2(text + 2, high);
  out.append(text, 4);
}

}  // namespace ambergale
