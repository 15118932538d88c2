// Whatever plain text is stored must read back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/base/board_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view plain(reinterpret_cast<const char*>(data), size);
  const std::string container = adw::engine::Tlzrw1::CompressBytes(plain);
  if (adw::engine::Tlzrw1::DecompressBytes(container, "fuzz.prj") != plain) std::abort();
  return 0;
}
