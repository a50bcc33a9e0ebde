// The whole run, in memory, on a mutated cartridge: the input is a list of
// patches (a 16-bit address, a byte choosing one of the banks the tool
// reads, then the new byte) applied to a sample cartridge, with a definition
// file of the sample's. The sample is cut down (a few messages a group,
// scripts of an instruction or two) so that a run takes milliseconds; its
// dictionary and trees are the full sample's kind.
#include <algorithm>
#include <string>
#include <vector>

#include "dump/dump_run.hpp"
#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"
#include "small_sample.hpp"

namespace {

std::vector<std::uint8_t>& sample_image() {
  static std::vector<std::uint8_t> image = ambergale::fuzz::small_sample();
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string opcodes = ambergale::sample::sample_opcode_file();
  std::vector<std::uint8_t>& image = sample_image();
  // Patched in place and put back afterwards: no 4 MiB copy per input.
  std::vector<std::pair<std::size_t, std::uint8_t>> saved;
  for (std::size_t i = 0; i + 4 <= size; i += 4) {
    // Only the banks the tool reads.
    const auto& banks = ambergale::cartridge_map::kBanksRead;
    const int bank = banks[data[i + 2] % banks.size()];
    const std::size_t offset = static_cast<std::size_t>(ambergale::rom_offset(bank, data[i] | data[i + 1] << 8));
    saved.emplace_back(offset, image[offset]);
    image[offset] = data[i + 3];
  }
  // The dumps are counted, not kept; a ceiling keeps runaway inputs short.
  ambergale::DumpSettings settings;
  settings.max_output = std::uint64_t{64} << 20;
  ambergale::run_in_memory(image, opcodes, settings, false);
  for (auto it = saved.rbegin(); it != saved.rend(); ++it) image[it->first] = it->second;
  return 0;
}
