// CodeStream bytes from unit values, for tests that write messages by hand,
// and their rendering as a string.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "decode/byte_tree.hpp"
#include "text/render.hpp"

namespace ambergale::testing_support {

// Each unit as two bytes, low byte first.
using ambergale::code_bytes;

inline std::vector<std::uint8_t> code_bytes(std::initializer_list<std::uint16_t> units) {
  return ambergale::code_bytes(std::span<const std::uint16_t>(units.begin(), units.size()));
}

// The rendering of the first `length` bytes of `stream` with `dictionary`.
inline std::string render_text(std::span<const std::uint8_t> stream, std::int32_t length,
                               const std::vector<std::string>& dictionary = {}) {
  const std::vector<std::string_view> views(dictionary.begin(), dictionary.end());
  TextBuffer out;
  render_codes(stream, length, views, out);
  return std::string(out.view());
}

inline std::string render_text(std::span<const std::uint8_t> stream, const std::vector<std::string>& dictionary = {}) {
  return render_text(stream, static_cast<std::int32_t>(stream.size()), dictionary);
}

}  // namespace ambergale::testing_support
