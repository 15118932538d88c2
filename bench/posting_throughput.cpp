// Posting throughput: 2,000 form posts to a local server through the real
// worker pool (30 threads, its main-thread calls served by a queue as in
// adweld-run), with result pages and the log on, against h2load sending the
// same 2,000 posts over 30 connections. Several rounds, alternating; the
// last line is the median of each side:
//   ours=N/s h2load=M/s ratio=R
//
// Both sides follow one connection rule: one request per connection. Ours
// sends HTTP/1.0 and reads to the close. h2load --h1 can only send HTTP/1.1
// (seen on the wire: "POST /post HTTP/1.1", Host, user-agent, the -H
// headers, Content-Length and the -d file as body); with "connection: close"
// added it opens a new connection for every request, and the server closes
// after each reply for both. The body and the Referer are the same bytes.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/posting/worker_pool.h"
#include "loopback_server.h"
#include "platform/files.h"
#include "platform/main_thread.h"

namespace {

namespace fs = std::filesystem;

constexpr int kJobs = 2000;
constexpr int kThreads = 30;
constexpr int kRounds = 5;
// 200 boards times 10 ads: every job leaves a page of its own, ten report
// directories of 200 pages each.
constexpr int kBoards = 200;
const char* const kBody = "name=bench&rubric=3&text=one+line+of+an+ad";
const char* const kReferer = "http://127.0.0.1/";

std::string Url(int port) {
  return "http://127.0.0.1:" + std::to_string(port) + "/post";
}

class Observer : public adw::engine::IPostingObserver {
 public:
  explicit Observer(bool records) : m_records(records) {}
  adw::engine::RunSwitches Switches() override {
    adw::engine::RunSwitches switches;
    switches.threadLimit = kThreads;
    switches.reports = m_records;
    switches.log = m_records;
    // One local server stands for every board: it may take all threads.
    switches.hostLimit = kThreads;
    return switches;
  }
  void DisplayChanged(const adw::engine::RunDisplay& display) override { last = display; }
  adw::engine::RunDisplay last;

 private:
  bool m_records;
};

struct Ours {
  double perSecond = 0;
  int maxRunning = 0;
  int failures = 0;
};

Ours RunOurs(int port, const std::string& workDir, bool records) {
  adw::engine::JobList jobs;
  for (int k = 0; k < kJobs; ++k) {
    jobs.Add(Url(port), kBody, kReferer,
             "Board " + std::to_string(k % kBoards) + "\t" + workDir + "/ad" + std::to_string(k / kBoards));
  }
  adw::platform::QueueMainThread mainThread;
  Observer observer(records);
  adw::engine::PostingPool pool(mainThread, observer);
  adw::engine::RunOptions options;
  options.settingsFile = workDir + "/adwelder.ini";
  options.logFile = workDir + "/adwelder.log";
  const auto start = std::chrono::steady_clock::now();
  pool.Start(std::move(jobs), options);
  while (pool.IsActive()) mainThread.WaitAndRun(100);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {kJobs / seconds, pool.MaxRunningSeen(), observer.last.counters.failures};
}

double RunH2load(int port, const std::string& bodyFile) {
  const std::string command = "h2load --h1 -n " + std::to_string(kJobs) + " -c " + std::to_string(kThreads) +
                              " -d '" + bodyFile + "' -H 'Referer: " + kReferer +
                              "' -H 'Content-Type: application/x-www-form-urlencoded'"
                              " -H 'Connection: close' " +
                              Url(port) + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return 0;
  std::string output;
  std::array<char, 4096> buffer{};
  while (std::fgets(buffer.data(), buffer.size(), pipe)) output += buffer.data();
  ::pclose(pipe);
  // "requests: 2000 total, 2000 started, 2000 done, 2000 succeeded, ..."
  // and "finished in 1.23s, 1626.01 req/s, ..."
  if (output.find(std::to_string(kJobs) + " succeeded") == std::string::npos) {
    std::fprintf(stderr, "h2load did not post every request:\n%s", output.c_str());
  }
  const std::size_t finished = output.find("finished in ");
  const std::size_t comma = output.find(", ", finished);
  if (finished == std::string::npos || comma == std::string::npos) return 0;
  return std::strtod(output.c_str() + comma + 2, nullptr);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  adw::bench::LoopbackServer server;
  const std::string workDir = adw::platform::TempDirectory() + "adweld-bench-posting-" + std::to_string(::getpid());
  for (int a = 0; a < kJobs / kBoards; ++a) fs::create_directories(workDir + "/ad" + std::to_string(a));
  const std::string bodyFile = workDir + "/body.txt";
  std::ofstream(bodyFile, std::ios::binary) << kBody;

  std::vector<double> ours;
  std::vector<double> bare;
  std::vector<double> h2load;
  for (int round = 1; round <= kRounds; ++round) {
    const Ours withRecords = RunOurs(server.Port(), workDir, true);
    const Ours without = RunOurs(server.Port(), workDir, false);
    ours.push_back(withRecords.perSecond);
    bare.push_back(without.perSecond);
    h2load.push_back(RunH2load(server.Port(), bodyFile));
    std::printf(
        "round %d: ours=%.0f/s (pages and log on, up to %d workers, %d failed) "
        "ours without pages and log=%.0f/s h2load=%.0f/s\n",
        round, withRecords.perSecond, withRecords.maxRunning, withRecords.failures, without.perSecond,
        h2load.back());
    std::fflush(stdout);
  }
  std::error_code ec;
  fs::remove_all(workDir, ec);
  const double o = Median(ours);
  const double h = Median(h2load);
  std::printf("without pages and log: ours=%.0f/s ratio=%.2f\n", Median(bare), Median(bare) / h);
  std::printf("ours=%.0f/s h2load=%.0f/s ratio=%.2f\n", o, h, o / h);
  return 0;
}
