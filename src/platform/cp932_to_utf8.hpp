// Converts the dumps' Shift-JIS (code page 932) text to UTF-8 with the C
// library's iconv.
#pragma once

#include <string>
#include <string_view>

namespace ambergale {

class Cp932ToUtf8 {
 public:
  Cp932ToUtf8();
  ~Cp932ToUtf8();
  Cp932ToUtf8(const Cp932ToUtf8&) = delete;
  Cp932ToUtf8& operator=(const Cp932ToUtf8&) = delete;

  // False when the C library has no CP932 conversion.
  bool available() const;

  // Appends the UTF-8 form of `text` to `out`. A byte that does not start a
  // valid CP932 character becomes U+FFFD and the conversion goes on with the
  // next byte.
  void convert(std::string_view text, std::string& out) const;

 private:
  void* descriptor_;  // an iconv_t
};

}  // namespace ambergale
