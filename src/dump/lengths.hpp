// Lengths of blocks stored back to back, from a table of their start
// addresses: a block ends where the next greater start address begins, and
// the block with the greatest start ends at the region's end address.
// Entries that share an address share its length; a length may be 0 or
// negative when the end address does not lie above the greatest start.
#pragma once

#include <span>

namespace ambergale {

// Fills lengths[k] for pointers[k]; `lengths` is as long as `pointers`. The
// pointers are 16-bit addresses within one bank (0..0xFFFF).
void infer_lengths(std::span<const int> pointers, int end_address, std::span<int> lengths);

}  // namespace ambergale
