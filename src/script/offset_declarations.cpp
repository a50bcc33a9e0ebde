#include "script/offset_declarations.hpp"

#include <algorithm>
#include <optional>
#include <string>

#include "script/disassembler.hpp"
#include "text/hex.hpp"
#include "text/text_parse.hpp"

namespace ambergale {

namespace {

// The listing reads columns 0-4; declarations stand in any column after.
constexpr int kFirstDeclarationColumn = 5;
constexpr std::string_view kKeyword = "offsets=";
constexpr char kRelative = '+';

// Each field as a declaration names it, in OffsetField's order.
struct FieldName {
  std::string_view name;
  FieldBytes bytes;
};
constexpr FieldName kFields[] = {
    {"@0", {1, 1}}, {"@1", {2, 1}}, {"@2", {3, 1}}, {"@w", {1, 2}}, {"@d", {1, 2}},
};

constexpr std::string_view kChoices =
    "an offset is @0, @1 or @2 (one operand byte), @w (two bytes, low byte first) or @d "
    "(two bytes, high byte first), with + before it for a signed offset from the instruction's end";

std::optional<OffsetOperand> operand_of(std::string_view name) {
  const bool relative = !name.empty() && name.front() == kRelative;
  if (relative) name.remove_prefix(1);
  for (std::size_t f = 0; f < std::size(kFields); ++f) {
    if (kFields[f].name == name) return OffsetOperand{static_cast<OffsetField>(f), relative};
  }
  return std::nullopt;
}

// The OPERANDs of a declaration, between spaces.
std::vector<std::string_view> operand_names(std::string_view text) {
  std::vector<std::string_view> names;
  std::size_t at = 0;
  while ((at = text.find_first_not_of(' ', at)) != std::string_view::npos) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    names.push_back(text.substr(at, end - at));
    at = end;
  }
  return names;
}

// A refusal at `at`, a part of `line`'s text, in characters: a Shift-JIS
// character of two bytes counts once.
Failure refused(const OpcodeLine& line, std::string_view at, std::string reason) {
  const auto offset = static_cast<std::size_t>(at.data() - line.text.data());
  std::size_t column = 1;
  for (std::size_t i = 0; i < offset; ++column) i += is_lead_byte(static_cast<unsigned char>(line.text[i])) ? 2 : 1;
  return Failure::at({}, line.number, column, std::move(reason));
}

std::string opcode_name(int opcode) { return "opcode 0x" + hex_text(static_cast<std::uint32_t>(opcode), 2); }

// A OPERAND as a message quotes it: only printable ASCII is shown.
std::string quoted(std::string_view name) {
  const bool printable = std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7F; });
  return printable ? "'" + std::string(name) + "'" : "this operand";
}

Outcome check_operand(const OpcodeLine& line, const OpcodeDef& def, std::string_view name, const OffsetOperand& operand,
                      const std::vector<OffsetOperand>& earlier) {
  const FieldBytes bytes = field_bytes(operand.field);
  const int last = bytes.first + bytes.width - 1;
  if (last > def.operand_bytes) {
    return refused(line, name, quoted(name) + " reaches operand byte " + std::to_string(last) + ", but " +
                                   opcode_name(line.opcode) + " has " + std::to_string(def.operand_bytes) + " operand byte" +
                                   (def.operand_bytes == 1 ? "" : "s"));
  }
  for (const OffsetOperand& other : earlier) {
    const FieldBytes taken = field_bytes(other.field);
    const int shared = std::max(bytes.first, taken.first);
    if (shared <= std::min(last, taken.first + taken.width - 1)) {
      return refused(line, name, quoted(name) + " takes operand byte " + std::to_string(shared) + ", which " +
                                     operand_text(other) + " takes already");
    }
  }
  return std::nullopt;
}

// Reads `field`, a column of `line` that starts "offsets=".
Outcome read_declaration(const OpcodeLine& line, const OpcodeDef& def, std::string_view field,
                         std::vector<OffsetOperand>& operands) {
  if (carries_messages(line.opcode, def)) {
    return refused(line, field, opcode_name(line.opcode) + " carries embedded messages (flag bit 0), which move " +
                                    "with the text: it can declare no offsets");
  }
  const std::vector<std::string_view> names = operand_names(field.substr(kKeyword.size()));
  if (names.empty()) return refused(line, field, "offsets= names no operand: " + std::string(kChoices));
  for (const std::string_view name : names) {
    const std::optional<OffsetOperand> operand = operand_of(name);
    if (!operand) return refused(line, name, quoted(name) + " is no offset operand: " + std::string(kChoices));
    if (Outcome failure = check_operand(line, def, name, *operand, operands)) return failure;
    operands.push_back(*operand);
  }
  return std::nullopt;
}

Outcome read_line(const OpcodeLine& line, const OpcodeDef& def, std::vector<OffsetOperand>& operands) {
  bool declared = false;
  std::size_t start = 0;
  for (int column = 0; start <= line.text.size(); ++column) {
    const std::size_t end = std::min(line.text.find('\t', start), line.text.size());
    const std::string_view field = line.text.substr(start, end - start);
    start = end + 1;
    if (column < kFirstDeclarationColumn || !field.starts_with(kKeyword)) continue;
    if (declared) {
      return refused(line, field, "a second offsets= on the line: declare all of " + opcode_name(line.opcode) +
                                      "'s offsets in one");
    }
    declared = true;
    if (Outcome failure = read_declaration(line, def, field, operands)) return failure;
  }
  return std::nullopt;
}

}  // namespace

FieldBytes field_bytes(OffsetField field) { return kFields[static_cast<int>(field)].bytes; }

std::string operand_text(OffsetOperand operand) {
  return (operand.relative ? std::string(1, kRelative) : "") + std::string(kFields[static_cast<int>(operand.field)].name);
}

Outcome parse_offset_declarations(std::string_view contents, const OpcodeTable& opcodes, OffsetTable& offsets) {
  offsets = OffsetTable{};
  OpcodeLines lines(contents);
  while (const std::optional<OpcodeLine> line = lines.next()) {
    if (Outcome failure = read_line(*line, opcodes[line->opcode], offsets[line->opcode])) return failure;
  }
  return std::nullopt;
}

}  // namespace ambergale
