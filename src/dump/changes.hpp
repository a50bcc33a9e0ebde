// The texts a user changed, whatever they were written in: each a line of
// one of the four dumps with its new text, and where the user wrote it (a
// line of an edited dump, or an entry of a PO catalogue). Both kinds of
// input arrive as one set; the inserter plans from it alone, and every
// refusal it makes is placed where the user wrote the text.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <compare>
#include <tuple>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

// Where the user wrote a change.
struct Origin {
  std::string file;         // as the user names it
  std::size_t line = 0;     // 1-based: of the dump line, or of the PO entry
  std::size_t order = 0;    // the file's place among the inputs (a dump's place in run order)
  std::string context;      // a PO entry's msgctxt; empty for a dump line
};

struct Change {
  std::size_t dump = 0;        // whose line it changes, in run order
  std::size_t number = 0;      // that line, 1-based
  std::string_view original;   // the line as the image's dump has it
  std::string edited;          // the new line, Shift-JIS, its identifier first
  Origin origin;
};

// The changes of each dump, in run order, each in line order.
using ChangeSet = std::array<std::vector<Change>, 4>;

// What the user wrote as one: a line of an edited dump, or a catalogue
// entry (which may change several dump lines). An item goes in whole or
// not at all.
struct ItemKey {
  std::size_t order = 0;  // its file's place among the inputs
  std::size_t line = 0;   // its line in that file

  auto operator<=>(const ItemKey&) const = default;
};

inline ItemKey item_of(const Origin& origin) { return {origin.order, origin.line}; }

// An item the inserter cannot take, placed and ordered as the user wrote it.
struct Refusal {
  Failure failure;
  ItemKey item;
  std::size_t column = 0;  // in characters of the text; 0 for the whole item

  bool operator<(const Refusal& other) const { return std::tie(item, column) < std::tie(other.item, other.column); }
};

// `reason` refuses the text of `change` at `column` of its dump line's text
// (1-based, in characters; 0 for the whole line). A change from a catalogue
// is placed at its entry, by its context and the character of its msgstr.
Refusal refusal_of(const Change& change, std::size_t column, std::string reason);
// `reason` refuses a catalogue entry before it becomes changes, at `column`
// of its translation (in characters; 0 for the whole entry).
Refusal entry_refusal(const Origin& origin, std::size_t column, std::string reason);

}  // namespace ambergale
