// Converts between the dumps' Shift-JIS (code page 932) text and UTF-8 with
// the C library's iconv.
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

// The other way, for text a user edited in UTF-8: nothing is replaced.
class Utf8ToCp932 {
 public:
  Utf8ToCp932();
  ~Utf8ToCp932();
  Utf8ToCp932(const Utf8ToCp932&) = delete;
  Utf8ToCp932& operator=(const Utf8ToCp932&) = delete;

  bool available() const;

  // Sets `out` to the CP932 form of `text`. False, with `bad_at` the byte
  // offset in `text`, at the first byte that is not UTF-8 or a character
  // CP932 does not have.
  bool convert(std::string_view text, std::string& out, std::size_t& bad_at) const;

 private:
  void* descriptor_;
};

}  // namespace ambergale
