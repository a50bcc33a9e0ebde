#include "cartridge/cartridge.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ambergale {

int rom_offset(int bank, int address) {
  return (bank & 0x3F) * 0x10000 + (address & 0xFFFF);
}

std::span<const std::uint8_t> rom_view(const Cartridge& cart, int bank, int address) {
  const auto offset = static_cast<std::size_t>(rom_offset(bank, address));
  if (offset >= cart.bytes.size()) return {};
  return std::span<const std::uint8_t>(cart.bytes).subspan(offset);
}

int rom_read(const Cartridge& cart, int bank, int address, std::span<std::uint8_t> out) {
  const auto from = rom_view(cart, bank, address);
  const std::size_t n = std::min(from.size(), out.size());
  std::copy_n(from.begin(), n, out.begin());
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), std::uint8_t{0});
  return 1;
}

int rom_read_word(const Cartridge& cart, int bank, int address) {
  std::uint8_t word[2];
  rom_read(cart, bank, address, word);
  return word[0] + word[1] * 256;
}

bool read_image_file(const std::string& path, Cartridge& cart, bool& opened, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  opened = f != nullptr;
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  cart.bytes.clear();
  cart.bytes.reserve(kImageSize);
  std::uint8_t chunk[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
    cart.bytes.insert(cart.bytes.end(), chunk, chunk + got);
    if (got < sizeof chunk) break;
  }
  const int read_error = std::ferror(f) != 0 ? errno : 0;
  std::fclose(f);
  if (read_error != 0) error = std::strerror(read_error);
  return read_error == 0;
}

}  // namespace ambergale
