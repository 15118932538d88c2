// The page fetch over https and under hostile replies: a real TLS server
// with certificates made by the test, httpbin and tinyproxy, and local
// servers that flood the client.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "engine/wizard/fetch/http_cli.h"
#include "fetch_test_support.h"
#include "support/http_peers.h"
#include "support/tls_peers.h"

namespace adw::engine {
namespace {

using fetchtest::Outcome;
using fetchtest::RunGet;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Kind = test::TestCertificates::Kind;

class FetchTlsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      s_certs = std::make_unique<test::TestCertificates>();
      s_good = std::make_unique<test::TlsServer>(*s_certs, Kind::Good);
      s_wrong = std::make_unique<test::TlsServer>(*s_certs, Kind::WrongHost);
    } catch (const std::exception& e) {
      s_startError = e.what();
    }
  }
  static void TearDownTestSuite() {
    s_good.reset();
    s_wrong.reset();
    s_certs.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(s_startError.empty()) << s_startError;
    m_client.ReplyStream = &m_page;
    m_client.TimeOut = 10000;
  }

  THttpCli m_client;
  std::string m_page;
  static inline std::unique_ptr<test::TestCertificates> s_certs;
  static inline std::unique_ptr<test::TlsServer> s_good;
  static inline std::unique_ptr<test::TlsServer> s_wrong;
  static inline std::string s_startError;
};

TEST_F(FetchTlsTest, FetchesOverTlsOnlyWithATrustedCertificate) {
  // Before: "https://" was fetched as plain HTTP on port 80.
  m_client.URL = s_good->Url("/form.html");
  Outcome untrusted = RunGet(m_client);
  EXPECT_FALSE(untrusted.ok);
  EXPECT_EQ(untrusted.text, "TLS: certificate verify failed: unable to get local issuer certificate");
  EXPECT_EQ(untrusted.code, 404);
  EXPECT_EQ(m_client.ReplyReason(), untrusted.text);

  m_client.CAFile = s_certs->CaFile();
  m_page.clear();
  Outcome trusted = RunGet(m_client);
  ASSERT_TRUE(trusted.ok) << trusted.text;
  EXPECT_EQ(m_page, "<html>secure GET /form.html sni=localhost body=</html>");

  m_client.URL = s_wrong->Url("/");
  EXPECT_EQ(RunGet(m_client).text, "TLS: host name mismatch");
}

TEST_F(FetchTlsTest, RelocationsCrossBetweenHttpAndHttps) {
  test::HttpbinServer httpbin;
  m_client.CAFile = s_certs->CaFile();
  const std::string https = s_good->Url("/redirect?to=" + httpbin.Url("/get?leg=3"));
  m_client.URL = httpbin.Url("/redirect-to?url=" + https);
  Outcome got = RunGet(m_client);
  ASSERT_TRUE(got.ok) << got.text;
  EXPECT_EQ(test::JsonString(m_page, {"args", "leg"}), "3");
}

TEST_F(FetchTlsTest, HttpsThroughTheProxyGoesThroughATunnel) {
  test::TinyproxyServer proxy({s_good->Port()});
  m_client.CAFile = s_certs->CaFile();
  m_client.Proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  m_client.URL = s_good->Url("/page");
  Outcome got = RunGet(m_client);
  ASSERT_TRUE(got.ok) << got.text;
  EXPECT_EQ(m_page, "<html>secure GET /page sni=localhost body=</html>");
  EXPECT_THAT(proxy.Log(), HasSubstr("CONNECT"));

  // Without a port, https asks the proxy for port 443.
  test::RawServer fakeProxy(test::RawServer::Mode::Reply, {"HTTP/1.0 403 Forbidden\r\n\r\n"});
  m_client.Proxy = "127.0.0.1:" + std::to_string(fakeProxy.Port());
  m_client.URL = "https://secure.example/";
  EXPECT_EQ(RunGet(m_client).text, "Proxy tunnel refused: HTTP/1.0 403 Forbidden");
  ASSERT_EQ(fakeProxy.Requests().size(), 1u);
  EXPECT_THAT(fakeProxy.Requests()[0], StartsWith("CONNECT secure.example:443 HTTP/1.0\r\n"));
}

