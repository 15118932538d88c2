// The job list build at run start: ticked boards with three MAP lines each
// and ticked ads, each ad matching one line of every board by its category
// group, so the list holds boards x ads jobs. Two sizes of each dimension
// show that the cost grows linearly with boards and with ads.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "engine/base/ad_store.h"
#include "engine/base/board_container.h"
#include "engine/base/board_list.h"
#include "engine/posting/job_list.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

using adw::platform::W;

struct Script {
  std::string dir;
  std::vector<adw::engine::BoardRow> rows;
  adw::engine::RecordSet ads = adw::engine::MakeAdsRecordSet();

  Script(int boards, int adCount) {
    std::string pattern = adw::platform::TempDirectory() + "adweld-bench-XXXXXX";
    dir = ::mkdtemp(pattern.data());
    std::string map = W("[Variab]\r\nitem1=Имя$NAME$\r\nitem2=Текст$TEXT$\r\n");
    for (int g = 0; g < 3; ++g) {
      map += "item" + std::to_string(g + 3) + "=" + W("Группа") + std::to_string(g) + "$g" +
             std::to_string(g) + "\r\n";
    }
    adw::platform::WriteFileAtomic(adw::platform::JoinPath(dir, "base.map"), map);
    for (int b = 0; b < boards; ++b) {
      const std::string name = "board" + std::to_string(b);
      std::string text =
          "[Project]\r\nNAME=" + name + "\r\nSUBMIT=http://127.0.0.1/" + name +
          "/add.cgi\r\nSUBBODY=name=$NAME&rubric=0&text=$TEXT&send=1\r\nREQUEST=http://127.0.0.1/" + name +
          "/\r\nCODE=" + (b % 2 ? "KOI8-R" : "win") + "\r\n[MAP]\r\n";
      for (int g = 0; g < 3; ++g) {
        text += std::to_string(g + 1) + "$rubric=" + W("Группа") + std::to_string(g) + "$g" +
                std::to_string(g) + "\r\n";
      }
      std::string packed = adw::engine::Tlzrw1::CompressBytes(text);
      packed.replace(0, 4, "ADWP");
      adw::platform::WriteFileAtomic(adw::platform::JoinPath(dir, name + ".prj"), packed);
      rows.push_back({name, true, name + ".prj"});
    }
    std::string store;
    for (int a = 0; a < adCount; ++a) {
      const std::string name = "ad" + std::to_string(a);
      store += "[" + name + "]\r\n" + W("Имя$NAME=Иван ") + std::to_string(a) + "\r\n" +
               W("Текст$TEXT=Продаю почти новый ноутбук, звоните") + "\r\ndefault=" + W("Раздел") + "$g" +
               std::to_string(a % 3) + "\r\nreppath=/tmp/reports/" + name + "\r\n";
      const std::size_t row = ads.Append();
      ads.SetValue(row, "NAME", name);
      ads.SetValue(row, "STAT", "1");
      ads.SetValue(row, "CATALOG", "/tmp/reports/" + name);
    }
    adw::platform::WriteFileAtomic(adw::platform::JoinPath(dir, "base.dat"), store);
  }
  ~Script() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
};

void BM_BuildJobList(benchmark::State& state) {
  const Script script(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  std::size_t jobs = 0;
  for (auto _ : state) {
    auto build = adw::engine::BuildJobList(script.dir, adw::platform::JoinPath(script.dir, "base.map"),
                                           script.rows, script.ads);
    jobs = build.jobs.Count();
    benchmark::DoNotOptimize(build);
  }
  state.counters["jobs"] = static_cast<double>(jobs);
  state.counters["ns_per_job"] =
      benchmark::Counter(static_cast<double>(jobs) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BuildJobList)
    ->Args({500, 200})
    ->Args({1000, 100})
    ->Args({1000, 200})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
