// The whole run, in memory, on a mutated sample cartridge: the input is a
// list of patches (a 3-byte offset into the image, then a byte) applied to
// the sample, with a definition file of the sample's.
#include <string>
#include <vector>

#include "app/run.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"

namespace {

std::vector<std::uint8_t>& sample_image() {
  static std::vector<std::uint8_t> image = ambergale::sample::make_sample(3).layout.image;
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string opcodes = ambergale::sample::sample_opcode_file();
  std::vector<std::uint8_t>& image = sample_image();
  // Patched in place and put back afterwards: no 4 MiB copy per input.
  std::vector<std::pair<std::size_t, std::uint8_t>> saved;
  for (std::size_t i = 0; i + 4 <= size; i += 4) {
    const std::size_t offset = (data[i] | data[i + 1] << 8 | data[i + 2] << 16) % image.size();
    saved.emplace_back(offset, image[offset]);
    image[offset] = data[i + 3];
  }
  // The dumps are counted, not kept; a ceiling keeps runaway inputs short.
  const auto run = ambergale::run_in_memory(image, opcodes, ambergale::Encoding::shift_jis, std::uint64_t{64} << 20, false);
  if (run.status != 0 && run.status != 1) __builtin_trap();
  for (auto it = saved.rbegin(); it != saved.rend(); ++it) image[it->first] = it->second;
  return 0;
}
