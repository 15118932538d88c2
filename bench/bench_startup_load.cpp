// The start-up load of a large script directory: the board list of 10,000
// board files, the variables of base.map and 2,000 ads of 10 fields each
// from base.dat, which together must take well under two seconds. The board
// list alone is also measured at 1,000, 5,000 and 10,000 boards to show that
// it grows linearly.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/base/ad_store.h"
#include "engine/base/board_container.h"
#include "engine/base/board_list.h"
#include "engine/base/record_set.h"
#include "engine/base/variables_map.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "startup_script_dir.h"

namespace {

namespace fs = std::filesystem;
using adw::platform::W;
using namespace adw::bench;

// Script directories made once per run and removed at its end.
class ScriptDirs {
 public:
  ~ScriptDirs() {
    std::error_code ec;
    if (!m_root.empty()) fs::remove_all(m_root, ec);
  }
  const std::string& WithBoards(int boards) {
    auto it = m_dirs.find(boards);
    if (it != m_dirs.end()) return it->second;
    if (m_root.empty()) {
      m_root = adw::platform::TempDirectory() + "adweld-bench-startup-" + std::to_string(::getpid());
      fs::create_directories(m_root);
    }
    const std::string dir = m_root + "/" + std::to_string(boards);
    fs::create_directories(dir);
    // Board names are Windows-1251 like the program's own; the files get
    // the UTF-8 names the program gives them on disk.
    WriteScriptDir(dir, boards, kAdCount);
    return m_dirs.emplace(boards, dir).first->second;
  }

 private:
  std::string m_root;
  std::map<int, std::string> m_dirs;
};

ScriptDirs& Dirs() {
  static ScriptDirs dirs;
  return dirs;
}

// A new modification time makes the profile layer parse the file again, as
// it must at program start.
void Touch(const std::string& path) {
  std::error_code ec;
  fs::last_write_time(path, fs::last_write_time(path, ec) + std::chrono::seconds(1), ec);
}

void BM_BoardList(benchmark::State& state) {
  const std::string& dir = Dirs().WithBoards(static_cast<int>(state.range(0)));
  std::size_t rows = 0;
  std::string firstFailure;
  for (auto _ : state) {
    const adw::engine::BoardList list = adw::engine::LoadBoardList(dir);
    rows = list.rows.size();
    if (!list.failures.empty() && !list.failures.front().listed)
      firstFailure = list.failures.front().fileName + ": " + list.failures.front().reason;
    benchmark::DoNotOptimize(rows);
  }
  if (rows != static_cast<std::size_t>(state.range(0))) {
    // Says which board went missing and why, not only that one did.
    static std::string message;
    message = "board list lost boards (" + std::to_string(rows) + " listed; " + firstFailure + ")";
    state.SkipWithError(message.c_str());
  }
  state.SetComplexityN(state.range(0));
  state.counters["boards"] = static_cast<double>(rows);
}
BENCHMARK(BM_BoardList)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_StartupLoad(benchmark::State& state) {
  const std::string& dir = Dirs().WithBoards(10000);
  const std::string mapPath = adw::engine::VariablesMapPath(dir);
  const std::string storePath = adw::engine::AdStorePath(dir);
  adw::engine::RecordSet variables = adw::engine::MakeVariablesRecordSet();
  adw::engine::RecordSet ads = adw::engine::MakeAdsRecordSet();
  for (auto _ : state) {
    state.PauseTiming();
    Touch(mapPath);
    Touch(storePath);
    state.ResumeTiming();
    const adw::engine::BoardList list = adw::engine::LoadBoardList(dir);
    adw::engine::LoadVariables(mapPath, variables);
    adw::engine::LoadAds(storePath, ads);
    benchmark::DoNotOptimize(list.rows.data());
  }
  if (ads.RecordCount() != kAdCount || variables.RecordCount() != kFieldCount) {
    state.SkipWithError("start-up load lost records");
  }
}
BENCHMARK(BM_StartupLoad)->Unit(benchmark::kMillisecond);

// The share of the row order in the load: 10,000 names sorted with numbers
// taken by their value, against a plain byte-wise sort of the same names.
std::vector<std::string> BoardNames() {
  std::vector<std::string> names;
  for (int n = 0; n < 10000; ++n)
    names.push_back(W("Доска объявлений ") + std::to_string((n * 7919) % 10000));
  return names;
}

void BM_BoardOrder(benchmark::State& state) {
  const std::vector<std::string> names = BoardNames();
  for (auto _ : state) {
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end(), adw::engine::BoardNameLess);
    benchmark::DoNotOptimize(sorted.data());
  }
}
BENCHMARK(BM_BoardOrder)->Unit(benchmark::kMillisecond);

void BM_BoardOrderBytewise(benchmark::State& state) {
  const std::vector<std::string> names = BoardNames();
  for (auto _ : state) {
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    benchmark::DoNotOptimize(sorted.data());
  }
}
BENCHMARK(BM_BoardOrderBytewise)->Unit(benchmark::kMillisecond);

}  // namespace
