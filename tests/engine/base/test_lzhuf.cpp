#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/lzhuf.h"
#include "platform/text1251.h"

namespace adw::engine {
namespace {

std::string Encode(const std::string& plain) {
  std::string stream;
  TLZH().Encode(plain, stream);
  return stream;
}

std::string Decode(const std::string& stream, std::size_t plainSize, std::vector<LzhToken>* trace = nullptr) {
  std::string plain;
  TLZH().Decode(stream, plainSize, plain, trace);
  return plain;
}

// The symbols the decoder reads back, as (symbol, position) pairs.
std::vector<std::pair<int, int>> Symbols(const std::string& plain) {
  std::vector<LzhToken> trace;
  Decode(Encode(plain), plain.size(), &trace);
  std::vector<std::pair<int, int>> symbols;
  for (const LzhToken& t : trace) symbols.emplace_back(t.symbol, t.position);
  return symbols;
}

std::pair<int, int> Lit(char c) {
  return {static_cast<unsigned char>(c), -1};
}
std::pair<int, int> Match(int length, int position) {
  return {length + 253, position};
}

std::uint64_t g_rng = 0x9E3779B97F4A7C15ull;
std::uint32_t NextRandom() {
  g_rng ^= g_rng << 13;
  g_rng ^= g_rng >> 7;
  g_rng ^= g_rng << 17;
  return static_cast<std::uint32_t>(g_rng >> 16);
}

std::string RandomBytes(std::size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(NextRandom() & 0xFF);
  return s;
}

// Russian and Latin words in cp1251 with CR LF lines, loosely repeated, so
// that matches of every length and distance occur.
std::string MixedText(std::size_t n) {
  const std::vector<std::string> words = {platform::W("Продаю"),
                                          platform::W("ноутбук"),
                                          platform::W("недорого"),
                                          platform::W("Москва"),
                                          platform::W("телефон"),
                                          "Pentium",
                                          "SUBMIT=http://board.example/add.cgi",
                                          "&text=",
                                          "$TEXT",
                                          platform::W("Ёлка"),
                                          "rubr=3",
                                          "\r\n",
                                          "NAME=",
                                          "ok",
                                          "0123456789",
                                          platform::W("щёлк")};
  std::string s;
  while (s.size() < n) {
    s += words[NextRandom() % words.size()];
    s += (NextRandom() % 7 == 0) ? "\r\n" : " ";
    if (NextRandom() % 50 == 0) s += RandomBytes(NextRandom() % 40);
  }
  s.resize(n);
  return s;
}

TEST(Lzhuf, CodesTheExpectedSymbols) {
  struct Case {
    const char* name;
    std::string plain;
    std::vector<std::pair<int, int>> symbols;
  };
  const std::string run = "x" + std::string(200, 'a');
  const std::vector<Case> cases = {
      {"abc", "abc", {Lit('a'), Lit('b'), Lit('c')}},
      {"abcabcxy", "abcabcxy", {Lit('a'), Lit('b'), Lit('c'), Match(3, 2), Lit('x'), Lit('y')}},
      // Three leading spaces match the spaces the ring starts with.
      {"three spaces", "   abc", {Match(3, 0), Lit('a'), Lit('b'), Lit('c')}},
      {"two spaces", "  abc", {Lit(' '), Lit(' '), Lit('a'), Lit('b'), Lit('c')}},
      // The run's first byte is a literal, the other 199 are copies of the
      // byte just before: 60 + 60 + 60 + 19.
      {"run of 200", run, {Lit('x'), Lit('a'), Match(60, 0), Match(60, 0), Match(60, 0), Match(19, 0)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Symbols(c.plain), c.symbols) << c.name;
  }
}

TEST(Lzhuf, RoundTripsVariedInputs) {
  const std::string text = MixedText(300000);
  std::string runs;
  for (int i = 0; runs.size() < 100000; ++i)
    runs.append(1 + NextRandom() % 300, static_cast<char>("ab \0\xff"[i % 5]));
  std::string allBytes;
  for (int i = 0; i < 256 * 3; ++i) allBytes.push_back(static_cast<char>(i % 256));

  const std::vector<std::pair<const char*, std::string>> cases = {
      {"one byte", "Z"},
      {"59 bytes", text.substr(0, 59)},
      {"60 bytes: the look-ahead filled at once", text.substr(0, 60)},
      {"61 bytes: one more read", text.substr(0, 61)},
      {"ring size minus one", RandomBytes(4095)},
      {"ring size", text.substr(0, 4096)},
      {"ring size plus one", RandomBytes(4097)},
      {"spaces only", std::string(5000, ' ')},
      {"every byte value", allBytes},
      {"random", RandomBytes(100000)},
      {"cp1251 text", text},
      {"long runs", runs},
      {"1 MB mixed", MixedText(1 << 20)},
  };
  for (const auto& [name, plain] : cases) {
    const std::string stream = Encode(plain);
    EXPECT_TRUE(Decode(stream, plain.size()) == plain) << name;
  }
  // Random bytes barely shrink; text must.
  EXPECT_LT(Encode(text).size(), text.size() / 2);
}

// Runs of one byte with lengths 53..60 in Fibonacci proportions give match
// length symbols whose counts grow like Fibonacci numbers, the shape that
// drives an adaptive Huffman tree deepest; a byte not seen for a long time
// (every 200th run) is then coded at the bottom of the tree. Each run must
// come out as exactly one match, so a run's byte is picked only where an
// earlier run of it is long enough and no earlier run of the previous byte,
// as long as the previous one, was followed by it.
std::string SkewedRuns(std::size_t size) {
  struct Run {
    std::size_t pos;
    int byte;
    int len;
    int next;
  };
  constexpr int kBytes = 12;
  constexpr int kLengths = 8;
  constexpr std::size_t kReach = 3900;  // safely inside the 4096-byte ring
  double weight[kLengths];
  double used[kLengths] = {};
  weight[0] = 1.0;
  for (int i = 1; i < kLengths; ++i) weight[i] = weight[i - 1] * 0.618;

  std::string s;
  std::vector<Run> runs;
  for (int b = 0; b < kBytes; ++b) {
    if (!runs.empty()) runs.back().next = b;
    runs.push_back({s.size(), b, 60, -1});
    s.append(60, static_cast<char>('A' + b));
  }
  int rare = 0;
  for (long count = 1; s.size() < size; ++count) {
    int pick = 0;
    for (int i = 1; i < kLengths; ++i) {
      if (used[i] / weight[i] < used[pick] / weight[pick]) pick = i;
    }
    used[pick] += 1;
    const int len = 60 - pick;
    const Run last = runs.back();
    int chosen = -1;
    std::size_t chosenAge = 0;
    for (int b = 0; b < kBytes; ++b) {
      if (b == last.byte) continue;
      bool source = false;
      std::size_t newest = 0;
      bool extends = false;
      for (auto it = runs.rbegin(); it != runs.rend() && s.size() - it->pos < kReach + 300; ++it) {
        if (s.size() - it->pos < kReach && it->byte == b && it->len >= len) {
          source = true;
          newest = std::max(newest, it->pos);
        }
        if (it != runs.rbegin() && it->byte == last.byte && it->len >= last.len && it->next == b)
          extends = true;
      }
      if (!source || extends) continue;
      // The oldest usable source is refreshed first, so no byte's long
      // runs slip out of the ring.
      if (chosen < 0 || s.size() - newest > chosenAge) {
        chosen = b;
        chosenAge = s.size() - newest;
      }
    }
    if (chosen < 0) chosen = (last.byte + 1) % kBytes;
    runs.back().next = chosen;
    if (count % 200 == 0) {
      int z;
      do {
        z = rare++ % 256;
      } while (z >= 'A' && z < 'A' + kBytes);
      s.push_back(static_cast<char>(z));
      runs.back().next = 1000 + z;
    }
    runs.push_back({s.size(), chosen, len, -1});
    s.append(static_cast<std::size_t>(len), static_cast<char>('A' + chosen));
  }
  return s;
}

TEST(Lzhuf, WritesCodesLongerThanSixteenBitsWhole) {
  const std::string plain = SkewedRuns(1800000);
  std::vector<LzhToken> trace;
  const std::string back = Decode(Encode(plain), plain.size(), &trace);
  const auto deepest = std::max_element(trace.begin(), trace.end(), [](const LzhToken& a, const LzhToken& b) {
    return a.codeBits < b.codeBits;
  });
  ASSERT_NE(deepest, trace.end());
  EXPECT_GT(deepest->codeBits, 16) << "the input no longer reaches a deep tree";
  EXPECT_TRUE(back == plain);
}

TEST(Lzhuf, DecodesAnyBytesToExactlyTheAskedSizeOrCallsThemCutShort) {
  const std::string plain = "x" + std::string(200, 'a');
  const std::string stream = Encode(plain);

  // A match that runs past the asked size is cut there.
  EXPECT_EQ(Decode(stream, 150), plain.substr(0, 150));
  // Bytes beyond what the size needs are never read.
  EXPECT_EQ(Decode(stream + RandomBytes(100), plain.size()), plain);
  // Past the end a few symbols still read from zero bits, as from zero bytes.
  EXPECT_EQ(Decode(std::string(), 5), Decode(std::string(8, '\0'), 5));
  EXPECT_EQ(Decode(stream, plain.size() + 3), Decode(stream + std::string(8, '\0'), plain.size() + 3));

  // Beyond eight bytes of made-up bits the stream is cut short, and the
  // output is left as it was.
  const std::string big = MixedText(20000);
  const std::string bigStream = Encode(big);
  for (const std::pair<std::string, std::size_t>& c :
       {std::pair<std::string, std::size_t>{std::string(), 5000},
        {std::string(4, '\0'), 64u << 20},
        {bigStream.substr(0, bigStream.size() / 2), big.size()},
        {stream.substr(0, 2), plain.size() + 2000}}) {
    std::string out = "kept";
    EXPECT_THROW(TLZH().Decode(c.first, c.second, out), LzhStreamCutShort)
        << c.first.size() << " " << c.second;
    EXPECT_EQ(out, "kept");
  }

  // Any bytes: exactly the asked size, or cut short; never more plain than
  // the stream's length can carry.
  for (std::size_t n : {0u, 1u, 17u, 999u, 5000u}) {
    for (std::size_t size : {1u, 300u, 20000u, 240000u}) {
      const std::string garbage = RandomBytes(n);
      try {
        const std::string out = Decode(garbage, size);
        EXPECT_EQ(out.size(), size) << n;
        EXPECT_LE(out.size(), MaxPlainSizeFor(n));
      } catch (const LzhStreamCutShort&) {
      }
    }
  }
  std::string out = "kept";
  TLZH().Decode(stream, 0, out);
  EXPECT_EQ(out, "kept");
}

}  // namespace
}  // namespace adw::engine
