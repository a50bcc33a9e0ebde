// Arbitrary definition files and script bytes through the opcode loader and
// the disassembler. The input is the file, a 0xFF 0x00 0xFF separator, then
// the script bytes.
#include <string>
#include <string_view>

#include "dump/load_tables.hpp"
#include "fuzz_input.hpp"
#include "script/disassembler.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::size_t split = all.find(std::string_view("\xFF\x00\xFF", 3));
  const std::string_view file = all.substr(0, split);
  static Tables* tables = [] {
    auto* t = new Tables;
    // A small text tree: 0 ends a message, 1 0 gives 0x21, 1 1 gives 0x80.
    const std::uint8_t lead[] = {0, 2, 1, 0, 1, 2, 0x00, 0x21, 0x80};
    std::copy(std::begin(lead), std::end(lead), t->text_trees.lead.begin());
    index_trees(t->text_trees);
    t->dictionary.text.assign(kDictionaryEntries, "D");  // a view of a literal
    return t;
  }();
  if (load_opcode_table(file, *tables)) return 0;
  std::span<const std::uint8_t> script;
  if (split != std::string_view::npos) script = std::span(data, size).subspan(split + 3);
  OutputBudget budget;
  MemoryOutput out("listing", budget, {}, false);
  disassemble_script(out, script, static_cast<int>(script.size()), tables->listing());
  return 0;
}
