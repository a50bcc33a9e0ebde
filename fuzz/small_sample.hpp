// The cut-down sample cartridge the whole-run targets work on: the full
// sample's kind of trees and dictionary, a few messages a group and scripts
// of an instruction or two, so that a run takes milliseconds.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"

namespace ambergale::fuzz {

// `content` with eight messages a group and in the sequential block.
inline void cut_down(sample::CartridgeContent& content) {
  for (auto& group : content.groups) group.resize(std::min<std::size_t>(group.size(), 8));
  content.sequential.resize(8);
}

inline std::vector<std::uint8_t> small_sample() {
  sample::CartridgeContent content = sample::generate_content(3, {1, 1, 1, 1});
  cut_down(content);
  return sample::build_cartridge(content).image;
}

// The same with jumps, for sample_opcode_file(true), and the content that
// says where each jump goes: some fifty reach across an embedded message.
inline sample::SampleCartridge small_jump_sample() {
  sample::CartridgeContent content = sample::generate_content(3, {1, 1, 1, 1}, true);
  cut_down(content);
  sample::CartridgeLayout layout = sample::build_cartridge(content);
  return {std::move(content), std::move(layout)};
}

}  // namespace ambergale::fuzz
