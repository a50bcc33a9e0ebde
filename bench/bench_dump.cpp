// bench_dump MEASURE TOOL FLOOR RUNS DIR...
// Times the dump tool as a user runs it, a whole process, against the floor
// (bench/floor.cpp: map the image, touch the banks a dump reads, write the
// same dump bytes) on each cartridge folder DIR (Ambergale.smc and
// mescmd.dat). The tool, the floor and the floor with the tool's fsyncs run
// in turn, RUNS times each, each started by MEASURE (bench/measure.cpp);
// the table gives medians of CPU time (user + system) and wall time, the
// peak resident memory, and the ratios to both floors.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_timing.hpp"

namespace {

namespace fs = std::filesystem;
using bench::run;
using bench::Sample;
using bench::Summary;
using bench::summarize;

const char* const kDumps[] = {"wordlist.txt", "wordlist2.txt", "sublist.txt", "messcript.txt"};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: bench_dump MEASURE TOOL FLOOR RUNS DIR...\n");
    return 2;
  }
  const std::string measure = fs::absolute(argv[1]).string();
  const std::string tool = fs::absolute(argv[2]).string();
  const std::string floor = fs::absolute(argv[3]).string();
  const int runs = std::max(1, std::atoi(argv[4]));
  std::printf("%-14s %-22s %9s %9s %9s   %-17s %s\n", "cartridge", "run", "CPU ms", "wall ms", "peak MiB",
              "CPU / floor (sync)", "wall / floor (sync)");
  for (int d = 5; d < argc; ++d) {
    const fs::path dir = fs::absolute(argv[d]);
    // The tool's own dumps are what the floor writes.
    run(measure, dir, {tool});
    const fs::path reference = dir / "floor-reference";
    fs::create_directories(reference);
    std::uintmax_t bytes = 0;
    for (const char* name : kDumps) {
      fs::copy_file(dir / name, reference / name, fs::copy_options::overwrite_existing);
      bytes += fs::file_size(dir / name);
    }
    std::vector<Sample> tool_runs;
    std::vector<Sample> floor_runs;
    std::vector<Sample> synced_runs;
    for (int i = 0; i < runs; ++i) {
      tool_runs.push_back(run(measure, dir, {tool}));
      floor_runs.push_back(run(measure, dir, {floor, "Ambergale.smc", reference.string()}));
      synced_runs.push_back(run(measure, dir, {floor, "--sync", "Ambergale.smc", reference.string()}));
    }
    const Summary t = summarize(tool_runs);
    const Summary f = summarize(floor_runs);
    const Summary s = summarize(synced_runs);
    const std::string name = dir.filename().string() + " (" + std::to_string(bytes / 1000) + " kB)";
    std::printf("%-14s %-22s %9.2f %9.2f %9.2f   %5.2f (%5.2f)     %5.2f (%5.2f)\n", name.c_str(), "ambergale-dump",
                t.cpu_ms, t.wall_ms, t.peak_mib, t.cpu_ms / f.cpu_ms, t.cpu_ms / s.cpu_ms, t.wall_ms / f.wall_ms,
                t.wall_ms / s.wall_ms);
    std::printf("%-14s %-22s %9.2f %9.2f %9.2f\n", "", "floor", f.cpu_ms, f.wall_ms, f.peak_mib);
    std::printf("%-14s %-22s %9.2f %9.2f %9.2f\n", "", "floor with fsync", s.cpu_ms, s.wall_ms, s.peak_mib);
  }
  std::printf("medians of %d alternated runs each\n", runs);
  return 0;
}
