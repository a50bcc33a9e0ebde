// The whole insert, in memory, on edits a fuzzer chooses: texts that replace
// those of word-list, sequential-block, dictionary or script message lines
// of the cut-down sample, with the end of bank FB free for moved messages,
// with and without relayout.
// Every run must insert or refuse (or, keeping going, insert the rest); an
// insert whose own proof fails (an "internal error") is a finding.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "dump/load_tables.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
#include "dump/stored_messages.hpp"
#include "sample/sample_content.hpp"
#include "small_sample.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  static const InsertInputs original = [] {
    InsertInputs inputs;
    inputs.image_file = fuzz::small_sample();
    inputs.image_name = "image";
    inputs.opcode_file = sample::sample_opcode_file();
    const MemoryRun dumps = run_in_memory(inputs.image_file, inputs.opcode_file, DumpSettings{}, true);
    for (std::size_t d = 0; d < 4; ++d) inputs.edited[d] = dumps.dumps[d];
    return inputs;
  }();
  // The lines of the script dump that hold messages, the only ones that may change.
  static const std::vector<std::size_t> message_lines = [] {
    Cartridge cart;
    cart.bytes = original.image_file;
    const MemoryRun dumps = run_in_memory(original.image_file, original.opcode_file, DumpSettings{}, false);
    std::vector<std::size_t> lines;
    if (dumps.failure) return lines;
    const std::vector<ScriptLine> map = map_script_lines(cart, *dumps.tables);
    for (std::size_t n = 0; n < map.size(); ++n) {
      if (map[n].kind == ScriptLine::Kind::message) lines.push_back(n);
    }
    return lines;
  }();
  // Bank FB after the last word-list message, free for moved ones.
  static const InsertSettings settings = [] {
    Cartridge cart;
    cart.bytes = original.image_file;
    auto tables = std::make_unique<Tables>();
    InsertSettings free;
    if (load_image_tables(cart, *tables)) return free;
    int end = 0;
    for (const auto& [address, message] : map_stored_messages(cart, *tables, false).messages) end = std::max(end, address + message.size);
    if (end < 0x10000) free.free.push_back({cartridge_map::kMessageBank, {end, 0x10000}});
    return free;
  }();
  if (size == 0) return 0;
  // The first byte picks the dump; then edits separated by LF, each a byte
  // that picks the line (of the script dump, a message line) and the text
  // that replaces the line's.
  const std::size_t dump = data[0] % 4;
  const char* const name = kDumpFiles[dump].name;
  const std::vector<std::string_view> lines = split_lines(*original.edited[dump]);
  if (dump == 3 && message_lines.empty()) return 0;
  std::vector<std::pair<std::size_t, std::string>> replaced;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  for (std::size_t at = 0; at < rest.size();) {
    const std::size_t end = std::min(rest.find('\n', at), rest.size());
    const std::string_view edit = rest.substr(at, end - at);
    at = end + 1;
    if (edit.empty()) continue;
    const std::size_t pick = static_cast<unsigned char>(edit[0]) * 7 + static_cast<std::size_t>(data[0] / 4);
    const std::size_t chosen = dump == 3 ? message_lines[pick % message_lines.size()] : pick % lines.size();
    replaced.emplace_back(chosen + 1, std::string(line_identifier(name, lines[chosen])) + std::string(edit.substr(1)));
  }
  InsertInputs inputs = original;
  inputs.edited[dump] = with_lines(*original.edited[dump], replaced);
  // Every other input keeps going past its refusals: the rest must then be
  // made and proven; every other one lets texts change length.
  InsertSettings run = settings;
  run.keep_going = (data[0] & 0x80) != 0;
  run.relayout = (data[0] & 0x40) != 0;
  InsertResult result;
  const Outcome outcome = insert_edited_dumps(inputs, run, result);
  if (outcome && outcome->text().find("internal error") != std::string::npos) __builtin_trap();
  if (run.keep_going && !outcome && result.image_file.empty()) __builtin_trap();
  return 0;
}
