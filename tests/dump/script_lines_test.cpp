// The map of the script dump's lines, against the dump itself.
#include "dump/stored_messages.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "dump/dump_run.hpp"
#include "dump/load_tables.hpp"
#include "insert/edit_set.hpp"
#include "sample/sample_content.hpp"

namespace ambergale {
namespace {

TEST(ScriptLines, MapEveryLineOfTheDump) {
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
  std::size_t messages = 0;
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
      case ScriptLine::Kind::message: ++messages; break;
    }
  }
  EXPECT_GT(messages, 1000u);
}

}  // namespace
}  // namespace ambergale
