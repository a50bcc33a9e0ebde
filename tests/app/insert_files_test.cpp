// The files an insert run names, run for real: outputs that would be one
// file or would replace an input are a wrong command line refused before
// anything is read; an output whose name holds anything but a regular file
// is left as it is; "-" is standard output; and every file a message names
// is the one the user gave, an empty name included.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "cartridge/cartridge.hpp"
#include "catalogue/po_edits.hpp"
#include "insert/patch.hpp"
#include "support/run_tool.hpp"
#include "support/small_cartridge.hpp"
#include "support/tool_process.hpp"
#include "text/hex.hpp"

namespace ambergale {
namespace {

using testing_support::fill_inputs;
using testing_support::ProcessResult;
using testing_support::read_file;
using testing_support::run_tool;
using testing_support::small_image;
using testing_support::TempDir;
using testing_support::write_file;

constexpr const char* kTryHelp = "Try 'ambergale-insert --help' for more information.\n";

ProcessResult insert(const TempDir& dir, const std::vector<std::string>& args, const std::function<void()>& in_child = {}) {
  return run_tool(dir.path(), args, in_child, AMBERGALE_INSERT_PATH);
}

// Every entry under `dir`, links not followed, with the size of each file:
// what a refused run must leave as it was.
std::map<std::string, std::uintmax_t> tree_of(const TempDir& dir) {
  std::map<std::string, std::uintmax_t> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    const std::string name = std::filesystem::relative(entry.path(), dir.path()).string();
    tree[name] = entry.is_regular_file() && !entry.is_symlink() ? entry.file_size() : 0;
  }
  return tree;
}

// The small image, its opcode file and its dumps (the edited dumps of an
// insert that changes nothing), and a folder `out`.
void fill_with_dumps(const TempDir& dir) {
  fill_inputs(dir);
  ASSERT_EQ(run_tool(dir.path(), {}).status, 0);
  std::filesystem::create_directory(dir.file("out"));
}

TEST(InsertFiles, OutputsThatWouldBeOneFileOrAnInputAreAWrongCommandLine) {
  TempDir dir;
  fill_with_dumps(dir);
  std::filesystem::create_directory_symlink("out", dir.file("same-out"));
  std::filesystem::create_hard_link(dir.file("Ambergale.smc"), dir.file("linked.smc"));
  write_file(dir.file("ja.po"), "");
  // The arguments, and the file the message names.
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", "out/new.smc", "--bps", "out/new.smc"}, "out/new.smc"},
      {{"-o", "new.smc", "--bps", "p", "--ips", "p"}, "p"},
      {{"-o", "new.smc", "--ips", "new.smc.report.txt"}, "new.smc.report.txt"},
      {{"-o", "out//new.smc", "--bps", "./out/new.smc"}, "./out/new.smc"},
      {{"-o", "same-out/new.smc", "--ips", "out/new.smc"}, "out/new.smc"},
      {{"-o", "./Ambergale.smc"}, "./Ambergale.smc"},
      {{"-o", "linked.smc"}, "linked.smc"},
      {{"-o", "new.smc", "--bps", "mescmd.dat"}, "mescmd.dat"},
      {{"-o", "new.smc", "--ips", "wordlist.txt"}, "wordlist.txt"},
      {{"-o", "new.smc", "-d", "out", "--bps", "out/sublist.txt"}, "out/sublist.txt"},  // a dump left out
      {{"-o", "ja.po", "--po", "ja.po"}, "ja.po"},
      {{"-o", "Ambergale.smc.report.txt/.."}, "Ambergale.smc.report.txt/.."},
      {{"-o", "out/"}, "out/"},
      {{"-o", "new.smc", "--bps", "out/.ambergale.lock"}, "out/.ambergale.lock"},  // removed when the lock goes
      {{"-o", "-", "--bps", "-"}, ""},
      {{"--ips", "p"}, ""},  // no -o and no --check
      {{"--bps", "", "-o", "new.smc"}, "''"},
      {{"--po", "", "-o", "new.smc"}, "''"},
  };
  const auto before = tree_of(dir);
  for (const auto& [args, named] : cases) {
    std::vector<std::string> all = args;
    all.push_back("Ambergale.smc");
    const ProcessResult r = insert(dir, all);
    EXPECT_EQ(r.status, 2) << args[1] << ": " << r.err;
    EXPECT_TRUE(r.err.ends_with(kTryHelp)) << r.err;
    EXPECT_EQ(r.err.rfind("ambergale-insert: " + named, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(tree_of(dir), before) << args[1];
  }
  // Refused before anything is read: an image that is missing, or a FIFO
  // nobody writes (whose open would wait, here until the alarm ends it),
  // does not matter.
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  for (const char* image : {"missing.smc", "fifo"}) {
    const ProcessResult r = insert(dir, {"-o", "out/new.smc", "--bps", "out/new.smc", image}, [] { ::alarm(10); });
    EXPECT_EQ(r.status, 2) << image << " " << r.signal;
  }
}

// A character device to name as an output: one made in `dir` like
// /dev/full, where the user may make one, so that a run that wrongly
// replaced it would not replace the system's; else /dev/full itself, which
// such a user cannot replace.
std::string character_device(const TempDir& dir) {
  if (::mknod(dir.file("out/full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) return "out/full";
  return ::geteuid() == 0 ? "" : "/dev/full";
}

TEST(InsertFiles, AnOutputThatIsNoRegularFileIsLeftAsItIs) {
  TempDir dir;
  fill_with_dumps(dir);
  const std::string device = character_device(dir);
  ASSERT_EQ(::mkfifo(dir.file("out/fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir.file("out/folder"));
  write_file(dir.file("out/kept.smc"), "kept");
  std::filesystem::create_symlink("kept.smc", dir.file("out/link.smc"));
  std::filesystem::create_symlink("nowhere", dir.file("out/dangling"));
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir.file("out/socket");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  // Which option names it, and what the message says it is.
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"--bps", device, "a character device"},
      {"--ips", "out/fifo", "a FIFO"},
      {"--bps", "out/socket", "a socket"},
      {"-o", "out/folder", "a directory"},
      {"-o", "out/link.smc", "a symbolic link to 'kept.smc'"},
      {"--ips", "out/dangling", "a symbolic link to 'nowhere'"},
  };
  const auto before = tree_of(dir);
  for (const auto& [option, path, kind] : cases) {
    if (path.empty()) continue;  // no device to try
    std::vector<std::string> args = {"-o", "out/new.smc", "Ambergale.smc"};
    if (std::string(option) == "-o") {
      args[1] = path;
    } else {
      args.insert(args.begin(), {option, path});
    }
    const ProcessResult r = insert(dir, args);
    EXPECT_EQ(r.status, 1) << path;
    EXPECT_EQ(r.err.rfind("ambergale-insert: " + path + ": cannot replace " + kind, 0), 0u) << r.err;
    EXPECT_EQ(tree_of(dir), before) << path;
  }
  ::close(sock);
  EXPECT_EQ(read_file(dir.file("out/kept.smc")), "kept");
  // Refused before anything is read: an image that is a FIFO nobody writes
  // is never opened (the alarm would end a run that waited for it).
  ASSERT_EQ(::mkfifo(dir.file("fifo.smc").c_str(), 0600), 0);
  const ProcessResult early = insert(dir, {"-o", "out/fifo", "fifo.smc"}, [] { ::alarm(10); });
  EXPECT_EQ(early.status, 1) << early.signal;
  // A check writes nothing, so nothing is in its way.
  EXPECT_EQ(insert(dir, {"--check", "-o", "out/folder", "Ambergale.smc"}).status, 0);
}

TEST(InsertFiles, ADashWritesAnOutputToStandardOutput) {
  TempDir dir;
  fill_with_dumps(dir);
  const std::string image = read_file(dir.file("Ambergale.smc"));
  const auto before = tree_of(dir);
  // The new image: the messages and the report on standard error, no
  // report file.
  const ProcessResult image_out = insert(dir, {"-o", "-", "Ambergale.smc"});
  EXPECT_EQ(image_out.status, 0) << image_out.err;
  EXPECT_TRUE(image_out.out == image);
  EXPECT_NE(image_out.err.find("\nlines changed: wordlist.txt 0,"), std::string::npos) << image_out.err;
  EXPECT_EQ(tree_of(dir), before);
  // A patch, beside a new image and its report.
  const ProcessResult patch_out = insert(dir, {"--bps", "-", "-o", "out/new.smc", "Ambergale.smc"});
  EXPECT_EQ(patch_out.status, 0) << patch_out.err;
  std::vector<std::uint8_t> applied;
  EXPECT_FALSE(apply_bps(small_image(), patch_out.out, applied));
  EXPECT_TRUE(applied == small_image());
  EXPECT_TRUE(read_file(dir.file("out/new.smc")) == image);
  EXPECT_NE(patch_out.err.find("\nlines changed:"), std::string::npos);
  EXPECT_EQ(read_file(dir.file("out/new.smc.report.txt")), patch_out.err.substr(patch_out.err.find('\n') + 1));
  // A check with an output "-" prints nothing there either.
  const ProcessResult check = insert(dir, {"--check", "--ips", "-", "Ambergale.smc"});
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out, "");
  EXPECT_NE(check.err, "");
  // Standard output that takes nothing: the run fails and writes no file.
  std::filesystem::remove_all(dir.file("out"));
  std::filesystem::create_directory(dir.file("out"));
  const ProcessResult full = insert(dir, {"--ips", "-", "-o", "out/new.smc", "Ambergale.smc"}, [] {
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) _exit(125);
  });
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err.rfind("ambergale-insert: standard output: cannot write", 0), 0u) << full.err;
  EXPECT_TRUE(std::filesystem::is_empty(dir.file("out")));
}

// A catalogue made for `image`: its header alone, with the image's CRC.
std::string catalogue_for(const std::vector<std::uint8_t>& image) {
  const ImageFrame frame = frame_image(image.size());
  const std::span<const std::uint8_t> bytes =
      std::span(image).subspan(frame.offset, std::min<std::size_t>(frame.size, image.size() - frame.offset));
  return "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"X-Ambergale-Image-CRC32: " +
         hex_text(image_crc(bytes), 8) + "\\n\"\n";
}

TEST(InsertFiles, AnImageThatIsNoImageIsNamedAsGiven) {
  const std::pair<std::string, std::vector<std::uint8_t>> images[] = {
      {"tiny.smc", std::vector<std::uint8_t>(3, 0x41)},
      {"zeros.smc", std::vector<std::uint8_t>(kImageSize, 0)},
  };
  for (const auto& [name, bytes] : images) {
    TempDir dir;
    fill_with_dumps(dir);
    testing_support::write_image(dir, name, bytes);
    write_file(dir.file("ja.po"), catalogue_for(bytes));
    for (const std::vector<std::string>& edits : {std::vector<std::string>{}, std::vector<std::string>{"--po", "ja.po"}}) {
      std::vector<std::string> args = edits;
      args.insert(args.end(), {"--check", name});
      const ProcessResult r = insert(dir, args);
      EXPECT_EQ(r.status, 1) << name;
      EXPECT_EQ(r.err.rfind("ambergale-insert: " + name + ": ", 0), 0u) << r.err;
    }
  }
}

TEST(InsertFiles, AMalformedOpcodeFileIsNamedAsGiven) {
  TempDir dir;
  fill_with_dumps(dir);
  write_file(dir.file("odd.dat"), "h\nop\t0\t0\t0\nop\t100000\t0\t0\tx\n");
  const ProcessResult r = insert(dir, {"--check", "-m", "odd.dat", "Ambergale.smc"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("ambergale-insert: odd.dat: line 3: ", 0), 0u) << r.err;
}

TEST(InsertFiles, AMalformedOffsetDeclarationIsNamedWhenTheDeclarationsAreUsed) {
  TempDir dir;
  fill_with_dumps(dir);
  std::string file = testing_support::small_opcode_file();
  const std::string move = "move\t2\t2\t0\tmove @w (@d)\r\n";
  file.replace(file.find(move), move.size() - 2, "move\t2\t2\t0\tmove @w (@d)\toffsets=@w @2");
  write_file(dir.file("odd.dat"), file);
  const std::vector<std::string> declared = {"--check", "-m", "odd.dat", "--relayout", "--script-offsets=declared",
                                             "Ambergale.smc"};
  const ProcessResult r = insert(dir, declared);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("ambergale-insert: odd.dat:34:36: '@2' reaches operand byte 3, but opcode 0x20 has 2 operand "
                        "bytes\n", 0), 0u) << r.err;
  // Without them the column is ignored, as the dump ignores it.
  EXPECT_EQ(insert(dir, {"--check", "-m", "odd.dat", "--relayout", "Ambergale.smc"}).status, 0);
  // A wrong choice, or declared without --relayout, is a wrong command line.
  const std::vector<std::string> wrong[] = {
      {"--check", "--relayout", "--script-offsets=some", "Ambergale.smc"},
      {"--check", "--script-offsets=declared", "Ambergale.smc"},
  };
  for (const std::vector<std::string>& args : wrong) {
    const ProcessResult wrong_line = insert(dir, args);
    EXPECT_EQ(wrong_line.status, 2) << args[2];
    EXPECT_TRUE(wrong_line.err.ends_with(kTryHelp)) << wrong_line.err;
  }
}

TEST(InsertFiles, AnEmptyNameIsQuoted) {
  TempDir dir;
  fill_with_dumps(dir);
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {AMBERGALE_TOOL_PATH, {""}},
      {AMBERGALE_TOOL_PATH, {"--output-dir=", "Ambergale.smc"}},
      {AMBERGALE_TOOL_PATH, {"-m", "", "Ambergale.smc"}},
      {AMBERGALE_INSERT_PATH, {"--check", ""}},
      {AMBERGALE_INSERT_PATH, {"--check", "-m", "", "Ambergale.smc"}},
  };
  for (const auto& [tool, args] : cases) {
    const ProcessResult r = run_tool(dir.path(), args, {}, tool);
    EXPECT_EQ(r.status, 1) << args[0];
    EXPECT_NE(r.err.find(": '': cannot "), std::string::npos) << r.err;
  }
}

TEST(InsertFiles, APlantedEntryWhereADumpGoesIsLeftAsItIs) {
  TempDir dir;
  fill_inputs(dir);
  ASSERT_EQ(::mkfifo(dir.file("wordlist2.txt").c_str(), 0600), 0);
  std::filesystem::create_symlink("Ambergale.smc", dir.file("sublist.txt"));
  const auto before = tree_of(dir);
  const ProcessResult r = run_tool(dir.path(), {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("ambergale-dump: wordlist2.txt: cannot replace a FIFO", 0), 0u) << r.err;
  EXPECT_EQ(tree_of(dir), before);
}

}  // namespace
}  // namespace ambergale

namespace ambergale {
namespace {

// Under this address space an unchanged insert of the small image runs with
// room to spare: a refused input may cost no more than another 64 MiB.
void limit_memory() {
#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer's shadow memory needs an unlimited address space
  const rlimit limit{128 << 20, 128 << 20};
  setrlimit(RLIMIT_AS, &limit);
#endif
}

TEST(InsertFiles, EditedTextsPastWhatTheImageCanHoldAreRefusedAsTheyAreRead) {
  TempDir dir;
  fill_with_dumps(dir);
  ASSERT_EQ(insert(dir, {"--check", "Ambergale.smc"}, limit_memory).status, 0);
  const std::string sublist = read_file(dir.file("sublist.txt"));
  std::string extra_lines = sublist;
  for (int k = 0; k < 1000000; ++k) extra_lines += "0FF9:\r\n";
  const std::string long_line = "0000:" + std::string(20 << 20, 'x') + "\r\n";
  const struct {
    const char* dump;
    std::string contents;  // empty: a link to /dev/zero
    std::string reason;
  } cases[] = {
      {"wordlist.txt", "", "wordlist.txt: line 1 is longer than 65536 bytes"},
      {"sublist.txt", extra_lines, "sublist.txt: more than 3049 lines"},
      {"sublist.txt", long_line, "sublist.txt: line 1 is longer than 65536 bytes"},
  };
  for (const auto& c : cases) {
    const std::string original = read_file(dir.file(c.dump));
    std::filesystem::remove(dir.file(c.dump));
    if (c.contents.empty()) {
      std::filesystem::create_symlink("/dev/zero", dir.file(c.dump));
    } else {
      write_file(dir.file(c.dump), c.contents);
    }
    const ProcessResult r = insert(dir, {"--check", "Ambergale.smc"}, limit_memory);
    EXPECT_EQ(r.status, 1) << c.reason;
    EXPECT_EQ(r.err.rfind("ambergale-insert: " + c.reason, 0), 0u) << r.err;
    std::filesystem::remove(dir.file(c.dump));
    write_file(dir.file(c.dump), original);
  }
  const ProcessResult po = insert(dir, {"--check", "--po", "/dev/zero", "Ambergale.smc"}, limit_memory);
  EXPECT_EQ(po.status, 1);
  EXPECT_EQ(po.err.rfind("ambergale-insert: /dev/zero: line 1 is longer than 65536 bytes", 0), 0u) << po.err;
}

}  // namespace
}  // namespace ambergale
