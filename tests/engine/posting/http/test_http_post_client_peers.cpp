// The posting client against real servers: Debian's httpbin, directly and
// through tinyproxy. Both peers are required; a missing one fails the tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "engine/posting/http/http_post_client.h"
#include "support/http_peers.h"

namespace adw::engine {
namespace {

using ::testing::HasSubstr;

class HttpbinPeerTest : public ::testing::Test {
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
    m_client.SetBody(kErrorRetrievingPage);
  }

  static std::string Url(std::string_view path) { return s_httpbin->Url(path); }

  HttpPostClient m_client;
  static inline test::HttpbinServer* s_httpbin = nullptr;
  static inline test::TinyproxyServer* s_proxy = nullptr;
  static inline std::string s_startError;
};

TEST_F(HttpbinPeerTest, PostsFormDataThatTheServerReads) {
  m_client.HeaderInfo().Referer = "http://board.example/form.html";
  m_client.Post(Url("/post"), "name=Ivan&text=two%20words");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_EQ(test::JsonString(m_client.Body(), {"form", "name"}), "Ivan");
  EXPECT_EQ(test::JsonString(m_client.Body(), {"form", "text"}), "two words");
  EXPECT_EQ(test::JsonString(m_client.Body(), {"headers", "Referer"}), "http://board.example/form.html");
  EXPECT_THAT(m_client.Header(), HasSubstr("200 OK\r\n"));
}

TEST_F(HttpbinPeerTest, AnErrorStatusEndsPostNormallyWithItsBody) {
  m_client.Post(Url("/status/404"), "a=1");
  EXPECT_EQ(m_client.StatusCode(), 404);
  EXPECT_NE(m_client.Body(), kErrorRetrievingPage);
}

TEST_F(HttpbinPeerTest, FollowsRedirectsAndSendsTheReceivedCookie) {
  // POST -> 302 to /cookies/set?k=v -> 302 with Set-Cookie to /cookies.
  m_client.Post(Url("/redirect-to?url=%2Fcookies%2Fset%3Fk%3Dv"), "a=1");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_THAT(m_client.HeaderInfo().Cookie, ::testing::StartsWith("k=v"));
  EXPECT_EQ(test::JsonString(m_client.Body(), {"cookies", "k"}), "v");
}

TEST_F(HttpbinPeerTest, FollowsAnAbsoluteLocation) {
  m_client.Post(Url("/redirect-to?url=") + Url("/get%3Fafter%3Dredirect"), "a=1");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_EQ(test::JsonString(m_client.Body(), {"args", "after"}), "redirect");
}

TEST_F(HttpbinPeerTest, ASlowReplyFailsAtTheWorkersTimeLimit) {
  m_client.SetTimeOut(1000);
  m_client.SetAbortAfter(500);
  try {
    m_client.Post(Url("/redirect-to?url=%2Fdelay%2F5"), "a=1");
    ADD_FAILURE() << "Post returned";
  } catch (const HttpPostError& e) {
    EXPECT_STREQ(e.what(), kErrReadlnAborted);
  }
  EXPECT_EQ(m_client.StatusCode(), 302);  // the last reply read before the wait
}

TEST_F(HttpbinPeerTest, PostsThroughTheProxy) {
  m_client.SetProxy("127.0.0.1");
  m_client.SetProxyPort(s_proxy->Port());
  // show_env keeps the proxy's Via header in httpbin's echo.
  m_client.Post(Url("/post?show_env=1"), "text=via%20proxy");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_EQ(test::JsonString(m_client.Body(), {"form", "text"}), "via proxy");
  EXPECT_THAT(test::JsonString(m_client.Body(), {"headers", "Via"}).value_or(""), HasSubstr("tinyproxy"));
}

TEST_F(HttpbinPeerTest, FollowsARelativeRedirectThroughTheProxy) {
  m_client.SetProxy("127.0.0.1");
  m_client.SetProxyPort(s_proxy->Port());
  m_client.Post(Url("/redirect-to?url=%2Fcookies%2Fset%3Fk%3Dp"), "a=1");
  EXPECT_EQ(m_client.StatusCode(), 200);
  EXPECT_EQ(test::JsonString(m_client.Body(), {"cookies", "k"}), "p");
}

}  // namespace
}  // namespace adw::engine
