#include "app/run.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/load_tables.hpp"
#include "app/signals.hpp"
#include "dump/dumps.hpp"
#include "dump/text_file.hpp"

#ifndef AMBERGALE_VERSION
#define AMBERGALE_VERSION "unknown"
#endif

namespace ambergale {

namespace {

// The two messages the tool prints on standard output, in Shift-JIS.
constexpr const char* kCannotOpenImage = "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8A" "J\x82\xAF\x82\xDC\x82\xB9\x82\xF1\n";  // ファイルが開けません
constexpr const char* kNoOpcodeFile = "mescmd.dat\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";  // mescmd.datがありません

void say(const std::string& message) { std::fprintf(stderr, "ambergale-dump: %s\n", message.c_str()); }

int fail(const std::string& message) {
  say(message);
  return 1;
}

void print_console_message(const char* message) {
  std::fputs(message, stdout);
  std::fflush(stdout);
}

std::string too_short(const std::string& name, std::uint64_t size) {
  return name + ": " + std::to_string(size) + " bytes is too short for a cartridge image of " +
         std::to_string(kImageSize) + " bytes (4 MiB)";
}

// The notes for an image taken from part of its file.
void note_framing(const std::string& name, const ImageFrame& frame) {
  if (frame.copier_header) say(name + ": skipped the 512-byte copier header in front of the image");
  if (frame.truncated) {
    say(name + ": larger than a cartridge image of " + std::to_string(kImageSize) +
        " bytes (4 MiB); only its first 4 MiB are dumped");
  }
}

int run_dumps(const Options& options) {
  OutputDir dir;
  if (const std::optional<std::string> failure = dir.open(options.output_dir)) return fail(*failure);

  Cartridge cart;
  const ImageLoad load = load_image(options.image, cart);
  switch (load.status) {
    case ImageLoad::Status::ok: break;
    case ImageLoad::Status::cannot_open:
      print_console_message(kCannotOpenImage);
      return fail(options.image + ": cannot open: " + std::strerror(load.error));
    case ImageLoad::Status::cannot_read: return fail(options.image + ": cannot read: " + std::strerror(load.error));
    case ImageLoad::Status::too_short: return fail(too_short(options.image, load.size));
  }
  note_framing(options.image, load.frame);

  auto tables = std::make_unique<Tables>();
  std::string message;
  switch (load_tables(cart, options.opcode_file, *tables, message)) {
    case LoadStatus::ok: break;
    case LoadStatus::bad_script_tree: return fail(options.image + ": " + message);
    case LoadStatus::opcodes_missing:
      print_console_message(kNoOpcodeFile);
      return fail(options.opcode_file + ": cannot open: " + message);
    case LoadStatus::opcodes_invalid: return fail(options.opcode_file + ": " + message);
  }

  std::optional<Cp932ToUtf8> utf8;
  if (options.encoding == Encoding::utf8) {
    utf8.emplace();
    if (!utf8->available()) return fail("the C library cannot convert CP932 to UTF-8");
  }
  // Each dump is finished before the next begins, and none replaces its file
  // before all four are finished: the dumps in the folder always come from
  // one run. The first failure ends the run and removes the unfinished files.
  OutputBudget budget{options.max_output};
  std::vector<std::unique_ptr<TextFile>> files;
  for (const DumpFile& dump : kDumpFiles) {
    files.push_back(std::make_unique<TextFile>(dir, dump.name, budget, utf8 ? &*utf8 : nullptr));
    TextFile& file = *files.back();
    if (file.ok()) dump.write(cart, *tables, file);
    if (const std::optional<std::string> failure = file.finish()) return fail(*failure);
  }
  for (const auto& file : files) {
    if (const std::optional<std::string> failure = file->check_target()) return fail(*failure);
  }
  const SignalHold hold;  // no interruption between the renames
  for (const auto& file : files) {
    if (const std::optional<std::string> failure = file->install()) return fail(*failure);
  }
  dir.sync();
  return 0;
}

}  // namespace

int run_dump_tool(int argc, const char* const* argv) {
  Options options;
  if (const std::string error = parse_options(argc, argv, options); !error.empty()) {
    std::fprintf(stderr, "ambergale-dump: %s\nTry 'ambergale-dump --help' for more information.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(usage_text(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("ambergale-dump %s\n", AMBERGALE_VERSION);
    return 0;
  }
  try {
    return run_dumps(options);
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const std::length_error&) {
    return fail("out of memory");
  }
}

MemoryRun run_in_memory(std::span<const std::uint8_t> image_file, std::string_view opcode_file,
                        Encoding encoding, std::uint64_t max_output, bool keep_dumps) {
  MemoryRun run;
  run.status = 1;
  const ImageFrame frame = frame_image(std::min<std::size_t>(image_file.size(), kImageSize + kCopierHeaderSize + 1));
  if (frame.size < kImageSize) {
    run.message = too_short("image", image_file.size());
    return run;
  }
  const Cartridge cart{image_file.subspan(frame.offset, frame.size), nullptr};
  auto tables = std::make_unique<Tables>();
  if (load_image_tables(cart, *tables, run.message) != LoadStatus::ok ||
      load_opcode_contents(opcode_file, *tables, run.message) != LoadStatus::ok) {
    return run;
  }
  std::optional<Cp932ToUtf8> utf8;
  if (encoding == Encoding::utf8) utf8.emplace();
  OutputBudget budget{max_output};
  for (std::size_t d = 0; d < kDumpFiles.size(); ++d) {
    MemoryOutput out(kDumpFiles[d].name, budget, utf8 ? &*utf8 : nullptr, keep_dumps);
    kDumpFiles[d].write(cart, *tables, out);
    out.hand_on();
    if (out.failure()) {
      run.message = *out.failure();
      return run;
    }
    run.dumps[d] = out.contents();
    run.sizes[d] = out.size();
  }
  run.status = 0;
  return run;
}

}  // namespace ambergale
