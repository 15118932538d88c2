#include "platform/connection.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include "platform/concat.h"

namespace adw::platform {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until the socket can go on with what OpenSSL asked for (read or
// write). False, with the status and error in result, when the wait failed
// (cancelled, timed out, socket gone).
bool WaitForTls(TcpSocket& socket, int sslError, const CancelWatch& cancel, SocketResult& result) {
  int waitError = 0;
  const SocketStatus waited = socket.WaitFor(sslError == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT,
                                             Clock::time_point::max(), cancel, waitError);
  if (waited == SocketStatus::Ok) return true;
  result.status = waited;
  result.error = waitError;
  return false;
}

Clock::time_point DeadlineAfter(int timeoutMs) {
  if (timeoutMs <= 0) return Clock::time_point::max();
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

struct CtxFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
using CtxPtr = std::unique_ptr<SSL_CTX, CtxFree>;

std::string LastSslReason() {
  unsigned long code = ERR_peek_last_error();
  const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
  return reason != nullptr ? reason : "unknown error";
}

// The sessions a context's servers handed out, one per host and port, so
// that the next connection to a board resumes instead of repeating the
// full handshake and the certificate check (a run posts many ads to one
// board). A session is only offered to the name it was verified for.
struct SessionStore {
  std::mutex mutex;
  std::map<std::string, SSL_SESSION*> sessions;

  static SessionStore* Of(SSL_CTX* ctx) { return static_cast<SessionStore*>(SSL_CTX_get_app_data(ctx)); }

  static int Remember(SSL* ssl, SSL_SESSION* session) {
    auto* key = static_cast<const std::string*>(SSL_get_app_data(ssl));
    SessionStore* store = Of(SSL_get_SSL_CTX(ssl));
    if (key == nullptr || store == nullptr || SSL_SESSION_is_resumable(session) != 1) return 0;
    std::lock_guard lock(store->mutex);
    SSL_SESSION*& slot = store->sessions[*key];
    if (slot != nullptr) SSL_SESSION_free(slot);
    slot = session;
    return 1;  // the store keeps the reference it was given
  }

  // Offers the stored session for key to ssl, if there is one.
  void Offer(SSL* ssl, const std::string& key) {
    std::lock_guard lock(mutex);
    auto found = sessions.find(key);
    if (found != sessions.end()) SSL_set_session(ssl, found->second);
  }
};

// Loading the system store costs milliseconds, so one context per extra CA
// file (as it is on disk) serves every connection of the process.
// Contexts are used read-only once made, which OpenSSL allows across
// threads.
class ContextCache {
 public:
  // Null with message set when the extra CA file cannot be used.
  SSL_CTX* Get(const std::string& caFile, std::string& message) {
    std::string key = caFile;
    if (!caFile.empty()) {
      struct stat st {};
      if (::stat(caFile.c_str(), &st) == 0) {
        key += Concat({"|", std::to_string(st.st_mtim.tv_sec), ".", std::to_string(st.st_mtim.tv_nsec), "|",
                       std::to_string(st.st_size)});
      }
    }
    std::lock_guard lock(m_mutex);
    auto found = m_contexts.find(key);
    if (found != m_contexts.end()) return found->second.get();
    CtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx) {
      message = std::string(kTlsPrefix) + LastSslReason();
      return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    // Many servers end an HTTP/1.0 reply by closing without close_notify;
    // the reply is complete all the same.
    SSL_CTX_set_options(ctx.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_default_verify_paths(ctx.get());
    SSL_CTX_set_session_cache_mode(ctx.get(), SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx.get(), &SessionStore::Remember);
    if (!caFile.empty() && SSL_CTX_load_verify_locations(ctx.get(), caFile.c_str(), nullptr) != 1) {
      message = std::string(kTlsPrefix) + "cannot use CA file " + caFile + ": " + LastSslReason();
      ERR_clear_error();
      return nullptr;
    }
    ERR_clear_error();
    SSL_CTX_set_app_data(ctx.get(), new SessionStore);  // lives as long as its context: for good
    SSL_CTX* raw = ctx.get();
    m_contexts.emplace(std::move(key), std::move(ctx));
    return raw;
  }

 private:
  std::mutex m_mutex;
  std::map<std::string, CtxPtr> m_contexts;
};

ContextCache& Contexts() {
  static ContextCache* cache = new ContextCache;  // lives as long as any worker may
  return *cache;
}

bool IsIpLiteral(const std::string& host) {
  return ParseDottedIpv4(host).has_value() || host.find(':') != std::string::npos;
}

std::string VerifyFailureText(long result) {
  if (result == X509_V_ERR_HOSTNAME_MISMATCH || result == X509_V_ERR_IP_ADDRESS_MISMATCH) {
    return std::string(kTlsPrefix) + "host name mismatch";
  }
  return std::string(kTlsPrefix) + "certificate verify failed: " + X509_verify_cert_error_string(result);
}

}  // namespace

struct Connection::Tls {
  SSL* ssl = nullptr;
  std::string sessionKey;   // host and port, for the session store
  bool peerClosed = false;  // the reply was read to the peer's close
  ~Tls() {
    if (ssl == nullptr) return;
    // OpenSSL takes a session whose connection did not end in a shutdown
    // for a broken one and never resumes it. A reply read to the server's
    // close is a whole one; nothing is sent back on a closed connection.
    if (peerClosed) SSL_set_shutdown(ssl, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
    SSL_free(ssl);
  }
};

namespace {

// OpenSSL writes to its socket with write(), so a peer that has gone would
// end the process with SIGPIPE; the failed write is handled instead.
void IgnoreBrokenPipes() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
      ::signal(SIGPIPE, SIG_IGN);
    }
  });
}

}  // namespace

