#include "insert/plan.hpp"

#include <algorithm>
#include <set>
#include <utility>


namespace ambergale {

Cartridge InsertPlan::draft_cartridge() const {
  Cartridge cart;
  cart.bytes = draft_;
  return cart;
}

void InsertPlan::write(int bank, int address, std::span<const std::uint8_t> bytes) {
  const auto offset = static_cast<std::size_t>(rom_offset(bank, address));
  if (offset > draft_.size() || bytes.size() > draft_.size() - offset) {
    if (!overrun_) {
      overrun_ = Failure{{}, "internal error: the plan writes " + std::to_string(bytes.size()) + " bytes at " +
                                 address_text(bank, address) + ", past the image's end; nothing written"};
    }
    return;
  }
  std::copy(bytes.begin(), bytes.end(), draft_.begin() + static_cast<std::ptrdiff_t>(offset));
  writes_.push_back({offset, bytes.size()});
}

void InsertPlan::write_word(int bank, int address, int value) {
  const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
  write(bank, address, bytes);
}

std::vector<Refusal> InsertPlan::refusals() const {
  std::vector<Refusal> sorted = refusals_;
  std::stable_sort(sorted.begin(), sorted.end());
  // Lines of one catalogue entry may be refused alike: the entry once.
  std::set<std::pair<ItemKey, std::string>> seen;
  std::erase_if(sorted, [&](const Refusal& refusal) { return !seen.emplace(refusal.item, refusal.failure.text()).second; });
  return sorted;
}

}  // namespace ambergale
