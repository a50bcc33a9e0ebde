#include "dump/lengths.hpp"

#include <array>
#include <bit>
#include <cstdint>

namespace ambergale {

void infer_lengths(std::span<const int> pointers, int end_address, std::span<int> lengths) {
  // The start addresses as a bitmap of the bank, one bit per address; each
  // length is the distance to the next marked address. `next_marked[w]` is
  // the first word from w on with a mark, so no search walks an empty stretch.
  constexpr int kWords = 0x10000 / 64;
  std::array<std::uint64_t, kWords> marks{};
  for (const int p : pointers) marks[(p & 0xFFFF) >> 6] |= std::uint64_t{1} << (p & 63);
  std::array<std::uint16_t, kWords + 1> next_marked;
  next_marked[kWords] = kWords;
  for (int w = kWords - 1; w >= 0; --w) next_marked[w] = marks[w] != 0 ? static_cast<std::uint16_t>(w) : next_marked[w + 1];
  for (std::size_t k = 0; k < pointers.size(); ++k) {
    const int p = pointers[k] & 0xFFFF;
    int word = p >> 6;
    std::uint64_t later = (p & 63) == 63 ? 0 : marks[word] & (~std::uint64_t{0} << ((p & 63) + 1));
    if (later == 0) {
      word = next_marked[word + 1];
      later = word < kWords ? marks[word] : 0;
    }
    lengths[k] = (later != 0 ? word * 64 + std::countr_zero(later) : end_address) - p;
  }
}

}  // namespace ambergale
