// make-sample [--seed N] [--worst-case] DIR
// Writes a synthetic sample cartridge, "Ambergale.smc", and the "mescmd.dat"
// that describes its scripts' opcodes into DIR, the same for the same seed.
#include <algorithm>
#include <cstdio>
#include <random>
#include <filesystem>
#include <fstream>
#include <string>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/script_tree.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: make-sample [--seed N] [--worst-case] DIR\n"
    "Write a synthetic sample cartridge (Ambergale.smc) and its opcode file\n"
    "(mescmd.dat) into DIR, created if missing; the same seed gives the same files.\n"
    "\n"
    "  --seed N       the seed of the generated content, 0 to 4294967295 (default 1)\n"
    "  --worst-case   random bytes under the sample's script tree instead: word lists\n"
    "                 of thousands of entries that decode to their caps (over 100 MB)\n"
    "  -h, --help     show this help and exit\n"
    "  --             end of options: the next argument is DIR\n";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "make-sample: %s\nTry 'make-sample --help' for more information.\n", message.c_str());
  return 2;
}

bool parse_seed(const std::string& text, std::uint32_t& seed) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > UINT32_MAX) return false;
  seed = static_cast<std::uint32_t>(value);
  return true;
}

bool write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "make-sample: %s: cannot write\n", path.string().c_str());
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t seed = 1;
  bool worst_case = false;
  std::string dir;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      if (!dir.empty()) return usage_error("more than one folder: '" + dir + "' and '" + arg + "'");
      dir = arg;
    } else if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--worst-case") {
      worst_case = true;
    } else if (arg == "--seed" || arg.rfind("--seed=", 0) == 0) {
      std::string value;
      if (arg != "--seed") {
        value = arg.substr(7);
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return usage_error("option '--seed' needs a value");
      }
      if (!parse_seed(value, seed)) return usage_error("invalid seed '" + value + "' (a number, 0 to 4294967295)");
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  if (dir.empty()) return usage_error("no folder given");
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) {
    std::fprintf(stderr, "make-sample: %s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }
  ambergale::sample::CartridgeLayout layout;
  try {
    layout = ambergale::sample::make_sample(seed).layout;
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
  if (!write(out / "mescmd.dat", ambergale::sample::sample_opcode_file())) return 1;
  return 0;
}
