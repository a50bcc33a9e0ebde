// Arbitrary byte trees, limits and input through the message and dictionary
// decoders, with and without the trees' step tables (which must agree), and
// the result through the renderer.
#include <algorithm>

#include "decode/byte_tree.hpp"
#include "fuzz_input.hpp"
#include "text/render.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  TreePair plain;
  in.take(std::span(plain.lead).first(768));
  in.take(std::span(plain.low).first(768));
  TreePair indexed = plain;
  index_trees(indexed);
  const int limit = in.take_int16();

  CodeBuffer codes, check;
  const auto [written, consumed, bits] = decode_text(indexed, in.rest(), limit, codes);
  const auto [written_plain, consumed_plain, bits_plain] = decode_text(plain, in.rest(), limit, check);
  if (written < 0 || written > kCodeStreamCap || written % 2 != 0 || consumed < 1) __builtin_trap();
  // The consumed bytes are the bytes the bits taken touch.
  if (consumed != (bits + 7) / 8) __builtin_trap();
  if (written != written_plain || consumed != consumed_plain || bits != bits_plain ||
      !std::equal(codes.begin(), codes.begin() + written, check.begin())) {
    __builtin_trap();
  }
  TextBuffer text;
  render_codes(codes, written, {}, text);

  const int entry = decode_dict_entry(indexed, in.rest(), limit, codes).written;
  if (entry < 0 || entry > kCodeStreamCap || entry != decode_dict_entry(plain, in.rest(), limit, check).written) __builtin_trap();
  return 0;
}
