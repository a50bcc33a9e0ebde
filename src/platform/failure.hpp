// Why something failed, in words for the user: the one way every layer
// reports a failure. A layer fills in what it knows: the reason where the
// failure happens, the file (as the user named it) in the layer that knows
// which file it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace ambergale {

// A file's name as messages give it: as the user wrote it, and '' for an
// empty one, so that a message never names nothing.
inline std::string shown_name(const std::string& name) { return name.empty() ? "''" : name; }

struct Failure {
  std::string file;    // the file or folder it concerns; empty until a layer names it
  std::string reason;  // what went wrong, e.g. "cannot open: No such file or directory"
  bool cannot_open = false;  // the file could not be opened at all
  int error = 0;             // the errno of a failed system call, or 0
  std::size_t line = 0;      // where in the file, 1-based; 0 when the failure has no place there
  std::size_t column = 0;    // in characters, 1-based; 0 for a whole line

  // A failure at LINE[:COLUMN] of `file`.
  static Failure at(std::string file, std::size_t line, std::size_t column, std::string reason) {
    return Failure{std::move(file), std::move(reason), false, 0, line, column};
  }

  // Names the file (an empty name shows as ''), unless a lower layer
  // already did.
  Failure& about(const std::string& name) {
    if (file.empty()) file = shown_name(name);
    return *this;
  }
  bool operator==(const Failure&) const = default;

  // "FILE[:LINE[:COLUMN]]", or nothing when nothing is named.
  std::string place() const {
    std::string named = file;
    if (line > 0) named += ":" + std::to_string(line);
    if (line > 0 && column > 0) named += ":" + std::to_string(column);
    return named;
  }
  // "PLACE: reason", or the reason alone.
  std::string text() const {
    const std::string named = place();
    return named.empty() ? reason : named + ": " + reason;
  }
};

// Nothing when the operation succeeded, else why it failed.
using Outcome = std::optional<Failure>;

// A failure of a system call: "ACTION: strerror(error)", with its errno.
Failure system_failure(const char* action, int error);

}  // namespace ambergale
