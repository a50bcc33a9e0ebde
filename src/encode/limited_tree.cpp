#include "encode/limited_tree.hpp"

#include <algorithm>

#include "encode/character_room.hpp"
#include "encode/dictionary_choice.hpp"
#include "text/code_units.hpp"

namespace ambergale::encode {

void SymbolCounts::add(std::uint16_t unit) {
  const UnitSymbols symbols = unit_symbols(unit);
  ++lead[static_cast<std::size_t>(symbols.lead)];
  if (symbols.paged()) ++low[static_cast<std::size_t>(symbols.low)];
}

namespace {

// A coin of one level's list: a symbol's, or a package of two coins of the
// level below (symbol -1).
struct Coin {
  std::uint64_t weight;
  int symbol;
};

// The list of each level from the deepest (leaves only) up to depth 1, each
// the leaves merged with the packages of the level below; of weights alike,
// leaves first.
std::vector<std::vector<Coin>> coin_levels(const std::vector<Coin>& leaves, int depth) {
  std::vector<std::vector<Coin>> levels{leaves};
  const auto lighter = [](const Coin& a, const Coin& b) { return a.weight < b.weight; };
  for (int level = 1; level < depth; ++level) {
    const std::vector<Coin>& below = levels.back();
    std::vector<Coin> packages;
    for (std::size_t i = 0; i + 1 < below.size(); i += 2) packages.push_back({below[i].weight + below[i + 1].weight, -1});
    std::vector<Coin> list;
    std::merge(leaves.begin(), leaves.end(), packages.begin(), packages.end(), std::back_inserter(list), lighter);
    levels.push_back(std::move(list));
  }
  return levels;
}

}  // namespace

CodeLengths limited_code_lengths(const Frequencies& frequency, int depth) {
  std::vector<Coin> leaves;
  for (const auto& [symbol, weight] : present_symbols(frequency)) leaves.push_back({weight, symbol});
  std::stable_sort(leaves.begin(), leaves.end(), [](const Coin& a, const Coin& b) { return a.weight < b.weight; });
  const std::size_t n = leaves.size();
  CodeLengths result;
  if (depth < 1 || (depth < 8 && n > std::size_t{1} << depth)) {
    result.refusal = std::to_string(n) + " symbols need codes of more than " + std::to_string(depth) + " bits";
    return result;
  }
  // No code of a tree of n leaves is longer than n - 1 bits, and none that
  // a Code holds longer than 32.
  const std::vector<std::vector<Coin>> levels = coin_levels(leaves, std::min({depth, static_cast<int>(n) - 1, 32}));
  // The coins taken from each list are its cheapest; each package taken
  // takes two coins of the list below.
  std::size_t taken = 2 * n - 2;
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
    std::size_t packages = 0;
    for (std::size_t i = 0; i < taken; ++i) {
      const Coin& coin = (*level)[i];
      if (coin.symbol >= 0) ++result.lengths[static_cast<std::size_t>(coin.symbol)];
      else ++packages;
    }
    taken = 2 * packages;
  }
  return result;
}

LimitedTree build_limited_tree(const Frequencies& frequency, int depth, int most_symbols) {
  const std::size_t symbols = present_symbols(frequency).size();
  if (symbols > static_cast<std::size_t>(most_symbols)) {
    return {{}, std::to_string(symbols) + " symbols, and the tree holds at most " + std::to_string(most_symbols)};
  }
  const CodeLengths lengths = limited_code_lengths(frequency, depth);
  if (!lengths.refusal.empty()) return {{}, lengths.refusal};
  return {byte_tree_of_lengths(lengths.lengths), {}};
}

int tree_depth(const ByteTree& tree) {
  // Nodes in index order: every child lies after its parent, so a node's
  // depth is known when it is reached.
  const int internal = tree[1];
  std::array<int, 256> depth{};  // of internal node a; -1 when no walk reaches it
  depth.fill(-1);
  depth[1] = 0;
  int deepest = 0;
  for (int node = 1; node <= internal; ++node) {
    if (depth[node] < 0) continue;
    for (int bit = 0; bit <= 1; ++bit) {
      const int child = node + tree[2 * node + bit] + 1;
      if (child <= internal) depth[child] = std::max(depth[child], depth[node] + 1);
      else deepest = std::max(deepest, depth[node] + 1);
    }
  }
  return deepest;
}

LeadNeeds lead_needs(std::span<const Units> texts) {
  LeadNeeds needs;
  for (const Units& text : texts) {
    const std::vector<bool> travels = travelling_units(text);
    for (std::size_t i = 0; i < text.size(); ++i) {
      const UnitSymbols symbols = unit_symbols(text[i]);
      if (travels[i] && !symbols.paged() && text[i] != kEndCode) ++needs.characters[static_cast<std::size_t>(symbols.lead)];
      else needs.kept[static_cast<std::size_t>(symbols.lead)] = true;
    }
  }
  return needs;
}

namespace {

// Whether a page that dictionary codes take is among the kept symbols.
bool dictionary_page_kept(const LeadNeeds& needs) {
  for (int page = kRenderedEntryCodes.first >> 8; page <= kRenderedEntryCodes.last >> 8; ++page) {
    if (needs.kept[static_cast<std::size_t>(page)]) return true;
  }
  return false;
}

}  // namespace

Carriers choose_carriers(const LeadNeeds& needs, int most_symbols) {
  std::size_t kept = static_cast<std::size_t>(std::count(needs.kept.begin(), needs.kept.end(), true));
  std::vector<std::uint16_t> candidates;  // characters no kept symbol already writes
  for (std::size_t s = 0; s < needs.characters.size(); ++s) {
    if (needs.characters[s] > 0 && !needs.kept[s]) candidates.push_back(static_cast<std::uint16_t>(s));
  }
  const std::size_t most = static_cast<std::size_t>(most_symbols);
  if (kept + candidates.size() <= most) return {};
  if (!dictionary_page_kept(needs)) ++kept;
  if (kept > most) {
    return {{}, "the lead tree holds at most " + std::to_string(most) + " symbols, and the text needs " +
                    std::to_string(kept) + " that cannot travel in the dictionary (controls, their arguments, page "
                    "prefixes, the end code) besides " + counted(candidates.size(), "character")};
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](std::uint16_t a, std::uint16_t b) { return needs.characters[a] < needs.characters[b]; });
  candidates.resize(kept + candidates.size() - most);
  std::sort(candidates.begin(), candidates.end());
  return {candidates, {}};
}

}  // namespace ambergale::encode
