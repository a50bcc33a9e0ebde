// The cut-down sample cartridge the whole-run targets work on: the full
// sample's kind of trees and dictionary, a few messages a group and scripts
// of an instruction or two, so that a run takes milliseconds.
#pragma once

#include <algorithm>
#include <vector>

#include "sample/cartridge_layout.hpp"
#include "sample/sample_content.hpp"

namespace ambergale::fuzz {

inline std::vector<std::uint8_t> small_sample() {
  sample::CartridgeContent content = sample::generate_content(3, {1, 1, 1, 1});
  for (auto& group : content.groups) group.resize(std::min<std::size_t>(group.size(), 8));
  content.sequential.resize(8);
  return sample::build_cartridge(content).image;
}

}  // namespace ambergale::fuzz
