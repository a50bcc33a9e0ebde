#include "insert/script_edit.hpp"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "encode/script_codes.hpp"
#include "insert/script_recode.hpp"
#include "script/disassembler.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

constexpr const char* kFile = "messcript.txt";

std::string hex4(std::int64_t value) { return hex_text(static_cast<std::uint32_t>(value), 4); }
std::string where(std::size_t line) { return std::string(kFile) + ":" + std::to_string(line); }

// A block by its bank and address.
using BlockKey = std::pair<int, int>;

// What a block decodes to now, and its script bytes.
struct Decoded {
  std::vector<std::uint8_t> units;
  std::vector<std::uint8_t> bytes;
};

Decoded decode_block(const ScriptTree& tree, std::span<const std::uint8_t> image, const BlockAt& at) {
  Decoded out;
  out.units.resize(kScriptOutputCap);
  const int written = decode_script(tree, image.subspan(at.offset), at.length,
                                    std::span<std::uint8_t, kScriptOutputCap>(out.units));
  out.units.resize(static_cast<std::size_t>(written));
  for (std::size_t k = 0; k < out.units.size(); k += 2) out.bytes.push_back(out.units[k]);  // the count is even
  return out;
}

}  // namespace

Outcome check_script_lines(const std::vector<ScriptLine>& lines, std::size_t dump_lines,
                           const std::vector<ChangedLine>& changed) {
  if (changed.empty()) return std::nullopt;
  if (lines.size() != dump_lines) {
    return Failure{kFile, "internal error: the map of the script dump has " + std::to_string(lines.size()) +
                              " lines, the dump " + std::to_string(dump_lines) + "; nothing written"};
  }
  for (const ChangedLine& line : changed) {
    const ScriptLine& at = lines[line.number - 1];
    const std::string script = "script " + hex4(at.script);
    switch (at.kind) {
      case ScriptLine::Kind::blank:
        return Failure{where(line.number), "the empty line before " + script + " changed; only message lines may be edited"};
      case ScriptLine::Kind::header:
        return Failure{where(line.number), "the header of " + script + " changed; only message lines may be edited"};
      case ScriptLine::Kind::instruction:
        return Failure{where(line.number), "instruction line of " + script + " (offset " + hex4(at.offset) +
                                               ") changed; only message lines may be edited"};
      case ScriptLine::Kind::message: break;
    }
  }
  return std::nullopt;
}

