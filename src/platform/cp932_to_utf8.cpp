#include "platform/cp932_to_utf8.hpp"

#include <iconv.h>

#include <cerrno>

namespace ambergale {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
const auto kNoDescriptor = reinterpret_cast<iconv_t>(-1);

}  // namespace

Cp932ToUtf8::Cp932ToUtf8() : descriptor_(iconv_open("UTF-8", "CP932")) {}

Cp932ToUtf8::~Cp932ToUtf8() {
  if (available()) iconv_close(static_cast<iconv_t>(descriptor_));
}

bool Cp932ToUtf8::available() const { return static_cast<iconv_t>(descriptor_) != kNoDescriptor; }

void Cp932ToUtf8::convert(std::string_view text, std::string& out) const {
  const auto cd = static_cast<iconv_t>(descriptor_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  while (in_left > 0) {
    // A CP932 character of one or two bytes is at most three bytes of UTF-8.
    const std::size_t start = out.size();
    out.resize(start + 3 * in_left + 4);
    char* to = out.data() + start;
    std::size_t to_left = out.size() - start;
    const std::size_t result = iconv(cd, &in, &in_left, &to, &to_left);
    out.resize(static_cast<std::size_t>(to - out.data()));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // EILSEQ, or EINVAL for a lead byte at the end: one byte is replaced.
      out.append(kReplacement);
      ++in;
      --in_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

Utf8ToCp932::Utf8ToCp932() : descriptor_(iconv_open("CP932", "UTF-8")) {}

Utf8ToCp932::~Utf8ToCp932() {
  if (available()) iconv_close(static_cast<iconv_t>(descriptor_));
}

bool Utf8ToCp932::available() const { return static_cast<iconv_t>(descriptor_) != kNoDescriptor; }

bool Utf8ToCp932::convert(std::string_view text, std::string& out, std::size_t& bad_at) const {
  const auto cd = static_cast<iconv_t>(descriptor_);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.assign(2 * text.size() + 4, '\0');  // a UTF-8 character is never shorter than its CP932 form
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  char* to = out.data();
  std::size_t to_left = out.size();
  const std::size_t result = iconv(cd, &in, &in_left, &to, &to_left);
  out.resize(static_cast<std::size_t>(to - out.data()));
  bad_at = static_cast<std::size_t>(in - text.data());
  return result != static_cast<std::size_t>(-1);
}

}  // namespace ambergale
