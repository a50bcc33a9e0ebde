#include "text/shown_character.hpp"

#include "platform/cp932_to_utf8.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

constexpr char32_t kReplacement = 0xFFFD;  // what the conversion puts for bytes it cannot read

// The value of `utf8` when it is one character, of one to three bytes (all
// a CP932 character becomes).
std::optional<char32_t> single_value(std::string_view utf8) {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(utf8[i])); };
  if (utf8.size() == 1 && byte(0) < 0x80) return byte(0);
  if (utf8.size() == 2 && (byte(0) & 0xE0) == 0xC0) return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
  if (utf8.size() == 3 && (byte(0) & 0xF0) == 0xE0) return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
  return std::nullopt;
}

std::string utf8_of(char32_t value) {
  std::string out;
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | value >> 6);
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | value >> 12);
    out += static_cast<char>(0x80 | (value >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
  return out;
}

}  // namespace

std::optional<char32_t> unicode_of(std::string_view character) {
  const Cp932ToUtf8 to_utf8;
  if (!to_utf8.available() || character.empty() || character.size() > 2) return std::nullopt;
  std::string utf8;
  to_utf8.convert(character, utf8);
  const std::optional<char32_t> value = single_value(utf8);
  if (value == kReplacement) return std::nullopt;
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

}  // namespace ambergale
