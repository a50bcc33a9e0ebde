#include "app/run.hpp"

#include <cstdio>
#include <optional>
#include <memory>
#include <string>

#include "app/tables.hpp"
#include "dump/dumps.hpp"

namespace ambergale {

namespace {

// The two messages the tool prints on standard output, in Shift-JIS.
constexpr const char* kCannotOpenImage = "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8A" "J\x82\xAF\x82\xDC\x82\xB9\x82\xF1\n";  // ファイルが開けません
constexpr const char* kNoOpcodeFile = "mescmd.dat\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";  // mescmd.datがありません

int fail(const std::string& message) {
  std::fprintf(stderr, "ambergale-dump: %s\n", message.c_str());
  return 1;
}

}  // namespace

int run_dump_tool(int argc, const char* const* argv) {
  const std::string image_path = argc > 1 ? argv[1] : kDefaultImage;
  Cartridge cart;
  bool opened = false;
  std::string error;
  if (!read_image_file(image_path, cart, opened, error)) {
    if (!opened) {
      std::fputs(kCannotOpenImage, stdout);
      std::fflush(stdout);
      return 1;
    }
    return fail(image_path + ": cannot read: " + error);
  }
  if (cart.bytes.size() < kImageSize) {
    return fail(image_path + ": " + std::to_string(cart.bytes.size()) +
                " bytes is too short for a cartridge image of 4194304 bytes (4 MiB)");
  }

  auto tables = std::make_unique<Tables>();
  std::string message;
  switch (load_tables(cart, kOpcodeFile, *tables, message)) {
    case LoadStatus::ok: break;
    case LoadStatus::bad_script_tree: return fail(image_path + ": " + message);
    case LoadStatus::opcodes_missing:
      std::fputs(kNoOpcodeFile, stdout);
      std::fflush(stdout);
      return 1;
    case LoadStatus::opcodes_invalid: return fail(std::string(kOpcodeFile) + ": " + message);
  }

  // Each dump is complete and in place before the next begins; the first
  // file that cannot be written ends the run.
  for (const DumpFile& dump : kDumpFiles) {
    TextFile file(dump.name);
    dump.write(cart, *tables, file);
    if (const std::optional<std::string> failure = file.commit()) return fail(*failure);
  }
  return 0;
}

}  // namespace ambergale
