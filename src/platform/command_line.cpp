#include "platform/command_line.hpp"

#include <getopt.h>

#include <cstring>
#include <string_view>

namespace ambergale {

namespace {

// getopt_long reports an option by its `val`: the short letter, or for a
// long-only option a code above every letter.
constexpr int kLongOnly = 256;

int option_code(const CommandOption& entry, std::size_t index) {
  return entry.letter != 0 ? entry.letter : kLongOnly + static_cast<int>(index);
}

// What getopt_long refused in `arg` (the argument it stopped at).
std::string refusal(std::string_view arg, int code, std::span<const CommandOption> known, bool missing_value) {
  const bool is_long = arg.size() > 2 && arg.substr(0, 2) == "--";
  std::string shown;
  if (is_long) {
    shown = std::string(arg.substr(0, arg.find('=')));
  } else {
    shown = std::string("-") + static_cast<char>(code);
  }
  if (missing_value) return "option '" + shown + "' needs a value";
  if (is_long && code != 0) return "option '" + shown + "' takes no value";
  if (is_long) {
    int matches = 0;
    for (const CommandOption& entry : known) matches += std::string_view(entry.name).starts_with(shown.substr(2)) ? 1 : 0;
    if (matches > 1) return "option '" + shown + "' is ambiguous";
  }
  return "unknown option '" + shown + "'";
}

}  // namespace

Outcome parse_command_line(int argc, const char* const* argv, std::span<const CommandOption> known,
                           const std::function<Outcome(std::size_t option, const char* value)>& take,
                           std::vector<std::string>& operands) {
  std::string short_options = ":";  // ':' first: a missing value is told apart from an unknown option
  std::vector<option> long_options;
  for (std::size_t i = 0; i < known.size(); ++i) {
    const CommandOption& entry = known[i];
    if (entry.letter != 0) {
      short_options += entry.letter;
      if (entry.takes_value) short_options += ':';
    }
    long_options.push_back({entry.name, entry.takes_value ? required_argument : no_argument, nullptr, option_code(entry, i)});
  }
  long_options.push_back({nullptr, 0, nullptr, 0});
  // getopt_long reorders the arguments it is given: it gets a copy.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
  args.push_back(nullptr);
  optind = 0;  // a fresh scan, also for a second parse in one process
  opterr = 0;
  for (;;) {
    const int at = optind == 0 ? 1 : optind;
    const int code = getopt_long(argc, args.data(), short_options.c_str(), long_options.data(), nullptr);
    if (code == -1) break;
    if (code == '?' || code == ':') {
      // The argument refused: the one before optind, unless getopt is still
      // inside a group of short options.
      const char* arg = optind > at ? args[optind - 1] : args[at];
      return Failure{{}, refusal(arg, optopt, known, code == ':')};
    }
    std::size_t index = 0;
    while (option_code(known[index], index) != code) ++index;
    if (Outcome failure = take(index, known[index].takes_value ? optarg : nullptr)) return failure;
    if (known[index].ends_parsing) return std::nullopt;
  }
  for (int i = optind; i < argc; ++i) operands.emplace_back(args[i]);
  return std::nullopt;
}

}  // namespace ambergale
