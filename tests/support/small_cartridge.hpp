// A small complete cartridge for end-to-end tests: a few known messages,
// dictionary entries and scripts, the rest filled in by the layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "insert/insert_run.hpp"
#include "sample/cartridge_layout.hpp"

namespace ambergale::testing_support {

// Content with known lines in every dump (see the .cpp for what they are).
sample::CartridgeContent small_content();

// A definition file for the opcodes small_content's scripts use.
std::string small_opcode_file();

// The image of small_content, built once.
const std::vector<std::uint8_t>& small_image();

// The inputs of an insert into `image` under small_opcode_file, and the
// image's own dumps to edit (made in memory; empty when the image does not
// dump).
struct SmallInsert {
  InsertInputs inputs;
  std::array<std::string, 4> dumps;
};
SmallInsert small_insert(std::vector<std::uint8_t> image);

// A 4 MiB image of random bytes.
std::vector<std::uint8_t> random_image(std::uint32_t seed);

// A random image under small_image's script tree: word lists of tens of
// thousands of entries, each decoded to its cap, over 100 MB of dumps.
std::vector<std::uint8_t> runaway_image(std::uint32_t seed);

}  // namespace ambergale::testing_support
