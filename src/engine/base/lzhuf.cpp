#include "engine/base/lzhuf.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace adw::engine {

using namespace lzh;

namespace {

constexpr int kNil = N;  // "no node" in the match tree
constexpr int kRingMask = N - 1;
constexpr int kRingBytes = N + F - 1;  // 0..58 mirrored at 4096..4154
constexpr int kStart = N - F;          // 4036: first coded position

const char* const kNoTables = "LZH : Cannot get memory for dictionary tables";
const char* const kCutShort = "file is cut short";

// The fixed position prefix code: canonical code over the upper six bits of
// a position, code lengths 3..8, kept left-aligned in a byte.
struct PositionCode {
  std::array<std::uint8_t, 64> code{};
  std::array<std::uint8_t, 64> length{};
  std::array<std::uint8_t, 256> decodeUpper{};
  std::array<std::uint8_t, 256> decodeLength{};
};

constexpr PositionCode MakePositionCode() {
  PositionCode pc{};
  unsigned next = 0;
  for (int u = 0; u < 64; ++u) {
    const int len = u < 1 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8;
    pc.code[u] = static_cast<std::uint8_t>(next);
    pc.length[u] = static_cast<std::uint8_t>(len);
    const unsigned span = 1u << (8 - len);
    for (unsigned b = next; b < next + span; ++b) {
      pc.decodeUpper[b] = static_cast<std::uint8_t>(u);
      pc.decodeLength[b] = static_cast<std::uint8_t>(len);
    }
    next += span;
  }
  return pc;
}

constexpr PositionCode kPosition = MakePositionCode();
static_assert(kPosition.code[1] == 0x20 && kPosition.code[4] == 0x50 && kPosition.code[63] == 0xFF);

// The adaptive Huffman tree, kept in sibling order: nodes sorted by
// frequency, the children of a node at son[n] and son[n] + 1.
struct HuffModel {
  std::uint16_t freq[T + 1];
  std::uint16_t son[T];
  std::uint16_t prnt[T + N_CHAR];

  void Start() {
    for (int i = 0; i < N_CHAR; ++i) {
      freq[i] = 1;
      son[i] = static_cast<std::uint16_t>(i + T);
      prnt[i + T] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
      freq[j] = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
      son[j] = static_cast<std::uint16_t>(i);
      prnt[i] = prnt[i + 1] = static_cast<std::uint16_t>(j);
    }
    freq[T] = 0xFFFF;  // sentinel that stops the search for a swap partner
    prnt[R] = 0;
  }

  // Halves the leaf frequencies and builds the tree again, so that the
  // root's count never overflows 16 bits.
  void Reconstruct() {
    int j = 0;
    for (int i = 0; i < T; ++i) {
      if (son[i] >= T) {
        freq[j] = static_cast<std::uint16_t>((freq[i] + 1u) / 2u);
        son[j] = son[i];
        ++j;
      }
    }
    for (int i = 0, n = N_CHAR; n < T; i += 2, ++n) {
      const std::uint16_t f = static_cast<std::uint16_t>(freq[i] + freq[i + 1]);
      int k = n - 1;
      while (f < freq[k]) --k;
      ++k;
      const std::size_t shifted = static_cast<std::size_t>(n - k) * sizeof(std::uint16_t);
      std::memmove(&freq[k + 1], &freq[k], shifted);
      freq[k] = f;
      std::memmove(&son[k + 1], &son[k], shifted);
      son[k] = static_cast<std::uint16_t>(i);
    }
    for (int i = 0; i < T; ++i) {
      const int k = son[i];
      prnt[k] = static_cast<std::uint16_t>(i);
      if (k < T) prnt[k + 1] = static_cast<std::uint16_t>(i);
    }
  }

