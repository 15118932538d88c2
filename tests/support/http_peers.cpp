#include "support/http_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace adw::test {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

bool Accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr = Loopback(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

// Polls the port until the peer accepts; a peer that dies or stays deaf
// for 30 s fails with its own output in the message.
void WaitUntilAccepting(const char* what, int port, ChildProcess& process, const std::string& logPath) {
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!Accepts(port)) {
    if (process.HasExited()) {
      throw PeerError(std::string(what) + " exited before accepting on port " + std::to_string(port) + ":\n" +
                      ReadText(logPath));
    }
    if (Clock::now() > deadline) {
      throw PeerError(std::string(what) + " did not accept on port " + std::to_string(port) + ":\n" +
                      ReadText(logPath));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

int FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw PeerError("socket: " + std::string(std::strerror(errno)));
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    int err = errno;
    ::close(fd);
    throw PeerError("bind: " + std::string(std::strerror(err)));
  }
  ::close(fd);
  return ntohs(addr.sin_port);
}

// ---------------------------------------------------------------------------

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& logPath) {
  if (::access(argv.at(0).c_str(), X_OK) != 0) {
    throw PeerError(argv[0] + " is not installed (needed by this test)");
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (logFd < 0) throw PeerError("cannot create " + logPath);
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    ::close(logFd);
    throw PeerError("fork: " + std::string(std::strerror(errno)));
  }
  if (pid == 0) {
    // The peer must not outlive a test program that crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0) ::dup2(devNull, 0);
    ::dup2(logFd, 1);
    ::dup2(logFd, 2);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(logFd);
  m_pid = pid;
}

ChildProcess::~ChildProcess() {
  Stop();
}

bool ChildProcess::HasExited() {
  if (m_pid < 0) return true;
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
    m_pid = -1;
    return true;
  }
  return false;
}

void ChildProcess::Stop() {
  if (m_pid < 0) return;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  ::waitpid(m_pid, &status, 0);
  m_pid = -1;
}

// ---------------------------------------------------------------------------

HttpbinServer::HttpbinServer() {
  const std::string python = "/usr/bin/python3";
  const std::string runner = std::string(ADWELD_SOURCE_DIR) + "/tests/support/run_httpbin.py";
  const std::string log = m_dir.File("httpbin.log");
  m_port = FreeLoopbackPort();
  m_process =
      std::make_unique<ChildProcess>(std::vector<std::string>{python, runner, std::to_string(m_port)}, log);
  WaitUntilAccepting("httpbin (python3-httpbin)", m_port, *m_process, log);
}

HttpbinServer::~HttpbinServer() = default;

std::string HttpbinServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

DemoBoardServer::DemoBoardServer() {
  const std::string log = m_dir.File("demo-board.log");
  m_port = FreeLoopbackPort();
  m_process = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/bin/python3", std::string(ADWELD_SOURCE_DIR) + "/tools/demo-board",
                               "--port", std::to_string(m_port), "--quiet"},
      log);
  WaitUntilAccepting("the demo boards (tools/demo-board)", m_port, *m_process, log);
}

DemoBoardServer::~DemoBoardServer() = default;

TinyproxyServer::TinyproxyServer(const std::vector<int>& connectPorts) {
  m_port = FreeLoopbackPort();
  const std::string log = m_dir.File("tinyproxy.log");
  std::string config = "Port " + std::to_string(m_port) +
                       "\n"
                       "Listen 127.0.0.1\n"
                       "Allow 127.0.0.1\n"
                       "Timeout 30\n"
                       "MaxClients 50\n"
                       "LogLevel Info\n"
                       "LogFile \"" +
                       m_dir.File("access.log") + "\"\n";
  // Without any ConnectPort line tinyproxy would tunnel to every port.
  config += connectPorts.empty() ? std::string("ConnectPort 1\n") : std::string();
  for (int port : connectPorts) config += "ConnectPort " + std::to_string(port) + "\n";
  std::string configPath = m_dir.Write("tinyproxy.conf", config);
  m_process = std::make_unique<ChildProcess>(
      std::vector<std::string>{"/usr/bin/tinyproxy", "-d", "-c", configPath}, log);
  WaitUntilAccepting("tinyproxy", m_port, *m_process, log);
}

