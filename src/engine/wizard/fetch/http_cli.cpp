#include "engine/wizard/fetch/http_cli.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>
#include <utility>

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

// A CR, LF or NUL would let a URL or a server's Location add request lines
// of its own.
bool HasLineControl(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string SystemText(int err) {
  return std::string(std::strerror(err)) + " (Error #" + std::to_string(err) + ")";
}

std::string TimedOutText(int ms) {
  if (ms % 1000 != 0) return kHttpCliTimedOut + std::to_string(ms) + " ms";
  const int seconds = ms / 1000;
  return kHttpCliTimedOut + std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

bool IsHttps(const std::string& scheme) {
  return platform::EqualsNoCase(scheme, "https");
}

std::string EffectivePort(const std::string& scheme, const std::string& port) {
  if (!port.empty()) return port;
  return IsHttps(scheme) ? "443" : "80";
}

}  // namespace

THttpCli::~THttpCli() {
  Shutdown();
}

// ---------------------------------------------------------------------------
// Reply state

int THttpCli::ReplyStatus() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.status;
}
std::string THttpCli::ReplyReason() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.reason;
}
std::int64_t THttpCli::ReplyByteCount() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.byteCount;
}
std::int64_t THttpCli::ContentLength() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.contentLength;
}
std::string THttpCli::ContentType() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.contentType;
}
std::string THttpCli::Location() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.location;
}
std::vector<std::string> THttpCli::RcvdHeader() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.headers;
}
std::string THttpCli::ContentRange() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.contentRange;
}
std::string THttpCli::AcceptRanges() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.acceptRanges;
}
std::string THttpCli::WWWAuthenticate() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.wwwAuthenticate;
}
std::string THttpCli::SetCookie() const {
  std::lock_guard lock(m_stateMutex);
  return m_reply.setCookie;
}

// ---------------------------------------------------------------------------
// Starting and running

void THttpCli::Abort() {
  m_abort.store(true);
}

THttpCli::Setup THttpCli::BeginRequest() {
  bool idle = false;
  if (!m_busy.compare_exchange_strong(idle, true)) throw HttpCliError(kHttpCliBusy, kHttpCliErrBusy);
  try {
    return PrepareRequest();
  } catch (...) {
    m_busy.store(false);
    throw;
  }
}

THttpCli::Setup THttpCli::PrepareRequest() {
  m_abort.store(false);
  {
    std::lock_guard lock(m_stateMutex);
    m_reply = Reply{};
  }

  UrlParts url = SplitUrl(URL);
  if (!url.user.empty()) {
    Username = url.user;
    Password = url.password;
  }
  Setup setup;
  setup.target = {url.scheme, url.host, url.port, url.path};
  setup.viaProxy = !Proxy.empty();
  if (setup.viaProxy) {
    UrlParts proxy = SplitUrl(Proxy);
    setup.proxyHost = proxy.host;
    setup.proxyPort = proxy.port.empty() ? ProxyPort : proxy.port;
  }
  setup.agent = Agent;
  setup.accept = Accept;
  setup.noCache = NoCache;
  if (!Username.empty()) setup.authorization = EncodeBase64(Username + ":" + Password);
  setup.caFile = CAFile;
  setup.timeOutMs = TimeOut > 0 ? TimeOut : kDefaultFetchTimeOutMs;
  setup.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(setup.timeOutMs);
  return setup;
}

void THttpCli::Fail(const std::string& text, int code, int status) {
  {
    std::lock_guard lock(m_stateMutex);
    if (status >= 0) m_reply.status = status;
    m_reply.reason = text;
  }
  throw HttpCliError(text, code);
}

void THttpCli::FailCancelled(const Setup& setup) {
  if (m_abort.load()) Fail(kHttpCliAborted, kHttpCliErrAborted);
  Fail(TimedOutText(setup.timeOutMs), kHttpCliErrTimedOut);
}

void THttpCli::Get() {
  Setup setup = BeginRequest();
  struct BusyReset {
    std::atomic<bool>& busy;
    ~BusyReset() { busy.store(false); }
  } busyReset{m_busy};
  Perform(setup, [](const std::function<void()>& fn) { fn(); });
}

