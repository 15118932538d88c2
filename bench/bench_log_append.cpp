// One log entry with the log on, in an empty log and in a 10 MB log: an
// entry is added at the file's end, so both cost the same.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "engine/posting/run_results.h"
#include "platform/files.h"

namespace {

std::string FilledLog(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 64);
  int day = 1;
  int second = 0;
  while (text.size() < bytes) {
    if (second % 86400 == 0) {
      text += "[" + std::string(day < 10 ? "0" : "") + std::to_string(day) + ".01.2023]\r\n";
      ++day;
    }
    const int s = second % 86400;
    text += std::to_string(s / 3600) + ":" + (s / 60 % 60 < 10 ? "0" : "") + std::to_string(s / 60 % 60) +
            ":" + (s % 60 < 10 ? "0" : "") + std::to_string(s % 60) + "= result=10035\r\n";
    ++second;
  }
  return text;
}

void BM_WriteLogEntry(benchmark::State& state) {
  std::string pattern = adw::platform::TempDirectory() + "adweld-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern.data());
  const std::string log = adw::platform::JoinPath(dir, "adwelder.log");
  const std::size_t size = static_cast<std::size_t>(state.range(0)) * 1024 * 1024;
  if (size > 0) adw::platform::WriteFileAtomic(log, FilledLog(size));
  // The first entry of a process finds the log's last section; every later
  // one goes straight to the end.
  adw::engine::WriteLogEntry(log, "", 10035, true);
  for (auto _ : state) adw::engine::WriteLogEntry(log, "", 10035, true);
  std::error_code ignored;
  state.counters["log_MB"] =
      static_cast<double>(std::filesystem::file_size(log, ignored)) / (1024.0 * 1024.0);
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_WriteLogEntry)->Arg(0)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace
