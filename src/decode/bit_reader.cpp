#include "decode/bit_reader.hpp"

namespace ambergale {

std::int32_t consumed_length(const BitReader& reader) {
  return reader.bit_index >= 7 ? reader.position - 1 : reader.position;
}

}  // namespace ambergale
