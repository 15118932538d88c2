// Any bytes given to the reader of board files must end in a plain text of
// exactly the declared size or a clear error: never a crash, a hang or
// memory beyond what the stream's own length can carry, whatever size the
// header declares.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/base/board_container.h"
#include "engine/base/lzhuf.h"

namespace {

std::int64_t DeclaredSize(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  const std::uint32_t raw =
      data[4] | (data[5] << 8) | (data[6] << 16) | (static_cast<std::uint32_t>(data[7]) << 24);
  return static_cast<std::int32_t>(raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Every declared size, up to the container's cap: a damaged stream is
  // given up once it runs out, so a large size costs no more than a small one.
  const std::int64_t declared = DeclaredSize(data, size);
  const bool refused = declared < 0 || declared > adw::engine::kMaxPlainSize;
  try {
    const std::string plain = adw::engine::Tlzrw1::DecompressBytes(bytes, "fuzz.prj");
    if (size < 8 || refused || static_cast<std::int64_t>(plain.size()) != declared) std::abort();
    if (plain.size() > adw::engine::MaxPlainSizeFor(size - 8)) std::abort();
  } catch (const adw::engine::ELzrw1Exception&) {
  }

  // The bare coder over the same bytes, with a size taken from them (up to
  // 16 KiB): exactly that many bytes, or cut short with the output as it was.
  std::size_t plainSize = 0;
  if (size >= 2)
    plainSize = (static_cast<std::size_t>(data[0]) | (static_cast<std::size_t>(data[1]) << 8)) & 0x3FFF;
  std::string out = "x";
  try {
    adw::engine::TLZH().Decode(bytes, plainSize, out);
    if (out.size() != plainSize + 1 || out[0] != 'x') std::abort();
    if (plainSize > adw::engine::MaxPlainSizeFor(size)) std::abort();
  } catch (const adw::engine::LzhStreamCutShort&) {
    if (out != "x") std::abort();
  }
  return 0;
}