void THttpCli::Perform(const Setup& setup, const Deliver& deliver) {
  const CancelWatch cancel{&m_abort, setup.deadline};
  Target target = setup.target;
  std::string authorization = setup.authorization;
  for (int relocations = 0;; ++relocations) {
    if (relocations > 0) {
      std::lock_guard lock(m_stateMutex);
      std::string location = std::move(m_reply.location);
      m_reply = Reply{};
      m_reply.location = std::move(location);
    }
    std::optional<Target> next = RunHop(setup, target, authorization, cancel, deliver);
    if (!next) break;
    if (relocations == kMaxFetchRelocations) {
      Fail(std::string(kHttpCliTooManyRelocations) + " (more than " + std::to_string(kMaxFetchRelocations) +
               ")",
           kHttpCliErrTooManyRelocations);
    }
    // The user's password is for the server it was given for, not for
    // wherever that server sends the client.
    if (!platform::EqualsNoCase(next->host, target.host) ||
        EffectivePort(next->scheme, next->port) != EffectivePort(target.scheme, target.port) ||
        !platform::EqualsNoCase(next->scheme, target.scheme)) {
      authorization.clear();
    }
    target = std::move(*next);
    deliver([this] {
      if (OnLocationChange) OnLocationChange(*this);
    });
  }
  const int status = ReplyStatus();
  if (status >= 400) throw HttpCliError(ReplyReason(), status);
}

namespace {

// Where a Location value leads from the current target.
template <typename Target>
Target ResolveRelocation(const Target& current, std::string_view value) {
  if (value.size() >= 2 && value[0] == '/' && value[1] == '/') {
    // Same scheme, another server.
    UrlParts parts =
        SplitUrl((current.scheme.empty() ? std::string("http") : current.scheme) + ":" + std::string(value));
    return {parts.scheme, parts.host, parts.port, parts.path.empty() ? "/" : parts.path};
  }
  UrlParts parts = SplitUrl(value);
  if (!parts.scheme.empty() && (!parts.host.empty() || value.find("://") != std::string_view::npos)) {
    return {parts.scheme, parts.host, parts.port, parts.path.empty() ? "/" : parts.path};
  }
  if (!value.empty() && value.front() == '/')
    return {current.scheme, current.host, current.port, std::string(value)};
  // A relative reference: beside the current page.
  std::string base = current.path.substr(0, current.path.find('?'));
  if (!value.empty() && value.front() == '?')
    return {current.scheme, current.host, current.port, base + std::string(value)};
  std::size_t slash = base.rfind('/');
  std::string directory = slash == std::string::npos ? "/" : base.substr(0, slash + 1);
  return {current.scheme, current.host, current.port, directory + std::string(value)};
}

}  // namespace

