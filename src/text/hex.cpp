#include "text/hex.hpp"

namespace ambergale {

void append_hex(std::string& out, std::uint32_t value, int min_digits) {
  char digits[8];
  int n = 0;
  do {
    digits[n++] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int i = n; i < min_digits; ++i) out.push_back('0');
  while (n > 0) out.push_back(digits[--n]);
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
