#include "support/small_cartridge.hpp"

#include "dump/dump_run.hpp"

#include <algorithm>
#include <random>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/script_tree.hpp"

namespace ambergale::testing_support {

sample::CartridgeContent small_content() {
  sample::CartridgeContent c;
  c.dictionary.assign(sample::kDictionarySize, {0xFFFF});
  c.dictionary[0] = {0x0021, 0xFFFF};                  // ！
  c.dictionary[1] = {0x0410, 0x039C, 0xFFFF};          // ！例
  c.dictionary[2] = {0x0411, 0x0410, 0xFFFF};          // ！例！
  c.dictionary[3] = {0x0FF9, 0x0080, 0xFFFF};          // い
  c.dictionary[4] = {0x0013, 0x0500, 0xFFFF};          // 1300810082008300
  c.dictionary[240] = {0x0081, 0x0082, 0x0083, 0xFFFF};  // うえお
  c.dictionary[3048] = {0x0084, 0xFFFF};               // か

  c.groups[0] = {{0x0021, 0x039C, 0xFFFF}, {0x0412, 0xFFFF}};
  c.groups[2] = {{0x0021, 0x039C, 0xFFFF}};
  c.groups[14] = {{0x0FF9, 0x0FF8, 0xFFFF}};
  c.sequential = {{0x0019, 0x0081, 0xFFFF}, {0x0FF9, 0xFFFF}, {0x0012, 0x002D, 0xFFFF}};

  c.scripts.assign(sample::kScriptCount, {{{0x01}, {}, false}});
  c.scripts[0] = {{{0x20, 0x34, 0x12, 0x58}, {}, false}, {{}, {0x0080, 0x0413, 0xFFFF}, true}, {{0x01}, {}, false}};
  c.scripts[0x600] = {{{0x7A, 0x05}, {}, false}, {{}, {0x0021, 0xFFFF}, true}, {{}, {0x0019, 0x0085, 0xFFFF}, true}};
  c.scripts[0xA00] = {{{0x20, 0xFF, 0x00, 0x20, 0x00, 0xFF}, {}, false}};
  c.scripts[0xFFF] = {{{0x5D}, {}, false}, {{}, {0xFFFF}, true}};
  return c;
}

std::string small_opcode_file() {
  std::string file = "name\toperands\tflags\tspare\tformat\r\n";
  for (int op = 0; op < 256; ++op) {
    if (op == 0x01) {
      file += "end\t0\t0\t0\tend\r\n";
    } else if (op == 0x20) {
      file += "move\t2\t2\t0\tmove @w (@d)\r\n";
    } else if (op == 0x58 || op == 0x5D || op == 0x7A) {
      file += "text\t0\t1\t0\ttext\r\n";
    } else {
      file += "op\t0\t0\t0\r\n";
    }
  }
  return file;
}

const std::vector<std::uint8_t>& small_image() {
  static const std::vector<std::uint8_t> image = sample::build_cartridge(small_content()).image;
  return image;
}

SmallInsert small_insert(std::vector<std::uint8_t> image) {
  SmallInsert insert;
  insert.inputs.image_file = std::move(image);
  insert.inputs.image_name = "small.smc";
  insert.inputs.opcode_file = small_opcode_file();
  const MemoryRun run = run_in_memory(insert.inputs.image_file, insert.inputs.opcode_file, DumpSettings{}, true);
  if (!run.failure) insert.dumps = run.dumps;
  return insert;
}

std::vector<std::uint8_t> random_image(std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> image(kImageSize);
  for (auto& b : image) b = static_cast<std::uint8_t>(random());
  return image;
}

std::vector<std::uint8_t> runaway_image(std::uint32_t seed) {
  std::vector<std::uint8_t> image = random_image(seed);
  using cartridge_map::kScriptTreeHeader;
  const int header = rom_offset(kScriptTreeHeader.bank, kScriptTreeHeader.address);
  std::copy_n(small_image().begin() + header, kScriptHeaderBytes, image.begin() + header);
  return image;
}

}  // namespace ambergale::testing_support
