#pragma once
// The benchmarks' HTTP/1.0 peer on 127.0.0.1: a few threads, each accepting
// one connection at a time, reading the request head and its announced
// body, answering at once and closing. The reply announces its length and
// the close, so a client that speaks HTTP/1.1 (h2load) counts it as a
// success and opens a new connection for its next request.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "loopback_listener.h"

namespace adw::bench {

class LoopbackServer {
 public:
  LoopbackServer() {
    m_fd = ListenOnLoopback(m_port);
    for (int i = 0; i < 4; ++i) m_threads.emplace_back([this] { Serve(); });
  }
  ~LoopbackServer() {
    m_stop = true;
    ::shutdown(m_fd, SHUT_RDWR);
    for (auto& t : m_threads) t.join();
    ::close(m_fd);
  }
  int Port() const { return m_port; }
  long Served() const { return m_served.load(); }

 private:
  void Serve() {
    while (!m_stop) {
      const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        if (m_stop) return;
        continue;
      }
      const std::string request =
          ReadRequest([&](char* buffer, std::size_t size) { return ::recv(client, buffer, size, 0); });
      static const std::string reply =
          "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 15\r\nConnection: close\r\n\r\n"
          "<html>ok</html>";
      ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::shutdown(client, SHUT_WR);
      ::close(client);
      ++m_served;
    }
  }

  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<long> m_served{0};
  std::vector<std::thread> m_threads;
};

}  // namespace adw::bench
