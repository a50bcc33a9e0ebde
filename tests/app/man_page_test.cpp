// The man pages as man shows them, against the --help of the built programs:
// every option --help prints heads an entry of the page, the exit statuses
// are there, and groff has nothing to warn about.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/temp_dir.hpp"
#include "support/tool_process.hpp"

namespace ambergale {
namespace {

using testing_support::ProcessResult;
using testing_support::run_tool;
using testing_support::TempDir;

struct Program {
  std::string name;
  const char* path;
};

const Program kPrograms[] = {{"ambergale-dump", AMBERGALE_TOOL_PATH}, {"ambergale-insert", AMBERGALE_INSERT_PATH}};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The options of a --help line ("-o, --output FILE"), or "" when it names
// none: they follow blanks and start with a dash, and two blanks or the end
// of the line close them, as help2man reads them.
std::string option_head(std::string_view line) {
  const std::size_t start = line.find_first_not_of(' ');
  if (start == 0 || start == std::string_view::npos || line[start] != '-') return "";
  const std::string_view rest = line.substr(start);
  return std::string(rest.substr(0, rest.find("  ")));
}

// Each run of blanks and line breaks made one space, for text that the page
// fills into lines of its own width.
std::string collapsed(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\n';
    if (!blank) out += c;
    if (blank && !out.empty() && out.back() != ' ') out += ' ';
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string exit_status_paragraph(const std::string& help) {
  const std::size_t start = help.find("Exit status:");
  if (start == std::string::npos) return "";
  return collapsed(std::string_view(help).substr(start, help.find("\n\n", start) - start));
}

std::string help_of(const Program& program) {
  const TempDir dir;
  const ProcessResult help = run_tool(dir.path(), {"--help"}, {}, program.path);
  EXPECT_EQ(help.status, 0) << program.name;
  return help.out;
}

// The page as a reader sees it at 80 columns, in plain ASCII, with no word
// hyphenated so that every option stays whole; groff's warnings go to the
// error output.
ProcessResult render(const Program& program) {
  const TempDir dir;
  const std::string page = std::string(AMBERGALE_MAN_PAGE_DIR) + "/" + program.name + ".1";
  const auto plain_terminal = [] {
    ::setenv("MANWIDTH", "80", 1);
    ::setenv("LC_ALL", "C", 1);
    ::setenv("MANPAGER", "cat", 1);
    ::unsetenv("MAN_KEEP_FORMATTING");
  };
  return run_tool(dir.path(), {"--warnings", "--no-hyphenation", "--no-justification", "--local-file", page},
                  plain_terminal, MAN_PROGRAM_PATH);
}

// Each option of a head takes at most one argument: more words are text that
// one blank too few joined to it.
bool options_only(std::string_view head) {
  for (std::size_t piece = 0; piece != std::string_view::npos;) {
    const std::size_t next = head.find(", ", piece);
    const std::string_view option = head.substr(piece, next == std::string_view::npos ? next : next - piece);
    if (option.find(' ') != option.rfind(' ')) return false;
    piece = next == std::string_view::npos ? next : next + 2;
  }
  return true;
}

bool heads_an_entry(const std::vector<std::string>& page_lines, const std::string& head) {
  for (const std::string& line : page_lines) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, head.size(), head) != 0) continue;
    const std::string_view after = std::string_view(line).substr(start + head.size());
    if (after.empty() || after.starts_with("  ")) return true;
  }
  return false;
}

TEST(ManPages, ListEveryOptionOfHelpAndTheExitStatuses) {
  for (const Program& program : kPrograms) {
    const std::string help = help_of(program);
    const ProcessResult page = render(program);
    ASSERT_EQ(page.status, 0) << program.name << ": " << page.err;
    EXPECT_EQ(page.err, "") << program.name << ": groff warns";
    const std::vector<std::string> page_lines = split_lines(page.out);
    int options = 0;
    for (const std::string& line : split_lines(help)) {
      const std::string head = option_head(line);
      if (head.empty()) continue;
      ++options;
      EXPECT_TRUE(options_only(head)) << program.name << ": two blanks must part the options from their text: " << head;
      EXPECT_TRUE(heads_an_entry(page_lines, head)) << program.name << ": no entry for " << head;
    }
    EXPECT_GE(options, 2) << program.name << ": no option lines found in --help";
    const std::string exit_statuses = exit_status_paragraph(help);
    ASSERT_NE(exit_statuses, "") << program.name;
    EXPECT_NE(collapsed(page.out).find(exit_statuses), std::string::npos) << program.name << ": " << exit_statuses;
  }
}

TEST(ManPages, HelpFitsEightyColumns) {
  for (const Program& program : kPrograms) {
    for (const std::string& line : split_lines(help_of(program))) {
      EXPECT_LE(line.size(), 80u) << program.name << ": " << line;
    }
  }
}

}  // namespace
}  // namespace ambergale
