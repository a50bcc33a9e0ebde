#include "catalogue/po_edits.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "catalogue/catalogue.hpp"
#include "catalogue/po_spelling.hpp"
#include "catalogue/po_tags.hpp"
#include "dump/dumps.hpp"
#include "dump/dump_lines.hpp"
#include "platform/crc32.hpp"
#include "text/text_parse.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "text/hex.hpp"
#include "text/shown_character.hpp"

namespace ambergale {

std::uint32_t image_crc(std::span<const std::uint8_t> image) { return crc32_of(image); }

namespace {

Outcome check_image(const OriginalImage& original, const PoCatalogue& po, const std::string& po_name) {
  const std::string crc = hex_text(image_crc(original.cart().bytes), 8);
  if (po.image_crc == crc) return std::nullopt;
  return Failure{po_name, po.image_crc.empty() ? std::string("its header has no ") + kImageField +
                                                     ": it is not a catalogue ambergale-dump --pot made"
                                               : std::string("made from another image (") + kImageField + " " +
                                                     po.image_crc + ", this image's is " + crc + ")"};
}

// What reading a catalogue against its image needs.
struct PoReading {
  PoReading(const OriginalImage& image, const PoRules& po_rules) : original(image), rules(po_rules) {
    for (std::size_t d = 0; d < lines.size(); ++d) lines[d] = split_lines(original.dump.dumps[d]);
  }
  const OriginalImage& original;
  const PoRules rules;
  std::map<std::string, const CatalogueItem*, std::less<>> items;  // by context
  std::array<std::vector<std::string_view>, 4> lines;              // of each dump
  const Utf8ToCp932 to_cp932;
  const Cp932ToUtf8 to_utf8;
};

// The item an entry translates; refused when it names none or its source
// is not the item's text.
std::optional<std::string> item_of(const PoReading& reading, const PoEntry& entry, const CatalogueItem*& item) {
  const auto found = reading.items.find(entry.context);
  if (found == reading.items.end()) {
    return entry.context.empty() ? std::string("an entry without msgctxt: every text of the image has one")
                                 : "msgctxt \"" + entry.context + "\" names no text of this image";
  }
  item = found->second;
  std::string source;
  reading.to_utf8.convert(item->text, source);
  if (entry.source != source) return std::string("the msgid is not the image's text: the catalogue was made otherwise");
  return std::nullopt;
}

// A backslash (or the yen sign Shift-JIS writes in its place) would read as
// an escape of the dumps; a catalogue writes a line break as itself.
Outcome escape_character(std::string_view translation) {
  constexpr std::string_view kYen = "\xC2\xA5";  // ¥
  std::size_t column = 0;
  for (std::size_t at = 0; at < translation.size(); ++at) {
    if ((static_cast<unsigned char>(translation[at]) & 0xC0) != 0x80) ++column;
    const bool yen = translation.substr(at, kYen.size()) == kYen;
    if (translation[at] != '\\' && !yen) continue;
    return Failure::at({}, 0, column, shown_character(yen ? U'\u00A5' : U'\\') +
                                          " is not in the character table: a catalogue writes a line break as a line break");
  }
  return std::nullopt;
}

// The translation in Shift-JIS, refused unless it reads as a dump line's text.
Outcome translation_text(const PoReading& reading, const PoEntry& entry, std::string& text) {
  if (Outcome escape = escape_character(entry.translation)) return escape;
  std::size_t bad_at = 0;
  if (!reading.to_cp932.convert(entry.translation, text, bad_at)) {
    return Failure{{}, "byte " + std::to_string(bad_at + 1) + " of the translation " + not_converted(entry.translation, bad_at)};
  }
  if (reading.rules.fullwidth) text = fullwidth_text(text, HexRuns::characters);
  std::vector<TextPiece> pieces;
  return parse_line_text(text, HexRuns::characters, pieces);
}

// Why a translated entry cannot be read as a translation of its item, if it cannot.
std::optional<std::string> entry_problem(const PoReading& reading, const PoEntry& entry, const CatalogueItem*& item) {
  if (entry.plural) return std::string("an entry with plural forms: the game's texts have none");
  if (entry.obsolete) return std::string("an obsolete entry (#~) with a translation: no text of the image is its own");
  return item_of(reading, entry, item);
}

// An entry with nothing to insert, counted: untranslated or fuzzy. A plural
// entry has its translations elsewhere, so is never untranslated here.
bool skipped(const PoEntry& entry, const Origin& at, PoTally& tally) {
  const bool untranslated = entry.translation.empty() && !entry.plural;
  if (!untranslated && !entry.fuzzy) return false;
  if (entry.obsolete) return true;
  if (untranslated) {
    ++tally.untranslated;
  } else {
    tally.fuzzy.push_back(at);
  }
  return true;
}

// One entry: skipped when there is nothing to insert, refused, or a change
// of every line of its item.
void take_entry(const PoReading& reading, const PoEntry& entry, const Origin& at, ChangeSet& changes, PoTally& tally) {
  if (skipped(entry, at, tally)) return;
  const CatalogueItem* item = nullptr;
  if (std::optional<std::string> problem = entry_problem(reading, entry, item)) {
    tally.refused.push_back(entry_refusal(at, 0, std::move(*problem)));
    return;
  }
  if (entry.translation == entry.source) {
    tally.unchanged.push_back(at);
    return;
  }
  std::string text;
  Outcome failure = translation_text(reading, entry, text);
  if (!failure) failure = check_tags(item->text, text, reading.rules.strict_tags);
  if (failure) {
    tally.refused.push_back(entry_refusal(at, failure->column, failure->reason));
    return;
  }
  tally.taken.emplace_back(item_of(at), kItemKinds.find(item->context.front()));
  for (const CatalogueLine& line : item->lines) {
    const std::string_view original_line = reading.lines[line.dump][line.number - 1];
    const std::string identifier(line_identifier(kDumpFiles[line.dump].name, original_line));
    changes[line.dump].push_back({line.dump, line.number, original_line, identifier + dump_line_text(text), at});
  }
}

}  // namespace

Outcome changes_from_po(const OriginalImage& original, const PoCatalogue& po, const std::string& po_name,
                        const PoRules& rules, ChangeSet& changes, PoTally& tally) {
  if (Outcome failure = check_image(original, po, po_name)) return failure;
  PoReading reading(original, rules);
  if (!reading.to_cp932.available()) return Failure{{}, "the C library cannot convert UTF-8 to CP932"};
  const std::vector<CatalogueItem> items = catalogue_items(original.cart(), *original.dump.tables, original.map);
  for (const CatalogueItem& item : items) reading.items.emplace(item.context, &item);
  for (const PoEntry& entry : po.entries) {
    take_entry(reading, entry, {po_name, entry.line, 0, entry.context}, changes, tally);
  }
  for (std::vector<Change>& dump : changes) {
    std::stable_sort(dump.begin(), dump.end(), [](const Change& a, const Change& b) { return a.number < b.number; });
  }
  return std::nullopt;
}

}  // namespace ambergale
