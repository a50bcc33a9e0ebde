// PO files, read and written with gettext's own library (libgettextpo).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// The header field that names the image a catalogue was made from.
inline constexpr const char* kImageField = "X-Ambergale-Image-CRC32";

// The catalogue as a PO template in UTF-8: a header (the tool's version,
// the charset, the image's CRC-32 as 8 hex digits), then one entry per
// item with its context, its text, its comment and the dump lines that
// show it. Items' texts are Shift-JIS and converted here.
Outcome write_po_template(const std::vector<CatalogueItem>& items, std::string_view version, std::uint32_t image_crc,
                          std::string& out);

// The same catalogue with `translations[k]` (Shift-JIS, spelled as the
// items' texts; empty for none) as the msgstr of items[k]: a translation
// made elsewhere than by a translator, such as make-sample's.
Outcome write_po_catalogue(const std::vector<CatalogueItem>& items, std::span<const std::string> translations,
                           std::string_view version, std::uint32_t image_crc, std::string& out);

// One entry of a PO file, as translated.
struct PoEntry {
  std::size_t line = 0;  // of its msgctxt (or msgid) in the file; 0 when not found
  std::string context;
  std::string source;       // msgid
  std::string translation;  // msgstr, UTF-8
  bool fuzzy = false;
  bool obsolete = false;
  bool plural = false;
};

struct PoCatalogue {
  std::string image_crc;  // the header's field, as written ("" when missing)
  std::vector<PoEntry> entries;
};

// How the comment begins that a refused catalogue gives each refused entry.
inline constexpr const char* kRefusedComment = "ambergale-insert refused this: ";

// `contents`, the PO file `name`, again as gettext's library writes it,
// with each entry whose line (as PoEntry::line gives it) is a key of
// `refused` marked fuzzy and given a comment for each of its reasons. The
// comments of an earlier refusal are removed from every other entry but the
// fuzzy ones, which this run did not read.
Outcome write_refused_catalogue(const std::string& name, std::string_view contents,
                                const std::map<std::size_t, std::vector<std::string>>& refused, std::string& out);

// Reads the PO file whose bytes are `contents`; `name` names it in refusals
// (NAME:LINE: what gettext's library said).
Outcome read_po_file(const std::string& name, std::string_view contents, PoCatalogue& out);

}  // namespace ambergale