TEST_F(FetchTlsTest, StalledOrBrokenHandshakeFails) {
  test::RawServer silent(test::RawServer::Mode::NeverAnswer);
  m_client.TimeOut = 300;
  m_client.URL = "https://127.0.0.1:" + std::to_string(silent.Port()) + "/";
  Outcome stalled = RunGet(m_client);
  EXPECT_EQ(stalled.code, kHttpCliErrTimedOut);

  // After the handshake the time-out still reaches every TLS read.
  m_client.CAFile = s_certs->CaFile();
  m_client.URL = s_good->Url("/stall");
  EXPECT_EQ(RunGet(m_client).code, kHttpCliErrTimedOut);

  test::RawServer closing(test::RawServer::Mode::ResetWhileReceiving);
  m_client.TimeOut = 5000;
  m_client.URL = "https://127.0.0.1:" + std::to_string(closing.Port()) + "/";
  EXPECT_EQ(RunGet(m_client).text, "TLS: connection closed during handshake");
}

// ---------------------------------------------------------------------------
// Limits on what a peer sends.

TEST(FetchReplyLimits, HeaderFloodsFailWithSmallMemory) {
  struct Case {
    test::FloodServer::Mode mode;
    int code;
  } cases[] = {
      {test::FloodServer::Mode::EndlessHeaderLines, kHttpCliErrHeaderTooLarge},
      {test::FloodServer::Mode::EndlessHeaderLine, kHttpCliErrLineTooLong},
  };
  for (const Case& c : cases) {
    test::FloodServer server(c.mode);
    THttpCli client;
    client.TimeOut = 20000;
    client.URL = server.Url("/");
    test::ResetPeakMemory();
    const std::size_t before = test::PeakMemoryBytes();
    EXPECT_EQ(RunGet(client).code, c.code);
    EXPECT_LT(test::PeakMemoryBytes() - before, test::MemoryBound(4u << 20));
  }
  test::RawServer fits(test::RawServer::Mode::Reply, {test::ReplyWithHeaderBytes(64 * 1024)});
  THttpCli client;
  std::string page;
  client.ReplyStream = &page;
  client.URL = fits.Url("/");
  EXPECT_TRUE(RunGet(client).ok);
  EXPECT_EQ(page, "ok");
  test::RawServer over(test::RawServer::Mode::Reply, {test::ReplyWithHeaderBytes(64 * 1024 + 1)});
  client.URL = over.Url("/");
  EXPECT_EQ(RunGet(client).text, kHttpCliHeaderTooLarge);
}

TEST(FetchReplyLimits, PageUpToItsLimitIsTakenAndALongerOneFails) {
  const std::size_t limit = static_cast<std::size_t>(kMaxPageBytes);
  struct Case {
    std::size_t bytes;
    bool ok;
  } cases[] = {{limit, true}, {limit + 1, false}};
  for (const Case& c : cases) {
    test::RawServer server(test::RawServer::Mode::Reply, {test::ReplyWithBody(c.bytes)});
    THttpCli client;
    std::string page;
    client.ReplyStream = &page;
    client.URL = server.Url("/");
    Outcome got = RunGet(client);
    EXPECT_EQ(got.ok, c.ok) << c.bytes;
    if (!c.ok) {
      EXPECT_EQ(got.text, kHttpCliPageTooLarge);
      EXPECT_EQ(got.code, kHttpCliErrPageTooLarge);
    }
    EXPECT_LE(page.size(), limit);
  }

  test::FloodServer endless(test::FloodServer::Mode::EndlessBody);
  THttpCli client;
  std::string page;
  client.ReplyStream = &page;
  client.TimeOut = 30000;
  client.URL = endless.Url("/");
  test::ResetPeakMemory();
  const std::size_t before = test::PeakMemoryBytes();
  EXPECT_EQ(RunGet(client).code, kHttpCliErrPageTooLarge);
  EXPECT_LT(test::PeakMemoryBytes() - before, test::MemoryBound(3 * limit));
}

TEST(FetchRequestTarget, BytesThatCannotStandInATargetAreEncoded) {
  test::RawServer server(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nok"});
  THttpCli client;
  client.URL = server.Url("/a b\tc?q=\xE4|x#top");
  EXPECT_TRUE(RunGet(client).ok);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_THAT(server.Requests()[0], StartsWith("GET /a%20b%09c?q=%E4%7Cx HTTP/1.0\r\n"));
  client.URL = server.Url("/a\r\nX: 1");
  EXPECT_EQ(RunGet(client).text, kHttpCliBadUrl);
}

}  // namespace
}  // namespace adw::engine
