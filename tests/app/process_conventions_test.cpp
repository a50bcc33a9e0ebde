// The tool as a process among others, run for real: FIFOs that wait for
// their writer, standard input as the image or the opcode file, signals
// ignored at start, closed standard descriptors, a standard error nobody
// reads, and a folder one may write but not read.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "cartridge/cartridge.hpp"
#include "support/run_tool.hpp"
#include "support/small_cartridge.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using testing_support::dumps_in;
using testing_support::files_in;
using testing_support::fill_inputs;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::run_tool;
using testing_support::small_image;
using testing_support::TempDir;
using testing_support::ToolProcess;
using testing_support::write_file;
using testing_support::write_image;

const std::vector<std::string> kInputs = {"Ambergale.smc", "mescmd.dat"};

// The dumps of an ordinary run on the small image.
const std::vector<std::string>& plain_dumps() {
  static const std::vector<std::string> dumps = [] {
    TempDir dir;
    fill_inputs(dir);
    EXPECT_EQ(run_tool(dir.path(), {}).status, 0);
    return dumps_in(dir.path());
  }();
  return dumps;
}

// Writes `bytes` into the FIFO at `path` once `delay` has passed; a reader
// that goes early makes the write fail instead of raising SIGPIPE here.
std::thread feed_later(const std::string& path, std::string bytes, std::chrono::milliseconds delay) {
  return std::thread([path, bytes = std::move(bytes), delay] {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    std::this_thread::sleep_for(delay);
    const int fd = ::open(path.c_str(), O_WRONLY);
    for (std::size_t at = 0; fd >= 0 && at < bytes.size();) {
      const ssize_t n = ::write(fd, bytes.data() + at, bytes.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    if (fd >= 0) ::close(fd);
  });
}

std::string image_bytes() { return std::string(small_image().begin(), small_image().end()); }

TEST(ProcessConventions, FifosWaitForTheirWriter) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"fifo"}, image_bytes()},
      {{"-m", "fifo"}, testing_support::small_opcode_file()},
  };
  for (const auto& [args, contents] : cases) {
    TempDir dir;
    fill_inputs(dir);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::thread writer = feed_later(dir.file("fifo"), contents, std::chrono::milliseconds(300));
    const ProcessResult r = run_tool(dir.path(), args);
    writer.join();
    EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
    EXPECT_EQ(dumps_in(dir.path()), plain_dumps()) << args[0];
  }
}

TEST(ProcessConventions, AFifoWhoseWriterGivesNothingIsRefused) {
  TempDir dir;
  fill_inputs(dir);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  std::thread writer = feed_later(dir.file("fifo"), "", std::chrono::milliseconds(100));
  const ProcessResult r = run_tool(dir.path(), {"-m", "fifo"});
  writer.join();
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: fifo: cannot read: the FIFO gave no data\n");
}

TEST(ProcessConventions, AStopWhileWaitingForAWriterWritesNothing) {
  for (const int signal_number : {SIGINT, SIGTERM}) {
    TempDir dir;
    fill_inputs(dir);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ToolProcess run(dir.path(), {"fifo"});
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    run.send(signal_number);
    const ProcessResult r = run.wait();
    EXPECT_EQ(r.signal, signal_number);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"Ambergale.smc", "fifo", "mescmd.dat"}));
  }
}

TEST(ProcessConventions, SignalsIgnoredAtStartStayIgnored) {
  TempDir dir;
  fill_inputs(dir);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  // As nohup and a shell's background job leave them.
  ToolProcess run(dir.path(), {"fifo"}, [] {
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGINT, SIG_IGN);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  run.send(SIGHUP);
  run.send(SIGINT);
  std::thread writer = feed_later(dir.file("fifo"), image_bytes(), std::chrono::milliseconds(200));
  const ProcessResult r = run.wait();
  writer.join();
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dumps_in(dir.path()), plain_dumps());
}

TEST(ProcessConventions, AStandardErrorNobodyReadsChangesNothing) {
  TempDir dir;
  std::vector<std::uint8_t> longer = small_image();
  longer.push_back(0);  // an image with a note to print
  fill_inputs(dir, longer);
  for (const bool pipe_ignored : {true, false}) {
    const ProcessResult r = run_tool(dir.path(), {}, [pipe_ignored] {
      int ends[2];
      if (::pipe(ends) != 0) _exit(125);
      ::close(ends[0]);
      ::dup2(ends[1], STDERR_FILENO);
      if (pipe_ignored) std::signal(SIGPIPE, SIG_IGN);
    });
    EXPECT_EQ(r.signal, 0) << pipe_ignored;
    EXPECT_EQ(r.status, 0) << pipe_ignored;
    EXPECT_EQ(dumps_in(dir.path()), plain_dumps());
  }
}

