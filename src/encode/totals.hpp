// A set of small totals (bit counts), 0 to size - 1, as a bit set: the
// reachable totals of a search over parses or over symbol choices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ambergale::encode {

class Totals {
 public:
  explicit Totals(std::size_t size) : words_((size + 63) / 64, 0), size_(size) {}
  bool has(std::size_t t) const { return t < size_ && (words_[t / 64] >> (t % 64) & 1) != 0; }
  void add(std::size_t t) {
    if (t < size_) words_[t / 64] |= std::uint64_t{1} << (t % 64);
  }
  // Adds every total of `other` raised by `shift`.
  void add_shifted(const Totals& other, std::size_t shift) {
    const std::size_t whole = shift / 64, part = shift % 64;
    for (std::size_t w = words_.size(); w-- > whole;) {
      const std::size_t from = w - whole;
      std::uint64_t bits = other.words_[from] << part;
      if (part != 0 && from > 0) bits |= other.words_[from - 1] >> (64 - part);
      words_[w] |= bits;
    }
    if (size_ % 64 != 0) words_.back() &= (std::uint64_t{1} << (size_ % 64)) - 1;
  }
  std::size_t size() const { return size_; }

 private:
  std::vector<std::uint64_t> words_;
  std::size_t size_;
};

}  // namespace ambergale::encode
