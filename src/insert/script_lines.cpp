#include "insert/script_lines.hpp"

#include "dump/dumps.hpp"
#include "script/disassembler.hpp"

namespace ambergale {

std::vector<ScriptLine> map_script_lines(const Cartridge& cart, const Tables& tables) {
  std::vector<ScriptLine> lines;
  CodeBuffer codes;
  for_each_script(cart, tables, [&](const ScriptView& view) {
    lines.push_back({ScriptLine::Kind::blank, view.index, 0});
    lines.push_back({ScriptLine::Kind::header, view.index, 0});
    struct Recorder {
      std::vector<ScriptLine>& lines;
      const ScriptView& view;
      const TreePair& text_trees;
      CodeBuffer& codes;
      std::int64_t at_instruction = 0;
      bool ok() const { return true; }
      void instruction(std::int64_t position, int, int, int) {
        lines.push_back({ScriptLine::Kind::instruction, view.index, position});
        at_instruction = position;
      }
      std::int64_t message(std::int64_t position, int m) {
        const TextDecode text = decode_embedded(view.bytes, view.size(), position, text_trees, codes);
        lines.push_back({ScriptLine::Kind::message, view.index, position, m, at_instruction,
                         code_units(std::span(codes).first(static_cast<std::size_t>(text.written))), text.consumed, text.bits});
        return text.consumed;
      }
    } recorder{lines, view, tables.text_trees, codes};
    walk_script(view.bytes, view.size(), tables.opcodes, recorder);
    return true;
  });
  return lines;
}

}  // namespace ambergale
