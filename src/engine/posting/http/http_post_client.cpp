#include "engine/posting/http/http_post_client.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/posting/http/socket_errors.h"
#include "platform/concat.h"
#include "platform/name_lookup.h"
#include "platform/tcp_socket.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

using platform::CancelWatch;
using platform::SocketResult;
using platform::SocketStatus;

constexpr std::size_t kReceiveChunk = 16384;

// Values that go into a header line end at the first CR, LF or NUL, so a
// stored referer or a server's Location cannot add lines of its own.
std::string HeaderSafe(std::string_view value) {
  std::size_t end = value.find_first_of(std::string_view("\r\n\0", 3));
  return std::string(value.substr(0, end));
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::string WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return std::string(line);
}

// Buffered reading of one reply: lines end at LF, the body at the close.
class ReplyReader {
 public:
  ReplyReader(platform::TcpSocket& socket, const CancelWatch& cancel)
      : m_socket(socket), m_cancel(cancel) {}

  // A whole line with its LF. A close before the LF ends the line read with
  // Closed, so a server that stops half-way does not hold the worker.
  SocketResult ReadLine(std::string& line) {
    line.clear();
    for (;;) {
      std::size_t lf = m_buffer.find('\n', m_pos);
      if (lf != std::string::npos) {
        line.assign(m_buffer, m_pos, lf + 1 - m_pos);
        m_pos = lf + 1;
        return {};
      }
      SocketResult r = Fill();
      if (r.status != SocketStatus::Ok) return r;
    }
  }

  // Everything up to the server's close, appended to out as it arrives.
  SocketResult ReadToClose(std::string& out) {
    out.append(m_buffer, m_pos, std::string::npos);
    m_buffer.clear();
    m_pos = 0;
    char chunk[kReceiveChunk];
    for (;;) {
      SocketResult r = m_socket.Receive(chunk, sizeof chunk, m_cancel);
      if (r.status != SocketStatus::Ok) return r;
      out.append(chunk, r.bytes);
    }
  }

 private:
  SocketResult Fill() {
    if (m_pos > 0 && m_pos == m_buffer.size()) {
      m_buffer.clear();
      m_pos = 0;
    }
    char chunk[kReceiveChunk];
    SocketResult r = m_socket.Receive(chunk, sizeof chunk, m_cancel);
    if (r.status == SocketStatus::Ok) m_buffer.append(chunk, r.bytes);
    return r;
  }

  platform::TcpSocket& m_socket;
  const CancelWatch& m_cancel;
  std::string m_buffer;
  std::size_t m_pos = 0;
};

// First space-separated word of a header line, compared in upper case.
bool FirstWordIs(std::string_view line, std::string_view upperWord) {
  std::string_view word = line.substr(0, line.find(' '));
  return platform::EqualsNoCase(word, upperWord);
}

// The value of a Location or Set-Cookie line: from the given 1-based
// character on, without the line end, trimmed, at most 256 characters.
std::string HeaderValueFrom(std::string_view line, std::size_t firstChar) {
  std::string bare = WithoutLineEnd(line);
  if (bare.size() < firstChar) return {};
  std::string value = platform::Trim(std::string_view(bare).substr(firstChar - 1));
  if (value.size() > kMaxUrlValueLength) value.resize(kMaxUrlValueLength);
  return value;
}

}  // namespace

