// A code walked through a byte tree, for tests of trees built to codes.
#pragma once

#include <vector>

#include "decode/bit_reader.hpp"
#include "decode/byte_tree.hpp"
#include "encode/encoder.hpp"

namespace ambergale::testing_support {

// Decodes one symbol of `code` with `tree`, as the game's decoder walks it.
inline int decode_code(const ByteTree& tree, encode::Code code) {
  encode::BitWriter writer;
  writer.put(code);
  writer.pad_to_byte();
  const std::vector<std::uint8_t> bytes = writer.bytes();
  BitReader reader(bytes);
  return decode_symbol(tree, reader);
}

}  // namespace ambergale::testing_support
