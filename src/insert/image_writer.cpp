#include "insert/image_writer.hpp"

#include <algorithm>

#include "insert/checksum.hpp"

namespace ambergale {

namespace {

std::vector<Extent> merged(std::vector<Extent> extents) {
  std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
  std::vector<Extent> out;
  for (const Extent& extent : extents) {
    if (extent.size == 0) continue;
    if (!out.empty() && extent.offset <= out.back().offset + out.back().size) {
      out.back().size = std::max(out.back().offset + out.back().size, extent.offset + extent.size) - out.back().offset;
    } else {
      out.push_back(extent);
    }
  }
  return out;
}

}  // namespace

ImageWriter::ImageWriter(std::span<std::uint8_t> target, std::vector<Extent> owned)
    : target_(target), owned_(merged(std::move(owned))) {}

bool ImageWriter::owns(std::size_t offset, std::size_t size) const {
  // The last owned extent that starts at or before `offset` must hold it all.
  const auto after = std::upper_bound(owned_.begin(), owned_.end(), offset,
                                      [](std::size_t at, const Extent& extent) { return at < extent.offset; });
  if (after == owned_.begin()) return false;
  const Extent& extent = *std::prev(after);
  return offset + size <= extent.offset + extent.size;
}

Outcome ImageWriter::write(std::size_t offset, std::span<const std::uint8_t> bytes) {
  if (offset > target_.size() || bytes.size() > target_.size() - offset || !owns(offset, bytes.size())) {
    return Failure{{}, "internal error: the plan writes " + std::to_string(bytes.size()) + " bytes at offset " +
                           std::to_string(offset) + ", which it does not own; nothing written"};
  }
  std::copy(bytes.begin(), bytes.end(), target_.begin() + static_cast<std::ptrdiff_t>(offset));
  written_.push_back({offset, bytes.size()});
  return std::nullopt;
}

Outcome write_plan(const InsertPlan& plan, ChecksumPolicy policy, std::span<const std::uint8_t> source,
                   std::span<std::uint8_t> target, bool& checksum_rewritten) {
  std::vector<Extent> owned = plan.owned();
  const std::size_t checksum = header_checksum_offset();
  owned.push_back({checksum, 4});
  ImageWriter writer(target, std::move(owned));
  for (const Extent& write : plan.writes()) {
    if (Outcome failure = writer.write(write.offset, plan.draft().subspan(write.offset, write.size))) return failure;
  }
  checksum_rewritten = false;
  // No changed byte, no byte written: the checksum follows the edits only.
  if (std::equal(source.begin(), source.end(), target.begin(), target.end())) return std::nullopt;
  const std::optional<std::array<std::uint8_t, 4>> pair = checksum_bytes(policy, source, target);
  if (!pair) return std::nullopt;
  checksum_rewritten = true;
  return writer.write(checksum, *pair);
}

}  // namespace ambergale