Connection::Connection() = default;
Connection::~Connection() {
  Close();
}

void Connection::Close() {
  m_tls.reset();
  m_socket.Close();
}

OpenResult Connection::Open(const ConnectionTarget& target, const CancelWatch& cancel) {
  Close();
  OpenResult result;
  const bool viaProxy = !target.proxyHost.empty();
  const std::string& connectHost = viaProxy ? target.proxyHost : target.host;
  const std::optional<std::uint16_t> connectPort = viaProxy ? target.proxyPort : target.port;

  LookupResult found = LookupHostIpv4(connectHost, target.lookupTimeoutMs, cancel);
  if (found.status != LookupStatus::Found) {
    result.ok = false;
    result.step = OpenStep::Lookup;
    result.lookup = found.status;
    result.error = found.error;
    return result;
  }
  if (!connectPort || (viaProxy && target.tls && !target.port)) {
    result.ok = false;
    result.step = OpenStep::Port;
    result.status = SocketStatus::Error;
    result.error = EINVAL;
    return result;
  }
  if (int err = m_socket.Create(target.resetOnClose); err != 0) {
    result.ok = false;
    result.step = OpenStep::Socket;
    result.status = SocketStatus::Error;
    result.error = err;
    return result;
  }
  SocketResult connected = m_socket.Connect({found.address, *connectPort}, target.connectTimeoutMs, cancel);
  if (connected.status != SocketStatus::Ok) {
    result.ok = false;
    result.step = OpenStep::Connect;
    result.status = connected.status;
    result.error = connected.error;
    Close();
    return result;
  }
  if (viaProxy && target.tls) {
    result = OpenTunnel(target, cancel);
    if (!result.ok) {
      Close();
      return result;
    }
  }
  if (target.tls) {
    result = StartTls(target, cancel);
    if (!result.ok) Close();
  }
  return result;
}

OpenResult Connection::OpenTunnel(const ConnectionTarget& target, const CancelWatch& cancel) {
  OpenResult result;
  result.step = OpenStep::Tunnel;
  auto fail = [&](SocketStatus status, int error, std::string message) {
    result.ok = false;
    result.status = status;
    result.error = error;
    result.message = std::move(message);
    return result;
  };
  if (target.host.find_first_of(std::string_view("\r\n\0 \t", 5)) != std::string::npos) {
    return fail(SocketStatus::Error, EINVAL, "Proxy tunnel: invalid host name");
  }
  const std::string authority = target.host + ":" + std::to_string(*target.port);
  const std::string request = "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
  SocketResult sent = m_socket.SendAll(request, cancel);
  if (sent.status != SocketStatus::Ok) return fail(sent.status, sent.error, "Proxy tunnel: send failed");

  // The proxy says nothing after its header until the TLS handshake
  // begins, so whatever arrives up to the empty line is all header.
  std::string header;
  char chunk[4096];
  for (;;) {
    std::size_t end = header.find("\r\n\r\n");
    std::size_t endLf = header.find("\n\n");
    if (end != std::string::npos || endLf != std::string::npos) break;
    if (header.size() > kMaxReplyHeaderBytes) {
      return fail(SocketStatus::Error, 0, "Proxy tunnel: reply header larger than 64 KiB");
    }
    SocketResult r = m_socket.Receive(chunk, sizeof chunk, cancel);
    if (r.status != SocketStatus::Ok) {
      return fail(r.status, r.error, "Proxy tunnel: connection closed before the proxy answered");
    }
    header.append(chunk, r.bytes);
  }
  std::string statusLine = header.substr(0, header.find('\n'));
  if (!statusLine.empty() && statusLine.back() == '\r') statusLine.pop_back();
  const std::size_t space = statusLine.find(' ');
  const bool accepted = statusLine.compare(0, 5, "HTTP/") == 0 && space != std::string::npos &&
                        statusLine.size() > space + 1 && statusLine[space + 1] == '2';
  if (!accepted) return fail(SocketStatus::Error, 0, "Proxy tunnel refused: " + statusLine);
  return result;
}

