#include "script/offset_declarations.hpp"

#include <gtest/gtest.h>

#include <map>

namespace ambergale {
namespace {

using F = OffsetField;
using namespace std::string_literals;

constexpr int kOp = 0x20;  // data line 0x20 is line 34

// An opcode file whose data lines are `lines` by opcode, each other opcode
// "op\t0\t0\t0", every line ended by `end`.
std::string opcode_file(const std::map<int, std::string>& lines, const std::string& end = "\n") {
  std::string file = "name\tops\tflags\tspare\ttemplate" + end;
  for (int op = 0; op < kOpcodeCount; ++op) file += (lines.contains(op) ? lines.at(op) : "op\t0\t0\t0") + end;
  return file;
}

Outcome parse(const std::string& contents, OffsetTable& offsets) {
  OpcodeTable opcodes;
  const Outcome failure = parse_opcodes(contents, opcodes);
  EXPECT_FALSE(failure) << failure->text();
  return parse_offset_declarations(contents, opcodes, offsets);
}

TEST(OffsetDeclarations, ReadsTheDeclarationColumn) {
  const std::pair<std::string, std::vector<OffsetOperand>> cases[] = {
      {"jump\t2\t0\t0\tjump @w\toffsets=@w", {{F::word_le, false}}},
      {"jr\t1\t0\t0\tjr @0\toffsets=+@0", {{F::byte0, true}}},
      {"two\t3\t0\t0\t\toffsets=@1 @2", {{F::byte1, false}, {F::byte2, false}}},
      {"spaced\t3\t0\t0\t\toffsets=  @d   +@2 ", {{F::word_be, false}, {F::byte2, true}}},
      {"among\t2\t0\t0\tcall @w\ta note\toffsets=+@w\tmore", {{F::word_le, true}}},
      {"late\t1\t0\t0\t\t\t\t\toffsets=@0", {{F::byte0, false}}},
      {"nul\t2\t0\t0\t\toffsets=@w\0@0"s, {{F::word_le, false}}},
      {"flagged\t1\t1\t0\t\toffsets=@0", {{F::byte0, false}}},  // bit 0 on an opcode without text
      {"template\t1\t0\t0\toffsets=@0", {}},                    // column 4 is the template
      {"others\t1\t0\t0\t\toffsets\tOffsets=@0\t offsets=@0", {}},
  };
  for (const auto& [line, operands] : cases) {
    OffsetTable offsets;
    const Outcome failure = parse(opcode_file({{kOp, line}}), offsets);
    EXPECT_FALSE(failure) << line << ": " << failure->text();
    EXPECT_EQ(offsets[kOp], operands) << line;
    EXPECT_TRUE(offsets[kOp + 1].empty());
  }
}

TEST(OffsetDeclarations, TextOpcodesWithoutTheirFlagAreOrdinary) {
  OffsetTable offsets;
  EXPECT_FALSE(parse(opcode_file({{0x58, "message\t1\t2\t0\t\toffsets=@0"}}), offsets));
  EXPECT_EQ(offsets[0x58], (std::vector<OffsetOperand>{{F::byte0, false}}));
}

TEST(OffsetDeclarations, ReadsCrLfLinesAndNoneAfterTheLastDataLine) {
  OffsetTable offsets;
  std::string file = opcode_file({{0, "j\t2\t0\t0\tj\toffsets=@w"}, {255, "r\t1\t0\t0\tr\toffsets=+@0"}}, "\r\n");
  EXPECT_FALSE(parse(file + "late\t0\t0\t0\t\toffsets=nonsense\r\n", offsets));
  EXPECT_EQ(offsets[0], (std::vector<OffsetOperand>{{F::word_le, false}}));
  EXPECT_EQ(offsets[255], (std::vector<OffsetOperand>{{F::byte0, true}}));
}

struct Refused {
  int opcode;
  std::string line;
  std::size_t column;
  std::string reason;  // its start
};

TEST(OffsetDeclarations, RefusesMalformedDeclarationsWhereTheyStand) {
  const std::string choices = "an offset is @0, @1 or @2 (one operand byte), @w (two bytes, low byte first) or @d";
  const Refused cases[] = {
      {kOp, "j\t2\t0\t0\tj\toffsets=", 11, "offsets= names no operand: " + choices},
      {kOp, "j\t2\t0\t0\tj\toffsets=   ", 11, "offsets= names no operand"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@3", 19, "'@3' is no offset operand: " + choices},
      {kOp, "j\t2\t0\t0\tj\toffsets=@0 @W", 22, "'@W' is no offset operand"},
      {kOp, "j\t2\t0\t0\tj\toffsets=+", 19, "'+' is no offset operand"},
      {kOp, "j\t2\t0\t0\tj\toffsets=++@0", 19, "'++@0' is no offset operand"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@0,@1", 19, "'@0,@1' is no offset operand"},
      {kOp, "j\t2\t0\t0\tj\toffsets=\x82\xa0", 19, "this operand is no offset operand"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@0\toffsets=@1", 22, "a second offsets= on the line: declare all of opcode 0x20's"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@0 @w", 22, "'@w' takes operand byte 1, which @0 takes already"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@w +@w", 22, "'+@w' takes operand byte 1, which @w takes already"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@d @1", 22, "'@1' takes operand byte 2, which @d takes already"},
      {kOp, "j\t2\t0\t0\tj\toffsets=+@0 @w", 23, "'@w' takes operand byte 1, which +@0 takes already"},
      {kOp, "j\t2\t0\t0\tj\toffsets=@2", 19, "'@2' reaches operand byte 3, but opcode 0x20 has 2 operand bytes"},
      {kOp, "j\t1\t0\t0\tj\toffsets=+@w", 19, "'+@w' reaches operand byte 2, but opcode 0x20 has 1 operand byte"},
      {kOp, "j\t0\t0\t0\tj\toffsets=@0", 19, "'@0' reaches operand byte 1, but opcode 0x20 has 0 operand bytes"},
      {0x58, "message\t0\t1\t0\tmessage\toffsets=@0", 23, "opcode 0x58 carries embedded messages (flag bit 0)"},
      {0x7B, "menu\t2\t3\t0\tmenu\t\toffsets=@0", 18, "opcode 0x7B carries embedded messages"},
      // \x83\x41\x83\x43\x83\x65\x83\x80 アイテム: four characters in eight bytes
      {kOp, "\x83\x41\x83\x43\x83\x65\x83\x80\t2\t0\t0\tj\toffsets=@x", 22, "'@x' is no offset operand"},
  };
  for (const Refused& refused : cases) {
    OffsetTable offsets;
    const Outcome failure = parse(opcode_file({{refused.opcode, refused.line}}), offsets);
    ASSERT_TRUE(failure) << refused.line;
    EXPECT_EQ(failure->line, static_cast<std::size_t>(refused.opcode) + 2) << refused.line;
    EXPECT_EQ(failure->column, refused.column) << refused.line;
    EXPECT_EQ(failure->reason.substr(0, refused.reason.size()), refused.reason) << refused.line;
  }
}

TEST(OffsetDeclarations, FieldsCoverTheirOperandBytes) {
  const std::pair<F, std::pair<int, int>> cases[] = {
      {F::byte0, {1, 1}}, {F::byte1, {2, 1}}, {F::byte2, {3, 1}}, {F::word_le, {1, 2}}, {F::word_be, {1, 2}},
  };
  for (const auto& [field, bytes] : cases) {
    EXPECT_EQ(field_bytes(field).first, bytes.first);
    EXPECT_EQ(field_bytes(field).width, bytes.second);
  }
}

}  // namespace
}  // namespace ambergale
