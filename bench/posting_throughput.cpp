// Posting throughput: 2,000 form posts to a local server through the real
// worker pool (30 threads, its main-thread calls served by a queue), against
// curl sending the same 2,000 posts with 30 parallel transfers. The server
// answers every request at once and closes, HTTP/1.0. Several rounds,
// alternating; the last line is the median of each side:
//   ours=N/s curl=M/s ratio=R
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/posting/worker_pool.h"
#include "loopback_server.h"
#include "platform/files.h"
#include "platform/main_thread.h"

namespace {

constexpr int kJobs = 2000;
constexpr int kThreads = 30;
constexpr int kRounds = 5;

std::string Url(int port, int k) {
  return "http://127.0.0.1:" + std::to_string(port) + "/post?" + std::to_string(k);
}
std::string Body(int k) {
  return "name=bench&rubric=3&text=job" + std::to_string(k);
}

class Quiet : public adw::engine::IPostingObserver {
 public:
  adw::engine::RunSwitches Switches() override { return {kThreads, false, false}; }
  void DisplayChanged(const adw::engine::RunDisplay& display) override { last = display; }
  adw::engine::RunDisplay last;
};

double OursPerSecond(int port, int& maxRunning, int& failures) {
  adw::engine::JobList jobs;
  for (int k = 0; k < kJobs; ++k) jobs.Add(Url(port, k), Body(k), "http://127.0.0.1/", "Bench\t");
  adw::platform::QueueMainThread mainThread;
  Quiet observer;
  adw::engine::PostingPool pool(mainThread, observer);
  adw::engine::RunOptions options;
  options.settingsFile = "/nonexistent/adwelder.ini";
  const auto start = std::chrono::steady_clock::now();
  pool.Start(std::move(jobs), options);
  while (pool.IsActive()) mainThread.WaitAndRun(100);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  maxRunning = pool.MaxRunningSeen();
  failures = observer.last.counters.failures;
  return kJobs / seconds;
}

double CurlPerSecond(const std::string& config) {
  const std::string command =
      "curl --silent --show-error --no-progress-meter --http1.0 --parallel --parallel-max " +
      std::to_string(kThreads) + " --config '" + config + "'";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (status != 0) std::fprintf(stderr, "curl ended with status %d\n", status);
  return kJobs / seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  adw::bench::LoopbackServer server;
  const std::string config =
      adw::platform::TempDirectory() + "adweld-bench-curl-" + std::to_string(::getpid()) + ".cfg";
  {
    std::ofstream out(config);
    for (int k = 0; k < kJobs; ++k) {
      out << "url = \"" << Url(server.Port(), k) << "\"\n"
          << "data = \"" << Body(k) << "\"\n"
          << "referer = \"http://127.0.0.1/\"\n"
          << "output = \"/dev/null\"\n";
      if (k + 1 < kJobs) out << "next\n";
    }
  }
  std::vector<double> ours;
  std::vector<double> curl;
  for (int round = 1; round <= kRounds; ++round) {
    int maxRunning = 0;
    int failures = 0;
    ours.push_back(OursPerSecond(server.Port(), maxRunning, failures));
    curl.push_back(CurlPerSecond(config));
    std::printf("round %d: ours=%.0f/s (up to %d workers, %d failed) curl=%.0f/s\n", round, ours.back(),
                maxRunning, failures, curl.back());
  }
  adw::platform::RemoveFileQuiet(config);
  const double o = Median(ours);
  const double c = Median(curl);
  std::printf("ours=%.0f/s curl=%.0f/s ratio=%.2f\n", o, c, o / c);
  return 0;
}
