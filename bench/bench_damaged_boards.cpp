// What damaged board files cost the board list: a script directory holding
// 100 twelve-byte boards, each declaring 64 MiB of plain text over four
// bytes of stream. The goal is under 50 ms for the whole list; the floor
// beside it is only opening and reading the same files whole, which the
// list cannot do without.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/base/board_list.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBoards = 100;

class DamagedDir {
 public:
  DamagedDir() {
    m_dir = adw::platform::TempDirectory() + "adweld-bench-damaged-" + std::to_string(::getpid());
    fs::create_directories(m_dir);
    // "ADWP", 0x04000000 (64 MiB) little-endian, four bytes of stream.
    const std::string bytes("ADWP\x00\x00\x00\x04\xF6\xFB\xBD\xE0", 12);
    for (int n = 0; n < kBoards; ++n) {
      std::ofstream out(m_dir + "/damaged" + std::to_string(n) + ".prj", std::ios::binary);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
  }
  ~DamagedDir() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  const std::string& Path() const { return m_dir; }

 private:
  std::string m_dir;
};

const DamagedDir& Dir() {
  static DamagedDir dir;
  return dir;
}

void BM_ListDamagedBoards(benchmark::State& state) {
  const std::string& dir = Dir().Path();
  adw::engine::BoardList list;
  for (auto _ : state) {
    list = adw::engine::LoadBoardList(dir);
    benchmark::DoNotOptimize(list.rows.data());
  }
  if (!list.rows.empty() || list.failures.size() != kBoards)
    state.SkipWithError("damaged boards were listed");
}
BENCHMARK(BM_ListDamagedBoards)->Unit(benchmark::kMillisecond);

void BM_ReadTheSameFilesOnly(benchmark::State& state) {
  const std::string& dir = Dir().Path();
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (const std::string& name : adw::platform::ListFiles(dir, "*.prj"))
      bytes += adw::platform::ReadWholeFile(adw::platform::JoinPath(dir, name)).value_or("").size();
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_ReadTheSameFilesOnly)->Unit(benchmark::kMillisecond);

}  // namespace
