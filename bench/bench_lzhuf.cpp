// Throughput of the board file coder, and the cost of reading one stored
// board file the way the board list does at start-up (10,000 of them must
// take well under 2 seconds).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

using adw::engine::Tlzrw1;
using adw::platform::W;

// Mixed Russian and Latin text in Windows-1251 with CR LF lines, like ads
// and board descriptions: repetitive words with numbers and URLs between.
std::string MixedText(std::size_t size) {
  const std::vector<std::string> words = {W("Продаю"),
                                          W("ноутбук"),
                                          W("в"),
                                          W("хорошем"),
                                          W("состоянии"),
                                          W("недорого"),
                                          W("Москва"),
                                          W("телефон"),
                                          W("звоните"),
                                          W("после"),
                                          W("Автомобили"),
                                          W("Ноутбуки"),
                                          "Pentium",
                                          "Celeron",
                                          "RAM",
                                          "HDD",
                                          "http://board.example/add.cgi?rubr=",
                                          "$TEXT",
                                          "$TEMA",
                                          "subject=",
                                          "&text=",
                                          "NAME=",
                                          "SUBBODY=",
                                          W("Барахолка"),
                                          W("Отправить"),
                                          W("щётка"),
                                          "e-mail:",
                                          "info@example.com"};
  std::uint64_t state = 0x2545F4914F6CDD1Dull;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 20);
  };
  std::string s;
  s.reserve(size + 64);
  while (s.size() < size) {
    s += words[next() % words.size()];
    switch (next() % 10) {
      case 0:
        s += "\r\n";
        break;
      case 1:
        s += std::to_string(next() % 100000);
        s += ' ';
        break;
      default:
        s += ' ';
    }
  }
  s.resize(size);
  return s;
}

const std::string& MiB() {
  static const std::string text = MixedText(1 << 20);
  return text;
}

void BM_Compress(benchmark::State& state) {
  const std::string& plain = MiB();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Tlzrw1::CompressBytes(plain));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(plain.size()));
}
BENCHMARK(BM_Compress)->Unit(benchmark::kMillisecond);

void BM_Decompress(benchmark::State& state) {
  const std::string& plain = MiB();
  const std::string container = Tlzrw1::CompressBytes(plain);
  state.counters["ratio"] = static_cast<double>(container.size()) / static_cast<double>(plain.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(Tlzrw1::DecompressBytes(container, "bench.prj"));
  }
  // Measured in plain bytes produced, the figure a reader cares about.
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(plain.size()));
}
BENCHMARK(BM_Decompress)->Unit(benchmark::kMillisecond);

// One board file of about 2 KB read from disk and unpacked in memory.
void BM_ReadBoardText(benchmark::State& state) {
  std::string text =
      W("[Project]\r\nNAME=Барахолка\r\nSUBMIT=http://board.example/cgi-bin/add.cgi\r\n"
        "SUBBODY=subject=$TEMA&text=$TEXT&name=$NAME&phone=$PHONE&rubr=3&send=Отправить\r\n"
        "REQUEST=http://board.example/add.html\r\nCODE=KOI8-R\r\nLASTSEND=22.01.2000\r\nPeriod=3\r\n "
        "\r\n[MAP]\r\n");
  for (int i = 1; text.size() < 2048; ++i) {
    text += std::to_string(i) + W("$rubr=Раздел номер ") + std::to_string(i) + "$comp\r\n";
  }
  const std::string dir = adw::platform::TempDirectory();
  const std::string plainPath = dir + "adweld-bench-board.txt";
  const std::string boardPath = dir + "adweld-bench-board.prj";
  if (!adw::platform::WriteFileAtomic(plainPath, text)) {
    state.SkipWithError("cannot write to the temporary directory");
    return;
  }
  adw::engine::PackBoardFile(plainPath, boardPath);
  for (auto _ : state) {
    benchmark::DoNotOptimize(adw::engine::ReadBoardText(boardPath));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["plain_bytes"] = static_cast<double>(text.size());
  adw::platform::RemoveFileQuiet(plainPath);
  adw::platform::RemoveFileQuiet(boardPath);
}
BENCHMARK(BM_ReadBoardText)->Unit(benchmark::kMicrosecond);

}  // namespace
