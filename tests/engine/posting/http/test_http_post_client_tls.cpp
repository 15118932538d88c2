// The posting client over https and under hostile replies: a real TLS
// server (Python's ssl module) with certificates made by the test, httpbin
// and tinyproxy for redirects and the CONNECT tunnel, and local servers
// that flood the client with an endless body or header.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "engine/posting/http/http_post_client.h"
#include "support/http_peers.h"
#include "support/tls_peers.h"

namespace adw::engine {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Kind = test::TestCertificates::Kind;

class PostTlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      s_certs = std::make_unique<test::TestCertificates>();
      for (Kind kind : {Kind::Good, Kind::SelfSigned, Kind::Expired, Kind::WrongHost}) {
        s_servers[static_cast<int>(kind)] = std::make_unique<test::TlsServer>(*s_certs, kind);
      }
    } catch (const std::exception& e) {
      s_startError = e.what();
    }
  }
  static void TearDownTestSuite() {
    for (auto& server : s_servers) server.reset();
    s_certs.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(s_startError.empty()) << s_startError;
    m_client.SetBody(kErrorRetrievingPage);
  }
  static test::TlsServer& Server(Kind kind) { return *s_servers[static_cast<int>(kind)]; }

  // The failure text of a Post, or "" when it returned.
  std::string PostFailure(const std::string& url, const std::string& data = "a=1") {
    try {
      m_client.Post(url, data);
      return "";
    } catch (const HttpPostError& e) {
      return e.what();
    }
  }

  HttpPostClient m_client;
  static inline std::unique_ptr<test::TestCertificates> s_certs;
  static inline std::unique_ptr<test::TlsServer> s_servers[4];
  static inline std::string s_startError;
};

TEST_F(PostTlsTest, PostsOverTlsWithServerNameAndDefaultPort) {
  m_client.SetCAFile(s_certs->CaFile());
  m_client.Post(Server(Kind::Good).Url("/add?x=1"), "name=Ivan+P");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_EQ(m_client.Body(), "<html>secure POST /add?x=1 sni=localhost body=name=Ivan+P</html>");

  // An address in the URL is checked against the certificate's addresses
  // and sends no server name.
  const std::string byAddress = "https://127.0.0.1:" + std::to_string(Server(Kind::Good).Port()) + "/a";
  m_client.Post(byAddress, "b=2");
  EXPECT_EQ(m_client.Body(), "<html>secure POST /a sni= body=b=2</html>");

  PostUrl parts = ParsePostUrl("https://secure.example/add", "", 0);
  EXPECT_TRUE(parts.tls);
  EXPECT_EQ(parts.port, 443);
  EXPECT_TRUE(ParsePostUrl("/next", "secure.example", 443, true).tls);
}

// The next connection to the same board resumes the session the server
// handed out; a server that hangs up while a large body is sent fails the
// job.
TEST_F(PostTlsTest, ResumesSessionsAndSurvivesAPeerThatHangsUp) {
  m_client.SetCAFile(s_certs->CaFile());
  m_client.Post(Server(Kind::Good).Url("/session"), "a=1");
  m_client.Post(Server(Kind::Good).Url("/session"), "a=1");
  EXPECT_EQ(m_client.Body(), "resumed=True");

  const std::string large(16 << 20, 'x');
  EXPECT_NE(PostFailure(Server(Kind::Good).Url("/hangup"), large), "");
}

TEST_F(PostTlsTest, CertificateFailuresSayWhy) {
  struct Case {
    Kind kind;
    bool withCaFile;
    std::string failure;
  } cases[] = {
      {Kind::Good, false, "TLS: certificate verify failed: unable to get local issuer certificate"},
      {Kind::SelfSigned, true, "TLS: certificate verify failed: self-signed certificate"},
      {Kind::Expired, true, "TLS: certificate verify failed: certificate has expired"},
      {Kind::WrongHost, true, "TLS: host name mismatch"},
  };
  for (const Case& c : cases) {
    HttpPostClient client;
    client.SetBody(kErrorRetrievingPage);
    if (c.withCaFile) client.SetCAFile(s_certs->CaFile());
    std::string failure;
    try {
      client.Post(Server(c.kind).Url("/add"), "a=1");
    } catch (const HttpPostError& e) {
      failure = e.what();
    }
    EXPECT_EQ(failure, c.failure) << static_cast<int>(c.kind);
    EXPECT_EQ(client.Body(), kErrorRetrievingPage);
  }
  // A server that speaks nothing newer than TLS 1.1 is refused.
  test::TlsServer old(*s_certs, Kind::Good, /*oldProtocolsOnly=*/true);
  m_client.SetCAFile(s_certs->CaFile());
  EXPECT_THAT(PostFailure(old.Url("/add")), StartsWith("TLS: handshake failed: "));

  // A CA file that is not there fails every https job and says so.
  m_client.SetCAFile("/nonexistent/ca.pem");
  EXPECT_THAT(PostFailure(Server(Kind::Good).Url("/add")),
              StartsWith("TLS: cannot use CA file /nonexistent/ca.pem"));
}

TEST_F(PostTlsTest, HandshakeThatStallsOrBreaksEndsTheJob) {
  // A peer that accepts and never answers the ClientHello: the connect
  // time-out and the worker's abort both reach into the handshake.
  test::RawServer silent(test::RawServer::Mode::NeverAnswer);
  const std::string url = "https://127.0.0.1:" + std::to_string(silent.Port()) + "/add";
  m_client.SetTimeOut(300);
  EXPECT_EQ(PostFailure(url), "TLS: handshake timed out");
  m_client.SetTimeOut(0);
  m_client.SetAbortAfter(300);
  EXPECT_EQ(PostFailure(url), kErrConnectionCanceled);

  // After the handshake the abort still reaches every TLS read.
  m_client.SetCAFile(s_certs->CaFile());
  EXPECT_EQ(PostFailure(Server(Kind::Good).Url("/stall")), kErrReadlnAborted);

  // A peer that closes once the ClientHello arrives.
  test::RawServer closing(test::RawServer::Mode::ResetWhileReceiving);
  m_client.SetAbortAfter(5000);
  EXPECT_EQ(PostFailure("https://127.0.0.1:" + std::to_string(closing.Port()) + "/add"),
            "TLS: connection closed during handshake");
}

