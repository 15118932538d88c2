// Politeness of a real run, seen from the boards' side: a local server on
// several ports (each port a host of its own) records when every request
// arrived, how many were open at once, and when each reply went out.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/posting/worker_pool.h"
#include "platform/main_thread.h"

namespace adw::engine {
namespace {

using Clock = std::chrono::steady_clock;

class RecordingHosts {
 public:
  struct Visit {
    Clock::time_point arrived;
    Clock::time_point answered;
  };

  // holdMs: how long each request is kept before its reply, so that a pool
  // that ignored the limit would have more open at once.
  RecordingHosts(int ports, int holdMs) : m_holdMs(holdMs) {
    for (int p = 0; p < ports; ++p) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0)
        std::abort();
      socklen_t len = sizeof addr;
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
      m_listen.push_back(fd);
      m_ports.push_back(ntohs(addr.sin_port));
    }
    for (std::size_t p = 0; p < m_listen.size(); ++p) m_acceptors.emplace_back([this, p] { Accept(p); });
  }
  ~RecordingHosts() {
    for (int fd : m_listen) ::shutdown(fd, SHUT_RDWR);
    for (auto& t : m_acceptors) t.join();
    std::vector<std::thread> connections;
    {
      std::lock_guard lock(m_mutex);
      connections.swap(m_connections);
    }
    for (auto& t : connections) t.join();
    for (int fd : m_listen) ::close(fd);
  }
  std::string Url(std::size_t port) const {
    return "http://127.0.0.1:" + std::to_string(m_ports[port]) + "/add";
  }
  int MaxOpen(std::size_t port) {
    std::lock_guard lock(m_mutex);
    return m_maxOpen[port];
  }
  std::vector<Visit> Visits(std::size_t port) {
    std::lock_guard lock(m_mutex);
    return m_visits[port];
  }

 private:
  void Accept(std::size_t port) {
    for (;;) {
      const int client = ::accept4(m_listen[port], nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) return;
      std::lock_guard lock(m_mutex);
      m_maxOpen[port] = std::max(m_maxOpen[port], ++m_open[port]);
      m_connections.emplace_back(
          [this, port, client, arrived = Clock::now()] { Serve(port, client, arrived); });
    }
  }
  void Serve(std::size_t port, int client, Clock::time_point arrived) {
    std::string request;
    char buffer[4096];
    std::size_t need = std::string::npos;
    while (need == std::string::npos || request.size() < need) {
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
      const std::size_t head = request.find("\r\n\r\n");
      const std::size_t length = request.find("Content-Length: ");
      if (need == std::string::npos && head != std::string::npos && length != std::string::npos)
        need = head + 4 + std::strtoul(request.c_str() + length + 16, nullptr, 10);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(m_holdMs));
    {
      // Counted as closed before the reply leaves, so the next request the
      // reply lets start is never counted together with this one.
      std::lock_guard lock(m_mutex);
      --m_open[port];
      m_visits[port].push_back({arrived, Clock::now()});
    }
    static const std::string reply = "HTTP/1.0 200 OK\r\n\r\n<html>ok</html>";
    ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
    ::close(client);
  }

  int m_holdMs;
  std::vector<int> m_listen;
  std::vector<int> m_ports;
  std::vector<std::thread> m_acceptors;
  std::mutex m_mutex;
  std::vector<std::thread> m_connections;
  std::map<std::size_t, int> m_open;
  std::map<std::size_t, int> m_maxOpen;
  std::map<std::size_t, std::vector<Visit>> m_visits;
};

class Observer : public IPostingObserver {
 public:
  RunSwitches switches;
  RunDisplay last;
  RunSwitches Switches() override { return switches; }
  void DisplayChanged(const RunDisplay& display) override { last = display; }
};

