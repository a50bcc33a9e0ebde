#include "insert/script_offsets.hpp"

#include <algorithm>

#include "decode/script_tree.hpp"
#include "script/disassembler.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

std::string position_text(int position) {
  return position < 0 ? "-" + hex_text(static_cast<std::uint32_t>(-position), 4) : hex_text(static_cast<std::uint32_t>(position), 4);
}

// What an offset holds, and the position of the script it points at.
struct OffsetValue {
  int value;
  int target;
};

OffsetValue read_offset(std::span<const std::uint8_t> bytes, const ScriptShape::Instruction& instruction, OffsetOperand operand) {
  const FieldBytes field = field_bytes(operand.field);
  int value = script_byte(bytes, instruction.start + field.first);
  if (field.width == 2) {
    const int second = script_byte(bytes, instruction.start + field.first + 1);
    value = operand.field == OffsetField::word_le ? value | second << 8 : value << 8 | second;
  }
  if (!operand.relative) return {value, value};
  const int half = 1 << (8 * field.width - 1);
  if (value >= half) value -= 2 * half;
  return {value, instruction.end() + value};
}

// The least and the most value an operand holds.
std::pair<int, int> value_range(OffsetOperand operand) {
  const int bits = 8 * field_bytes(operand.field).width;
  return operand.relative ? std::pair{-(1 << (bits - 1)), (1 << (bits - 1)) - 1} : std::pair{0, (1 << bits) - 1};
}

std::vector<std::uint8_t> bytes_of(OffsetOperand operand, int value) {
  const auto raw = static_cast<std::uint32_t>(value);
  const auto low = static_cast<std::uint8_t>(raw), high = static_cast<std::uint8_t>(raw >> 8);
  if (field_bytes(operand.field).width == 1) return {low};
  return operand.field == OffsetField::word_le ? std::vector<std::uint8_t>{low, high} : std::vector<std::uint8_t>{high, low};
}

// Whether the changes move a target along: an instruction's start or the script's end.
bool moves_along(const ScriptShape& shape, int target) { return target == shape.length || shape.instruction_at(target) >= 0; }

// The splices that change length between two positions of the old script.
std::vector<std::size_t> splices_between(std::span<const ScriptSplice> splices, int from, int to) {
  const int low = std::min(from, to), high = std::max(from, to);
  std::vector<std::size_t> between;
  for (std::size_t k = 0; k < splices.size(); ++k) {
    const ScriptSplice& splice = splices[k];
    if (splice.size != splice.new_size && splice.at >= low && splice.at + splice.size <= high) between.push_back(k);
  }
  return between;
}

std::optional<std::size_t> splice_holding(std::span<const ScriptSplice> splices, int target) {
  for (std::size_t k = 0; k < splices.size(); ++k) {
    if (target >= splices[k].at && target < splices[k].at + splices[k].size) return k;
  }
  return std::nullopt;
}

std::string too_far(OffsetOperand operand, int target, int value) {
  const auto [least, most] = value_range(operand);
  const int over = value > most ? value - most : least - value;
  return "its offset " + operand_text(operand) + " to " + position_text(target) + " would be " + std::to_string(value) + ", " +
         std::to_string(over) + (over == 1 ? " byte" : " bytes") + " past what " +
         (field_bytes(operand.field).width == 1 ? "one byte holds" : "two bytes hold") + " (" + std::to_string(least) + " to " +
         std::to_string(most) + ")";
}

// Where an offset that the changes cannot move along points, in words.
std::string not_moved(const ScriptShape& shape, int target) {
  if (target < 0 || target > shape.length) return "points at " + position_text(target) + ", outside its script";
  return "points at " + position_text(target) + ", where no instruction starts";
}

void move_offset(const ScriptShape& shape, std::span<const std::uint8_t> bytes, std::span<const ScriptSplice> splices, OffsetAt at,
                 OffsetMoves& moves) {
  const ScriptShape::Instruction& instruction = shape.instructions[static_cast<std::size_t>(at.instruction)];
  if (instruction.end() > shape.length) {
    moves.left.push_back({at, "its instruction runs past the script's end"});
    return;
  }
  const OffsetValue old = read_offset(bytes, instruction, at.operand);
  if (!moves_along(shape, old.target)) {
    if (const std::optional<std::size_t> held = splice_holding(splices, old.target)) {
      moves.refused.push_back(
          {at, "its offset " + operand_text(at.operand) + " points into the message at " + position_text(splices[*held].at) + ", which changes", {*held}});
      return;
    }
    moves.left.push_back({at, not_moved(shape, old.target)});
    return;
  }
  const int target = moved_position(splices, old.target);
  const int value = at.operand.relative ? target - moved_position(splices, instruction.end()) : target;
  if (value == old.value) return;
  std::vector<std::size_t> moved_by = splices_between(splices, at.operand.relative ? instruction.end() : 0, old.target);
  const auto [least, most] = value_range(at.operand);
  if (value < least || value > most) {
    moves.refused.push_back({at, too_far(at.operand, target, value), std::move(moved_by)});
    return;
  }
  const int position = moved_position(splices, instruction.start) + field_bytes(at.operand.field).first;
  moves.rewritten.push_back({at, position, bytes_of(at.operand, value), std::move(moved_by)});
}

