// The cartridge image and the console addresses that name its bytes.
//
// The image is a headerless HiROM image: 64 banks of 64 KiB stored in bank
// order, file offset 0 being bank C0, address 0000. Every read below stays
// inside the image: bytes that would lie past its end read as zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/failure.hpp"

namespace ambergale {

// The size of a complete image; a shorter file is refused at start-up, and
// of a longer one only this much is used.
inline constexpr std::size_t kImageSize = 0x400000;
// The header some copiers put in front of an image.
inline constexpr std::size_t kCopierHeaderSize = 512;

struct Cartridge {
  std::span<const std::uint8_t> bytes;
  std::shared_ptr<const void> storage;  // keeps `bytes` alive: a mapping or a buffer
};

// A cartridge that owns a copy of `bytes`, used as they are.
Cartridge make_cartridge(std::vector<std::uint8_t> bytes);

// What an image file holds, as far as it is read: never more than an image,
// a copier header and one byte more (to tell a longer file from a headered
// image). `size` is the file's size, which may be more than `bytes`.
struct ImageFile {
  std::span<const std::uint8_t> bytes;
  std::uint64_t size = 0;
  std::shared_ptr<const void> storage;  // keeps `bytes` alive
};

// The most of a file that is ever read.
inline constexpr std::size_t kMostRead = kImageSize + kCopierHeaderSize + 1;

// An image file held in memory: its first kMostRead bytes are used.
ImageFile image_file_in_memory(std::span<const std::uint8_t> bytes);

// Opens the image file at `path` ("-": standard input): a regular file is
// mapped read-only, any other file (a pipe, a device) read, never more than
// kMostRead bytes. The failure names no file.
Outcome read_image_file(const std::string& path, ImageFile& file);

// Where the image lies in its file: a file of one image plus a copier header
// starts after the header; of a larger file only the first image's worth is
// used.
struct ImageFrame {
  std::size_t offset = 0;
  std::size_t size = 0;
  bool copier_header = false;
  bool truncated = false;
};
ImageFrame frame_image(std::uint64_t file_size);

// The cartridge in `file`, framed; a file too short for an image is refused,
// with a failure that names no file.
Outcome frame_cartridge(const ImageFile& file, Cartridge& cart, ImageFrame& frame);

// Addresses [start, end) of one bank; `end` may be 0x10000.
struct ByteRange {
  int start = 0;
  int end = 0;
  int size() const { return end - start; }
  bool overlaps(ByteRange other) const { return start < other.end && other.start < end; }
};

// bank:address as the console writes it, "BB:AAAA".
std::string address_text(int bank, int address);

// The bytes [start, end) of a bank as "BB:AAAA-BBBB", the last one included.
std::string range_text(int bank, int start, int end);

// A bank alone, "BB".
std::string bank_text(int bank);

// File offset of bank:address. Only the low six bits of the bank count, and
// the address wraps within its bank.
int rom_offset(int bank, int address);

// The image from bank:address to its end: a decoder that runs past the window
// it was given goes on reading the bytes that follow, as the console would.
std::span<const std::uint8_t> rom_view(const Cartridge& cart, int bank, int address);

// Copies out.size() bytes from bank:address, running on into the next bank in
// file order; bytes past the end of the image are zero.
void rom_read(const Cartridge& cart, int bank, int address, std::span<std::uint8_t> out);

// The little-endian 16-bit word at bank:address.
int rom_read_word(const Cartridge& cart, int bank, int address);

}  // namespace ambergale
