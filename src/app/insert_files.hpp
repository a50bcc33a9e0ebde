// The files an insert run writes, weighed against each other and against
// the files it reads before it reads any: two outputs that would be one
// file, or an output that would replace an input, are a wrong command line;
// an output whose name already holds something other than a regular file
// is refused, as nothing could be written there without destroying it.
#pragma once

#include <string>

#include "app/insert_tool.hpp"
#include "platform/failure.hpp"

namespace ambergale {

// Where the report goes: beside the new image, named after it; nowhere when
// the new image goes to standard output (the report is printed then).
std::string insert_report_path(const InsertOptions& options);

// Whether an output goes to standard output ("-"): the run's messages then
// go to standard error only.
bool writes_standard_output(const InsertOptions& options);

// Refuses an output that is no file's name ("dir/", "."), two outputs (the
// report included) in one folder under one name, and an output in the place
// of an input (the image, the opcode file, the catalogue, an edited dump) or
// that is the same file. Folders are compared as files (device and inode)
// where they exist, so the spelling of a path does not matter; the outputs
// themselves usually do not exist yet. Reads no file.
Outcome check_output_names(const InsertOptions& options);

// Refuses an output that exists and is not a regular file: a directory, a
// device, a FIFO, a socket, a symbolic link (see check_replaceable).
Outcome check_output_targets(const InsertOptions& options);

}  // namespace ambergale
