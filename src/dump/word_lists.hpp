// The word-list group table: 15 lists of message pointers in bank C4, each
// as long as the distance to the next greater list address (the last ends
// where the lists end), two bytes a pointer.
#pragma once

#include <array>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"

namespace ambergale {

struct WordListGroups {
  std::array<int, cartridge_map::kGroupCount> list{};     // the address in C4 of each group's list
  std::array<int, cartridge_map::kGroupCount> entries{};  // its number of entries (0 for a length of 1 or less)
};

WordListGroups read_word_list_groups(const Cartridge& cart);

// The address in FB of entry `e` of group `g`.
int word_list_message(const Cartridge& cart, const WordListGroups& groups, int g, int e);

}  // namespace ambergale
