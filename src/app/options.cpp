#include "app/options.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

#include "platform/command_line.hpp"
#include "platform/input_file.hpp"
#include "platform/output_folder.hpp"

namespace ambergale {

namespace {

enum Option : std::size_t { kOutputDir, kMescmd, kEncoding, kLineEnds, kMaxOutput, kPot, kHelp, kVersion };
constexpr std::array<CommandOption, 8> kOptions = {{
    {"output-dir", 'o', true, false},
    {"mescmd", 'm', true, false},
    {"encoding", 0, true, false},
    {"line-ends", 0, true, false},
    {"max-output", 0, true, false},
    {"pot", 0, true, false},
    {"help", 'h', false, true},
    {"version", 0, false, true},
}};

Outcome usage_failure(std::string reason) { return Failure{{}, std::move(reason)}; }

// A template's path names a file: its last part is a name, and not the one
// a locked folder's lock file has.
Outcome check_template_path(std::string_view path) {
  const std::string name = split_path(std::string(path)).name;
  if (name.empty() || name == "." || name == ".." || name == kLockFileName) {
    return usage_failure("invalid template path '" + std::string(path) + "' (--pot takes the path of a file)");
  }
  return std::nullopt;
}

Outcome take_option(std::size_t option, const char* value, Options& options) {
  switch (option) {
    case kOutputDir: options.output_dir = value; break;
    case kMescmd: options.opcode_file = value; break;
    case kEncoding: return take_encoding(value, options.settings.encoding);
    case kLineEnds:
      if (std::string_view(value) != "crlf" && std::string_view(value) != "lf") {
        return usage_failure("invalid line end '" + std::string(value) + "' (use crlf or lf)");
      }
      options.settings.crlf = std::string_view(value) == "crlf";
      break;
    case kMaxOutput:
      if (const std::optional<std::uint64_t> size = parse_size(value)) {
        options.settings.max_output = *size;
      } else {
        return usage_failure("invalid size '" + std::string(value) +
                             "' for --max-output (a positive number, with K, M, G or T)");
      }
      break;
    case kPot:
      if (Outcome failure = check_template_path(value)) return failure;
      options.pot = value;
      break;
    case kHelp: options.help = true; break;
    case kVersion: options.version = true; break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> parse_size(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data() || value == 0) return std::nullopt;
  std::string_view rest(end, static_cast<std::size_t>(text.data() + text.size() - end));
  int shift = 0;
  if (!rest.empty()) {
    switch (rest[0]) {
      case 'K': case 'k': shift = 10; break;
      case 'M': case 'm': shift = 20; break;
      case 'G': case 'g': shift = 30; break;
      case 'T': case 't': shift = 40; break;
      default: return std::nullopt;
    }
    rest.remove_prefix(1);
    if (!rest.empty() && rest != "iB") return std::nullopt;
  }
  if (value > (UINT64_MAX >> shift)) return std::nullopt;
  return value << shift;
}

std::optional<Encoding> parse_encoding(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "utf-8" || lower == "utf8") return Encoding::utf8;
  if (lower == "shift-jis" || lower == "shift_jis" || lower == "sjis" || lower == "cp932") return Encoding::shift_jis;
  return std::nullopt;
}

Outcome take_encoding(std::string_view value, Encoding& encoding) {
  const std::optional<Encoding> named = parse_encoding(value);
  if (!named) return usage_failure("invalid encoding '" + std::string(value) + "' (use shift-jis or utf-8)");
  encoding = *named;
  return std::nullopt;
}

Outcome parse_options(int argc, const char* const* argv, Options& options) {
  std::vector<std::string> operands;
  if (Outcome failure = parse_command_line(
          argc, argv, kOptions, [&](std::size_t option, const char* value) { return take_option(option, value, options); },
          operands)) {
    return failure;
  }
  if (!operands.empty()) options.image = operands.front();  // later operands are ignored
  if (options.image == kStandardInput && options.opcode_file == kStandardInput) {
    return usage_failure("the image and the opcode file cannot both be standard input ('-')");
  }
  return std::nullopt;
}

const char* usage_text() {
  return "Usage: ambergale-dump [OPTION]... [IMAGE]\n"
         "Dump the messages, dictionary and event scripts of a cartridge image as text.\n"
         "\n"
         "IMAGE is the 4 MiB cartridge image (default: Ambergale.smc; -: standard\n"
         "input); arguments after it are ignored. The dumps wordlist.txt, wordlist2.txt,\n"
         "sublist.txt and messcript.txt are written into the output folder, Shift-JIS\n"
         "with CR LF line ends by default.\n"
         "\n"
         "Options:\n"
         "  -o, --output-dir DIR   write the dumps into DIR (default: the working folder)\n"
         "  -m, --mescmd FILE      read the opcode definitions from FILE (-: standard\n"
         "                         input; default: mescmd.dat in the working folder)\n"
         "      --encoding ENC     write the dumps as shift-jis (default; also named sjis\n"
         "                         or cp932) or utf-8\n"
         "      --line-ends END    end lines with crlf (default) or lf\n"
         "      --max-output SIZE  fail when the dumps pass SIZE bytes in all (default\n"
         "                         1G); SIZE takes a K, M, G or T suffix (powers of 1024)\n"
         "      --pot PATH         also write a PO template (UTF-8) of every text to PATH\n"
         "  -h, --help             show this help and exit\n"
         "      --version          show the version and exit\n"
         "      --                 end of options: the next argument is IMAGE\n"
         "\n"
         "Exit status: 0 when all four dumps were written, 1 when the run failed,\n"
         "2 for a wrong command line.\n";
}

}  // namespace ambergale
