// The whole run of the dump tool: read the command line, open the image,
// build the tables, write the four dumps.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/options.hpp"

namespace ambergale {

// Runs the tool as the command line `argv` asks; returns the exit status:
// 0 when all four dumps were written (or help or the version was shown),
// 1 when the run failed, 2 for a wrong command line.
int run_dump_tool(int argc, const char* const* argv);

// A run on files held in memory, without touching the disk: `image_file` is
// what an image file holds (framed as a file would be), `opcode_file` the
// contents of the opcode file.
struct MemoryRun {
  int status = 0;                     // as run_dump_tool's
  std::string message;                // why the run failed
  std::array<std::string, 4> dumps;   // the files in run order, when kept
  std::array<std::uint64_t, 4> sizes{};
};
MemoryRun run_in_memory(std::span<const std::uint8_t> image_file, std::string_view opcode_file,
                        Encoding encoding, std::uint64_t max_output, bool keep_dumps);

}  // namespace ambergale
