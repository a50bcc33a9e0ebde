// Arbitrary code streams, of any length, through the renderer.
#include <string>
#include <vector>

#include "fuzz_input.hpp"
#include "text/render.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ambergale;
  fuzz::FuzzInput in(data, size);
  const int length = in.take_int16();
  static const std::vector<std::string> dictionary(3049, "D");
  std::string text;
  const int written = render_codes(in.rest(), length, dictionary, text);
  if (written != static_cast<int>(text.size())) __builtin_trap();
  if (text.find('\n') != std::string::npos) __builtin_trap();
  return 0;
}
