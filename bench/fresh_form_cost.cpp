// What FRESH=1 costs: 2,000 jobs through the real worker pool (30 threads)
// to a local board that answers at once and closes, HTTP/1.0, once as a
// plain board and once as a board that wants fresh form state. The board
// counts what it receives: a fresh job must cost exactly one GET of the
// form page more, and every posting must carry that page's token and
// cookie. The added time per job is set against h2load --h1 fetching the
// same page 2,000 times with 30 connections in the same run. Last line:
//   gets_per_job=G posts_per_job=P fresh_added_us=A h2load_get_us=H ratio=A/H
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/posting/job_list.h"
#include "engine/posting/worker_pool.h"
#include "loopback_listener.h"
#include "platform/main_thread.h"

namespace {

constexpr int kJobs = 2000;
constexpr int kThreads = 30;
constexpr int kRounds = 7;

// A board: GET gives the form page with a token and a session cookie,
// POST the thanks page. Tokens are not checked for being one-time here (it
// would only add a lock); the post must carry the page's token and cookie.
class BoardServer {
 public:
  BoardServer() {
    m_fd = adw::bench::ListenOnLoopback(m_port);
    for (int i = 0; i < 4; ++i) m_threads.emplace_back([this] { Serve(); });
  }
  ~BoardServer() {
    m_stop = true;
    ::shutdown(m_fd, SHUT_RDWR);
    for (auto& t : m_threads) t.join();
    ::close(m_fd);
  }
  int Port() const { return m_port; }
  void Reset() { m_gets = m_posts = m_freshPosts = 0; }
  long Gets() const { return m_gets; }
  long Posts() const { return m_posts; }
  long FreshPosts() const { return m_freshPosts; }

 private:
  void Serve() {
    // HTTP/1.1 with a length and "Connection: close": both our fetch and
    // h2load read it, and h2load opens a connection per request as ours do.
    static const std::string form =
        "<html><form method=post action=add><input type=hidden name=token value=T7>"
        "<input name=subject><input type=submit name=send value=Go></form></html>";
    static const std::string page =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nSet-Cookie: sid=S7; Path=/\r\n"
        "Connection: close\r\nContent-Length: " +
        std::to_string(form.size()) + "\r\n\r\n" + form;
    static const std::string thanks =
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n<html>thanks</html>";
    while (!m_stop) {
      const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        if (m_stop) return;
        continue;
      }
      const std::string request = adw::bench::ReadRequest(
          [&](char* buffer, std::size_t size) { return ::recv(client, buffer, size, 0); });
      const bool isPost = request.rfind("POST ", 0) == 0;
      if (isPost) {
        ++m_posts;
        if (request.find("\r\nCookie: sid=S7\r\n") != std::string::npos &&
            request.find("token=T7") != std::string::npos)
          ++m_freshPosts;
      } else {
        ++m_gets;
      }
      const std::string& reply = isPost ? thanks : page;
      ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::shutdown(client, SHUT_WR);
      ::close(client);
    }
  }

  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<long> m_gets{0};
  std::atomic<long> m_posts{0};
  std::atomic<long> m_freshPosts{0};
  std::vector<std::thread> m_threads;
};

class Quiet : public adw::engine::IPostingObserver {
 public:
  adw::engine::RunSwitches Switches() override { return {kThreads, false, false}; }
  void DisplayChanged(const adw::engine::RunDisplay& display) override { last = display; }
  adw::engine::RunDisplay last;
};

// Seconds for the run; failures through failed.
double Run(int port, bool fresh, int& failed) {
  auto rules = std::make_shared<adw::engine::BoardJobRules>();
  rules->fresh = fresh;
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/board/";
  adw::engine::JobList jobs;
  for (int k = 0; k < kJobs; ++k)
    jobs.Add(base + "add", "subject=job" + std::to_string(k) + "&token=stale&send=Go", base, "Bench\t",
             rules);
  adw::platform::QueueMainThread mainThread;
  Quiet observer;
  adw::engine::PostingPool pool(mainThread, observer);
  adw::engine::RunOptions options;
  options.settingsFile = "/nonexistent/adwelder.ini";
  const auto start = std::chrono::steady_clock::now();
  pool.Start(std::move(jobs), options);
  while (pool.IsActive()) mainThread.WaitAndRun(100);
  failed = observer.last.counters.failures + observer.last.counters.unconfirmed;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// h2load's own count of the requests that succeeded is checked: a peer
// whose requests fail looks fast.
double H2loadSeconds(int port, long& succeeded) {
  const std::string command = "h2load --h1 -n " + std::to_string(kJobs) + " -c " + std::to_string(kThreads) +
                              " http://127.0.0.1:" + std::to_string(port) + "/board/";
  const auto start = std::chrono::steady_clock::now();
  FILE* out = ::popen(command.c_str(), "r");
  succeeded = -1;
  char line[512];
  while (out && std::fgets(line, sizeof line, out)) {
    const std::string text(line);
    const std::size_t at = text.find(" done, ");
    if (text.rfind("requests:", 0) == 0 && at != std::string::npos)
      succeeded = std::atol(text.c_str() + at + 7);
  }
  const int status = out ? ::pclose(out) : -1;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (status != 0) std::fprintf(stderr, "h2load ended with status %d\n", status);
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  BoardServer server;
  std::vector<double> added;
  std::vector<double> h2load;
  double getsPerJob = 0;
  double postsPerJob = 0;
  for (int round = 1; round <= kRounds; ++round) {
    int failedPlain = 0;
    int failedFresh = 0;
    // Alternating which side goes first, so a load change of the machine
    // does not always hit the same side.
    double plain = 0;
    double fresh = 0;
    long plainGets = 0;
    long carried = 0;
    for (const bool freshSide : {round % 2 == 0, round % 2 != 0}) {
      server.Reset();
      if (freshSide) {
        fresh = Run(server.Port(), true, failedFresh);
        getsPerJob = static_cast<double>(server.Gets()) / kJobs;
        postsPerJob = static_cast<double>(server.Posts()) / kJobs;
        carried = server.FreshPosts();
      } else {
        plain = Run(server.Port(), false, failedPlain);
        plainGets = server.Gets();
      }
    }
    server.Reset();
    long peerSucceeded = 0;
    h2load.push_back(H2loadSeconds(server.Port(), peerSucceeded) / kJobs * 1e6);
    added.push_back((fresh - plain) / kJobs * 1e6);
    std::printf(
        "round %d: plain %.0f jobs/s (%ld GETs, %d failed), fresh %.0f jobs/s (%.2f GETs and %.2f POSTs per "
        "job, "
        "%ld posts with the page's token and cookie, %d failed); h2load GET %.1f us (%ld succeeded)\n",
        round, kJobs / plain, plainGets, failedPlain, kJobs / fresh, getsPerJob, postsPerJob, carried,
        failedFresh, h2load.back(), peerSucceeded);
  }
  const double a = Median(added);
  const double h = Median(h2load);
  std::printf("gets_per_job=%.2f posts_per_job=%.2f fresh_added_us=%.1f h2load_get_us=%.1f ratio=%.2f\n",
              getsPerJob, postsPerJob, a, h, a / h);
  return 0;
}
