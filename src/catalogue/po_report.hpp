// What an insert run did with a catalogue's entries, for its report.
#pragma once

#include <string>
#include <vector>

#include "catalogue/po_edits.hpp"
#include "dump/changes.hpp"

namespace ambergale {

// Whether the catalogue translates nothing: no entry differs from its msgid.
bool untranslated(const PoTally& tally);

// The entries inserted by kind, refused, fuzzy and skipped, equal to their
// msgid and untranslated, a few lines each ending in LF; `refusals` are all
// the run's, the catalogue's own among them.
std::string po_report_text(const PoTally& tally, const std::vector<Refusal>& refusals);

}  // namespace ambergale
