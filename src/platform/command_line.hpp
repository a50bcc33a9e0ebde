// GNU-style command lines, parsed with the C library's getopt_long: options
// anywhere among the operands, "--name=value" or "--name value", "-xVALUE"
// or "-x VALUE", unambiguous abbreviations of long names, and "--" ending
// the options.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

struct CommandOption {
  const char* name;    // the long name
  char letter;         // the short letter, or 0
  bool takes_value;
  bool ends_parsing;   // --help and --version: nothing after them is looked at
};

// Parses the arguments after argv[0]. For each option, in order, calls
// `take(its index in known, its value or nullptr)`, whose failure ends the parse;
// the operands are collected in `operands`. A failure says what is wrong
// with the command line ("unknown option '--x'").
Outcome parse_command_line(int argc, const char* const* argv, std::span<const CommandOption> known,
                           const std::function<Outcome(std::size_t option, const char* value)>& take,
                           std::vector<std::string>& operands);

}  // namespace ambergale
