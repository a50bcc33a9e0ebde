#include "app/run.hpp"

#include <unistd.h>

#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/options.hpp"
#include "catalogue/catalogue.hpp"
#include "catalogue/po_edits.hpp"
#include "catalogue/po_file.hpp"
#include "dump/dumps.hpp"
#include "dump/folder_sink.hpp"
#include "platform/console.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "platform/input_file.hpp"
#include "platform/output_folder.hpp"
#include "platform/signals.hpp"
#include "script/opcodes.hpp"

#ifndef AMBERGALE_VERSION
#define AMBERGALE_VERSION "unknown"
#endif

namespace ambergale {

namespace {

constexpr const char* kProgram = "ambergale-dump";

// The two messages the tool prints on standard output, in Shift-JIS.
constexpr std::string_view kCannotOpenImage = "\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x8A" "J\x82\xAF\x82\xDC\x82\xB9\x82\xF1\n";  // ファイルが開けません
constexpr std::string_view kNoOpcodeFile = "mescmd.dat\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\n";  // mescmd.datがありません

void say(const std::string& message) { write_console(STDERR_FILENO, std::string(kProgram) + ": " + message + "\n"); }

int fail(const Failure& failure) {
  say(failure.text());
  return 1;
}

// A console message, in the encoding the dumps are written in.
void print_console_message(std::string_view message, Encoding encoding) {
  if (encoding == Encoding::utf8) {
    const Cp932ToUtf8 utf8;
    if (utf8.available()) {
      std::string converted;
      utf8.convert(message, converted);
      write_console(STDOUT_FILENO, converted);
      return;
    }
  }
  write_console(STDOUT_FILENO, message);
}

// A template that would take the place of a dump or an input is a wrong
// command line: one of them would be lost.
Outcome check_template_place(const Options& options) {
  if (options.pot.empty()) return std::nullopt;
  const auto [folder, name] = split_path(options.pot);
  const bool beside_dumps = folder == options.output_dir || same_file(folder, options.output_dir);
  for (const DumpFile& dump : kDumpFiles) {
    if (beside_dumps && name == dump.name) return Failure{options.pot, "the template would replace the dump " + name};
  }
  const std::pair<const std::string&, const char*> inputs[] = {{options.image, "the image"},
                                                               {options.opcode_file, "the opcode file"}};
  for (const auto& [input, role] : inputs) {
    if (input != kStandardInput && same_file(input, options.pot)) {
      return Failure{options.pot, std::string("the template would replace ") + role};
    }
  }
  return std::nullopt;
}

int wrong_command_line(const Failure& failure) {
  write_console(STDERR_FILENO, std::string(kProgram) + ": " + failure.text() + "\nTry 'ambergale-dump --help' for more information.\n");
  return 2;
}

// The folder the template goes in: the dumps' own when it is that folder
// (a folder is locked once), else `own`, opened and locked.
Outcome open_template_folder(const Options& options, const OutputDir& dumps, OutputDir& own, const OutputDir*& folder) {
  folder = &dumps;
  const std::string path = split_path(options.pot).folder;
  if (options.pot.empty() || same_file(path, options.output_dir)) return std::nullopt;
  folder = &own;
  return own.open(path);
}

void add_template(const Options& options, DumpInputs& inputs) {
  if (options.pot.empty()) return;
  inputs.extra_files.push_back({split_path(options.pot).name, [](const Cartridge& cart, const Tables& tables, std::string& bytes) {
                                  return write_po_template(catalogue_items(cart, tables, map_stored_messages(cart, tables, true)),
                                                           AMBERGALE_VERSION, image_crc(cart.bytes), bytes);
                                }});
}

int run_dumps(const Options& options) {
  OutputDir dir, template_dir;
  const OutputDir* template_folder = nullptr;
  if (Outcome failure = dir.open(options.output_dir)) return fail(*failure);
  if (Outcome failure = open_template_folder(options, dir, template_dir, template_folder)) return fail(*failure);

  const std::string image_name = input_name(options.image);
  DumpInputs inputs;
  if (Outcome failure = read_image_file(options.image, inputs.image)) {
    if (failure->cannot_open) print_console_message(kCannotOpenImage, options.settings.encoding);
    return fail(failure->about(image_name));
  }
  name_mapped_image(kProgram, image_name);
  inputs.image_name = image_name;
  inputs.opcode_name = input_name(options.opcode_file);
  inputs.read_opcodes = [&](std::string& contents) { return read_opcode_file(options.opcode_file, contents); };
  add_template(options, inputs);

  FolderSink sink(dir, *template_folder);
  if (Outcome failure = run_dump(inputs, options.settings, sink, say)) {
    if (failure->cannot_open) print_console_message(kNoOpcodeFile, options.settings.encoding);
    return fail(*failure);
  }
  return 0;
}

}  // namespace

int run_dump_tool(int argc, const char* const* argv) {
  Options options;
  if (Outcome failure = parse_options(argc, argv, options)) return wrong_command_line(*failure);
  if (options.help) {
    write_console(STDOUT_FILENO, usage_text());
    return 0;
  }
  if (options.version) {
    write_console(STDOUT_FILENO, std::string(kProgram) + " " + AMBERGALE_VERSION + "\n");
    return 0;
  }
  if (Outcome failure = check_template_place(options)) return wrong_command_line(*failure);
  try {
    return run_dumps(options);
  } catch (const std::bad_alloc&) {
    return fail(Failure{{}, "out of memory"});
  } catch (const std::length_error&) {
    return fail(Failure{{}, "out of memory"});
  }
}

}  // namespace ambergale
