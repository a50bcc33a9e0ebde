#include "catalogue/po_spelling.hpp"

#include <algorithm>

#include "text/char_table.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

// Nesting deeper than this is a cycle the dictionary left in place.
constexpr int kDeepestEntry = 8;

void append_units(std::span<const std::uint16_t> units, const Dictionary& dictionary, int depth, std::string& out) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint16_t unit = units[i];
    if (unit == kEndCode) continue;  // an end unit inside an expanded entry shows nothing
    if (unit == kLineBreak) {
      out += '\n';
    } else if (unit == kOtherLineBreak) {
      out += po_tag(units.subspan(i, 1));  // the dump writes it as \n too
    } else if (unit < kCharTableSize && !kCharTable[unit].empty()) {
      out += kCharTable[unit];
    } else if (const int arguments = argument_units(unit); arguments > 0) {
      const std::size_t count = std::min<std::size_t>(1 + arguments, units.size() - i);  // arguments may be cut short
      const int argument = count == 2 ? units[i + 1] : 0;
      if (unit == kNameControl && names_a_character(argument)) {
        out += kNameTable[static_cast<std::size_t>(argument - kFirstNameCode)];
      } else {
        out += po_tag(units.subspan(i, count));
      }
      i += count - 1;
    } else if (const std::size_t e = static_cast<std::size_t>(unit) - kFirstEntryCode;
               kRenderedEntryCodes.holds(unit) && e < dictionary.codes.size() && depth < kDeepestEntry) {
      append_units(code_units(dictionary.codes[e]), dictionary, depth + 1, out);
    } else {
      out += po_tag(units.subspan(i, 1));
    }
  }
}

}  // namespace

std::string po_tag(std::span<const std::uint16_t> units) {
  std::string tag = "<";
  for (std::size_t k = 0; k < units.size(); ++k) {
    if (k > 0) tag += ' ';
    tag += hex_text(static_cast<std::uint32_t>(units[k] & 0xFF), 2) + hex_text(static_cast<std::uint32_t>(units[k] >> 8), 2);
  }
  return tag + '>';
}

void append_po_spelling(std::span<const std::uint16_t> units, const Dictionary& dictionary, std::string& out) {
  append_units(units, dictionary, 0, out);
}

std::string dump_line_text(std::string_view translation) {
  std::string text;
  for (const char c : translation) {
    if (c == '\n') {
      text += "<1200>";
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace ambergale
