#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace adw::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr Clock::time_point kNoDeadline = Clock::time_point::max();

Clock::time_point DeadlineAfter(int timeoutMs) {
  if (timeoutMs <= 0) return kNoDeadline;
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

TcpSocket::~TcpSocket() {
  Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_connected(std::exchange(other.m_connected, false)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
    m_connected = std::exchange(other.m_connected, false);
  }
  return *this;
}

int TcpSocket::Create(bool resetOnClose) {
  Close();
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return errno;
  if (resetOnClose) {
    linger lg{};
    lg.l_onoff = 1;
    lg.l_linger = 0;
    if (::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg) != 0) {
      int err = errno;
      ::close(fd);
      return err;
    }
  }
  m_fd = fd;
  return 0;
}

void TcpSocket::Close() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  m_connected = false;
}

SocketStatus TcpSocket::WaitFor(short events, Clock::time_point deadline, const CancelWatch& cancel,
                                int& error) {
  for (;;) {
    if (cancel.Cancelled()) return SocketStatus::Cancelled;
    int sliceMs = kCancelSliceMs;
    if (deadline != kNoDeadline) {
      auto now = Clock::now();
      if (now >= deadline) return SocketStatus::TimedOut;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
      sliceMs = static_cast<int>(std::min<long long>(sliceMs, left));
    }
    pollfd pfd{m_fd, events, 0};
    int n = ::poll(&pfd, 1, sliceMs);
    if (n > 0) return SocketStatus::Ok;  // ready, or an error the next call will report
    if (n < 0 && errno != EINTR) {
      error = errno;
      return SocketStatus::Error;
    }
  }
}

SocketResult TcpSocket::Connect(const Ipv4Endpoint& to, int timeoutMs, const CancelWatch& cancel) {
  SocketResult result;
  if (m_fd < 0) {
    result.status = SocketStatus::Error;
    result.error = EBADF;
    return result;
  }
  if (m_connected) {
    result.status = SocketStatus::Error;
    result.error = EISCONN;
    return result;
  }
  auto deadline = DeadlineAfter(timeoutMs);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(to.port);
  addr.sin_addr.s_addr = htonl(to.address);
  if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
    m_connected = true;
    return result;
  }
  if (errno != EINPROGRESS && errno != EINTR) {
    result.status = SocketStatus::Error;
    result.error = errno;
    return result;
  }
  int waitError = 0;
  SocketStatus waited = WaitFor(POLLOUT, deadline, cancel, waitError);
  if (waited != SocketStatus::Ok) {
    result.status = waited;
    result.error = waitError;
    return result;
  }
  int soError = 0;
  socklen_t len = sizeof soError;
  if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) soError = errno;
  if (soError != 0) {
    result.status = SocketStatus::Error;
    result.error = soError;
    return result;
  }
  m_connected = true;
  return result;
}

SocketResult TcpSocket::SendAll(std::string_view bytes, const CancelWatch& cancel) {
  SocketResult result;
  while (result.bytes < bytes.size()) {
    if (cancel.Cancelled()) {
      result.status = SocketStatus::Cancelled;
      return result;
    }
    ssize_t n = ::send(m_fd, bytes.data() + result.bytes, bytes.size() - result.bytes, MSG_NOSIGNAL);
    if (n > 0) {
      result.bytes += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int waitError = 0;
      SocketStatus waited = WaitFor(POLLOUT, kNoDeadline, cancel, waitError);
      if (waited != SocketStatus::Ok) {
        result.status = waited;
        result.error = waitError;
        return result;
      }
      continue;
    }
    int err = n < 0 ? errno : EPIPE;
    result.status = (err == EPIPE || err == ECONNRESET) ? SocketStatus::Closed : SocketStatus::Error;
    result.error = err;
    return result;
  }
  return result;
}

SocketResult TcpSocket::Receive(char* buffer, std::size_t size, const CancelWatch& cancel) {
  SocketResult result;
  for (;;) {
    if (cancel.Cancelled()) {
      result.status = SocketStatus::Cancelled;
      return result;
    }
    ssize_t n = ::recv(m_fd, buffer, size, 0);
    if (n > 0) {
      result.bytes = static_cast<std::size_t>(n);
      return result;
    }
    if (n == 0) {
      result.status = SocketStatus::Closed;
      return result;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      int waitError = 0;
      SocketStatus waited = WaitFor(POLLIN, kNoDeadline, cancel, waitError);
      if (waited != SocketStatus::Ok) {
        result.status = waited;
        result.error = waitError;
        return result;
      }
      continue;
    }
    result.error = errno;
    result.status = errno == ECONNRESET ? SocketStatus::Closed : SocketStatus::Error;
    return result;
  }
}

}  // namespace adw::platform
