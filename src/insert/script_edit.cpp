#include "insert/script_edit.hpp"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "encode/character_room.hpp"
#include "encode/script_codes.hpp"
#include "insert/script_layout.hpp"
#include "insert/script_offsets.hpp"
#include "insert/script_recode.hpp"
#include "script/disassembler.hpp"
#include "script/script_shape.hpp"
#include "text/hex.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kDump = 3;

std::string hex4(std::int64_t value) { return hex_text(static_cast<std::uint32_t>(value), 4); }

// A block by its bank and address.
using BlockKey = std::pair<int, int>;

// What a block decodes to now, and its script bytes.
struct Decoded {
  std::vector<std::uint8_t> units;
  std::vector<std::uint8_t> bytes;
};

Decoded decode_block(const ScriptTree& tree, std::span<const std::uint8_t> image, const BlockAt& at) {
  Decoded out;
  out.units.resize(kScriptOutputCap);
  const int written = decode_script(tree, image.subspan(at.offset), at.length,
                                    std::span<std::uint8_t, kScriptOutputCap>(out.units));
  out.units.resize(static_cast<std::size_t>(written));
  for (std::size_t k = 0; k < out.units.size(); k += 2) out.bytes.push_back(out.units[k]);  // the count is even
  return out;
}

// Why a changed line is no message line, or nothing.
std::optional<std::string> not_a_message(const ScriptLine& at) {
  const std::string script = "script " + hex4(at.script);
  switch (at.kind) {
    case ScriptLine::Kind::blank: return "the empty line before " + script + " changed; only message lines may be edited";
    case ScriptLine::Kind::header: return "the header of " + script + " changed; only message lines may be edited";
    case ScriptLine::Kind::instruction:
      return "instruction line of " + script + " (offset " + hex4(at.offset) + ") changed; only message lines may be edited";
    case ScriptLine::Kind::message: break;
  }
  return std::nullopt;
}

// A change that rewrote a block's bytes, what its text costs, and its units.
struct Rewrite {
  const Change* change;
  encode::CharacterBits cost;
  std::vector<std::uint16_t> literal;
};

// The script changes while they are planned.
struct ScriptWork {
  const ImageView& image;
  const LineCoding& coding;
  InsertPlan& plan;
  std::vector<ScriptPlace> places = {};
  std::map<BlockKey, std::vector<int>> sharers = {};  // the scripts each block holds
  std::map<int, std::set<int>> banks = {};            // the blocks of each bank, by address
  std::map<std::pair<int, std::int64_t>, std::size_t> message_lines = {};  // by script and offset
  std::map<std::pair<int, std::int64_t>, std::size_t> instruction_lines = {};
  std::map<std::size_t, const Change*> by_number = {};
  std::map<BlockKey, std::map<std::int64_t, const Change*>> blocks = {};  // the edits of each block, by offset
  std::map<BlockKey, std::vector<std::uint8_t>> rewritten = {};          // the units of each block this run rewrote
  std::map<std::size_t, ChangedBlocks> relaid = {};                      // with relayout: the changed blocks of each group
  std::map<BlockKey, std::vector<Rewrite>> rewrote = {};                 // with relayout: the changes each block's bytes take
  std::map<BlockKey, OffsetMoves> offsets = {};                          // with declared offsets: each resized block's
  encode::ScriptCodes codes = {};

  const ScriptLine& line(const Change& change) const { return image.map.script_lines[change.number - 1]; }
  BlockKey key_of(int script) const { return {places[script].bank, places[script].address}; }
};

void index_scripts(ScriptWork& work) {
  work.places = script_places(work.image.cart);
  for (int i = 0; i < static_cast<int>(work.places.size()); ++i) {
    work.sharers[work.key_of(i)].push_back(i);
    work.banks[work.places[i].bank].insert(work.places[i].address);
  }
  const std::vector<ScriptLine>& lines = work.image.map.script_lines;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (lines[n].kind == ScriptLine::Kind::message) work.message_lines[{lines[n].script, lines[n].offset}] = n + 1;
    if (lines[n].kind == ScriptLine::Kind::instruction) work.instruction_lines[{lines[n].script, lines[n].offset}] = n + 1;
  }
}

