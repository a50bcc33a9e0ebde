#include "encode/encoder.hpp"

#include <algorithm>
#include <deque>
#include <queue>
#include <stdexcept>
#include <tuple>

#include "cartridge/cartridge.hpp"
#include "text/code_units.hpp"

namespace ambergale::encode {

void BitWriter::put(Code code) {
  for (int i = code.length - 1; i >= 0; --i) {
    if (bits_ % 8 == 0) bytes_.push_back(0);
    if ((code.bits >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (bits_ % 8));
    ++bits_;
  }
}

void BitWriter::pad_to_byte(int filler) {
  while (bits_ % 8 != 0) put({static_cast<std::uint32_t>(filler & 1), 1});
}

namespace {

// A Huffman tree as nested nodes: leaves hold a symbol, internal nodes two children.
struct Node {
  int symbol = -1;
  int left = -1;
  int right = -1;
};

// Builds a Huffman tree over the symbols with nonzero frequency (padded to two)
// and returns the node list with the root last. Ties break on creation order,
// so the same frequencies always give the same tree.
std::vector<Node> huffman_tree(std::vector<std::pair<int, std::uint64_t>> symbols) {
  if (symbols.empty()) throw std::invalid_argument("a tree needs a symbol");
  std::vector<Node> nodes;
  using Item = std::tuple<std::uint64_t, int>;  // weight, node
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
  for (const auto& [symbol, weight] : symbols) {
    nodes.push_back({symbol, -1, -1});
    queue.emplace(weight, static_cast<int>(nodes.size()) - 1);
  }
  while (queue.size() > 1) {
    const auto [wa, a] = queue.top();
    queue.pop();
    const auto [wb, b] = queue.top();
    queue.pop();
    nodes.push_back({-1, a, b});
    queue.emplace(wa + wb, static_cast<int>(nodes.size()) - 1);
  }
  return nodes;
}

void assign_codes(const std::vector<Node>& nodes, int node, Code prefix, std::map<int, Code>& codes) {
  if (nodes[node].symbol >= 0) {
    codes[nodes[node].symbol] = prefix;
    return;
  }
  assign_codes(nodes, nodes[node].left, {prefix.bits << 1, prefix.length + 1}, codes);
  assign_codes(nodes, nodes[node].right, {(prefix.bits << 1) | 1, prefix.length + 1}, codes);
}

}  // namespace

std::vector<std::pair<int, std::uint64_t>> present_symbols(std::span<const std::uint64_t> frequency) {
  std::vector<std::pair<int, std::uint64_t>> symbols;
  for (std::size_t s = 0; s < frequency.size(); ++s) {
    if (frequency[s] > 0) symbols.emplace_back(static_cast<int>(s), frequency[s]);
  }
  for (int s = 0; symbols.size() < 2; ++s) {
    if (frequency[s] == 0) symbols.emplace_back(s, 0);
  }
  return symbols;
}

std::array<Code, 256> codes_of_tree(const ByteTree& tree) {
  // The best walk to each node, nodes taken in index order: every child lies
  // after its parent, so a node's walks are all known when it is reached,
  // and a node reached from several parents (a malformed tree) costs no more.
  // A walk of more than 32 bits cannot be written as a Code.
  const auto better = [](Code a, Code b) {
    return b.length == 0 || a.length < b.length || (a.length == b.length && a.bits < b.bits);
  };
  std::array<Code, 256> codes{};
  const int internal = tree[1];
  std::array<Code, 256> walk{};  // to internal node a; length 0 for the root and unreached nodes
  std::array<bool, 256> reached{};
  reached[1] = true;
  for (int node = 1; node <= internal; ++node) {
    if (!reached[node] || walk[node].length >= 32) continue;
    for (int bit = 0; bit <= 1; ++bit) {
      const int child = node + tree[2 * node + bit] + 1;
      const Code path{walk[node].bits << 1 | static_cast<std::uint32_t>(bit), walk[node].length + 1};
      if (child <= internal) {
        if (!reached[child] || better(path, walk[child])) walk[child] = path;
        reached[child] = true;
      } else if (better(path, codes[tree[internal + 1 + child]])) {
        codes[tree[internal + 1 + child]] = path;
      }
    }
  }
  return codes;
}

namespace {

// Lays a tree out in the table form. Nodes are numbered breadth first:
// internal nodes 1..N, then the leaves. In that order every child lies after
// its parent and within 255 of it.
ByteTreeCode lay_out(const std::vector<Node>& nodes, int root) {
  std::vector<int> internal_order;
  std::vector<int> leaf_order;
  std::deque<int> queue{root};
  while (!queue.empty()) {
    const int n = queue.front();
    queue.pop_front();
    if (nodes[n].symbol >= 0) {
      leaf_order.push_back(n);
    } else {
      internal_order.push_back(n);
      queue.push_back(nodes[n].left);
      queue.push_back(nodes[n].right);
    }
  }
  const int internal = static_cast<int>(internal_order.size());
  std::vector<int> index(nodes.size());
  for (int i = 0; i < internal; ++i) index[internal_order[i]] = i + 1;
  for (std::size_t i = 0; i < leaf_order.size(); ++i) index[leaf_order[i]] = internal + 1 + static_cast<int>(i);

  ByteTreeCode result;
  result.table[1] = static_cast<std::uint8_t>(internal);
  for (int n : internal_order) {
    const int a = index[n];
    result.table[2 * a] = static_cast<std::uint8_t>(index[nodes[n].left] - a - 1);
    result.table[2 * a + 1] = static_cast<std::uint8_t>(index[nodes[n].right] - a - 1);
  }
  for (int n : leaf_order) result.table[internal + 1 + index[n]] = static_cast<std::uint8_t>(nodes[n].symbol);
  std::map<int, Code> codes;
  assign_codes(nodes, root, {}, codes);
  for (const auto& [symbol, code] : codes) result.codes[symbol] = code;
  return result;
}

// Follows `code` from node 0, making the internal nodes it passes, and ends
// it in a leaf for `symbol`. Throws when the code runs through a leaf or
// ends on a node already made.
void insert_code(std::vector<Node>& nodes, Code code, int symbol) {
  int node = 0;
  for (int i = code.length - 1; i >= 0; --i) {
    if (nodes[node].symbol >= 0) throw std::invalid_argument("code lengths do not form a tree");
    const bool right = (code.bits >> i) & 1;
    int child = right ? nodes[node].right : nodes[node].left;
    if (child < 0) {
      child = static_cast<int>(nodes.size());
      (right ? nodes[node].right : nodes[node].left) = child;
      nodes.push_back({});
    }
    node = child;
  }
  if (nodes[node].left >= 0 || nodes[node].symbol >= 0) throw std::invalid_argument("code lengths do not form a tree");
  nodes[node].symbol = symbol;
}

}  // namespace

ByteTreeCode build_byte_tree(const std::array<std::uint64_t, 256>& frequency) {
  const std::vector<Node> nodes = huffman_tree(present_symbols(frequency));
  return lay_out(nodes, static_cast<int>(nodes.size()) - 1);
}

ByteTreeCode byte_tree_of_lengths(const std::array<int, 256>& lengths) {
  // Canonical codes: symbols by (length, symbol), each code the previous one
  // plus one, shifted to its length.
  std::vector<std::pair<int, int>> leaves;  // length, symbol
  for (int s = 0; s < 256; ++s) {
    if (lengths[s] > 0) leaves.emplace_back(lengths[s], s);
  }
  std::sort(leaves.begin(), leaves.end());
  if (leaves.size() < 2 || leaves.back().first > 32) throw std::invalid_argument("code lengths do not form a tree");
  std::vector<Node> nodes(1);
  std::uint64_t next = 0;
  int length = leaves.front().first;
  for (const auto& [leaf_length, symbol] : leaves) {
    next <<= leaf_length - length;
    length = leaf_length;
    if (next >> length != 0) throw std::invalid_argument("code lengths do not form a tree");
    insert_code(nodes, {static_cast<std::uint32_t>(next), length}, symbol);
    ++next;
  }
  if (next != std::uint64_t{1} << length) throw std::invalid_argument("code lengths do not form a tree");
  return lay_out(nodes, 0);
}

TextCoder build_text_coder(std::span<const std::vector<std::uint16_t>> messages) {
  std::array<std::uint64_t, 256> lead{};
  std::array<std::uint64_t, 256> low{};
  for (const auto& message : messages) {
    for (std::uint16_t unit : message) {
      const UnitSymbols symbols = unit_symbols(unit);
      ++lead[symbols.lead];
      if (symbols.paged()) ++low[symbols.low];
    }
  }
  return {build_byte_tree(lead), build_byte_tree(low)};
}

std::vector<std::uint8_t> encode_units(const TextCoder& coder, std::span<const std::uint16_t> units) {
  BitWriter writer;
  for (std::uint16_t unit : units) {
    const UnitSymbols symbols = unit_symbols(unit);
    writer.put(coder.lead.codes[symbols.lead]);
    if (symbols.paged()) writer.put(coder.low.codes[symbols.low]);
  }
  writer.pad_to_byte();
  return writer.bytes();
}

ScriptTreeCode build_script_tree_code(const std::map<int, std::uint64_t>& frequency, int extra_pairs) {
  std::vector<std::pair<int, std::uint64_t>> symbols(frequency.begin(), frequency.end());
  if (symbols.size() < 2) throw std::invalid_argument("a script tree needs two symbols");
  const std::vector<Node> nodes = huffman_tree(symbols);
  std::map<int, Code> huffman;
  assign_codes(nodes, static_cast<int>(nodes.size()) - 1, {}, huffman);
  // Canonical codes: leaves left to right by (depth, symbol), each code the
  // previous one plus one, shifted to its depth.
  std::vector<std::pair<int, int>> leaves;  // depth, symbol
  for (const auto& [symbol, code] : huffman) leaves.emplace_back(code.length, symbol);
  std::sort(leaves.begin(), leaves.end());
  const int min_depth = leaves.front().first;
  const int max_depth = leaves.back().first;
  int depth_bits = 0;
  while ((1 << depth_bits) <= max_depth - min_depth) ++depth_bits;
  int max_symbol = leaves.front().second;
  for (const auto& leaf : leaves) max_symbol = std::max(max_symbol, leaf.second);
  int value_bits = 1;
  while ((1 << value_bits) <= max_symbol) ++value_bits;
  if (depth_bits > 15 || min_depth > 15 || value_bits > 15) throw std::invalid_argument("script tree too deep or wide");

  ScriptTreeCode result;
  result.max_depth = max_depth;
  BitWriter header;
  header.put({0, 4});  // spare_bits
  header.put({static_cast<std::uint32_t>(depth_bits), 4});
  header.put({static_cast<std::uint32_t>(min_depth), 4});
  header.put({static_cast<std::uint32_t>(value_bits), 4});
  header.put({static_cast<std::uint32_t>(leaves.size() - 1 + extra_pairs), 16});
  header.put({static_cast<std::uint32_t>(leaves.front().first - min_depth), depth_bits});
  std::uint32_t code = 0;
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    const auto [depth, symbol] = leaves[i];
    if (i > 0) code = (code + 1) << (depth - leaves[i - 1].first);
    result.codes[symbol] = {code, depth};
    header.put({static_cast<std::uint32_t>(symbol), value_bits});
    const int next = i + 1 < leaves.size() ? leaves[i + 1].first - min_depth : 0;
    header.put({static_cast<std::uint32_t>(next), depth_bits});
  }
  header.pad_to_byte();
  result.header = header.bytes();
  return result;
}

void put_bytes(std::span<std::uint8_t> image, int bank, int address, std::span<const std::uint8_t> bytes) {
  const auto offset = static_cast<std::size_t>(rom_offset(bank, address));
  if (offset + bytes.size() > image.size()) throw std::out_of_range("write past the image");
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

void put_word(std::span<std::uint8_t> image, int bank, int address, int word) {
  const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>(word >> 8)};
  put_bytes(image, bank, address, bytes);
}

}  // namespace ambergale::encode
