#include "support/tool_process.hpp"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <random>

#include "support/temp_dir.hpp"

namespace ambergale::testing_support {

ToolProcess::ToolProcess(const std::filesystem::path& dir, const std::vector<std::string>& args,
                         const std::function<void()>& in_child, const char* program) {
  const std::string tag = std::to_string(std::random_device()());
  out_path_ = std::filesystem::temp_directory_path() / ("ambergale-out-" + tag);
  err_path_ = std::filesystem::temp_directory_path() / ("ambergale-err-" + tag);
  std::vector<const char*> argv = {program};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    const int out = ::open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(dir.c_str()) != 0) _exit(126);
    if (in_child) in_child();
    ::execv(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
}

ToolProcess::~ToolProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove(out_path_, ignored);
  std::filesystem::remove(err_path_, ignored);
}

void ToolProcess::send(int signal_number) const { ::kill(pid_, signal_number); }

ProcessResult ToolProcess::wait() {
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  ProcessResult result;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_file(out_path_.string());
  result.err = read_file(err_path_.string());
  return result;
}

ProcessResult run_tool(const std::filesystem::path& dir, const std::vector<std::string>& args,
                       const std::function<void()>& in_child, const char* program) {
  ToolProcess process(dir, args, in_child, program);
  return process.wait();
}

}  // namespace ambergale::testing_support
