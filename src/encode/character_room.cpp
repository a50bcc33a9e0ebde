#include "encode/character_room.hpp"

#include <algorithm>

namespace ambergale::encode {

std::string counted(std::size_t n, std::string_view noun) {
  return std::to_string(n) + " " + std::string(noun) + (n == 1 ? "" : "s");
}

std::size_t characters_in(std::size_t bits, const CharacterBits& cost) {
  return cost.bits == 0 ? 0 : bits * cost.characters / cost.bits;
}

CharacterBits counting_cost(const CharacterBits& translation, const CharacterBits& original) {
  return translation.characters > 0 ? translation : original;
}

std::string characters_off(std::size_t bits, Miss miss, const CharacterBits& cost) {
  const bool over = miss == Miss::over;
  const std::string in_bits = counted(bits, "bit") + (over ? " over" : " short");
  if (cost.characters == 0 || cost.bits == 0) return in_bits;
  const std::size_t scaled = bits * cost.characters;
  const std::size_t characters = std::max<std::size_t>(over ? (scaled + cost.bits - 1) / cost.bits : scaled / cost.bits, 1);
  return "about " + counted(characters, "character") + (over ? " fewer (" : " more (") + in_bits + ")";
}

std::string change_a_character(const CharacterBits& cost) {
  if (cost.characters == 0 || cost.bits == 0) return "change a character or two";
  const std::size_t each = (2 * cost.bits + cost.characters) / (2 * cost.characters);  // the mean, rounded
  return "change a character or two (about " + counted(each, "bit") + " each)";
}

}  // namespace ambergale::encode