// Every script a block holds must show the same edit of a message.
std::optional<std::string> split_block(const ScriptWork& work, const BlockKey& key, std::int64_t offset, const Change& change) {
  for (const int script : work.sharers.at(key)) {
    const auto found = work.message_lines.find({script, offset});
    const std::size_t other = found == work.message_lines.end() ? 0 : found->second;
    const auto edited = work.by_number.find(other);
    if (edited != work.by_number.end() && edited->second->edited == change.edited) continue;
    return "script " + hex4(work.line(change).script) + " and script " + hex4(script) + " (line " + std::to_string(other) +
           ") are one block " + address_text(key.first, key.second) + ": edit their message at " + hex4(offset) + " the same way";
  }
  return std::nullopt;
}

// Sorts the message edits into their blocks, refusing the lines that are no
// message and the edits that scripts of one block do not share.
void gather_blocks(ScriptWork& work, std::span<const Change> changes) {
  for (const Change& change : changes) {
    if (const std::optional<std::string> why = not_a_message(work.line(change))) {
      work.plan.refuse(refusal_of(change, 0, *why));
      continue;
    }
    work.by_number[change.number] = &change;
  }
  for (const auto& [number, change] : work.by_number) {
    const ScriptLine& at = work.line(*change);
    work.blocks[work.key_of(at.script)].emplace(at.offset, change);
  }
  for (auto& [key, messages] : work.blocks) {
    for (auto it = messages.begin(); it != messages.end();) {
      const std::optional<std::string> why = split_block(work, key, it->first, *it->second);
      if (!why) {
        ++it;
        continue;
      }
      work.plan.refuse(refusal_of(*it->second, 0, *why));
      it = messages.erase(it);
    }
  }
}

// The block before `key`, when it is odd: its last word holds this block's first byte.
std::optional<NeighbourBlock> odd_block_before(const ScriptWork& work, const BlockKey& key) {
  const auto [bank, address] = key;
  const std::set<int>& addresses = work.banks.at(bank);
  const auto before = addresses.find(address);
  if (before == addresses.begin()) return std::nullopt;
  const int start = *std::prev(before);
  if ((address - start) % 2 == 0) return std::nullopt;
  const BlockAt at{static_cast<std::size_t>(rom_offset(bank, start)), address - start};
  const auto known = work.rewritten.find({bank, start});
  return NeighbourBlock{at, known != work.rewritten.end() ? known->second
                                                          : decode_block(work.image.tables.script_tree, work.image.cart.bytes, at).units};
}

std::string recode_refusal(const BlockRecoder& recoder, const std::string& block_name, int length, std::size_t size,
                           const encode::CharacterBits& cost) {
  std::string why;
  const std::string kept = block_name + " at " + std::to_string(length) + " bytes";
  if (recoder.tries() >= kRecodeTries) {
    why = "no recompression keeps " + kept + " within " + std::to_string(kRecodeTries) + " tries";
  } else {
    why = recoder.tries() == 1 ? "its only encoding at " + std::to_string(size) + " bytes does not keep " + kept
                               : "none of its " + std::to_string(recoder.tries()) + " encodings at " + std::to_string(size) +
                                     " bytes keeps " + kept;
  }
  if (recoder.missing_byte() >= 0) {
    why += " (some need script byte " + hex_text(static_cast<std::uint32_t>(recoder.missing_byte()), 2) +
           ", which no symbol of the script tree gives)";
  }
  return why + ": " + encode::change_a_character(cost);
}

// A message of a block given bytes of another length, the change that did
// it, and its text offered at that length, for choosing its bytes again.
struct Resize {
  ScriptSplice splice;
  const Change* change;
  encode::CharacterBits cost;
  std::vector<std::uint16_t> literal;
  BitWindow window;
  std::uint8_t old_last;
  std::string name;
};

