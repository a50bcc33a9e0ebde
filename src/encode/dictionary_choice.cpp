#include "encode/dictionary_choice.hpp"

#include <algorithm>
#include <queue>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "encode/encoder.hpp"
#include "encode/limited_tree.hpp"
#include "text/code_units.hpp"

namespace ambergale::encode {

std::vector<bool> travelling_units(std::span<const std::uint16_t> text) {
  std::vector<bool> travels(text.size(), false);
  for (std::size_t i = 0; i < text.size(); ++i) {
    travels[i] = clean_unit(text[i]);
    i += static_cast<std::size_t>(argument_units(text[i]));
  }
  return travels;
}

std::size_t characters_of(std::span<const std::uint16_t> text) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    characters += counts_as_character(text[i]) ? 1 : 0;
    i += static_cast<std::size_t>(argument_units(text[i]));
  }
  return characters;
}

namespace {

constexpr int kBarrier = -1;  // a place no pair may hold: a unit that does not travel

// The texts as one linked sequence of symbols: units, or kFirstEntryCode + e.
struct Sequence {
  std::vector<int> symbol;
  std::vector<int> next, prev;  // -1 past either end
  std::vector<bool> alive;
};

Sequence sequence_of(std::span<const Units> texts, const std::array<bool, 256>& barred) {
  Sequence s;
  for (const Units& text : texts) {
    const std::vector<bool> travels = travelling_units(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool allowed = text[i] >= barred.size() || !barred[text[i]];
      s.symbol.push_back(travels[i] && allowed ? text[i] : kBarrier);
    }
    s.symbol.push_back(kBarrier);
  }
  const int n = static_cast<int>(s.symbol.size());
  for (int p = 0; p < n; ++p) {
    s.next.push_back(p + 1 < n ? p + 1 : -1);
    s.prev.push_back(p - 1);
  }
  s.alive.assign(s.symbol.size(), true);
  return s;
}

using PairKey = std::uint64_t;
PairKey key_of(int first, int second) { return static_cast<PairKey>(first) << 32 | static_cast<std::uint32_t>(second); }

struct PairPlaces {
  std::size_t count = 0;
  std::vector<int> places;  // where it began once; some no longer hold it
};

// The state of the merging: the sequence, every pair's count and places,
// and a heap that holds, for every pair, its count or a count above it.
class RePair {
 public:
  RePair(std::span<const Units> texts, const DictionaryLimits& limits) : seq_(sequence_of(texts, limits.barred)), limits_(limits) {
    for (int p = 0; p >= 0 && p < static_cast<int>(seq_.symbol.size()); p = seq_.next[p]) add_pair_at(p);
  }

  ChosenDictionary run() {
    while (chosen_.halves.size() < limits_.entries) {
      const PairKey key = most_frequent();
      if (key == 0) break;
      merge(key);
    }
    return std::move(chosen_);
  }

 private:
  std::size_t slot_units(int symbol) const {
    return symbol >= kFirstEntryCode ? chosen_.slot_units[static_cast<std::size_t>(symbol - kFirstEntryCode)] : 1;
  }

  // The pair that begins at p, or 0 when no entry may hold it.
  PairKey pair_at(int p) const {
    if (p < 0 || !seq_.alive[p] || seq_.symbol[p] == kBarrier) return 0;
    const int q = seq_.next[p];
    if (q < 0 || seq_.symbol[q] == kBarrier) return 0;
    if (slot_units(seq_.symbol[p]) + slot_units(seq_.symbol[q]) + 1 > limits_.expansion) return 0;
    return key_of(seq_.symbol[p], seq_.symbol[q]);
  }

  void add_pair_at(int p) {
    const PairKey key = pair_at(p);
    if (key == 0) return;
    PairPlaces& pair = pairs_[key];
    ++pair.count;
    pair.places.push_back(p);
    if (pair.count >= 2) heap_.push({pair.count, key});
  }

  void remove_pair_at(int p) {
    const auto pair = pairs_.find(pair_at(p));
    if (pair != pairs_.end() && pair->second.count > 0) --pair->second.count;
  }

  // Pops stale counts until the top is a pair's own; 0 when none is left
  // that occurs twice.
  PairKey most_frequent() {
    while (!heap_.empty()) {
      const auto [count, key] = heap_.top();
      heap_.pop();
      const auto pair = pairs_.find(key);
      const std::size_t now = pair == pairs_.end() ? 0 : pair->second.count;
      if (now == count) return key;
      if (now >= 2 && now < count) heap_.push({now, key});
    }
    return 0;
  }

  void merge(PairKey key) {
    const int first = static_cast<int>(key >> 32), second = static_cast<int>(key & 0xFFFFFFFF);
    const int entry = kFirstEntryCode + static_cast<int>(chosen_.halves.size());
    add_entry(first, second);
    std::vector<int> places = std::move(pairs_[key].places);
    pairs_.erase(key);
    std::sort(places.begin(), places.end());
    for (const int p : places) {
      if (pair_at(p) == key) replace_at(p, entry);
    }
  }

