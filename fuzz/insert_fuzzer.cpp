// The whole insert, in memory, on edits a fuzzer chooses: the input is text
// that replaces the text of a word-list or dictionary line (the first byte
// picks the dump and the line) of the cut-down sample. Every run must insert or refuse; an insert
// whose own proof fails (an "internal error") is a finding.
#include <string>
#include <string_view>

#include "dump/dump_run.hpp"
#include "insert/edit_set.hpp"
#include "insert/insert_run.hpp"
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
    inputs.edited[0] = dumps.dumps[0];
    inputs.edited[2] = dumps.dumps[2];
    return inputs;
  }();
  if (size == 0) return 0;
  const std::size_t dump = data[0] & 1 ? 2 : 0;
  const char* const name = dump == 2 ? "sublist.txt" : "wordlist.txt";
  const std::vector<std::string_view> lines = split_lines(*original.edited[dump]);
  const std::size_t chosen = (data[0] >> 1) % lines.size();
  std::string edited;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (i == chosen) {
      edited += line.substr(0, line_identifier(name, line).size());
      edited += std::string_view(reinterpret_cast<const char*>(data + 1), size - 1);
    } else {
      edited += line;
    }
    edited += "\r\n";
  }
  InsertInputs inputs = original;
  inputs.edited[dump] = std::move(edited);
  InsertResult result;
  const Outcome outcome = run_insert(inputs, {}, result);
  if (outcome && outcome->text().find("internal error") != std::string::npos) __builtin_trap();
  return 0;
}
