#include "catalogue/po_edits.hpp"

#include <algorithm>
#include <map>

#include "cartridge/cartridge.hpp"
#include "catalogue/catalogue.hpp"
#include "catalogue/po_spelling.hpp"
#include "dump/dump_run.hpp"
#include "dump/dumps.hpp"
#include "insert/edit_set.hpp"
#include "insert/patch.hpp"
#include "insert/text_parse.hpp"
#include "platform/cp932_to_utf8.hpp"
#include "text/hex.hpp"

namespace ambergale {

std::uint32_t image_crc(std::span<const std::uint8_t> image) { return crc32_of(image); }

Outcome edits_from_po(std::span<const std::uint8_t> image_file, const std::string& opcode_file, const PoCatalogue& po,
                      const std::string& po_name, std::array<std::optional<std::string>, 4>& edited,
                      std::vector<PoLine>& lines) {
  const ImageFrame frame = frame_image(image_file.size());
  Cartridge cart;
  cart.bytes = image_file.subspan(frame.offset, std::min(frame.size, image_file.size() - frame.offset));
  const std::string crc = hex_text(image_crc(cart.bytes), 8);
  if (po.image_crc != crc) {
    return Failure{po_name, po.image_crc.empty() ? std::string("its header has no ") + kImageField +
                                                       ": it is not a catalogue ambergale-dump --pot made"
                                                 : std::string("made from another image (") + kImageField + " " +
                                                       po.image_crc + ", this image's is " + crc + ")"};
  }
  const MemoryRun original = run_in_memory(image_file, opcode_file, DumpSettings{}, true);
  if (original.failure) return original.failure;
  const std::vector<CatalogueItem> items = catalogue_items(cart, *original.tables);
  std::map<std::string, const CatalogueItem*, std::less<>> by_context;
  for (const CatalogueItem& item : items) by_context.emplace(item.context, &item);
  const Utf8ToCp932 to_cp932;
  if (!to_cp932.available()) return Failure{{}, "the C library cannot convert UTF-8 to CP932"};
  const Cp932ToUtf8 to_utf8;

  std::array<std::vector<std::pair<std::size_t, std::string>>, 4> replaced;
  std::array<std::vector<std::string_view>, 4> dump_lines;
  for (std::size_t d = 0; d < dump_lines.size(); ++d) dump_lines[d] = split_lines(original.dumps[d]);
  for (const PoEntry& entry : po.entries) {
    const std::string where = entry.line > 0 ? po_name + ":" + std::to_string(entry.line) : po_name;
    const bool translated = !entry.translation.empty() && !entry.fuzzy;
    if (entry.plural) return Failure{where, "an entry with plural forms: the game's texts have none"};
    if (entry.obsolete) {
      if (translated) return Failure{where, "an obsolete entry (#~) with a translation: no text of the image is its own"};
      continue;
    }
    const auto found = by_context.find(entry.context);
    if (found == by_context.end()) {
      return Failure{where, entry.context.empty() ? std::string("an entry without msgctxt: every text of the image has one")
                                                  : "msgctxt \"" + entry.context + "\" names no text of this image"};
    }
    const CatalogueItem& item = *found->second;
    std::string source;
    to_utf8.convert(item.text, source);
    if (entry.source != source) {
      return Failure{where, "the msgid of \"" + entry.context + "\" is not the image's text: the catalogue was made otherwise"};
    }
    if (!translated || entry.translation == entry.source) continue;
    std::string text;
    std::size_t bad_at = 0;
    if (!to_cp932.convert(entry.translation, text, bad_at)) {
      return Failure{where, "byte " + std::to_string(bad_at + 1) +
                                " of the translation is not UTF-8, or starts a character Shift-JIS does not have"};
    }
    text = dump_line_text(text);
    std::vector<TextPiece> pieces;
    if (Outcome failure = parse_line_text(text, pieces)) {
      return Failure{where, "the translation of \"" + entry.context + "\", at character " + failure->file + ": " + failure->reason};
    }
    for (const CatalogueLine& line : item.lines) {
      const std::string_view original_line = dump_lines[line.dump][line.number - 1];
      replaced[line.dump].emplace_back(line.number, std::string(line_identifier(kDumpFiles[line.dump].name, original_line)) + text);
      lines.push_back({line.dump, line.number, entry.line, entry.context});
    }
  }
  for (std::size_t d = 0; d < replaced.size(); ++d) {
    if (replaced[d].empty()) continue;
    std::sort(replaced[d].begin(), replaced[d].end());
    edited[d] = with_lines(original.dumps[d], replaced[d]);
  }
  return std::nullopt;
}

Failure about_po_entry(Failure failure, const std::vector<PoLine>& lines, const std::string& po_name) {
  for (const PoLine& line : lines) {
    const std::string named = std::string(kDumpFiles[line.dump].name) + ":" + std::to_string(line.number);
    if (failure.file != named && failure.file.rfind(named + ":", 0) != 0) continue;
    failure.reason = "(" + line.context + ", " + failure.file + ") " + failure.reason;
    failure.file = line.po_line > 0 ? po_name + ":" + std::to_string(line.po_line) : po_name;
    return failure;
  }
  return failure;
}

}  // namespace ambergale
