#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/name_lookup.h"
#include "platform/tcp_socket.h"

namespace adw::platform {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

// A listening socket on 127.0.0.1 whose connections the test accepts by hand.
class Listener {
 public:
  Listener() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(kLoopback);
    socklen_t len = sizeof addr;
    EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(::listen(m_fd, 8), 0);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
  }
  ~Listener() { ::close(m_fd); }
  std::uint16_t Port() const { return m_port; }
  int Accept() const { return ::accept(m_fd, nullptr, nullptr); }

 private:
  int m_fd = -1;
  std::uint16_t m_port = 0;
};

TcpSocket Connected(const Listener& listener) {
  TcpSocket socket;
  EXPECT_EQ(socket.Create(true), 0);
  SocketResult r = socket.Connect({kLoopback, listener.Port()}, 2000, {});
  EXPECT_EQ(r.status, SocketStatus::Ok);
  return socket;
}

TEST(ParseDottedIpv4Test, AcceptsOnlyFourDecimalParts) {
  EXPECT_EQ(ParseDottedIpv4("127.0.0.1"), 0x7F000001u);
  EXPECT_EQ(ParseDottedIpv4("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDottedIpv4("10.1.2.3"), 0x0A010203u);
  for (const char* bad : {"", "127.0.0", "127.0.0.1.", "256.0.0.1", "1.2.3.4.5", "a.b.c.d", "1..2.3",
                          "localhost", "1.2.3.0004", " 1.2.3.4"}) {
    EXPECT_FALSE(ParseDottedIpv4(bad).has_value()) << bad;
  }
}

TEST(LookupHostIpv4Test, ResolvesNumbersAndLocalNames) {
  LookupResult numeric = LookupHostIpv4("127.0.0.1", 0, {});
  EXPECT_EQ(numeric.status, LookupStatus::Found);
  EXPECT_EQ(numeric.address, kLoopback);

  LookupResult named = LookupHostIpv4("localhost", 5000, {});
  EXPECT_EQ(named.status, LookupStatus::Found);
  EXPECT_EQ(named.address >> 24, 127u);
}

TEST(LookupHostIpv4Test, ACancelledLookupGivesNoAddress) {
  std::atomic<bool> cancel{true};
  EXPECT_EQ(LookupHostIpv4("localhost", 0, {&cancel}).status, LookupStatus::Cancelled);
  CancelWatch past{nullptr, std::chrono::steady_clock::now()};
  EXPECT_EQ(LookupHostIpv4("localhost", 0, past).status, LookupStatus::Cancelled);
}

TEST(LookupHostIpv4Test, AnEmptyNameIsNotFound) {
  EXPECT_EQ(LookupHostIpv4("", 0, {}).status, LookupStatus::NotFound);
}

TEST(TcpSocketTest, ConnectToAClosedPortIsRefused) {
  std::uint16_t port;
  {
    Listener gone;
    port = gone.Port();
  }
  TcpSocket socket;
  ASSERT_EQ(socket.Create(true), 0);
  SocketResult r = socket.Connect({kLoopback, port}, 2000, {});
  EXPECT_EQ(r.status, SocketStatus::Error);
  EXPECT_EQ(r.error, ECONNREFUSED);
  EXPECT_FALSE(socket.IsConnected());
}

TEST(TcpSocketTest, ConnectingTwiceReportsAlreadyConnected) {
  Listener listener;
  TcpSocket socket = Connected(listener);
  SocketResult r = socket.Connect({kLoopback, listener.Port()}, 0, {});
  EXPECT_EQ(r.status, SocketStatus::Error);
  EXPECT_EQ(r.error, EISCONN);
}

TEST(TcpSocketTest, SendsAndReceivesLargeDataWhole) {
  Listener listener;
  TcpSocket socket = Connected(listener);
  int peer = listener.Accept();
  ASSERT_GE(peer, 0);
  std::string data(4 * 1024 * 1024, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);

  std::string echoed;
  std::thread reader([&] {
    char chunk[65536];
    ssize_t n;
    while ((n = ::recv(peer, chunk, sizeof chunk, 0)) > 0) echoed.append(chunk, static_cast<std::size_t>(n));
    ::send(peer, "bye", 3, MSG_NOSIGNAL);
    ::close(peer);
  });
  SocketResult sent = socket.SendAll(data, {});
  EXPECT_EQ(sent.status, SocketStatus::Ok);
  EXPECT_EQ(sent.bytes, data.size());
  ::shutdown(socket.Handle(), SHUT_WR);

  std::string reply;
  char buffer[16];
  SocketResult r;
  while ((r = socket.Receive(buffer, sizeof buffer, {})).status == SocketStatus::Ok)
    reply.append(buffer, r.bytes);
  reader.join();
  EXPECT_EQ(r.status, SocketStatus::Closed);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(reply, "bye");
  EXPECT_EQ(echoed, data);
}

TEST(TcpSocketTest, AWaitingReceiveEndsWhenCancelledFromAnotherThread) {
  Listener listener;
  TcpSocket socket = Connected(listener);
  int peer = listener.Accept();
  std::atomic<bool> cancel{false};
  std::thread canceller([&] { cancel = true; });
  char buffer[16];
  SocketResult r = socket.Receive(buffer, sizeof buffer, {&cancel});
  canceller.join();
  EXPECT_EQ(r.status, SocketStatus::Cancelled);
  ::close(peer);
}

TEST(TcpSocketTest, AWaitEndsAtItsDeadline) {
  Listener listener;
  TcpSocket socket = Connected(listener);
  int peer = listener.Accept();
  CancelWatch soon{nullptr, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)};
  char buffer[16];
  EXPECT_EQ(socket.Receive(buffer, sizeof buffer, soon).status, SocketStatus::Cancelled);
  ::close(peer);
}

TEST(TcpSocketTest, AResetByThePeerIsAClose) {
  Listener listener;
  TcpSocket socket = Connected(listener);
  int peer = listener.Accept();
  linger lg{1, 0};
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  ::close(peer);
  char buffer[16];
  SocketResult r = socket.Receive(buffer, sizeof buffer, {});
  EXPECT_EQ(r.status, SocketStatus::Closed);
  EXPECT_EQ(r.error, ECONNRESET);
}

}  // namespace
}  // namespace adw::platform
