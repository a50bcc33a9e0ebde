// Everything start-up builds, in one value: filled once and only read
// afterwards, passed by const reference to the dumps.
#pragma once

#include "decode/byte_tree.hpp"
#include "decode/script_tree.hpp"
#include "script/disassembler.hpp"
#include "script/opcodes.hpp"
#include "text/dictionary.hpp"

namespace ambergale {

struct Tables {
  TreePair text_trees;  // messages
  TreePair dict_trees;  // dictionary entries
  ScriptTree script_tree;
  Dictionary dictionary;
  OpcodeTable opcodes;
  LineTemplates templates;  // compiled from `opcodes` once they are loaded

  ListingTables listing() const { return {text_trees, dictionary.text, opcodes, templates}; }
};

}  // namespace ambergale
