#include "encode/rebuilt_tables.hpp"

#include <algorithm>
#include <numeric>

#include "encode/character_room.hpp"
#include "encode/limited_tree.hpp"
#include "text/code_units.hpp"
#include "text/hex.hpp"

namespace ambergale::encode {

namespace {

constexpr std::size_t kEntries = kDictionaryEntries;
constexpr int kDeepestCode = 32;  // what a Code holds: the depth of an unlimited tree
constexpr int kRefineRounds = 2;

// The entries before they are numbered: the Re-Pair's first, in its order,
// then the carriers. Entry i's provisional code is kFirstEntryCode + i, the
// one its halves name it by.
struct Plan {
  std::vector<Units> contents;
  std::vector<int> depth;
  std::size_t carriers = 0;
  std::size_t aliases = 0;  // the last entries: kept whether or not a parse uses them
};

// A character the text trees write may also stand in an entry of its own,
// an alias, which no shortest parse takes: a message whose script block
// cannot end where a word does may then be written a few bits longer.
// Each costs an entry Re-Pair could have used, so only characters asked
// for get one, at most this many.
constexpr std::size_t kAliases = 256;

// The characters `wanted` that occur in the texts and are neither carried
// nor barred, for aliases, the most frequent first.
std::vector<std::uint16_t> aliases_for(std::span<const Units> texts, std::span<const std::uint16_t> carriers,
                                       const std::array<bool, 256>& barred, std::span<const std::uint16_t> wanted) {
  std::vector<std::size_t> count(0x1000, 0);
  for (const Units& text : texts) {
    const std::vector<bool> travels = travelling_units(text);
    for (std::size_t i = 0; i < text.size(); ++i) count[text[i] & 0xFFF] += travels[i] && text[i] < count.size();
  }
  for (const std::uint16_t character : carriers) count[character] = 0;
  for (std::size_t unit = 0; unit < barred.size(); ++unit) count[unit] = barred[unit] ? 0 : count[unit];
  std::vector<std::uint16_t> characters;
  for (const std::uint16_t unit : wanted) {
    if (unit < count.size() && count[unit] > 0) characters.push_back(unit);
  }
  std::stable_sort(characters.begin(), characters.end(), [&](std::uint16_t a, std::uint16_t b) { return count[a] > count[b]; });
  characters.resize(std::min(characters.size(), kAliases));
  return characters;
}

Plan plan_of(const ChosenDictionary& chosen, std::span<const std::uint16_t> carriers, std::span<const std::uint16_t> aliases) {
  Plan plan;
  for (std::size_t e = 0; e < chosen.halves.size(); ++e) {
    plan.contents.push_back({chosen.halves[e][0], chosen.halves[e][1]});
    plan.depth.push_back(chosen.depth[e]);
  }
  for (const auto& one_character : {carriers, aliases}) {
    for (const std::uint16_t character : one_character) {
      plan.contents.push_back({character});
      plan.depth.push_back(1);
    }
  }
  plan.carriers = carriers.size();
  plan.aliases = aliases.size();
  return plan;
}

// Entry i's code, for every entry of a plan.
using Numbering = std::vector<std::uint16_t>;

Numbering provisional(const Plan& plan) {
  Numbering numbering(plan.contents.size());
  std::iota(numbering.begin(), numbering.end(), static_cast<std::uint16_t>(kFirstEntryCode));
  return numbering;
}

bool entry_code(std::uint16_t unit) { return kRenderedEntryCodes.holds(unit); }

// Calls `visit` with every entry code of a parse, a control's arguments
// left out whatever they hold.
template <typename Visit>
void for_each_entry_code(Units& parse, Visit visit) {
  for (std::size_t i = 0; i < parse.size(); ++i) {
    if (entry_code(parse[i])) visit(parse[i]);
    i += static_cast<std::size_t>(argument_units(parse[i]));
  }
}

// The entries as stored under `numbering`: the halves renamed, the end code
// last; entries not `kept` hold only the end code.
std::vector<CodeStream> stored_entries(const Plan& plan, const Numbering& numbering, const std::vector<bool>& kept) {
  std::vector<CodeStream> entries(kEntries, code_bytes(std::array{kEndCode}));
  for (std::size_t i = 0; i < plan.contents.size(); ++i) {
    if (!kept[i]) continue;
    Units units;
    for (const std::uint16_t unit : plan.contents[i]) {
      units.push_back(entry_code(unit) ? numbering[unit - kFirstEntryCode] : unit);
    }
    units.push_back(kEndCode);
    entries[numbering[i] - kFirstEntryCode] = code_bytes(units);
  }
  return entries;
}

MessageCoder coder_for(const std::vector<CodeStream>& entries, const std::array<Code, 256>& lead,
                       const std::array<Code, 256>& low) {
  // The coder needs the entries expanded only, not rendered.
  Dictionary dictionary;
  dictionary.codes = entries;
  expand_dictionary(dictionary.codes);
  MessageCoder coder = make_message_coder(TreePair{}, dictionary);
  coder.lead = lead;
  coder.low = low;
  return coder;
}

struct Parses {
  std::vector<Units> units;  // each text as written, the end code last
  std::string refusal;
};

Parses parse_texts(const MessageCoder& coder, std::span<const Units> texts) {
  Parses parses;
  for (std::size_t t = 0; t < texts.size(); ++t) {
    EncodedMessage encoded;
    std::size_t unencodable = 0;
    if (!encode_message(coder, texts[t], encoded, unencodable)) {
      parses.refusal = "message " + std::to_string(t) + " holds " + hex_text(texts[t][unencodable], 4) +
                       " (unit " + std::to_string(unencodable) +
                       "), which the text trees cannot write and no entry may carry";
      return parses;
    }
    parses.units.push_back(std::move(encoded.units));
  }
  return parses;
}

// Codes of one length for every lead symbol but the carried characters, so
// a parse takes the fewest codes and carries those characters in entries.
std::array<Code, 256> even_lead_codes(std::span<const std::uint16_t> carriers) {
  std::array<Code, 256> lead{};
  for (Code& code : lead) code.length = 8;
  for (const std::uint16_t character : carriers) lead[character].length = 0;
  return lead;
}

std::array<Code, 256> even_low_codes() {
  std::array<Code, 256> low{};
  for (Code& code : low) code.length = 1;
  return low;
}

// The dictionary chosen with room for the carriers, which the rebuilt lead
// tree decides on the parse that dictionary gives: chosen again while the
// parse asks for more of them.
struct CarriedChoice {
  Plan plan;
  std::vector<Units> parses;  // under the provisional numbering
  std::string refusal;
};

// The limits of the dictionary's choice: entries beside the carriers, and
// the rarest one-byte characters barred from entries when the dictionary's
// lead tree could not hold them beside the carriers, the end code and every
// page prefix.
DictionaryLimits limits_for(std::span<const Units> texts, std::span<const std::uint16_t> carriers) {
  DictionaryLimits limits{.entries = kEntries - carriers.size()};
  constexpr std::size_t kRoom = kDictLeadSymbols - 1 - (kDecodableUnits.last >> 8);
  const LeadNeeds needs = lead_needs(texts);
  std::vector<std::uint16_t> travelling;
  for (std::size_t unit = 0; unit < needs.characters.size(); ++unit) {
    const bool carried = std::find(carriers.begin(), carriers.end(), unit) != carriers.end();
    if (needs.characters[unit] > 0 && !carried) travelling.push_back(static_cast<std::uint16_t>(unit));
  }
  const std::size_t room = kRoom > carriers.size() ? kRoom - carriers.size() : 0;
  if (travelling.size() <= room) return limits;
  std::stable_sort(travelling.begin(), travelling.end(),
                   [&](std::uint16_t a, std::uint16_t b) { return needs.characters[a] < needs.characters[b]; });
  for (std::size_t k = 0; k < travelling.size() - room; ++k) limits.barred[travelling[k]] = true;
  return limits;
}

// The dictionary chosen beside the carriers and the aliases of `wanted`,
// which take their entries from the 3049 first.
Plan plan_with_aliases(std::span<const Units> texts, std::span<const std::uint16_t> carriers, std::span<const std::uint16_t> wanted) {
  DictionaryLimits limits = limits_for(texts, carriers);
  const std::vector<std::uint16_t> aliases = aliases_for(texts, carriers, limits.barred, wanted);
  limits.entries -= aliases.size();
  return plan_of(choose_dictionary(texts, limits), carriers, aliases);
}

CarriedChoice choose_with_carriers(std::span<const Units> texts, std::span<const std::uint16_t> wanted) {
  std::vector<std::uint16_t> carriers;
  for (;;) {
    CarriedChoice choice;
    choice.plan = plan_with_aliases(texts, carriers, wanted);
    const Numbering numbering = provisional(choice.plan);
    const std::vector<bool> all(choice.plan.contents.size(), true);
    const MessageCoder coder =
        coder_for(stored_entries(choice.plan, numbering, all), even_lead_codes(carriers), even_low_codes());
    Parses parses = parse_texts(coder, texts);
    choice.refusal = parses.refusal;
    const Carriers more = choose_carriers(lead_needs(parses.units), kTextLeadSymbols);
    if (choice.refusal.empty()) choice.refusal = more.refusal;
    if (!choice.refusal.empty() || more.characters.empty()) {
      choice.parses = std::move(parses.units);
      return choice;
    }
    carriers.insert(carriers.end(), more.characters.begin(), more.characters.end());
    std::sort(carriers.begin(), carriers.end());
  }
}

// The clean characters of the texts that `coder`'s trees cannot write.
std::vector<std::uint16_t> unwritable_characters(std::span<const Units> texts, const MessageCoder& coder) {
  std::vector<bool> unwritable(0x10000, false);
  for (const Units& text : texts) {
    const std::vector<bool> travels = travelling_units(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (travels[i] && unit_bits(coder, text[i]) == 0) unwritable[text[i]] = true;
    }
  }
  std::vector<std::uint16_t> characters;
  for (std::size_t unit = 0; unit < unwritable.size(); ++unit) {
    if (unwritable[unit]) characters.push_back(static_cast<std::uint16_t>(unit));
  }
  return characters;
}

// Every entry code, the cheapest first: those the trees write in the fewest
// bits, the ones they cannot write last.
std::vector<std::uint16_t> codes_by_cost(const MessageCoder& coder) {
  std::vector<std::uint16_t> codes;
  for (int code = kRenderedEntryCodes.first; code <= kRenderedEntryCodes.last; ++code) {
    codes.push_back(static_cast<std::uint16_t>(code));
  }
  const auto cost = [&](std::uint16_t code) {
    const int bits = unit_bits(coder, code);
    return bits == 0 ? kDeepestCode * 2 + 1 : bits;
  };
  std::stable_sort(codes.begin(), codes.end(), [&](std::uint16_t a, std::uint16_t b) { return cost(a) < cost(b); });
  return codes;
}

// Every entry code in the order of rank for trees still to be built: page
// by page, and in every page the k-th code on low byte 0x10 + k (wrapping),
// so the k-th most used entry of each page shares its low byte.
std::vector<std::uint16_t> codes_by_rank() {
  std::vector<std::uint16_t> codes;
  for (int page = kRenderedEntryCodes.first >> 8; page <= kRenderedEntryCodes.last >> 8; ++page) {
    for (int k = 0; k < 0x100; ++k) {
      const int code = page << 8 | ((kFirstEntryCode + k) & 0xFF);
      if (kRenderedEntryCodes.holds(code)) codes.push_back(static_cast<std::uint16_t>(code));
    }
  }
  return codes;
}

// Where the parse stands after entries are numbered by use.
struct Settled {
  Numbering numbering;
  std::vector<bool> reached;  // used by a parse, or held by an entry it reaches
  std::vector<Units> parses;  // under `numbering`
};

// The entries the parses use, and those nested in them: halves name only
// earlier entries, so one pass from the last entry down reaches them all.
std::vector<bool> reached_entries(const Plan& plan, const std::vector<std::size_t>& uses) {
  std::vector<bool> reached(plan.contents.size(), false);
  for (std::size_t i = plan.contents.size(); i-- > 0;) {
    reached[i] = reached[i] || uses[i] > 0 || i + plan.aliases >= plan.contents.size();
    if (!reached[i]) continue;
    for (const std::uint16_t unit : plan.contents[i]) {
      if (entry_code(unit)) reached[unit - kFirstEntryCode] = true;
    }
  }
  return reached;
}

// Numbers the entries by their uses in `parses` (made under `numbering`),
// most used first onto `cheapest_first`, and renames the parses to match.
Settled number_by_use(const Plan& plan, const Numbering& numbering, std::vector<Units> parses,
                      std::span<const std::uint16_t> cheapest_first) {
  std::vector<int> entry_of(0x1000, -1);
  for (std::size_t i = 0; i < numbering.size(); ++i) entry_of[numbering[i]] = static_cast<int>(i);
  std::vector<std::size_t> uses(plan.contents.size(), 0);
  for (Units& parse : parses) {
    for_each_entry_code(parse, [&](std::uint16_t unit) { ++uses[static_cast<std::size_t>(entry_of[unit])]; });
  }
  std::vector<std::size_t> order(plan.contents.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return uses[a] > uses[b]; });
  Settled settled{Numbering(plan.contents.size()), reached_entries(plan, uses), std::move(parses)};
  for (std::size_t k = 0; k < order.size(); ++k) settled.numbering[order[k]] = cheapest_first[k];
  for (Units& parse : settled.parses) {
    for_each_entry_code(parse, [&](std::uint16_t& unit) { unit = settled.numbering[static_cast<std::size_t>(entry_of[unit])]; });
  }
  return settled;
}

SymbolCounts counts_of(std::span<const Units> parses) {
  SymbolCounts counts;
  for (const Units& parse : parses) {
    for (const std::uint16_t unit : parse) counts.add(unit);
  }
  return counts;
}

LimitedTree tree_within(const Frequencies& frequency, int depth, int most_symbols) {
  return build_limited_tree(frequency, depth == 0 ? kDeepestCode : depth, most_symbols);
}

std::vector<std::uint8_t> table_bytes(const ByteTree& tree) {
  return {tree.begin(), tree.begin() + 3 * tree[1] + 3};
}

TreePair indexed(const ByteTree& lead, const ByteTree& low) {
  TreePair trees{lead, low};
  index_trees(trees);
  return trees;
}

// How far the numbering and the parse have come, and the text trees so far.
struct Progress {
  Plan plan;
  Settled settled;
  std::string refusal;
};

// With the kept text trees: carriers for what they cannot write, entries
// numbered onto the codes they write cheapest.
Progress settle_on_kept_trees(std::span<const Units> texts, const RebuildBasis& basis) {
  const MessageCoder kept_coder = make_message_coder(basis.text_trees, Dictionary{});
  const std::vector<std::uint16_t> carriers = unwritable_characters(texts, kept_coder);
  // Clean units are characters of the table, far fewer than the entries.
  Progress progress;
  progress.plan = plan_with_aliases(texts, carriers, basis.wanted_aliases);
  const std::vector<std::uint16_t> cheapest_first = codes_by_cost(kept_coder);
  progress.settled.numbering = provisional(progress.plan);
  const std::vector<bool> all(progress.plan.contents.size(), true);
  for (int round = 0; round < kRefineRounds; ++round) {
    const MessageCoder coder =
        coder_for(stored_entries(progress.plan, progress.settled.numbering, all), kept_coder.lead, kept_coder.low);
    Parses parses = parse_texts(coder, texts);
    if (!parses.refusal.empty()) return {{}, {}, parses.refusal};
    progress.settled = number_by_use(progress.plan, progress.settled.numbering, std::move(parses.units), cheapest_first);
  }
  return progress;
}

struct TextTrees {
  LimitedTree lead;
  LimitedTree low;
  std::string refusal;
};

TextTrees text_trees_for(const SymbolCounts& counts, const TreeDepths& depths) {
  TextTrees trees{tree_within(counts.lead, depths.text_lead, kTextLeadSymbols),
                  tree_within(counts.low, depths.text_low, kLowSymbols), {}};
  if (!trees.lead.refusal.empty()) trees.refusal = "the text lead tree: " + trees.lead.refusal;
  else if (!trees.low.refusal.empty()) trees.refusal = "the text low tree: " + trees.low.refusal;
  return trees;
}

// With text trees rebuilt: each round builds the trees from the parse
// before, parses with them and numbers the entries by use.
Progress settle_on_new_trees(std::span<const Units> texts, const RebuildBasis& basis, TextTrees& trees) {
  const TreeDepths& depths = basis.depths;
  CarriedChoice choice = choose_with_carriers(texts, basis.wanted_aliases);
  if (!choice.refusal.empty()) return {{}, {}, choice.refusal};
  Progress progress{std::move(choice.plan), {}, {}};
  const std::vector<std::uint16_t> cheapest_first = codes_by_rank();
  progress.settled = number_by_use(progress.plan, provisional(progress.plan), std::move(choice.parses), cheapest_first);
  const std::vector<bool> all(progress.plan.contents.size(), true);
  for (int round = 0; round < kRefineRounds; ++round) {
    trees = text_trees_for(counts_of(progress.settled.parses), depths);
    if (!trees.refusal.empty()) return {{}, {}, trees.refusal};
    const MessageCoder coder = coder_for(stored_entries(progress.plan, progress.settled.numbering, all),
                                         trees.lead.tree.codes, trees.low.tree.codes);
    Parses parses = parse_texts(coder, texts);
    if (!parses.refusal.empty()) return {{}, {}, parses.refusal};
    progress.settled = number_by_use(progress.plan, progress.settled.numbering, std::move(parses.units), cheapest_first);
  }
  trees = text_trees_for(counts_of(progress.settled.parses), depths);
  if (!trees.refusal.empty()) progress.refusal = trees.refusal;
  return progress;
}

// The dictionary trees over the entries as stored, end codes included, and
// each entry written with them.
std::string write_entries(RebuiltTables& result, const TreeDepths& depths) {
  SymbolCounts counts;
  for (const CodeStream& entry : result.entries) {
    for (const std::uint16_t unit : code_units(entry)) counts.add(unit);
  }
  const LimitedTree lead = tree_within(counts.lead, depths.dict_lead, kDictLeadSymbols);
  if (!lead.refusal.empty()) return "the dictionary lead tree: " + lead.refusal;
  const LimitedTree low = tree_within(counts.low, depths.dict_low, kLowSymbols);
  if (!low.refusal.empty()) return "the dictionary low tree: " + low.refusal;
  result.dict_trees = indexed(lead.tree.table, low.tree.table);
  result.tree_bytes[2] = table_bytes(lead.tree.table);
  result.tree_bytes[3] = table_bytes(low.tree.table);
  MessageCoder coder;
  coder.lead = lead.tree.codes;
  coder.low = low.tree.codes;
  for (std::size_t e = 0; e < result.entries.size(); ++e) {
    const EncodedMessage written = write_units(coder, code_units(result.entries[e]));
    if (written.bytes.size() > static_cast<std::size_t>(kMostEntryBytes)) {
      return "entry " + hex_text(static_cast<std::uint32_t>(kFirstEntryCode + e), 4) + " takes " +
             counted(written.bytes.size(), "byte") + ", and an entry may take at most " + std::to_string(kMostEntryBytes);
    }
    result.entry_starts.push_back(result.entry_bytes.size());
    result.entry_bytes.insert(result.entry_bytes.end(), written.bytes.begin(), written.bytes.end());
  }
  return {};
}

// What the game makes of the entries, and whether every text is written
// with the new tables.
std::string check_tables(const RebuiltTables& result, std::span<const Units> texts, std::size_t entry_room) {
  if (result.entry_bytes.size() > entry_room) {
    return "the entries take " + counted(result.entry_bytes.size(), "byte") + ", and the dictionary has room for " +
           std::to_string(entry_room) + " (" + std::to_string(result.entry_bytes.size() - entry_room) + " over)";
  }
  Dictionary dictionary;
  build_dictionary_from(result.entries, dictionary);
  for (std::size_t e = 0; e < dictionary.codes.size(); ++e) {
    const std::size_t units = dictionary.codes[e].size() / 2;
    if (units > kEntrySlotUnits) {
      return "entry " + hex_text(static_cast<std::uint32_t>(kFirstEntryCode + e), 4) + " expands to " +
             std::to_string(units) + " units, and the game's slot holds " + std::to_string(kEntrySlotUnits);
    }
  }
  return parse_texts(make_message_coder(result.text_trees, dictionary), texts).refusal;
}

void describe_entries(RebuiltTables& result, const Progress& progress) {
  const Plan& plan = progress.plan;
  result.aliases = plan.aliases;
  for (std::size_t i = 0; i < plan.contents.size(); ++i) {
    if (!progress.settled.reached[i]) continue;
    ++result.entries_chosen;
    result.nesting = std::max(result.nesting, plan.depth[i]);
    if (i >= plan.contents.size() - plan.carriers) ++result.carriers;
  }
}

}  // namespace

