// Splits a fuzzer's input into the pieces a target needs: fixed-size blocks
// taken from the front (zero where the input runs out) and the rest.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ambergale::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

  // Fills `out` from the front of the input; zero past its end.
  void take(std::span<std::uint8_t> out) {
    const std::size_t n = std::min(out.size(), rest_.size());
    std::copy_n(rest_.begin(), n, out.begin());
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), std::uint8_t{0});
    rest_ = rest_.subspan(n);
  }

  // A 16-bit signed value from the front of the input.
  int take_int16() {
    std::uint8_t b[2];
    take(b);
    return static_cast<std::int16_t>(b[0] | b[1] << 8);
  }

  std::span<const std::uint8_t> rest() const { return rest_; }

 private:
  std::span<const std::uint8_t> rest_;
};

}  // namespace ambergale::fuzz
