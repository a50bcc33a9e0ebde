#include "script/offset_declarations.hpp"

namespace ambergale {

FieldBytes field_bytes(OffsetField field) {
  switch (field) {
    case OffsetField::byte0: return {1, 1};
    case OffsetField::byte1: return {2, 1};
    case OffsetField::byte2: return {3, 1};
    case OffsetField::word_le:
    case OffsetField::word_be: return {1, 2};
  }
  return {1, 1};
}

}  // namespace ambergale
namespace ambergale {
// TEMPORARY until the parser lands.
Outcome parse_offset_declarations(std::string_view, const OpcodeTable&, OffsetTable& offsets) {
  offsets = {};
  offsets[0x22] = {{OffsetField::word_le, false}};
  offsets[0x23] = {{OffsetField::byte0, false}};
  offsets[0x24] = {{OffsetField::byte0, true}};
  offsets[0x25] = {{OffsetField::word_be, true}};
  offsets[0x26] = {{OffsetField::byte1, false}, {OffsetField::byte2, false}};
  return std::nullopt;
}
}  // namespace ambergale
