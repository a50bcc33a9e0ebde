#include "insert/rebuild.hpp"

#include <limits>
#include <optional>
#include <set>

#include "cartridge/cartridge_map.hpp"
#include "dump/dump_lines.hpp"
#include "dump/dumps.hpp"
#include "encode/limited_tree.hpp"
#include "insert/line_encoding.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr std::size_t kWordList = 0;
constexpr std::size_t kSequential = 1;
constexpr std::size_t kScripts = 3;
// The dumps whose texts are written again, in the order of the figures.
constexpr std::array<std::size_t, 3> kTextDumps = {kWordList, kSequential, kScripts};
// Lines the run rewrites as they are sort after every input file.
constexpr std::size_t kUntouchedOrder = std::numeric_limits<std::size_t>::max() - kTextDumps.size();
constexpr int kBank = kDictionaryPointers.bank;

// The lines that show a message with its end code: one without runs past
// the bytes that are its own, and cannot be written again.
bool shows_text(const OriginalImage& original, std::size_t dump, std::size_t number) {
  const MessageMap& map = original.map;
  if (dump == kWordList) return ends_with_end_code(map.messages.at(map.entries[number - 1].address).units);
  if (dump == kSequential) return ends_with_end_code(map.block[number - 1].units);
  const ScriptLine& line = map.script_lines[number - 1];
  return line.kind == ScriptLine::Kind::message && ends_with_end_code(line.units);
}

// The line as the dump has it, in Shift-JIS.
std::string shift_jis_line(std::string_view line, const Utf8ToCp932* to_cp932) {
  std::string converted(line);
  std::size_t bad_at = 0;
  if (to_cp932) to_cp932->convert(line, converted, bad_at);  // the dump converted it from Shift-JIS
  return converted;
}

// The units the image stores for a line's message.
std::span<const std::uint16_t> stored_units(const MessageMap& map, const Change& change) {
  if (change.dump == kWordList) return map.messages.at(map.entries[change.number - 1].address).units;
  if (change.dump == kSequential) return map.block[change.number - 1].units;
  return map.script_lines[change.number - 1].units;
}

// Each message once: a word-list message that several lines show is read
// from the first.
bool first_of_message(const MessageMap& map, const Change& change, std::set<int>& seen) {
  return change.dump != kWordList || seen.insert(map.entries[change.number - 1].address).second;
}

// The text each message will hold, by kind: the literal units its line
// means, no entry codes. A line that cannot be read counts with its old
// text; its planner refuses it.
std::array<std::vector<encode::Units>, 3> texts_of(const ImageView& image, const LineCoding& coding, const ChangeSet& lines) {
  std::array<std::vector<encode::Units>, 3> texts;
  for (std::size_t k = 0; k < kTextDumps.size(); ++k) {
    const std::size_t d = kTextDumps[k];
    std::set<int> seen;
    for (const Change& change : lines[d]) {
      if (!first_of_message(image.map, change, seen)) continue;
      const std::span<const std::uint16_t> stored = stored_units(image.map, change);
      const std::string_view text = std::string_view(change.edited).substr(line_identifier(kDumpFiles[d].name, change.edited).size());
      EncodedLine read;
      const bool readable = !read_line_units(coding, {text, stored}, read);
      texts[k].push_back(expanded_units(coding.dictionaries.original, readable ? std::span<const std::uint16_t>(read.literal) : stored));
    }
  }
  return texts;
}

// What the image's own tables write its texts in.
std::array<encode::WrittenBits, 3> bits_before(const MessageMap& map, const encode::MessageCoder& coder, const Dictionary& dictionary) {
  std::array<encode::WrittenBits, 3> bits{};
  const auto count = [&](encode::WrittenBits& into, std::span<const std::uint16_t> units) {
    for (const std::uint16_t unit : units) into.bits += static_cast<std::size_t>(encode::unit_bits(coder, unit));
    into.characters += encode::characters_of(expanded_units(dictionary, units));
  };
  for (const auto& [address, message] : map.messages) count(bits[0], message.units);
  for (const SequentialMessage& message : map.block) count(bits[1], message.units);
  for (const ScriptLine& line : map.script_lines) {
    if (line.kind == ScriptLine::Kind::message) count(bits[2], line.units);
  }
  return bits;
}

// The image's own figures: its trees' depths, its dictionary's nesting and
// the bytes from its first entry to the end of its last.
void figures_before(const ImageView& image, RebuildFigures& figures) {
  const Tables& tables = image.tables;
  figures.depths_before = {encode::tree_depth(tables.text_trees.lead), encode::tree_depth(tables.text_trees.low),
                           encode::tree_depth(tables.dict_trees.lead), encode::tree_depth(tables.dict_trees.low)};
  figures.nesting_before = nesting_depth(tables.dictionary.decoded);
  const EntrySlot& first = tables.dictionary.slots.front();
  const EntrySlot& last = tables.dictionary.slots.back();
  figures.entry_bytes_before = static_cast<std::size_t>(last.start + std::min(last.consumed, std::max(last.size, 0)) - first.start);
  figures.entry_room = static_cast<std::size_t>(std::max(kDictionaryEnd - first.start, 0));
  const MessageMap& map = image.map;
  const auto no_end = [&](std::span<const std::uint16_t> units) { figures.without_end += !ends_with_end_code(units); };
  for (const auto& [address, message] : map.messages) no_end(message.units);
  for (const SequentialMessage& message : map.block) no_end(message.units);
  for (const ScriptLine& line : map.script_lines) {
    if (line.kind == ScriptLine::Kind::message) no_end(line.units);
  }
}

