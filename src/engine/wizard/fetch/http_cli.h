#pragma once
// The add-board wizard's page fetch client: one HTTP/1.0 GET, direct or
// through a proxy (https through a CONNECT tunnel), over TLS for https://
// (port 443 unless the URL names one), relocations followed between http
// and https, the body appended to a buffer the caller owns (a page of at
// most kMaxPageBytes), progress reported through events.
//
// Two ways to run it:
// - Get blocks the calling thread and raises the events on it (the
//   command-line tool).
// - GetAsync returns at once; a worker thread does the network work and
//   hands every event, and finally the completion, to the main thread
//   through the given IMainThread, waiting until each has run there. The
//   window stays live meanwhile; Abort ends the fetch promptly.
//
// Properties are read when a Get starts, so changing them during a fetch
// affects only the next one. The reply state may be read at any time; it is
// consistent inside the events and after the end. The events and the
// completion must not destroy the client or call Shutdown.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/wizard/fetch/url_parts.h"
#include "platform/main_thread.h"
#include "platform/tcp_socket.h"

namespace adw::engine {

// Failure texts.
inline constexpr const char* kHttpCliBusy = "HTTP component is busy";
inline constexpr const char* kHttpCliInvalidHost = "DNS lookup: invalid host name.";
inline constexpr const char* kHttpCliCantResolve = "can't resolve hostname to IP address";
inline constexpr const char* kHttpCliCantConnect = "can't connect: ";
inline constexpr const char* kHttpCliLineTooLong = "HTTP line too long";
// Failures the client adds so that no fetch hangs or ends silently empty.
inline constexpr const char* kHttpCliAborted = "HTTP request aborted";
inline constexpr const char* kHttpCliTimedOut = "HTTP request timed out after ";
inline constexpr const char* kHttpCliTooManyRelocations = "Too many relocations";
inline constexpr const char* kHttpCliNoReply = "Connection closed before the end of the reply header";
inline constexpr const char* kHttpCliBadStatusLine = "Bad HTTP status line";
inline constexpr const char* kHttpCliBadUrl = "Control character in URL";
inline constexpr const char* kHttpCliBadHeaderValue = "Control character in request header";
inline constexpr const char* kHttpCliHeaderTooLarge = "Reply header larger than 64 KiB";
inline constexpr const char* kHttpCliPageTooLarge = "Page larger than 32 MiB: the fetch was stopped";

// Failure codes; a failure carried by the reply has its status instead
// (404 for name lookup and connection failures).
inline constexpr int kHttpCliErrBusy = 1;
inline constexpr int kHttpCliErrNoReply = 2;
inline constexpr int kHttpCliErrAborted = 3;
inline constexpr int kHttpCliErrLineTooLong = 4;
inline constexpr int kHttpCliErrInvalidHost = 5;
inline constexpr int kHttpCliErrTimedOut = 6;
inline constexpr int kHttpCliErrTooManyRelocations = 7;
inline constexpr int kHttpCliErrBadRequest = 8;
inline constexpr int kHttpCliErrBadStatusLine = 9;
inline constexpr int kHttpCliErrPageTooLarge = 10;
inline constexpr int kHttpCliErrHeaderTooLarge = 11;
// TLS and proxy tunnel failures end the request like a failed connection:
// ReplyStatus and the code are 404, ReplyReason says why ("TLS: ...").

// A fetch follows at most this many relocations.
inline constexpr int kMaxFetchRelocations = 20;
// The whole fetch, relocations included, ends after this long unless the
// caller sets TimeOut.
inline constexpr int kDefaultFetchTimeOutMs = 60000;
// A reply header line must be shorter than this (CR included, LF not).
inline constexpr std::size_t kHttpLineBufferSize = 8192;
// The most page bytes a fetch takes; a longer page fails the fetch.
inline constexpr std::int64_t kMaxPageBytes = 32 * 1024 * 1024;

class HttpCliError : public std::runtime_error {
 public:
  HttpCliError(const std::string& text, int code) : std::runtime_error(text), m_code(code) {}
  int Code() const { return m_code; }

 private:
  int m_code;
};

class THttpCli {
 public:
  using Event = std::function<void(THttpCli& sender)>;
  using DataEvent = std::function<void(THttpCli& sender, const char* data, std::size_t length)>;
  // failure is null when the fetch succeeded.
  using DoneEvent = std::function<void(THttpCli& sender, const HttpCliError* failure)>;

  THttpCli() = default;
  ~THttpCli();  // Shutdown()
  THttpCli(const THttpCli&) = delete;
  THttpCli& operator=(const THttpCli&) = delete;

