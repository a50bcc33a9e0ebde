// The room a refusal states in characters, read back by the tests of the
// planners.
#pragma once

#include <cstddef>
#include <optional>
#include <regex>
#include <string>

namespace ambergale::testing_support {

struct StatedRoom {
  std::size_t characters = 0;
  std::size_t bits = 0;
  bool over = false;  // fewer characters needed; else more
};

// The first "about N characters fewer (B bits over)" or "about N characters
// more (B bits short)" of `reason`; nothing when there is none, or when a
// count's plural is wrong.
inline std::optional<StatedRoom> stated_room(const std::string& reason) {
  static const std::regex pattern(R"(about (\d+) character(s?) (fewer|more) \((\d+) bit(s?) (over|short)\))");
  std::smatch match;
  if (!std::regex_search(reason, match, pattern)) return std::nullopt;
  const StatedRoom room{std::stoul(match[1]), std::stoul(match[4]), match[3] == "fewer"};
  const bool plurals_right = (room.characters == 1) == match[2].str().empty() && (room.bits == 1) == match[5].str().empty();
  if (!plurals_right || room.over != (match[6] == "over")) return std::nullopt;
  return room;
}

}  // namespace ambergale::testing_support
