// The bytes of a sample image that hold neither tables nor text, which a
// whole translation may be given with --free.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ambergale::sample {

// "--free=" options for the bytes before each script group's first block
// (in bank F8 from the end of the script tree's header) and for bank FB
// from F000, which the sample leaves unused.
std::vector<std::string> free_options(std::span<const std::uint8_t> image);

}  // namespace ambergale::sample
