// Arbitrary script tree headers through the builder, and arbitrary scripts
// through the decoder of every tree it accepts, with and without the tree's
// step table (which must agree).
#include "decode/script_tree.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  std::array<std::uint8_t, kScriptHeaderBytes> header{};
  in.take(std::span(header).first(64));  // the rest of the header stays zero
  ScriptTree plain;
  ScriptTreeBuilder builder;
  if (builder.build_script_tree(plain.nodes, header, plain.leaf_boundary)) return 0;
  ScriptTree indexed = plain;
  index_script_tree(indexed);
  const int length = in.take_int16();
  std::array<std::uint8_t, kScriptOutputCap> out, check;
  const int written = decode_script(indexed, in.rest(), length, out);
  if (written < 0 || written > kScriptOutputCap || written % 2 != 0) __builtin_trap();
  if (written != decode_script(plain, in.rest(), length, check) || !std::equal(out.begin(), out.begin() + written, check.begin())) {
    __builtin_trap();
  }
  return 0;
}
