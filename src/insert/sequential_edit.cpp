#include "insert/sequential_edit.hpp"

#include "cartridge/cartridge.hpp"
#include "cartridge/cartridge_map.hpp"
#include "encode/encoder.hpp"

namespace ambergale {

namespace {

using namespace cartridge_map;

constexpr const char* kFile = "wordlist2.txt";

std::string where(std::size_t line) { return std::string(kFile) + ":" + std::to_string(line); }

}  // namespace

Outcome insert_sequential_edits(const std::vector<SequentialMessage>& block, LineDictionaries dictionaries,
                                const encode::MessageCoder& coder, std::uint16_t newline,
                                const std::vector<ChangedLine>& changed, std::span<std::uint8_t> image,
                                SequentialEdits& edits) {
  for (const ChangedLine& line : changed) {
    const SequentialMessage& message = block[line.number - 1];
    const std::string name = "[" + address_text(kMessageBank, message.address) + "]";
    if (message.units.empty() || message.units.back() != 0xFFFF) {
      return Failure{where(line.number), name + " has no end code within its " + std::to_string(kSequentialWindow) +
                                             "-byte window, so the bytes it takes are not its own: it cannot be rewritten"};
    }
    const auto bytes = static_cast<std::size_t>(message.size);
    const BitWindow window{8 * bytes - 7, 8 * bytes, static_cast<std::size_t>(message.bits),
                           name + " takes " + std::to_string(bytes) + " bytes"};
    const std::string_view identifier = line_identifier(kFile, line.edited);
    EncodedLine encoded;
    if (Outcome failure = encode_line(where(line.number), line.edited.substr(identifier.size()), message.units,
                                      dictionaries, coder, newline, "text trees", encoded, &window)) {
      return failure;
    }
    // The bits after the end code are the original's: the bytes change no
    // more than the text does.
    std::vector<std::uint8_t>& written = encoded.encoded.bytes;
    const std::size_t offset = static_cast<std::size_t>(rom_offset(kMessageBank, message.address));
    if (const std::size_t used = encoded.encoded.bits % 8; used != 0) {
      const auto keep = static_cast<std::uint8_t>(0xFF00 >> used);
      written.back() = static_cast<std::uint8_t>((written.back() & keep) | (image[offset + bytes - 1] & ~keep));
    }
    edits.expected.emplace_back(line.number, std::string(identifier) + encoded.read_back);
    // A text that stands for what the message held keeps its bits.
    if (encode::opened(coder, message.units) == encoded.literal) continue;
    // Only the bytes that differ are rewritten: a message that reads them
    // (a word-list line's) must move, one that does not can stay.
    std::size_t first = 0, last = bytes;
    while (first < bytes && written[first] == image[offset + first]) ++first;
    while (last > first && written[last - 1] == image[offset + last - 1]) --last;
    if (first == last) continue;
    encode::put_bytes(image, kMessageBank, message.address, written);
    edits.writes.push_back({offset, bytes});
    edits.rewritten.push_back({{message.address + static_cast<int>(first), message.address + static_cast<int>(last)},
                               message.address, line.edited.substr(identifier.size()), encoded.read_back});
  }
  return std::nullopt;
}

}  // namespace ambergale
