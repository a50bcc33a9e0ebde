// Script groups laid out again, so that a block's compressed length may
// change.
//
// A group's blocks lie back to back in its bank, and the last one ends at the
// group's fixed end (the dump measures each block up to the next pointer of
// its group, the last up to that end). A group holding a changed block is
// written again from its end backwards: each block in its old order, the
// last still ending at the group's end, the others packed before it, and the
// bytes a shrunk group leaves before its first block never read again. A
// group that grows may start earlier only over bytes given with --free.
//
// Laid out from the end backwards, every block is placed after the one that
// follows it, so an odd block, whose last word holds the next block's first
// byte, is judged against that byte as it will be: each block is proven by
// decoding it where it will lie. An unchanged block is copied as it is, and
// compressed again only when the copy no longer decodes as it did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cartridge/cartridge_map.hpp"
#include "encode/script_codes.hpp"
#include "insert/free_space.hpp"
#include "insert/plan.hpp"
#include "insert/script_recode.hpp"

namespace ambergale {

// The symbols of a block in order, each with the bits that will give it
// (see block_leaves).
using BlockLeaves = std::vector<encode::ScriptLeaf>;

// The leaves each symbol of a block may take, the preferred first: the
// same symbol by any of its leaves, or, for a byte of a rewritten message,
// any symbol that gives the byte. Their lengths move the block's total of
// bits, and so the bits left to fill after its last symbol.
using BlockChoices = std::vector<std::vector<encode::ScriptLeaf>>;

// Each symbol by its own leaf first, then by its other leaves.
BlockChoices same_symbol_choices(const BlockLeaves& leaves, const encode::ScriptCodes& codes);

// The totals of bits some choices can take, told by what they leave over
// whole words: bit r set when one is r more than a multiple of 16. Cheap
// to keep for the rest of a block while one message's choices vary.
using WordRests = std::uint16_t;

WordRests word_rests(std::span<const std::vector<encode::ScriptLeaf>> choices);

// Of two parts of a block taken together.
WordRests word_rests(WordRests first, WordRests second);

// Whether some total leaves, to the end of a word, bits that a walk
// reaching no leaf can fill: then the block can end in its own word,
// whatever follows.
bool closes_in_own_word(WordRests rests, const encode::ScriptCodes& codes);

// Changed blocks of one group, by their old address in its bank.
using ChangedBlocks = std::map<int, BlockChoices>;

// Why a group could not be laid out again, and the changed blocks (by old
// address) whose changes it refuses: the block that found no compression,
// the changed block after an unchanged one that found none, or, when the
// group overflows, the changed blocks that grew (every one if none did).
// What a text can do about it: drop `missing` bytes, or, when `rebits`,
// take other bits.
struct GroupRefusal {
  std::string reason;
  std::vector<int> blocks;
  int missing = 0;
  bool rebits = false;
};

// Lays out again the group kScriptGroups[group] so that each block of
// `changed` decodes to its leaves' symbols and every other block as it did;
// the pointers of every moved block rewritten, shared ones alike. On success
// the plan holds the draft's new bytes, `scripts_replaced` the units of the
// changed blocks' scripts, and the counts; else the draft is left as it was.
std::optional<GroupRefusal> lay_out_script_group(const ImageView& image, const encode::ScriptCodes& codes, std::size_t group,
                                                 const ChangedBlocks& changed, InsertPlan& plan);

// The group whose blocks or room a --free range of its bank concerns: every
// range of F8, F9 and FA, and those of FB below the scripts' end there.
const cartridge_map::ScriptGroup* script_group_of(const DeclaredRange& free);

// --free ranges of the script groups: allowed only with `relayout`, only
// before a group's first block, and never over the script pointers or the
// script tree's header.
Outcome check_script_ranges(const Cartridge& cart, std::span<const DeclaredRange> declared, bool relayout);

}  // namespace ambergale
