#include "text/hex.hpp"

#include <algorithm>

namespace ambergale {

char* put_hex_wide(char* at, std::uint32_t value, int min_digits) {
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  digits = std::max(digits, std::min(min_digits, 16));
  for (int i = digits - 1; i >= 0; --i) {
    at[i] = kHexDigits[value & 0xF];
    value >>= 4;
  }
  return at + digits;
}

char* put_decimal(char* at, std::uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) *at++ = digits[--n];
  return at;
}

}  // namespace ambergale
