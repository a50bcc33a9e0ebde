#include "support/run_tool.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/run.hpp"
#include "dump/dumps.hpp"
#include "support/small_cartridge.hpp"

namespace ambergale::testing_support {

RunResult run_in(const TempDir& dir, std::vector<const char*> args) {
  WorkingDirectory cwd(dir.path());
  args.insert(args.begin(), "ambergale-dump");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = run_dump_tool(static_cast<int>(args.size()), args.data());
  std::string out = testing::internal::GetCapturedStdout();
  return {status, out, testing::internal::GetCapturedStderr()};
}

std::vector<std::string> files_in(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void write_image(const TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  write_file(dir.file(name), std::string(bytes.begin(), bytes.end()));
}

void fill_inputs(const TempDir& dir, const std::vector<std::uint8_t>& image) {
  write_image(dir, "Ambergale.smc", image);
  write_file(dir.file("mescmd.dat"), small_opcode_file());
}

void fill_inputs(const TempDir& dir) { fill_inputs(dir, small_image()); }

std::vector<std::string> dumps_in(const std::filesystem::path& dir) {
  std::vector<std::string> dumps;
  for (const DumpFile& dump : kDumpFiles) dumps.push_back(read_file((dir / dump.name).string()));
  return dumps;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at) + "<no CR LF>");
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

}  // namespace ambergale::testing_support
