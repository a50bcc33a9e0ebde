// bench_dump DIR DUMP_TOOL [RUNS]
// Times the dump tool on the cartridge in DIR (which holds Ambergale.smc and
// mescmd.dat): the whole run as a child process (median wall time and peak
// memory), each phase in-process, and the floor on the same machine: reading
// the image and writing the same output bytes.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/load_tables.hpp"
#include "dump/dumps.hpp"
#include "dump/text_file.hpp"

namespace {

using namespace ambergale;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs the tool as a child in the working directory; returns wall ms and sets
// the child's peak resident memory in KiB.
double run_child(const std::string& tool, long& peak_kib) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    execl(tool.c_str(), tool.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double ms = ms_since(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bench: the dump tool failed\n");
    std::exit(1);
  }
  peak_kib = usage.ru_maxrss;
  return ms;
}

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_dump DIR DUMP_TOOL [RUNS]\n");
    return 2;
  }
  const std::string tool = std::filesystem::absolute(argv[2]).string();
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 15;
  std::filesystem::current_path(argv[1]);

  std::vector<double> whole;
  long peak_kib = 0;
  for (int i = 0; i < runs; ++i) {
    long kib = 0;
    whole.push_back(run_child(tool, kib));
    peak_kib = std::max(peak_kib, kib);
  }

  // The phases, in-process.
  const char* const phase_names[] = {"read image", "start-up tables", kDumpFiles[0].name, kDumpFiles[1].name,
                                     kDumpFiles[2].name, kDumpFiles[3].name};
  std::vector<std::vector<double>> phases(6);
  std::vector<double> totals;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    auto t = Clock::now();
    Cartridge cart;
    load_image("Ambergale.smc", cart);
    phases[0].push_back(ms_since(t));
    t = Clock::now();
    auto tables = std::make_unique<Tables>();
    std::string message;
    if (load_tables(cart, "mescmd.dat", *tables, message) != LoadStatus::ok) {
      std::fprintf(stderr, "bench: start-up failed: %s\n", message.c_str());
      return 1;
    }
    phases[1].push_back(ms_since(t));
    OutputDir dir;
    dir.open(".");
    OutputBudget budget;
    for (int d = 0; d < 4; ++d) {
      t = Clock::now();
      TextFile file(dir, kDumpFiles[d].name, budget);
      kDumpFiles[d].write(cart, *tables, file);
      if (file.finish() || file.install()) return 1;
      phases[2 + d].push_back(ms_since(t));
    }
    totals.push_back(ms_since(start));
  }

  // The floor: read the image, write the same bytes the dumps wrote.
  std::vector<std::string> outputs;
  std::size_t output_bytes = 0;
  for (const DumpFile& dump : kDumpFiles) {
    outputs.push_back(read_all(dump.name));
    output_bytes += outputs.back().size();
  }
  std::vector<double> floor;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    Cartridge cart;
    load_image("Ambergale.smc", cart);
    for (int d = 0; d < 4; ++d) {
      const std::string temp = std::string(kDumpFiles[d].name) + ".floor";
      std::FILE* f = std::fopen(temp.c_str(), "wb");
      std::fwrite(outputs[d].data(), 1, outputs[d].size(), f);
      std::fclose(f);
      std::filesystem::rename(temp, kDumpFiles[d].name);
    }
    floor.push_back(ms_since(start));
  }

  std::printf("runs: %d (medians), output %zu bytes\n", runs, output_bytes);
  for (int p = 0; p < 6; ++p) std::printf("  %-16s %8.2f ms\n", phase_names[p], median(phases[p]));
  std::printf("  %-16s %8.2f ms\n", "in-process total", median(totals));
  std::printf("whole run (child) %8.2f ms, peak memory %.1f MiB\n", median(whole), peak_kib / 1024.0);
  std::printf("floor (read + write) %5.2f ms\n", median(floor));
  std::printf("ratio whole run / floor: %.2f, in-process / floor: %.2f\n", median(whole) / median(floor),
              median(totals) / median(floor));
  return 0;
}