// One block while its messages are planned.
struct BlockJob {
  BlockKey key;
  BlockAt at;
  int length = 0;  // of the compressed block
  std::optional<NeighbourBlock> previous;
  std::vector<std::uint8_t> units = {};  // what it decodes to once rewritten
  BlockChoices choices = {};             // with relayout: the leaves each of its symbols may take
  std::vector<Rewrite> rewrote = {};     // with relayout: the changes that rewrote its bytes
  std::vector<Resize> resized = {};      // with declared offsets: the messages that changed length, last first
  std::vector<std::pair<std::size_t, std::string>> expected = {};  // script lines as the new image lists them
  std::set<const Change*> refused = {};  // changes refused while the block was planned
  std::size_t longer = 0;                // bytes a resized message takes beyond its shortest, at least
  bool changed = false;
};

// Where a message lies in its block's symbols: its first and how many it takes.
struct MessageSpan {
  std::size_t offset;
  std::size_t size;
};

// The leaves the message's bytes may take: any symbol that gives a byte,
// a byte it kept its own symbol first.
BlockChoices message_choices(const ScriptWork& work, const BlockJob& job, std::span<const std::uint8_t> bytes, MessageSpan span) {
  BlockChoices choices;
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const bool had = k < span.size && script_unit(job.choices[span.offset + k].front().symbol).byte == bytes[k];
    choices.push_back(had ? job.choices[span.offset + k] : std::vector<encode::ScriptLeaf>{});
    choices.back().insert(choices.back().end(), work.codes.by_byte[bytes[k]].begin(), work.codes.by_byte[bytes[k]].end());
  }
  return choices;
}

// The bits the script tree writes a message's bytes in, each by its
// shortest leaf.
int script_bits(const encode::ScriptCodes& codes, std::span<const std::uint8_t> bytes) {
  int bits = 0;
  for (const std::uint8_t byte : bytes) bits += codes.by_byte[byte].front().code.length;
  return bits;
}

// Encodings whose bytes all have a symbol looked at after the first that
// lets its block end, for one that also does and that the script tree
// writes in fewer bits: message bytes take most of a group's room, and
// their cost varies with the parse and the filler a good deal more than
// the text's bits do.
constexpr std::size_t kCheaperTries = 16;

// With relayout, each byte of the message may take any symbol that gives
// it, the block being compressed again at any length: of the encodings
// whose bytes all have a symbol and some total of whose block can end in its
// own word (see closes_in_own_word), the one of fewest script bits among
// the first and those of the kCheaperTries encodings after it; else the
// first whose bytes all have a symbol (unless `must_close`). The rest of the block's totals are
// reckoned once. The message's symbols replace those of `span`.
Outcome take_any_symbols(const ScriptWork& work, BlockJob& job, const OfferedText& text, const std::string& name, MessageSpan span,
                         const encode::CharacterBits& cost, bool must_close = false) {
  int missing = -1;
  std::size_t tries = 0;
  std::optional<WordRests> rest;
  BlockChoices chosen;
  std::optional<int> closing_bits;  // of the chosen encoding, once one closes
  std::size_t after_closing = 0;
  offer_encodings(work.coding.coder, text, [&](std::span<const std::uint8_t> bytes) {
    ++tries;
    const auto no_symbol = std::find_if(bytes.begin(), bytes.end(), [&](std::uint8_t b) { return work.codes.by_byte[b].empty(); });
    if (no_symbol != bytes.end()) {
      if (missing < 0) missing = *no_symbol;
      return tries >= kRecodeTries;
    }
    if (!rest) {
      const std::span<const std::vector<encode::ScriptLeaf>> block = job.choices;
      rest = word_rests(word_rests(block.first(span.offset)), word_rests(block.subspan(span.offset + span.size)));
    }
    BlockChoices choices = message_choices(work, job, bytes, span);
    if (closes_in_own_word(word_rests(*rest, word_rests(choices)), work.codes)) {
      const int bits = script_bits(work.codes, bytes);
      if (!closing_bits || bits < *closing_bits) {
        chosen = std::move(choices);
        closing_bits = bits;
      }
    } else if (!closing_bits && chosen.empty() && !must_close) {
      chosen = std::move(choices);
    }
    if (closing_bits) ++after_closing;
    return after_closing > kCheaperTries || tries >= kRecodeTries;
  });
  work.plan.counts.script_most_tries = std::max(work.plan.counts.script_most_tries, tries);
  if (!chosen.empty()) {
    const auto first = job.choices.begin() + static_cast<std::ptrdiff_t>(span.offset);
    job.choices.erase(first, first + static_cast<std::ptrdiff_t>(span.size));
    job.choices.insert(job.choices.begin() + static_cast<std::ptrdiff_t>(span.offset), chosen.begin(), chosen.end());
    return std::nullopt;
  }
  if (missing < 0) return Failure{{}, name + ": no encoding within " + std::to_string(tries) + " tries lets its block end where a word does"};
  return Failure{{}, name + ": every encoding within " + std::to_string(tries) + " tries needs script byte " +
                         hex_text(static_cast<std::uint32_t>(missing), 2) + ", which no symbol of the script tree gives: " +
                         encode::change_a_character(cost)};
}

