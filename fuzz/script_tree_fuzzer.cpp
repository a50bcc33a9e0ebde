// Arbitrary script tree headers through the builder, and arbitrary scripts
// through the decoder of every tree it accepts.
#include "decode/script_tree.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  std::array<std::uint8_t, kScriptHeaderBytes> header;
  in.take(std::span(header).first(64));  // the rest of the header stays zero
  ScriptTree tree;
  ScriptTreeBuilder builder;
  tree.leaf_boundary = builder.build_script_tree(tree.nodes, header);
  if (tree.leaf_boundary < 0) return 0;
  const int length = in.take_int16();
  std::array<std::uint8_t, kScriptOutputCap> out;
  const int written = decode_script(tree, in.rest(), length, out);
  if (written < 0 || written > kScriptOutputCap || written % 2 != 0) __builtin_trap();
  return 0;
}
