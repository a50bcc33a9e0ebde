#include "dump/changes.hpp"

namespace ambergale {

namespace {

// "(CTX, character N of the translation) ": where in a catalogue entry.
std::string entry_place(const Origin& origin, std::size_t column) {
  std::string place = origin.context;
  if (column > 0) place += (place.empty() ? "" : ", ") + std::string("character ") + std::to_string(column) + " of the translation";
  return place.empty() ? place : "(" + place + ") ";
}

}  // namespace

Refusal refusal_of(const Change& change, std::size_t column, std::string reason) {
  const Origin& origin = change.origin;
  if (origin.context.empty()) return {Failure::at(origin.file, origin.line, column, std::move(reason)), item_of(origin), column};
  return entry_refusal(origin, column, std::move(reason));
}

Refusal entry_refusal(const Origin& origin, std::size_t column, std::string reason) {
  return {Failure::at(origin.file, origin.line, 0, entry_place(origin, column) + reason), item_of(origin), column};
}

}  // namespace ambergale
