// A whole translation written with tables chosen for it (--rebuild): the
// dictionary, and with `trees` the text trees, chosen again from every text
// as the new image will hold it, written over the image's own; then every
// text is planned again with them, as if each line had been edited.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "dump/changes.hpp"
#include "dump/original_image.hpp"
#include "encode/message_encoder.hpp"
#include "encode/rebuilt_tables.hpp"
#include "insert/line_encoding.hpp"
#include "insert/plan.hpp"
#include "platform/failure.hpp"
#include "text/dictionary.hpp"

namespace ambergale {

// Whether a change is a line the run rewrites as it is, rather than one the
// user changed.
bool untouched_line(const ItemKey& item);

// Every line of the word lists, the sequential block and the script
// messages as the new image will hold it: the user's change where there is
// one, else the line as the dump of the image has it (untouched_line).
// Edited dictionary entries are left out.
ChangeSet every_text_line(const OriginalImage& original, const ChangeSet& changes);

// The tables chosen for `lines`, the coder that writes with them, and what
// they were measured at.
struct Rebuilt {
  encode::RebuiltTables tables;
  std::unique_ptr<Dictionary> dictionary = std::make_unique<Dictionary>();
  std::unique_ptr<encode::MessageCoder> coder;
  RebuildFigures figures;
};

// What a rebuild reads of the image once, whatever tables it then chooses:
// where the entries go, the text each message will hold by kind, and the
// image's own figures (the `before` ones of RebuildFigures).
struct RebuildSource {
  int entries_start = 0;
  std::array<std::vector<encode::Units>, 3> texts;  // word lists, the sequential block, script messages
  std::vector<encode::Units> all;
  RebuildFigures figures;
};

// Reads `lines` (every_text_line), each line's units against its original
// with `coding` (the image's own tables). Refused, with the reason, for an
// image whose first dictionary entry lies where the entries cannot be laid
// out. A line that cannot be read counts with its old text.
Outcome read_rebuild_source(const ImageView& image, const LineCoding& coding, const ChangeSet& lines, RebuildSource& out);

// Chooses the tables for the source's texts, aliases given to `wanted`
// (see encode::RebuildBasis), and writes them into the plan: the rebuilt
// trees into their tables' room, the entries back to back from the first
// entry's old place, and their pointers. Refused as a whole, with the
// reason, for tables that cannot hold the text (rebuild_tables).
Outcome plan_rebuilt_tables(const ImageView& image, const RebuildSource& source, std::span<const std::uint16_t> wanted,
                            InsertPlan& plan, Rebuilt& out);

}  // namespace ambergale
