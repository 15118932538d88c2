// The page fetch client as the wizard drives it: events in their order on
// the main thread while a worker does the network work, the busy rule,
// Abort, and ending a fetch when the window goes.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/wizard/fetch/http_cli.h"
#include "fetch_test_support.h"
#include "platform/main_thread.h"
#include "support/http_peers.h"

namespace adw::engine {
namespace {

using fetchtest::EventLog;
using fetchtest::Outcome;
using fetchtest::OutcomeOf;
using fetchtest::RunGet;
using test::RawServer;
using ::testing::ElementsAre;

// Answers one request with a reply in pieces; a piece goes out only once
// the test has released it, so the client reads every piece on its own.
class PacedServer {
 public:
  explicit PacedServer(std::vector<std::string> pieces) : m_pieces(std::move(pieces)) {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listenFd, 4) != 0 ||
        ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      throw test::PeerError("paced server: cannot listen");
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
  }
  ~PacedServer() {
    Release(m_pieces.size());
    ::shutdown(m_listenFd, SHUT_RDWR);  // wakes an accept that never got a client
    m_thread.join();
    ::close(m_listenFd);
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }
  // Pieces [0, count) may go out.
  void Release(std::size_t count) {
    {
      std::lock_guard lock(m_mutex);
      m_released = std::max(m_released, count);
    }
    m_changed.notify_all();
  }

 private:
  void Run() {
    int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    for (std::size_t k = 0; k < m_pieces.size(); ++k) {
      {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_released > k; });
      }
      ::send(fd, m_pieces[k].data(), m_pieces[k].size(), MSG_NOSIGNAL);
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
  }

  std::vector<std::string> m_pieces;
  int m_listenFd = -1;
  int m_port = 0;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::size_t m_released = 1;
  std::thread m_thread;
};

// Runs the queued hand-overs until the fetch has completed (a guard of a
// minute keeps a broken fetch from holding the test program forever).
void ServeUntil(platform::QueueMainThread& main, const bool& done) {
  for (int i = 0; i < 600 && !done; ++i) main.WaitAndRun(100);
  ASSERT_TRUE(done) << "the fetch never completed";
}

const std::vector<std::string> kThreePieces = {"HTTP/1.0 200 OK\r\n\r\nfirst", "second!", "third"};

TEST(HttpCliEventsTest, ABodyInThreeChunksRaisesThreeDataEventsThenOneEnd) {
  for (bool async : {false, true}) {
    SCOPED_TRACE(async ? "GetAsync" : "Get");
    PacedServer server(kThreePieces);
    platform::QueueMainThread main;
    THttpCli client;
    std::string body;
    client.ReplyStream = &body;
    client.URL = server.Url("/page");
    EventLog log;
    log.Attach(client);
    std::vector<std::thread::id> eventThreads;
    int chunks = 0;
    client.OnDocData = [&, record = client.OnDocData](THttpCli& sender, const char* data,
                                                      std::size_t length) {
      record(sender, data, length);
      eventThreads.push_back(std::this_thread::get_id());
      server.Release(static_cast<std::size_t>(++chunks) + 1);
    };

    Outcome outcome;
    if (async) {
      bool done = false;
      client.GetAsync(main, [&](THttpCli&, const HttpCliError* failure) {
        outcome = OutcomeOf(failure);
        eventThreads.push_back(std::this_thread::get_id());
        done = true;
      });
      ServeUntil(main, done);
    } else {
      outcome = RunGet(client);
    }
    EXPECT_TRUE(outcome.ok) << outcome.text;
    EXPECT_EQ(body, "firstsecond!third");
    EXPECT_THAT(log.events,
                ElementsAre("header HTTP/1.0 200 OK", "begin", "data 5 5", "data 7 12", "data 5 17", "end"));
    for (std::thread::id id : eventThreads) EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_FALSE(client.Busy());
  }
}

