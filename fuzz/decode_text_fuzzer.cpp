// Arbitrary byte trees, limits and input through the message and dictionary
// decoders, and the result through the renderer.
#include "decode/byte_tree.hpp"
#include "fuzz_input.hpp"
#include "text/render.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  TreePair trees;
  in.take(std::span(trees.lead).first(768));
  in.take(std::span(trees.low).first(768));
  const int limit = in.take_int16();
  CodeBuffer codes;
  std::int32_t consumed = limit;
  const int written = decode_text(trees, in.rest(), consumed, codes);
  if (written < 0 || written > kCodeStreamCap || written % 2 != 0) __builtin_trap();
  if (consumed < 1) __builtin_trap();
  std::string text;
  render_codes(codes, written, {}, text);
  const int entry = decode_dict_entry(trees, in.rest(), limit, codes);
  if (entry < 0 || entry > kCodeStreamCap) __builtin_trap();
  return 0;
}
