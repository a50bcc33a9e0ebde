// Bytes of one bank that moved data may take: the ranges a run frees and the
// ranges the user declares, kept sorted and merged, taken first fit in
// address order so that the same edits always land at the same addresses.
#pragma once

#include <map>
#include <optional>
#include <string_view>

#include "cartridge/cartridge.hpp"
#include "platform/failure.hpp"

namespace ambergale {

class FreeSpace {
 public:
  // Adds a range, merged with any it touches or overlaps.
  void add(ByteRange range);
  // Takes `size` bytes at `address` when all of them are free.
  bool take_at(int address, int size);
  // Takes `size` bytes from the first range that holds them.
  std::optional<int> take(int size);
  // The largest free range (empty when nothing is free).
  ByteRange largest() const;
  int total() const;

 private:
  std::map<int, int> ranges_;  // start -> end: disjoint, none empty, none touching another
};

// A range given on the command line as BB:AAAA-BBBB (hex, both ends
// included, within one bank).
struct DeclaredRange {
  int bank = 0;
  ByteRange range;
};

// Reads BB:AAAA-BBBB; refused with a reason naming the text.
Outcome parse_declared_range(std::string_view text, DeclaredRange& out);

// BB:AAAA-BBBB, the last byte included.
std::string declared_text(const DeclaredRange& declared);

}  // namespace ambergale
