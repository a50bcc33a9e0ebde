#include "sample/free_ranges.hpp"

#include <algorithm>
#include <cstdio>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/script_tree.hpp"

namespace ambergale::sample {

namespace {

// The sample lays no word-list message past this address of bank FB.
constexpr int kUnusedBankEnd = 0xF000;

std::string free_option(int bank, int first, int last) {
  char option[40];
  std::snprintf(option, sizeof option, "--free=%02X:%04X-%04X", bank, first, last);
  return option;
}

}  // namespace

std::vector<std::string> free_options(std::span<const std::uint8_t> image) {
  using namespace cartridge_map;
  const Cartridge cart = make_cartridge(std::vector<std::uint8_t>(image.begin(), image.end()));
  std::vector<std::string> options;
  for (const ScriptGroup& group : kScriptGroups) {
    int first = group.end_address;
    for (int s = group.first; s < group.first + group.count; ++s) {
      first = std::min(first, rom_read_word(cart, kScriptPointers.bank, kScriptPointers.address + 2 * s));
    }
    const int start = group.bank == kScriptTreeHeader.bank ? kScriptTreeHeader.address + kScriptHeaderBytes : 0;
    if (first > start) options.push_back(free_option(group.bank, start, first - 1));
  }
  options.push_back(free_option(kMessageBank, kUnusedBankEnd, 0xFFFF));
  return options;
}

}  // namespace ambergale::sample
