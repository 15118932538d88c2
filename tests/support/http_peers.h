#pragma once
// Local peers for the HTTP tests, all on 127.0.0.1: Debian's httpbin and
// tinyproxy started as child processes on free ports, and RawServer, an
// in-test TCP server that records the exact request bytes and answers with
// canned replies, never answers, or closes at once.
#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace adw::test {

// A port of 127.0.0.1 that was free at the moment of the call.
int FreeLoopbackPort();

// A plain HTTP/1.0 GET of path on 127.0.0.1:port: the whole answer, header
// included; empty when the server cannot be reached.
std::string LoopbackGet(int port, const std::string& path);

class ChildProcess;
// Polls the port until the peer accepts; a peer that dies or stays deaf
// for 30 s throws PeerError with its own output in the message.
void WaitUntilAccepting(const char* what, int port, ChildProcess& process, const std::string& logPath);

// A child process with its output in a log file; ended by its id.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::string& logPath);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  pid_t Pid() const { return m_pid; }
  bool HasExited();
  void Stop();

 private:
  pid_t m_pid = -1;
};

// Starting a peer failed; the message says why (and what the peer said).
class PeerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class HttpbinServer {
 public:
  HttpbinServer();  // throws PeerError
  ~HttpbinServer();
  int Port() const { return m_port; }
  // "http://127.0.0.1:PORT" followed by path.
  std::string Url(std::string_view path) const;

 private:
  TempDir m_dir;
  int m_port = 0;
  std::unique_ptr<ChildProcess> m_process;
};

class TinyproxyServer {
 public:
  // CONNECT tunnels go only to connectPorts (none: no tunnel at all).
  explicit TinyproxyServer(const std::vector<int>& connectPorts = {});  // throws PeerError
  ~TinyproxyServer();
  int Port() const { return m_port; }
  // The proxy's log, to see which requests went through it.
  std::string Log() const;

 private:
  TempDir m_dir;
  int m_port = 0;
  std::unique_ptr<ChildProcess> m_process;
};

// The test program's one httpbin and one tinyproxy, started at the first
// call and stopped when the program ends. Throw PeerError when the peer
// could not be started (at every call).
HttpbinServer& SharedHttpbin();
TinyproxyServer& SharedTinyproxy();

// The demo boards of tools/demo-board on a free port.
class DemoBoardServer {
 public:
  DemoBoardServer();  // throws PeerError
  ~DemoBoardServer();
  int Port() const { return m_port; }

 private:
  TempDir m_dir;
  int m_port = 0;
  std::unique_ptr<ChildProcess> m_process;
};

// A string value inside a JSON text, found by a path of object keys
// (\u escapes decoded to UTF-8); nullopt when absent or not a string.
std::optional<std::string> JsonString(std::string_view json, std::initializer_list<std::string_view> path);

class RawServer {
 public:
  enum class Mode {
    Reply,                // read the request, send the next canned reply, close
    ReplyAndHold,         // the same, but keep the connection open afterwards
    NeverAnswer,          // accept and hold the connection, sending nothing
    CloseAtOnce,          // accept and reset the connection at once
    ResetWhileReceiving,  // reset the connection once request bytes arrive
  };

  // Reply mode answers connection k with replies[k], the last reply
  // repeated for later connections.
  explicit RawServer(Mode mode, std::vector<std::string> replies = {});
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const { return m_port; }
  std::string Url(std::string_view path) const;
  // The bytes of each request read so far (Reply mode), in arrival order.
  std::vector<std::string> Requests() const;
  // Blocks until n connections have been accepted.
  void WaitForConnections(std::size_t n) const;

 private:
  void Run();
  bool ReadRequest(int fd, std::string& request);

  Mode m_mode;
  std::vector<std::string> m_replies;
  int m_listenFd = -1;
  int m_wakePipe[2] = {-1, -1};
  int m_port = 0;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<std::string> m_requests;
  std::size_t m_accepted = 0;
  std::vector<int> m_held;
  std::thread m_thread;
};

}  // namespace adw::test
