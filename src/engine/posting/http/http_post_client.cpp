#include "engine/posting/http/http_post_client.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/posting/http/socket_errors.h"
#include "platform/concat.h"
#include "platform/connection.h"
#include "platform/reply_reader.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

using platform::CancelWatch;
using platform::ReadResult;
using platform::ReadStatus;
using platform::SocketResult;
using platform::SocketStatus;

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

PostUrl ParsePostUrl(std::string_view url, std::string_view previousHost, int previousPort,
                     bool previousTls) {
  if (url.empty()) throw HttpPostError(kErrEmptyUrl);
  PostUrl out;
  out.url = std::string(url);

  // A path alone stays on the previous port, even with a ":" in its query.
  std::size_t colon = url.front() == '/' ? std::string_view::npos : url.find(':');
  if (colon != std::string_view::npos) {
    std::string scheme = platform::LowerAscii(url.substr(0, colon));
    out.tls = scheme == "https";
    out.port = scheme == "gopher" ? 70 : scheme == "ftp" ? 21 : out.tls ? 443 : 80;
  } else {
    out.port = previousPort != 0 ? previousPort : 80;
    out.tls = previousTls;
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

void HttpPostClient::Abort() {
  m_cancel.store(true, std::memory_order_relaxed);
}

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
    PostUrl parts = ParsePostUrl(currentUrl, m_host, m_port, m_tls);
    m_host = parts.host;
    m_port = parts.port;
    m_tls = parts.tls;
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
          const int plainPort = m_tls ? 443 : 80;
          const std::string port = m_port != plainPort ? platform::Concat({":", std::to_string(m_port)}) : "";
          currentUrl = platform::Concat({m_tls ? "https://" : "http://", m_host, port, "/", currentUrl});
        }
      }
    }
  }
}