  // Properties.
  std::string URL;
  std::string Proxy;             // host, optionally ":" and a port; empty: direct
  std::string ProxyPort = "80";  // used when Proxy names no port
  std::string Agent = "Mozilla/3.0 (compatible)";
  std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
  bool NoCache = false;
  std::string Username;  // a user in URL replaces both at the start of Get
  std::string Password;
  // Where body chunks are appended, on the thread that runs the events;
  // owned by the caller, may be null. It is looked up at every chunk, so a
  // buffer replaced during a fetch is never written after.
  std::string* ReplyStream = nullptr;
  // Limit of the whole fetch in ms; 0 or less: kDefaultFetchTimeOutMs.
  int TimeOut = 0;
  // A PEM file of CA certificates trusted beside the system store for
  // https; empty: the system store alone.
  std::string CAFile;
  // Runs the calls that workers have queued on the main thread (the
  // window: its event loop's posted calls; a QueueMainThread is served
  // without it). Shutdown needs it while a worker waits in a hand-over.
  std::function<void()> ServePending;

  // Events, each optional, called with the client as sender.
  Event OnDocBegin;        // before the first body chunk
  DataEvent OnDocData;     // after each body chunk was appended and counted
  Event OnDocEnd;          // when a body of at least one chunk has ended
  Event OnHeaderData;      // after each received header line
  Event OnLocationChange;  // when a relocation starts; Location() is its target

  // Fetches URL and returns when the request has ended. Throws
  // HttpCliError: busy (code 1, the running fetch goes on untouched), or
  // the fetch failed (reply status 400 or more, lookup or connection
  // failure, time-out, abort, ...). Either way the client is ready again.
  void Get();

  // Starts fetching URL and returns at once. Events and then onDone run on
  // the main thread through mainThread, which must outlive the fetch.
  // Throws HttpCliError busy when a fetch runs; every other outcome comes
  // to onDone. onDone may start the next fetch.
  void GetAsync(platform::IMainThread& mainThread, DoneEvent onDone);

  // Ends a running fetch soon (from any thread, events included); it
  // fails with kHttpCliAborted. Without a running fetch it does nothing.
  void Abort();

  // Aborts a running asynchronous fetch, drops its pending events and its
  // completion, and waits until its worker has ended.
  void Shutdown();

  bool Busy() const { return m_busy.load(); }

  // Reply state, reset at the start of every request (every relocation).
  int ReplyStatus() const;
  std::string ReplyReason() const;
  std::int64_t ReplyByteCount() const;
  std::int64_t ContentLength() const;  // -1 when the server gave none
  std::string ContentType() const;     // lower-cased
  std::string Location() const;        // the relocation target, when marked
  std::vector<std::string> RcvdHeader() const;
  std::string ContentRange() const;
  std::string AcceptRanges() const;
  std::string WWWAuthenticate() const;
  std::string SetCookie() const;

 private:
  struct Target {
    std::string scheme;
    std::string host;
    std::string port;
    std::string path;
  };
  struct Setup {
    Target target;
    std::string proxyHost;
    std::string proxyPort;
    bool viaProxy = false;
    std::string agent;
    std::string accept;
    bool noCache = false;
    std::string authorization;  // Base64 of user:password, or empty
    std::string caFile;
    int timeOutMs = 0;
    std::chrono::steady_clock::time_point deadline;
  };
  struct Reply {
    int status = 0;
    std::string reason;
    std::int64_t byteCount = 0;
    std::int64_t contentLength = -1;
    std::string contentType;
    bool relocation = false;
    std::string location;
    std::vector<std::string> headers;
    std::string contentRange;
    std::string acceptRanges;
    std::string wwwAuthenticate;
    std::string setCookie;
  };
  // Runs an event's work where the events belong (this thread or the main
  // thread) and returns once it has run.
  using Deliver = std::function<void(const std::function<void()>&)>;

  Setup BeginRequest();
  Setup PrepareRequest();
  void Perform(const Setup& setup, const Deliver& deliver);
  std::optional<Target> RunHop(const Setup& setup, const Target& target, const std::string& authorization,
                               const platform::CancelWatch& cancel, const Deliver& deliver);
  void HandleHeaderLine(std::string_view line);
  void RunWorker(platform::IMainThread& mainThread, const Setup& setup, const DoneEvent& onDone);
  void ReapWorkers();
  [[noreturn]] void Fail(const std::string& text, int code, int status = -1);
  [[noreturn]] void FailCancelled(const Setup& setup);

  mutable std::mutex m_stateMutex;
  Reply m_reply;

  std::atomic<bool> m_busy{false};
  std::atomic<bool> m_abort{false};
  std::atomic<bool> m_closing{false};
  bool m_inCompletion = false;  // main thread only
  std::function<void()> m_serve;
  std::thread m_worker;
  std::vector<std::thread> m_retired;  // in their completion when retired
  std::mutex m_exitMutex;
  std::condition_variable m_exitCv;
};

}  // namespace adw::engine
