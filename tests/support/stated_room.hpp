// The room a refusal states in characters, read back by the tests of the
// planners.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace ambergale::testing_support {

struct StatedRoom {
  std::size_t characters = 0;
  std::size_t bits = 0;
  bool over = false;  // fewer characters needed; else more
};

// The number at `at` of `text`, the position after it moved past it.
inline std::optional<std::size_t> number_at(const std::string& text, std::size_t& at) {
  const std::size_t first = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == first) return std::nullopt;
  return std::stoul(text.substr(first, at - first));
}

// Whether `text` continues at `at` with `word`, moving past it.
inline bool word_at(const std::string& text, std::size_t& at, const std::string& word) {
  if (text.compare(at, word.size(), word) != 0) return false;
  at += word.size();
  return true;
}

// The first "about N characters fewer (B bits over)" or "about N characters
// more (B bits short)" of `reason`; nothing when there is none, or when a
// count's plural is wrong. (Read by hand: GCC 12 warns falsely on
// std::regex's headers under the sanitizers.)
inline std::optional<StatedRoom> stated_room(const std::string& reason) {
  for (std::size_t start = reason.find("about "); start != std::string::npos; start = reason.find("about ", start + 1)) {
    std::size_t at = start + 6;
    StatedRoom room;
    const std::optional<std::size_t> characters = number_at(reason, at);
    if (!characters || !word_at(reason, at, " character")) continue;
    room.characters = *characters;
    const bool characters_plural = word_at(reason, at, "s");
    room.over = word_at(reason, at, " fewer (");
    if (!room.over && !word_at(reason, at, " more (")) continue;
    const std::optional<std::size_t> bits = number_at(reason, at);
    if (!bits || !word_at(reason, at, " bit")) continue;
    room.bits = *bits;
    const bool bits_plural = word_at(reason, at, "s");
    if (!word_at(reason, at, room.over ? " over)" : " short)")) return std::nullopt;
    if ((room.characters == 1) == characters_plural || (room.bits == 1) == bits_plural) return std::nullopt;
    return room;
  }
  return std::nullopt;
}

}  // namespace ambergale::testing_support
