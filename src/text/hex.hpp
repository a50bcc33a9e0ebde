// Upper-case hexadecimal and decimal fields, written without a format
// string: the dumps write millions of them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <cstring>

#include "text/text_buffer.hpp"

namespace ambergale {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The two hex digits of every byte, back to back: one copy per byte.
inline constexpr std::array<char, 512> kHexPairs = [] {
  std::array<char, 512> pairs{};
  for (int b = 0; b < 256; ++b) {
    pairs[2 * b] = kHexDigits[b >> 4];
    pairs[2 * b + 1] = kHexDigits[b & 0xF];
  }
  return pairs;
}();

// Writes `byte` as two hex digits at `at`.
inline void put_hex2(char* at, std::uint8_t byte) { std::memcpy(at, &kHexPairs[2 * byte], 2); }

// put_hex for the fields that need more than four digits, or another width.
char* put_hex_wide(char* at, std::uint32_t value, int min_digits);

// Writes `value` in hexadecimal at `at`, zero-padded to at least `min_digits`
// digits (at most 16 written); returns the end of what it wrote.
inline char* put_hex(char* at, std::uint32_t value, int min_digits) {
  if (min_digits == 4 && value <= 0xFFFF) {  // the common field, inline
    put_hex2(at, static_cast<std::uint8_t>(value >> 8));
    put_hex2(at + 2, static_cast<std::uint8_t>(value));
    return at + 4;
  }
  return put_hex_wide(at, value, min_digits);
}

// Writes `value` in plain decimal at `at` (at most 10 digits); returns the end.
char* put_decimal(char* at, std::uint32_t value);

// Appends `value` in upper-case hexadecimal, zero-padded to at least
// `min_digits` digits; a value that needs more digits gets them all.
inline void append_hex(TextBuffer& out, std::uint32_t value, int min_digits) {
  out.commit(put_hex(out.room(16), value, min_digits));
}

// `value` in upper-case hexadecimal, as a string for messages.
inline std::string hex_text(std::uint32_t value, int min_digits) {
  TextBuffer text;
  append_hex(text, value, min_digits);
  return std::string(text.view());
}

// The hex form of a 16-bit unit that has no text: its two bytes, low byte
// first, so unit 0x0FF9 is written F90F.
inline void append_unit_hex(TextBuffer& out, std::uint8_t low, std::uint8_t high) {
  char* at = out.room(4);
  put_hex2(at, low);
  put_hex2(at + 2, high);
  out.commit(at + 4);
}

}  // namespace ambergale
