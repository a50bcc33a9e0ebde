#include "encode/message_encoder.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "encode/totals.hpp"
#include "text/char_table.hpp"
#include "text/code_units.hpp"

namespace ambergale::encode {

namespace {

bool is_character(std::uint16_t unit) { return unit < kCharTableSize && !kCharTable[unit].empty(); }

}  // namespace

MessageCoder make_message_coder(const TreePair& text_trees, const Dictionary& dictionary) {
  MessageCoder coder;
  coder.lead = codes_of_tree(text_trees.lead);
  coder.low = codes_of_tree(text_trees.low);
  coder.clean.resize(dictionary.codes.size());
  for (std::size_t e = 0; e < dictionary.codes.size(); ++e) {
    const CodeStream& stream = dictionary.codes[e];
    Units units;
    bool clean = true;
    for (std::size_t j = 0; j + 1 < stream.size() && clean; j += 2) {
      const auto unit = static_cast<std::uint16_t>(stream[j] | stream[j + 1] << 8);
      if (unit == kEndCode) continue;
      clean = clean_unit(unit);
      units.push_back(unit);
    }
    if (clean && !units.empty()) coder.clean[e] = std::move(units);
  }
  index_clean_entries(coder);
  return coder;
}

void index_clean_entries(MessageCoder& coder) {
  std::vector<EntryTrie::Node>& nodes = coder.trie.nodes;
  nodes.assign(1, {});
  for (std::size_t e = 0; e < coder.clean.size(); ++e) {
    std::size_t node = 0;
    for (const std::uint16_t unit : coder.clean[e]) {
      auto& children = nodes[node].children;
      const auto child = std::lower_bound(children.begin(), children.end(), std::pair(unit, std::size_t{0}));
      if (child != children.end() && child->first == unit) {
        node = child->second;
        continue;
      }
      // Nothing of `nodes` is touched after it grows.
      const std::size_t added = nodes.size();
      children.insert(child, {unit, added});
      nodes.emplace_back();
      node = added;
    }
    if (node != 0) nodes[node].entries.push_back(static_cast<int>(e));
  }
}

std::size_t EntryTrie::child(std::size_t node, std::uint16_t unit) const {
  const auto& children = nodes[node].children;
  const auto found = std::lower_bound(children.begin(), children.end(), std::pair(unit, std::size_t{0}));
  return found != children.end() && found->first == unit ? found->second : 0;
}

int unit_bits(const MessageCoder& coder, std::uint16_t unit) {
  if (!decodable_unit(unit)) return 0;
  const UnitSymbols symbols = unit_symbols(unit);
  const int lead = coder.lead[symbols.lead].length;
  if (!symbols.paged()) return lead;
  const int low = coder.low[symbols.low].length;
  return lead > 0 && low > 0 ? lead + low : 0;
}

bool clean_unit(std::uint16_t unit) { return is_character(unit) && argument_units(unit) == 0; }

bool counts_as_character(std::uint16_t unit) { return clean_unit(unit) && unit != kLineBreak && unit != kOtherLineBreak; }

namespace {

// Full-width Latin letters in Shift-JIS: 82 60..79 (Ａ..Ｚ), 82 81..9A (ａ..ｚ).
bool latin_letter(std::string_view text) {
  if (text.size() != 2 || static_cast<unsigned char>(text[0]) != 0x82) return false;
  const auto second = static_cast<unsigned char>(text[1]);
  return (second >= 0x60 && second <= 0x79) || (second >= 0x81 && second <= 0x9A);
}

// The characters a unit shows: itself, or a clean entry's; 0 for the rest.
std::size_t characters_shown(const MessageCoder& coder, std::uint16_t unit) {
  if (counts_as_character(unit)) return 1;
  const std::size_t e = static_cast<std::size_t>(unit) - kFirstEntryCode;
  if (unit < kFirstEntryCode || e >= coder.clean.size()) return 0;
  return static_cast<std::size_t>(std::count_if(coder.clean[e].begin(), coder.clean[e].end(), counts_as_character));
}

}  // namespace

CharacterBits character_bits(const MessageCoder& coder, std::span<const std::uint16_t> units) {
  CharacterBits cost;
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::size_t bits = static_cast<std::size_t>(unit_bits(coder, units[i]));
    const std::size_t shown = characters_shown(coder, units[i]);
    const auto arguments = std::min(static_cast<std::size_t>(argument_units(units[i])), units.size() - i - 1);
    for (std::size_t k = 1; k <= arguments; ++k) bits += static_cast<std::size_t>(unit_bits(coder, units[i + k]));
    i += arguments;
    (shown > 0 ? cost.bits : cost.other_bits) += bits;
    cost.characters += bits > 0 ? shown : 0;
  }
  return cost;
}

