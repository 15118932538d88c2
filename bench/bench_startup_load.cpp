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

namespace {

namespace fs = std::filesystem;
using adw::platform::W;

constexpr int kFieldCount = 10;
constexpr int kAdCount = 2000;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A board much like the wizard writes, with a due date so that the due
// rule does its whole work for every board.
std::string BoardText(int n) {
  const std::string name = W("Доска ") + std::to_string(n);
  std::string text = "[Project]\r\nNAME=" + name + "\r\n";
  text += "SUBMIT=http://127.0.0.1/board" + std::to_string(n) + "/add.cgi\r\n";
  text +=
      "SUBBODY=subject=$TEMA&name=$NAME&phone=$PHONE&email=$EMAIL&city=$CITY&price=$PRICE&text=$TEXT"
      "&rubr=3&region=77&period=30&agree=1&send=" +
      W("Отправить") + "\r\n";
  text += "REQUEST=http://127.0.0.1/board" + std::to_string(n) + "/\r\n";
  text += "CODE=" + std::string(n % 3 == 0 ? "KOI8-R" : "WIN1251") + "\r\n";
  text += "LASTSEND=" + std::to_string(10 + n % 18) + ".0" + std::to_string(1 + n % 9) + ".2024\r\n";
  text += "Period=" + std::to_string(n % 7) + "\r\n \r\n[MAP]\r\n";
  for (int i = 1; i <= 6; ++i) {
    text += std::to_string(i) + "$rubr=" + W("Раздел ") + std::to_string(i) + "$comp\r\n";
  }
  return text + "\r\n\r\n\r\n";
}

std::string StoredBoard(int n) {
  std::string bytes = adw::engine::Tlzrw1::CompressBytes(BoardText(n));
  bytes.replace(0, 4, "ADWP");
  return bytes;
}

std::string MapText() {
  std::string text = "[Variab]\r\nitem1=" + W("Компьютеры") + "$comp\r\n";
  for (int f = 0; f < kFieldCount; ++f) {
    text += "item" + std::to_string(f + 2) + "=" + W("Поле ") + std::to_string(f) + "$F" + std::to_string(f) +
            "$" + W("значение") + "\r\n";
  }
  text += "[$comp]\r\n";
  for (int i = 1; i <= 20; ++i)
    text += "item" + std::to_string(i) + "=" + W("Раздел ") + std::to_string(i) + "\r\n";
  return text;
}

std::string AdsText() {
  std::string text;
  for (int a = 0; a < kAdCount; ++a) {
    text += "[" + W("Объявление ") + std::to_string(a) + "]\r\n";
    for (int f = 0; f < kFieldCount; ++f) {
      text += W("Поле ") + std::to_string(f) + "$F" + std::to_string(f) + "=" + W("Текст поля ") +
              std::to_string(f) + W(" объявления ") + std::to_string(a) + "\r\n";
    }
    text += "default=" + W("Раздел ") + std::to_string(1 + a % 20) + "$comp\r\n";
    text += "reppath=/tmp/reports/" + std::to_string(a) + "\r\n";
  }
  return text;
}

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
    for (int n = 0; n < boards; ++n)
      // Names on disk are the system's UTF-8; the program reads them so.
      WriteFile(dir + "/" + "Доска " + std::to_string(n) + ".prj", StoredBoard(n));
    WriteFile(dir + "/base.map", MapText());
    WriteFile(dir + "/base.dat", AdsText());
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
  for (int n = 0; n < 10000; ++n) names.push_back(W("Доска объявлений ") + std::to_string((n * 7919) % 10000));
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
