#include "encode/script_codes.hpp"

#include <algorithm>
#include <tuple>

namespace ambergale::encode {

namespace {

constexpr int kLongestCode = 32;
// A node array that is not a tree may reach its leaves by very many walks;
// the search stops after this many.
constexpr int kMostWalks = 1 << 16;

struct LeafSearch {
  const ScriptTreeWalker walker;
  ScriptCodes& codes;
  int walks = 0;

  void from(int node, Code prefix) {
    for (int bit = 0; bit < 2 && walks < kMostWalks; ++bit) {
      const Code code{(prefix.bits << 1) | static_cast<std::uint32_t>(bit), prefix.length + 1};
      int next;
      if (walker.step(node, bit, next)) {
        ++walks;
        const int symbol = walker.leaf(next);
        codes.by_byte[script_unit(symbol).byte].push_back({symbol, code});
      } else if (code.length < kLongestCode) {
        from(next, code);
      }
    }
  }
};

}  // namespace

ScriptCodes script_codes_of(const ScriptTree& tree) {
  ScriptCodes codes;
  const ScriptTreeWalker walker = walker_for(tree.nodes, tree.leaf_boundary);
  LeafSearch search{walker, codes};
  search.from(walker.root(), {});
  for (auto& leaves : codes.by_byte) {
    std::sort(leaves.begin(), leaves.end(), [](const ScriptLeaf& a, const ScriptLeaf& b) {
      return std::tie(a.code.length, a.code.bits, a.symbol) < std::tie(b.code.length, b.code.bits, b.symbol);
    });
  }
  // open[n]: the first n-bit walk that stays on internal nodes. Nodes only
  // move forward, so `deepest` (the longest such walk from each node, up to
  // 32) is found by one memoised search.
  std::vector<int> deepest(kScriptTreeEntries, -1);
  const auto depth_below = [&](auto& self, int node) -> int {
    int& known = deepest[static_cast<std::size_t>((node >> 1) & ScriptTreeWalker::kMask)];
    if (known >= 0) return known;
    int best = 0;
    for (int bit = 0; bit < 2; ++bit) {
      int next;
      if (!walker.step(node, bit, next)) best = std::max(best, std::min(kLongestCode, 1 + self(self, next)));
    }
    return known = best;
  };
  codes.longest_open = depth_below(depth_below, walker.root());
  for (int n = 1; n <= codes.longest_open; ++n) {
    Code code{};
    int node = walker.root();
    while (code.length < n) {
      for (int bit = 0; bit < 2; ++bit) {
        int next;
        if (!walker.step(node, bit, next) && 1 + depth_below(depth_below, next) >= n - code.length) {
          code = {(code.bits << 1) | static_cast<std::uint32_t>(bit), code.length + 1};
          node = next;
          break;
        }
      }
    }
    codes.open[static_cast<std::size_t>(n)] = code;
  }
  return codes;
}

}  // namespace ambergale::encode
