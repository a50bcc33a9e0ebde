// The whole run on a mutated sample cartridge: the input is a list of
// patches (a 3-byte offset into the image, then a byte) applied to a fresh
// copy of the sample, with a definition file of the sample's.
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/run.hpp"
#include "fuzz_input.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"

namespace {

const std::vector<std::uint8_t>& sample_image() {
  static const std::vector<std::uint8_t> image = ambergale::sample::make_sample(3).layout.image;
  return image;
}

// A working folder of its own, with the sample's definition file.
void enter_work_dir() {
  static const bool ready = [] {
    const auto dir = std::filesystem::temp_directory_path() / ("whole-run-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    FILE* f = std::fopen("mescmd.dat", "wb");
    const std::string defs = ambergale::sample::sample_opcode_file();
    std::fwrite(defs.data(), 1, defs.size(), f);
    std::fclose(f);
    return true;
  }();
  (void)ready;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  enter_work_dir();
  std::vector<std::uint8_t> image = sample_image();
  for (std::size_t i = 0; i + 4 <= size; i += 4) {
    const std::size_t offset = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % image.size();
    image[offset] = data[i + 3];
  }
  FILE* f = std::fopen("Ambergale.smc", "wb");
  std::fwrite(image.data(), 1, image.size(), f);
  std::fclose(f);
  const char* argv[] = {"ambergale-dump"};
  const int status = ambergale::run_dump_tool(1, argv);
  if (status != 0 && status != 1) __builtin_trap();
  return 0;
}
