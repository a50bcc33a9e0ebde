// The changes a translated catalogue stands for: each translated entry a
// change of every dump line of its item, placed at the entry, so that the
// inserter plans them as it plans edited dumps and names the entry in its
// refusals.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "catalogue/po_file.hpp"
#include "dump/changes.hpp"
#include "dump/original_image.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// How translations are read.
struct PoRules {
  bool strict_tags = false;  // a translation's controls also keep the msgid's order
};

// The changes `po` (named `po_name`) makes to `original`, whose map holds
// its scripts' lines and whose dumps are Shift-JIS. Taken are entries with
// a translation that are not fuzzy and differ from their source. Refused,
// naming PO:LINE: a catalogue of another image, an entry without a context
// or with an unknown one, or whose source is not the image's text, plural
// forms, a translated obsolete entry, a translation with a character
// Shift-JIS lacks or a malformed tag, and one that does not keep its
// source's tags (po_tags.hpp).
Outcome changes_from_po(const OriginalImage& original, const PoCatalogue& po, const std::string& po_name,
                        const PoRules& rules, ChangeSet& changes);

// The CRC-32 of a headerless image, as a catalogue's header gives it.
std::uint32_t image_crc(std::span<const std::uint8_t> image);

}  // namespace ambergale
