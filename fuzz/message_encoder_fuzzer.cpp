// Arbitrary text trees and arbitrary units through the encoder: whatever it
// encodes must decode back to the units it chose, in the bytes it said.
#include "decode/byte_tree.hpp"
#include "encode/message_encoder.hpp"
#include "fuzz_input.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  TreePair trees;
  in.take(std::span(trees.lead).first(768));
  in.take(std::span(trees.low).first(768));
  static const Dictionary empty_dictionary;
  const encode::MessageCoder coder = encode::make_message_coder(trees, empty_dictionary);
  encode::Units literal;
  const std::span<const std::uint8_t> rest = in.rest();
  for (std::size_t i = 0; i + 1 < rest.size() && literal.size() < 1919; i += 2) {
    const auto unit = static_cast<std::uint16_t>(rest[i] | rest[i + 1] << 8);
    if (unit != 0xFFFF) literal.push_back(unit);
  }
  encode::EncodedMessage message;
  std::size_t unencodable = 0;
  if (!encode::encode_message(coder, literal, message, unencodable)) {
    if (unencodable > literal.size()) __builtin_trap();
    return 0;
  }
  CodeBuffer back;
  const TextDecode decoded = decode_text(trees, message.bytes, static_cast<std::int32_t>(message.bytes.size()) + 2, back);
  if (decoded.written != static_cast<int>(2 * message.units.size()) || decoded.consumed != static_cast<std::int32_t>((message.bits + 7) / 8)) {
    __builtin_trap();
  }
  for (std::size_t i = 0; i < message.units.size(); ++i) {
    if ((back[2 * i] | back[2 * i + 1] << 8) != message.units[i]) __builtin_trap();
  }
  return 0;
}
