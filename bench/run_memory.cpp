// Resident memory of a posting run of 10,000 jobs through the real pool
// (30 threads) against a local server, with result pages and the log on.
// Prints the peak resident size (VmHWM) and fails when it reaches 100 MB.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/posting/worker_pool.h"
#include "loopback_server.h"
#include "platform/files.h"
#include "platform/main_thread.h"

namespace {

constexpr int kJobs = 10000;
constexpr long kLimitKb = 100 * 1024;

long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

class Observer : public adw::engine::IPostingObserver {
 public:
  adw::engine::RunSwitches Switches() override { return {30, true, true}; }
  void DisplayChanged(const adw::engine::RunDisplay& display) override { last = display; }
  adw::engine::RunDisplay last;
};

}  // namespace

int main() {
  adw::bench::LoopbackServer server;
  std::string pattern = adw::platform::TempDirectory() + "adweld-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern.data());
  const long before = PeakResidentKb();
  {
    adw::engine::JobList jobs;
    for (int k = 0; k < kJobs; ++k) {
      // A hundred boards and a hundred ads, as a large real run would have.
      jobs.Add("http://127.0.0.1:" + std::to_string(server.Port()) + "/board" + std::to_string(k % 100) +
                   "/add.cgi",
               "name=%C8%E2%E0%ED&rubric=15&text=" + std::string(200, 'x') + std::to_string(k),
               "http://127.0.0.1/board" + std::to_string(k % 100) + "/",
               "board" + std::to_string(k % 100) + "\t" + dir + "/ad" + std::to_string(k / 100));
    }
    for (int a = 0; a < 100; ++a) std::filesystem::create_directory(dir + "/ad" + std::to_string(a));
    adw::platform::QueueMainThread mainThread;
    Observer observer;
    adw::engine::PostingPool pool(mainThread, observer);
    adw::engine::RunOptions options;
    options.settingsFile = dir + "/adwelder.ini";
    options.logFile = dir + "/adwelder.log";
    pool.Start(std::move(jobs), options);
    while (pool.IsActive()) mainThread.WaitAndRun(100);
    std::printf("jobs=%d succeeded=%d failed=%d\n", kJobs, observer.last.counters.successes,
                observer.last.counters.failures);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  const long peak = PeakResidentKb();
  std::printf("VmHWM before the run: %ld kB\n", before);
  std::printf("peak RSS (VmHWM): %ld kB = %.1f MB (limit %ld MB)\n", peak, peak / 1024.0, kLimitKb / 1024);
  return peak >= 0 && peak < kLimitKb ? 0 : 1;
}
