#include "cartridge/cartridge.hpp"

#include <sys/mman.h>

#include <algorithm>
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

ImageFile image_file_in_memory(std::span<const std::uint8_t> bytes) {
  return {bytes.first(std::min(bytes.size(), kMostRead)), bytes.size(), nullptr};
}

namespace {

// Maps the first `length` bytes of a regular file; false when it cannot.
bool map_image(const InputFile& input, std::size_t length, ImageFile& file) {
  void* at = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, input.fd(), 0);
  if (at == MAP_FAILED) return false;
  // Only the pages a dump touches (a few banks) are mapped: without this the
  // kernel may map the whole image at the first touch when its page cache
  // holds the file in large pieces.
  ::madvise(at, length, MADV_RANDOM);
  file.storage = std::shared_ptr<const void>(at, [length](const void* p) { ::munmap(const_cast<void*>(p), length); });
  file.bytes = std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(at), length);
  return true;
}

Outcome read_image(InputFile& input, ImageFile& file) {
  auto buffer = std::make_shared<std::vector<std::uint8_t>>(kMostRead);
  std::size_t got = 0;
  if (Outcome failure = input.read(*buffer, got)) return failure;
  file.bytes = std::span<const std::uint8_t>(*buffer).first(got);
  file.size = got;
  file.storage = std::move(buffer);
  return std::nullopt;
}

}  // namespace

Outcome read_image_file(const std::string& path, ImageFile& file) {
  InputFile input;
  if (Outcome failure = input.open(path)) return failure;
  if (input.mappable() && input.size() >= kImageSize &&
      map_image(input, static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), kMostRead - 1)), file)) {
    file.size = input.size();
    return std::nullopt;
  }
  return read_image(input, file);
}

Outcome frame_cartridge(const ImageFile& file, Cartridge& cart, ImageFrame& frame) {
  frame = frame_image(file.size);
  if (frame.size < kImageSize) {
    return Failure{{}, std::to_string(file.size) + " bytes is too short for a cartridge image of " +
                           std::to_string(kImageSize) + " bytes (4 MiB)"};
  }
  cart.bytes = file.bytes.subspan(frame.offset, frame.size);
  cart.storage = file.storage;
  return std::nullopt;
}

std::string address_text(int bank, int address) {
  char text[16];
  std::snprintf(text, sizeof text, "%02X:%04X", bank & 0xFF, address & 0xFFFF);
  return text;
}

std::string range_text(int bank, int start, int end) {
  char text[16];
  std::snprintf(text, sizeof text, "-%04X", (end - 1) & 0xFFFF);
  return address_text(bank, start) + text;
}

std::string bank_text(int bank) { return address_text(bank, 0).substr(0, 2); }

int rom_offset(int bank, int address) {
  return (bank & 0x3F) * 0x10000 + (address & 0xFFFF);
}

std::span<const std::uint8_t> rom_view(const Cartridge& cart, int bank, int address) {
  const auto offset = static_cast<std::size_t>(rom_offset(bank, address));
  if (offset >= cart.bytes.size()) return {};
  return cart.bytes.subspan(offset);
}

void rom_read(const Cartridge& cart, int bank, int address, std::span<std::uint8_t> out) {
  const auto from = rom_view(cart, bank, address);
  const std::size_t n = std::min(from.size(), out.size());
  std::copy_n(from.begin(), n, out.begin());
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(n), out.end(), std::uint8_t{0});
}

int rom_read_word(const Cartridge& cart, int bank, int address) {
  std::uint8_t word[2];
  rom_read(cart, bank, address, word);
  return word[0] + word[1] * 256;
}

}  // namespace ambergale
