// The inserter's maps of an image, made the way a run makes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "dump/load_tables.hpp"
#include "insert/word_list_map.hpp"

namespace ambergale::testing_support {

inline WordListMap word_list_map_of(const std::vector<std::uint8_t>& image) {
  Cartridge cart;
  cart.bytes = image;
  auto tables = std::make_unique<Tables>();
  EXPECT_FALSE(load_image_tables(cart, *tables));
  return map_word_lists(cart, *tables);
}

}  // namespace ambergale::testing_support
