#pragma once
// The HTTP/1.0 client of the posting workers: one instance per worker,
// used for one Post from that worker's thread. Post sends the job's body as
// it was built (field values arrive already escaped), follows redirects
// with GET and the received cookie, and reads each reply until the server
// closes. http:// and https:// both work, redirects crossing between them
// too; the connection itself (lookup, connect, proxy tunnel, TLS, limits
// on what the server sends) is the platform's Connection. Failures are
// thrown as HttpPostError with the texts below, or with the connection's
// own text for TLS and proxy tunnel failures ("TLS: host name mismatch").
// Of a reply, kMaxPostingBodyBytes of body are kept; the rest is read and
// dropped, and BodyCut says so.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace adw::engine {

// Failure texts of Post.
inline constexpr const char* kErrEmptyUrl = "Empty URL";
inline constexpr const char* kErrHostLookupFailed = "Host Lookup Failed";
inline constexpr const char* kErrNullRemoteAddress = "Null Remote Address";
inline constexpr const char* kErrConnectionTimedOut = "Connection Timed out";
inline constexpr const char* kErrConnectionCanceled = "Connection Canceled";
inline constexpr const char* kErrConnectionFailed = "Connection Failed";
inline constexpr const char* kErrAlreadyConnected = "Already connected";
inline constexpr const char* kErrSendAborted = "Socket send aborted";
inline constexpr const char* kErrReadlnAborted = "Socket readln aborted";
inline constexpr const char* kErrCaptureAborted = "Socket capture aborted";
inline constexpr const char* kErrSocketsInit = "Initializaton of windows sockets failed";
// Failures that the client adds to the classic table.
inline constexpr const char* kErrConnectionClosed = "Connection closed by remote host";
inline constexpr const char* kErrTooManyRedirects = "Too many redirections";
inline constexpr const char* kErrInvalidPort = "Invalid port number in URL: ";
inline constexpr const char* kErrHeaderTooLarge = "Reply header larger than 64 KiB";

// What the worker sets Body to before Post, and what it keeps when Post
// fails before any reply body arrives.
inline constexpr const char* kErrorRetrievingPage = "error retrieving page";

// Request target, Location and Set-Cookie values are cut to this length.
inline constexpr std::size_t kMaxUrlValueLength = 256;
// A reply chain longer than this many requests fails instead of looping.
inline constexpr int kMaxRounds = 20;
// Body bytes kept of a reply; the rest is read and dropped (BodyCut).
inline constexpr std::size_t kMaxPostingBodyBytes = 8 * 1024 * 1024;

class HttpPostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The parts of a URL by the client's rules. Where the URL names no host or
// port, the previous ones stay (a redirect to "/path" keeps the host).
struct PostUrl {
  std::string url;  // the URL, with "/" appended when it had no path
  std::string host;
  int port = 80;
  std::string target;  // the request target, at most 256 characters
  bool tls = false;    // https: TLS on port 443 unless the URL names one
};
// Throws HttpPostError: "Empty URL", or an invalid port after the host.
// A URL without a scheme stays on the previous one (previousTls).
PostUrl ParsePostUrl(std::string_view url, std::string_view previousHost, int previousPort,
                     bool previousTls = false);

// The status number of a status line as received (line end included): its
// second field between single spaces, 0 when that is not a number.
std::int16_t ParseStatusNumber(std::string_view statusLine);

class HttpPostClient {
 public:
  struct THeaderInfo {
    std::string Referer;
    std::string Cookie;
  };

  HttpPostClient() = default;
  HttpPostClient(const HttpPostClient&) = delete;
  HttpPostClient& operator=(const HttpPostClient&) = delete;

  // Posts data to url and follows redirects. Returns for any final status
  // (200, 404, 500, ...); throws HttpPostError on failure.
  void Post(const std::string& url, const std::string& data);

  // Makes a running Post fail at its next wait step. Safe to call from any
  // thread; the request stays aborted until the next Post begins.
  void Abort();

  // Settings (before Post).
  THeaderInfo& HeaderInfo() { return m_headerInfo; }
  const THeaderInfo& HeaderInfo() const { return m_headerInfo; }
  void SetProxy(std::string host) { m_proxy = std::move(host); }
  const std::string& Proxy() const { return m_proxy; }
  void SetProxyPort(int port) { m_proxyPort = port; }
  int ProxyPort() const { return m_proxyPort; }
  // Limit of the host lookup and of the connect wait, in ms; 0: none.
  void SetTimeOut(int ms) { m_timeOut = ms; }
  int TimeOut() const { return m_timeOut; }
  // The worker's time-out timer: when not 0, Post acts as if Abort were
  // called this many ms after it began. 0: no such limit.
  void SetAbortAfter(int ms) { m_abortAfter = ms; }
  int AbortAfter() const { return m_abortAfter; }
  void SetBody(std::string body) { m_body = std::move(body); }
  // A PEM file of CA certificates trusted beside the system store for
  // https; empty: the system store alone.
  void SetCAFile(std::string path) { m_caFile = std::move(path); }

  // Results (after Post).
  const std::string& Body() const { return m_body; }
  // Hands the body over without a copy; Body() is empty afterwards.
  std::string TakeBody() { return std::exchange(m_body, std::string()); }
  // The last reply's body went past kMaxPostingBodyBytes and was cut.
  bool BodyCut() const { return m_bodyCut; }
  const std::string& Header() const { return m_header; }
  std::int16_t StatusCode() const { return m_statusCode; }
  const std::string& ReplyText() const { return m_replyText; }
  int LastSocketError() const { return m_lastSocketError; }
  const std::string& Host() const { return m_host; }
  int Port() const { return m_port; }

 private:
  struct Reply;
  void RunRound(const PostUrl& target, bool isPost, const std::string& data, Reply& reply);
  [[noreturn]] void FailSocket(int err);

  THeaderInfo m_headerInfo;
  std::string m_proxy;
  int m_proxyPort = 0;
  int m_timeOut = 0;
  int m_abortAfter = 0;
  std::string m_caFile;
  std::string m_body;
  bool m_bodyCut = false;
  bool m_tls = false;
  std::string m_header;
  std::int16_t m_statusCode = 0;
  std::string m_replyText;
  int m_lastSocketError = 0;
  std::string m_host;
  int m_port = 0;

  std::chrono::steady_clock::time_point m_abortDeadline = std::chrono::steady_clock::time_point::max();
  std::atomic<bool> m_cancel{false};
  std::atomic<bool> m_busy{false};
};

}  // namespace adw::engine
