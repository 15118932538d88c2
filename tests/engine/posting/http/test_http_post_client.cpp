#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "engine/posting/http/http_post_client.h"
#include "engine/posting/http/socket_errors.h"
#include "support/http_peers.h"

namespace adw::engine {
namespace {

using test::RawServer;
using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* const kAccept =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
const char* const kFormType = "Content-type: application/x-www-form-urlencoded\r\n";

// Post, and the failure text when it fails ("" when it returns).
std::string PostError(HttpPostClient& client, const std::string& url, const std::string& data) {
  try {
    client.Post(url, data);
  } catch (const HttpPostError& e) {
    return e.what();
  }
  return {};
}

HttpPostClient& Prepared(HttpPostClient& client) {
  client.SetBody(kErrorRetrievingPage);
  return client;
}

// ---------------------------------------------------------------------------
// URL rules and status line

struct UrlCase {
  const char* url;
  const char* previousHost;
  int previousPort;
  const char* host;
  int port;
  const char* target;
  const char* fullUrl;
};

TEST(ParsePostUrlTest, FollowsTheUrlRules) {
  const UrlCase cases[] = {
      {"http://board.example/add.cgi?x=1", "", 0, "board.example", 80, "/add.cgi?x=1",
       "http://board.example/add.cgi?x=1"},
      {"http://board.example", "", 0, "board.example", 80, "/", "http://board.example/"},
      {"http://board.example:8080/a", "", 0, "board.example", 8080, "/a", "http://board.example:8080/a"},
      {"HTTP://board.example/", "", 0, "board.example", 80, "/", "HTTP://board.example/"},
      {"ftp://files.example/x", "", 0, "files.example", 21, "/x", "ftp://files.example/x"},
      {"Gopher://hole.example/x", "", 0, "hole.example", 70, "/x", "Gopher://hole.example/x"},
      {"board.example/a/b", "", 0, "board.example", 80, "/a/b", "board.example/a/b"},
      {"board.example/a", "old", 8080, "board.example", 8080, "/a", "board.example/a"},
      {"board.example:81/x", "", 0, "board.example", 81, "/x", "board.example:81/x"},
      {"/next?a=1", "old.example", 8080, "old.example", 8080, "/next?a=1", "/next?a=1"},
      {"/next", "old.example", 0, "old.example", 80, "/next", "/next"},
      {"/next?at=12:30", "old.example", 8080, "old.example", 8080, "/next?at=12:30", "/next?at=12:30"},
  };
  for (const UrlCase& c : cases) {
    SCOPED_TRACE(c.url);
    PostUrl parts = ParsePostUrl(c.url, c.previousHost, c.previousPort);
    EXPECT_EQ(parts.host, c.host);
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.target, c.target);
    EXPECT_EQ(parts.url, c.fullUrl);
  }
}

TEST(ParsePostUrlTest, CutsTheTargetAt256Characters) {
  std::string path = "/" + std::string(400, 'p');
  PostUrl parts = ParsePostUrl("http://h" + path, "", 0);
  EXPECT_EQ(parts.target, path.substr(0, 256));
}

TEST(ParsePostUrlTest, RejectsEmptyUrlAndBadPort) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "Empty URL"},
      {"http://h:8x/", "Invalid port number in URL: 8x"},
      {"http://h:/", "Invalid port number in URL: "},
      {"http://h:70000/", "Invalid port number in URL: 70000"},
  };
  for (const auto& [url, message] : cases) {
    SCOPED_TRACE(url);
    try {
      ParsePostUrl(url, "", 0);
      ADD_FAILURE() << "no error";
    } catch (const HttpPostError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

TEST(ParseStatusNumberTest, TakesTheSecondFieldWhenItIsANumber) {
  const std::pair<const char*, int> cases[] = {
      {"HTTP/1.0 200 OK\r\n", 200},
      {"HTTP/1.1 404 Not Found\n", 404},
      {"HTTP/1.1 302\r\n", 0},
      {"HTTP/1.0  200 OK\r\n", 0},
      {"garbage\n", 0},
      {"HTTP/1.0 abc OK\r\n", 0},
      {"HTTP/1.0 99999 Huge\r\n", 0},
      {"HTTP/1.0 302 Found\r\n", 302},
  };
  for (const auto& [line, status] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(ParseStatusNumber(line), status);
  }
}

TEST(SocketErrorTextTest, NamesTableNumbersAndNumbersOthers) {
  EXPECT_EQ(SocketErrorText(10061), "10061:Connection refused");
  EXPECT_EQ(SocketErrorText(11001), "11001:Host not found");
  EXPECT_EQ(SocketErrorText(10100), "Unknown Error No. 10100");
  EXPECT_EQ(WsaCodeFromErrno(ECONNRESET), 10054);
}

// ---------------------------------------------------------------------------
// The request on the wire, against a server that records it

TEST(HttpPostClientWireTest, SendsTheRequestLinesInOrderAndTheBodyAsBuilt) {
  RawServer server(RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\nServer: t\r\n\r\nhello\r\nworld"});
  HttpPostClient client;
  Prepared(client).HeaderInfo().Referer = "http://board.example/page.html";
  // The body goes out exactly as built: no "+" or "%20" is decoded.
  const std::string body = "name=Ivan&text=a+b%20c&p=100%";
  client.Post(server.Url("/cgi/add.cgi?r=1"), body);

  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            "POST /cgi/add.cgi?r=1 HTTP/1.0\r\n"
            "Host: 127.0.0.1\r\n" +
                std::string(kAccept) + "Referer: http://board.example/page.html\r\n" + kFormType +
                "Content-Length: 29\r\n"
                "\r\n" +
                body);
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.Header(), "HTTP/1.0 200 OK\r\nServer: t\r\n\r\n");
  EXPECT_EQ(client.Body(), "hello\r\nworld");
  EXPECT_EQ(client.Host(), "127.0.0.1");
  EXPECT_EQ(client.Port(), server.Port());
  EXPECT_EQ(client.LastSocketError(), 0);
  EXPECT_EQ(client.ReplyText(), "");
}

TEST(HttpPostClientWireTest, ThroughAProxySendsTheWholeUrlToTheProxy) {
  RawServer proxy(RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\n"});
  HttpPostClient client;
  Prepared(client).SetProxy("127.0.0.1");
  client.SetProxyPort(proxy.Port());
  // The board's host is never looked up: only the proxy is contacted.
  client.Post("http://board.invalid:8080", "a=1");

  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0],
            "POST http://board.invalid:8080/ HTTP/1.0\r\n"
            "Proxy-Connection: Keep-Alive\r\n"
            "Host: board.invalid\r\n" +
                std::string(kAccept) + kFormType +
                "Content-Length: 3\r\n"
                "\r\n"
                "a=1");
}

