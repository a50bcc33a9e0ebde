// Tables chosen for a new text: a dictionary by Re-Pair, its trees, and with
// `trees` the text trees too, each within the table form's room and the
// depth of the image's own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "decode/byte_tree.hpp"
#include "encode/dictionary_choice.hpp"
#include "encode/message_encoder.hpp"
#include "text/dictionary.hpp"

namespace ambergale::encode {

enum class RebuildScope { dictionary, trees };

struct RebuildBasis {
  const TreePair& text_trees;
  TreeDepths depths;
  std::size_t entry_room = 0;
};

struct RebuiltTables {
  TreePair text_trees;
  TreePair dict_trees;
  std::array<std::vector<std::uint8_t>, 4> tree_bytes;
  std::vector<CodeStream> entries;
  std::vector<std::uint8_t> entry_bytes;
  std::vector<std::size_t> entry_starts;
  std::size_t carriers = 0;
  std::size_t entries_chosen = 0;
  int nesting = 0;
  TreeDepths built_depths;
  std::string refusal;
};

RebuiltTables rebuild_tables(std::span<const Units> texts, const RebuildBasis& basis, RebuildScope scope);

}  // namespace ambergale::encode
