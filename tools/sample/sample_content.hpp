// Generated content for the sample cartridge: realistic in size and in the
// kinds of text and bytecode it holds, the same for the same seed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sample/cartridge_layout.hpp"

namespace ambergale::sample {

// Content whose scripts in group g hold about fill[g] percent of the
// instructions that would overfill its region. With `jumps`, some of their
// ordinary instructions are jumps to instruction starts of their own script.
CartridgeContent generate_content(std::uint32_t seed, const std::array<int, 4>& fill = {100, 100, 100, 100},
                                  bool jumps = false);

struct SampleCartridge {
  CartridgeContent content;
  CartridgeLayout layout;
};

// The sample for `seed`: content whose script groups fill their regions as
// far as they fit (each group's share tried from 100 percent down), laid out.
SampleCartridge make_sample(std::uint32_t seed, bool jumps = false);

// The sample's "mescmd.dat", describing the opcodes generate_content uses;
// with `jumps`, also the jump opcodes and their offset declarations.
std::string sample_opcode_file(bool jumps = false);

// The offset operands of the jump opcodes, as the opcode file with jumps
// declares them; no other opcode has any.
OffsetTable sample_jump_offsets();

}  // namespace ambergale::sample
