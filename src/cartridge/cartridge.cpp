#include "cartridge/cartridge.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/input_file.hpp"

namespace ambergale {

Cartridge make_cartridge(std::vector<std::uint8_t> bytes) {
  auto owned = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
  return {std::span<const std::uint8_t>(*owned), owned};
}

ImageFrame frame_image(std::uint64_t file_size) {
  if (file_size == kImageSize + kCopierHeaderSize) return {kCopierHeaderSize, kImageSize, true, false};
  if (file_size > kImageSize) return {0, kImageSize, false, true};
  return {0, static_cast<std::size_t>(file_size), false, false};
}

namespace {

// The most of a file that is ever read: an image, a copier header, and one
// byte more to tell a longer file from a headered image.
constexpr std::size_t kMostRead = kImageSize + kCopierHeaderSize + 1;

// Maps the first `length` bytes of a regular file; false when it cannot.
bool map_image(const InputFile& file, std::size_t length, Cartridge& cart) {
  void* at = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, file.fd(), 0);
  if (at == MAP_FAILED) return false;
  // Only the pages a dump touches (a few banks) are mapped: without this the
  // kernel may map the whole image at the first touch when its page cache
  // holds the file in large pieces.
  ::madvise(at, length, MADV_RANDOM);
  const auto* bytes = static_cast<const std::uint8_t*>(at);
  cart.storage = std::shared_ptr<const void>(at, [length](const void* p) { ::munmap(const_cast<void*>(p), length); });
  cart.bytes = std::span<const std::uint8_t>(bytes, length);
  return true;
}

// Reads at most kMostRead bytes; false with errno set on a read error.
bool read_image(InputFile& file, Cartridge& cart) {
  auto buffer = std::make_shared<std::vector<std::uint8_t>>(kMostRead);
  const std::ptrdiff_t got = file.read_some(*buffer);
  if (got < 0) return false;
  buffer->resize(static_cast<std::size_t>(got));
  cart.bytes = std::span<const std::uint8_t>(*buffer);
  cart.storage = std::move(buffer);
  return true;
}

}  // namespace

ImageLoad load_image(const std::string& path, Cartridge& cart) {
  ImageLoad result;
  InputFile file;
  if (const int error = file.open(path); error != 0) {
    result.status = error == EISDIR ? ImageLoad::Status::cannot_read : ImageLoad::Status::cannot_open;
    result.error = error;
    return result;
  }
  const bool mapped = file.is_regular() && file.size() >= kImageSize &&
                      map_image(file, static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), kMostRead - 1)), cart);
  if (mapped) {
    result.size = file.size();
  } else {
    if (!read_image(file, cart)) {
      result.status = ImageLoad::Status::cannot_read;
      result.error = errno;
      return result;
    }
    result.size = cart.bytes.size();
  }
  result.frame = frame_image(result.size);
  cart.bytes = cart.bytes.subspan(result.frame.offset, result.frame.size);
  if (result.frame.size < kImageSize) result.status = ImageLoad::Status::too_short;
  return result;
}

std::string address_text(int bank, int address) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X:%04X", bank & 0xFF, address & 0xFFFF);
  return text;
}

int rom_offset(int bank, int address) {
  return (bank & 0x3F) * 0x10000 + (address & 0xFFFF);
}

std::span<const std::uint8_t> rom_view(const Cartridge& cart, int bank, int address) {
  const auto offset = static_cast<std::size_t>(rom_offset(bank, address));
  if (offset >= cart.bytes.size()) return {};
  return cart.bytes.subspan(offset);
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

}  // namespace ambergale
