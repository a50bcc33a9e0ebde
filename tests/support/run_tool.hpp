// Runs the dump tool in-process in a scratch directory and captures what it
// prints, for end-to-end tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace ambergale::testing_support {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

// Runs `ambergale-dump ARGS...` with `dir` as the working directory.
RunResult run_in(const TempDir& dir, std::vector<const char*> args);

// The names of the files in `dir`, sorted.
std::vector<std::string> files_in(const TempDir& dir);

void write_image(const TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes);

// The lines of a dump, which must each end in CR LF.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace ambergale::testing_support
