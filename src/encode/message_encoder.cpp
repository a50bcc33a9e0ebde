#include "encode/message_encoder.hpp"

#include <limits>

#include "text/char_table.hpp"
#include "text/render.hpp"

namespace ambergale::encode {

namespace {

constexpr std::uint16_t kEnd = 0xFFFF;

// The units after a control that belong to it.
int argument_units(std::uint16_t unit) {
  if (unit == 0x0013) return 3;
  return unit == 0x0016 || unit == 0x0018 || unit == 0x0019 || unit == 0x001B ? 1 : 0;
}

bool is_character(std::uint16_t unit) { return unit < kCharTableSize && !kCharTable[unit].empty(); }

}  // namespace

MessageCoder make_message_coder(const TreePair& text_trees, const Dictionary& dictionary) {
  MessageCoder coder;
  coder.lead = codes_of_tree(text_trees.lead);
  coder.low = codes_of_tree(text_trees.low);
  coder.clean.resize(dictionary.codes.size());
  for (std::size_t e = 0; e < dictionary.codes.size(); ++e) {
    const CodeStream& stream = dictionary.codes[e];
    Units units;
    bool clean = true;
    for (std::size_t j = 0; j + 1 < stream.size() && clean; j += 2) {
      const auto unit = static_cast<std::uint16_t>(stream[j] | stream[j + 1] << 8);
      if (unit == kEnd) continue;
      clean = is_character(unit) && argument_units(unit) == 0;
      units.push_back(unit);
    }
    if (clean && !units.empty()) {
      coder.starting[units.front()].push_back(static_cast<int>(e));
      coder.clean[e] = std::move(units);
    }
  }
  return coder;
}

int unit_bits(const MessageCoder& coder, std::uint16_t unit) {
  if (unit == kEnd) return coder.lead[0].length;
  if (unit >= 0x0010 && unit <= 0x00FF) return coder.lead[unit].length;
  if (unit >= 0x0100 && unit <= 0x0FFF) {
    const int page = coder.lead[unit >> 8].length;
    const int low = coder.low[unit & 0xFF].length;
    return page > 0 && low > 0 ? page + low : 0;
  }
  return 0;
}

bool encode_message(const MessageCoder& coder, std::span<const std::uint16_t> literal, EncodedMessage& out,
                    std::size_t& unencodable) {
  const std::size_t n = literal.size();
  // Positions inside a control's arguments, where no entry may start or end.
  std::vector<bool> boundary(n + 1, true);
  for (std::size_t i = 0; i < n; ++i) {
    const int arguments = argument_units(literal[i]);
    for (int k = 1; k <= arguments && i + k < n; ++k) boundary[i + k] = false;
    i += static_cast<std::size_t>(arguments);
  }
  // The best parse of each suffix, from the end: bits, units, and the first
  // unit with where the parse goes on after it.
  struct Best {
    std::uint64_t bits = std::numeric_limits<std::uint64_t>::max();
    std::size_t count = 0;
    std::uint16_t unit = 0;
    std::size_t next = 0;
  };
  std::vector<Best> best(n + 1);
  best[n] = {static_cast<std::uint64_t>(unit_bits(coder, kEnd)), 1, kEnd, n};
  if (best[n].bits == 0) {
    unencodable = n;
    return false;
  }
  const auto offer = [&](std::size_t i, std::uint16_t unit, std::size_t next) {
    const int bits = unit_bits(coder, unit);
    if (bits == 0 || best[next].bits == std::numeric_limits<std::uint64_t>::max()) return;
    const Best candidate{best[next].bits + static_cast<std::uint64_t>(bits), best[next].count + 1, unit, next};
    const Best& now = best[i];
    if (candidate.bits < now.bits || (candidate.bits == now.bits && (candidate.count < now.count ||
                                                                    (candidate.count == now.count && unit < now.unit)))) {
      best[i] = candidate;
    }
  };
  for (std::size_t i = n; i-- > 0;) {
    offer(i, literal[i], i + 1);
    if (!boundary[i] || literal[i] >= coder.starting.size()) continue;
    for (const int e : coder.starting[literal[i]]) {
      const Units& entry = coder.clean[static_cast<std::size_t>(e)];
      if (i + entry.size() > n || !boundary[i + entry.size()] || entry.size() < 1) continue;
      if (!std::equal(entry.begin(), entry.end(), literal.begin() + static_cast<std::ptrdiff_t>(i))) continue;
      offer(i, static_cast<std::uint16_t>(kFirstDictionaryCode + e), i + entry.size());
    }
  }
  if (best[0].bits == std::numeric_limits<std::uint64_t>::max()) {
    unencodable = 0;
    while (unencodable < n && unit_bits(coder, literal[unencodable]) > 0) ++unencodable;
    return false;
  }
  Units units;
  for (std::size_t i = 0; units.empty() || units.back() != kEnd; i = best[i].next) units.push_back(best[i].unit);
  out = write_units(coder, units);
  return true;
}

EncodedMessage write_units(const MessageCoder& coder, const Units& units) {
  EncodedMessage out;
  BitWriter writer;
  for (const std::uint16_t unit : units) {
    if (unit == kEnd) {
      writer.put(coder.lead[0]);
    } else if (unit < 0x0100) {
      writer.put(coder.lead[unit]);
    } else {
      writer.put(coder.lead[unit >> 8]);
      writer.put(coder.low[unit & 0xFF]);
    }
  }
  out.units = units;
  out.bits = writer.bit_count();
  writer.pad_to_byte();
  out.bytes = writer.bytes();
  return out;
}

}  // namespace ambergale::encode
