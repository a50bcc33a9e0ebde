#include "insert/free_space.hpp"

#include <algorithm>
#include <charconv>
#include <string>

#include "cartridge/cartridge.hpp"

namespace ambergale {

void FreeSpace::add(ByteRange range) {
  if (range.size() <= 0) return;
  std::vector<ByteRange> merged;
  for (const ByteRange& free : ranges_) {
    if (free.end < range.start || free.start > range.end) {
      merged.push_back(free);
    } else {
      range = {std::min(free.start, range.start), std::max(free.end, range.end)};
    }
  }
  merged.push_back(range);
  std::sort(merged.begin(), merged.end(), [](const ByteRange& a, const ByteRange& b) { return a.start < b.start; });
  ranges_ = std::move(merged);
}

bool FreeSpace::take_at(int address, int size) {
  for (std::size_t i = 0; i < ranges_.size(); ++i) {
    const ByteRange free = ranges_[i];
    if (address < free.start || address + size > free.end) continue;
    ranges_.erase(ranges_.begin() + static_cast<std::ptrdiff_t>(i));
    add({free.start, address});
    add({address + size, free.end});
    return true;
  }
  return false;
}

std::optional<int> FreeSpace::take(int size) {
  for (const ByteRange& free : ranges_) {
    if (free.size() < size) continue;
    const int address = free.start;
    take_at(address, size);
    return address;
  }
  return std::nullopt;
}

ByteRange FreeSpace::largest() const {
  ByteRange best;
  for (const ByteRange& free : ranges_) {
    if (free.size() > best.size()) best = free;
  }
  return best;
}

int FreeSpace::total() const {
  int total = 0;
  for (const ByteRange& free : ranges_) total += free.size();
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
