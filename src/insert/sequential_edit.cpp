#include "insert/sequential_edit.hpp"

#include "cartridge/cartridge_map.hpp"
#include "encode/character_room.hpp"
#include "encode/encoder.hpp"
#include "insert/edit_set.hpp"
#include "text/code_units.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "wordlist2.txt";

// The message's bytes with the new text, the bits after its end code the
// original's: the bytes change no more than the text does.
void keep_trailing_bits(const EncodedLine& encoded, std::span<const std::uint8_t> old, std::vector<std::uint8_t>& bytes) {
  if (const std::size_t used = encoded.encoded.bits % 8; used != 0) {
    const auto keep = static_cast<std::uint8_t>(0xFF00 >> used);
    bytes.back() = static_cast<std::uint8_t>((bytes.back() & keep) | (old[bytes.size() - 1] & ~keep));
  }
}

// Plans one change; refused with a reason.
Outcome plan_message(const LineCoding& coding, const SequentialMessage& message, const Change& change, InsertPlan& plan) {
  const std::string name = "[" + address_text(kMessageBank, message.address) + "]";
  if (Outcome failure = check_rewritable(message)) return failure;
  const auto bytes = static_cast<std::size_t>(message.size);
  const BitSpan span = fixed_length_bits(bytes);
  const BitWindow window{span.least, span.most, static_cast<std::size_t>(message.bits),
                         name + " takes " + encode::counted(bytes, "byte"), encode::character_bits(coding.coder, message.units)};
  const std::string_view identifier = line_identifier(kFile, change.edited);
  const std::string_view text = std::string_view(change.edited).substr(identifier.size());
  EncodedLine encoded;
  if (Outcome failure = encode_line(coding, {text, message.units, &window}, encoded)) return failure;
  const std::size_t offset = static_cast<std::size_t>(rom_offset(kMessageBank, message.address));
  const std::span<const std::uint8_t> old = plan.draft().subspan(offset, bytes);
  std::vector<std::uint8_t>& written = encoded.encoded.bytes;
  keep_trailing_bits(encoded, old, written);
  plan.expect_line(1, change.number, std::string(identifier) + encoded.read_back);
  // A text that stands for what the message held keeps its bits.
  if (encode::opened(coding.coder, message.units) == encoded.literal) return std::nullopt;
  // Only the bytes that differ are rewritten: a message that reads them
  // (a word-list line's) must move, one that does not can stay.
  std::size_t first = 0, last = bytes;
  while (first < bytes && written[first] == old[first]) ++first;
  while (last > first && written[last - 1] == old[last - 1]) --last;
  if (first == last) return std::nullopt;
  plan.claim(offset, bytes);
  plan.write(kMessageBank, message.address, written);
  plan.rewritten.push_back({{message.address + static_cast<int>(first), message.address + static_cast<int>(last)},
                            message.address, text, encoded.read_back, &change});
  return std::nullopt;
}

}  // namespace

Outcome check_rewritable(const SequentialMessage& message) {
  if (ends_with_end_code(message.units)) return std::nullopt;
  return Failure{{}, "[" + address_text(kMessageBank, message.address) + "] has no end code within its " +
                         std::to_string(kSequentialWindow) + "-byte window, so the bytes it takes are not its own: it cannot be rewritten"};
}

void plan_sequential_edits(const ImageView& image, const LineCoding& coding, std::span<const Change> changes,
                           InsertPlan& plan) {
  for (const Change& change : changes) {
    const SequentialMessage& message = image.map.block[change.number - 1];
    if (Outcome failure = plan_message(coding, message, change, plan)) {
      plan.refuse(refusal_of(change, failure->column, failure->reason));
    }
  }
  plan.counts.sequential_rewritten = plan.rewritten.size();
}

}  // namespace ambergale
