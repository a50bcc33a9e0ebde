// The message dumps: the word-list groups, the sequential message block and
// the dictionary.
#include <array>

#include "cartridge/cartridge_map.hpp"
#include "decode/byte_tree.hpp"
#include "dump/dumps.hpp"
#include "dump/stored_messages.hpp"
#include "dump/word_lists.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"

namespace ambergale {

using namespace cartridge_map;

void dump_wordlist(const Cartridge& cart, const Tables& tables, TextOutput& out) {
  const WordListGroups groups = read_word_list_groups(cart);
  CodeBuffer codes;
  TextBuffer& line = out.line_text();
  for (int g = 0; g < kGroupCount; ++g) {
    for (int e = 0; e < groups.entries[g] && out.ok(); ++e) {
      const int message = word_list_message(cart, groups, g, e);
      const int size = decode_text_at(cart, tables.text_trees, kMessageBank, message, codes).written;
      append_hex(line, static_cast<std::uint32_t>(g), 2);
      append_hex(line, static_cast<std::uint32_t>(e), 2);
      line.push_back(':');
      render_codes(codes, size, tables.dictionary.text, line);
      out.end_line();
    }
  }
}

void dump_wordlist2(const Cartridge& cart, const Tables& tables, TextOutput& out) {
  CodeBuffer codes;
  TextBuffer& line = out.line_text();
  walk_sequential_block(cart, tables.text_trees, codes, [&](int address, const TextDecode& message) {
    line.push_back('[');
    append_hex(line, kMessageBank, 2);
    line.push_back(':');
    append_hex(line, static_cast<std::uint32_t>(address), 4);
    line.push_back(']');
    render_codes(codes, message.written, tables.dictionary.text, line);
    out.end_line();
    return out.ok();
  });
}

void dump_sublist(const Tables& tables, TextOutput& out) {
  TextBuffer& line = out.line_text();
  for (int i = 0; i < static_cast<int>(tables.dictionary.text.size()) && out.ok(); ++i) {
    append_hex(line, static_cast<std::uint32_t>(kFirstEntryCode + i), 4);
    line.push_back(':');
    line.append(tables.dictionary.text[i]);
    out.end_line();
  }
}

}  // namespace ambergale
