#include "insert/word_list_edit.hpp"

#include <algorithm>
#include <map>

#include "cartridge/cartridge_map.hpp"
#include "dump/word_lists.hpp"
#include "insert/line_units.hpp"
#include "insert/text_parse.hpp"
#include "text/hex.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "wordlist.txt";

struct Entry {
  int group;
  int index;
  int address;  // of its message, in FB
};

std::string where(std::size_t line) { return std::string(kFile) + ":" + std::to_string(line); }

std::string entry_name(const Entry& entry) {
  TextBuffer name;
  append_hex(name, static_cast<std::uint32_t>(entry.group), 2);
  append_hex(name, static_cast<std::uint32_t>(entry.index), 2);
  return std::string(name.view());
}

std::string fb(int address) { return address_text(kMessageBank, address); }

// The units a message decodes to, and the bytes it takes.
struct Message {
  std::vector<std::uint16_t> units;
  int size = 0;
};

Message decode_message(const Cartridge& cart, const Tables& tables, int address) {
  CodeBuffer codes;
  const TextDecode decoded = decode_text_at(cart, tables.text_trees, kMessageBank, address, codes);
  Message message;
  for (int j = 0; j + 1 < decoded.written; j += 2) message.units.push_back(static_cast<std::uint16_t>(codes[j] | codes[j + 1] << 8));
  message.size = decoded.consumed;
  return message;
}

// Where the sequential block ends: the end of its last message.
int sequential_end(const Cartridge& cart, const Tables& tables) {
  CodeBuffer codes;
  int address = kSequentialStart;
  while (address < kSequentialEnd) {
    address += decode_text(tables.text_trees, rom_view(cart, kMessageBank, address), kSequentialWindow, codes).consumed;
  }
  return address;
}

// What else holds bytes of [start, end), or nothing.
std::optional<std::string> other_owner(int start, int end, int own, const std::vector<Entry>& entries,
                                       const std::map<int, int>& sizes, int sequence_end) {
  if (start < kScriptGroups[2].end_address) return "event scripts or bytes of no known use";
  if (end > 0x10000) return "the next bank";
  if (start < sequence_end && end > kSequentialStart) return "the sequential block";
  for (const Entry& entry : entries) {
    if (entry.address == own) continue;
    const int other_end = entry.address + sizes.at(entry.address);
    if (entry.address < end && other_end > start) return "the message at " + fb(entry.address) + " (entry " + entry_name(entry) + ")";
  }
  return std::nullopt;
}

}  // namespace

Outcome insert_word_list_edits(const Cartridge& cart, const Tables& tables, const encode::MessageCoder& coder,
                               std::uint16_t newline, const std::vector<ChangedLine>& changed,
                               std::span<std::uint8_t> image, WordListEdits& edits) {
  const WordListGroups groups = read_word_list_groups(cart);
  std::vector<Entry> entries;
  for (int g = 0; g < kGroupCount; ++g) {
    for (int e = 0; e < groups.entries[g]; ++e) entries.push_back({g, e, word_list_message(cart, groups, g, e)});
  }
  std::map<int, int> sizes;  // message address -> bytes
  for (const Entry& entry : entries) {
    if (!sizes.count(entry.address)) sizes[entry.address] = decode_message(cart, tables, entry.address).size;
  }
  const int sequence_end = sequential_end(cart, tables);
  std::map<std::size_t, const ChangedLine*> by_line;
  for (const ChangedLine& line : changed) by_line[line.number] = &line;
  // A message is written once, for all the lines that show it.
  std::map<int, std::string> written;  // message address -> its text as the dump will write it
  for (const ChangedLine& line : changed) {
    const Entry& entry = entries[line.number - 1];
    const std::string_view text = line.edited.substr(line_identifier(kFile, line.edited).size());
    // Every line of the message must carry the same text.
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].address != entry.address || i + 1 == line.number) continue;
      const auto other = by_line.find(i + 1);
      const std::string_view other_text = other == by_line.end() ? std::string_view()
                                                                 : other->second->edited.substr(line_identifier(kFile, other->second->edited).size());
      if (other == by_line.end() || other_text != text) {
        return Failure{where(line.number), "entry " + entry_name(entry) + " shares the message at " + fb(entry.address) +
                                               " with line " + std::to_string(i + 1) + " (entry " + entry_name(entries[i]) +
                                               "): edit both the same way"};
      }
    }
    const std::string identifier(line_identifier(kFile, line.edited));
    if (const auto done = written.find(entry.address); done != written.end()) {
      edits.expected.emplace_back(line.number, identifier + done->second);
      continue;
    }
    const int old_size = sizes.at(entry.address);
    if (const auto owner = other_owner(entry.address, entry.address + old_size, entry.address, entries, sizes, sequence_end)) {
      return Failure{where(line.number), "the bytes of entry " + entry_name(entry) + " at " + fb(entry.address) +
                                             " are shared with " + *owner +
                                             "; moving messages into free space is not built yet"};
    }
    std::vector<TextPiece> pieces;
    if (Outcome failure = parse_line_text(text, pieces)) {
      return Failure{where(line.number) + ":" + failure->file, failure->reason};
    }
    std::vector<std::uint16_t> literal;
    std::vector<std::size_t> columns;
    const Message original = decode_message(cart, tables, entry.address);
    const ReadingRules rules{[&](std::uint16_t u) { return encode::unit_bits(coder, u) > 0; }, newline};
    if (Outcome failure = line_units(pieces, original.units, tables.dictionary, rules, literal, columns)) {
      return Failure{where(line.number) + ":" + failure->file, failure->reason};
    }
    encode::EncodedMessage encoded;
    std::size_t unencodable = 0;
    if (!encode::encode_message(coder, literal, encoded, unencodable)) {
      const std::string column = unencodable < columns.size() ? ":" + std::to_string(columns[unencodable]) : "";
      TextBuffer unit;
      append_hex(unit, unencodable < literal.size() ? literal[unencodable] : 0xFFFF, 4);
      return Failure{where(line.number) + column, "code " + std::string(unit.view()) + " has no code in the text trees"};
    }
    if (static_cast<int>(encoded.bytes.size()) > old_size) {
      return Failure{where(line.number), "entry " + entry_name(entry) + " needs " + std::to_string(encoded.bytes.size()) +
                                             " bytes, its own bytes at " + fb(entry.address) + " are " + std::to_string(old_size) +
                                             ": " + std::to_string(encoded.bytes.size() - static_cast<std::size_t>(old_size)) +
                                             " bytes missing (shorten it; moving messages into free space is not built yet)"};
    }
    // The render check: the new bits must read back as the line says, its
    // escapes written as the dump writes them.
    std::string as_written;
    for (const TextPiece& piece : pieces) {
      as_written += piece.kind == TextPiece::Kind::escape ? rendered(piece.units, tables.dictionary) : std::string(piece.text);
    }
    const std::string read_back = rendered(encoded.units, tables.dictionary);
    if (read_back != as_written) {
      return Failure{where(line.number), "the text would not read back as written (a control takes the units after it, "
                                         "or a unit is written otherwise by the dump)"};
    }
    const std::size_t offset = static_cast<std::size_t>(rom_offset(kMessageBank, entry.address));
    std::copy(encoded.bytes.begin(), encoded.bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
    edits.writes.push_back({offset, encoded.bytes.size()});
    written[entry.address] = read_back;
    edits.expected.emplace_back(line.number, identifier + read_back);
  }
  return std::nullopt;
}

}  // namespace ambergale