TEST(HttpCliAsyncTest, ASecondGetWhileOneRunsFailsAsBusyAndLeavesTheFirstAlone) {
  RawServer server(RawServer::Mode::NeverAnswer);
  platform::QueueMainThread main;
  THttpCli client;
  client.URL = server.Url("/first");
  bool done = false;
  Outcome first;
  client.GetAsync(main, [&](THttpCli&, const HttpCliError* failure) {
    first = OutcomeOf(failure);
    done = true;
  });
  server.WaitForConnections(1);

  client.URL = "http://127.0.0.1:1/second";
  Outcome second = RunGet(client);
  EXPECT_EQ(second.text, kHttpCliBusy);
  EXPECT_EQ(second.code, kHttpCliErrBusy);
  try {
    client.GetAsync(main,
                    [](THttpCli&, const HttpCliError*) { ADD_FAILURE() << "a refused fetch completed"; });
    ADD_FAILURE() << "GetAsync accepted a second fetch";
  } catch (const HttpCliError& e) {
    EXPECT_EQ(e.Code(), kHttpCliErrBusy);
  }
  EXPECT_TRUE(client.Busy());
  EXPECT_EQ(client.ReplyReason(), "");  // the refusal did not touch the running fetch

  client.Abort();
  ServeUntil(main, done);
  EXPECT_EQ(first.text, kHttpCliAborted);
  EXPECT_EQ(first.code, kHttpCliErrAborted);
  EXPECT_FALSE(client.Busy());
}

TEST(HttpCliAsyncTest, AbortDuringTheBodyEndsTheFetchWithWhatArrived) {
  RawServer server(RawServer::Mode::ReplyAndHold, {"HTTP/1.0 200 OK\r\n\r\npartial"});
  THttpCli client;
  std::string body;
  client.ReplyStream = &body;
  client.URL = server.Url("/");
  EventLog log;
  log.Attach(client);
  client.OnDocData = [&, record = client.OnDocData](THttpCli& sender, const char* data, std::size_t length) {
    record(sender, data, length);
    sender.Abort();
  };
  Outcome outcome = RunGet(client);
  EXPECT_EQ(outcome.code, kHttpCliErrAborted);
  EXPECT_EQ(body, "partial");
  // The end of the body is still announced, so a progress display is cleared.
  EXPECT_EQ(log.events.back(), "end");
}

TEST(HttpCliAsyncTest, TheCompletionMayStartTheNextFetch) {
  RawServer server(RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\none", "HTTP/1.0 200 OK\r\n\r\ntwo"});
  platform::QueueMainThread main;
  THttpCli client;
  std::string body;
  client.ReplyStream = &body;
  client.URL = server.Url("/");
  std::vector<std::string> bodies;
  bool done = false;
  client.GetAsync(main, [&](THttpCli& sender, const HttpCliError* failure) {
    ASSERT_EQ(failure, nullptr);
    bodies.push_back(body);
    body.clear();
    sender.GetAsync(main, [&](THttpCli&, const HttpCliError* again) {
      EXPECT_EQ(again, nullptr);
      bodies.push_back(body);
      done = true;
    });
  });
  ServeUntil(main, done);
  EXPECT_THAT(bodies, ElementsAre("one", "two"));
}

TEST(HttpCliAsyncTest, ShutdownDropsTheRunningFetchWithoutItsEvents) {
  RawServer holding(RawServer::Mode::ReplyAndHold, {"HTTP/1.0 200 OK\r\n\r\nbody"});
  platform::QueueMainThread main;
  THttpCli client;
  client.URL = holding.Url("/");
  EventLog log;
  log.Attach(client);
  bool completed = false;
  client.GetAsync(main, [&](THttpCli&, const HttpCliError*) { completed = true; });
  holding.WaitForConnections(1);
  client.Shutdown();  // the worker may be waiting in a hand-over: none runs
  EXPECT_TRUE(log.events.empty());
  EXPECT_FALSE(completed);
  EXPECT_FALSE(client.Busy());

  RawServer good(RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nok"});
  client.URL = good.Url("/");
  EXPECT_TRUE(RunGet(client).ok);

  // A client destroyed during a fetch ends it the same way.
  RawServer silent(RawServer::Mode::NeverAnswer);
  {
    THttpCli doomed;
    doomed.URL = silent.Url("/");
    doomed.GetAsync(main, [&](THttpCli&, const HttpCliError*) { completed = true; });
    silent.WaitForConnections(1);
  }
  EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace adw::engine
