// The message dumps: the word-list groups, the sequential message block and
// the dictionary.
#include <array>

#include "decode/byte_tree.hpp"
#include "dump/dumps.hpp"
#include "dump/lengths.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"

namespace ambergale {

namespace {

constexpr int kPointerBank = 0xC4;
constexpr int kGroupPointers = 0xB300;  // 15 words: each group's list of message pointers
constexpr int kGroupCount = 15;
constexpr int kGroupListsEnd = 0xC00A;  // where the last group's list ends
constexpr int kMessageBank = 0xFB;
constexpr int kSequentialStart = 0x8000;
constexpr int kSequentialEnd = 0xD07D;  // no message of the block starts here or later
constexpr int kSequentialWindow = 768;  // the input limit of one message of the block

}  // namespace

void dump_wordlist(const Cartridge& cart, const Tables& tables, TextOutput& out) {
  std::array<int, kGroupCount> groups;
  std::array<int, kGroupCount> lengths;
  for (int g = 0; g < kGroupCount; ++g) groups[g] = rom_read_word(cart, kPointerBank, kGroupPointers + 2 * g);
  infer_lengths(groups, kGroupListsEnd, lengths);
  CodeBuffer codes;
  TextBuffer& line = out.line_text();
  for (int g = 0; g < kGroupCount; ++g) {
    const int entries = lengths[g] / 2;
    for (int e = 0; e < entries && out.ok(); ++e) {
      const int message = rom_read_word(cart, kPointerBank, groups[g] + 2 * e);
      const int size = decode_text_at(cart, tables.text_trees, kMessageBank, message, codes);
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
  for (int address = kSequentialStart; address < kSequentialEnd && out.ok();) {
    std::int32_t consumed = kSequentialWindow;
    const int size = decode_text(tables.text_trees, rom_view(cart, kMessageBank, address), consumed, codes);
    line.push_back('[');
    append_hex(line, kMessageBank, 2);
    line.push_back(':');
    append_hex(line, static_cast<std::uint32_t>(address), 4);
    line.push_back(']');
    render_codes(codes, size, tables.dictionary.text, line);
    out.end_line();
    address += consumed;  // at least 1: every symbol takes a bit
  }
}

void dump_sublist(const Tables& tables, TextOutput& out) {
  TextBuffer& line = out.line_text();
  for (int i = 0; i < static_cast<int>(tables.dictionary.text.size()) && out.ok(); ++i) {
    append_hex(line, static_cast<std::uint32_t>(kFirstDictionaryCode + i), 4);
    line.push_back(':');
    line.append(tables.dictionary.text[i]);
    out.end_line();
  }
}

}  // namespace ambergale