PostUrl ParsePostUrl(std::string_view url, std::string_view previousHost, int previousPort) {
  if (url.empty()) throw HttpPostError(kErrEmptyUrl);
  PostUrl out;
  out.url = std::string(url);

  // A path alone stays on the previous port, even with a ":" in its query.
  std::size_t colon = url.front() == '/' ? std::string_view::npos : url.find(':');
  if (colon != std::string_view::npos) {
    std::string scheme = platform::LowerAscii(url.substr(0, colon));
    out.port = scheme == "gopher" ? 70 : scheme == "ftp" ? 21 : 80;
  } else {
    out.port = previousPort != 0 ? previousPort : 80;
  }

  const auto npos = std::string_view::npos;
  std::size_t s1 = url.find('/');
  std::size_t s2 = s1 == npos ? npos : url.find('/', s1 + 1);
  std::size_t s3 = s2 == npos ? npos : url.find('/', s2 + 1);
  bool hasDoubleSlash = url.find("//") != npos;

  std::string_view target;
  if (hasDoubleSlash) {
    target = s3 == npos ? std::string_view() : url.substr(s3);
  } else {
    target = s1 == npos ? std::string_view() : url.substr(s1);
  }
  out.target = std::string(target.substr(0, kMaxUrlValueLength));
  if (out.target.empty()) {
    out.target.push_back('/');
    out.url.push_back('/');
  }

  std::string_view host;
  if (hasDoubleSlash) {
    host = s3 == npos ? url.substr(s2 + 1) : url.substr(s2 + 1, s3 - s2 - 1);
  } else if (url.front() == '/') {
    host = previousHost;
  } else {
    host = url.substr(0, s1);
  }
  std::size_t hostColon = host.find(':');
  if (hostColon != npos) {
    std::string_view portText = host.substr(hostColon + 1);
    if (!AllDigits(portText) || portText.size() > 5 || std::stoi(std::string(portText)) > 65535) {
      throw HttpPostError(kErrInvalidPort + std::string(portText));
    }
    out.port = std::stoi(std::string(portText));
    host = host.substr(0, hostColon);
  }
  out.host = std::string(host);
  return out;
}

std::int16_t ParseStatusNumber(std::string_view statusLine) {
  std::size_t firstSpace = statusLine.find(' ');
  if (firstSpace == std::string_view::npos) return 0;
  std::string_view field = statusLine.substr(firstSpace + 1);
  field = field.substr(0, field.find(' '));
  if (!AllDigits(field) || field.size() > 5) return 0;
  int value = std::stoi(std::string(field));
  return value > 32767 ? 0 : static_cast<std::int16_t>(value);
}

struct HttpPostClient::Reply {
  std::string cookie;
  std::string location;
};

void HttpPostClient::Abort() { m_cancel.store(true, std::memory_order_relaxed); }

void HttpPostClient::FailSocket(int err) {
  m_lastSocketError = WsaCodeFromErrno(err);
  throw HttpPostError(SocketErrorText(m_lastSocketError));
}

void HttpPostClient::Post(const std::string& url, const std::string& data) {
  bool idle = false;
  if (!m_busy.compare_exchange_strong(idle, true)) throw HttpPostError(kErrAlreadyConnected);
  struct BusyReset {
    std::atomic<bool>& busy;
    ~BusyReset() { busy.store(false); }
  } busyReset{m_busy};

  m_cancel.store(false);
  m_abortDeadline = m_abortAfter > 0
                        ? std::chrono::steady_clock::now() + std::chrono::milliseconds(m_abortAfter)
                        : std::chrono::steady_clock::time_point::max();

  std::string currentUrl = url;
  bool isPost = true;
  for (int round = 1;; ++round) {
    PostUrl parts = ParsePostUrl(currentUrl, m_host, m_port);
    m_host = parts.host;
    m_port = parts.port;
    Reply reply;
    RunRound(parts, isPost, data, reply);
    isPost = false;

    if (m_statusCode < 299 || m_statusCode > 399) return;
    if (round >= kMaxRounds) throw HttpPostError(kErrTooManyRedirects);

    currentUrl = parts.url;
    if (m_statusCode >= 300 && m_statusCode <= 398) {
      if (!reply.cookie.empty()) m_headerInfo.Cookie = reply.cookie;
      if (!reply.location.empty()) {
        currentUrl = reply.location;
        // A bare name stays on the same server, its port included.
        if (currentUrl.find('/') == std::string::npos) {
          const std::string port = m_port != 80 ? platform::Concat({":", std::to_string(m_port)}) : "";
          currentUrl = platform::Concat({"http://", m_host, port, "/", currentUrl});
        }
      }
    }
  }
}

