#include "dump/text_file.hpp"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "support/run_tool.hpp"
#include "support/temp_dir.hpp"

namespace ambergale {
namespace {

using testing_support::files_in;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

void write_lines(TextOutput& out, const std::string& text, int lines) {
  for (int i = 0; i < lines; ++i) {
    out.line_text().append(text);
    out.end_line();
  }
}

TEST(TextFile, AppearsUnderItsNameOnlyWhenInstalled) {
  TempDir dir;
  OutputDir folder;
  ASSERT_EQ(folder.open(dir.path().string()), std::nullopt);
  OutputBudget budget;
  TextFile file(folder, "out.txt", budget);
  write_lines(file, std::string("\x82\xA0\r", 3), 1);
  write_lines(file, std::string(100, 'x'), 30000);  // more than one buffer
  EXPECT_EQ(file.finish(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt")));
  EXPECT_EQ(file.install(), std::nullopt);
  std::string expected = "\x82\xA0\r\r\n";
  for (int i = 0; i < 30000; ++i) expected += std::string(100, 'x') + "\r\n";
  EXPECT_EQ(read_file(dir.file("out.txt")), expected);
  EXPECT_EQ(budget.used, expected.size());
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{".ambergale.lock", "out.txt"}));  // the lock goes with `folder`
}

TEST(TextFile, ANotInstalledFileLeavesNothingBehind) {
  TempDir dir;
  write_file(dir.file("out.txt"), "earlier");
  OutputDir folder;
  ASSERT_EQ(folder.open(dir.path().string()), std::nullopt);
  OutputBudget budget;
  {
    TextFile file(folder, "out.txt", budget);
    write_lines(file, "half", 1);
    file.hand_on();
  }
  {
    TextFile file(folder, "out.txt", budget);
    write_lines(file, "finished, never installed", 1);
    EXPECT_EQ(file.finish(), std::nullopt);
  }
  EXPECT_EQ(read_file(dir.file("out.txt")), "earlier");
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{".ambergale.lock", "out.txt"}));  // the lock goes with `folder`
}

TEST(TextFile, PlantedLinksAreNeverFollowed) {
  TempDir dir;
  write_file(dir.file("victim"), "precious");
  std::filesystem::create_symlink(dir.file("victim"), dir.file("out.txt"));
  std::filesystem::create_symlink(dir.file("victim"), dir.file("out.txt.tmp"));
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("other.txt"));
  std::filesystem::create_hard_link(dir.file("victim"), dir.file("other.txt.tmp"));
  OutputDir folder;
  ASSERT_EQ(folder.open(dir.path().string()), std::nullopt);
  OutputBudget budget;
  for (const char* name : {"out.txt", "other.txt"}) {
    TextFile file(folder, name, budget);
    write_lines(file, "dump", 1);
    ASSERT_EQ(file.finish(), std::nullopt);
    ASSERT_EQ(file.install(), std::nullopt);
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file(name)));
    EXPECT_EQ(read_file(dir.file(name)), "dump\r\n");
  }
  EXPECT_EQ(read_file(dir.file("victim")), "precious");
  EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));
}

TEST(TextFile, ReportsEachFailureByNameAndLeavesNoFile) {
  TempDir dir;
  OutputBudget budget;
  {
    OutputDir missing;
    const Outcome failure = missing.open(dir.file("missing"));
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->text().find("missing: cannot open the output folder: No such file or directory"), std::string::npos);
  }
  OutputDir folder;
  ASSERT_EQ(folder.open(dir.path().string()), std::nullopt);
  // The target is a folder that holds something: the rename fails.
  std::filesystem::create_directories(dir.file("busy.txt/inside"));
  TextFile busy(folder, "busy.txt", budget);
  write_lines(busy, "x", 1);
  ASSERT_EQ(busy.finish(), std::nullopt);
  const Outcome failure = busy.install();
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->text().find("busy.txt: cannot replace: "), std::string::npos) << failure->text();
  EXPECT_EQ(files_in(dir), (std::vector<std::string>{".ambergale.lock", "busy.txt"}));
}

TEST(TextFile, ACreateThatFailsSaysWhy) {
  TempDir dir;
  OutputDir folder;
  ASSERT_EQ(folder.open(dir.path().string()), std::nullopt);
  OutputBudget budget;
  TextFile file(folder, std::string(300, 'n'), budget);  // its temporary name is longer than a name may be
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.failure()->reason, "cannot create: File name too long");
}

TEST(TextFile, AFolderIsWrittenByOneRunAtATime) {
  TempDir dir;
  OutputDir first;
  ASSERT_EQ(first.open(dir.path().string()), std::nullopt);
  OutputDir second;
  const Outcome busy = second.open(dir.path().string());
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->text(), dir.path().string() + ": another run is writing its dumps in this folder");
}

}  // namespace
}  // namespace ambergale
