// Tables rebuilt for random texts, in both scopes: unless refused, every
// text must be written with them and decode back through their trees and
// dictionary, and every entry must expand within its slot.
#include <algorithm>

#include "decode/byte_tree.hpp"
#include "encode/encoder.hpp"
#include "encode/rebuilt_tables.hpp"
#include "fuzz_input.hpp"
#include "text/code_units.hpp"
#include "text/dictionary.hpp"

namespace {

using namespace ambergale;
using encode::Units;

constexpr std::size_t kMostUnits = 3000;
constexpr std::uint8_t kNextText = 0xFF;

// Each byte a unit: mostly one of 64 characters, now and then a line break
// or a control, whose argument is the next byte.
std::vector<Units> texts_of(std::span<const std::uint8_t> bytes) {
  std::vector<Units> texts(1);
  std::size_t units = 0;
  for (std::size_t i = 0; i < bytes.size() && units < kMostUnits; ++i, ++units) {
    const std::uint8_t b = bytes[i];
    if (b == kNextText) texts.emplace_back();
    else if (b < 0xF0) texts.back().push_back(static_cast<std::uint16_t>(0x20 + b % 64));
    else if (b < 0xF8) texts.back().push_back(b % 2 == 0 ? kLineBreak : kOtherLineBreak);
    else if (i + 1 < bytes.size()) texts.back().insert(texts.back().end(), {0x0016, static_cast<std::uint16_t>(0x20 + bytes[++i])});
  }
  return texts;
}

// Text trees that write every entry code and the texts' units, less those
// `dropped` picks out, which then travel in entries.
TreePair kept_trees(std::span<const Units> texts, std::uint8_t dropped) {
  Units known{kEndCode};
  for (const Units& text : texts) {
    for (const std::uint16_t unit : text) {
      if (dropped == 0 || unit % dropped != 0 || !encode::clean_unit(unit)) known.push_back(unit);
    }
  }
  for (int code = kRenderedEntryCodes.first; code <= kRenderedEntryCodes.last; ++code) known.push_back(static_cast<std::uint16_t>(code));
  const std::vector<Units> messages{known};
  return encode::build_text_coder(messages).trees();
}

// `units` as the game shows them: entries opened, end units dropped.
Units shown(std::span<const std::uint16_t> units, const Dictionary& dictionary) {
  Units result;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (kRenderedEntryCodes.holds(units[i])) {
      for (const std::uint16_t unit : code_units(dictionary.codes[units[i] - kFirstEntryCode])) {
        if (unit != kEndCode) result.push_back(unit);
      }
      continue;
    }
    result.push_back(units[i]);
    for (int a = 0; a < argument_units(units[i]) && i + 1 < units.size(); ++a) result.push_back(units[++i]);
  }
  return result;
}

void check(std::span<const Units> texts, const encode::RebuiltTables& tables) {
  Dictionary dictionary;
  const encode::MessageCoder coder = encode::writing_coder(tables, dictionary);
  for (const CodeStream& entry : dictionary.codes) {
    if (entry.size() / 2 > kEntrySlotUnits) __builtin_trap();
  }
  for (const Units& text : texts) {
    encode::EncodedMessage message;
    std::size_t unencodable = 0;
    if (!encode::encode_message(coder, text, message, unencodable)) __builtin_trap();
    CodeBuffer out;
    const TextDecode decoded = decode_text(tables.text_trees, message.bytes, static_cast<std::int32_t>(message.bytes.size()) + 2, out);
    const Units units = code_units(std::span(out).first(static_cast<std::size_t>(decoded.written)));
    if (!ends_with_end_code(units) || shown(std::span(units).first(units.size() - 1), dictionary) != text) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  std::uint8_t dropped[1];
  in.take(dropped);
  const std::vector<Units> texts = texts_of(in.rest());
  const TreePair kept = kept_trees(texts, dropped[0] % 8);
  const encode::RebuildBasis basis{kept, {14, 12, 14, 12}, 0x4000};
  for (const auto scope : {encode::RebuildScope::dictionary, encode::RebuildScope::trees}) {
    const encode::RebuiltTables tables = encode::rebuild_tables(texts, basis, scope);
    if (tables.refusal.empty()) check(texts, tables);
  }
  return 0;
}