  void Update(int symbol) {
    if (freq[R] == MAX_FREQ) Reconstruct();
    int c = prnt[symbol + T];
    do {
      const unsigned k = ++freq[c];
      int l = c + 1;
      if (k > freq[l]) {
        // l becomes the last node still below k. Frequencies rise with the
        // node index, so after a short look the rest is a binary search:
        // early in a stream hundreds of nodes share one count.
        const int near = std::min(l + 8, T);
        while (l < near && k > freq[l + 1]) ++l;
        if (l == near) {
          l = static_cast<int>(std::lower_bound(freq + l + 1, freq + T + 1, k) - freq) - 1;
        }
        freq[c] = freq[l];
        freq[l] = static_cast<std::uint16_t>(k);

        const int i = son[c];
        prnt[i] = static_cast<std::uint16_t>(l);
        if (i < T) prnt[i + 1] = static_cast<std::uint16_t>(l);

        const int j = son[l];
        son[l] = static_cast<std::uint16_t>(i);
        prnt[j] = static_cast<std::uint16_t>(c);
        if (j < T) prnt[j + 1] = static_cast<std::uint16_t>(c);
        son[c] = static_cast<std::uint16_t>(j);

        c = l;
      }
      c = prnt[c];
    } while (c != 0);  // the root's parent entry is 0
  }
};

// Most significant bit first, whole bytes appended as soon as they fill.
class BitWriter {
 public:
  explicit BitWriter(std::string& out) : m_out(out) {}

  // len <= 32
  void Put(std::uint32_t code, int len) {
    m_acc = (m_acc << len) | code;
    m_bits += len;
    while (m_bits >= 8) {
      m_bits -= 8;
      m_out.push_back(static_cast<char>(static_cast<std::uint8_t>(m_acc >> m_bits)));
    }
  }

  void Flush() {
    if (m_bits > 0) {
      m_out.push_back(static_cast<char>(static_cast<std::uint8_t>(m_acc << (8 - m_bits))));
      m_bits = 0;
    }
  }

 private:
  std::string& m_out;
  std::uint64_t m_acc = 0;
  int m_bits = 0;
};

// Most significant bit first; past the end of the input every bit is zero.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : m_p(data), m_end(data + size) {}

  unsigned Bit() {
    if (m_count == 0) Refill();
    const unsigned bit = static_cast<unsigned>(m_buf >> 63);
    m_buf <<= 1;
    --m_count;
    return bit;
  }

  // n in 1..32
  unsigned Bits(int n) {
    if (m_count < n) Refill();
    const unsigned v = static_cast<unsigned>(m_buf >> (64 - n));
    m_buf <<= n;
    m_count -= n;
    return v;
  }

  // Made-up zero bits taken so far (not those merely buffered).
  std::size_t BitsPastEnd() const {
    const std::size_t buffered = m_padBytes * 8;
    const auto pending = static_cast<std::size_t>(m_count);
    return buffered > pending ? buffered - pending : 0;
  }

 private:
  void Refill() {
    while (m_count <= 56) {
      std::uint64_t byte = 0;
      if (m_p < m_end) {
        byte = *m_p++;
      } else {
        ++m_padBytes;
      }
      m_buf |= byte << (56 - m_count);
      m_count += 8;
    }
  }

  const std::uint8_t* m_p;
  const std::uint8_t* m_end;
  std::uint64_t m_buf = 0;
  int m_count = 0;
  std::size_t m_padBytes = 0;
};

// Index of the first byte in 1..59 where a and b differ, F when none does.
// Compares eight bytes at a time; may read up to 5 bytes past index 59,
// which the encoder's ring pads.
inline int FirstDifference(const std::uint8_t* a, const std::uint8_t* b) {
  for (int i = 1; i < F; i += 8) {
    std::uint64_t wa;
    std::uint64_t wb;
    std::memcpy(&wa, a + i, sizeof wa);
    std::memcpy(&wb, b + i, sizeof wb);
    const std::uint64_t diff = wa ^ wb;
    if (diff != 0) {
      int byte;
      if constexpr (std::endian::native == std::endian::little) {
        byte = std::countr_zero(diff) >> 3;
      } else {
        byte = std::countl_zero(diff) >> 3;
      }
      return std::min(i + byte, F);
    }
  }
  return F;
}

struct EncoderState {
  std::uint8_t text[kRingBytes + 8];  // 8 bytes of padding for FirstDifference
  std::uint16_t lson[N + 1];
  std::uint16_t rson[N + 257];  // N + 1 + c: root of the tree of first byte c
  std::uint16_t dad[N + 1];
  HuffModel huff;
  int matchPosition;
  int matchLength;

  void InitTree() {
    for (int i = N + 1; i <= N + 256; ++i) rson[i] = kNil;
    for (int i = 0; i < N; ++i) dad[i] = kNil;
  }