// The bits a message written again in `bytes` may take, nearest its shortest.
BitWindow window_of_size(const EncodedLine& encoded, const BitWindow& old, std::size_t bytes) {
  const BitSpan bits = fixed_length_bits(bytes);
  return {bits.least, bits.most, static_cast<std::size_t>(encoded.encoded.bits), old.what, old.original};
}

// The longest a resized message is written beyond its shortest, when the
// shortest has bytes no symbol of the script tree gives.
constexpr std::size_t kLongerBytes = 2;

// With declared offsets, the message takes the bytes its text needs: its
// shortest encoding, or a byte or two more when that lets its block end
// where a word does (see closes_in_own_word) or when no symbol gives a byte.
Outcome resize_message(const ScriptWork& work, BlockJob& job, const EncodedLine& encoded, const OfferedText& old, MessageSpan span,
                       const std::string& name, const encode::CharacterBits& cost) {
  const std::size_t shortest = (static_cast<std::size_t>(encoded.encoded.bits) + 7) / 8;
  const auto offered = [&](std::size_t bytes) {
    return OfferedText{encoded.literal, window_of_size(encoded, old.window, bytes), old.old_last};
  };
  const std::size_t least = shortest + job.longer;
  for (std::size_t bytes = least; bytes <= least + kLongerBytes; ++bytes) {
    if (!take_any_symbols(work, job, offered(bytes), name, span, cost, true)) return std::nullopt;
  }
  Outcome failure;
  for (std::size_t bytes = shortest; bytes <= shortest + kLongerBytes; ++bytes) {
    failure = take_any_symbols(work, job, offered(bytes), name, span, cost);
    if (!failure) return std::nullopt;
  }
  return failure;
}

// The units of the symbols a block's choices put first.
void units_from_choices(BlockJob& job) {
  std::vector<int> symbols;
  for (const auto& leaves : job.choices) symbols.push_back(leaves.front().symbol);
  job.units = units_for_symbols(symbols);
}

// With relayout, the message's bytes take new symbols, and the block's units
// follow them.
Outcome take_new_symbols(ScriptWork& work, BlockJob& job, const EncodedLine& encoded, const OfferedText& offered, MessageSpan span,
                         const std::string& name, const Change& change) {
  const encode::CharacterBits cost =
      encode::counting_cost(encode::character_bits(work.coding.coder, encoded.literal), offered.window.original);
  const bool resize = work.image.offsets != nullptr;
  if (Outcome failure = resize ? resize_message(work, job, encoded, offered, span, name, cost)
                               : take_any_symbols(work, job, offered, name, span, cost)) {
    return failure;
  }
  job.changed = true;
  job.rewrote.push_back({&change, cost, encoded.literal});
  const int new_size = static_cast<int>(job.choices.size()) - static_cast<int>(job.units.size() / 2) + static_cast<int>(span.size);
  if (resize) {
    const BitWindow window = window_of_size(encoded, offered.window, static_cast<std::size_t>(new_size));
    job.resized.push_back({{static_cast<int>(span.offset), static_cast<int>(span.size), new_size}, &change, cost, encoded.literal,
                           window, offered.old_last, name});
  }
  units_from_choices(job);
  return std::nullopt;
}