// The index of the instruction an offset points at, or the instruction count for the script's end.
int target_index(const ScriptShape& shape, int target) {
  return target == shape.length ? static_cast<int>(shape.instructions.size()) : shape.instruction_at(target);
}

std::string index_text(const ScriptShape& shape, int index) {
  if (index == static_cast<int>(shape.instructions.size())) return "the script's end";
  return "the instruction at " + position_text(shape.instructions[static_cast<std::size_t>(index)].start);
}

// The bytes of a script as the dump decodes them.
std::vector<std::uint8_t> script_bytes(const Cartridge& cart, const ScriptTree& tree, const ScriptPlace& place) {
  std::vector<std::uint8_t> units(kScriptOutputCap);
  const int written = decode_script(tree, cart.bytes.subspan(static_cast<std::size_t>(rom_offset(place.bank, place.address))),
                                    place.length, std::span<std::uint8_t, kScriptOutputCap>(units));
  std::vector<std::uint8_t> bytes;
  for (int k = 0; k < written; k += 2) bytes.push_back(units[static_cast<std::size_t>(k)]);
  return bytes;
}

ScriptShape shape_at(const Tables& tables, std::span<const std::uint8_t> bytes) {
  return shape_of(bytes, static_cast<int>(bytes.size()), tables.opcodes, tables.text_trees);
}

}  // namespace

int moved_position(std::span<const ScriptSplice> splices, int position) {
  int moved = position;
  for (const ScriptSplice& splice : splices) {
    if (splice.at + splice.size <= position) moved += splice.new_size - splice.size;
  }
  return moved;
}

OffsetMoves move_offsets(const ScriptShape& shape, std::span<const std::uint8_t> bytes, const OffsetTable& offsets,
                         std::span<const ScriptSplice> splices) {
  OffsetMoves moves;
  for (std::size_t i = 0; i < shape.instructions.size(); ++i) {
    const ScriptShape::Instruction& instruction = shape.instructions[i];
    if (!instruction.ordinary) continue;
    for (const OffsetOperand& operand : offsets[static_cast<std::size_t>(instruction.op)]) {
      move_offset(shape, bytes, splices, {static_cast<int>(i), operand}, moves);
    }
  }
  return moves;
}

std::optional<std::string> offsets_kept(const ScriptShape& old_shape, std::span<const std::uint8_t> old_bytes,
                                        const ScriptShape& new_shape, std::span<const std::uint8_t> new_bytes,
                                        const OffsetTable& offsets) {
  for (std::size_t i = 0; i < old_shape.instructions.size(); ++i) {
    const ScriptShape::Instruction& was = old_shape.instructions[i];
    if (!was.ordinary || was.end() > old_shape.length) continue;
    for (const OffsetOperand& operand : offsets[static_cast<std::size_t>(was.op)]) {
      const int pointed = target_index(old_shape, read_offset(old_bytes, was, operand).target);
      if (pointed < 0) continue;
      const std::string name = "the instruction at " + position_text(was.start) + " (" + operand_text(operand) + ")";
      if (i >= new_shape.instructions.size() || new_shape.instructions[i].op != was.op) return name + " is no longer there";
      const ScriptShape::Instruction& is = new_shape.instructions[i];
      const int points = target_index(new_shape, read_offset(new_bytes, is, operand).target);
      if (points != pointed) {
        return name + " pointed at " + index_text(old_shape, pointed) + ", and its copy at " + position_text(is.start) +
               " does not point at the same instruction";
      }
    }
  }
  return std::nullopt;
}

Outcome prove_script_offsets(const ReadImage& before, const ReadImage& after, const ScriptUnits& rewritten,
                             const OffsetTable& offsets) {
  const std::vector<ScriptPlace> old_places = script_places(before.cart), new_places = script_places(after.cart);
  for (const auto& [script, units] : rewritten) {
    const auto index = static_cast<std::size_t>(script);
    const std::vector<std::uint8_t> old_bytes = script_bytes(before.cart, before.tables.script_tree, old_places[index]);
    const std::vector<std::uint8_t> new_bytes = script_bytes(after.cart, after.tables.script_tree, new_places[index]);
    if (const std::optional<std::string> why = offsets_kept(shape_at(before.tables, old_bytes), old_bytes,
                                                            shape_at(after.tables, new_bytes), new_bytes, offsets)) {
      return Failure{{}, "internal error: script " + hex_text(static_cast<std::uint32_t>(script), 4) + ": " + *why + "; nothing written"};
    }
  }
  return std::nullopt;
}

}  // namespace ambergale
