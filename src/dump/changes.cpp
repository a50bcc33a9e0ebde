#include "dump/changes.hpp"

#include "dump/dumps.hpp"

namespace ambergale {

Refusal refusal_of(const Change& change, std::size_t column, std::string reason) {
  const Origin& origin = change.origin;
  if (origin.context.empty()) {
    return {Failure::at(origin.file, origin.line, column, std::move(reason)), {origin.order, origin.line, column}};
  }
  const Failure shown = Failure::at(kDumpFiles[change.dump].name, change.number, column, {});
  return {Failure::at(origin.file, origin.line, 0, "(" + origin.context + ", " + shown.place() + ") " + reason),
          {origin.order, origin.line, column}};
}

}  // namespace ambergale
