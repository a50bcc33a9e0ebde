#include "decode/bit_reader.hpp"

namespace ambergale {

namespace {

int input_byte(std::span<const std::uint8_t> input, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < input.size() ? input[index] : 0;
}

}  // namespace

int next_bit(BitReader& reader, std::span<const std::uint8_t> input) {
  if (reader.bit_index < 0) {
    reader.word = input_byte(input, reader.position) * 256 + input_byte(input, reader.position + 1);
    reader.position += 2;
    reader.bit_index = 15;
  }
  const int bit = (reader.word >> reader.bit_index) & 1;
  reader.bit_index -= 1;
  return bit;
}

std::int32_t consumed_length(const BitReader& reader) {
  return reader.bit_index >= 7 ? reader.position - 1 : reader.position;
}

}  // namespace ambergale