TEST_F(PostTlsTest, RedirectsCrossBetweenHttpAndHttps) {
  test::HttpbinServer httpbin;
  m_client.SetCAFile(s_certs->CaFile());
  // http (httpbin) -> https (our server) -> http (httpbin's echo).
  const std::string back = httpbin.Url("/get?leg=3");
  const std::string https = Server(Kind::Good).Url("/redirect?to=" + back);
  m_client.Post(httpbin.Url("/redirect-to?url=" + https), "a=1");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_EQ(test::JsonString(m_client.Body(), {"args", "leg"}), "3");
  EXPECT_EQ(m_client.Host(), "127.0.0.1");
}

TEST_F(PostTlsTest, HttpsThroughTheProxyGoesThroughATunnel) {
  test::TinyproxyServer proxy({Server(Kind::Good).Port()});
  m_client.SetCAFile(s_certs->CaFile());
  m_client.SetProxy("127.0.0.1");
  m_client.SetProxyPort(proxy.Port());
  m_client.Post(Server(Kind::Good).Url("/add"), "a=1");
  // Inside the tunnel the request is the direct one: origin-form target.
  EXPECT_EQ(m_client.Body(), "<html>secure POST /add sni=localhost body=a=1</html>");
  EXPECT_THAT(proxy.Log(), HasSubstr("CONNECT"));

  // A tunnel the proxy refuses fails with the proxy's answer.
  test::TinyproxyServer strict;
  m_client.SetProxyPort(strict.Port());
  EXPECT_THAT(PostFailure(Server(Kind::Good).Url("/add")), StartsWith("Proxy tunnel refused: HTTP/1.0 403"));
}

// ---------------------------------------------------------------------------
// Limits on what a peer sends.

TEST(PostReplyLimits, EndlessOrOversizedHeaderFailsWithSmallMemory) {
  for (auto mode :
       {test::FloodServer::Mode::EndlessHeaderLines, test::FloodServer::Mode::EndlessHeaderLine}) {
    test::FloodServer server(mode);
    HttpPostClient client;
    client.SetAbortAfter(20000);
    test::ResetPeakMemory();
    const std::size_t before = test::PeakMemoryBytes();
    std::string failure;
    try {
      client.Post(server.Url("/add"), "a=1");
    } catch (const HttpPostError& e) {
      failure = e.what();
    }
    EXPECT_EQ(failure, kErrHeaderTooLarge);
    EXPECT_LT(test::PeakMemoryBytes() - before, test::MemoryBound(4u << 20));
  }
  // Exactly 64 KiB of header is a reply; one byte more is not.
  test::RawServer fits(test::RawServer::Mode::Reply, {test::ReplyWithHeaderBytes(64 * 1024)});
  HttpPostClient client;
  client.Post(fits.Url("/add"), "a=1");
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_EQ(client.Body(), "ok");
  test::RawServer over(test::RawServer::Mode::Reply, {test::ReplyWithHeaderBytes(64 * 1024 + 1)});
  EXPECT_THROW(client.Post(over.Url("/add"), "a=1"), HttpPostError);
}

TEST(PostReplyLimits, BodyIsKeptUpToItsLimitAndTheRestDropped) {
  struct Case {
    std::size_t bytes;
    bool cut;
  } cases[] = {{kMaxPostingBodyBytes, false}, {kMaxPostingBodyBytes + 1, true}};
  for (const Case& c : cases) {
    test::RawServer server(test::RawServer::Mode::Reply, {test::ReplyWithBody(c.bytes)});
    HttpPostClient client;
    client.Post(server.Url("/add"), "a=1");
    EXPECT_EQ(client.Body().size(), kMaxPostingBodyBytes);
    EXPECT_EQ(client.BodyCut(), c.cut);
  }

  // An endless body: kept to the limit, then read and dropped until the
  // worker's time-out, which ends the job as the reply it is.
  test::FloodServer endless(test::FloodServer::Mode::EndlessBody);
  HttpPostClient client;
  client.SetAbortAfter(1500);
  test::ResetPeakMemory();
  const std::size_t before = test::PeakMemoryBytes();
  client.Post(endless.Url("/add"), "a=1");
  EXPECT_EQ(client.StatusCode(), 200);
  EXPECT_TRUE(client.BodyCut());
  EXPECT_EQ(client.Body().size(), kMaxPostingBodyBytes);
  // The kept body and its string's spare room; nothing grows with the flood.
  EXPECT_LT(test::PeakMemoryBytes() - before, test::MemoryBound(3 * kMaxPostingBodyBytes));
  const std::string body = client.TakeBody();
  EXPECT_EQ(body.size(), kMaxPostingBodyBytes);
  EXPECT_TRUE(client.Body().empty());
}

TEST(PostRequestTarget, BytesThatCannotStandInATargetAreEncoded) {
  test::RawServer server(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nok"});
  HttpPostClient client;
  client.Post(server.Url("/add form\tX-Inj: 1?q=\xE4 \"x\"#frag"), "a=1");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_THAT(requests[0], StartsWith("POST /add%20form%09X-Inj:%201?q=%E4%20%22x%22 HTTP/1.0\r\n"));
}

}  // namespace
}  // namespace adw::engine
