// The insert tool: its command line, and the run that reads the image, the
// opcode file and the edited dumps, inserts the edits and writes the new
// image, its patches and a report of what the run did.
//
//   ambergale-insert [-d DIR] [-m FILE] [--encoding ENC] [--bps FILE] [--ips FILE]
//                    [--free BB:AAAA-BBBB]... [--seq fixed] [--checksum auto|fix|keep] [--newline 1200|1700]
//                    [--fullwidth]
//                    (-o FILE | --check) IMAGE
#pragma once

#include <string>

#include "insert/insert_run.hpp"
#include "platform/failure.hpp"

namespace ambergale {

struct InsertOptions {
  std::string image;
  std::string output;                // the new image
  std::string dumps_dir = ".";
  bool dumps_given = false;
  std::string po;                    // translations from this PO file instead of edited dumps
  std::string opcode_file = "mescmd.dat";
  std::string bps;                   // empty: no patch
  std::string ips;
  std::string refused;               // the catalogue again, its refused entries fuzzy; empty: none
  Encoding encoding = Encoding::shift_jis;  // of the edited dumps
  InsertSettings settings;
  bool fullwidth = false;  // the ASCII of the edits written as its full-width counterparts
  bool check = false;    // check and report, write nothing
  bool strict_tags = false;  // --po: controls keep their order too
  bool seq_fixed = false;    // --seq fixed given: sequential-block messages keep their lengths
  bool help = false;
  bool version = false;
};

Outcome parse_insert_options(int argc, const char* const* argv, InsertOptions& options);

const char* insert_usage_text();

// The exit statuses of ambergale-insert.
inline constexpr int kAllInserted = 0;    // every item went in (or would, with --check)
inline constexpr int kNothingWritten = 1; // a failure, or a refusal without --keep-going
inline constexpr int kWrongCommandLine = 2;
inline constexpr int kSomeRefused = 3;    // with --keep-going or --check: some items refused, the rest in

// Runs the tool as `argv` asks; returns its exit status.
int run_insert_tool(int argc, const char* const* argv);

}  // namespace ambergale
