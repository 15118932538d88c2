#include "support/tls_peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace adw::test {

namespace {

void Openssl(const TempDir& dir, const std::string& args) {
  const std::string log = dir.File("openssl.log");
  const std::string command = "cd '" + dir.Path() + "' && /usr/bin/openssl " + args + " >>'" + log + "' 2>&1";
  if (std::system(command.c_str()) != 0) {
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    throw PeerError("openssl " + args + " failed:\n" + text.str());
  }
}

const char* Stem(TestCertificates::Kind kind) {
  switch (kind) {
    case TestCertificates::Kind::Good:
      return "good";
    case TestCertificates::Kind::SelfSigned:
      return "self";
    case TestCertificates::Kind::Expired:
      return "expired";
    case TestCertificates::Kind::WrongHost:
      return "wrong";
  }
  return "good";
}

const std::string kEcKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";

}  // namespace

TestCertificates::TestCertificates() {
  Openssl(m_dir, "req -x509 " + kEcKey + " -keyout ca.key -out ca.pem -days 3 -subj '/CN=Adweld Test CA'");
  m_caFile = m_dir.File("ca.pem");
  m_dir.Write("local.ext", "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
  m_dir.Write("wrong.ext", "subjectAltName=DNS:other.example\n");
  auto signedBy = [&](const std::string& stem, const std::string& ext, const std::string& days) {
    Openssl(m_dir, "req " + kEcKey + " -keyout " + stem + ".key -out " + stem +
                       ".csr -subj /CN=" + (stem == "wrong" ? "other.example" : "localhost"));
    Openssl(m_dir, "x509 -req -in " + stem + ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days " + days +
                       " -extfile " + ext + " -out " + stem + ".pem");
  };
  signedBy("good", "local.ext", "3");
  signedBy("expired", "local.ext", "-1");
  signedBy("wrong", "wrong.ext", "3");
  Openssl(m_dir, "req -x509 " + kEcKey +
                     " -keyout self.key -out self.pem -days 3 -subj /CN=localhost -addext "
                     "subjectAltName=DNS:localhost,IP:127.0.0.1");
}

std::string TestCertificates::CertFile(Kind kind) const {
  return m_dir.File(std::string(Stem(kind)) + ".pem");
}
std::string TestCertificates::KeyFile(Kind kind) const {
  return m_dir.File(std::string(Stem(kind)) + ".key");
}

TlsServer::TlsServer(const TestCertificates& certificates, TestCertificates::Kind kind,
                     bool oldProtocolsOnly) {
  const std::string runner = std::string(ADWELD_SOURCE_DIR) + "/tests/support/run_tls_server.py";
  const std::string log = m_dir.File("tls.log");
  m_port = FreeLoopbackPort();
  std::vector<std::string> argv{"/usr/bin/python3", runner, std::to_string(m_port),
                                certificates.CertFile(kind), certificates.KeyFile(kind)};
  if (oldProtocolsOnly) argv.push_back("tls1.1");
  m_process = std::make_unique<ChildProcess>(argv, log);
  WaitUntilAccepting("the TLS test server (run_tls_server.py)", m_port, *m_process, log);
}

TlsServer::~TlsServer() = default;

std::string TlsServer::Url(std::string_view path) const {
  return "https://localhost:" + std::to_string(m_port) + std::string(path);
}

// ---------------------------------------------------------------------------

FloodServer::FloodServer(Mode mode) : m_mode(mode) {
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(m_listenFd, 16) != 0 ||
      ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      ::pipe2(m_wakePipe, O_CLOEXEC) != 0) {
    throw PeerError("flood server: " + std::string(std::strerror(errno)));
  }
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Run(); });
}

FloodServer::~FloodServer() {
  char b = 1;
  [[maybe_unused]] ssize_t n = ::write(m_wakePipe[1], &b, 1);
  if (m_thread.joinable()) m_thread.join();
  ::close(m_listenFd);
  ::close(m_wakePipe[0]);
  ::close(m_wakePipe[1]);
}

std::string FloodServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + std::string(path);
}

void FloodServer::Run() {
  for (;;) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    // The request is read once (up to its empty line or a pause) and then
    // ignored; what counts is what comes back.
    std::string request;
    char in[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      pollfd r[2] = {{fd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
      if (::poll(r, 2, 2000) <= 0 || r[1].revents != 0) break;
      ssize_t n = ::recv(fd, in, sizeof in, 0);
      if (n <= 0) break;
      request.append(in, static_cast<std::size_t>(n));
    }
    std::string head = "HTTP/1.0 200 OK\r\n";
    std::string filler;
    switch (m_mode) {
      case Mode::EndlessBody:
        head += "Content-Type: text/html\r\n\r\n";
        filler.assign(64 * 1024, 'b');
        break;
      case Mode::EndlessHeaderLines:
        for (int i = 0; i < 2048; ++i) filler += "X-Filler: abcdefghijklmnopqrstuvwxyz\r\n";
        break;
      case Mode::EndlessHeaderLine:
        head += "X-Long: ";
        filler.assign(64 * 1024, 'h');
        break;
    }
    bool first = true;
    for (;;) {
      const std::string& out = first ? head : filler;
      std::size_t sent = 0;
      bool gone = false;
      while (sent < out.size()) {
        pollfd w[2] = {{fd, POLLOUT, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(w, 2, -1) < 0 && errno != EINTR) break;
        if (w[1].revents != 0) {
          ::close(fd);
          return;
        }
        ssize_t n = ::send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
          gone = true;
          break;
        }
        sent += static_cast<std::size_t>(n);
      }
      if (gone) break;
      first = false;
    }
    ::close(fd);
  }
}

std::string ReplyWithBody(std::size_t bodyBytes) {
  std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
  reply.append(bodyBytes, 'b');
  return reply;
}

std::string ReplyWithHeaderBytes(std::size_t headerBytes) {
  const std::string status = "HTTP/1.0 200 OK\r\n";
  std::string reply = status;
  // Header lines of at most 4000 bytes each, then the empty line.
  std::size_t left = headerBytes - status.size() - 2;
  while (left > 0) {
    std::size_t line = std::min<std::size_t>(left, 4000);
    if (left - line != 0 && left - line < 5) line -= 5;  // leave room for a whole line
    reply += "X:" + std::string(line - 4, 'v') + "\r\n";
    left -= line;
  }
  reply += "\r\n";
  reply += "ok";
  return reply;
}

std::size_t PeakMemoryBytes() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
  }
  return 0;
}

void ResetPeakMemory() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
}

}  // namespace adw::test
