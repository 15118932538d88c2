// Posting throughput over TLS: 2,000 form posts to a local HTTPS server
// through the real worker pool (30 threads, certificate verified against
// the system store and the bench CA named by the settings' extra CA file),
// against h2load --h1 sending the same 2,000 posts over TLS with 30 clients.
// Both sides open one connection per request: our client is HTTP/1.0, the
// server closes after every reply, and h2load makes each of its 2,000
// requests on a connection of its own. Each round says how many handshakes
// resumed an earlier session (both sides resume: ours keeps one session per
// board, h2load one per client). Several rounds, alternating; the last line
// is the median of each side:
//   ours=N/s h2load=M/s ratio=R
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/posting/worker_pool.h"
#include "platform/files.h"
#include "platform/main_thread.h"
#include "tls_loopback_server.h"

namespace {

constexpr int kJobs = 2000;
constexpr int kThreads = 30;
constexpr int kRounds = 5;
const std::string kBody = "name=bench&rubric=3&text=job";

class Quiet : public adw::engine::IPostingObserver {
 public:
  adw::engine::RunSwitches Switches() override {
    adw::engine::RunSwitches switches;
    switches.threadLimit = kThreads;
    // One local server stands for every board: it may take all threads.
    switches.hostLimit = kThreads;
    return switches;
  }
  void DisplayChanged(const adw::engine::RunDisplay& display) override { last = display; }
  adw::engine::RunDisplay last;
};

double OursPerSecond(int port, const std::string& settings, int& failures) {
  adw::engine::JobList jobs;
  const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/post";
  for (int k = 0; k < kJobs; ++k) jobs.Add(url, kBody, "https://127.0.0.1/", "Bench\t");
  adw::platform::QueueMainThread mainThread;
  Quiet observer;
  adw::engine::PostingPool pool(mainThread, observer);
  adw::engine::RunOptions options;
  options.settingsFile = settings;
  const auto start = std::chrono::steady_clock::now();
  pool.Start(std::move(jobs), options);
  while (pool.IsActive()) mainThread.WaitAndRun(100);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  failures = observer.last.counters.failures;
  return kJobs / seconds;
}

// h2load's own count of completed requests must be all of them; its wall
// time (including its start) is what is compared.
double H2loadPerSecond(int port, const std::string& bodyFile, const std::string& log) {
  // -n 2000 -c 30 with the server closing after every reply: each request
  // on a fresh TLS connection, as ours.
  const std::string command = "h2load --h1 -n " + std::to_string(kJobs) + " -c " + std::to_string(kThreads) +
                              " -m 1 -d '" + bodyFile +
                              "' -H 'Content-Type: application/x-www-form-urlencoded' "
                              "-H 'Referer: https://127.0.0.1/' https://127.0.0.1:" +
                              std::to_string(port) + "/post > '" + log + "' 2>&1";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (status != 0) std::fprintf(stderr, "h2load ended with status %d\n", status);
  return kJobs / seconds;
}

std::string Summary(const std::string& log) {
  std::ifstream in(log);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("requests:", 0) == 0) return line;
  }
  return "(no summary)";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  const std::string dir = adw::platform::TempDirectory() + "adweld-bench-tls-" + std::to_string(::getpid());
  if (std::system(("mkdir -p '" + dir + "'").c_str()) != 0) return 1;
  adw::bench::MakeTestCertificates(dir);
  const std::string settings = dir + "/adwelder.ini";
  const std::string bodyFile = dir + "/body";
  const std::string log = dir + "/h2load.log";
  std::ofstream(settings) << "[Save]\r\nedTimeOut_Text=20\r\nedCAFile_Text=" << dir << "/ca.pem\r\n";
  std::ofstream(bodyFile) << kBody;

  adw::bench::TlsLoopbackServer server(dir + "/server.pem", dir + "/server.key");
  std::vector<double> ours;
  std::vector<double> peer;
  for (int round = 1; round <= kRounds; ++round) {
    int failures = 0;
    const long resumedBefore = server.Resumed();
    ours.push_back(OursPerSecond(server.Port(), settings, failures));
    const long oursResumed = server.Resumed() - resumedBefore;
    peer.push_back(H2loadPerSecond(server.Port(), bodyFile, log));
    const long peerResumed = server.Resumed() - resumedBefore - oursResumed;
    std::printf("round %d: ours=%.0f/s (%d failed, %ld resumed) h2load=%.0f/s (%ld resumed; %s)\n", round,
                ours.back(), failures, oursResumed, peer.back(), peerResumed, Summary(log).c_str());
    std::fflush(stdout);
  }
  (void)std::system(("rm -rf '" + dir + "'").c_str());
  const double o = Median(ours);
  const double p = Median(peer);
  std::printf("ours=%.0f/s h2load=%.0f/s ratio=%.2f\n", o, p, o / p);
  return 0;
}