void HttpPostClient::RunRound(const PostUrl& target, bool isPost, const std::string& data, Reply& reply) {
  const bool viaProxy = !m_proxy.empty();

  // With a proxy the request line carries an absolute URL, also after a
  // redirect to a bare path.
  std::string requestUri = target.target;
  if (viaProxy) {
    if (target.url.find("//") != std::string::npos) {
      requestUri = target.url;
    } else {
      requestUri = "http://" + target.host + (target.port != 80 ? ":" + std::to_string(target.port) : "") +
                   target.target;
    }
  }

  std::string request;
  request.reserve(512 + (isPost ? data.size() : 0));
  request += isPost ? "POST " : "GET ";
  request += HeaderSafe(requestUri);
  request += " HTTP/1.0\r\n";
  if (viaProxy) request += "Proxy-Connection: Keep-Alive\r\n";
  request += "Host: " + HeaderSafe(target.host) + "\r\n";
  request += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
  request += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
  if (!m_headerInfo.Cookie.empty()) request += "Cookie: " + HeaderSafe(m_headerInfo.Cookie) + "\r\n";
  if (!m_headerInfo.Referer.empty()) request += "Referer: " + HeaderSafe(m_headerInfo.Referer) + "\r\n";
  request += "Content-type: application/x-www-form-urlencoded\r\n";
  if (isPost) request += "Content-Length: " + std::to_string(data.size()) + "\r\n";
  request += "\r\n";
  // The whole body goes out, however long, so it always matches the
  // announced length.
  if (isPost) request += data;

  CancelWatch cancel{&m_cancel, m_abortDeadline};

  const std::string& connectHost = viaProxy ? m_proxy : target.host;
  int connectPort = viaProxy ? m_proxyPort : target.port;
  platform::LookupResult found = platform::LookupHostIpv4(connectHost, m_timeOut, cancel);
  if (found.status == platform::LookupStatus::NotFound) {
    m_lastSocketError = WsaCodeFromLookupError(found.error);
    throw HttpPostError(kErrHostLookupFailed);
  }
  if (found.status != platform::LookupStatus::Found) throw HttpPostError(kErrNullRemoteAddress);
  if (connectPort < 0 || connectPort > 65535) {
    m_lastSocketError = 10049;
    throw HttpPostError(kErrConnectionFailed);
  }

  platform::TcpSocket socket;
  if (int err = socket.Create(/*resetOnClose=*/true); err != 0) {
    m_lastSocketError = WsaCodeFromErrno(err);
    throw HttpPostError(kErrSocketsInit);
  }
  SocketResult connected = socket.Connect({found.address, static_cast<std::uint16_t>(connectPort)}, m_timeOut, cancel);
  switch (connected.status) {
    case SocketStatus::Ok:
      break;
    case SocketStatus::TimedOut:
      throw HttpPostError(kErrConnectionTimedOut);
    case SocketStatus::Cancelled:
      throw HttpPostError(kErrConnectionCanceled);
    default:
      m_lastSocketError = WsaCodeFromErrno(connected.error);
      throw HttpPostError(connected.error == EISCONN ? kErrAlreadyConnected : kErrConnectionFailed);
  }

  SocketResult sent = socket.SendAll(request, cancel);
  if (sent.status == SocketStatus::Cancelled) throw HttpPostError(kErrSendAborted);
  if (sent.status != SocketStatus::Ok) FailSocket(sent.error != 0 ? sent.error : EPIPE);

  ReplyReader reader(socket, cancel);
  auto failLineRead = [this](const SocketResult& r) {
    if (r.status == SocketStatus::Cancelled) throw HttpPostError(kErrReadlnAborted);
    if (r.error != 0) FailSocket(r.error);
    throw HttpPostError(kErrConnectionClosed);
  };

  std::string line;
  if (SocketResult r = reader.ReadLine(line); r.status != SocketStatus::Ok) failLineRead(r);
  m_header = line;
  m_statusCode = ParseStatusNumber(line);
  for (;;) {
    if (SocketResult r = reader.ReadLine(line); r.status != SocketStatus::Ok) failLineRead(r);
    m_header += line;
    if (line == "\n" || line == "\r\n") break;
    if (FirstWordIs(line, "SET-COOKIE:")) {
      reply.cookie = HeaderValueFrom(line, 13);
    } else if (FirstWordIs(line, "LOCATION:")) {
      reply.location = HeaderValueFrom(line, 11);
    }
  }

  m_body.clear();
  SocketResult rest = reader.ReadToClose(m_body);
  if (rest.status == SocketStatus::Cancelled) throw HttpPostError(kErrCaptureAborted);
  // A reset after the reply is how many servers end; only other errors fail.
  if (rest.status == SocketStatus::Error) FailSocket(rest.error);
}

}  // namespace adw::engine