RebuiltTables rebuild_tables(std::span<const Units> texts, const RebuildBasis& basis, RebuildScope scope) {
  RebuiltTables result;
  TextTrees trees;
  const Progress progress = scope == RebuildScope::dictionary ? settle_on_kept_trees(texts, basis)
                                                               : settle_on_new_trees(texts, basis, trees);
  if (!progress.refusal.empty()) {
    result.refusal = progress.refusal;
    return result;
  }
  if (scope == RebuildScope::dictionary) {
    result.text_trees = indexed(basis.text_trees.lead, basis.text_trees.low);
  } else {
    result.text_trees = indexed(trees.lead.tree.table, trees.low.tree.table);
    result.tree_bytes[0] = table_bytes(trees.lead.tree.table);
    result.tree_bytes[1] = table_bytes(trees.low.tree.table);
  }
  result.entries = stored_entries(progress.plan, progress.settled.numbering, progress.settled.reached);
  describe_entries(result, progress);
  result.refusal = write_entries(result, basis.depths);
  if (result.refusal.empty()) result.refusal = check_tables(result, texts, basis.entry_room);
  result.built_depths = {tree_depth(result.text_trees.lead), tree_depth(result.text_trees.low),
                         tree_depth(result.dict_trees.lead), tree_depth(result.dict_trees.low)};
  return result;
}

WrittenBits written_bits(std::span<const Units> texts, const MessageCoder& coder) {
  WrittenBits written;
  for (const Units& text : texts) {
    EncodedMessage encoded;
    std::size_t unencodable = 0;
    if (encode_message(coder, text, encoded, unencodable)) written.bits += encoded.bits;
    written.characters += characters_of(text);
  }
  return written;
}

MessageCoder writing_coder(const RebuiltTables& tables, Dictionary& dictionary) {
  build_dictionary_from(tables.entries, dictionary);
  return make_message_coder(tables.text_trees, dictionary);
}

}  // namespace ambergale::encode
