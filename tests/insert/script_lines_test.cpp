// The map of the script dump's lines, against the dump itself.
#include "insert/script_lines.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "dump/dump_run.hpp"
#include "dump/load_tables.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "sample/sample_content.hpp"

namespace ambergale {
namespace {

TEST(ScriptLines, MapEveryLineOfTheDumpAndNameAChangedMessage) {
  const std::vector<std::uint8_t> image = sample::make_sample(2).layout.image;
  const std::string opcodes = sample::sample_opcode_file();
  const MemoryRun dumps = run_in_memory(image, opcodes, DumpSettings{}, true);
  ASSERT_FALSE(dumps.failure);
  Cartridge cart;
  cart.bytes = image;
  const std::vector<ScriptLine> map = map_script_lines(cart, *dumps.tables);
  const std::vector<std::string_view> lines = split_lines(dumps.dumps[3]);
  ASSERT_EQ(map.size(), lines.size());
  // Each kind reads as the dump wrote it: empty lines, headers naming their
  // script, instructions starting with their offset.
  std::size_t messages = 0, first_message = 0;
  for (std::size_t i = 0; i < map.size(); ++i) {
    const ScriptLine& line = map[i];
    char offset[8];
    std::snprintf(offset, sizeof offset, "%04X ", static_cast<unsigned>(line.offset));
    char header[8];
    std::snprintf(header, sizeof header, "[%04X:", static_cast<unsigned>(line.script));
    switch (line.kind) {
      case ScriptLine::Kind::blank: ASSERT_EQ(lines[i], "") << i; break;
      case ScriptLine::Kind::header: ASSERT_EQ(lines[i].substr(0, 6), header) << i; break;
      case ScriptLine::Kind::instruction: ASSERT_EQ(lines[i].substr(0, 5), offset) << i; break;
      case ScriptLine::Kind::message:
        if (messages++ == 0) first_message = i;
        break;
    }
  }
  EXPECT_GT(messages, 1000u);

  // A changed message line is named by its script and offset.
  InsertInputs inputs;
  inputs.image_file = image;
  inputs.image_name = "image.smc";
  inputs.opcode_file = opcodes;
  inputs.edited[3] = with_lines(dumps.dumps[3], {{first_message + 1, std::string(lines[first_message]) + "\x81H"}});
  InsertResult result;
  const Outcome refused = run_insert(inputs, {}, result);
  ASSERT_TRUE(refused);
  char expected[160];
  std::snprintf(expected, sizeof expected,
                "messcript.txt:%zu: the message at offset %04X of script %04X cannot be changed yet: messages inside event "
                "scripts are not inserted",
                first_message + 1, static_cast<unsigned>(map[first_message].offset), static_cast<unsigned>(map[first_message].script));
  EXPECT_EQ(refused->text(), expected);
}

}  // namespace
}  // namespace ambergale