TEST(HostPoliteness, NeverMoreThanTheLimitPerHostAndDelayHeldWhileOtherHostsGoOn) {
  RecordingHosts hosts(3, 40);
  constexpr int kDelayMs = 300;
  JobList jobs;
  // Two busy boards on hosts 0 and 1 (host 1 carries two boards), and a
  // board on host 2 that asks for DELAY between its postings. Listed board
  // by board, as the job list builds them.
  for (int k = 0; k < 8; ++k) jobs.Add(hosts.Url(0), "a=" + std::to_string(k), "", "A\t");
  for (int k = 0; k < 5; ++k) jobs.Add(hosts.Url(1), "b=" + std::to_string(k), "", "B\t");
  for (int k = 0; k < 5; ++k) jobs.Add(hosts.Url(1), "c=" + std::to_string(k), "", "C\t");
  for (int k = 0; k < 3; ++k) jobs.Add(hosts.Url(2), "d=" + std::to_string(k), "", "Slow\t", kDelayMs);
  const int jobCount = static_cast<int>(jobs.Count());

  platform::QueueMainThread main;
  Observer observer;
  observer.switches.threadLimit = 10;
  observer.switches.hostLimit = 2;
  PostingPool pool(main, observer);
  RunOptions options;
  options.settingsFile = "/nonexistent/adwelder.ini";
  ASSERT_EQ(pool.Start(std::move(jobs), options), PostingPool::StartResult::Started);
  while (pool.IsActive()) main.WaitAndRun(1000);

  EXPECT_EQ(observer.last.counters.successes, jobCount);
  EXPECT_EQ(hosts.Visits(0).size(), 8u);
  EXPECT_EQ(hosts.Visits(1).size(), 10u);
  for (std::size_t port = 0; port < 3; ++port) EXPECT_LE(hosts.MaxOpen(port), 2) << "host " << port;
  EXPECT_EQ(hosts.MaxOpen(2), 1);

  const auto slow = hosts.Visits(2);
  ASSERT_EQ(slow.size(), 3u);
  for (std::size_t k = 1; k < slow.size(); ++k) {
    EXPECT_GE(slow[k].arrived - slow[k - 1].answered, std::chrono::milliseconds(kDelayMs)) << k;
  }
  // The delayed board did not hold up the others: they were done before
  // its last posting.
  EXPECT_LT(hosts.Visits(0).back().answered, slow.back().arrived);
}

TEST(HostPoliteness, ADelayedBoardAloneStillEndsItsRun) {
  RecordingHosts hosts(1, 0);
  JobList jobs;
  for (int k = 0; k < 3; ++k) jobs.Add(hosts.Url(0), "d", "", "Slow\t", 100);
  platform::QueueMainThread main;
  Observer observer;
  observer.switches.threadLimit = 30;
  observer.switches.hostLimit = 30;
  PostingPool pool(main, observer);
  RunOptions options;
  options.settingsFile = "/nonexistent/adwelder.ini";
  ASSERT_EQ(pool.Start(std::move(jobs), options), PostingPool::StartResult::Started);
  while (pool.IsActive()) main.WaitAndRun(1000);
  EXPECT_EQ(observer.last.counters.successes, 3);
  EXPECT_EQ(hosts.MaxOpen(0), 1);
  EXPECT_EQ(hosts.Visits(0).size(), 3u);

  // A run that waits out a long DELAY can still be shut down at once, and
  // the pool starts runs again afterwards.
  JobList waiting;
  for (int k = 0; k < 2; ++k) waiting.Add(hosts.Url(0), "w", "", "Patient\t", 3600 * 1000);
  ASSERT_EQ(pool.Start(std::move(waiting), options), PostingPool::StartResult::Started);
  while (observer.last.counters.successes < 1) main.WaitAndRun(1000);
  pool.Shutdown();
  EXPECT_FALSE(pool.IsActive());
  EXPECT_EQ(hosts.Visits(0).size(), 4u);
  JobList again;
  again.Add(hosts.Url(0), "x", "", "Again\t");
  ASSERT_EQ(pool.Start(std::move(again), options), PostingPool::StartResult::Started);
  while (pool.IsActive()) main.WaitAndRun(1000);
  EXPECT_EQ(hosts.Visits(0).size(), 5u);
}

}  // namespace
}  // namespace adw::engine
