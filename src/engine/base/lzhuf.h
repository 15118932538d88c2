#pragma once
// LZHUF: LZSS over a 4096-byte ring buffer, adaptive Huffman coding of
// literals and match lengths, a fixed prefix code for match positions. The
// coder of the board file container; it knows nothing of files or headers.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

// The coder's tables could not be had.
class ElzhException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The stream ended long before the asked size: finishing it would take more
// made-up zero bits than an encoder's last byte can leave open.
class LzhStreamCutShort : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace lzh {
inline constexpr int N = 4096;                      // ring buffer size
inline constexpr int F = 60;                        // look-ahead size, longest match
inline constexpr int THRESHOLD = 2;                 // matches up to this length are sent as literals
inline constexpr int N_CHAR = 256 - THRESHOLD + F;  // 314 symbols
inline constexpr int T = N_CHAR * 2 - 1;            // 627 tree nodes
inline constexpr int R = T - 1;                     // root
inline constexpr unsigned MAX_FREQ = 0x8000;
// Zero bits the decoder makes up past the end of a stream before it calls
// the stream cut short: eight bytes' worth.
inline constexpr std::size_t kMaxZeroBitsPastEnd = 64;
}  // namespace lzh

// The most plain bytes that a stream of streamBytes bytes can decode to
// before it is cut short: every symbol costs at least one bit, a match of
// up to 60 bytes at least ten.
constexpr std::size_t MaxPlainSizeFor(std::size_t streamBytes) {
  return 6 * (8 * streamBytes + lzh::kMaxZeroBitsPastEnd);
}

// One decoded symbol, for callers that want to see how a stream was coded.
struct LzhToken {
  int symbol = 0;     // 0..255 literal, 256..313 match of length symbol - 253
  int position = -1;  // match position (distance - 1); -1 for a literal
  int codeBits = 0;   // length of the symbol's Huffman code
  friend bool operator==(const LzhToken&, const LzhToken&) = default;
};

class TLZH {
 public:
  // Appends the coded stream of plain to out, its last byte padded with
  // zero bits.
  void Encode(std::string_view plain, std::string& out);

  // Appends exactly plainSize decoded bytes to out. The stream may be any
  // bytes: past its end it reads as zero bits for the symbols its last byte
  // leaves open, bytes it holds beyond what plainSize needs are ignored, and
  // a match running past plainSize is cut there. When a symbol would need
  // more than kMaxZeroBitsPastEnd made-up bits, throws LzhStreamCutShort and
  // leaves out as it was; so time and memory follow the stream's length,
  // whatever plainSize says. With trace, every decoded symbol is recorded
  // as well.
  void Decode(std::string_view stream, std::size_t plainSize, std::string& out,
              std::vector<LzhToken>* trace = nullptr);
};

}  // namespace adw::engine