// Plans one message of a block: the expected lines, and the block
// compressed again in the draft when the bytes change. Refused with a reason.
Outcome plan_message(ScriptWork& work, BlockJob& job, std::int64_t offset, const Change& change) {
  const std::string name = "script " + hex4(work.line(change).script) + ", message at " + hex4(offset);
  Decoded now{job.units, {}};
  for (std::size_t k = 0; k < now.units.size(); k += 2) now.bytes.push_back(now.units[k]);
  CodeBuffer text_codes;
  const TextDecode decoded = decode_embedded(now.bytes, static_cast<int>(now.bytes.size()), offset, work.image.tables.text_trees, text_codes);
  const std::vector<std::uint16_t> original = code_units(std::span(text_codes).first(static_cast<std::size_t>(decoded.written)));
  if (!ends_with_end_code(original)) {
    return Failure{{}, name + " has no end code within its script, so the bytes it takes are not its own: it cannot be rewritten"};
  }
  const auto size = static_cast<std::size_t>(decoded.consumed);
  const BitSpan span = fixed_length_bits(size);
  const encode::CharacterBits original_cost = encode::character_bits(work.coding.coder, original);
  const BitWindow window{span.least, span.most, static_cast<std::size_t>(decoded.bits), name + " takes " + encode::counted(size, "byte"),
                         original_cost};
  const bool resize = work.image.offsets != nullptr;
  EncodedLine encoded;
  if (Outcome failure = encode_line(work.coding, {change.edited, original, resize ? nullptr : &window}, encoded)) return failure;
  for (const int other : work.sharers.at(job.key)) job.expected.emplace_back(work.message_lines[{other, offset}], encoded.read_back);
  // A text that stands for what the message held keeps its bits, unless
  // the tables it was written with are chosen again.
  if (!work.image.settings.rebuild && encode::opened(work.coding.coder, original) == encoded.literal) return std::nullopt;
  const OfferedText offered{encoded.literal, window, now.bytes[static_cast<std::size_t>(offset) + size - 1]};
  if (work.image.settings.relayout) {
    return take_new_symbols(work, job, encoded, offered, {static_cast<std::size_t>(offset), size}, name, change);
  }
  const MessagePlace place{job.at, static_cast<int>(offset), static_cast<int>(size), job.previous ? &*job.previous : nullptr};
  BlockRecoder recoder(work.image.tables.script_tree, work.codes, work.plan.scratch(), place, kRecodeTries);
  if (!recoder.unusable().empty()) return Failure{{}, name + ": " + recoder.unusable()};
  offer_encodings(work.coding.coder, offered, [&](std::span<const std::uint8_t> bytes) { return recoder.offer(bytes); });
  work.plan.counts.script_most_tries = std::max(work.plan.counts.script_most_tries, recoder.tries());
  if (!recoder.found()) {
    const encode::CharacterBits cost = encode::counting_cost(encode::character_bits(work.coding.coder, encoded.literal), original_cost);
    return Failure{{}, name + ": " + recode_refusal(recoder, "block " + address_text(job.key.first, job.key.second), job.length, size, cost)};
  }
  ++work.plan.counts.script_messages_rewritten;
  job.changed = true;
  job.units = recoder.units();
  return std::nullopt;
}

// With relayout, the block's symbols as they are, for its messages to
// replace; refused for every message when it cannot be written again.
bool read_leaves(ScriptWork& work, BlockJob& job, const std::map<std::int64_t, const Change*>& messages) {
  std::string why;
  job.choices = same_symbol_choices(
      block_leaves(work.image.tables.script_tree, std::span(work.image.cart.bytes).subspan(job.at.offset), job.length, why), work.codes);
  if (why.empty()) return true;
  for (const auto& [offset, change] : messages) {
    work.plan.refuse(refusal_of(*change, 0, "block " + address_text(job.key.first, job.key.second) + " cannot be compressed again: " + why));
  }
  return false;
}

