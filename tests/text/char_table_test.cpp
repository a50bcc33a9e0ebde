#include "text/char_table.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace ambergale {
namespace {

TEST(OtherCodesOf, CharactersOfSeveralCodesButNeverTheLineBreaks) {
  const std::pair<std::uint16_t, std::vector<std::uint16_t>> cases[] = {
      {0x003F, {0x007E}},                  // ？
      {0x007E, {0x003F}},                  // ？
      {0x036D, {0x018B}},                  // 食
      {0x01A6, {0x0284}},                  // 分
      {0x03FD, {0x03FC, 0x03FE, 0x03FF}},  // ■
      {0x0012, {}},                        // \n: a control of its own
      {0x0017, {}},
      {0x0080, {}},  // a character of one code
      {0x0016, {}},  // no character
      {0x0410, {}},  // past the table
  };
  for (const auto& [code, others] : cases) {
    const std::span<const std::uint16_t> found = other_codes_of(code);
    EXPECT_EQ(std::vector<std::uint16_t>(found.begin(), found.end()), others) << std::hex << code;
  }
}

}  // namespace
}  // namespace ambergale
