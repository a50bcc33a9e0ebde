#include "text/fullwidth.hpp"

#include <array>
#include <cstdint>
#include <optional>

#include "text/char_table.hpp"
#include "text/shown_character.hpp"

namespace ambergale {

namespace {

// Letters and digits stand at their ASCII codes in the table; of the other
// characters, these have a counterpart.
struct Counterpart {
  char ascii;
  std::uint16_t code;
};
constexpr std::array<Counterpart, 19> kPunctuation = {{
    {' ', 0x0020},   // ideographic space
    {'!', 0x0021},   // ！
    {'"', 0x0022},   // ”
    {'%', 0x0025},   // ％
    {'\'', 0x0027},  // ’
    {'(', 0x0028},   // （
    {')', 0x0029},   // ）
    {'*', 0x002A},   // ＊
    {'+', 0x002B},   // ＋
    {',', 0x002C},   // ，
    {'.', 0x002E},   // ．
    {'/', 0x002F},   // ／
    {':', 0x003A},   // ：
    {'=', 0x003D},   // ＝
    {'?', 0x003F},   // ？
    {'[', 0x0290},   // ［
    {']', 0x0291},   // ］
    {'_', 0x012B},   // ＿
    {'~', 0x0060},   // ～
}};

bool alphanumeric(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool in_table(std::string_view text) {
  for (const std::string_view entry : kCharTable) {
    if (entry == text) return true;
  }
  return false;
}

// ASCII c has its full-width form at U+FEE0 + c: '!' U+FF01 to '~' U+FF5E.
constexpr char32_t kFullwidthOffset = 0xFEE0;

// "write 'Ａ' (U+FF21)"
std::string write(std::string_view character) {
  const std::optional<char32_t> value = unicode_of(character);
  return value ? "write " + shown_character(*value) : std::string();
}

}  // namespace

std::string_view fullwidth_counterpart(char c) {
  if (alphanumeric(c)) return kCharTable[static_cast<unsigned char>(c)];
  for (const Counterpart& counterpart : kPunctuation) {
    if (counterpart.ascii == c) return kCharTable[counterpart.code];
  }
  return {};
}

std::string written_instead(std::string_view character) {
  const std::optional<char32_t> value = unicode_of(character);
  if (!value) return {};
  if (*value >= ' ' && *value <= '~') {
    const std::string_view counterpart = fullwidth_counterpart(static_cast<char>(*value));
    return counterpart.empty() ? std::string() : write(counterpart) + ", or use --fullwidth";
  }
  if (*value >= kFullwidthOffset + '!' && *value <= kFullwidthOffset + '~') {
    const char ascii = static_cast<char>(*value - kFullwidthOffset);
    const std::string_view itself(&ascii, 1);
    const std::string_view instead = in_table(itself) ? itself : fullwidth_counterpart(ascii);
    return instead.empty() ? std::string() : write(instead);
  }
  return {};
}

}  // namespace ambergale
