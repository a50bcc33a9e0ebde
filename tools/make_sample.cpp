// make-sample [--seed N] [--jumps] [--worst-case] [--translate RATIO] DIR
// Writes a synthetic sample cartridge, "Ambergale.smc", and the "mescmd.dat"
// that describes its scripts' opcodes into DIR, the same for the same seed;
// with --translate, also "en.po", a synthetic translation of its texts.
#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <vector>
#include <cstdio>
#include <random>
#include <filesystem>
#include <fstream>
#include <string>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/script_tree.hpp"
#include "platform/command_line.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"
#include "sample/sample_translation.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: make-sample [--seed N] [--jumps] [--worst-case] [--translate RATIO] DIR\n"
    "Write a synthetic sample cartridge (Ambergale.smc) and its opcode file\n"
    "(mescmd.dat) into DIR, created if missing; the same seed gives the same files.\n"
    "\n"
    "  --seed N       the seed of the generated content, 0 to 4294967295 (default 1)\n"
    "  --jumps        scripts also hold jumps to instruction starts of their own\n"
    "                 script, many across embedded messages, which the opcode\n"
    "                 file declares as offsets\n"
    "  --worst-case   random bytes under the sample's script tree instead: word lists\n"
    "                 of thousands of entries that decode to their caps (over 100 MB)\n"
    "  --translate RATIO  also write en.po, the sample's catalogue with every\n"
    "                 word-list, sequential-block and script text translated into\n"
    "                 English-like full-width prose of RATIO (0.1 to 10) times its\n"
    "                 characters, controls, names and line breaks kept in place;\n"
    "                 the dictionary's entries stay untranslated\n"
    "  -h, --help     show this help and exit\n"
    "  --             end of options: the next argument is DIR\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "make-sample: %s\nTry 'make-sample --help' for more information.\n", message.c_str());
  return 2;
}

std::optional<std::uint32_t> parse_seed(std::string_view text) {
  std::uint32_t seed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return seed;
}

std::optional<double> parse_ratio(std::string_view text) {
  double ratio = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), ratio, std::chars_format::fixed);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (!(ratio >= ambergale::sample::kLeastRatio && ratio <= ambergale::sample::kMostRatio)) return std::nullopt;
  return ratio;
}

enum Option : std::size_t { kSeed, kJumps, kWorstCase, kTranslate, kHelp };
constexpr ambergale::CommandOption kOptions[] = {
    {"seed", 0, true, false},
    {"jumps", 0, false, false},
    {"worst-case", 0, false, false},
    {"translate", 0, true, false},
    {"help", 'h', false, true},
};

bool write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "make-sample: %s: cannot write\n", path.string().c_str());
  return static_cast<bool>(out);
}

// The catalogue of `image` translated, as en.po.
int write_translation(const std::filesystem::path& path, const std::vector<std::uint8_t>& image, const std::string& opcodes,
                      double ratio, std::uint32_t seed) {
  std::string po;
  const ambergale::Outcome failure =
      ambergale::sample::write_sample_translation(ambergale::make_cartridge(image), opcodes, ratio, seed, po);
  if (failure) {
    std::fprintf(stderr, "make-sample: %s\n", failure->text().c_str());
    return 1;
  }
  return write(path, po) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t seed = 1;
  bool jumps = false;
  bool worst_case = false;
  bool help = false;
  std::optional<double> ratio;
  std::vector<std::string> operands;
  const ambergale::Outcome failure = ambergale::parse_command_line(
      argc, argv, kOptions,
      [&](std::size_t option, const char* value) -> ambergale::Outcome {
        if (option == kSeed) {
          const std::optional<std::uint32_t> parsed = parse_seed(value);
          if (!parsed) return ambergale::Failure{{}, "invalid seed '" + std::string(value) + "' (a number, 0 to 4294967295)"};
          seed = *parsed;
        }
        if (option == kTranslate) {
          ratio = parse_ratio(value);
          if (!ratio) return ambergale::Failure{{}, "invalid ratio '" + std::string(value) + "' (a decimal number, 0.1 to 10)"};
        }
        jumps = jumps || option == kJumps;
        worst_case = worst_case || option == kWorstCase;
        help = help || option == kHelp;
        return std::nullopt;
      },
      operands);
  if (failure) return usage_error(failure->text());
  if (help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (operands.size() > 1) return usage_error("more than one folder: '" + operands[0] + "' and '" + operands[1] + "'");
  if (ratio && worst_case) return usage_error("--translate and --worst-case together: random bytes hold no texts to translate");
  const std::string dir = operands.empty() ? std::string() : operands[0];
  if (dir.empty()) return usage_error("no folder given");
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "make-sample: %s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  ambergale::sample::CartridgeLayout layout;
  try {
    layout = ambergale::sample::make_sample(seed, jumps).layout;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "make-sample: %s\n", failure.what());
    return 1;
  }
  if (worst_case) {
    // Everything random but the script tree, which must be valid for a dump.
    std::vector<std::uint8_t> image(layout.image.size());
    std::mt19937 random(seed);
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    using ambergale::cartridge_map::kScriptTreeHeader;
    const int header = ambergale::rom_offset(kScriptTreeHeader.bank, kScriptTreeHeader.address);
    std::copy_n(layout.image.begin() + header, ambergale::kScriptHeaderBytes, image.begin() + header);
    layout.image = std::move(image);
  }
  const std::filesystem::path out(dir);
  if (!write(out / "Ambergale.smc", std::string(layout.image.begin(), layout.image.end()))) return 1;
  const std::string opcodes = ambergale::sample::sample_opcode_file(jumps);
  if (!write(out / "mescmd.dat", opcodes)) return 1;
  return ratio ? write_translation(out / "en.po", layout.image, opcodes, *ratio, seed) : 0;
}