void HttpPostClient::RunRound(const PostUrl& target, bool isPost, const std::string& data, Reply& reply) {
  const bool viaProxy = !m_proxy.empty();
  // https through a proxy goes through a tunnel, and the request inside it
  // is the one a direct connection carries.
  const bool proxyForm = viaProxy && !target.tls;

  // With a proxy the request line carries an absolute URL, also after a
  // redirect to a bare path.
  std::string requestUri = target.target;
  if (proxyForm) {
    if (target.url.find("//") != std::string::npos) {
      requestUri = target.url;
    } else {
      const std::string port = target.port != 80 ? platform::Concat({":", std::to_string(target.port)}) : "";
      requestUri = platform::Concat({"http://", target.host, port, target.target});
    }
  }
  // Cut at a line control first, then make the rest fit a request line.
  requestUri = platform::EncodeRequestTarget(HeaderSafe(requestUri)).value_or("/");

  std::string request;
  request.reserve(512);
  request += isPost ? "POST " : "GET ";
  request += requestUri;
  request += " HTTP/1.0\r\n";
  if (proxyForm) request += "Proxy-Connection: Keep-Alive\r\n";
  request += "Host: " + HeaderSafe(target.host) + "\r\n";
  request += "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n";
  request += "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
  if (!m_headerInfo.Cookie.empty()) request += "Cookie: " + HeaderSafe(m_headerInfo.Cookie) + "\r\n";
  if (!m_headerInfo.Referer.empty()) request += "Referer: " + HeaderSafe(m_headerInfo.Referer) + "\r\n";
  request += "Content-type: application/x-www-form-urlencoded\r\n";
  if (isPost) request += "Content-Length: " + std::to_string(data.size()) + "\r\n";
  request += "\r\n";
  // A usual body goes out in the same write as the header (two small
  // writes would meet Nagle's delay); a large one is sent from where it
  // lies rather than copied.
  constexpr std::size_t kJoinedBodyLimit = 64 * 1024;
  const bool bodyApart = isPost && data.size() > kJoinedBodyLimit;
  if (isPost && !bodyApart) request += data;

  CancelWatch cancel{&m_cancel, m_abortDeadline};

  const int connectPort = viaProxy ? m_proxyPort : target.port;
  const bool portUsable = connectPort >= 0 && connectPort <= 65535;
  platform::ConnectionTarget where;
  where.host = target.host;
  where.port = static_cast<std::uint16_t>(target.port);
  where.tls = target.tls;
  if (viaProxy) {
    where.proxyHost = m_proxy;
    if (portUsable) where.proxyPort = static_cast<std::uint16_t>(connectPort);
  } else if (!portUsable) {
    where.port.reset();
  }
  where.caFile = m_caFile;
  where.lookupTimeoutMs = m_timeOut;
  where.connectTimeoutMs = m_timeOut;
  where.resetOnClose = true;

  platform::Connection connection;
  platform::OpenResult opened = connection.Open(where, cancel);
  if (!opened.ok) {
    switch (opened.step) {
      case platform::OpenStep::Lookup:
        if (opened.lookup == platform::LookupStatus::NotFound) {
          m_lastSocketError = WsaCodeFromLookupError(opened.error);
          throw HttpPostError(kErrHostLookupFailed);
        }
        throw HttpPostError(kErrNullRemoteAddress);
      case platform::OpenStep::Port:
        m_lastSocketError = 10049;
        throw HttpPostError(kErrConnectionFailed);
      case platform::OpenStep::Socket:
        m_lastSocketError = WsaCodeFromErrno(opened.error);
        throw HttpPostError(kErrSocketsInit);
      case platform::OpenStep::Connect:
        if (opened.status == SocketStatus::TimedOut) throw HttpPostError(kErrConnectionTimedOut);
        if (opened.status == SocketStatus::Cancelled) throw HttpPostError(kErrConnectionCanceled);
        m_lastSocketError = WsaCodeFromErrno(opened.error);
        throw HttpPostError(opened.error == EISCONN ? kErrAlreadyConnected : kErrConnectionFailed);
      case platform::OpenStep::Tunnel:
      case platform::OpenStep::Tls:
        if (opened.status == SocketStatus::Cancelled) throw HttpPostError(kErrConnectionCanceled);
        if (opened.error != 0) m_lastSocketError = WsaCodeFromErrno(opened.error);
        throw HttpPostError(opened.message);
    }
  }

  // The whole body goes out, however long, so it always matches the
  // announced length.
  SocketResult sent = connection.SendAll(request, cancel);
  if (sent.status == SocketStatus::Ok && bodyApart) sent = connection.SendAll(data, cancel);
  if (sent.status == SocketStatus::Cancelled) throw HttpPostError(kErrSendAborted);
  if (sent.status != SocketStatus::Ok) FailSocket(sent.error != 0 ? sent.error : EPIPE);

  platform::ReplyReader reader(connection, cancel);
  auto failLineRead = [this](const ReadResult& r) {
    if (r.status == ReadStatus::Cancelled) throw HttpPostError(kErrReadlnAborted);
    if (r.status == ReadStatus::HeaderTooLarge || r.status == ReadStatus::LineTooLong) {
      throw HttpPostError(kErrHeaderTooLarge);
    }
    if (r.error != 0) FailSocket(r.error);
    throw HttpPostError(kErrConnectionClosed);
  };

  std::string line;
  if (ReadResult r = reader.ReadLine(line); r.status != ReadStatus::Ok) failLineRead(r);
  m_header = line;
  m_statusCode = ParseStatusNumber(line);
  for (;;) {
    if (ReadResult r = reader.ReadLine(line); r.status != ReadStatus::Ok) failLineRead(r);
    m_header += line;
    if (line == "\n" || line == "\r\n") break;
    if (FirstWordIs(line, "SET-COOKIE:")) {
      reply.cookie = HeaderValueFrom(line, 13);
    } else if (FirstWordIs(line, "LOCATION:")) {
      reply.location = HeaderValueFrom(line, 11);
    }
  }

  m_body.clear();
  m_bodyCut = false;
  ReadResult rest = reader.ReadBody([this](const char* chunk, std::size_t length) {
    const std::size_t room = kMaxPostingBodyBytes - m_body.size();
    if (length > room) {
      m_body.append(chunk, room);
      m_bodyCut = true;
    } else {
      m_body.append(chunk, length);
    }
    return true;
  });
  // Once the body is cut, the rest only waits for the close; a time-out
  // then ends a reply that is complete as far as it is kept.
  if (rest.status == ReadStatus::Cancelled && !m_bodyCut) throw HttpPostError(kErrCaptureAborted);
  // A reset after the reply is how many servers end; only other errors fail.
  if (rest.status == ReadStatus::Error) FailSocket(rest.error);
}

}  // namespace adw::engine
