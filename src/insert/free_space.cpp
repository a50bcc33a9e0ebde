#include "insert/free_space.hpp"

#include <algorithm>
#include <charconv>
#include <string>

#include "cartridge/cartridge.hpp"

namespace ambergale {

void FreeSpace::add(ByteRange range) {
  if (range.size() <= 0) return;
  // Swallow every range that touches or overlaps it.
  auto it = ranges_.upper_bound(range.start);
  if (it != ranges_.begin() && std::prev(it)->second >= range.start) --it;
  while (it != ranges_.end() && it->first <= range.end) {
    range = {std::min(it->first, range.start), std::max(it->second, range.end)};
    it = ranges_.erase(it);
  }
  ranges_.emplace(range.start, range.end);
}

bool FreeSpace::take_at(int address, int size) {
  auto it = ranges_.upper_bound(address);
  if (it == ranges_.begin()) return false;
  --it;
  const ByteRange free{it->first, it->second};
  if (address + size > free.end) return false;
  ranges_.erase(it);
  add({free.start, address});
  add({address + size, free.end});
  return true;
}

std::optional<int> FreeSpace::take(int size) {
  for (const auto& [start, end] : ranges_) {
    if (end - start < size) continue;
    const int address = start;
    take_at(address, size);
    return address;
  }
  return std::nullopt;
}

ByteRange FreeSpace::largest() const {
  ByteRange best;
  for (const auto& [start, end] : ranges_) {
    if (end - start > best.size()) best = {start, end};
  }
  return best;
}

int FreeSpace::total() const {
  int total = 0;
  for (const auto& [start, end] : ranges_) total += end - start;
  return total;
}

namespace {

// Reads exactly `digits` hex digits at `at`.
bool read_hex(std::string_view text, std::size_t at, std::size_t digits, int& value) {
  if (at + digits > text.size()) return false;
  unsigned read = 0;
  const char* first = text.data() + at;
  const auto [end, error] = std::from_chars(first, first + digits, read, 16);
  value = static_cast<int>(read);
  return error == std::errc() && end == first + digits;
}

}  // namespace

Outcome parse_declared_range(std::string_view text, DeclaredRange& out) {
  int first = 0, last = 0;
  if (text.size() != 12 || text[2] != ':' || text[7] != '-' || !read_hex(text, 0, 2, out.bank) ||
      !read_hex(text, 3, 4, first) || !read_hex(text, 8, 4, last)) {
    return Failure{{}, "invalid free range '" + std::string(text) + "' (write BB:AAAA-BBBB, hex, both ends included)"};
  }
  if (last < first) {
    return Failure{{}, "invalid free range '" + std::string(text) + "': it ends before it starts"};
  }
  out.range = {first, last + 1};
  return std::nullopt;
}

std::string declared_text(const DeclaredRange& declared) {
  return range_text(declared.bank, declared.range.start, declared.range.end);
}

}  // namespace ambergale
