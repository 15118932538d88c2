#pragma once
// What the benchmarks' loopback servers share: a listening socket on
// 127.0.0.1 at a free port, and reading one request (its head and the body
// its Content-Length announces) whatever the transport.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace adw::bench {

// The listening socket; port is set to the one the system chose. A
// benchmark that cannot listen has nothing to measure: it exits.
inline int ListenOnLoopback(int& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 1024) != 0) {
    std::perror("bind/listen");
    std::exit(1);
  }
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  port = ntohs(addr.sin_port);
  return fd;
}

// readSome(buffer, size) reads like recv: the bytes read, 0 or less at the
// end. Returns what was read of the request, whole unless the peer stopped.
template <class ReadSome>
std::string ReadRequest(ReadSome readSome) {
  std::string request;
  char buffer[4096];
  std::size_t need = std::string::npos;
  while (need == std::string::npos || request.size() < need) {
    const long n = static_cast<long>(readSome(buffer, sizeof buffer));
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
  return request;
}

}  // namespace adw::bench
