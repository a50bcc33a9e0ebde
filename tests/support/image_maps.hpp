// The inserter's maps of an image, made the way a run makes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "dump/load_tables.hpp"
#include "dump/stored_messages.hpp"

namespace ambergale::testing_support {

inline MessageMap word_list_map_of(const std::vector<std::uint8_t>& image) {
  Cartridge cart;
  cart.bytes = image;
  auto tables = std::make_unique<Tables>();
  EXPECT_FALSE(load_image_tables(cart, *tables));
  return map_stored_messages(cart, *tables, false);
}

}  // namespace ambergale::testing_support