OpenResult Connection::StartTls(const ConnectionTarget& target, const CancelWatch& cancel) {
  OpenResult result;
  result.step = OpenStep::Tls;
  auto fail = [&](SocketStatus status, int error, std::string message) {
    result.ok = false;
    result.status = status;
    result.error = error;
    result.message = std::move(message);
    ERR_clear_error();
    return result;
  };
  ERR_clear_error();
  IgnoreBrokenPipes();
  std::string message;
  SSL_CTX* ctx = Contexts().Get(target.caFile, message);
  if (ctx == nullptr) return fail(SocketStatus::Error, 0, message);
  m_tls = std::make_unique<Tls>();
  m_tls->ssl = SSL_new(ctx);
  if (m_tls->ssl == nullptr || SSL_set_fd(m_tls->ssl, m_socket.Handle()) != 1) {
    return fail(SocketStatus::Error, 0, std::string(kTlsPrefix) + LastSslReason());
  }
  SSL* ssl = m_tls->ssl;
  m_tls->sessionKey = target.host + ":" + std::to_string(target.port.value_or(0));
  SSL_set_app_data(ssl, &m_tls->sessionKey);
  if (SessionStore* store = SessionStore::Of(ctx)) store->Offer(ssl, m_tls->sessionKey);
  if (IsIpLiteral(target.host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), target.host.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl, target.host.c_str());
    SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    SSL_set1_host(ssl, target.host.c_str());
  }

  const auto deadline = DeadlineAfter(target.connectTimeoutMs);
  for (;;) {
    ERR_clear_error();
    int rc = SSL_connect(ssl);
    if (rc == 1) return result;
    int sslError = SSL_get_error(ssl, rc);
    if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
      int waitError = 0;
      SocketStatus waited =
          m_socket.WaitFor(sslError == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline, cancel, waitError);
      if (waited == SocketStatus::TimedOut) {
        return fail(waited, 0, std::string(kTlsPrefix) + "handshake timed out");
      }
      if (waited == SocketStatus::Cancelled)
        return fail(waited, 0, std::string(kTlsPrefix) + "handshake cancelled");
      if (waited != SocketStatus::Ok)
        return fail(waited, waitError, std::string(kTlsPrefix) + "handshake failed");
      continue;
    }
    const long verify = SSL_get_verify_result(ssl);
    if (verify != X509_V_OK) return fail(SocketStatus::Error, 0, VerifyFailureText(verify));
    const unsigned long code = ERR_peek_last_error();
    const bool eof = sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN ||
                     (code != 0 && ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
    if (eof) {
      return fail(SocketStatus::Closed, errno,
                  std::string(kTlsPrefix) + "connection closed during handshake");
    }
    return fail(SocketStatus::Error, 0, std::string(kTlsPrefix) + "handshake failed: " + LastSslReason());
  }
}

SocketResult Connection::SendAll(std::string_view bytes, const CancelWatch& cancel) {
  if (!m_tls) return m_socket.SendAll(bytes, cancel);
  SocketResult result;
  SSL* ssl = m_tls->ssl;
  while (result.bytes < bytes.size()) {
    if (cancel.Cancelled()) {
      result.status = SocketStatus::Cancelled;
      return result;
    }
    ERR_clear_error();
    const std::size_t left = bytes.size() - result.bytes;
    const int chunk = static_cast<int>(std::min<std::size_t>(left, 1 << 20));
    int n = SSL_write(ssl, bytes.data() + result.bytes, chunk);
    if (n > 0) {
      result.bytes += static_cast<std::size_t>(n);
      continue;
    }
    int sslError = SSL_get_error(ssl, n);
    if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
      if (!WaitForTls(m_socket, sslError, cancel, result)) return result;
      continue;
    }
    result.status = SocketStatus::Closed;
    result.error = sslError == SSL_ERROR_SYSCALL && errno != 0 ? errno : EPIPE;
    ERR_clear_error();
    return result;
  }
  return result;
}

SocketResult Connection::Receive(char* buffer, std::size_t size, const CancelWatch& cancel) {
  if (!m_tls) return m_socket.Receive(buffer, size, cancel);
  SocketResult result;
  SSL* ssl = m_tls->ssl;
  const int want = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
  for (;;) {
    if (cancel.Cancelled()) {
      result.status = SocketStatus::Cancelled;
      return result;
    }
    ERR_clear_error();
    int n = SSL_read(ssl, buffer, want);
    if (n > 0) {
      result.bytes = static_cast<std::size_t>(n);
      return result;
    }
    int sslError = SSL_get_error(ssl, n);
    if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
      if (!WaitForTls(m_socket, sslError, cancel, result)) return result;
      continue;
    }
    // A clean close, an unannounced one and a reset all end the reply.
    result.status = SocketStatus::Closed;
    m_tls->peerClosed = sslError == SSL_ERROR_ZERO_RETURN;
    if (sslError == SSL_ERROR_SYSCALL && errno == ECONNRESET) result.error = ECONNRESET;
    ERR_clear_error();
    return result;
  }
}

std::optional<std::string> EncodeRequestTarget(std::string_view target) {
  if (target.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return std::nullopt;
  target = target.substr(0, target.find('#'));
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(target.size());
  for (std::size_t i = 0; i < target.size(); ++i) {
    const auto byte = static_cast<unsigned char>(target[i]);
    bool encode = byte <= 0x20 || byte >= 0x7F;
    switch (byte) {
      case '"':
      case '<':
      case '>':
      case '\\':
      case '^':
      case '`':
      case '{':
      case '|':
      case '}':
        encode = true;
        break;
      default:
        break;
    }
    if (encode) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

}  // namespace adw::platform
