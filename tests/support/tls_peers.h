#pragma once
// Peers for the https tests, on 127.0.0.1: certificates made with the
// openssl command in a temporary directory (a test CA and server
// certificates of every kind a client must tell apart), and an HTTPS
// server (Python's ssl module, run_tls_server.py) started on a free port.
#include <memory>
#include <string>
#include <string_view>

#include "support/http_peers.h"
#include "support/temp_dir.h"

namespace adw::test {

class TestCertificates {
 public:
  enum class Kind {
    Good,        // by the test CA, for localhost and 127.0.0.1
    SelfSigned,  // for localhost, signed by itself
    Expired,     // by the test CA, for localhost, ended yesterday
    WrongHost,   // by the test CA, for other.example only
  };
  TestCertificates();  // throws PeerError
  const std::string& CaFile() const { return m_caFile; }
  std::string CertFile(Kind kind) const;
  std::string KeyFile(Kind kind) const;

 private:
  TempDir m_dir;
  std::string m_caFile;
};

class TlsServer {
 public:
  // oldProtocolsOnly: the server speaks TLS 1.0 and 1.1 and nothing newer.
  TlsServer(const TestCertificates& certificates, TestCertificates::Kind kind,
            bool oldProtocolsOnly = false);  // throws PeerError
  ~TlsServer();
  int Port() const { return m_port; }
  // "https://localhost:PORT" followed by path.
  std::string Url(std::string_view path) const;

 private:
  TempDir m_dir;
  int m_port = 0;
  std::unique_ptr<ChildProcess> m_process;
};

// A server for the limits: after reading a request it sends what its mode
// says, as fast as the client takes it, until the client goes away.
class FloodServer {
 public:
  enum class Mode {
    EndlessBody,         // a status line, an empty line, then body bytes forever
    EndlessHeaderLines,  // a status line, then short header lines forever
    EndlessHeaderLine,   // a status line, then one header line that never ends
  };
  explicit FloodServer(Mode mode);
  ~FloodServer();
  FloodServer(const FloodServer&) = delete;
  FloodServer& operator=(const FloodServer&) = delete;
  int Port() const { return m_port; }
  std::string Url(std::string_view path) const;

 private:
  void Run();
  Mode m_mode;
  int m_listenFd = -1;
  int m_wakePipe[2] = {-1, -1};
  int m_port = 0;
  std::thread m_thread;
};

// A reply of the given status line, an empty line and a body of n bytes.
std::string ReplyWithBody(std::size_t bodyBytes);
// A reply whose header part (status line to the empty line) is exactly n
// bytes, then the body "ok".
std::string ReplyWithHeaderBytes(std::size_t headerBytes);

// The process's peak resident memory (VmHWM) in bytes, and its reset to
// the current size, so a test measures its own peak.
std::size_t PeakMemoryBytes();
void ResetPeakMemory();
// A bound on a peak as a plain build has it, widened for a sanitizer
// build: AddressSanitizer's quarantine keeps freed blocks a while, and
// ThreadSanitizer's shadow memory is a multiple of what the program uses.
inline constexpr std::size_t MemoryBound(std::size_t plainBytes) {
#if defined(__SANITIZE_THREAD__)
  return 6 * plainBytes + (64u << 20);
#elif defined(__SANITIZE_ADDRESS__)
  return plainBytes + (64u << 20);
#else
  return plainBytes;
#endif
}

}  // namespace adw::test
