// The places around the decoding: endless and odd input files, planted and
// busy output folders, two runs at once, interruptions, write errors,
// runaway output and lack of memory. Each ends with the dumps complete or
// with a message, exit status 1 and no file left behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "cartridge/cartridge.hpp"
#include "sample/sample_content.hpp"
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
using testing_support::RunResult;
using testing_support::run_in;
using testing_support::run_tool;
using testing_support::small_image;
using testing_support::TempDir;
using testing_support::ToolProcess;
using testing_support::write_file;
using testing_support::write_image;

bool has_temporary_file(const TempDir& dir) {
  for (const std::string& name : files_in(dir)) {
    if (name.find(".tmp") != std::string::npos) return true;
  }
  return false;
}

TEST(HostileEnvironment, OddInputFilesEndWithAMessageNamingThem) {
  TempDir dir;
  fill_inputs(dir);
  std::filesystem::create_directory(dir.file("folder"));
  std::filesystem::create_symlink("loop", dir.file("loop"));
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{"folder"}, "ambergale-dump: folder: cannot read: Is a directory\n"},
      {{"loop"}, "ambergale-dump: loop: cannot open: Too many levels of symbolic links\n"},
      {{"-m", "folder"}, "ambergale-dump: folder: cannot read: Is a directory\n"},
      {{"-m", "/dev/zero"}, "ambergale-dump: /dev/zero: its header and 256 data lines pass 16777216 bytes (16 MiB)\n"},
      {{"-o", "missing"}, "ambergale-dump: missing: cannot open the output folder: No such file or directory\n"},
      {{"-o", "Ambergale.smc"}, "ambergale-dump: Ambergale.smc: cannot open the output folder: Not a directory\n"},
  };
  const std::vector<std::string> inputs = files_in(dir);
  for (const auto& [args, message] : cases) {
    const RunResult r = run_in(dir, args);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_EQ(r.err, message);
    EXPECT_EQ(files_in(dir), inputs);
  }
}

