#include "text/shown_character.hpp"

#include "platform/cp932_to_utf8.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

constexpr char32_t kReplacement = 0xFFFD;  // what the conversion puts for bytes it cannot read

// The bytes of a UTF-8 character that starts with `lead`; 0 for a byte
// that starts none.
std::size_t utf8_length(char32_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// The character UTF-8 `text` starts with, and its length in bytes: nothing
// when the bytes are no UTF-8 (a stray or missing continuation byte, an
// overlong form, a surrogate, a value past U+10FFFF).
std::optional<char32_t> leading_character(std::string_view text, std::size_t& length) {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[i])); };
  if (text.empty()) return std::nullopt;
  const char32_t lead = byte(0);
  length = utf8_length(lead);
  if (length == 0 || text.size() < length) return std::nullopt;
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // below these, a shorter form exists
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (byte(i) & 0x3F);
  }
  if (value < kLeast[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return std::nullopt;
  return value;
}

std::string utf8_of(char32_t value) {
  if (value < 0x80) return std::string(1, static_cast<char>(value));
  const int length = value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
  constexpr unsigned char kLeadBits[] = {0, 0, 0xC0, 0xE0, 0xF0};
  std::string out(static_cast<std::size_t>(length), '\0');
  for (int i = length - 1; i > 0; --i, value >>= 6) out[static_cast<std::size_t>(i)] = static_cast<char>(0x80 | (value & 0x3F));
  out[0] = static_cast<char>(kLeadBits[length] | value);
  return out;
}

}  // namespace

std::optional<char32_t> unicode_of(std::string_view character) {
  const Cp932ToUtf8 to_utf8;
  if (!to_utf8.available() || character.empty() || character.size() > 2) return std::nullopt;
  std::string utf8;
  to_utf8.convert(character, utf8);
  std::size_t length = 0;
  const std::optional<char32_t> value = leading_character(utf8, length);
  if (!value || length != utf8.size() || *value == kReplacement) return std::nullopt;
  return value;
}

std::string shown_character(char32_t value) {
  const std::string code = "U+" + hex_text(value, 4);
  if (value < 0x20 || value == 0x7F) return code;
  return "'" + utf8_of(value) + "' (" + code + ")";
}

std::string no_character(std::string_view bytes) {
  std::string listed;
  for (const char b : bytes) listed += " " + hex_text(static_cast<unsigned char>(b), 2);
  return (bytes.size() == 1 ? "the byte" : "the bytes") + listed + (bytes.size() == 1 ? " is" : " are") +
         " no Shift-JIS character";
}

std::string shown_unit(std::uint16_t unit) {
  if (unit < kCharTableSize && !kCharTable[unit].empty() && unit != kLineBreak && unit != kOtherLineBreak) {
    if (const std::optional<char32_t> value = unicode_of(kCharTable[unit])) return shown_character(*value);
  }
  return "<" + hex_text(unit & 0xFF, 2) + hex_text(unit >> 8, 2) + ">";
}

std::string not_converted(std::string_view utf8, std::size_t at) {
  std::size_t length = 0;
  const std::optional<char32_t> value = leading_character(utf8.substr(at), length);
  return value ? "starts " + shown_character(*value) + ", which Shift-JIS does not have" : "is not UTF-8";
}

}  // namespace ambergale
