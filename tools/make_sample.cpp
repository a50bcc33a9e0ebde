// make-sample [--seed N] DIR
// Writes a synthetic sample cartridge, "Ambergale.smc", and the "mescmd.dat"
// that describes its scripts' opcodes into DIR, the same for the same seed.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"

namespace {

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
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) {
      seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
    } else {
      dir = arg;
    }
  }
  if (dir.empty()) {
    std::fprintf(stderr, "usage: make-sample [--seed N] DIR\n");
    return 2;
  }
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
  const std::filesystem::path out(dir);
  if (!write(out / "Ambergale.smc", std::string(layout.image.begin(), layout.image.end()))) return 1;
  if (!write(out / "mescmd.dat", ambergale::sample::sample_opcode_file())) return 1;
  return 0;
}
