// The command line:
//   ambergale-dump [-o DIR] [-m FILE] [--encoding ENC] [--max-output SIZE] [--] [IMAGE [IGNORED...]]
//   ambergale-dump -h | --help | --version
// GNU style: long options take their value as "--name=value" or as the next
// argument, short ones as "-oDIR" or the next argument; options and
// arguments may come in any order, and "--" ends the options. The first
// argument is the image; the ones after it are ignored.
#pragma once

#include <cstdint>
#include <string>

namespace ambergale {

inline constexpr const char* kDefaultImage = "Ambergale.smc";
inline constexpr const char* kOpcodeFile = "mescmd.dat";

enum class Encoding { shift_jis, utf8 };

struct Options {
  std::string image = kDefaultImage;
  std::string output_dir = ".";
  std::string opcode_file = kOpcodeFile;
  Encoding encoding = Encoding::shift_jis;
  std::uint64_t max_output = std::uint64_t{1} << 30;
  bool help = false;     // show the usage and stop
  bool version = false;  // show the version and stop
};

// Reads the command line into `options`. Returns an empty string, or what is
// wrong with the command line. Parsing stops at the first error, --help or
// --version.
std::string parse_options(int argc, const char* const* argv, Options& options);

// Reads a size: decimal digits with an optional K, M, G or T suffix (powers
// of 1024), which may be followed by "iB". False when it is no such size,
// is zero, or does not fit in 64 bits.
bool parse_size(const std::string& text, std::uint64_t& size);

// The text of --help.
const char* usage_text();

}  // namespace ambergale