TEST(HostileEnvironment, AnEndlessImageIsReadOnlyAsFarAsAnImage) {
  TempDir dir;
  fill_inputs(dir);
  const RunResult r = run_in(dir, {"/dev/zero"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
            "ambergale-dump: /dev/zero: larger than a cartridge image of 4194304 bytes (4 MiB); only its first 4 MiB are dumped");
}

TEST(HostileEnvironment, HeaderedAndLongerImagesGiveTheDumpsOfTheImage) {
  TempDir plain;
  fill_inputs(plain);
  ASSERT_EQ(run_in(plain, {}).status, 0);
  std::vector<std::uint8_t> headered(kCopierHeaderSize, 0x5A);
  headered.insert(headered.end(), small_image().begin(), small_image().end());
  std::vector<std::uint8_t> longer = small_image();
  longer.resize(kImageSize + (1 << 20), 0xEE);
  const std::pair<std::vector<std::uint8_t>, std::string> cases[] = {
      {headered, "ambergale-dump: Ambergale.smc: skipped the 512-byte copier header in front of the image\n"},
      {longer, "ambergale-dump: Ambergale.smc: larger than a cartridge image of 4194304 bytes (4 MiB); only its first 4 MiB are dumped\n"},
  };
  for (const auto& [image, note] : cases) {
    TempDir dir;
    fill_inputs(dir, image);
    const RunResult r = run_in(dir, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, note);
    EXPECT_EQ(dumps_in(dir.path()), dumps_in(plain.path()));
  }
}

TEST(HostileEnvironment, AnImageFromAPipeIsReadNoFurtherThanAFile) {
  TempDir plain;
  fill_inputs(plain);
  ASSERT_EQ(run_in(plain, {}).status, 0);
  TempDir dir;
  fill_inputs(dir);
  ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
  // Held open before the run opens it (a FIFO opened for reading and
  // writing has a writer), and fed by a thread with more than an image. When
  // the run and the keeper have closed it, the rest of the feed fails.
  const int keeper = ::open(dir.file("pipe").c_str(), O_RDWR);
  ASSERT_GE(keeper, 0);
  std::thread feed([&] {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    const int writer = ::open(dir.file("pipe").c_str(), O_WRONLY);
    std::vector<std::uint8_t> image = small_image();
    image.resize(image.size() + (1 << 20), 0xEE);
    for (std::size_t at = 0; writer >= 0 && at < image.size();) {
      const ssize_t n = ::write(writer, image.data() + at, image.size() - at);
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::close(writer);
  });
  const RunResult r = run_in(dir, {"pipe"});
  ::close(keeper);
  feed.join();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "ambergale-dump: pipe: larger than a cartridge image of 4194304 bytes (4 MiB); only its first 4 MiB are dumped\n");
  EXPECT_EQ(dumps_in(dir.path()), dumps_in(plain.path()));
}

TEST(HostileEnvironment, TheOutputCeilingStopsARunawayRun) {
  TempDir dir;
  fill_inputs(dir, testing_support::runaway_image(5));
  const RunResult r = run_in(dir, {"--max-output", "1M"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: wordlist.txt: the run's output passes its ceiling of 1048576 bytes (raise it with --max-output)\n");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat"}));
}

TEST(HostileEnvironment, AFolderInUseIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  fill_inputs(dir);
  // Another run holds the folder's lock file.
  const int held = ::open(dir.file(".ambergale.lock").c_str(), O_RDONLY | O_CREAT, 0644);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const ProcessResult r = run_tool(dir.path(), {});
  ::close(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: .: another run is writing its dumps in this folder\n");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{".ambergale.lock", "Ambergale.smc", "mescmd.dat"}));
}

TEST(HostileEnvironment, TwoRunsInOneFolderNeverMixTheirDumps) {
  // The expected dumps of two different images.
  TempDir a_alone;
  TempDir b_alone;
  fill_inputs(a_alone);
  fill_inputs(b_alone, sample::make_sample(2).layout.image);
  ASSERT_EQ(run_in(a_alone, {}).status, 0);
  ASSERT_EQ(run_in(b_alone, {}).status, 0);
  const std::vector<std::string> a = dumps_in(a_alone.path());
  const std::vector<std::string> b = dumps_in(b_alone.path());

  TempDir dir;
  fill_inputs(dir);
  std::filesystem::copy_file(b_alone.file("Ambergale.smc"), dir.file("b.smc"));
  for (int round = 0; round < 20; ++round) {
    ToolProcess run_a(dir.path(), {"Ambergale.smc"});
    ToolProcess run_b(dir.path(), {"b.smc"});
    const ProcessResult ra = run_a.wait();
    const ProcessResult rb = run_b.wait();
    for (const ProcessResult* r : {&ra, &rb}) {
      EXPECT_TRUE(r->status == 0 || r->err == "ambergale-dump: .: another run is writing its dumps in this folder\n")
          << r->status << " " << r->err;
    }
    const std::vector<std::string> now = dumps_in(dir.path());
    EXPECT_TRUE(now == a || now == b) << "round " << round;
    EXPECT_FALSE(has_temporary_file(dir));
  }
}

TEST(HostileEnvironment, AnInterruptedRunLeavesNoTemporaryFile) {
  TempDir dir;
  fill_inputs(dir, testing_support::runaway_image(6));
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    for (const int delay_ms : {50, 250}) {
      ToolProcess run(dir.path(), {});
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      run.send(signal_number);
      const ProcessResult r = run.wait();
      EXPECT_TRUE(r.signal == signal_number || r.status == 0) << r.status << " " << r.err;
      EXPECT_FALSE(has_temporary_file(dir));
      if (r.signal == signal_number) {
        EXPECT_EQ(files_in(dir), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat"}));
      }
    }
  }
}

TEST(HostileEnvironment, AnImageThatShrinksUnderTheRunEndsItWithAMessage) {
  TempDir dir;
  fill_inputs(dir, testing_support::runaway_image(6));
  ToolProcess run(dir.path(), {});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::filesystem::resize_file(dir.file("Ambergale.smc"), 0);
  const ProcessResult r = run.wait();
  // Read past its new end, the mapped image gives a bus error, unless the run
  // had already read all it needed.
  if (r.status != 0) {
    EXPECT_EQ(r.status, 1) << r.signal;
    EXPECT_EQ(r.err, "ambergale-dump: Ambergale.smc: the image file changed while it was read\n");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat"}));
  }
  EXPECT_FALSE(has_temporary_file(dir));
}

TEST(HostileEnvironment, AWriteErrorStopsTheRunAndLeavesNoFile) {
  TempDir dir;
  fill_inputs(dir, testing_support::runaway_image(5));
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult r = run_tool(dir.path(), {}, [] {
    const rlimit limit{1 << 20, 1 << 20};  // no file past 1 MiB
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ambergale-dump: wordlist.txt: cannot write: File too large\n");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat"}));
  // Stopped at the error, not after decoding the rest (over 100 MB of dumps).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory needs an unlimited address space
TEST(HostileEnvironment, RunningOutOfMemoryIsAMessageNotACrash) {
  TempDir dir;
  fill_inputs(dir);
  // Opcode 1, which every script of the image holds, gets a 12 MiB
  // template: each of its lines wants room for 36 MiB.
  write_file(dir.file("mescmd.dat"), "h\nop\t0\t0\t0\nend\t0\t0\t0\t" + std::string(12 << 20, '@') + "\n");
  const ProcessResult r = run_tool(dir.path(), {}, [] {
    const rlimit limit{48 << 20, 48 << 20};
    setrlimit(RLIMIT_AS, &limit);
  });
  EXPECT_EQ(r.status, 1) << r.signal;
  EXPECT_EQ(r.err, "ambergale-dump: out of memory\n");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{"Ambergale.smc", "mescmd.dat"}));
}
#endif

}  // namespace
}  // namespace ambergale
