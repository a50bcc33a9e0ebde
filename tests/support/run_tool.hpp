// Runs the dump tool in-process in a scratch directory and captures what it
// prints, for end-to-end tests.
#pragma once

#include <cstdint>
#include <filesystem>
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

// Writes `image` (by default the small image) as Ambergale.smc and the small
// opcode file as mescmd.dat into `dir`.
void fill_inputs(const TempDir& dir, const std::vector<std::uint8_t>& image);
void fill_inputs(const TempDir& dir);

// The four dumps in `dir`, in run order.
std::vector<std::string> dumps_in(const std::filesystem::path& dir);

// The lines of a dump, which must each end in CR LF.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace ambergale::testing_support
