#include "dump/original_image.hpp"

namespace ambergale {

Cartridge OriginalImage::cart() const {
  Cartridge cart;
  cart.bytes = std::span(file).subspan(frame.offset, frame.size);
  return cart;
}

DumpSettings compared_dumps(Encoding encoding) {
  DumpSettings dump;
  dump.encoding = encoding;
  dump.max_output = ~std::uint64_t{0};
  return dump;
}

Outcome load_original(OriginalImage& original) {
  original.frame = frame_image(original.file.size());
  if (original.frame.size != kImageSize || original.frame.truncated) {
    return Failure{original.name, std::to_string(original.file.size()) +
                                      " bytes: an image to insert into holds exactly 4 MiB, after a 512-byte copier header or none"};
  }
  original.dump = run_in_memory(original.file, original.opcode_file, compared_dumps(original.encoding), true);
  if (original.dump.failure) return Failure(*original.dump.failure).about(original.name);
  original.map = map_stored_messages(original.cart(), *original.dump.tables, false);
  return std::nullopt;
}

void map_scripts(OriginalImage& original) {
  if (original.map.script_lines.empty()) original.map.script_lines = map_script_lines(original.cart(), *original.dump.tables);
}

}  // namespace ambergale