// The rebuilt trees into their tables' room, the entries back to back from
// `start`, and their pointers.
void write_tables(const encode::RebuiltTables& tables, int start, InsertPlan& plan) {
  constexpr std::array<RomAddress, 4> kTrees = {kTextLeadTree, kTextLowTree, kDictLeadTree, kDictLowTree};
  for (std::size_t t = 0; t < kTrees.size(); ++t) {
    const std::vector<std::uint8_t>& bytes = tables.tree_bytes[t];
    if (bytes.empty()) continue;
    plan.claim(static_cast<std::size_t>(rom_offset(kTrees[t].bank, kTrees[t].address)), bytes.size());
    plan.write(kTrees[t].bank, kTrees[t].address, bytes);
  }
  plan.claim(static_cast<std::size_t>(rom_offset(kBank, start)), static_cast<std::size_t>(kDictionaryEnd - start));
  plan.write(kBank, start, tables.entry_bytes);
  plan.claim(static_cast<std::size_t>(rom_offset(kBank, kDictionaryPointers.address)), 2 * kDictionaryEntries);
  for (std::size_t e = 0; e < tables.entry_starts.size(); ++e) {
    plan.write_word(kBank, kDictionaryPointers.address + 2 * static_cast<int>(e), start + static_cast<int>(tables.entry_starts[e]));
  }
}

// Where the entries may be laid out: from the first entry's place, which
// must lie past the tables before it, to the dictionary's end.
Outcome entry_region(const ImageView& image, int& start) {
  start = image.tables.dictionary.slots.front().start;
  const int tables_end = kDictLowTree.address + kLowTreeRoom;
  if (start >= tables_end && start < kDictionaryEnd) return std::nullopt;
  return Failure{{}, "the dictionary's first entry lies at " + address_text(kBank, start) + ", not between the byte trees' end at " +
                         address_text(kBank, tables_end) + " and the dictionary's end at " + address_text(kBank, kDictionaryEnd) +
                         ": the tables cannot be chosen again for this image"};
}

}  // namespace

bool untouched_line(const ItemKey& item) { return item.order >= kUntouchedOrder; }

ChangeSet every_text_line(const OriginalImage& original, const ChangeSet& changes) {
  std::optional<Utf8ToCp932> to_cp932;
  if (original.encoding == Encoding::utf8) to_cp932.emplace();
  ChangeSet lines;
  for (std::size_t k = 0; k < kTextDumps.size(); ++k) {
    const std::size_t d = kTextDumps[k];
    const std::vector<std::string_view> dump = split_lines(original.dump.dumps[d]);
    auto change = changes[d].begin();
    for (std::size_t number = 1; number <= dump.size(); ++number) {
      while (change != changes[d].end() && change->number < number) ++change;
      if (change != changes[d].end() && change->number == number) {
        lines[d].push_back(*change);
      } else if (shows_text(original, d, number)) {
        const std::string name = kDumpFiles[d].name;
        lines[d].push_back({d, number, dump[number - 1], shift_jis_line(dump[number - 1], to_cp932 ? &*to_cp932 : nullptr),
                            {name, number, kUntouchedOrder + k, {}}});
      }
    }
  }
  return lines;
}

Outcome read_rebuild_source(const ImageView& image, const LineCoding& coding, const ChangeSet& lines, RebuildSource& out) {
  if (Outcome failure = entry_region(image, out.entries_start)) return failure;
  out.figures.scope = *image.settings.rebuild;
  figures_before(image, out.figures);
  out.figures.before = bits_before(image.map, coding.coder, coding.dictionaries.original);
  out.texts = texts_of(image, coding, lines);
  for (const auto& kind : out.texts) out.all.insert(out.all.end(), kind.begin(), kind.end());
  return std::nullopt;
}

Outcome plan_rebuilt_tables(const ImageView& image, const RebuildSource& source, std::span<const std::uint16_t> wanted,
                            InsertPlan& plan, Rebuilt& out) {
  out.figures = source.figures;
  out.tables = encode::rebuild_tables(
      source.all, {image.tables.text_trees, out.figures.depths_before, out.figures.entry_room, wanted}, out.figures.scope);
  if (!out.tables.refusal.empty()) return Failure{{}, "the tables cannot be chosen again for this text: " + out.tables.refusal};
  out.coder = std::make_unique<encode::MessageCoder>(encode::writing_coder(out.tables, *out.dictionary));
  for (std::size_t k = 0; k < source.texts.size(); ++k) {
    out.figures.after[k] = encode::written_bits(source.texts[k], *out.coder);
  }
  out.figures.entry_bytes = out.tables.entry_bytes.size();
  out.figures.entries_chosen = out.tables.entries_chosen;
  out.figures.carriers = out.tables.carriers;
  out.figures.aliases = out.tables.aliases;
  out.figures.nesting = out.tables.nesting;
  out.figures.depths = out.tables.built_depths;
  write_tables(out.tables, source.entries_start, plan);
  plan.dictionary = out.tables.entries;
  return plan.overrun();
}

}  // namespace ambergale
