// The one writer of a new image. It carries out a plan: each write is
// checked, when it is made, against the extents the plan owns, and a byte
// outside them is refused, so a planner's slip can never reach the image
// unsaid. What it wrote is kept for the proof.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "insert/plan.hpp"
#include "platform/failure.hpp"

namespace ambergale {

class ImageWriter {
 public:
  // Writes into `target`, a copy of the original image; `owned` are the
  // extents the plan may write.
  ImageWriter(std::span<std::uint8_t> target, std::vector<Extent> owned);

  // Writes `bytes` at `offset`; refused, writing nothing, when any of them
  // lies outside the owned extents.
  Outcome write(std::size_t offset, std::span<const std::uint8_t> bytes);

  std::span<const std::uint8_t> image() const { return target_; }
  // Every write made, in order.
  const std::vector<Extent>& written() const { return written_; }

 private:
  bool owns(std::size_t offset, std::size_t size) const;

  std::span<std::uint8_t> target_;
  std::vector<Extent> owned_;  // sorted, merged
  std::vector<Extent> written_;
};

// Carries out `plan` into `target` (a copy of the original `source`), then
// applies the checksum policy when a byte changed. Returns whether the
// checksum was rewritten in `checksum_rewritten`.
Outcome write_plan(const InsertPlan& plan, ChecksumPolicy policy, std::span<const std::uint8_t> source,
                   std::span<std::uint8_t> target, bool& checksum_rewritten);

}  // namespace ambergale
