#include "insert/plan.hpp"

#include <algorithm>

#include "encode/encoder.hpp"

namespace ambergale {

Cartridge InsertPlan::draft_cartridge() const {
  Cartridge cart;
  cart.bytes = draft_;
  return cart;
}

void InsertPlan::write(int bank, int address, std::span<const std::uint8_t> bytes) {
  encode::put_bytes(draft_, bank, address, bytes);
  writes_.push_back({static_cast<std::size_t>(rom_offset(bank, address)), bytes.size()});
}

void InsertPlan::write_word(int bank, int address, int value) {
  encode::put_word(draft_, bank, address, value);
  writes_.push_back({static_cast<std::size_t>(rom_offset(bank, address)), 2});
}

std::vector<Refusal> InsertPlan::refusals() const {
  std::vector<Refusal> sorted = refusals_;
  std::stable_sort(sorted.begin(), sorted.end());
  return sorted;
}

}  // namespace ambergale
