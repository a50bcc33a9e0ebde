// The command line:
//   ambergale-dump [-o DIR] [-m FILE] [--encoding ENC] [--line-ends crlf|lf]
//                  [--max-output SIZE] [--] [IMAGE [IGNORED...]]
//   ambergale-dump -h | --help | --version
// GNU style (see platform/command_line.hpp). The first operand is the image;
// the ones after it are ignored. "-" is standard input, as the image and as
// the opcode file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dump/dump_run.hpp"
#include "platform/failure.hpp"

namespace ambergale {

inline constexpr const char* kDefaultImage = "Ambergale.smc";
inline constexpr const char* kOpcodeFile = "mescmd.dat";

struct Options {
  std::string image = kDefaultImage;
  std::string output_dir = ".";
  std::string opcode_file = kOpcodeFile;
  std::string pot;  // where to write a PO template, if anywhere
  DumpSettings settings;
  bool help = false;     // show the usage and stop
  bool version = false;  // show the version and stop
};

// Reads the command line into `options`. The failure says what is wrong with
// the command line. Parsing stops at the first error, --help or --version.
Outcome parse_options(int argc, const char* const* argv, Options& options);

// Reads a size: decimal digits with an optional K, M, G or T suffix (powers
// of 1024), which may be followed by "iB". Nothing when it is no such size,
// is zero, or does not fit in 64 bits.
std::optional<std::uint64_t> parse_size(std::string_view text);

// Reads an encoding's name, in any case: utf-8 or utf8; shift-jis,
// shift_jis, sjis or cp932 (all the Shift-JIS bytes the dumps hold).
std::optional<Encoding> parse_encoding(std::string_view name);

// Stores the encoding `value` names, or says it names none.
Outcome take_encoding(std::string_view value, Encoding& encoding);

// The text of --help.
const char* usage_text();

}  // namespace ambergale