std::optional<THttpCli::Target> THttpCli::RunHop(const Setup& setup, const Target& target,
                                                 const std::string& authorization, const CancelWatch& cancel,
                                                 const Deliver& deliver) {
  const bool tls = IsHttps(target.scheme);
  // https through a proxy goes through a CONNECT tunnel, and the request
  // inside it is the one a direct connection carries.
  const bool proxyForm = setup.viaProxy && !tls;
  std::string requestTarget;
  if (proxyForm) {
    requestTarget = (target.scheme.empty() ? std::string("http") : target.scheme) + "://" + target.host +
                    (target.port.empty() ? "" : ":" + target.port) + target.path;
  } else {
    requestTarget = target.path.empty() ? "/" : target.path;
  }
  const std::string& connectHost = setup.viaProxy ? setup.proxyHost : target.host;
  const std::string connectPort =
      setup.viaProxy ? setup.proxyPort : EffectivePort(target.scheme, target.port);

  // Without a target host there is nothing to ask a proxy for either.
  if (connectHost.empty() || target.host.empty()) Fail(kHttpCliInvalidHost, kHttpCliErrInvalidHost);
  const std::optional<std::string> encodedTarget = platform::EncodeRequestTarget(requestTarget);
  if (!encodedTarget || HasLineControl(target.host)) Fail(kHttpCliBadUrl, kHttpCliErrBadRequest);
  if (HasLineControl(setup.agent) || HasLineControl(setup.accept)) {
    Fail(kHttpCliBadHeaderValue, kHttpCliErrBadRequest);
  }

  std::string request = "GET " + *encodedTarget + " HTTP/1.0\r\n";
  if (!setup.accept.empty()) request += "Accept: " + setup.accept + "\r\n";
  if (!setup.agent.empty()) request += "User-Agent: " + setup.agent + "\r\n";
  request += "Host: " + target.host + "\r\n";
  if (setup.noCache) request += "Pragma: no-cache\r\n";
  if (!authorization.empty()) request += "Authorization: Basic " + authorization + "\r\n";
  request += "\r\n";

  platform::ConnectionTarget where;
  where.host = target.host;
  where.tls = tls;
  if (setup.viaProxy) {
    where.proxyHost = connectHost;
    where.proxyPort = PortFromText(connectPort);
    where.port = PortFromText(EffectivePort(target.scheme, target.port));
  } else {
    where.port = PortFromText(connectPort);
  }
  where.caFile = setup.caFile;
  platform::Connection connection;
  const platform::OpenResult opened = connection.Open(where, cancel);
  if (!opened.ok) {
    switch (opened.step) {
      case platform::OpenStep::Lookup:
        if (opened.lookup == platform::LookupStatus::NotFound) Fail(kHttpCliCantResolve, 404, 404);
        FailCancelled(setup);
      case platform::OpenStep::Port:
        Fail(kHttpCliCantConnect + SystemText(EINVAL), 404, 404);
      case platform::OpenStep::Socket:
        Fail(kHttpCliCantConnect + SystemText(opened.error), 404, 404);
      case platform::OpenStep::Connect:
        if (opened.status == SocketStatus::Cancelled || opened.status == SocketStatus::TimedOut) {
          FailCancelled(setup);
        }
        Fail(SystemText(opened.error != 0 ? opened.error : ECONNREFUSED), 404, 404);
      case platform::OpenStep::Tunnel:
      case platform::OpenStep::Tls:
        if (opened.status == SocketStatus::Cancelled) FailCancelled(setup);
        Fail(opened.message, 404, 404);
    }
  }

  // A failed send is not the end: a server may answer and close before it
  // has read the whole request, and its answer is what counts.
  if (connection.SendAll(request, cancel).status == SocketStatus::Cancelled) FailCancelled(setup);

  std::size_t chunks = 0;
  std::int64_t received = 0;
  bool tooLarge = false;
  auto bodyChunk = [&](const char* data, std::size_t length) {
    if (length == 0) return true;
    if (received + static_cast<std::int64_t>(length) > kMaxPageBytes) {
      tooLarge = true;
      return false;
    }
    received += static_cast<std::int64_t>(length);
    const bool first = chunks++ == 0;
    deliver([&] {
      if (first && OnDocBegin) OnDocBegin(*this);
      if (ReplyStream != nullptr) ReplyStream->append(data, length);
      {
        std::lock_guard lock(m_stateMutex);
        m_reply.byteCount += static_cast<std::int64_t>(length);
      }
      if (OnDocData) OnDocData(*this, data, length);
    });
    return true;
  };
  auto docEnd = [&] {
    if (chunks == 0) return;
    deliver([this] {
      if (OnDocEnd) OnDocEnd(*this);
    });
  };

  platform::ReplyReader reader(connection, cancel);
  auto failHeaderRead = [&](const ReadResult& r) {
    switch (r.status) {
      case ReadStatus::Cancelled:
        FailCancelled(setup);
      case ReadStatus::LineTooLong:
        Fail(kHttpCliLineTooLong, kHttpCliErrLineTooLong);
      case ReadStatus::HeaderTooLarge:
        Fail(kHttpCliHeaderTooLarge, kHttpCliErrHeaderTooLarge);
      default:
        // A close, a reset or any other receive failure ends the reply here.
        Fail(kHttpCliNoReply, kHttpCliErrNoReply);
    }
  };

  std::string line;
  for (;;) {
    // A server that sends a page without any header: the page starts here.
    ReadResult peeked;
    if (reader.PeekStartsWithNoCase("<HTML>", peeked)) {
      std::lock_guard lock(m_stateMutex);
      m_reply.contentType = "text/html";
      break;
    }
    if (peeked.status != ReadStatus::Ok) failHeaderRead(peeked);
    if (ReadResult r = reader.ReadLine(line, kHttpLineBufferSize); r.status != ReadStatus::Ok)
      failHeaderRead(r);
    std::string_view bare(line);
    bare.remove_suffix(1);  // the LF
    if (!bare.empty() && bare.back() == '\r') bare.remove_suffix(1);

    if (bare.empty()) {
      std::optional<Target> relocation;
      {
        std::lock_guard lock(m_stateMutex);
        if (m_reply.relocation) relocation = ResolveRelocation(target, m_reply.location);
      }
      if (relocation) return relocation;
      break;
    }
    HandleHeaderLine(bare);
    deliver([this] {
      if (OnHeaderData) OnHeaderData(*this);
    });
    // An error reply is not read any further.
    if (ReplyStatus() >= 400) return std::nullopt;
  }

  const ReadResult body = reader.ReadBody(bodyChunk);
  docEnd();
  if (tooLarge) Fail(kHttpCliPageTooLarge, kHttpCliErrPageTooLarge);
  if (body.status == ReadStatus::Cancelled) FailCancelled(setup);
  return std::nullopt;
}

