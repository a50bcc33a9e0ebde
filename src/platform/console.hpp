// Writing to standard output and standard error, and making sure both (and
// standard input) are open.
#pragma once

#include <string_view>

#include "platform/failure.hpp"

namespace ambergale {

// Opens /dev/null onto each of descriptors 0, 1 and 2 that is closed, so no
// file the tool opens later can take one of their numbers and receive what
// it prints (or be read as its standard input).
void open_standard_descriptors();

// Writes `text` to descriptor `fd` (1 or 2). A failed write is dropped: it
// neither ends the run nor raises SIGPIPE (a pipe nobody reads).
void write_console(int fd, std::string_view text);

// The path that names standard output, as an output file.
inline constexpr const char* kStandardOutput = "-";

// Writes all of `bytes` to standard output, or fails with "cannot write:
// reason", naming standard output. A reader that went away raises SIGPIPE,
// as for any writer in a pipeline.
Outcome write_standard_output(std::string_view bytes);

}  // namespace ambergale