CharacterBits latin_letter_bits(const MessageCoder& coder) {
  CharacterBits cost;
  for (int unit = 0; unit < kCharTableSize; ++unit) {
    const int bits = unit_bits(coder, static_cast<std::uint16_t>(unit));
    if (bits == 0 || !latin_letter(kCharTable[static_cast<std::size_t>(unit)])) continue;
    cost.bits += static_cast<std::size_t>(bits);
    ++cost.characters;
  }
  return cost;
}

namespace {

// The edges out of each place of a literal: the unit itself, then every
// clean entry that matches from there, then (when `codes` allows) the
// longer codes of its character, with the bits each takes.
struct Edge {
  std::uint16_t unit;
  std::size_t next;
  std::size_t bits;
};

// The other codes of the character `unit`, at `i`, that take more bits
// than it; called only where an edge may start, never for a control's
// argument.
void add_longer_codes(const MessageCoder& coder, std::uint16_t unit, std::size_t i, std::vector<Edge>& edges) {
  const int own = unit_bits(coder, unit);
  if (own == 0) return;
  for (const std::uint16_t other : other_codes_of(unit)) {
    if (const int bits = unit_bits(coder, other); bits > own) edges.push_back({other, i + 1, static_cast<std::size_t>(bits)});
  }
}

std::vector<std::vector<Edge>> parse_edges(const MessageCoder& coder, std::span<const std::uint16_t> literal,
                                           CharacterCodes codes) {
  const std::size_t n = literal.size();
  std::vector<bool> boundary(n + 1, true);
  for (std::size_t i = 0; i < n; ++i) {
    const int arguments = argument_units(literal[i]);
    for (int k = 1; k <= arguments && i + k < n; ++k) boundary[i + k] = false;
    i += static_cast<std::size_t>(arguments);
  }
  std::vector<std::vector<Edge>> edges(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (const int bits = unit_bits(coder, literal[i]); bits > 0) edges[i].push_back({literal[i], i + 1, static_cast<std::size_t>(bits)});
    if (!boundary[i]) continue;
    const std::size_t own = edges[i].size();
    for_each_entry_at(coder, literal.subspan(i), [&](int e) {
      const std::size_t next = i + coder.clean[static_cast<std::size_t>(e)].size();
      const auto code = static_cast<std::uint16_t>(kFirstEntryCode + e);
      if (const int bits = unit_bits(coder, code); bits > 0 && boundary[next]) {
        edges[i].push_back({code, next, static_cast<std::size_t>(bits)});
      }
    });
    // Entries by index, as their codes run.
    std::sort(edges[i].begin() + static_cast<std::ptrdiff_t>(own), edges[i].end(),
              [](const Edge& a, const Edge& b) { return a.unit < b.unit; });
    if (codes == CharacterCodes::own_or_longer) add_longer_codes(coder, literal[i], i, edges[i]);
  }
  return edges;
}

}  // namespace

