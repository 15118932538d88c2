// Posting throughput: 2,000 form posts to a local server by adweld-run (200
// boards times 10 ads of a generated script directory, 30 threads, result
// pages and the log on), against h2load sending the same 2,000 posts over
// 30 connections. The worker pool is also measured inside this process, with
// pages and log on and off, and adweld-run with pages and log off (the journal
// stays on). Several rounds, alternating; the last line is
// the median of each side:
//   ours=N/s h2load=M/s ratio=R
// ("ours" is adweld-run when it is found beside this program, else the
// pool in this process). Pages are written under the temporary directory:
// TMPDIR=/dev/shm takes the disk out of the figure.
//
// Both sides follow one connection rule: one request per connection. Ours
// sends HTTP/1.0 and reads to the close. h2load --h1 can only send HTTP/1.1
// (seen on the wire: "POST /post HTTP/1.1", Host, user-agent, the -H
// headers, Content-Length and the -d file as body); with "connection: close"
// added it opens a new connection for every request, and the server closes
// after each reply for both. The body and the Referer are the same bytes.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
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

// CPU time (user and system) of the children waited for so far: the
// difference around one run is that run's CPU, to see whether a side is
// bound by the processor or by waiting.
double ChildCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

// A script directory of kBoards boards posting to the server and kJobs /
// kBoards ads, each with a report directory of its own, and the settings
// that switch pages and log on.
std::string MakeScriptDir(int port, const std::string& workDir) {
  const std::string dir = workDir + "/script";
  fs::create_directories(dir);
  for (int n = 0; n < kBoards; ++n) {
    const std::string text = "[Project]\r\nNAME=Board" + std::to_string(n) + "\r\nSUBMIT=" + Url(port) +
                             "\r\nSUBBODY=" + kBody + "\r\nREQUEST=" + kReferer + "\r\n";
    std::string bytes = adw::engine::Tlzrw1::CompressBytes(text);
    bytes.replace(0, 4, "ADWP");
    std::ofstream(dir + "/Board" + std::to_string(n) + ".prj", std::ios::binary) << bytes;
  }
  std::ofstream ads(dir + "/base.dat", std::ios::binary);
  for (int a = 0; a < kJobs / kBoards; ++a) {
    ads << "[Ad" << a << "]\r\ndefault=$comp\r\nreppath=" << workDir << "/ad" << a << "\r\n";
  }
  std::ofstream(dir + "/base.map", std::ios::binary) << "[Variab]\r\n";
  const std::string settings = workDir + "/runner.ini";
  std::ofstream(settings, std::ios::binary)
      << "[Save]\r\ndeScript_Text=" << dir << "\r\ncbReports_Checked=1\r\ncbLogFile_Checked=1\r\n"
      << "RxSEdPost_Value=" << kThreads << "\r\nHostLimit_Value=" << kThreads << "\r\n";
  // The same with pages and log off: what the journal and the process cost
  // on their own.
  std::ofstream(workDir + "/bare.ini", std::ios::binary)
      << "[Save]\r\ndeScript_Text=" << dir << "\r\n"
      << "RxSEdPost_Value=" << kThreads << "\r\nHostLimit_Value=" << kThreads << "\r\n";
  return dir;
}

double RunRunner(const std::string& runner, const std::string& scriptDir, const std::string& workDir,
                 const char* settings = "runner.ini") {
  const std::string command = "'" + runner + "' --script '" + scriptDir + "' --settings '" + workDir + "/" +
                              settings + "' --boards all --ads all --force > '" + workDir +
                              "/runner.out' 2>&1";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string expected = "jobs=" + std::to_string(kJobs) + " succeeded=" + std::to_string(kJobs) + " ";
  std::ifstream out(workDir + "/runner.out");
  const std::string output((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  if (status != 0 || output.find(expected) == std::string::npos) {
    std::fprintf(stderr, "adweld-run did not post every job (status %d):\n%s\n", status,
                 output.substr(output.size() > 400 ? output.size() - 400 : 0).c_str());
    return 0;
  }
  return kJobs / seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int, char** argv) {
  adw::bench::LoopbackServer server;
  const std::string runner = fs::path(argv[0]).parent_path().string() + "/adweld-run";
  const bool haveRunner = fs::exists(runner);
  const std::string workDir =
      adw::platform::TempDirectory() + "adweld-bench-posting-" + std::to_string(::getpid());
  for (int a = 0; a < kJobs / kBoards; ++a) fs::create_directories(workDir + "/ad" + std::to_string(a));
  const std::string bodyFile = workDir + "/body.txt";
  std::ofstream(bodyFile, std::ios::binary) << kBody;
  const std::string scriptDir = MakeScriptDir(server.Port(), workDir);

  std::vector<double> ours;
  std::vector<double> bare;
  std::vector<double> runs;
  std::vector<double> bareRuns;
  std::vector<double> h2load;
  for (int round = 1; round <= kRounds; ++round) {
    const Ours withRecords = RunOurs(server.Port(), workDir, true);
    const Ours without = RunOurs(server.Port(), workDir, false);
    ours.push_back(withRecords.perSecond);
    bare.push_back(without.perSecond);
    double runnerCpu = 0;
    if (haveRunner) {
      const double before = ChildCpuSeconds();
      runs.push_back(RunRunner(runner, scriptDir, workDir));
      runnerCpu = ChildCpuSeconds() - before;
      bareRuns.push_back(RunRunner(runner, scriptDir, workDir, "bare.ini"));
    }
    const double beforeH2load = ChildCpuSeconds();
    h2load.push_back(RunH2load(server.Port(), bodyFile));
    const double h2loadCpu = ChildCpuSeconds() - beforeH2load;
    std::printf(
        "round %d: adweld-run=%.0f/s (journal only: %.0f/s) pool=%.0f/s (pages and log on, up to %d workers, "
        "%d failed) pool without pages and log=%.0f/s h2load=%.0f/s; CPU a job: adweld-run %.0f us, "
        "h2load %.0f us\n",
        round, haveRunner ? runs.back() : 0.0, haveRunner ? bareRuns.back() : 0.0, withRecords.perSecond,
        withRecords.maxRunning, withRecords.failures, without.perSecond, h2load.back(),
        runnerCpu * 1e6 / kJobs, h2loadCpu * 1e6 / kJobs);
    std::fflush(stdout);
  }
  std::error_code ec;
  fs::remove_all(workDir, ec);
  const double h = Median(h2load);
  std::printf("pool in this process, pages and log on: %.0f/s ratio=%.2f\n", Median(ours), Median(ours) / h);
  std::printf("pool in this process, pages and log off: %.0f/s ratio=%.2f\n", Median(bare), Median(bare) / h);
  if (haveRunner) {
    std::printf("adweld-run with the journal, pages and log off: %.0f/s ratio=%.2f\n", Median(bareRuns),
                Median(bareRuns) / h);
  }
  const double o = haveRunner ? Median(runs) : Median(ours);
  std::printf("ours=%.0f/s h2load=%.0f/s ratio=%.2f\n", o, h, o / h);
  return 0;
}
