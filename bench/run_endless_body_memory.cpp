// Peak memory of adweld-run against one board whose server sends an
// endless reply body, with the default time-out of 20 s and result pages
// on. The tool runs as a child process; its peak resident size comes from
// the kernel (ru_maxrss) when it has ended. Prints the peak, the bytes the
// server sent, and fails when the peak reaches 64 MB:
//   peak=N MB sent=M MB goal=64 MB
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace {

constexpr long kGoalKb = 64 * 1024;

// Accepts connections and answers each with a header and then body bytes
// for as long as the client reads.
class EndlessBodyServer {
 public:
  EndlessBodyServer() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_fd, 16) != 0) {
      std::perror("bind/listen");
      std::exit(1);
    }
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~EndlessBodyServer() {
    m_stop = true;
    ::shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    ::close(m_fd);
  }
  int Port() const { return m_port; }
  long long Sent() const { return m_sent.load(); }

 private:
  void Serve() {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n";
    const std::string filler(256 * 1024, 'b');
    while (!m_stop) {
      const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      char request[4096];
      [[maybe_unused]] ssize_t got = ::recv(client, request, sizeof request, 0);
      bool first = true;
      while (!m_stop) {
        const std::string& out = first ? head : filler;
        const ssize_t n = ::send(client, out.data(), out.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        m_sent += n;
        first = false;
      }
      ::close(client);
    }
  }

  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<long long> m_sent{0};
  std::thread m_thread;
};

}  // namespace

int main() {
  EndlessBodyServer server;
  std::string pattern = adw::platform::TempDirectory() + "adweld-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern.data());
  std::filesystem::create_directories(dir + "/script");
  std::filesystem::create_directories(dir + "/reports");
  std::string board = adw::engine::Tlzrw1::CompressBytes(
      "[Project]\r\nNAME=Endless\r\nSUBMIT=http://127.0.0.1:" + std::to_string(server.Port()) +
      "/add\r\nSUBBODY=t=$TEXT\r\n");
  board.replace(0, 4, "ADWP");
  std::ofstream(dir + "/script/Endless.prj", std::ios::binary) << board;
  std::ofstream(dir + "/script/base.dat", std::ios::binary)
      << "[Ad1]\r\n"
      << adw::platform::W("Текст") << "$TEXT=one\r\nreppath=" << dir << "/reports\r\n";
  // The time-out as the program's design value has it: 20 s.
  std::ofstream(dir + "/adwelder.ini", std::ios::binary)
      << "[Save]\r\ncbReports_Checked=True\r\nedTimeOut_Text=20\r\n";

  const std::string tool =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/adweld-run";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::execl(tool.c_str(), tool.c_str(), "--script", (dir + "/script").c_str(), "--settings",
            (dir + "/adwelder.ini").c_str(), "--boards", "all", "--ads", "all", static_cast<char*>(nullptr));
    std::perror("exec adweld-run");
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const long long sent = server.Sent();
  const auto page = std::filesystem::file_size(dir + "/reports/Endless.htm");
  std::filesystem::remove_all(dir);
  std::printf("exit=%d page=%llu bytes\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
              static_cast<unsigned long long>(page));
  std::printf("peak=%ld MB sent=%lld MB goal=%ld MB\n", usage.ru_maxrss / 1024, sent >> 20, kGoalKb / 1024);
  return usage.ru_maxrss < kGoalKb ? 0 : 1;
}