TinyproxyServer::~TinyproxyServer() = default;

std::string TinyproxyServer::Log() const {
  return ReadText(m_dir.File("access.log"));
}

namespace {

// One peer per test program: starting httpbin costs about a second, so the
// cases share it. A start that failed is not tried again; every later call
// reports the same reason.
template <class Peer>
Peer& SharedPeer() {
  static std::mutex mutex;
  static std::unique_ptr<Peer> peer;
  static std::string error;
  static bool tried = false;
  const std::lock_guard<std::mutex> lock(mutex);
  if (!tried) {
    tried = true;
    try {
      peer = std::make_unique<Peer>();
    } catch (const PeerError& e) {
      error = e.what();
    }
  }
  if (!peer) throw PeerError(error);
  return *peer;
}

}  // namespace

HttpbinServer& SharedHttpbin() {
  return SharedPeer<HttpbinServer>();
}
TinyproxyServer& SharedTinyproxy() {
  return SharedPeer<TinyproxyServer>();
}

// ---------------------------------------------------------------------------

namespace {

// Just enough JSON to read httpbin's echoes.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : m_s(text) {}

  std::optional<std::string> Find(const std::vector<std::string_view>& path, std::size_t depth) {
    SkipBlanks();
    if (depth == path.size()) {
      if (Peek() != '"') return std::nullopt;
      return ParseString();
    }
    if (Peek() != '{') return std::nullopt;
    ++m_i;
    for (;;) {
      SkipBlanks();
      if (Peek() == '}' || Peek() != '"') return std::nullopt;
      auto key = ParseString();
      if (!key) return std::nullopt;
      SkipBlanks();
      if (Peek() != ':') return std::nullopt;
      ++m_i;
      if (*key == path[depth]) return Find(path, depth + 1);
      if (!SkipValue()) return std::nullopt;
      SkipBlanks();
      if (Peek() != ',') return std::nullopt;
      ++m_i;
    }
  }

 private:
  char Peek() const { return m_i < m_s.size() ? m_s[m_i] : '\0'; }
  void SkipBlanks() {
    while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\n' || m_s[m_i] == '\r' || m_s[m_i] == '\t'))
      ++m_i;
  }

  static void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::optional<unsigned> Hex4() {
    if (m_i + 4 > m_s.size()) return std::nullopt;
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) {
      char c = m_s[m_i++];
      v <<= 4;
      if (c >= '0' && c <= '9')
        v |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        v |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        v |= static_cast<unsigned>(c - 'A' + 10);
      else
        return std::nullopt;
    }
    return v;
  }

  std::optional<std::string> ParseString() {
    ++m_i;  // opening quote
    std::string out;
    while (m_i < m_s.size()) {
      char c = m_s[m_i++];
      if (c == '"') return out;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (m_i >= m_s.size()) return std::nullopt;
      char e = m_s[m_i++];
      switch (e) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          auto cp = Hex4();
          if (!cp) return std::nullopt;
          unsigned code = *cp;
          if (code >= 0xD800 && code < 0xDC00 && m_i + 6 <= m_s.size() && m_s[m_i] == '\\' &&
              m_s[m_i + 1] == 'u') {
            m_i += 2;
            auto low = Hex4();
            if (!low) return std::nullopt;
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
          }
          AppendUtf8(out, code);
          break;
        }
        default:
          out += e;
      }
    }
    return std::nullopt;
  }

  bool SkipValue() {
    SkipBlanks();
    char c = Peek();
    if (c == '"') return ParseString().has_value();
    if (c == '{' || c == '[') {
      char close = c == '{' ? '}' : ']';
      ++m_i;
      SkipBlanks();
      if (Peek() == close) {
        ++m_i;
        return true;
      }
      for (;;) {
        SkipBlanks();
        if (c == '{') {
          if (Peek() != '"' || !ParseString()) return false;
          SkipBlanks();
          if (Peek() != ':') return false;
          ++m_i;
        }
        if (!SkipValue()) return false;
        SkipBlanks();
        if (Peek() == ',') {
          ++m_i;
          continue;
        }
        if (Peek() == close) {
          ++m_i;
          return true;
        }
        return false;
      }
    }
    // number, true, false, null
    std::size_t start = m_i;
    while (m_i < m_s.size() && std::strchr(",}] \n\r\t", m_s[m_i]) == nullptr) ++m_i;
    return m_i > start;
  }

  std::string_view m_s;
  std::size_t m_i = 0;
};

}  // namespace

