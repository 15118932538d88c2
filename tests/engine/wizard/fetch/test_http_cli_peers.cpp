// The page fetch client against real servers: Debian's httpbin, directly
// and through Debian's tinyproxy. Both peers are required; a missing one
// fails the tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "engine/wizard/fetch/http_cli.h"
#include "fetch_test_support.h"
#include "support/http_peers.h"

namespace adw::engine {
namespace {

using fetchtest::EventLog;
using fetchtest::Outcome;
using fetchtest::RunGet;
using ::testing::HasSubstr;

class HttpCliPeerTest : public ::testing::TestWithParam<bool> {
 protected:
  static void SetUpTestSuite() {
    try {
      s_httpbin = &test::SharedHttpbin();
      s_proxy = &test::SharedTinyproxy();
    } catch (const std::exception& e) {
      s_startError = e.what();
    }
  }
  void SetUp() override {
    ASSERT_TRUE(s_startError.empty()) << s_startError;
    m_client.ReplyStream = &m_body;
    if (ViaProxy()) {
      // As the wizard sets it from the settings: host, and the port apart.
      m_client.Proxy = "127.0.0.1";
      m_client.ProxyPort = std::to_string(s_proxy->Port());
    }
    m_log.Attach(m_client);
  }

  static bool ViaProxy() { return GetParam(); }
  static std::string Url(std::string_view path) { return s_httpbin->Url(path); }

  THttpCli m_client;
  std::string m_body;
  EventLog m_log;
  static inline test::HttpbinServer* s_httpbin = nullptr;
  static inline test::TinyproxyServer* s_proxy = nullptr;
  static inline std::string s_startError;
};

INSTANTIATE_TEST_SUITE_P(DirectAndProxy, HttpCliPeerTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ThroughTinyproxy" : "Direct"; });

TEST_P(HttpCliPeerTest, FetchesAPage) {
  m_client.URL = Url("/html");
  Outcome outcome = RunGet(m_client);
  ASSERT_TRUE(outcome.ok) << outcome.text;
  EXPECT_EQ(m_client.ReplyStatus(), 200);
  EXPECT_THAT(m_body, HasSubstr("Herman Melville - Moby-Dick"));
  EXPECT_EQ(m_client.ReplyByteCount(), static_cast<std::int64_t>(m_body.size()));
  EXPECT_EQ(m_client.ContentLength(), static_cast<std::int64_t>(m_body.size()));
  EXPECT_EQ(m_client.ContentType(), "text/html; charset=utf-8");
  EXPECT_EQ(m_log.Count("begin"), 1);
  EXPECT_GE(m_log.Count("data"), 1);
  EXPECT_EQ(m_log.events.back(), "end");
  if (ViaProxy()) {
    EXPECT_THAT(s_proxy->Log(), HasSubstr("/html"));
  }
}

TEST_P(HttpCliPeerTest, FollowsRelocations) {
  for (const std::string& target : {std::string("%2Fhtml"), Url("/html")}) {
    SCOPED_TRACE(target);
    m_body.clear();
    m_log.events.clear();
    m_client.URL = Url("/redirect-to?url=" + target);
    Outcome outcome = RunGet(m_client);
    ASSERT_TRUE(outcome.ok) << outcome.text;
    EXPECT_EQ(m_client.ReplyStatus(), 200);
    EXPECT_THAT(m_body, HasSubstr("Moby-Dick"));
    EXPECT_EQ(m_log.Count("location"), 1);
  }
}

TEST_P(HttpCliPeerTest, AnErrorStatusFailsWithItsReasonAndNoBody) {
  m_client.URL = Url("/status/404");
  Outcome outcome = RunGet(m_client);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.text, "NOT FOUND");
  EXPECT_EQ(outcome.code, 404);
  EXPECT_EQ(m_client.ReplyByteCount(), 0);
  EXPECT_EQ(m_body, "");
  EXPECT_EQ(m_log.Count("end"), 0);
}

TEST_P(HttpCliPeerTest, SendsBasicAuthorizationFromTheUrl) {
  const std::string base = Url("/basic-auth/user/passwd");
  const std::string withUser = "http://user:passwd@" + base.substr(std::string("http://").size());
  m_client.URL = withUser;
  Outcome outcome = RunGet(m_client);
  ASSERT_TRUE(outcome.ok) << outcome.text;
  EXPECT_EQ(test::JsonString(m_body, {"user"}), "user");

  const std::string wrongPassword = "http://user:wrong@" + base.substr(std::string("http://").size());
  for (const std::string& url : {wrongPassword, base}) {
    SCOPED_TRACE(url);
    m_client.Username.clear();
    m_client.URL = url;
    outcome = RunGet(m_client);
    EXPECT_EQ(outcome.code, 401);
    EXPECT_EQ(outcome.text, "UNAUTHORIZED");
  }
}

}  // namespace
}  // namespace adw::engine
