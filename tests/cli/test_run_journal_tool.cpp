// adweld-run with its run journal: the duplicate guard, changed ads, retry,
// a refused journal, and runs killed at random moments and then resumed.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/journal/run_journal.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"

namespace {

using adw::test::ToolRun;

// Answers every POST with 200 and keeps each body. It can kill a process
// with SIGKILL when its n-th request has arrived, before or after replying,
// so a run dies while requests are in flight.
class CountingServer {
 public:
  CountingServer() {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(m_fd, 64);
    socklen_t len = sizeof addr;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~CountingServer() {
    m_stop = true;
    ::shutdown(m_fd, SHUT_RDWR);
    ::close(m_fd);
    m_thread.join();
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }
  // Kill victim once request number n (from 1) has arrived.
  void KillAt(pid_t victim, int n, bool beforeReply) {
    std::lock_guard lock(m_mutex);
    m_victim = victim;
    m_killAt = m_bodies.size() + static_cast<std::size_t>(n);
    m_killBeforeReply = beforeReply;
  }
  std::vector<std::string> Bodies() const {
    std::lock_guard lock(m_mutex);
    return m_bodies;
  }
  void Clear() {
    std::lock_guard lock(m_mutex);
    m_bodies.clear();
  }

 private:
  void Serve() {
    while (!m_stop) {
      const int client = ::accept(m_fd, nullptr, nullptr);
      if (client < 0) continue;
      std::string request;
      char buffer[4096];
      std::size_t need = std::string::npos;
      while (need == std::string::npos || request.size() < need) {
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
        const std::size_t end = request.find("\r\n\r\n");
        if (need == std::string::npos && end != std::string::npos) {
          const std::size_t at = request.find("Content-Length: ");
          const std::size_t length = at == std::string::npos ? 0 : std::stoul(request.substr(at + 16));
          need = end + 4 + length;
        }
      }
      pid_t kill = 0;
      bool before = false;
      {
        std::lock_guard lock(m_mutex);
        if (need != std::string::npos && request.size() >= need) {
          m_bodies.push_back(request.substr(request.find("\r\n\r\n") + 4));
        }
        if (m_victim > 0 && m_bodies.size() == m_killAt) {
          kill = m_victim;
          before = m_killBeforeReply;
          m_victim = 0;
        }
      }
      if (kill && before) ::kill(kill, SIGKILL);
      const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
      ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(client);
      if (kill && !before) ::kill(kill, SIGKILL);
    }
  }

  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  mutable std::mutex m_mutex;
  std::vector<std::string> m_bodies;
  pid_t m_victim = 0;
  std::size_t m_killAt = 0;
  bool m_killBeforeReply = false;
  std::thread m_thread;
};

// Four boards on the counting server, three ads: twelve jobs whose bodies
// name their board and ad.
class RunJournalTool : public ::testing::Test {
 protected:
  RunJournalTool() {
    for (const char* board : {"B1", "B2", "B3", "B4"}) {
      std::string bytes = adw::engine::Tlzrw1::CompressBytes(std::string("[Project]\r\nNAME=") + board +
                                                             "\r\nSUBMIT=" + m_server.Url("/add") +
                                                             "\r\nSUBBODY=b=" + board + "&t=$TEXT\r\n");
      bytes.replace(0, 4, "ADWP");
      m_script.Write(std::string(board) + ".prj", bytes);
    }
    WriteAds("one", "two", "three");
    m_settings = m_io.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=10\r\n");
  }
  void WriteAds(const std::string& a, const std::string& b, const std::string& c) {
    using adw::platform::W;
    m_script.Write("base.dat", W("[A1]\r\nТекст$TEXT=") + a + W("\r\n[A2]\r\nТекст$TEXT=") + b +
                                   W("\r\n[A3]\r\nТекст$TEXT=") + c + "\r\n");
  }
  std::vector<std::string> PostArgs(std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"--script", m_script.Path(), "--settings",
                                     m_settings, "--boards",      "all"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
  }
  ToolRun Run(const std::vector<std::string>& args) { return adw::test::RunTool("adweld-run", args, m_io); }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  CountingServer m_server;
  adw::test::TempDir m_script;
  adw::test::TempDir m_io;
  std::string m_settings;
};

TEST_F(RunJournalTool, GuardSkipsRepeatsUntilForcedAndChangedAdsPostOnlyNewTexts) {
  ToolRun run = Run(PostArgs());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(m_server.Bodies().size(), 12u);
  EXPECT_TRUE(adw::platform::FileExists(m_io.File("adwelder.db")));

  m_server.Clear();
  run = Run(PostArgs());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(m_server.Bodies().empty());
  EXPECT_EQ(Count(run.out, "skipped\t"), 12) << run.out;
  EXPECT_NE(run.out.find("skipped\tB1\t" + m_server.Url("/add") + "\tad A1: posted on "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("not again within 7 days"), std::string::npos);
  EXPECT_NE(run.out.find("jobs=0 succeeded=0 failed=0 unconfirmed=0 skipped=12\n"), std::string::npos)
      << run.out;

  // 0 days turns the guard off.
  m_io.Write("off.ini", "[Save]\r\nRxSEdRepeatDays_Value=0\r\n");
  run =
      Run({"--script", m_script.Path(), "--settings", m_io.File("off.ini"), "--boards", "B1", "--ads", "A1"});
  EXPECT_EQ(m_server.Bodies().size(), 1u) << run.out;

  m_server.Clear();
  run = Run(PostArgs({"--ads", "A1", "--force"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(m_server.Bodies().size(), 4u);

  m_server.Clear();
  WriteAds("one", "TWO", "three");
  run = Run(PostArgs({"--ads", "changed"}));
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> bodies = m_server.Bodies();
  std::sort(bodies.begin(), bodies.end());
  EXPECT_EQ(bodies, (std::vector<std::string>{"b=B1&t=TWO", "b=B2&t=TWO", "b=B3&t=TWO", "b=B4&t=TWO"}));
  EXPECT_EQ(Count(run.out, "\tad A1: unchanged since"), 4) << run.out;
}

TEST_F(RunJournalTool, RetryPostsTheLastRunsFailuresWithoutNamingBoards) {
  // B4's server is gone for the first run.
  std::string bytes = adw::engine::Tlzrw1::CompressBytes(
      "[Project]\r\nNAME=B4\r\nSUBMIT=http://127.0.0.1:1/add\r\nSUBBODY=b=B4&t=$TEXT\r\n");
  bytes.replace(0, 4, "ADWP");
  m_script.Write("B4.prj", bytes);
  ToolRun run = Run(PostArgs());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(m_server.Bodies().size(), 9u);

  m_server.Clear();
  run = Run({"--settings", m_settings, "--retry", "failed"});
  EXPECT_EQ(Count(run.out, "failed\tB4\t"), 3) << run.out;
  EXPECT_EQ(Count(run.out, "ok\t"), 0);
  EXPECT_TRUE(m_server.Bodies().empty());
  EXPECT_NE(run.out.find("jobs=3 succeeded=0 failed=3 unconfirmed=0\n"), std::string::npos) << run.out;

  adw::engine::RunJournal journal(m_io.File("adwelder.db"));
  EXPECT_EQ(journal.LastRun()->kind, "retry");
  EXPECT_EQ(journal.LastRun()->failed, 3);

  run = Run({"--settings", m_settings, "--retry", "unconfirmed"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("no job to post again"), std::string::npos) << run.err;
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--settings", m_settings, "--retry", "ok"},
           {"--settings", m_settings, "--retry", "failed", "--boards", "all"},
           {"--settings", m_settings, "--resume", "--retry", "failed"}}) {
    EXPECT_EQ(Run(bad).status, 2) << testing::PrintToString(bad);
  }
}

TEST_F(RunJournalTool, UnusableJournalIsReportedAndKept) {
  const std::string garbage(8192, 'x');
  m_io.Write("adwelder.db", garbage);
  const ToolRun run = Run(PostArgs());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
  EXPECT_EQ(m_io.Read("adwelder.db"), garbage);
  EXPECT_TRUE(m_server.Bodies().empty());
}

// Runs killed with SIGKILL at random moments: when the k-th request has
// arrived, before or after it is answered; in some rounds the resume is
// killed too. After every kill the journal opens, --resume completes the
// run, and no board receives an ad twice; a job that may have arrived
// before a kill is held back as unconfirmed.
TEST_F(RunJournalTool, KilledRunsResumeWithoutPostingAnyPairTwice) {
  std::mt19937 random(20261210);
  const std::string tool = std::string(ADWELD_BIN_DIR) + "/adweld-run";
  // Starts adweld-run and has the server kill it at its n-th request;
  // true when it was killed (it may also have finished first).
  const auto runAndKill = [&](std::vector<std::string> args, int n) {
    args.insert(args.begin(), tool);
    const pid_t child = ::fork();
    if (child == 0) {
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      std::freopen("/dev/null", "w", stdout);
      ::execv(tool.c_str(), argv.data());
      ::_exit(127);
    }
    m_server.KillAt(child, n, random() % 2 == 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    m_server.KillAt(0, 0, false);
    return WIFSIGNALED(status);
  };
  const std::map<std::string, std::string> texts = {{"A1", "one"}, {"A2", "two"}, {"A3", "three"}};
  int kills = 0;
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    adw::test::TempDir io;
    const std::string settings = io.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=10\r\n");
    m_server.Clear();
    const bool killed = runAndKill({"--script", m_script.Path(), "--settings", settings, "--boards", "all",
                                    "--threads", std::to_string(3 + round % 8)},
                                   std::uniform_int_distribution<int>(1, 12)(random));
    kills += killed ? 1 : 0;
    {
      adw::engine::RunJournal journal(io.File("adwelder.db"));  // opens after any kill
      EXPECT_EQ(journal.InterruptedRun().has_value(), killed);
    }
    if (killed && round % 3 == 0) {
      kills += runAndKill({"--settings", settings, "--resume"}, 1) ? 1 : 0;
      adw::engine::RunJournal reopened(io.File("adwelder.db"));
    }
    const ToolRun resumed = adw::test::RunTool("adweld-run", {"--settings", settings, "--resume"}, io);
    EXPECT_EQ(resumed.status, 0) << resumed.err;

    std::map<std::string, int> received;
    for (const std::string& body : m_server.Bodies()) ++received[body];
    for (const auto& [body, times] : received) EXPECT_EQ(times, 1) << body;

    // Every pair arrived or is held back as one that may have arrived (its
    // request may also have died on the way), in the journal's own words.
    adw::engine::RunJournal journal(io.File("adwelder.db"));
    EXPECT_FALSE(journal.InterruptedRun());
    std::set<std::string> covered;
    for (const auto& [body, times] : received) covered.insert(body);
    int held = 0;
    for (const auto& job : journal.Jobs(journal.LastRun()->id)) {
      if (job.state == adw::engine::JobState::Unconfirmed) {
        ++held;
        covered.insert("b=" + job.board + "&t=" + texts.at(job.ad));
      } else {
        EXPECT_EQ(job.state, adw::engine::JobState::Ok) << job.board << " " << job.ad;
      }
    }
    EXPECT_EQ(covered.size(), 12u) << resumed.out;
    EXPECT_EQ(journal.LastRun()->ok + journal.LastRun()->unconfirmed, 12);
    EXPECT_EQ(journal.LastRun()->unconfirmed, held);
  }
  // The kills did happen: a run that slipped through now and then is fine.
  EXPECT_GE(kills, 50);
}

}  // namespace
