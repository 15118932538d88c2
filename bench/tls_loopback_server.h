#pragma once
// The benchmarks' HTTPS/1.0 peer on 127.0.0.1: a test CA and a server
// certificate made with the openssl command, and a few threads, each
// accepting one connection at a time, shaking hands, reading the request
// head and its announced body, answering at once and closing.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "loopback_listener.h"

namespace adw::bench {

// Makes ca.pem, server.pem and server.key (P-256, for 127.0.0.1 and
// localhost) in dir; exits the benchmark when openssl fails.
inline void MakeTestCertificates(const std::string& dir) {
  const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  const std::string steps[] = {
      "req -x509 " + key + " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Adweld Bench CA'",
      "req " + key + " -keyout server.key -out server.csr -subj /CN=localhost",
      "x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -out server.pem "
      "-extfile ext.cnf",
  };
  const std::string ext =
      "cd '" + dir + "' && printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\\n' > ext.cnf";
  if (std::system(ext.c_str()) != 0) std::exit(1);
  for (const std::string& step : steps) {
    const std::string command = "cd '" + dir + "' && openssl " + step + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "openssl %s failed\n", step.c_str());
      std::exit(1);
    }
  }
}

class TlsLoopbackServer {
 public:
  TlsLoopbackServer(const std::string& certFile, const std::string& keyFile, int threads = 4) {
    m_ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate_chain_file(m_ctx, certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
      std::fprintf(stderr, "cannot load the server certificate\n");
      std::exit(1);
    }
    m_fd = ListenOnLoopback(m_port);
    for (int i = 0; i < threads; ++i) m_threads.emplace_back([this] { Serve(); });
  }
  ~TlsLoopbackServer() {
    m_stop = true;
    ::shutdown(m_fd, SHUT_RDWR);
    for (auto& t : m_threads) t.join();
    ::close(m_fd);
    SSL_CTX_free(m_ctx);
  }
  int Port() const { return m_port; }
  long Served() const { return m_served.load(); }
  // Handshakes that resumed an earlier session instead of a full one.
  long Resumed() const { return m_resumed.load(); }

 private:
  void Serve() {
    while (!m_stop) {
      const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        if (m_stop) return;
        continue;
      }
      SSL* ssl = SSL_new(m_ctx);
      SSL_set_fd(ssl, client);
      if (SSL_accept(ssl) == 1) {
        if (SSL_session_reused(ssl) == 1) ++m_resumed;
        const std::string request = ReadRequest(
            [&](char* buffer, std::size_t size) { return SSL_read(ssl, buffer, static_cast<int>(size)); });
        static const std::string reply =
            "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 15\r\nConnection: "
            "close\r\n\r\n<html>ok</html>";
        SSL_write(ssl, reply.data(), static_cast<int>(reply.size()));
        SSL_shutdown(ssl);
        ++m_served;
      }
      SSL_free(ssl);
      ERR_clear_error();
      ::close(client);
    }
  }

  SSL_CTX* m_ctx = nullptr;
  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<long> m_served{0};
  std::atomic<long> m_resumed{0};
  std::vector<std::thread> m_threads;
};

}  // namespace adw::bench