  // Replaces the pair at p by `entry`: the pairs around it are counted again.
  void replace_at(int p, int entry) {
    const int q = seq_.next[p];
    remove_pair_at(seq_.prev[p]);
    remove_pair_at(q);
    seq_.symbol[p] = entry;
    seq_.alive[q] = false;
    seq_.next[p] = seq_.next[q];
    if (seq_.next[q] >= 0) seq_.prev[seq_.next[q]] = p;
    add_pair_at(seq_.prev[p]);
    add_pair_at(p);
  }

  void add_entry(int first, int second) {
    const auto half = [&](int symbol) {
      return symbol >= kFirstEntryCode ? chosen_.expanded[static_cast<std::size_t>(symbol - kFirstEntryCode)]
                                       : Units{static_cast<std::uint16_t>(symbol)};
    };
    const auto depth = [&](int symbol) {
      return symbol >= kFirstEntryCode ? chosen_.depth[static_cast<std::size_t>(symbol - kFirstEntryCode)] : 0;
    };
    Units units = half(first);
    const Units tail = half(second);
    units.insert(units.end(), tail.begin(), tail.end());
    chosen_.halves.push_back({static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(second)});
    chosen_.expanded.push_back(std::move(units));
    chosen_.depth.push_back(1 + std::max(depth(first), depth(second)));
    chosen_.slot_units.push_back(slot_units(first) + slot_units(second) + 1);
  }

  // Most frequent first; of counts alike, the smaller pair.
  using Ranked = std::pair<std::size_t, PairKey>;
  struct Lower {
    bool operator()(const Ranked& a, const Ranked& b) const {
      return a.first != b.first ? a.first < b.first : a.second > b.second;
    }
  };

  Sequence seq_;
  DictionaryLimits limits_;
  std::unordered_map<PairKey, PairPlaces> pairs_;
  std::priority_queue<Ranked, std::vector<Ranked>, Lower> heap_;
  ChosenDictionary chosen_;
};

}  // namespace

ChosenDictionary choose_dictionary(std::span<const Units> texts, const DictionaryLimits& limits) {
  return RePair(texts, limits).run();
}

namespace {

MessageCoder coder_for(const ChosenDictionary& dictionary) {
  MessageCoder coder;
  coder.clean = dictionary.expanded;
  index_clean_entries(coder);
  return coder;
}

// Codes of one length for every lead symbol, and short ones for low bytes:
// a parse then takes the fewest codes.
void set_even_codes(MessageCoder& coder) {
  for (Code& code : coder.lead) code.length = 8;
  for (Code& code : coder.low) code.length = 1;
}

// A Huffman code for `frequency`, no deeper than `depth` when it is not 0.
std::array<Code, 256> codes_within(const Frequencies& frequency, int depth) {
  if (depth == 0) return build_byte_tree(frequency).codes;
  const LimitedTree limited = build_limited_tree(frequency, depth, kLowSymbols);
  if (!limited.refusal.empty()) throw std::invalid_argument(limited.refusal);
  return limited.tree.codes;
}

void set_codes(MessageCoder& coder, const SymbolCounts& counts, int lead_depth, int low_depth) {
  coder.lead = codes_within(counts.lead, lead_depth);
  coder.low = codes_within(counts.low, low_depth);
}

// Every entry stored as its two halves and an end code under dictionary
// trees of its own, each from a byte boundary, with its pointer word.
std::size_t dictionary_bytes(const ChosenDictionary& dictionary, const TreeDepths& depths) {
  SymbolCounts counts;
  for (const auto& halves : dictionary.halves) {
    for (const std::uint16_t unit : {halves[0], halves[1], kEndCode}) counts.add(unit);
  }
  MessageCoder coder;
  set_codes(coder, counts, depths.dict_lead, depths.dict_low);
  std::size_t bytes = 0;
  for (const auto& halves : dictionary.halves) {
    bytes += write_units(coder, {halves[0], halves[1], kEndCode}).bytes.size() + 2;
  }
  return bytes;
}

}  // namespace

TextCost measure_texts(std::span<const Units> texts, const ChosenDictionary& dictionary, const TreeDepths& depths,
                       int rounds) {
  MessageCoder coder = coder_for(dictionary);
  set_even_codes(coder);
  TextCost cost;
  for (int round = 0; round <= rounds; ++round) {
    SymbolCounts counts;
    cost.parses.clear();
    for (const Units& text : texts) {
      EncodedMessage encoded;
      std::size_t unencodable = 0;
      // Always written: every unit has a code in the first round, and each
      // round's trees code every symbol of the parse before.
      encode_message(coder, text, encoded, unencodable);
      for (const std::uint16_t unit : encoded.units) counts.add(unit);
      cost.parses.push_back(std::move(encoded.units));
    }
    set_codes(coder, counts, depths.text_lead, depths.text_low);
    cost.lead_symbols = static_cast<std::size_t>(std::count_if(counts.lead.begin(), counts.lead.end(), [](std::uint64_t n) { return n > 0; }));
  }
  cost.bits = 0;
  cost.characters = 0;
  for (std::size_t t = 0; t < texts.size(); ++t) {
    cost.bits += write_units(coder, cost.parses[t]).bits;
    cost.characters += characters_of(texts[t]);
  }
  cost.dictionary_bytes = dictionary_bytes(dictionary, depths);
  return cost;
}

}  // namespace ambergale::encode
