#include "script/opcodes.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace ambergale {
namespace {

OpcodeTable parse(const std::string& contents) {
  OpcodeTable table;
  const Outcome failure = parse_opcodes(contents, table);
  EXPECT_FALSE(failure) << failure->text();
  return table;
}

TEST(SplitFields, SplitsInPlaceUpToTheCount) {
  std::array<std::string_view, 6> f;
  EXPECT_EQ(split_fields("", '\t', f), 1);
  EXPECT_EQ(f[0], "");
  EXPECT_EQ(split_fields("a\t\tb\t", '\t', f), 4);
  EXPECT_EQ(f[1], "");
  EXPECT_EQ(f[2], "b");
  EXPECT_EQ(f[3], "");
  EXPECT_EQ(split_fields("0\t1\t2\t3\t4\t5\t6\t7", '\t', f), 6);
  EXPECT_EQ(f[5], "5");  // columns 6 on are stored nowhere
}

TEST(ReadInteger, ReadsLikeAtoi) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12}, {"  -7x", -7}, {"+3", 3}, {"0x02", 0}, {"", 0}, {"abc", 0}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
      {"+-5", 0}, {"- 5", 0}, {"\t\n 8", 8}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(read_integer(text), value) << text;
}

TEST(ParseOpcodes, ReadsColumnsAndTemplates) {
  const OpcodeTable t = parse(
      "name\tops\tflags\tspare\tformat\n"
      "zero\t2\t0\t7\tmove @w\n"       // 0: a full line
      "one\t1\t3\t0\n"                 // 1: four columns, no template
      "two\t0\t0\t0\t\n"               // 2: empty column 4
      "three\t0\t4\t0\tT\tX\tY\r\n"    // 3: six columns and CR LF
      "\n"                             // 4: blank line
      "five\t0x02\t2\n"                // 5: hexadecimal reads 0, column 3 missing
      "six\t-5\t1\t0\tlast");          // 6: no final newline
  EXPECT_EQ(t[0].index, 0);
  EXPECT_EQ(t[0].operand_bytes, 2);
  EXPECT_EQ(t[0].spare, 7);
  EXPECT_EQ(t[0].format, "move @w");
  EXPECT_EQ(t[1].flags, 3);
  EXPECT_EQ(t[1].format, std::nullopt);
  EXPECT_EQ(t[2].format, "");
  EXPECT_EQ(t[3].flags, 4);
  EXPECT_EQ(t[3].format, "T");
  EXPECT_EQ(t[4].index, 4);
  EXPECT_EQ(t[4].operand_bytes, 0);
  EXPECT_EQ(t[4].format, std::nullopt);
  EXPECT_EQ(t[5].operand_bytes, 0);
  EXPECT_EQ(t[5].flags, 2);
  EXPECT_EQ(t[6].operand_bytes, 0);  // a negative count counts as 0
  EXPECT_EQ(t[6].format, "last");    // the last line keeps all its characters
  EXPECT_EQ(t[7].index, 0);
  EXPECT_EQ(t[7].format, std::nullopt);
}

TEST(ParseOpcodes, HandlesOddFiles) {
  EXPECT_EQ(parse("")[0].format, std::nullopt);
  EXPECT_EQ(parse("only a header\tx\ty\n")[0].format, std::nullopt);
  // CR-only line ends make one long header line.
  EXPECT_EQ(parse("header\rop\t1\t0\t0\tx\r")[0].format, std::nullopt);
  // 300 data lines: lines past the 256th are ignored.
  std::string many = "header\n";
  for (int i = 0; i < 300; ++i) many += "op\t" + std::to_string(i % 3) + "\t0\t0\tline " + std::to_string(i) + "\n";
  const OpcodeTable t = parse(many);
  EXPECT_EQ(t[255].format, "line 255");
  EXPECT_EQ(t[255].operand_bytes, 0);
  // A NUL byte ends its line's text; a very long line is read whole.
  const std::string long_template(5000, 'L');
  const OpcodeTable u = parse(std::string("h\nop\t1\t0\t0\tab\0cd\t\nop\t0\t0\t0\t", 27) + long_template + "\n");
  EXPECT_EQ(u[0].format, "ab");
  EXPECT_EQ(u[1].format, long_template);
}

TEST(ParseOpcodes, RefusesOperandCountsLongerThanAnyScript) {
  OpcodeTable table;
  EXPECT_FALSE(parse_opcodes("h\nop\t6015\t0\t0\n", table));
  const Outcome refused = parse_opcodes("h\nop\t0\t0\t0\nop\t100000\t0\t0\n", table);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->text(), "line 3: operand count 100000 is longer than any script (at most 6015)");
}

TEST(ReadOpcodeFile, ReportsAMissingFile) {
  testing_support::TempDir dir;
  std::string contents;
  const Outcome missing = read_opcode_file(dir.file("mescmd.dat"), contents);
  ASSERT_TRUE(missing);
  EXPECT_TRUE(missing->cannot_open);
  EXPECT_EQ(missing->text(), "cannot open: No such file or directory");
  testing_support::write_file(dir.file("mescmd.dat"), "h\nop\t1\t0\t0\tx\n");
  EXPECT_FALSE(read_opcode_file(dir.file("mescmd.dat"), contents));
  EXPECT_EQ(contents, "h\nop\t1\t0\t0\tx\n");
}

TEST(ReadOpcodeFile, ReadsTheLastUsedLineWholeAndNothingAfterIt) {
  testing_support::TempDir dir;
  std::string file = "h\r\n";
  for (int op = 0; op < 256; ++op) file += "op\t" + std::to_string(op % 7) + "\t0\t0\tt" + std::to_string(op) + "\r\n";
  // Longer than a read, so the 256th line ends inside the second one.
  file.insert(0, std::string(20000, 'h'));
  testing_support::write_file(dir.file("mescmd.dat"), file + "op\t99999999\t0\t0\r\n");
  std::string contents;
  ASSERT_FALSE(read_opcode_file(dir.file("mescmd.dat"), contents));
  EXPECT_EQ(contents, file);  // its CR LF read as the line end
}

TEST(OpcodeFileDoubt, NamesFilesThatCannotBeOpcodeFiles) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"h\nop\t1\n", std::nullopt},
      {"h\nno tab\nop\t1\n", std::nullopt},  // one data line with a TAB is enough
      {"", "no data line holds a TAB: it does not look like an opcode file"},
      {"only\ta header\n", "no data line holds a TAB: it does not look like an opcode file"},
      {std::string("h\nop\t1\0\n", 9), "holds NUL bytes: it does not look like an opcode file"},
  };
  for (const auto& [contents, doubt] : cases) EXPECT_EQ(opcode_file_doubt(contents), doubt) << contents;
}

}  // namespace
}  // namespace ambergale
