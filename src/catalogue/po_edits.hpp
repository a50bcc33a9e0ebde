// The changes a translated catalogue stands for: each translated entry a
// change of every dump line of its item, placed at the entry, so that the
// inserter plans them as it plans edited dumps and names the entry in its
// refusals.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/po_file.hpp"
#include "dump/changes.hpp"
#include "dump/original_image.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// How translations are read.
struct PoRules {
  bool strict_tags = false;  // a translation's controls also keep the msgid's order
  bool fullwidth = false;    // the ASCII of each translation is first written full-width (fullwidth_text)
};

// What reading a catalogue found besides its changes, for the report.
struct PoTally {
  std::vector<Refusal> refused;                // entries that cannot become changes
  std::vector<std::pair<ItemKey, std::size_t>> taken;  // entries that became changes, with their kind (kItemKinds)
  std::size_t untranslated = 0;                // entries with an empty msgstr
  std::vector<Origin> fuzzy;                   // translated but fuzzy: skipped
  std::vector<Origin> unchanged;               // msgstr equal to msgid: nothing to change
};

// The changes `po` (named `po_name`) makes to `original`, whose map holds
// its scripts' lines and whose dumps are Shift-JIS. Taken are entries with
// a translation that are not fuzzy and differ from their source. Refused
// entries, each placed at PO:LINE, are in `tally`: an entry without a
// context or with an unknown one, or whose source is not the image's text,
// plural forms, a translated obsolete entry, a translation with a
// character Shift-JIS lacks or a malformed tag, and one that does not keep
// its source's tags (po_tags.hpp). A catalogue of another image is a
// failure.
Outcome changes_from_po(const OriginalImage& original, const PoCatalogue& po, const std::string& po_name, const PoRules& rules,
                        ChangeSet& changes, PoTally& tally);

// The CRC-32 of a headerless image, as a catalogue's header gives it.
std::uint32_t image_crc(std::span<const std::uint8_t> image);

}  // namespace ambergale
