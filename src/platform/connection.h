#pragma once
// One client connection for both HTTP clients: name lookup, TCP connect,
// an optional CONNECT tunnel through an HTTP proxy, an optional TLS session
// (OpenSSL, TLS 1.2 or newer, the peer's certificate checked against the
// system trust store plus an optional extra CA file, and its host name),
// then sends and receives. Every wait polls in slices of kCancelSliceMs and
// observes the CancelWatch, the handshake and every TLS read and write
// included. The clients keep their own failure texts: Open reports the step
// that failed and why, and they word it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/name_lookup.h"
#include "platform/tcp_socket.h"

namespace adw::platform {

// The most reply header bytes (status line, header lines and the empty
// line, line ends included) a client reads from a peer.
inline constexpr std::size_t kMaxReplyHeaderBytes = 64 * 1024;

struct ConnectionTarget {
  std::string host;                   // where the request is meant to go
  std::optional<std::uint16_t> port;  // nullopt: unusable (fails after the lookup)
  bool tls = false;
  // Through an HTTP proxy: the TCP connection goes there. With tls, a
  // CONNECT tunnel to host:port is opened first.
  std::string proxyHost;  // empty: direct
  std::optional<std::uint16_t> proxyPort;
  std::string caFile;        // PEM file trusted beside the system store; may be empty
  int lookupTimeoutMs = 0;   // 0: none
  int connectTimeoutMs = 0;  // connect and TLS handshake; 0: none
  bool resetOnClose = false;
};

enum class OpenStep {
  Lookup,  // the connection host's name
  Port,    // the port was unusable
  Socket,  // creating the socket
  Connect,
  Tunnel,  // the proxy's CONNECT
  Tls,     // handshake and certificate check
};

struct OpenResult {
  bool ok = true;
  OpenStep step = OpenStep::Lookup;
  // Lookup: the lookup's status; other steps: how the step ended.
  LookupStatus lookup = LookupStatus::Found;
  SocketStatus status = SocketStatus::Ok;
  int error = 0;        // errno, or the resolver's EAI_* code for Lookup
  std::string message;  // Tunnel and Tls: the whole failure text
};

// Certificate and handshake failure texts begin with this.
inline constexpr std::string_view kTlsPrefix = "TLS: ";

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Looks the host up, connects, tunnels and shakes hands as target says.
  OpenResult Open(const ConnectionTarget& target, const CancelWatch& cancel);

  // Plain or TLS, with the semantics of TcpSocket's SendAll and Receive
  // (a TLS close, with or without close_notify, is Closed).
  SocketResult SendAll(std::string_view bytes, const CancelWatch& cancel);
  SocketResult Receive(char* buffer, std::size_t size, const CancelWatch& cancel);

  void Close();
  bool IsOpen() const { return m_socket.IsOpen(); }

 private:
  struct Tls;
  OpenResult OpenTunnel(const ConnectionTarget& target, const CancelWatch& cancel);
  OpenResult StartTls(const ConnectionTarget& target, const CancelWatch& cancel);

  TcpSocket m_socket;
  std::unique_ptr<Tls> m_tls;
};

// A request target as it may go on the wire: bytes that cannot stand in
// one (blanks, controls, non-ASCII, '"', '<', '>', '\', '^', '`', '{', '|',
// '}') become %XX as browsers send them, "%" stays as it is, and a fragment
// ("#..."), which browsers never send, is dropped. nullopt when the text
// holds CR, LF or NUL, which are refused rather than encoded.
std::optional<std::string> EncodeRequestTarget(std::string_view target);

}  // namespace adw::platform