  // Inserts position r and finds the longest match for it among the
  // positions already in the tree; ties go to the nearer position.
  void InsertNode(int r) {
    int cmp = 1;
    const std::uint8_t* key = &text[r];
    int p = N + 1 + key[0];
    rson[r] = lson[r] = kNil;
    matchLength = 0;
    for (;;) {
      if (cmp >= 0) {
        if (rson[p] != kNil) {
          p = rson[p];
        } else {
          rson[p] = static_cast<std::uint16_t>(r);
          dad[r] = static_cast<std::uint16_t>(p);
          return;
        }
      } else {
        if (lson[p] != kNil) {
          p = lson[p];
        } else {
          lson[p] = static_cast<std::uint16_t>(r);
          dad[r] = static_cast<std::uint16_t>(p);
          return;
        }
      }
      const int i = FirstDifference(key, &text[p]);
      if (i < F) cmp = static_cast<int>(key[i]) - static_cast<int>(text[p + i]);
      if (i > THRESHOLD) {
        const int position = ((r - p) & kRingMask) - 1;
        if (i > matchLength) {
          matchPosition = position;
          matchLength = i;
          if (i >= F) break;
        } else if (i == matchLength && position < matchPosition) {
          matchPosition = position;
        }
      }
    }
    // A full-length match: r takes p's place and p leaves the tree.
    dad[r] = dad[p];
    lson[r] = lson[p];
    rson[r] = rson[p];
    dad[lson[p]] = static_cast<std::uint16_t>(r);
    dad[rson[p]] = static_cast<std::uint16_t>(r);
    if (rson[dad[p]] == p) {
      rson[dad[p]] = static_cast<std::uint16_t>(r);
    } else {
      lson[dad[p]] = static_cast<std::uint16_t>(r);
    }
    dad[p] = kNil;
  }

  void DeleteNode(int p) {
    if (dad[p] == kNil) return;
    int q;
    if (rson[p] == kNil) {
      q = lson[p];
    } else if (lson[p] == kNil) {
      q = rson[p];
    } else {
      q = lson[p];
      if (rson[q] != kNil) {
        do {
          q = rson[q];
        } while (rson[q] != kNil);
        rson[dad[q]] = lson[q];
        dad[lson[q]] = dad[q];
        lson[q] = lson[p];
        dad[lson[p]] = static_cast<std::uint16_t>(q);
      }
      rson[q] = rson[p];
      dad[rson[p]] = static_cast<std::uint16_t>(q);
    }
    dad[q] = dad[p];
    if (rson[dad[p]] == p) {
      rson[dad[p]] = static_cast<std::uint16_t>(q);
    } else {
      lson[dad[p]] = static_cast<std::uint16_t>(q);
    }
    dad[p] = kNil;
  }

  // The code is as long as the leaf's depth, which an adaptive tree can
  // push far beyond 16; the bits are gathered in a wide buffer and written
  // whole.
  void EncodeChar(BitWriter& bits, int symbol) {
    constexpr int kWords = (T + 63) / 64;
    std::uint64_t words[kWords] = {};
    int depth = 0;
    for (int k = huff.prnt[symbol + T]; k != R; k = huff.prnt[k]) {
      if (k & 1) words[depth >> 6] |= std::uint64_t{1} << (depth & 63);
      ++depth;
    }
    if (depth <= 32) {
      bits.Put(static_cast<std::uint32_t>(words[0]), depth);
    } else {
      for (int i = depth - 1; i >= 0; --i) {
        bits.Put(static_cast<std::uint32_t>((words[i >> 6] >> (i & 63)) & 1u), 1);
      }
    }
    huff.Update(symbol);
  }

  static void EncodePosition(BitWriter& bits, int position) {
    const int upper = position >> 6;
    bits.Put(static_cast<std::uint32_t>(kPosition.code[upper] >> (8 - kPosition.length[upper])),
             kPosition.length[upper]);
    bits.Put(static_cast<std::uint32_t>(position & 0x3F), 6);
  }
};

struct DecoderState {
  std::uint8_t text[N];
  HuffModel huff;
};

template <class State>
std::unique_ptr<State> AllocateTables() {
  std::unique_ptr<State> state(new (std::nothrow) State);
  if (!state) throw ElzhException(kNoTables);
  return state;
}

}  // namespace

