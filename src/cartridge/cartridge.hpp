// The cartridge image and the console addresses that name its bytes.
//
// The image is a headerless HiROM image: 64 banks of 64 KiB stored in bank
// order, file offset 0 being bank C0, address 0000. It is read into memory
// whole, and every read below stays inside that copy: bytes that would lie
// past the end of the image read as zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ambergale {

// The size of a complete image; a shorter file is refused at start-up.
inline constexpr std::size_t kImageSize = 0x400000;

struct Cartridge {
  std::vector<std::uint8_t> bytes;
};

// File offset of bank:address. Only the low six bits of the bank count, and
// the address wraps within its bank.
int rom_offset(int bank, int address);

// The image from bank:address to its end: a decoder that runs past the window
// it was given goes on reading the bytes that follow, as the console would.
std::span<const std::uint8_t> rom_view(const Cartridge& cart, int bank, int address);

// Copies out.size() bytes from bank:address, running on into the next bank in
// file order; bytes past the end of the image are zero. Returns 1.
int rom_read(const Cartridge& cart, int bank, int address, std::span<std::uint8_t> out);

// The little-endian 16-bit word at bank:address.
int rom_read_word(const Cartridge& cart, int bank, int address);

// Reads a whole image file. On failure returns false and sets `error` to the
// reason; `opened` tells whether the file could be opened at all.
bool read_image_file(const std::string& path, Cartridge& cart, bool& opened, std::string& error);

}  // namespace ambergale
