// A whole translation written with tables chosen for it (--rebuild): the
// dictionary, and with `trees` the text trees, chosen again from every text
// as the new image will hold it, written over the image's own; then every
// text is planned again with them, as if each line had been edited.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

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

// What a rebuild chooses: `scope`, and the characters given aliases (see
// encode::RebuildBasis).
struct RebuildChoice {
  encode::RebuildScope scope;
  std::span<const std::uint16_t> wanted_aliases;
};

// Chooses the tables for `lines` (every_text_line), each line's units read
// against its original with `coding` (the image's own tables), and writes
// them into the plan: the rebuilt trees into their tables' room, the
// entries back to back from the first entry's old place, and their
// pointers. Refused as a whole, with the reason: tables that cannot hold
// the text (rebuild_tables), or a line that cannot be read.
Outcome plan_rebuilt_tables(const ImageView& image, const LineCoding& coding, const ChangeSet& lines, RebuildChoice choice,
                            InsertPlan& plan, Rebuilt& out);

}  // namespace ambergale
