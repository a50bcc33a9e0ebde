#include "dump/lengths.hpp"

#include <algorithm>
#include <vector>

namespace ambergale {

void infer_lengths(std::span<const int> pointers, int end_address, std::span<int> lengths) {
  std::vector<int> starts(pointers.begin(), pointers.end());
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  for (std::size_t k = 0; k < pointers.size(); ++k) {
    const auto next = std::upper_bound(starts.begin(), starts.end(), pointers[k]);
    lengths[k] = (next == starts.end() ? end_address : *next) - pointers[k];
  }
}

}  // namespace ambergale
