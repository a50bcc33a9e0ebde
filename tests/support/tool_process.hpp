// Runs the built dump tool as a real process, for the cases that need one:
// signals, two runs at once, resource limits.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace ambergale::testing_support {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when a signal ended the process
  int signal = 0;   // the signal that ended it, or 0
  std::string out;
  std::string err;
};

class ToolProcess {
 public:
  // Starts `ambergale-dump ARGS...` (or `program`) in `dir`; `in_child` runs
  // in the child just before the program starts (to set limits, say).
  ToolProcess(const std::filesystem::path& dir, const std::vector<std::string>& args,
              const std::function<void()>& in_child = {}, const char* program = AMBERGALE_TOOL_PATH);
  ~ToolProcess();
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  void send(int signal_number) const;
  ProcessResult wait();

 private:
  pid_t pid_ = -1;
  std::filesystem::path out_path_;
  std::filesystem::path err_path_;
};

// Runs the tool to its end.
ProcessResult run_tool(const std::filesystem::path& dir, const std::vector<std::string>& args,
                       const std::function<void()>& in_child = {}, const char* program = AMBERGALE_TOOL_PATH);

}  // namespace ambergale::testing_support
