#pragma once
// TCP stream sockets for the program's HTTP clients. Every socket is
// non-blocking; each wait polls in slices of at most 2 ms so that a cancel
// request from another thread is seen promptly, while readiness still wakes
// the wait at once. Errors are reported as errno values, never thrown: the
// clients decide what a failure means for them.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace adw::platform {

// The longest a wait sleeps before it looks at its cancel condition again.
inline constexpr int kCancelSliceMs = 2;

// What a wait watches besides its goal: a flag that another thread may set,
// and a moment after which the wait counts as cancelled too.
struct CancelWatch {
  const std::atomic<bool>* flag = nullptr;
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

  bool Cancelled() const {
    if (flag != nullptr && flag->load(std::memory_order_relaxed)) return true;
    return deadline != std::chrono::steady_clock::time_point::max() &&
           std::chrono::steady_clock::now() >= deadline;
  }
};

// How a socket operation ended.
enum class SocketStatus {
  Ok,
  Closed,     // the peer closed the connection (reads and sends)
  TimedOut,   // the operation's own time limit passed (connect)
  Cancelled,  // the CancelWatch fired
  Error,      // a system call failed; see the operation's error value
};

struct SocketResult {
  SocketStatus status = SocketStatus::Ok;
  int error = 0;          // errno of the failed call, 0 otherwise
  std::size_t bytes = 0;  // bytes moved by Send/Receive
};

// An IPv4 address in host byte order and a port.
struct Ipv4Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;
};

class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;
  TcpSocket(TcpSocket&& other) noexcept;
  TcpSocket& operator=(TcpSocket&& other) noexcept;

  // Creates the socket (non-blocking, close-on-exec). With resetOnClose the
  // socket lingers for 0 seconds, so Close resets the connection instead of
  // leaving it in TIME_WAIT. Returns errno on failure, 0 on success.
  int Create(bool resetOnClose);
  bool IsOpen() const { return m_fd >= 0; }
  bool IsConnected() const { return m_connected; }

  // Connects and waits for the outcome. timeoutMs 0 means no limit.
  // TimedOut when the limit passes, Cancelled when the watch fires, Error
  // (with errno, e.g. ECONNREFUSED) when the connection fails.
  SocketResult Connect(const Ipv4Endpoint& to, int timeoutMs, const CancelWatch& cancel);

  // Sends all bytes, waiting for room as needed. Closed when the peer has
  // gone (EPIPE/ECONNRESET, error set), Cancelled with bytes = what was sent.
  SocketResult SendAll(std::string_view bytes, const CancelWatch& cancel);

  // Receives what is available, up to size bytes, waiting until at least
  // one byte arrives. Closed (bytes 0) when the peer has closed its side;
  // a reset by the peer is Closed with error ECONNRESET.
  SocketResult Receive(char* buffer, std::size_t size, const CancelWatch& cancel);

  void Close();
  int Handle() const { return m_fd; }

  // Waits until the socket is ready for events (POLLIN/POLLOUT), the
  // deadline passes (TimedOut) or the watch fires (Cancelled). The TLS
  // layer waits through it while a handshake, read or write wants more.
  SocketStatus WaitFor(short events, std::chrono::steady_clock::time_point deadline,
                       const CancelWatch& cancel, int& error);

 private:
  int m_fd = -1;
  bool m_connected = false;
};

}  // namespace adw::platform
