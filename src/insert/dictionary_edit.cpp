#include "insert/dictionary_edit.hpp"

#include <algorithm>

#include "cartridge/cartridge_map.hpp"
#include "encode/message_encoder.hpp"
#include "insert/line_units.hpp"
#include "insert/text_parse.hpp"
#include "text/hex.hpp"
#include "text/render.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "sublist.txt";
// An entry is expanded into a slot of 200 bytes: 100 units.
constexpr std::size_t kExpansionUnits = 100;

std::string where(std::size_t line) { return std::string(kFile) + ":" + std::to_string(line); }

std::string code_name(int e) {
  TextBuffer name;
  append_hex(name, static_cast<std::uint32_t>(kFirstDictionaryCode + e), 4);
  return std::string(name.view());
}

std::vector<std::uint16_t> units_of(const CodeStream& stream) {
  std::vector<std::uint16_t> units;
  for (std::size_t j = 0; j + 1 < stream.size(); j += 2) units.push_back(static_cast<std::uint16_t>(stream[j] | stream[j + 1] << 8));
  return units;
}

CodeStream stream_of(const std::vector<std::uint16_t>& units) {
  CodeStream stream;
  for (const std::uint16_t u : units) {
    stream.push_back(static_cast<std::uint8_t>(u & 0xFF));
    stream.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return stream;
}

}  // namespace

Outcome insert_dictionary_edits(const Cartridge& cart, const Tables& tables, std::uint16_t newline,
                                const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                                std::vector<CodeStream>& decoded, std::vector<PlannedWrite>& writes) {
  // The dictionary trees' codes; entries are written without references.
  const auto coder = std::make_unique<encode::MessageCoder>(encode::make_message_coder(tables.dict_trees, Dictionary{}));
  std::vector<int> starts(kDictionaryEntries);
  for (int e = 0; e < kDictionaryEntries; ++e) starts[e] = dictionary_slot(cart, e).start;
  std::vector<std::pair<std::size_t, int>> edited;  // line, entry
  for (const ChangedLine& line : changed) {
    const int e = static_cast<int>(line.number) - 1;
    const EntrySlot slot = dictionary_slot(cart, e);
    if (slot.size <= 0) {
      return Failure{where(line.number), "entry " + code_name(e) + " has no bytes of its own (its pointer is not below the next one's)"};
    }
    for (int other = 0; other < kDictionaryEntries; ++other) {
      if (other != e && starts[other] >= slot.start && starts[other] < slot.start + slot.size) {
        return Failure{where(line.number), "the bytes of entry " + code_name(e) + " are shared with entry " + code_name(other)};
      }
    }
    const std::string_view text = line.edited.substr(line_identifier(kFile, line.edited).size());
    std::vector<TextPiece> pieces;
    if (Outcome failure = parse_line_text(text, pieces)) {
      return Failure{where(line.number) + ":" + failure->file, failure->reason};
    }
    std::vector<std::uint16_t> literal;
    std::vector<std::size_t> columns;
    const ReadingRules rules{[&](std::uint16_t u) { return encode::unit_bits(*coder, u) > 0; }, newline};
    if (Outcome failure = line_units(pieces, units_of(decoded[static_cast<std::size_t>(e)]), tables.dictionary, rules,
                                     literal, columns)) {
      return Failure{where(line.number) + ":" + failure->file, failure->reason};
    }
    for (std::size_t i = 0; i < literal.size(); ++i) {
      if (literal[i] >= kFirstDictionaryCode && literal[i] <= 0x0FFF) {
        return Failure{where(line.number) + ":" + std::to_string(columns[i]),
                       "references to other entries are not inserted yet: write the text they hold"};
      }
    }
    encode::EncodedMessage encoded;
    std::size_t unencodable = 0;
    if (!encode::encode_message(*coder, literal, encoded, unencodable)) {
      const std::string column = unencodable < columns.size() ? ":" + std::to_string(columns[unencodable]) : "";
      TextBuffer unit;
      append_hex(unit, unencodable < literal.size() ? literal[unencodable] : 0xFFFF, 4);
      return Failure{where(line.number) + column, "code " + std::string(unit.view()) + " has no code in the dictionary trees"};
    }
    if (encoded.bytes.size() > static_cast<std::size_t>(slot.size)) {
      return Failure{where(line.number), "entry " + code_name(e) + " needs " + std::to_string(encoded.bytes.size()) +
                                             " bytes, its slot at " + address_text(kDictionaryPointers.bank, slot.start) +
                                             " holds " + std::to_string(slot.size) + ": " +
                                             std::to_string(encoded.bytes.size() - static_cast<std::size_t>(slot.size)) +
                                             " bytes missing (shorten it; laying the entries out again is not built yet)"};
    }
    std::string as_written;
    for (const TextPiece& piece : pieces) {
      as_written += piece.kind == TextPiece::Kind::escape ? rendered(piece.units, tables.dictionary) : std::string(piece.text);
    }
    if (rendered(encoded.units, tables.dictionary) != as_written) {
      return Failure{where(line.number), "the text would not read back as written (a control takes the units after it, "
                                         "or a unit is written otherwise by the dump)"};
    }
    decoded[static_cast<std::size_t>(e)] = stream_of(encoded.units);
    const std::size_t offset = static_cast<std::size_t>(rom_offset(kDictionaryPointers.bank, slot.start));
    std::copy(encoded.bytes.begin(), encoded.bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    writes.push_back({offset, encoded.bytes.size()});
    edited.emplace_back(line.number, e);
  }
  // Every entry the edits reach must still expand into its slot.
  Dictionary after;
  build_dictionary_from(decoded, after);
  for (std::size_t e = 0; e < after.codes.size(); ++e) {
    if (after.codes[e] == tables.dictionary.codes[e] || after.codes[e].size() <= 2 * kExpansionUnits) continue;
    return Failure{where(edited.front().first), "entry " + code_name(static_cast<int>(e)) + " would expand to " +
                                                    std::to_string(after.codes[e].size() / 2) + " units, more than the " +
                                                    std::to_string(kExpansionUnits) + " of a slot"};
  }
  return std::nullopt;
}

}  // namespace ambergale