bool encode_message(const MessageCoder& coder, std::span<const std::uint16_t> literal, EncodedMessage& out,
                    std::size_t& unencodable) {
  const std::size_t n = literal.size();
  const std::vector<std::vector<Edge>> edges = parse_edges(coder, literal, CharacterCodes::own);
  // The best parse of each suffix, from the end: bits, units, and the first
  // unit with where the parse goes on after it.
  struct Best {
    std::uint64_t bits = std::numeric_limits<std::uint64_t>::max();
    std::size_t count = 0;
    std::uint16_t unit = 0;
    std::size_t next = 0;
  };
  std::vector<Best> best(n + 1);
  best[n] = {static_cast<std::uint64_t>(unit_bits(coder, kEndCode)), 1, kEndCode, n};
  if (best[n].bits == 0) {
    unencodable = n;
    return false;
  }
  for (std::size_t i = n; i-- > 0;) {
    for (const Edge& edge : edges[i]) {
      if (best[edge.next].bits == std::numeric_limits<std::uint64_t>::max()) continue;
      const Best candidate{best[edge.next].bits + edge.bits, best[edge.next].count + 1, edge.unit, edge.next};
      const Best& now = best[i];
      if (candidate.bits < now.bits || (candidate.bits == now.bits && (candidate.count < now.count ||
                                                                      (candidate.count == now.count && edge.unit < now.unit)))) {
        best[i] = candidate;
      }
    }
  }
  if (best[0].bits == std::numeric_limits<std::uint64_t>::max()) {
    unencodable = 0;
    while (unencodable < n && unit_bits(coder, literal[unencodable]) > 0) ++unencodable;
    return false;
  }
  Units units;
  for (std::size_t i = 0; units.empty() || units.back() != kEndCode; i = best[i].next) units.push_back(best[i].unit);
  out = write_units(coder, units);
  return true;
}

namespace {

using Edges = std::vector<std::vector<Edge>>;

// What each suffix of a message can take, end code included: every total up
// to `most`, and the shortest and the longest whatever their size (SIZE_MAX
// when the suffix cannot be written).
struct SuffixBits {
  std::vector<Totals> reach;
  std::vector<std::size_t> shortest, longest;
};

SuffixBits suffix_bits(const Edges& edges, std::size_t end_bits, std::size_t most) {
  const std::size_t n = edges.size();
  SuffixBits bits{std::vector<Totals>(n + 1, Totals(most + 1)), std::vector<std::size_t>(n + 1, SIZE_MAX),
                  std::vector<std::size_t>(n + 1, 0)};
  bits.reach[n].add(end_bits);
  bits.shortest[n] = bits.longest[n] = end_bits;
  for (std::size_t i = n; i-- > 0;) {
    for (const Edge& edge : edges[i]) {
      if (bits.shortest[edge.next] == SIZE_MAX) continue;
      bits.reach[i].add_shifted(bits.reach[edge.next], edge.bits);
      bits.shortest[i] = std::min(bits.shortest[i], bits.shortest[edge.next] + edge.bits);
      bits.longest[i] = std::max(bits.longest[i], bits.longest[edge.next] + edge.bits);
    }
  }
  return bits;
}

// The totals of the window nearest to `near` first, the smaller of two as near.
std::vector<std::size_t> totals_near(std::size_t near, std::size_t least, std::size_t most) {
  std::vector<std::size_t> totals;
  for (std::size_t distance = 0; distance <= most; ++distance) {
    if (near >= distance && near - distance >= least && near - distance <= most) totals.push_back(near - distance);
    if (distance > 0 && near + distance >= least && near + distance <= most) totals.push_back(near + distance);
    if (near < distance && near + distance > most) break;
  }
  return totals;
}

// Each parse of exactly `total` bits, depth first: at each place the edges
// in order, taking only those from which the bits left can still be made.
// Sets `found` when there is one; false when `visit` asked to stop.
bool visit_parses(const Edges& edges, const std::vector<Totals>& reach, std::size_t total,
                  const std::function<bool(const Units&)>& visit, bool& found) {
  struct Step {
    std::size_t at;
    std::size_t left;  // bits still to make from `at`, end code included
    std::size_t edge;  // the edge taken from `at`
  };
  const std::size_t n = edges.size();
  std::vector<Step> path;
  Units units;
  const auto advance = [&](std::size_t at, std::size_t left, std::size_t from_edge) {
    // Takes the first edge from `from_edge` on at `at` that leads on; false when none does.
    for (std::size_t k = from_edge; k < edges[at].size(); ++k) {
      const Edge& e = edges[at][k];
      if (e.bits <= left && reach[e.next].has(left - e.bits)) {
        path.push_back({at, left, k});
        units.push_back(e.unit);
        return true;
      }
    }
    return false;
  };
  std::size_t at = 0, left = total;
  for (;;) {
    // Down to the end along first edges; every place reached leads on.
    while (at < n && advance(at, left, 0)) {
      const Edge& e = edges[at][path.back().edge];
      left -= e.bits;
      at = e.next;
    }
    if (at == n) {
      found = true;
      units.push_back(kEndCode);
      if (!visit(units)) return false;
      units.pop_back();
    }
    // Back to the last place with another edge that leads on.
    bool moved = false;
    while (!path.empty() && !moved) {
      const Step step = path.back();
      path.pop_back();
      units.pop_back();
      if (advance(step.at, step.left, step.edge + 1)) {
        const Edge& e = edges[step.at][path.back().edge];
        left = step.left - e.bits;
        at = e.next;
        moved = true;
      }
    }
    if (!moved) return true;
  }
}

}  // namespace

