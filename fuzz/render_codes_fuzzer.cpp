// Arbitrary code streams, of any length, through the renderer.
#include <string>
#include <vector>

#include "cartridge/cartridge_map.hpp"
#include "fuzz_input.hpp"
#include "text/render.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  const int length = in.take_int16();
  static const std::vector<std::string_view> dictionary(cartridge_map::kDictionaryEntries, "D");
  TextBuffer text;
  const int written = render_codes(in.rest(), length, dictionary, text);
  if (written != static_cast<int>(text.size())) __builtin_trap();
  if (text.view().find('\n') != std::string_view::npos) __builtin_trap();
  return 0;
}