// The group of a block, by its bank.
std::size_t group_of(const BlockKey& key) {
  const auto& groups = cartridge_map::kScriptGroups;
  return static_cast<std::size_t>(
      std::find_if(groups.begin(), groups.end(), [&](const auto& group) { return group.bank == key.first; }) - groups.begin());
}

// Where an offset of a changed script is, for a refusal: its script, its
// instruction and the instruction's line.
std::string instruction_place(const ScriptWork& work, int script, int position) {
  const auto line = work.instruction_lines.find({script, position});
  return "script " + hex4(script) + ", instruction at " + hex4(position) +
         (line == work.instruction_lines.end() ? "" : " (line " + std::to_string(line->second) + ")");
}

// Refuses the resized messages `splices` (indexes into them in script
// order) for an offset of instruction `at`.
void refuse_for_offset(ScriptWork& work, const BlockJob& job, const std::string& place, const std::string& reason,
                       std::span<const std::size_t> splices, std::set<const Change*>& refused) {
  for (const std::size_t k : splices) {
    const Resize& resize = job.resized[job.resized.size() - 1 - k];
    work.plan.refuse(refusal_of(*resize.change, 0, place + ": " + reason));
    refused.insert(resize.change);
  }
}

// The leaves that give `byte` with the second byte of `own`'s pair: the
// game may read that byte of an operand too.
std::vector<encode::ScriptLeaf> same_high_leaves(const ScriptWork& work, const encode::ScriptLeaf& own, std::uint8_t byte) {
  std::vector<encode::ScriptLeaf> leaves;
  for (const encode::ScriptLeaf& leaf : work.codes.by_byte[byte]) {
    if (script_unit(leaf.symbol).high == script_unit(own.symbol).high) leaves.push_back(leaf);
  }
  return leaves;
}

// Writes a moved offset's bytes into the block's choices; false when a
// byte has no symbol that keeps its old one's second byte.
bool write_offset(const ScriptWork& work, BlockJob& job, const RewrittenOffset& offset, std::string& why) {
  for (std::size_t k = 0; k < offset.bytes.size(); ++k) {
    std::vector<encode::ScriptLeaf>& choices = job.choices[static_cast<std::size_t>(offset.position) + k];
    const encode::ScriptLeaf own = choices.front();
    if (script_unit(own.symbol).byte == offset.bytes[k]) continue;
    choices = same_high_leaves(work, own, offset.bytes[k]);
    if (choices.empty()) {
      why = "its offset would need script byte " + hex_text(offset.bytes[k], 2) + " with second byte " +
            hex_text(script_unit(own.symbol).high, 2) + " (as its old byte had), which no symbol of the script tree gives";
      return false;
    }
  }
  return true;
}

// With declared offsets, moves the offsets of a block whose messages changed
// length. The changes an offset cannot follow are refused, and returned.
std::set<const Change*> move_block_offsets(ScriptWork& work, BlockJob& job, const Decoded& old) {
  std::vector<ScriptSplice> splices;
  for (auto it = job.resized.rbegin(); it != job.resized.rend(); ++it) splices.push_back(it->splice);
  const int script = work.sharers.at(job.key).front();
  const ScriptShape shape =
      shape_of(old.bytes, static_cast<int>(old.bytes.size()), work.image.tables.opcodes, work.image.tables.text_trees);
  OffsetMoves moves = move_offsets(shape, old.bytes, *work.image.offsets, splices);
  std::set<const Change*> refused;
  const auto place = [&](const OffsetAt& at) {
    return instruction_place(work, script, shape.instructions[static_cast<std::size_t>(at.instruction)].start);
  };
  for (const OffsetRefusal& offset : moves.refused) refuse_for_offset(work, job, place(offset.at), offset.reason, offset.splices, refused);
  for (const RewrittenOffset& offset : moves.rewritten) {
    std::string why;
    if (!write_offset(work, job, offset, why)) refuse_for_offset(work, job, place(offset.at), why, offset.moved_by, refused);
  }
  if (job.choices.size() > kScriptOutputCap / 2) {
    std::vector<std::size_t> grown;
    for (std::size_t k = 0; k < splices.size(); ++k) {
      if (splices[k].new_size > splices[k].size) grown.push_back(k);
    }
    refuse_for_offset(work, job, "script " + hex4(script),
                      "it would take " + std::to_string(job.choices.size()) + " bytes, past the " +
                          std::to_string(kScriptOutputCap / 2) + " a script may hold",
                      grown, refused);
  }
  work.offsets[job.key] = std::move(moves);
  return refused;
}

