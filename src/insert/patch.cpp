#include "insert/patch.hpp"

#include <algorithm>
#include <cstring>

#include "platform/crc32.hpp"

namespace ambergale {

namespace {

constexpr std::size_t kIpsMostRecord = 0xFFFF;
constexpr std::size_t kIpsEndMarker = 0x454F46;  // "EOF" read as an offset
constexpr std::size_t kIpsMostOffset = 0xFFFFFF;
// Unchanged bytes shorter than a record's header are cheaper inside a record.
constexpr std::size_t kIpsMergeGap = 5;

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The changed runs of `target`: [begin, end) pairs, runs closer than `gap`
// merged.
std::vector<std::pair<std::size_t, std::size_t>> changed_runs(std::span<const std::uint8_t> source,
                                                              std::span<const std::uint8_t> target, std::size_t gap) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t at = first_difference(source, target, 0); at < target.size();
       at = first_difference(source, target, at)) {
    std::size_t end = at;
    while (end < target.size() && source[end] != target[end]) ++end;
    if (!runs.empty() && at - runs.back().second <= gap) {
      runs.back().second = end;
    } else {
      runs.emplace_back(at, end);
    }
    at = end;
  }
  return runs;
}

void put_big_endian(std::string& out, std::size_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void put_little_endian(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void put_number(std::string& out, std::uint64_t value) {
  for (;;) {
    const auto low = static_cast<char>(value & 0x7F);
    value >>= 7;
    if (value == 0) {
      out.push_back(static_cast<char>(0x80 | low));
      return;
    }
    out.push_back(low);
    --value;
  }
}

// Reads patch bytes from the front; every read is checked against the end.
class PatchReader {
 public:
  explicit PatchReader(std::string_view patch) : bytes_(bytes_of(patch)) {}
  bool take(std::size_t n, std::span<const std::uint8_t>& out) {
    if (bytes_.size() - at_ < n) return false;
    out = bytes_.subspan(at_, n);
    at_ += n;
    return true;
  }
  bool take_big_endian(int n, std::size_t& value) {
    std::span<const std::uint8_t> b;
    if (!take(static_cast<std::size_t>(n), b)) return false;
    value = 0;
    for (const std::uint8_t byte : b) value = value << 8 | byte;
    return true;
  }
  bool take_number(std::uint64_t& value) {
    value = 0;
    std::uint64_t shift = 1;
    for (int i = 0; i < 10; ++i) {
      std::span<const std::uint8_t> b;
      if (!take(1, b)) return false;
      value += (b[0] & 0x7F) * shift;
      if (b[0] & 0x80) return true;
      shift <<= 7;
      value += shift;
    }
    return false;
  }
  std::size_t at() const { return at_; }
  std::size_t left() const { return bytes_.size() - at_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

Outcome malformed(const char* format, const std::string& why) {
  return Failure{{}, std::string("not a valid ") + format + " patch: " + why};
}

}  // namespace

std::size_t first_difference(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::size_t from) {
  // Whole blocks with memcmp, then the bytes of the block that differs.
  constexpr std::size_t kBlock = 256;
  const std::size_t size = std::min(a.size(), b.size());
  while (from + kBlock <= size && std::memcmp(a.data() + from, b.data() + from, kBlock) == 0) from += kBlock;
  while (from < size && a[from] == b[from]) ++from;
  return from;
}

std::string make_ips(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target) {
  std::string patch = "PATCH";
  for (auto [begin, end] : changed_runs(source, target, kIpsMergeGap)) {
    if (begin == kIpsEndMarker) --begin;
    while (begin < end) {
      std::size_t size = std::min(end - begin, kIpsMostRecord);
      // The next record of a long run would start at the marker: this one stops short.
      if (begin + size == kIpsEndMarker && begin + size < end) --size;
      put_big_endian(patch, begin, 3);
      put_big_endian(patch, size, 2);
      patch.append(reinterpret_cast<const char*>(target.data() + begin), size);
      begin += size;
    }
  }
  return patch + "EOF";
}

std::string make_bps(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target) {
  std::string patch = "BPS1";
  put_number(patch, source.size());
  put_number(patch, target.size());
  put_number(patch, 0);  // no metadata
  std::size_t at = 0;
  for (const auto& [begin, end] : changed_runs(source, target, 0)) {
    if (begin > at) put_number(patch, (std::uint64_t{begin - at} - 1) << 2 | 0);
    put_number(patch, (std::uint64_t{end - begin} - 1) << 2 | 1);
    patch.append(reinterpret_cast<const char*>(target.data() + begin), end - begin);
    at = end;
  }
  if (target.size() > at) put_number(patch, (std::uint64_t{target.size() - at} - 1) << 2 | 0);
  put_little_endian(patch, crc32_of(source));
  put_little_endian(patch, crc32_of(target));
  put_little_endian(patch, crc32_of(bytes_of(patch)));
  return patch;
}

Outcome apply_ips(std::span<const std::uint8_t> source, std::string_view patch, std::vector<std::uint8_t>& target) {
  PatchReader in(patch);
  std::span<const std::uint8_t> b;
  if (!in.take(5, b) || std::string_view(reinterpret_cast<const char*>(b.data()), 5) != "PATCH") {
    return malformed("IPS", "it does not start with PATCH");
  }
  target.assign(source.begin(), source.end());
  for (;;) {
    std::size_t offset = 0, size = 0;
    if (!in.take_big_endian(3, offset)) return malformed("IPS", "it ends inside a record");
    if (offset == kIpsEndMarker) return in.left() == 0 ? Outcome{} : malformed("IPS", "bytes follow EOF");
    if (!in.take_big_endian(2, size)) return malformed("IPS", "it ends inside a record");
    std::span<const std::uint8_t> data;
    std::size_t run = size;
    std::uint8_t fill = 0;
    if (size == 0) {  // a run of one byte
      if (!in.take_big_endian(2, run) || !in.take(1, data)) return malformed("IPS", "it ends inside a record");
      fill = data[0];
    } else if (!in.take(size, data)) {
      return malformed("IPS", "it ends inside a record");
    }
    if (offset + run > kIpsMostOffset + 1) return malformed("IPS", "a record passes 16 MiB");
    if (target.size() < offset + run) target.resize(offset + run, 0);
    if (size == 0) {
      std::fill_n(target.begin() + static_cast<std::ptrdiff_t>(offset), run, fill);
    } else {
      std::copy(data.begin(), data.end(), target.begin() + static_cast<std::ptrdiff_t>(offset));
    }
  }
}

Outcome apply_bps(std::span<const std::uint8_t> source, std::string_view patch, std::vector<std::uint8_t>& target) {
  if (patch.size() < 4 + 3 + 12 || patch.substr(0, 4) != "BPS1") return malformed("BPS", "it does not start with BPS1");
  const std::span<const std::uint8_t> all = bytes_of(patch);
  auto crc_at = [&](std::size_t at) {
    return static_cast<std::uint32_t>(all[at] | all[at + 1] << 8 | all[at + 2] << 16 | std::uint32_t{all[at + 3]} << 24);
  };
  const std::size_t footer = patch.size() - 12;
  if (crc32_of(all.first(footer + 8)) != crc_at(footer + 8)) return malformed("BPS", "its own checksum does not match");
  if (crc32_of(source) != crc_at(footer)) return Failure{{}, "the BPS patch was made for another image (its source checksum differs)"};
  PatchReader in(patch.substr(0, footer));
  std::span<const std::uint8_t> b;
  in.take(4, b);
  std::uint64_t source_size = 0, target_size = 0, metadata = 0;
  if (!in.take_number(source_size) || !in.take_number(target_size) || !in.take_number(metadata) ||
      !in.take(metadata, b)) {
    return malformed("BPS", "its header is cut short");
  }
  if (source_size != source.size()) return malformed("BPS", "its source size differs from the image's");
  if (target_size > (std::uint64_t{1} << 26)) return malformed("BPS", "its target is larger than 64 MiB");
  target.assign(target_size, 0);
  std::size_t out = 0, source_copy = 0, target_copy = 0;
  while (in.left() > 0) {
    std::uint64_t action = 0;
    if (!in.take_number(action)) return malformed("BPS", "an action is cut short");
    const std::uint64_t length = (action >> 2) + 1;
    if (length > target_size - out) return malformed("BPS", "an action runs past the target");
    switch (action & 3) {
      case 0:
        if (out + length > source.size()) return malformed("BPS", "a source read runs past the source");
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(out), length, target.begin() + static_cast<std::ptrdiff_t>(out));
        break;
      case 1:
        if (!in.take(length, b)) return malformed("BPS", "its target bytes are cut short");
        std::copy(b.begin(), b.end(), target.begin() + static_cast<std::ptrdiff_t>(out));
        break;
      default: {
        std::uint64_t step = 0;
        if (!in.take_number(step)) return malformed("BPS", "a copy is cut short");
        const bool from_source = (action & 3) == 2;
        std::size_t& from = from_source ? source_copy : target_copy;
        const std::int64_t delta = (step & 1) ? -static_cast<std::int64_t>(step >> 1) : static_cast<std::int64_t>(step >> 1);
        const std::int64_t moved = static_cast<std::int64_t>(from) + delta;
        // A copy from the target reads only bytes already written.
        const bool inside = from_source ? moved >= 0 && static_cast<std::uint64_t>(moved) + length <= source.size()
                                        : moved >= 0 && static_cast<std::uint64_t>(moved) < out;
        if (!inside) return malformed("BPS", "a copy reaches outside its data");
        from = static_cast<std::size_t>(moved);
        for (std::uint64_t i = 0; i < length; ++i) {
          target[out + i] = from_source ? source[from + i] : target[from + i];
        }
        from += length;
      }
    }
    out += length;
  }
  if (out != target_size) return malformed("BPS", "its actions do not fill the target");
  if (crc32_of(target) != crc_at(footer + 4)) return malformed("BPS", "the target's checksum does not match");
  return std::nullopt;
}

}  // namespace ambergale
