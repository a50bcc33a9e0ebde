// Reading a text file within bounds on its size, its lines and their
// number, for the files a user edits (the dumps, a catalogue): the bounds
// are checked as the bytes arrive, so a file far past them (a line of 100
// MB, /dev/zero, millions of short lines from a pipe) is refused as soon as
// it passes one, having cost no more memory than the bytes allowed and a
// read buffer.
#pragma once

#include <cstddef>
#include <string>

#include "platform/failure.hpp"

namespace ambergale {

// A line ends at LF, a CR right before the LF belongs to the line end, and a
// last line needs no LF, as the inserter splits a dump into lines.
struct TextBounds {
  std::size_t most_bytes = 0;  // of the whole file, line ends included
  std::size_t most_line = 0;   // of one line, its line end not counted
  std::size_t most_lines = 0;
  // What each bound is, in the user's terms, said after it: e.g. "the most
  // a line of this dump can hold", "the dump of the image has 3049".
  std::string bytes_why;
  std::string line_why;
  std::string lines_why;
};

// Reads the text file at `path` ("-": standard input) into `contents`, or
// refuses it where it passes a bound: "line 12 is longer than 65536 bytes,
// LINE_WHY", "more than 3049 lines (line 3050 is one too many), LINES_WHY"
// or "larger than 1048576 bytes (passed in line 9), BYTES_WHY". Every
// failure names the file as input_name does; one that could not be opened
// is cannot_open, with its errno.
Outcome read_bounded_text(const std::string& path, const TextBounds& bounds, std::string& contents);

}  // namespace ambergale