void THttpCli::HandleHeaderLine(std::string_view line) {
  std::lock_guard lock(m_stateMutex);
  m_reply.headers.emplace_back(line);
  if (line.substr(0, 8) == "HTTP/1.0" || line.substr(0, 8) == "HTTP/1.1") {
    std::string_view code = line.size() > 9 ? line.substr(9, 3) : std::string_view();
    bool numeric = !code.empty();
    int status = 0;
    for (char c : code) {
      if (c < '0' || c > '9') numeric = false;
      status = status * 10 + (c - '0');
    }
    if (!numeric) {
      m_reply.reason = kHttpCliBadStatusLine;
      throw HttpCliError(kHttpCliBadStatusLine, kHttpCliErrBadStatusLine);
    }
    m_reply.status = status;
    m_reply.reason = line.size() > 13 ? std::string(line.substr(13)) : std::string();
    return;
  }
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return;
  std::string_view name = line.substr(0, colon);
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);

  if (platform::EqualsNoCase(name, "location")) {
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    // An empty Location leads nowhere; following it would only repeat
    // the request until the relocation limit.
    if (!value.empty()) {
      m_reply.relocation = true;
      m_reply.location = std::string(value);
    }
  } else if (platform::EqualsNoCase(name, "content-length")) {
    std::int64_t length = -1;
    if (!value.empty() && value.size() <= 18 &&
        value.find_first_not_of("0123456789") == std::string_view::npos) {
      length = std::stoll(std::string(value));
    }
    m_reply.contentLength = length;
  } else if (platform::EqualsNoCase(name, "content-type")) {
    m_reply.contentType = platform::LowerAscii(value);
  } else if (platform::EqualsNoCase(name, "content-range")) {
    m_reply.contentRange = std::string(value);
  } else if (platform::EqualsNoCase(name, "accept-ranges")) {
    m_reply.acceptRanges = std::string(value);
  } else if (platform::EqualsNoCase(name, "www-authenticate")) {
    m_reply.wwwAuthenticate = std::string(value);
  } else if (platform::EqualsNoCase(name, "set-cookie")) {
    m_reply.setCookie = std::string(value);
  }
}

// ---------------------------------------------------------------------------
// The asynchronous fetch

void THttpCli::GetAsync(platform::IMainThread& mainThread, DoneEvent onDone) {
  Setup setup = BeginRequest();
  ReapWorkers();
  m_serve = ServePending;
  if (!m_serve) {
    if (auto* queue = dynamic_cast<platform::QueueMainThread*>(&mainThread))
      m_serve = [queue] { queue->RunPending(); };
  }
  try {
    m_worker = std::thread([this, &mainThread, setup = std::move(setup), onDone = std::move(onDone)] {
      RunWorker(mainThread, setup, onDone);
    });
  } catch (const std::system_error& e) {
    m_busy.store(false);
    throw HttpCliError(std::string("can't start the page fetch: ") + e.what(), kHttpCliErrAborted);
  }
}

void THttpCli::RunWorker(platform::IMainThread& mainThread, const Setup& setup, const DoneEvent& onDone) {
  const Deliver deliver = [this, &mainThread](const std::function<void()>& fn) {
    if (m_closing.load()) return;
    mainThread.CallBlocking([&] {
      if (!m_closing.load()) fn();
    });
  };

  std::optional<HttpCliError> failure;
  try {
    Perform(setup, deliver);
  } catch (const HttpCliError& e) {
    failure = e;
  } catch (const std::exception& e) {
    // An event handler failed on the main thread; the fetch ends with it.
    failure.emplace(e.what(), kHttpCliErrAborted);
  } catch (...) {
    failure.emplace(kHttpCliAborted, kHttpCliErrAborted);
  }

  auto finish = [&] {
    m_busy.store(false);
    if (m_closing.load() || !onDone) return;
    struct CompletionMark {
      bool& mark;
      ~CompletionMark() { mark = false; }
    } completionMark{m_inCompletion};
    m_inCompletion = true;
    onDone(*this, failure ? &*failure : nullptr);
  };
  if (!m_closing.load()) {
    try {
      mainThread.CallBlocking(finish);
      return;
    } catch (...) {
      // The completion's own failure has nobody left to tell.
      return;
    }
  }
  {
    std::lock_guard lock(m_exitMutex);
    m_busy.store(false);
  }
  m_exitCv.notify_all();
}

void THttpCli::ReapWorkers() {
  if (m_worker.joinable()) {
    // Inside the previous fetch's completion its worker still waits for
    // the completion to return; it is joined later.
    if (m_inCompletion) {
      m_retired.push_back(std::move(m_worker));
    } else {
      m_worker.join();
    }
  }
  if (!m_inCompletion) {
    for (std::thread& t : m_retired) t.join();
    m_retired.clear();
  }
}

void THttpCli::Shutdown() {
  if (m_worker.joinable()) {
    m_closing.store(true);
    while (m_busy.load()) {
      Abort();
      if (m_serve) m_serve();
      std::unique_lock lock(m_exitMutex);
      m_exitCv.wait_for(lock, std::chrono::milliseconds(1), [this] { return !m_busy.load(); });
    }
    m_worker.join();
    m_closing.store(false);
  }
  for (std::thread& t : m_retired) t.join();
  m_retired.clear();
}

}  // namespace adw::engine
