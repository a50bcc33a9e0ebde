// The constant text tables of the renderer: the character of each code
// 0x0000..0x03FF and the character names that control 0x0019 selects.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace ambergale {

inline constexpr int kCharTableSize = 1024;

// Entry c is the Shift-JIS text of code c; an empty entry means no character.
extern const std::array<std::string_view, kCharTableSize> kCharTable;

// The other codes whose character is that of `code` (？ 食 分 and ■ have
// several), in code order. None for the two line breaks: both show "\n",
// but the game tells them apart.
std::span<const std::uint16_t> other_codes_of(std::uint16_t code);

inline constexpr int kFirstNameCode = 0x0080;

// Selected by the arguments 0x0080..0x0085 of control 0x0019.
inline constexpr std::array<std::string_view, 6> kNameTable = {
    "(\x83K\x83\x8B\x83h\x83X)",              // (ガルドス)
    "(\x83{\x83\x8B\x83" "e\x83\x93)",        // (ボルテン)
    "(\x83T\x83\x8A\x83}\x81[\x83g)",         // (サリマート)
    "(\x83l\x83t\x83" "B\x83\x8B\x83J)",      // (ネフィルカ)
    "(\x83\x88\x83\x8B\x83~\x83i\x81[\x83g)", // (ヨルミナート)
    "(\x83" "e\x83" "B\x83})",                // (ティマ)
};

// Whether control 0x0019 with `argument` shows a name.
constexpr bool names_a_character(int argument) {
  return argument >= kFirstNameCode && argument < kFirstNameCode + static_cast<int>(kNameTable.size());
}

}  // namespace ambergale
