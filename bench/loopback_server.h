#pragma once
// The benchmarks' HTTP/1.0 peer on 127.0.0.1: a few threads, each accepting
// one connection at a time, reading the request head and its announced
// body, answering at once and closing. The reply announces its length and
// the close, so a client that speaks HTTP/1.1 (h2load) counts it as a
// success and opens a new connection for its next request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace adw::bench {

class LoopbackServer {
 public:
  LoopbackServer() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_fd, 1024) != 0) {
      std::perror("bind/listen");
      std::exit(1);
    }
    socklen_t len = sizeof addr;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
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
      std::string request;
      char buffer[4096];
      std::size_t need = std::string::npos;
      while (need == std::string::npos || request.size() < need) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<std::size_t>(n));
        const std::size_t head = request.find("\r\n\r\n");
        if (need == std::string::npos && head != std::string::npos) {
          std::size_t length = 0;
          for (const char* key : {"Content-Length:", "content-length:"}) {
            const std::size_t at = request.find(key);
            if (at != std::string::npos && at < head)
              length = std::strtoul(request.c_str() + at + 15, nullptr, 10);
          }
          need = head + 4 + length;
        }
      }
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
