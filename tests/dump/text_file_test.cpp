#include "dump/text_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/temp_dir.hpp"

namespace ambergale {
namespace {

using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

TEST(TextFile, WritesLineEndsAsCrLfAndOtherBytesUnchanged) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  TextFile file(path);
  file.write("a\nb");
  file.write(std::string("\x82\xA0\r\0\n", 5));
  file.write(std::string(3 << 20, 'x'));  // more than one buffer
  file.write("\n");
  EXPECT_FALSE(std::filesystem::exists(path));  // nothing in place before commit
  EXPECT_EQ(file.commit(), std::nullopt);
  const std::string expected = std::string("a\r\nb\x82\xA0\r\0\r\n", 10) + std::string(3 << 20, 'x') + "\r\n";
  EXPECT_EQ(read_file(path), expected);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(TextFile, AnUncommittedFileLeavesTheEarlierOneAlone) {
  TempDir dir;
  const std::string path = dir.file("out.txt");
  write_file(path, "earlier");
  {
    TextFile file(path);
    file.write("half");
  }
  EXPECT_EQ(read_file(path), "earlier");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(TextFile, ReportsAFileThatCannotBeCreated) {
  TempDir dir;
  TextFile file(dir.file("missing/out.txt"));
  file.write("text\n");
  const std::optional<std::string> failure = file.commit();
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find("missing/out.txt: cannot create: "), std::string::npos) << *failure;
}

}  // namespace
}  // namespace ambergale
