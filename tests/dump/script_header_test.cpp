#include <gtest/gtest.h>

#include "dump/dumps.hpp"

namespace ambergale {
namespace {

TEST(WriteScriptHeader, RunsBankAndAddressTogether) {
  std::string out;
  write_script_header(out, 0x0C00, 0xF8, 0x2345, 0x12, 0x40);
  EXPECT_EQ(out, "\n[0C00:F82345](len=0012,\x93W\x8A" "JBYTE=0040)\n");  // 展開
  out.clear();
  write_script_header(out, 0x0BFF, 0xFB, 0x7FF0, 0x7CB5 - 0x7FF0, 0);
  EXPECT_EQ(out, "\n[0BFF:FB7FF0](len=FFFFFCC5,\x93W\x8A" "JBYTE=0000)\n");
}

}  // namespace
}  // namespace ambergale
