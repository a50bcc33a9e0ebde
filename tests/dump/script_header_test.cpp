#include <gtest/gtest.h>

#include "dump/dumps.hpp"

namespace ambergale {
namespace {

TEST(WriteScriptHeader, RunsBankAndAddressTogether) {
  OutputBudget budget;
  MemoryOutput out("messcript.txt", budget);
  write_script_header(out, 0x0C00, 0xF8, 0x2345, 0x12, 0x40);
  write_script_header(out, 0x0BFF, 0xFB, 0x7FF0, 0x7CB5 - 0x7FF0, 0);
  out.hand_on();
  EXPECT_EQ(out.contents(),
            "\r\n[0C00:F82345](len=0012,\x93W\x8A" "JBYTE=0040)\r\n"  // 展開
            "\r\n[0BFF:FB7FF0](len=FFFFFCC5,\x93W\x8A" "JBYTE=0000)\r\n");
}

}  // namespace
}  // namespace ambergale
