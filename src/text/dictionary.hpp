// The dictionary of shared strings: 3049 entries for the codes
// 0x0410..0x0FF8, each stored compressed in bank F8 and possibly holding
// dictionary codes itself. Start-up decodes every entry, replaces the codes
// inside entries by the entries they name until none is left, and renders
// each entry once into its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "decode/byte_tree.hpp"
#include "text/code_units.hpp"
#include "text/text_buffer.hpp"

namespace ambergale {

using cartridge_map::kDictionaryEntries;
// The most bytes an entry may hold, as decoded or expanded. A replacement that
// would take an entry past it is not made.
inline constexpr int kEntryCap = kCodeStreamCap;

// The game expands each entry into a slot of 200 bytes: 100 units, the end
// units that nested copies bring along included.
inline constexpr std::size_t kEntrySlotUnits = 100;

// An entry is read with the three bytes after it into 400 bytes.
inline constexpr int kMostEntryBytes = 397;

using CodeStream = std::vector<std::uint8_t>;

// Where an entry's bytes lie in bank F8: its slot, from its pointer to the
// next entry's (the last to the dictionary's end), and the bytes its decode
// took. The size may be 0 or negative.
struct EntrySlot {
  int start = 0;
  int size = 0;
  int consumed = 0;  // 0 until decoded
};

struct Dictionary {
  std::vector<CodeStream> decoded;     // entry e as the image stores it, before expansion
  std::vector<EntrySlot> slots;        // entry e's bytes in the image (none for an edited dictionary)
  std::vector<CodeStream> codes;       // entry e, fully expanded
  std::vector<std::string_view> text;  // entry e, rendered: a view into `storage`
  TextBuffer storage;                  // every rendered entry, back to back
};

// Decodes, expands and renders all entries of the cartridge's dictionary.
void build_dictionary(const Cartridge& cart, const TreePair& dict_trees, Dictionary& dictionary);

// Expands and renders entries given as decoded (an edited dictionary).
void build_dictionary_from(std::vector<CodeStream> decoded, Dictionary& dictionary);

// Decodes entry e's compressed bytes, from its pointer to the next entry's,
// into `decoded`; returns its slot with the bytes the decode took.
EntrySlot load_dictionary_entry(const Cartridge& cart, const TreePair& dict_trees, int e, CodeStream& decoded);

// `units` with every entry code replaced by the entry's full expansion and
// every end unit dropped: the text a message stands for, unit by unit. A
// control's arguments stay as they are, whatever their values.
std::vector<std::uint16_t> expanded_units(const Dictionary& dictionary, std::span<const std::uint16_t> units);

// The deepest nesting of the entries as decoded: 1 for an entry that names
// no other. A reference back into the entries being walked counts for
// nothing, so a cycle of references ends there.
int nesting_depth(const std::vector<CodeStream>& decoded);

// Entry e's slot, not decoded.
EntrySlot dictionary_slot(const Cartridge& cart, int e);

// Replaces every reference inside the entries by the entry it names, in
// passes: each pass makes one replacement per entry, at its first remaining
// reference, copying the named entry as it stands at that moment (end units
// included). A reference is left in place when the entry it names can never
// be fully expanded (it lies on or leads into a cycle of references), or when
// the replacement would take the entry past kEntryCap; the scan goes on
// after it. References to entries past the end of `codes` name empty entries.
void expand_dictionary(std::vector<CodeStream>& codes);

}  // namespace ambergale
