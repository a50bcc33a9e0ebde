// The texts of an image as a translation catalogue: one item per piece of
// storage, whatever number of dump lines shows it. Lines that show the same
// bytes (word-list entries that share a message, a word-list entry that
// points into the sequential block, scripts that share a block) are one
// item with all their lines.
//
// Each item is named by a fixed-width context:
//   "W GG:EEEE"       a word-list message, by its first entry's group and entry
//   "S FB:AAAA"       a message of the sequential block, by its address
//   "D CCCC"          a dictionary entry, by its code
//   "M IIII:OOOO:N"   a message inside a script: the first script of its block,
//                     the offset of its instruction, its number after it
#pragma once

#include <string_view>

#include <cstddef>
#include <string>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "dump/stored_messages.hpp"
#include "dump/tables.hpp"

namespace ambergale {

// The kinds of item by the first letter of their contexts: word-list
// message, sequential block, dictionary entry, script message.
inline constexpr std::string_view kItemKinds = "WSDM";

// A line that shows an item: the dump (in run order) and its number.
struct CatalogueLine {
  std::size_t dump;
  std::size_t number;  // 1-based
};

struct CatalogueItem {
  std::string context;
  std::string text;     // Shift-JIS, spelled as po_spelling.hpp says
  std::string comment;  // for the translator: where it is, what may change, the tags to keep
  std::vector<CatalogueLine> lines;
};

// The items in dump order: word lists, sequential block, dictionary, scripts;
// an item shared across dumps comes where its first line does.
// `map` is the image's, with its scripts mapped.
std::vector<CatalogueItem> catalogue_items(const Cartridge& cart, const Tables& tables, const MessageMap& map);

}  // namespace ambergale
