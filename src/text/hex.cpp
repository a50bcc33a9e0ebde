#include "text/hex.hpp"

#include <algorithm>

namespace ambergale {

void append_hex(std::string& out, std::uint32_t value, int min_digits) {
  char text[16];
  if (min_digits == 4 && value <= 0xFFFF) {  // the common field, without the loop
    put_hex2(text, static_cast<std::uint8_t>(value >> 8));
    put_hex2(text + 2, static_cast<std::uint8_t>(value));
    out.append(text, 4);
    return;
  }
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  digits = std::max(digits, std::min(min_digits, 16));
  for (int i = digits - 1; i >= 0; --i) {
    text[i] = kHexDigits[value & 0xF];
    value >>= 4;
  }
  out.append(text, static_cast<std::size_t>(digits));
}

void append_decimal(std::string& out, std::uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

}  // namespace ambergale
