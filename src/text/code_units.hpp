// What the 16-bit units of a CodeStream mean, for everything that reads or
// writes them: the end code, the controls and their arguments, the two line
// breaks, the dictionary codes, how the text trees write a unit, and the
// bits a message of a fixed length may take.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ambergale {

// Ends a message. Expanded dictionary entries hold it in the middle too,
// where it shows nothing.
inline constexpr std::uint16_t kEndCode = 0xFFFF;

// Whether a message's decode reached its end code, rather than a limit.
constexpr bool ends_with_end_code(std::span<const std::uint16_t> units) {
  return !units.empty() && units.back() == kEndCode;
}

// Two codes that both render as "\n".
inline constexpr std::uint16_t kLineBreak = 0x0012;
inline constexpr std::uint16_t kOtherLineBreak = 0x0017;

// Controls take the units after them as their arguments.
struct Control {
  std::uint16_t unit;
  int arguments;
};
inline constexpr std::uint16_t kNameControl = 0x0019;  // a character name when its argument names one
inline constexpr std::array<Control, 5> kControls = {{
    {0x0013, 3},
    {0x0016, 1},
    {0x0018, 1},
    {kNameControl, 1},
    {0x001B, 1},
}};

// The units that follow `unit` as its arguments: 0 when it is no control.
constexpr int argument_units(int unit) {
  for (const Control& control : kControls) {
    if (control.unit == unit) return control.arguments;
  }
  return 0;
}

// A closed range of units.
struct UnitRange {
  int first;
  int last;
  constexpr bool holds(int unit) const { return unit >= first && unit <= last; }
};

// The units a decode can give below the first character (0020): the two
// line breaks, the controls, and units with no character and no known use,
// which may be controls that take no arguments.
inline constexpr UnitRange kControlUnits{0x0010, 0x001F};
constexpr bool control_unit(int unit) {
  return kControlUnits.holds(unit) && unit != kLineBreak && unit != kOtherLineBreak;
}

// Dictionary code kFirstEntryCode + e names entry e.
inline constexpr int kFirstEntryCode = 0x0410;
// The codes the dump renders as entries: one for each of the 3049.
inline constexpr UnitRange kRenderedEntryCodes{kFirstEntryCode, 0x0FF8};
// The units expansion replaces by the entry they name. The game tests this
// wider range when it builds its dictionary, so 0x0FF9..0x0FFF name empty
// entries there and vanish from entry texts, while messages show them in hex.
inline constexpr UnitRange kExpandedReferences{kFirstEntryCode, 0x0FFF};

// The units a decode can give: the end code, a lead symbol 16..255 as
// itself, and a page prefix 1..15 with the low tree's byte after it.
inline constexpr UnitRange kDecodableUnits{0x0010, 0x0FFF};
constexpr bool decodable_unit(int unit) { return kDecodableUnits.holds(unit) || unit == kEndCode; }

// How the text trees write a unit: a lead symbol, and after a page prefix
// the low byte (-1 when the lead symbol stands alone).
struct UnitSymbols {
  int lead;
  int low;
  constexpr bool paged() const { return low >= 0; }
};
constexpr UnitSymbols unit_symbols(std::uint16_t unit) {
  if (unit == kEndCode) return {0, -1};
  if (unit < 0x0100) return {unit, -1};
  return {unit >> 8, unit & 0xFF};
}

// The bits a message may take when it must keep its length of `bytes`
// (at least 1): enough to reach into its last byte, and no more than all.
struct BitSpan {
  std::size_t least;
  std::size_t most;
};
constexpr BitSpan fixed_length_bits(std::size_t bytes) { return {8 * bytes - 7, 8 * bytes}; }

}  // namespace ambergale