Outcome insert_script_edits(const Cartridge& cart, const Tables& tables, const std::vector<ScriptLine>& lines,
                            LineDictionaries dictionaries, const encode::MessageCoder& coder, std::uint16_t newline,
                            const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image, ScriptEdits& edits) {
  if (changed.empty()) return std::nullopt;
  const std::vector<ScriptPlace> places = script_places(cart);
  // Which scripts each block holds, and the blocks of each bank in address order.
  std::map<BlockKey, std::vector<int>> sharers;
  std::map<int, std::set<int>> banks;
  for (int i = 0; i < static_cast<int>(places.size()); ++i) {
    sharers[{places[i].bank, places[i].address}].push_back(i);
    banks[places[i].bank].insert(places[i].address);
  }
  // The line of each message, by script and offset.
  std::map<std::pair<int, std::int64_t>, std::size_t> message_lines;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (lines[n].kind == ScriptLine::Kind::message) message_lines[{lines[n].script, lines[n].offset}] = n + 1;
  }
  std::map<std::size_t, const ChangedLine*> by_number;
  for (const ChangedLine& line : changed) by_number[line.number] = &line;
  // The edits of each block, by the message's offset; every script the block
  // holds must show the same edit.
  std::map<BlockKey, std::map<std::int64_t, const ChangedLine*>> blocks;
  for (const ChangedLine& line : changed) {
    const ScriptLine& at = lines[line.number - 1];
    const BlockKey key{places[at.script].bank, places[at.script].address};
    blocks[key].emplace(at.offset, &line);
  }
  for (const auto& [key, messages] : blocks) {
    for (const auto& [offset, line] : messages) {
      for (const int script : sharers[key]) {
        const auto found = message_lines.find({script, offset});
        const std::size_t other = found == message_lines.end() ? 0 : found->second;
        const auto edited = by_number.find(other);
        if (edited == by_number.end() || edited->second->edited != line->edited) {
          return Failure{where(line->number), "script " + hex4(lines[line->number - 1].script) + " and script " +
                                                  hex4(script) + " (line " + std::to_string(other) + ") are one block " +
                                                  address_text(key.first, key.second) + ": edit their message at " +
                                                  hex4(offset) + " the same way"};
        }
      }
    }
  }

  const encode::ScriptCodes codes = encode::script_codes_of(tables.script_tree);
  std::map<BlockKey, std::vector<std::uint8_t>> rewritten;  // the units of each block this run rewrote
  CodeBuffer text_codes;
  for (const auto& [key, messages] : blocks) {
    const auto [bank, address] = key;
    const ScriptPlace& place = places[sharers[key].front()];
    const BlockAt at{static_cast<std::size_t>(rom_offset(bank, address)), place.length};
    // The block before, when it is odd: its last word holds this block's first byte.
    std::optional<NeighbourBlock> previous;
    const std::set<int>& addresses = banks[bank];
    if (auto before = addresses.find(address); before != addresses.begin()) {
      const int start = *std::prev(before);
      if ((address - start) % 2 != 0) {
        const BlockAt before_at{static_cast<std::size_t>(rom_offset(bank, start)), address - start};
        const auto known = rewritten.find({bank, start});
        previous = NeighbourBlock{before_at, known != rewritten.end() ? known->second
                                                                      : decode_block(tables.script_tree, cart.bytes, before_at).units};
      }
    }
    const std::string block_name = "block " + address_text(bank, address);
    bool changed_block = false;
    std::vector<std::uint8_t> units;
    for (const auto& [offset, line] : messages) {
      const int script = lines[line->number - 1].script;
      const std::string name = "script " + hex4(script) + ", message at " + hex4(offset);
      const Decoded now = decode_block(tables.script_tree, image, at);
      const TextDecode decoded = decode_embedded(now.bytes, static_cast<int>(now.bytes.size()), offset, tables.text_trees, text_codes);
      const std::vector<std::uint16_t> original = code_units(std::span(text_codes).first(static_cast<std::size_t>(decoded.written)));
      if (original.empty() || original.back() != 0xFFFF) {
        return Failure{where(line->number), name + " has no end code within its script, so the bytes it takes are not its own: "
                                                   "it cannot be rewritten"};
      }
      const auto size = static_cast<std::size_t>(decoded.consumed);
      const BitWindow window{8 * size - 7, 8 * size, static_cast<std::size_t>(decoded.bits),
                             name + " takes " + std::to_string(size) + " bytes"};
      EncodedLine encoded;
      if (Outcome failure = encode_line(where(line->number), line->edited, original, dictionaries, coder, newline,
                                        "text trees", encoded, &window)) {
        return failure;
      }
      for (const int other : sharers[key]) edits.expected.emplace_back(message_lines[{other, offset}], encoded.read_back);
      // A text that stands for what the message held keeps its bits.
      if (encode::opened(coder, original) == encoded.literal) continue;
      BlockRecoder recoder(tables.script_tree, codes, image, at, static_cast<int>(offset), static_cast<int>(size),
                           previous ? &*previous : nullptr, kRecodeTries);
      if (!recoder.unusable().empty()) return Failure{where(line->number), name + ": " + recoder.unusable()};
      offer_encodings(coder, encoded.literal, window, now.bytes[static_cast<std::size_t>(offset) + size - 1],
                      [&](std::span<const std::uint8_t> bytes) { return recoder.offer(bytes); });
      edits.most_tries = std::max(edits.most_tries, recoder.tries());
      if (!recoder.found()) {
        std::string why;
        if (recoder.tries() >= kRecodeTries) {
          why = "no recompression keeps " + block_name + " at " + std::to_string(place.length) + " bytes within " +
                std::to_string(kRecodeTries) + " tries";
        } else {
          const std::string kept = block_name + " at " + std::to_string(place.length) + " bytes";
          why = recoder.tries() == 1 ? "its only encoding at " + std::to_string(size) + " bytes does not keep " + kept
                                     : "none of its " + std::to_string(recoder.tries()) + " encodings at " + std::to_string(size) +
                                           " bytes keeps " + kept;
        }
        if (recoder.missing_byte() >= 0) {
          why += " (some need script byte " + hex_text(static_cast<std::uint32_t>(recoder.missing_byte()), 2) +
                 ", which no symbol of the script tree gives)";
        }
        why += ": shorten or lengthen the text by a few bits";
        return Failure{where(line->number), name + ": " + why};
      }
      ++edits.messages;
      changed_block = true;
      units = recoder.units();
    }
    if (!changed_block) continue;
    ++edits.blocks;
    edits.writes.push_back({at.offset, static_cast<std::size_t>(at.length)});
    for (const int script : sharers[key]) edits.replaced[script] = units;
    rewritten[key] = std::move(units);
  }
  std::sort(edits.expected.begin(), edits.expected.end());
  return std::nullopt;
}

}  // namespace ambergale