std::optional<std::string> JsonString(std::string_view json, std::initializer_list<std::string_view> path) {
  JsonReader reader(json);
  return reader.Find(std::vector<std::string_view>(path), 0);
}

// ---------------------------------------------------------------------------

RawServer::RawServer(Mode mode, std::vector<std::string> replies)
    : m_mode(mode), m_replies(std::move(replies)) {
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenFd < 0) throw PeerError("socket: " + std::string(std::strerror(errno)));
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(m_listenFd, 64) != 0 ||
      ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      ::pipe2(m_wakePipe, O_CLOEXEC) != 0) {
    throw PeerError("raw server: " + std::string(std::strerror(errno)));
  }
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Run(); });
}

RawServer::~RawServer() {
  char b = 1;
  [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &b, 1);
  if (m_thread.joinable()) m_thread.join();
  for (int fd : m_held) ::close(fd);
  ::close(m_listenFd);
  ::close(m_wakePipe[0]);
  ::close(m_wakePipe[1]);
}

std::string RawServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

std::vector<std::string> RawServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

void RawServer::WaitForConnections(std::size_t n) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [&] { return m_accepted >= n; });
}

// Reads one request: up to the empty line, then Content-Length bytes.
// False when the server is being stopped.
bool RawServer::ReadRequest(int fd, std::string& request) {
  std::size_t wanted = std::string::npos;
  char chunk[65536];
  for (;;) {
    if (wanted == std::string::npos) {
      std::size_t end = request.find("\r\n\r\n");
      if (end != std::string::npos) {
        std::size_t length = 0;
        std::string lower = request.substr(0, end);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::size_t at = lower.find("\r\ncontent-length:");
        if (at != std::string::npos) length = std::stoul(lower.substr(at + 17));
        wanted = end + 4 + length;
      }
    }
    if (wanted != std::string::npos && request.size() >= wanted) return true;
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) return false;
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return true;  // the client gave up; keep what came
    request.append(chunk, static_cast<std::size_t>(n));
  }
}

void RawServer::Run() {
  std::size_t served = 0;
  for (;;) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      ++m_accepted;
    }
    m_changed.notify_all();

    if (m_mode == Mode::CloseAtOnce) {
      linger lg{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
      ::close(fd);
      continue;
    }
    if (m_mode == Mode::ResetWhileReceiving) {
      pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
      char chunk[4096];
      if (::poll(fds, 2, -1) > 0 && fds[0].revents != 0) {
        [[maybe_unused]] ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
      }
      linger lg{1, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
      ::close(fd);
      continue;
    }
    if (m_mode == Mode::NeverAnswer) {
      m_held.push_back(fd);
      continue;
    }

    std::string request;
    bool more = ReadRequest(fd, request);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_requests.push_back(request);
    }
    m_changed.notify_all();
    if (!more) {
      ::close(fd);
      return;
    }
    const std::string& reply =
        m_replies.empty() ? std::string() : m_replies[std::min(served, m_replies.size() - 1)];
    ++served;
    std::size_t sent = 0;
    while (sent < reply.size()) {
      ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    if (m_mode == Mode::ReplyAndHold) {
      m_held.push_back(fd);
      continue;
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
  }
}

std::string LoopbackGet(int port, const std::string& path) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return answer;
}

}  // namespace adw::test
