// The timing both benchmarks share: a run of a program as a process,
// started by the measuring launcher, and the medians of many runs.
#pragma once

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

namespace fs = std::filesystem;

struct Sample {
  double wall_ms;
  double cpu_ms;
  long peak_kib;
};

// Runs `argv` in `dir` through the measuring launcher; exits on failure.
// Runs argv in DIR under `measure`, expecting its exit status `expected`.
// An insert that refuses (status 3 with --keep-going, 1 without) names each
// refusal on standard error, which then goes to DIR/refused.txt.
inline Sample run(const std::string& measure, const fs::path& dir, const std::vector<std::string>& argv, int expected = 0) {
  const bool refusing = expected != 0;
  std::string command = "'" + measure + "' '" + dir.string() + "'";
  for (const std::string& arg : argv) command += " '" + arg + "'";
  if (refusing) command += " 2>'" + (dir / "refused.txt").string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  Sample sample{};
  const bool read = pipe && std::fscanf(pipe, "%lf %lf %ld", &sample.wall_ms, &sample.cpu_ms, &sample.peak_kib) == 3;
  const int status = pipe ? pclose(pipe) : -1;
  if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != expected) {
    std::fprintf(stderr, "bench: %s failed in %s\n", argv[0].c_str(), dir.c_str());
    std::exit(1);
  }
  return sample;
}

struct Summary {
  double wall_ms;
  double cpu_ms;
  double peak_mib;
};

inline Summary summarize(const std::vector<Sample>& samples) {
  std::vector<double> wall;
  std::vector<double> cpu;
  long peak = 0;
  for (const Sample& s : samples) {
    wall.push_back(s.wall_ms);
    cpu.push_back(s.cpu_ms);
    peak = std::max(peak, s.peak_kib);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  return {wall[wall.size() / 2], cpu[cpu.size() / 2], peak / 1024.0};
}

}  // namespace bench