void TLZH::Encode(std::string_view plain, std::string& out) {
  if (plain.empty()) return;
  auto state = AllocateTables<EncoderState>();
  EncoderState& st = *state;
  const auto* in = reinterpret_cast<const std::uint8_t*>(plain.data());
  const std::size_t inSize = plain.size();
  std::size_t inPos = 0;

  out.reserve(out.size() + inSize / 2 + 16);
  BitWriter bits(out);

  st.huff.Start();
  st.InitTree();
  std::memset(st.text, ' ', kStart);
  std::memset(st.text + kStart, 0, N - kStart);
  std::memset(st.text + N, ' ', kRingBytes - N);  // mirrors the spaces at 0..58
  std::memset(st.text + kRingBytes, 0, sizeof st.text - kRingBytes);

  int s = 0;
  int r = kStart;
  int len = 0;
  while (len < F && inPos < inSize) st.text[r + len++] = in[inPos++];
  for (int i = 1; i <= F; ++i) st.InsertNode(r - i);
  st.InsertNode(r);

  while (len > 0) {
    if (st.matchLength > len) st.matchLength = len;
    if (st.matchLength <= THRESHOLD) {
      st.matchLength = 1;
      st.EncodeChar(bits, st.text[r]);
    } else {
      st.EncodeChar(bits, 255 - THRESHOLD + st.matchLength);
      EncoderState::EncodePosition(bits, st.matchPosition);
    }
    const int lastMatchLength = st.matchLength;
    int i = 0;
    for (; i < lastMatchLength && inPos < inSize; ++i) {
      const std::uint8_t c = in[inPos++];
      st.DeleteNode(s);
      st.text[s] = c;
      if (s < F - 1) st.text[s + N] = c;
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      st.InsertNode(r);
    }
    for (; i < lastMatchLength; ++i) {
      st.DeleteNode(s);
      s = (s + 1) & kRingMask;
      r = (r + 1) & kRingMask;
      if (--len > 0) st.InsertNode(r);
    }
  }
  bits.Flush();
}

void TLZH::Decode(std::string_view stream, std::size_t plainSize, std::string& out,
                  std::vector<LzhToken>* trace) {
  if (plainSize == 0) return;
  // A size no stream of this length can reach fails before any work.
  if (plainSize > MaxPlainSizeFor(stream.size())) throw LzhStreamCutShort(kCutShort);
  auto state = AllocateTables<DecoderState>();
  DecoderState& st = *state;
  HuffModel& huff = st.huff;
  huff.Start();
  std::memset(st.text, ' ', kStart);
  std::memset(st.text + kStart, 0, N - kStart);

  const std::size_t base = out.size();
  out.resize(base + plainSize);
  auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + base);
  BitReader bits(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());

  const auto cutShort = [&] {
    out.resize(base);
    throw LzhStreamCutShort(kCutShort);
  };

  int r = kStart;
  std::size_t count = 0;
  while (count < plainSize) {
    unsigned c = huff.son[R];
    int codeBits = 0;
    while (c < static_cast<unsigned>(T)) {
      c = huff.son[c + bits.Bit()];
      ++codeBits;
    }
    const int symbol = static_cast<int>(c) - T;
    huff.Update(symbol);

    if (symbol < 256) {
      if (bits.BitsPastEnd() > kMaxZeroBitsPastEnd) cutShort();
      dst[count++] = static_cast<std::uint8_t>(symbol);
      st.text[r] = static_cast<std::uint8_t>(symbol);
      r = (r + 1) & kRingMask;
      if (trace) trace->push_back({symbol, -1, codeBits});
      continue;
    }

    const unsigned b = bits.Bits(8);
    const int extra = kPosition.decodeLength[b] - 2;
    const unsigned low = ((b << extra) | bits.Bits(extra)) & 0x3Fu;
    const int position = static_cast<int>((kPosition.decodeUpper[b] << 6) | low);
    if (bits.BitsPastEnd() > kMaxZeroBitsPastEnd) cutShort();
    if (trace) trace->push_back({symbol, position, codeBits});

    int from = (r - position - 1) & kRingMask;
    std::size_t length = static_cast<std::size_t>(symbol - 255 + THRESHOLD);
    if (length > plainSize - count) length = plainSize - count;
    for (std::size_t k = 0; k < length; ++k) {
      const std::uint8_t byte = st.text[from];
      from = (from + 1) & kRingMask;
      dst[count++] = byte;
      st.text[r] = byte;
      r = (r + 1) & kRingMask;
    }
  }
}

}  // namespace adw::engine
