// The script dump: all 4096 event scripts, each decoded with the script tree
// and listed by the disassembler.
#include <algorithm>
#include <array>
#include <vector>

#include "cartridge/cartridge_map.hpp"
#include "decode/script_tree.hpp"
#include "dump/dumps.hpp"
#include "dump/lengths.hpp"
#include "script/disassembler.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr int kScriptBufferSize = 12288;

}  // namespace

void write_script_header(TextOutput& out, int index, int bank, int address, int length, int expanded) {
  out.end_line();
  TextBuffer& line = out.line_text();
  line.push_back('[');
  append_hex(line, static_cast<std::uint32_t>(index), 4);
  line.push_back(':');
  append_hex(line, static_cast<std::uint32_t>(bank), 2);
  append_hex(line, static_cast<std::uint32_t>(address), 4);
  line.append("](len=");
  append_hex(line, static_cast<std::uint32_t>(length), 4);  // a negative length shows as 8 digits
  line.append(",\x93W\x8A" "JBYTE=");  // 展開 (expanded)
  append_hex(line, static_cast<std::uint32_t>(expanded), 4);
  line.push_back(')');
  out.end_line();
}

std::vector<ScriptPlace> script_places(const Cartridge& cart) {
  std::vector<int> pointers(kScriptCount);
  std::vector<int> lengths(kScriptCount);
  for (int i = 0; i < kScriptCount; ++i) pointers[i] = rom_read_word(cart, kScriptPointers.bank, kScriptPointers.address + 2 * i);
  std::vector<ScriptPlace> places(kScriptCount);
  for (const ScriptGroup& group : kScriptGroups) {
    infer_lengths(std::span<const int>(pointers).subspan(group.first, group.count), group.end_address,
                  std::span<int>(lengths).subspan(group.first, group.count));
    for (int i = group.first; i < group.first + group.count; ++i) places[i] = {group.bank, pointers[i], lengths[i]};
  }
  return places;
}

void for_each_script(const Cartridge& cart, const Tables& tables, const std::function<bool(const ScriptView&)>& visit,
                     const ScriptUnits& replaced) {
  const std::vector<ScriptPlace> places = script_places(cart);
  std::array<std::uint8_t, kScriptOutputCap> decoded;
  // Script bytes are kept from script to script and never cleared, so an
  // instruction or message that runs past a script's end reads what earlier
  // scripts left there; past the buffer it reads zero.
  std::vector<std::uint8_t> script(kScriptBufferSize, 0);
  for (int i = 0; i < kScriptCount; ++i) {
    const ScriptPlace& place = places[i];
    std::span<const std::uint8_t> units;
    if (const auto found = replaced.find(i); found != replaced.end()) {
      units = std::span(found->second).first(std::min(found->second.size(), decoded.size()));
    } else {
      units = std::span(decoded).first(static_cast<std::size_t>(
          decode_script(tables.script_tree, rom_view(cart, place.bank, place.address), place.length, decoded)));
    }
    const int expanded = static_cast<int>(units.size());
    for (int k = 0; k < expanded / 2; ++k) script[k] = units[2 * k];
    if (!visit({i, place.bank, place.address, place.length, expanded, script})) return;
  }
}

namespace {

void list_scripts(const Cartridge& cart, const Tables& tables, const ScriptUnits& replaced, TextOutput& out) {
  const ListingTables listing = tables.listing();
  if (!out.ok()) return;
  for_each_script(
      cart, tables,
      [&](const ScriptView& view) {
        write_script_header(out, view.index, view.bank, view.address, view.length, view.expanded);
        disassemble_script(out, view.bytes, view.size(), listing);
        return out.ok();
      },
      replaced);
}

}  // namespace

void dump_messcript(const Cartridge& cart, const Tables& tables, TextOutput& out) { list_scripts(cart, tables, {}, out); }

void dump_messcript_replacing(const Cartridge& cart, const Tables& tables, const ScriptUnits& replaced, TextOutput& out) {
  list_scripts(cart, tables, replaced, out);
}

}  // namespace ambergale
