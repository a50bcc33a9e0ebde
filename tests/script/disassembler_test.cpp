#include "script/disassembler.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "encode/encoder.hpp"

namespace ambergale {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string op_line(const Bytes& bytes, int position, int shown, int flags, std::optional<std::string> format) {
  TextBuffer out;
  write_op_line(out, bytes, position, shown, flags, compile_template(format));
  return std::string(out.view()) + "\n";
}

TEST(WriteOpLine, WorkedExample) {
  EXPECT_EQ(op_line({0x20, 0x34, 0x12}, 0x12, 3, 0, "move @w"), "0012 20 34 12       move 1234\n");
  EXPECT_EQ(op_line({0x20, 0x34, 0x12}, 0x12, 3, 2, "move @w"), "0012 20 34 12 ------move 1234\n");
}

TEST(WriteOpLine, ExpandsEachPlaceholder) {
  const Bytes b = {0x1A, 0xBC, 0x5F, 0x07};
  const std::pair<const char*, const char*> cases[] = {
      {"@0", "BC"}, {"@1", "5F"}, {"@2", "07"}, {"@w", "5FBC"}, {"@d", "48223"}, {"@r", "0ABC"}, {"@v", "0F"}, {"@b", "05"},
      {"%d %s 100%", "%d %s 100%"},  // written literally
      {"@x@", "@x@"},                 // no placeholder
      {"@@0", "@BC"},
      {"\x81@0", "\x81" "BC"},        // the template is scanned byte by byte
      {"", ""},
      {"a literal run longer than one copy @0 and after it another long one",
       "a literal run longer than one copy BC and after it another long one"},
      {"@d@d@d@w@", "482234822348223""5FBC@"},  // placeholders back to back, each at its widest
  };
  for (const auto& [format, expected] : cases) {
    EXPECT_EQ(op_line(b, 0x40, 2, 0, format), std::string("0040 1A BC          ") + expected + "\n") << format;
  }
  EXPECT_EQ(op_line(b, 0x40, 2, 0, std::nullopt), "0040 1A BC          \n");
  EXPECT_EQ(op_line({1, 2, 3, 4, 5, 6}, 0, 6, 2, "x"), "0000 01 02 03 04 05 06 x\n");
  // A long instruction shows all its bytes, zero past the buffer.
  std::string long_line = "0000 ";
  for (int i = 0; i < 200; ++i) long_line += i < 150 ? "AB " : "00 ";
  EXPECT_EQ(op_line(Bytes(150, 0xAB), 0, 200, 0, "@w"), long_line + "ABAB\n");
  // Placeholders past the buffer read zero.
  EXPECT_EQ(op_line({0x1F}, 0, 1, 0, "@r@1"), "0000 1F             0F0000\n");
}

class DisassembleScript : public testing::Test {
 protected:
  void SetUp() override {
    const std::vector<std::vector<std::uint16_t>> messages = {{0x0021, 0x039C, 0xFFFF}, {0x0080, 0xFFFF}};
    coder_ = encode::build_text_coder(messages);
    text_trees_ = coder_.trees();
    opcodes_[0x20] = {0x20, 2, 0, 0, "move @w"};
    opcodes_[0x58] = {0x58, 9, 3, 0, "say"};
    opcodes_[0x7A] = {0x7A, 0, 1, 0, "ask @0"};
    opcodes_[0x7B] = {0x7B, 0, 1, 0, std::nullopt};
    opcodes_[0x5D] = {0x5D, 1, 0, 0, "plain"};
    opcodes_[0x30] = {0x30, 0, 1, 0, "flagged"};
  }
  Bytes message(std::initializer_list<std::uint16_t> units) {
    return encode::encode_units(coder_, std::vector<std::uint16_t>(units));
  }
  // The listing with its line ends shown as "\n".
  std::string run(const Bytes& script, int length) {
    OutputBudget budget;
    MemoryOutput out("listing", budget);
    const LineTemplates templates = compile_templates(opcodes_);
    disassemble_script(out, script, length, {text_trees_, {}, opcodes_, templates});
    out.hand_on();
    std::string text = out.contents();
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
  }
  encode::TextCoder coder_;
  TreePair text_trees_;
  OpcodeTable opcodes_;
};

TEST_F(DisassembleScript, ListsInstructionsAndEmbeddedMessages) {
  Bytes script = {0x20, 0x34, 0x12, 0x58};
  const Bytes m1 = message({0x0021, 0x039C, 0xFFFF});
  script.insert(script.end(), m1.begin(), m1.end());
  script.push_back(0x01);  // undefined: one byte, nothing after the padding
  script.push_back(0x30);  // flag bit 0 on an ordinary opcode
  script.push_back(0x5D);  // 0x5D without bit 0: ordinary, two bytes
  script.push_back(0x99);
  const int length = static_cast<int>(script.size());
  const std::string m1_at = "0003 58             say\n";
  const std::string expected = "0000 20 34 12       move 1234\n" + m1_at + "\x81\x49\x97\xE1\n" +
                               std::string("000") + std::to_string(4 + m1.size()) + " 01             \n" +
                               "000" + std::to_string(5 + m1.size()) + " 30             flagged\n" +
                               "000" + std::to_string(6 + m1.size()) + " 5D 99          plain\n";
  EXPECT_EQ(run(script, length), expected);
  EXPECT_EQ(run(script, 0), "");
}

TEST_F(DisassembleScript, TextOpcodeAtTheEndStillWritesItsMessages) {
  // 0x7A as the last byte: its line shows the byte after it, then two empty
  // messages (the limit is 0 or less), and the script ends.
  const Bytes script = {0x7A, 0x44};
  EXPECT_EQ(run(script, 1), "0000 7A 44          ask 44\n\n\n");
  const Bytes six = {0x7B, 0x00};
  EXPECT_EQ(run(six, 2), "0000 7B 00          \n\n\n\n\n\n\n");
}

}  // namespace
}  // namespace ambergale
