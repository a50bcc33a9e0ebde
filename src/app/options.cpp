#include "app/options.hpp"

#include <string_view>

namespace ambergale {

namespace {

// The options that take a value, by long name and short letter (0: none).
struct ValueOption {
  std::string_view name;
  char letter;
};
constexpr ValueOption kValueOptions[] = {
    {"output-dir", 'o'}, {"mescmd", 'm'}, {"encoding", 0}, {"max-output", 0}};

// Stores the value of a value option; returns what is wrong with it, if anything.
std::string set_value(std::string_view name, const std::string& value, Options& options) {
  if (name == "output-dir") {
    options.output_dir = value;
  } else if (name == "mescmd") {
    options.opcode_file = value;
  } else if (name == "encoding") {
    if (value == "shift-jis") {
      options.encoding = Encoding::shift_jis;
    } else if (value == "utf-8") {
      options.encoding = Encoding::utf8;
    } else {
      return "invalid encoding '" + value + "' (use shift-jis or utf-8)";
    }
  } else if (!parse_size(value, options.max_output)) {
    return "invalid size '" + value + "' for --max-output (a positive number, with K, M, G or T)";
  }
  return {};
}

const ValueOption* value_option(std::string_view name) {
  for (const ValueOption& option : kValueOptions) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

const ValueOption* value_option(char letter) {
  for (const ValueOption& option : kValueOptions) {
    if (option.letter != 0 && option.letter == letter) return &option;
  }
  return nullptr;
}

}  // namespace

bool parse_size(const std::string& text, std::uint64_t& size) {
  std::size_t i = 0;
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (i == 0 || value == 0) return false;
  int shift = 0;
  if (i < text.size()) {
    switch (text[i]) {
      case 'K': case 'k': shift = 10; break;
      case 'M': case 'm': shift = 20; break;
      case 'G': case 'g': shift = 30; break;
      case 'T': case 't': shift = 40; break;
      default: return false;
    }
    const std::string_view rest = std::string_view(text).substr(i + 1);
    if (!rest.empty() && rest != "iB") return false;
  }
  if (value > (UINT64_MAX >> shift)) return false;
  size = value << shift;
  return true;
}

std::string parse_options(int argc, const char* const* argv, Options& options) {
  bool image_seen = false;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      if (!image_seen) options.image = arg;  // later arguments are ignored
      image_seen = true;
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    // The value of a value option: the rest of this argument, or the next one.
    auto take_value = [&](const std::string& shown, std::size_t rest_at, std::string& value) -> std::string {
      if (rest_at < arg.size()) {
        value = arg.substr(rest_at);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return "option '" + shown + "' needs a value";
      }
      return {};
    };
    if (arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      if (name == "help" || name == "version") {
        if (equals != std::string::npos) return "option '--" + name + "' takes no value";
        (name == "help" ? options.help : options.version) = true;
        return {};
      }
      const ValueOption* option = value_option(name);
      if (!option) return "unknown option '--" + name + "'";
      std::string value;
      const std::size_t rest_at = equals == std::string::npos ? arg.size() : equals + 1;
      if (equals != std::string::npos && rest_at == arg.size()) {
        value.clear();  // "--name=": an empty value
      } else if (std::string error = take_value("--" + name, rest_at, value); !error.empty()) {
        return error;
      }
      if (std::string error = set_value(option->name, value, options); !error.empty()) return error;
      continue;
    }
    // Short options, which may be grouped: "-h", "-oDIR", "-o DIR".
    for (std::size_t k = 1; k < arg.size(); ++k) {
      if (arg[k] == 'h') {
        options.help = true;
        return {};
      }
      const ValueOption* option = value_option(arg[k]);
      if (!option) return std::string("unknown option '-") + arg[k] + "'";
      std::string value;
      if (std::string error = take_value(std::string("-") + arg[k], k + 1, value); !error.empty()) return error;
      if (std::string error = set_value(option->name, value, options); !error.empty()) return error;
      break;
    }
  }
  return {};
}

const char* usage_text() {
  return "Usage: ambergale-dump [OPTION]... [IMAGE]\n"
         "Dump the messages, dictionary and event scripts of a cartridge image as text.\n"
         "\n"
         "IMAGE is the 4 MiB cartridge image (default: Ambergale.smc); arguments after it\n"
         "are ignored. The dumps wordlist.txt, wordlist2.txt, sublist.txt and messcript.txt\n"
         "are written into the output folder, Shift-JIS with CR LF line ends by default.\n"
         "\n"
         "  -o, --output-dir DIR   write the dumps into DIR (default: the working folder)\n"
         "  -m, --mescmd FILE      read the opcode definitions from FILE\n"
         "                         (default: mescmd.dat in the working folder)\n"
         "      --encoding ENC     write the dumps as shift-jis (default) or utf-8\n"
         "      --max-output SIZE  fail when the dumps pass SIZE bytes in all (default 1G);\n"
         "                         SIZE takes a K, M, G or T suffix (powers of 1024)\n"
         "  -h, --help             show this help and exit\n"
         "      --version          show the version and exit\n"
         "      --                 end of options: the next argument is IMAGE\n"
         "\n"
         "Exit status: 0 when all four dumps were written, 1 when the run failed,\n"
         "2 for a wrong command line.\n";
}

}  // namespace ambergale
