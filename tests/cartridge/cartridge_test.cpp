#include "cartridge/cartridge.hpp"

#include <gtest/gtest.h>

namespace ambergale {
namespace {

TEST(RomOffset, MapsBankAndAddress) {
  EXPECT_EQ(rom_offset(0xF8, 0x20BA), 0x3820BA);
  EXPECT_EQ(rom_offset(0xC4, 0xB300), 0x04B300);
  EXPECT_EQ(rom_offset(0xFB, 0x8000), 0x3B8000);
  EXPECT_EQ(rom_offset(0x38, 0x1234), rom_offset(0xF8, 0x1234));
  EXPECT_EQ(rom_offset(0xC4, 0x10002), 0x040002);  // wraps within the bank
}

TEST(RomRead, RunsIntoTheNextBankAndReadsZeroPastTheImage) {
  std::vector<std::uint8_t> bytes(kImageSize, 0);
  bytes[0x04FFFE] = 1;
  bytes[0x04FFFF] = 2;
  bytes[0x050000] = 3;
  bytes[0x050001] = 4;
  bytes[0x3FFFFF] = 9;
  const Cartridge cart = make_cartridge(bytes);
  std::uint8_t block[4];
  rom_read(cart, 0xC4, 0xFFFE, block);
  EXPECT_EQ(std::vector<std::uint8_t>(block, block + 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  std::fill(std::begin(block), std::end(block), 0xEE);
  rom_read(cart, 0xFF, 0xFFFF, block);
  EXPECT_EQ(std::vector<std::uint8_t>(block, block + 4), (std::vector<std::uint8_t>{9, 0, 0, 0}));
  EXPECT_EQ(rom_view(cart, 0xFF, 0xFFFF).size(), 1u);
}

TEST(RomReadWord, IsLittleEndian) {
  std::vector<std::uint8_t> bytes(kImageSize, 0);
  bytes[0x380000] = 0x34;
  bytes[0x380001] = 0x12;
  Cartridge cart = make_cartridge(bytes);
  EXPECT_EQ(rom_read_word(cart, 0xF8, 0x0000), 0x1234);
  cart.bytes = cart.bytes.first(0x380001);
  EXPECT_EQ(rom_read_word(cart, 0xF8, 0x0000), 0x0034);
}

}  // namespace
}  // namespace ambergale
