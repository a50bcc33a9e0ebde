#include "dump/word_lists.hpp"

#include "dump/lengths.hpp"

namespace ambergale {

using namespace cartridge_map;

WordListGroups read_word_list_groups(const Cartridge& cart) {
  WordListGroups groups;
  std::array<int, kGroupCount> lengths;
  for (int g = 0; g < kGroupCount; ++g) {
    groups.list[g] = rom_read_word(cart, kGroupPointers.bank, kGroupPointers.address + 2 * g);
  }
  infer_lengths(groups.list, kGroupListsEnd, lengths);
  for (int g = 0; g < kGroupCount; ++g) groups.entries[g] = lengths[g] > 0 ? lengths[g] / 2 : 0;
  return groups;
}

int word_list_message(const Cartridge& cart, const WordListGroups& groups, int g, int e) {
  return rom_read_word(cart, kGroupPointers.bank, groups.list[g] + 2 * e);
}

}  // namespace ambergale