TEST(HttpPostClientWireTest, SendsCyrillicBytesUnchanged) {
  RawServer server(RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\n"});
  HttpPostClient client;
  // "text=Привет" in KOI8-R, with a byte that looks like a percent escape.
  const std::string body = "text=\xF0\xD2\xC9\xD7\xC5\xD4&x=%D0";
  client.Post(server.Url("/"), body);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_THAT(server.Requests()[0], HasSubstr("Content-Length: 17\r\n\r\n" + body));
}

TEST(HttpPostClientWireTest, SendsLongBodiesWhole) {
  RawServer server(RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nok"});
  HttpPostClient client;
  std::string body = "text=";
  for (int i = 0; body.size() < 300000; ++i) body += static_cast<char>('a' + i % 26);
  client.Post(server.Url("/"), body);
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_THAT(request, HasSubstr("Content-Length: " + std::to_string(body.size()) + "\r\n"));
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), body);
  EXPECT_EQ(client.Body(), "ok");
}

TEST(HttpPostClientWireTest, FollowsARedirectWithGetAndTheCookie) {
  RawServer server(RawServer::Mode::Reply,
                   {"HTTP/1.0 302 Found\r\nset-cookie: sid=42; path=/\r\nlocation: /done?x=1\r\n\r\nmoved",
                    "HTTP/1.0 200 OK\r\n\r\nfinal"});
  HttpPostClient client;
  Prepared(client).HeaderInfo().Referer = "R";
  client.Post(server.Url("/add"), "a=1");

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_THAT(requests[0], StartsWith("POST /add HTTP/1.0\r\n"));
  EXPECT_EQ(requests[1],
            "GET /done?x=1 HTTP/1.0\r\n"
            "Host: 127.0.0.1\r\n" +
                std::string(kAccept) +
                "Cookie: sid=42; path=/\r\n"
                "Referer: R\r\n" +
                kFormType + "\r\n");
  EXPECT_EQ(client.HeaderInfo().Cookie, "sid=42; path=/");
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.Header(), "HTTP/1.0 200 OK\r\n\r\n");
  EXPECT_EQ(client.Body(), "final");
}

