#include "text/render.hpp"

#include <algorithm>

#include "text/char_table.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

// Controls with units of their own after them.
constexpr int kControlHex = 0x0013;       // three further units, all shown in hex
constexpr int kControlName = 0x0019;      // one argument: a character name, or hex
constexpr bool takes_argument(int unit) {
  return unit == kControlName || unit == 0x0018 || unit == 0x001B || unit == 0x0016;
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
  std::size_t o = 0;
  while (o < end) {
    if (o + 1 >= end) {  // a lone final byte: half a unit
      append_hex(out, stream[o], 2);
      break;
    }
    const int unit = stream[o] + stream[o + 1] * 256;
    if (unit == kEndCode) {
      o += 2;
    } else if (unit == kControlHex) {
      o = hex_units(o, 4);
    } else if (takes_argument(unit)) {
      if (o + 3 >= end) {  // the argument lies past the end
        append_unit_hex(out, stream[o], stream[o + 1]);
        o += 2;
        continue;
      }
      const int argument = stream[o + 2] + stream[o + 3] * 256;
      if (unit == kControlName && argument >= kFirstNameCode &&
          argument < kFirstNameCode + static_cast<int>(kNameTable.size())) {
        out.append(kNameTable[argument - kFirstNameCode]);
      } else {
        hex_units(o, 2);
      }
      o += 4;
    } else if (unit < kCharTableSize && !kCharTable[unit].empty()) {
      // One or two bytes: written as two, the size says how many count.
      const std::string_view character = kCharTable[unit];
      char* at = out.room(2);
      at[0] = character[0];
      at[1] = character.size() > 1 ? character[1] : '\0';
      out.commit(at + character.size());
      o += 2;
    } else if (unit >= kFirstDictionaryCode && unit <= kLastDictionaryCode &&
               static_cast<std::size_t>(unit - kFirstDictionaryCode) < dictionary.size()) {
      out.append(dictionary[unit - kFirstDictionaryCode]);
      o += 2;
    } else {
      append_unit_hex(out, stream[o], stream[o + 1]);
      o += 2;
    }
  }
  return static_cast<int>(out.size() - start);
}

}  // namespace ambergale
