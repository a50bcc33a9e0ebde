#include "text/render.hpp"

#include <algorithm>
#include <array>

#include "text/char_table.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

// The character of each code as its one or two bytes and their count, in
// four bytes: one load per unit on the common path. Controls have no
// character, so a unit with one is never anything else.
struct PackedChar {
  char bytes[2];
  std::uint8_t length;
};

const std::array<PackedChar, kCharTableSize>& packed_chars() {
  static const std::array<PackedChar, kCharTableSize> table = [] {
    std::array<PackedChar, kCharTableSize> packed{};
    for (int c = 0; c < kCharTableSize; ++c) {
      const std::string_view text = kCharTable[c].substr(0, 2);  // every character is one or two bytes
      for (std::size_t i = 0; i < text.size(); ++i) packed[c].bytes[i] = text[i];
      packed[c].length = static_cast<std::uint8_t>(text.size());
    }
    return packed;
  }();
  return table;
}

}  // namespace

int render_codes(std::span<const std::uint8_t> stream, std::int32_t length,
                 std::span<const std::string_view> dictionary, TextBuffer& out) {
  const std::size_t start = out.size();
  const std::size_t end = std::min<std::size_t>(stream.size(), length > 0 ? static_cast<std::size_t>(length) : 0);
  // Appends the hex form of the units at o, o + 2, ... up to `count` of them,
  // as far as they lie inside the stream; returns the offset after them.
  auto hex_units = [&](std::size_t o, int count) {
    for (int i = 0; i < count && o + 1 < end; ++i, o += 2) append_unit_hex(out, stream[o], stream[o + 1]);
    return o;
  };
  const std::array<PackedChar, kCharTableSize>& chars = packed_chars();
  std::size_t o = 0;
  while (o < end) {
    if (o + 1 >= end) {  // a lone final byte: half a unit
      append_hex(out, stream[o], 2);
      break;
    }
    const int unit = stream[o] + stream[o + 1] * 256;
    if (unit < kCharTableSize && chars[unit].length > 0) {
      char* at = out.room(2);
      at[0] = chars[unit].bytes[0];
      at[1] = chars[unit].bytes[1];
      out.commit(at + chars[unit].length);
      o += 2;
    } else if (unit == kEndCode) {
      o += 2;
    } else if (const int arguments = argument_units(unit); arguments > 0) {
      const int argument = o + 3 < end ? stream[o + 2] + stream[o + 3] * 256 : -1;
      if (unit == kNameControl && names_a_character(argument)) {
        out.append(kNameTable[argument - kFirstNameCode]);
        o += 4;
      } else {
        o = hex_units(o, 1 + arguments);  // as far as the arguments lie inside the stream
      }
    } else if (kRenderedEntryCodes.holds(unit) &&
               static_cast<std::size_t>(unit - kFirstEntryCode) < dictionary.size()) {
      out.append(dictionary[unit - kFirstEntryCode]);
      o += 2;
    } else {
      append_unit_hex(out, stream[o], stream[o + 1]);
      o += 2;
    }
  }
  return static_cast<int>(out.size() - start);
}

}  // namespace ambergale