TEST(ProcessConventions, ClosedStandardDescriptorsAreNeverReused) {
  TempDir dir;
  fill_inputs(dir);
  // Standard input closed reads as empty, whatever names it.
  for (const char* image : {"-", "/dev/stdin"}) {
    const ProcessResult r = run_tool(dir.path(), {image}, [] { ::close(STDIN_FILENO); });
    EXPECT_EQ(r.status, 1) << image;
    EXPECT_NE(r.err.find(": 0 bytes is too short"), std::string::npos) << r.err;
    EXPECT_EQ(files_in(dir), kInputs);
  }
  // With nowhere to print, a run with a note still writes only its dumps.
  std::vector<std::uint8_t> longer = small_image();
  longer.push_back(0);
  write_image(dir, "Ambergale.smc", longer);
  const ProcessResult r = run_tool(dir.path(), {}, [] {
    ::close(STDOUT_FILENO);
    ::close(STDERR_FILENO);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dumps_in(dir.path()), plain_dumps());
}

TEST(ProcessConventions, ADashIsStandardInput) {
  TempDir dir;
  fill_inputs(dir);
  const std::string image = dir.file("Ambergale.smc");
  const std::string opcodes = dir.file("mescmd.dat");
  // A file on standard input, as the image and as the opcode file.
  const std::pair<std::vector<std::string>, std::string> redirected[] = {{{"-"}, image}, {{"-m", "-"}, opcodes}};
  for (const auto& [args, file] : redirected) {
    std::filesystem::remove_all(dir.file("out"));
    std::filesystem::create_directory(dir.file("out"));
    std::vector<std::string> all = {"-o", "out"};
    all.insert(all.end(), args.begin(), args.end());
    const ProcessResult r = run_tool(dir.path(), all, [file = file] {
      const int fd = ::open(file.c_str(), O_RDONLY);
      if (fd < 0 || ::dup2(fd, STDIN_FILENO) < 0) _exit(125);
    });
    EXPECT_EQ(r.status, 0) << args.back() << ": " << r.err;
    EXPECT_EQ(dumps_in(dir.path() / "out"), plain_dumps());
  }
  // An image from a pipe.
  std::filesystem::remove_all(dir.file("out"));
  std::filesystem::create_directory(dir.file("out"));
  const ProcessResult piped = run_tool(
      dir.path(), {"-c", std::string("cat Ambergale.smc | '") + AMBERGALE_TOOL_PATH + "' -o out -"}, {}, "/bin/sh");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(dumps_in(dir.path() / "out"), plain_dumps());
}

// A folder every user may search: an ordinary user needs one for the inputs
// and the tool, whatever TMPDIR says. Removed with its contents when it goes.
class SearchableFolder {
 public:
  SearchableFolder() {
    char name[] = "/tmp/ambergale-shared-XXXXXX";
    if (::mkdtemp(name) != nullptr) path_ = name;
    ::chmod(name, 0755);
  }
  ~SearchableFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_ / "out", std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

TEST(ProcessConventions, AFolderOneMayWriteButNotReadTakesTheDumps) {
  SearchableFolder dir;
  ASSERT_FALSE(dir.path().empty());
  write_file((dir.path() / "Ambergale.smc").string(), image_bytes());
  write_file((dir.path() / "mescmd.dat").string(), testing_support::small_opcode_file());
  const std::filesystem::path out = dir.path() / "out";
  std::filesystem::create_directory(out);
  std::function<void()> in_child;
  std::string tool = AMBERGALE_TOOL_PATH;
  if (::geteuid() == 0) {
    // Root reads every folder: the run drops to an ordinary user, with a
    // copy of the tool that user may run wherever the build lies.
    for (const std::string& input : kInputs) ::chmod((dir.path() / input).c_str(), 0644);
    tool = (dir.path() / "ambergale-dump").string();
    std::filesystem::copy_file(AMBERGALE_TOOL_PATH, tool);
    ::chmod(tool.c_str(), 0755);
    ::chmod(out.c_str(), 0733);
    in_child = [] {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(125);
    };
  } else {
    ::chmod(out.c_str(), 0333);
  }
  const ProcessResult r = run_tool(dir.path(), {"-o", "out"}, in_child, tool.c_str());
  ::chmod(out.c_str(), 0755);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dumps_in(out), plain_dumps());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(out)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"messcript.txt", "sublist.txt", "wordlist.txt", "wordlist2.txt"}));
}

}  // namespace
}  // namespace ambergale
