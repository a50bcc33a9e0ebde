// Room in a message told in characters, the one way refusals and the
// catalogue word it: how many characters of a text's own kind a number of
// bits holds, or must be added or dropped, with the bits beside them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "encode/message_encoder.hpp"

namespace ambergale::encode {

// "1 bit", "2 bits".
std::string counted(std::size_t n, std::string_view noun);

// The characters of `cost`'s mean that `bits` hold, rounded down; 0 when
// `cost` has no character.
std::size_t characters_in(std::size_t bits, const CharacterBits& cost);

// The cost a refusal counts in: the translation's characters, or the
// original's when the translation has none.
CharacterBits counting_cost(const CharacterBits& translation, const CharacterBits& original);

// Which way a text misses its room.
enum class Miss { over, short_of };

// "about 5 characters fewer (38 bits over)", "about 2 characters more (11
// bits short)": characters of `cost`'s mean, rounded up when fewer are
// needed and down when more are, and at least 1. Without a character in
// `cost`, the bits alone.
std::string characters_off(std::size_t bits, Miss miss, const CharacterBits& cost);

// What to try when a text in its room must still change its bits: "change a
// character or two (about 7 bits each)".
std::string change_a_character(const CharacterBits& cost);

}  // namespace ambergale::encode
