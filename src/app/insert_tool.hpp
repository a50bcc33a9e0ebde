// The insert tool: its command line, and the run that reads the image, the
// opcode file and the edited dumps, inserts the edits and writes the new
// image, its patches and a report of what the run did.
//
//   ambergale-insert [-d DIR] [-m FILE] [--encoding ENC] [--bps FILE] [--ips FILE]
//                    [--free BB:AAAA-BBBB]... [--seq fixed] [--checksum auto|fix|keep] [--newline 1200|1700]
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
  Encoding encoding = Encoding::shift_jis;  // of the edited dumps
  InsertSettings settings;
  bool check = false;    // check and report, write nothing
  bool strict_tags = false;  // --po: controls keep their order too
  bool help = false;
  bool version = false;
};

Outcome parse_insert_options(int argc, const char* const* argv, InsertOptions& options);

const char* insert_usage_text();

// Runs the tool as `argv` asks; returns the exit status: 0 when the new image
// was written (or the check passed), 1 when the run failed or refused the
// edits, 2 for a wrong command line.
int run_insert_tool(int argc, const char* const* argv);

}  // namespace ambergale
