#include "script/script_shape.hpp"

#include <algorithm>

#include "script/disassembler.hpp"

namespace ambergale {

namespace {

struct ShapeVisitor {
  std::span<const std::uint8_t> script;
  const TreePair& text_trees;
  ScriptShape& shape;
  CodeBuffer codes = {};

  bool ok() const { return true; }
  void instruction(std::int64_t position, int op, int shown, int) {
    shape.instructions.push_back({static_cast<int>(position), shown, op, true});
  }
  // Only a text-carrying instruction is followed by messages.
  std::int64_t message(std::int64_t position, int) {
    const TextDecode decoded = decode_embedded(script, shape.length, position, text_trees, codes);
    const auto start = static_cast<int>(position);
    shape.messages.push_back({start, start + decoded.consumed});
    shape.instructions.back().ordinary = false;
    return decoded.consumed;
  }
};

}  // namespace

int ScriptShape::instruction_at(int position) const {
  const auto found = std::lower_bound(instructions.begin(), instructions.end(), position,
                                      [](const Instruction& instruction, int at) { return instruction.start < at; });
  return found != instructions.end() && found->start == position ? static_cast<int>(found - instructions.begin()) : -1;
}

ScriptShape shape_of(std::span<const std::uint8_t> script, int length, const OpcodeTable& opcodes, const TreePair& text_trees) {
  ScriptShape shape;
  shape.length = length;
  ShapeVisitor visitor{script, text_trees, shape};
  walk_script(script, length, opcodes, visitor);
  return shape;
}

}  // namespace ambergale