// A planned block handed on: to its group's layout, or written in place.
void commit_block(ScriptWork& work, BlockJob& job) {
  for (auto& [number, line] : job.expected) work.plan.expect_line(kDump, number, std::move(line));
  if (!job.changed) return;
  if (work.image.settings.relayout) {
    work.plan.counts.script_messages_rewritten += job.rewrote.size();
    work.plan.counts.script_messages_resized += static_cast<std::size_t>(std::count_if(
        job.resized.begin(), job.resized.end(), [](const Resize& resize) { return resize.splice.new_size != resize.splice.size; }));
    work.relaid[group_of(job.key)][job.key.second] = std::move(job.choices);
    work.rewrote[job.key] = std::move(job.rewrote);
    return;
  }
  ++work.plan.counts.script_blocks_recompressed;
  work.plan.claim(job.at.offset, static_cast<std::size_t>(job.at.length));
  work.plan.written(job.at.offset, static_cast<std::size_t>(job.at.length));
  for (const int script : work.sharers.at(job.key)) work.plan.scripts_replaced[script] = job.units;
  work.rewritten[job.key] = std::move(job.units);
}

// The most bytes a block's first message takes beyond its shortest so that
// its block can end where a word does.
constexpr std::size_t kMostLonger = 8;

// A block whose messages changed length may not end where a word does once
// its offsets were written, whose new symbols the choice of the messages'
// bytes could not count: one message's bytes are then chosen again at the
// length it took. Whether the block can end.
bool closes_with_offsets(const ScriptWork& work, BlockJob& job) {
  if (closes_in_own_word(word_rests(job.choices), work.codes)) return true;
  // Last first: each message lies where the growth of those before it puts it.
  int moved = 0;
  for (const Resize& resize : job.resized) moved += resize.splice.new_size - resize.splice.size;
  for (const Resize& resize : job.resized) {
    moved -= resize.splice.new_size - resize.splice.size;
    const OfferedText offered{resize.literal, resize.window, resize.old_last};
    const MessageSpan span{static_cast<std::size_t>(resize.splice.at + moved), static_cast<std::size_t>(resize.splice.new_size)};
    if (!take_any_symbols(work, job, offered, resize.name, span, resize.cost, true)) {
      units_from_choices(job);
      return true;
    }
  }
  return false;
}

// Whether a block whose messages changed length still cannot end where a
// word does, its messages' bytes chosen again if that lets it
// (closes_with_offsets): its first message may then take a byte more,
// which moves the offsets after it and their symbols.
bool needs_longer(const ScriptWork& work, BlockJob& job) {
  return !job.resized.empty() && !closes_with_offsets(work, job) && job.longer < kMostLonger;
}

// Plans a block's messages, the last first so that a message that changes
// length moves none that is still to come. When an offset cannot follow,
// the changes it refuses are left out and the block planned again.
void plan_block(ScriptWork& work, const BlockKey& key, std::map<std::int64_t, const Change*> messages) {
  const ScriptPlace& place = work.places[work.sharers.at(key).front()];
  const bool relayout = work.image.settings.relayout;
  for (std::size_t longer = 0;;) {
    BlockJob job{key, {static_cast<std::size_t>(rom_offset(key.first, key.second)), place.length}, place.length,
                 relayout ? std::nullopt : odd_block_before(work, key)};
    const Decoded old = decode_block(work.image.tables.script_tree, work.image.cart.bytes, job.at);
    job.units = old.units;
    if (relayout && !read_leaves(work, job, messages)) return;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
      if (std::next(it) == messages.rend()) job.longer = longer;
      if (Outcome failure = plan_message(work, job, it->first, *it->second)) {
        work.plan.refuse(refusal_of(*it->second, failure->column, failure->reason));
        job.refused.insert(it->second);
      }
    }
    std::set<const Change*> refused = job.resized.empty() ? std::set<const Change*>{} : move_block_offsets(work, job, old);
    if (refused.empty() && job.refused.empty() && needs_longer(work, job)) {
      ++longer;
      continue;
    }
    if (refused.empty()) return commit_block(work, job);
    refused.insert(job.refused.begin(), job.refused.end());
    std::erase_if(messages, [&](const auto& message) { return refused.contains(message.second); });
  }
}