TEST(HttpPostClientWireTest, EndsNormallyOnAStatusLineWithoutNumber) {
  // "302" followed directly by the line end is not a number: status 0.
  RawServer server(RawServer::Mode::Reply, {"HTTP/1.1 302\r\nLocation: /x\r\n\r\nbody"});
  HttpPostClient client;
  client.Post(server.Url("/"), "a=1");
  EXPECT_EQ(client.StatusCode(), 0);
  EXPECT_EQ(client.Body(), "body");
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(HttpPostClientWireTest, ABareLocationNameStaysOnTheHost) {
  RawServer server(RawServer::Mode::Reply,
                   {"HTTP/1.0 301 Moved\r\nLocation: page.html\r\n\r\n", "HTTP/1.0 200 OK\r\n\r\n"});
  HttpPostClient client;
  client.Post("http://localhost:" + std::to_string(server.Port()) + "/", "a=1");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_THAT(requests[1], StartsWith("GET /page.html HTTP/1.0\r\nHost: localhost\r\n"));
}

TEST(HttpPostClientWireTest, FailsARedirectLoopAfter20Rounds) {
  RawServer server(RawServer::Mode::Reply, {"HTTP/1.0 302 Found\r\nLocation: /loop\r\n\r\n"});
  HttpPostClient client;
  EXPECT_EQ(PostError(Prepared(client), server.Url("/loop"), "a=1"), kErrTooManyRedirects);
  EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(kMaxRounds));
}

// ---------------------------------------------------------------------------
// Failures

TEST(HttpPostClientFailureTest, AServerThatClosesEndsPostWithAnError) {
  struct Case {
    const char* name;
    RawServer::Mode mode;
    std::string reply;
  };
  const Case cases[] = {
      {"reset at once", RawServer::Mode::CloseAtOnce, ""},
      {"reset after the request began", RawServer::Mode::ResetWhileReceiving, ""},
      {"closed without a reply", RawServer::Mode::Reply, ""},
      {"closed inside the status line", RawServer::Mode::Reply, "HTTP/1.0 200"},
      {"closed inside the header", RawServer::Mode::Reply, "HTTP/1.0 200 OK\r\nContent-Le"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RawServer server(c.mode, {c.reply});
    HttpPostClient client;
    std::string error = PostError(Prepared(client), server.Url("/"), "a=1");
    // A reset may even beat the end of the connect on a loaded machine.
    EXPECT_THAT(error, AnyOf(kErrConnectionClosed, "10054:Connection reset by peer", kErrConnectionFailed));
    EXPECT_EQ(client.Body(), kErrorRetrievingPage);
  }
}

TEST(HttpPostClientFailureTest, ASendThatFailsEndsPost) {
  RawServer server(RawServer::Mode::ResetWhileReceiving);
  HttpPostClient client;
  std::string body(8 * 1024 * 1024, 'x');
  std::string error = PostError(Prepared(client), server.Url("/"), body);
  EXPECT_EQ(error, "10054:Connection reset by peer");
  EXPECT_EQ(client.LastSocketError(), 10054);
  EXPECT_EQ(client.Body(), kErrorRetrievingPage);
}

TEST(HttpPostClientFailureTest, ARefusedConnectionFails) {
  int port = test::FreeLoopbackPort();
  HttpPostClient client;
  client.SetTimeOut(2000);
  EXPECT_EQ(PostError(Prepared(client), "http://127.0.0.1:" + std::to_string(port) + "/", "a=1"),
            kErrConnectionFailed);
  EXPECT_EQ(client.LastSocketError(), 10061);
}

TEST(HttpPostClientFailureTest, AnEmptyUrlFails) {
  HttpPostClient client;
  EXPECT_EQ(PostError(Prepared(client), "", "a=1"), kErrEmptyUrl);
  EXPECT_EQ(client.Body(), kErrorRetrievingPage);
}

TEST(HttpPostClientFailureTest, AServerThatNeverAnswersFailsAtTheTimeLimit) {
  RawServer server(RawServer::Mode::NeverAnswer);
  HttpPostClient client;
  Prepared(client).SetTimeOut(1000);
  client.SetAbortAfter(300);
  EXPECT_EQ(PostError(client, server.Url("/"), "a=1"), kErrReadlnAborted);
  EXPECT_EQ(client.Body(), kErrorRetrievingPage);
}

TEST(HttpPostClientFailureTest, AbortFromAnotherThreadEndsAWaitingPost) {
  RawServer server(RawServer::Mode::NeverAnswer);
  HttpPostClient client;
  std::thread aborter([&] {
    server.WaitForConnections(1);
    client.Abort();
  });
  std::string error = PostError(Prepared(client), server.Url("/"), "a=1");
  aborter.join();
  EXPECT_THAT(error, AnyOf(kErrReadlnAborted, kErrSendAborted, kErrConnectionCanceled));
  EXPECT_EQ(client.Body(), kErrorRetrievingPage);
}

TEST(HttpPostClientFailureTest, AbortDuringTheBodyKeepsWhatArrived) {
  RawServer server(RawServer::Mode::ReplyAndHold, {"HTTP/1.0 200 OK\r\n\r\npart of the page"});
  HttpPostClient client;
  Prepared(client).SetAbortAfter(1000);
  EXPECT_EQ(PostError(client, server.Url("/"), "a=1"), kErrCaptureAborted);
  EXPECT_EQ(client.Body(), "part of the page");
  EXPECT_EQ(client.StatusCode(), 200);
}

}  // namespace
}  // namespace adw::engine
