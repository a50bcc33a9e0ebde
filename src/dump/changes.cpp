#include "dump/changes.hpp"

namespace ambergale {

Refusal refusal_of(const Change& change, std::size_t column, std::string reason) {
  const Origin& origin = change.origin;
  if (origin.context.empty()) return {Failure::at(origin.file, origin.line, column, std::move(reason)), item_of(origin), column};
  const std::string where = column > 0 ? ", character " + std::to_string(column) + " of the translation" : "";
  return {Failure::at(origin.file, origin.line, 0, "(" + origin.context + where + ") " + reason), item_of(origin), column};
}

Refusal entry_refusal(const Origin& origin, std::string reason) {
  const std::string context = origin.context.empty() ? "" : "(" + origin.context + ") ";
  return {Failure::at(origin.file, origin.line, 0, context + reason), item_of(origin), 0};
}

}  // namespace ambergale