// How a text refused with its group may still go in.
std::string what_the_text_can_do(const GroupRefusal& refused, const encode::CharacterBits& cost) {
  if (refused.missing > 0) {
    return "; the translation needs " + encode::characters_off(8 * static_cast<std::size_t>(refused.missing), encode::Miss::over, cost) +
           ", or give free bytes before the group with --free";
  }
  return refused.rebits ? ": " + encode::change_a_character(cost) : "";
}

// The offsets of a laid-out block's scripts, for the report.
void count_offsets(ScriptWork& work, const BlockKey& key) {
  const auto found = work.offsets.find(key);
  if (found == work.offsets.end()) return;
  const OffsetMoves& moves = found->second;
  const ScriptPlace& place = work.places[work.sharers.at(key).front()];
  const Decoded old = decode_block(work.image.tables.script_tree, work.image.cart.bytes,
                                   {static_cast<std::size_t>(rom_offset(key.first, key.second)), place.length});
  const ScriptShape shape =
      shape_of(old.bytes, static_cast<int>(old.bytes.size()), work.image.tables.opcodes, work.image.tables.text_trees);
  for (const int script : work.sharers.at(key)) {
    if (!moves.rewritten.empty()) work.plan.counts.script_offsets_rewritten.push_back({script, moves.rewritten.size()});
    for (const LeftOffset& left : moves.left) {
      const int position = shape.instructions[static_cast<std::size_t>(left.at.instruction)].start;
      const auto line = work.instruction_lines.find({script, position});
      work.plan.counts.script_offsets_left.push_back(
          {script, position, line == work.instruction_lines.end() ? 0 : line->second, left.reason});
    }
  }
}

// Lays out again a group holding changed blocks. A block the layout cannot
// take has the changes that rewrote it refused, and the group is laid out
// again without it.
void lay_out_group(ScriptWork& work, std::size_t group, ChangedBlocks changed) {
  const int bank = cartridge_map::kScriptGroups[group].bank;
  while (!changed.empty()) {
    const std::optional<GroupRefusal> refused = lay_out_script_group(work.image, work.codes, group, changed, work.plan);
    if (!refused) break;
    for (const int address : refused->blocks) {
      for (const Rewrite& rewrite : work.rewrote.at({bank, address})) {
        work.plan.refuse(refusal_of(*rewrite.change, 0, refused->reason + what_the_text_can_do(*refused, rewrite.cost)));
        if (refused->rebits) work.plan.unclosed_units.insert(rewrite.literal.begin(), rewrite.literal.end());
      }
      changed.erase(address);
    }
  }
  for (const auto& [address, choices] : changed) count_offsets(work, {bank, address});
}

}  // namespace

void plan_script_edits(const ImageView& image, const LineCoding& coding, std::span<const Change> changes, InsertPlan& plan) {
  if (changes.empty()) return;
  ScriptWork work{image, coding, plan};
  work.codes = encode::script_codes_of(image.tables.script_tree);
  index_scripts(work);
  gather_blocks(work, changes);
  for (const auto& [key, messages] : work.blocks) plan_block(work, key, messages);
  for (const auto& [group, changed] : work.relaid) lay_out_group(work, group, changed);
  std::sort(plan.counts.script_offsets_rewritten.begin(), plan.counts.script_offsets_rewritten.end(),
            [](const auto& a, const auto& b) { return a.script < b.script; });
  std::sort(plan.counts.script_offsets_left.begin(), plan.counts.script_offsets_left.end(),
            [](const auto& a, const auto& b) { return std::pair(a.script, a.instruction) < std::pair(b.script, b.instruction); });
}

}  // namespace ambergale