WindowFit for_each_parse_in_window(const MessageCoder& coder, std::span<const std::uint16_t> literal, std::size_t least,
                                   std::size_t most, std::size_t near, const std::function<bool(const Units&)>& visit,
                                   CharacterCodes codes) {
  WindowFit fit;
  const std::size_t end_bits = static_cast<std::size_t>(unit_bits(coder, kEndCode));
  if (end_bits == 0) return fit;
  const Edges edges = parse_edges(coder, literal, codes);
  const SuffixBits bits = suffix_bits(edges, end_bits, most);
  fit.characters = character_bits(coder, literal);
  if (bits.shortest[0] == SIZE_MAX) return fit;
  fit.shortest = bits.shortest[0];
  fit.longest = bits.longest[0];
  for (const std::size_t total : totals_near(near, least, most)) {
    if (bits.reach[0].has(total) && !visit_parses(edges, bits.reach, total, visit, fit.found)) return fit;
  }
  return fit;
}

WindowFit encode_in_window(const MessageCoder& coder, std::span<const std::uint16_t> literal, std::size_t least,
                           std::size_t most, std::size_t near, EncodedMessage& out) {
  return for_each_parse_in_window(coder, literal, least, most, near, [&](const Units& units) {
    out = write_units(coder, units);
    return false;
  });
}

Units opened(const MessageCoder& coder, std::span<const std::uint16_t> units) {
  Units text;
  for (const std::uint16_t unit : units) {
    const std::size_t e = static_cast<std::size_t>(unit) - kFirstEntryCode;
    if (unit == kEndCode) continue;
    if (unit >= kFirstEntryCode && e < coder.clean.size() && !coder.clean[e].empty()) {
      text.insert(text.end(), coder.clean[e].begin(), coder.clean[e].end());
    } else {
      text.push_back(unit);
    }
  }
  return text;
}

EncodedMessage write_units(const MessageCoder& coder, const Units& units) {
  EncodedMessage out;
  BitWriter writer;
  for (const std::uint16_t unit : units) {
    const UnitSymbols symbols = unit_symbols(unit);
    writer.put(coder.lead[symbols.lead]);
    if (symbols.paged()) writer.put(coder.low[symbols.low]);
  }
  out.units = units;
  out.bits = writer.bit_count();
  writer.pad_to_byte();
  out.bytes = writer.bytes();
  return out;
}

}  // namespace ambergale::encode
