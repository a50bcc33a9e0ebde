// The edits a translated catalogue stands for: each translated entry written
// into every dump line of its item, as an edited dump would have it, so the
// inserter takes them as it takes edited dumps.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalogue/po_file.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// The dumps of `image_file` (under `opcode_file`, in Shift-JIS) with the
// translations of `po` written in. Taken are entries with a translation that
// are not fuzzy and differ from their source; the rest keep the original.
// Refused, naming PO:LINE (`po_name`): a catalogue of another image, an
// entry without a context or with an unknown one, or whose source is not
// the image's text, plural forms, a translated obsolete entry, and a
// translation with a character Shift-JIS lacks or a malformed tag.
// `lines` receives, for each edited dump line, the entry that wrote it.
struct PoLine {
  std::size_t dump;
  std::size_t number;
  std::size_t po_line;
  std::string context;
};
Outcome edits_from_po(std::span<const std::uint8_t> image_file, const std::string& opcode_file, const PoCatalogue& po,
                      const std::string& po_name, std::array<std::optional<std::string>, 4>& edited,
                      std::vector<PoLine>& lines);

// A refusal of the inserter that names a dump line written from the
// catalogue, made to name the catalogue's entry instead.
Failure about_po_entry(Failure failure, const std::vector<PoLine>& lines, const std::string& po_name);

// The CRC-32 of a headerless image, as a catalogue's header gives it.
std::uint32_t image_crc(std::span<const std::uint8_t> image);

}  // namespace ambergale
