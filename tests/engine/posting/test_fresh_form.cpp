#include <gtest/gtest.h>

#include "engine/posting/cookie_jar.h"
#include "engine/posting/fresh_form.h"
#include "engine/wizard/fetch/http_cli.h"
#include "platform/text1251.h"
#include "support/http_peers.h"

namespace adw::engine {
namespace {

TEST(CookieJarRules, KeepsNameValuePairsReplacesAndDrops) {
  CookieJar jar;
  EXPECT_TRUE(jar.TakeHeaderLine("Set-Cookie: sid=abc; Path=/; HttpOnly"));
  EXPECT_TRUE(jar.TakeHeaderLine("set-cookie:lang=ru"));
  EXPECT_FALSE(jar.TakeHeaderLine("Content-Type: text/html"));
  EXPECT_EQ(jar.CookieLine(), "sid=abc; lang=ru");

  jar.Take("sid=def; Secure");  // same name: replaced in place
  jar.Take("=nameless");
  jar.Take("noequals");
  jar.Take("bad name=1");
  jar.Take(std::string("evil=a\r\nX-Injected: 1"));
  EXPECT_EQ(jar.CookieLine(), "sid=def; lang=ru");

  jar.Take("lang=; Max-Age=0");  // removal
  jar.Take("gone=1; max-age=-5");
  EXPECT_EQ(jar.CookieLine(), "sid=def");

  CookieJar full;
  for (std::size_t k = 0; k < CookieJar::kMaxCookies + 5; ++k) full.Take("c" + std::to_string(k) + "=v");
  EXPECT_EQ(full.Count(), CookieJar::kMaxCookies);
  full.Take("big=" + std::string(CookieJar::kMaxCookieLength, 'x'));
  EXPECT_EQ(full.CookieLine().find("big="), std::string::npos);
}

constexpr const char* kPage =
    "<html><body>"
    "<form action=\"/search\"><input type=hidden name=token value=wrong><input name=q></form>"
    "<form method=post action=\"add\">"
    "<input type=\"hidden\" name=\"token\" value=\"n+e&w=1%\">"
    "<input type=hidden name=extra value=7>"
    "<input type=text name=subject><textarea name=text></textarea>"
    "<input type=submit name=go value=Go></form></body></html>";

TEST(FreshFormRenewal, PageValuesReplaceStoredHiddenFields) {
  struct Case {
    const char* what;
    const char* pageUrl;
    const char* jobUrl;
    const char* body;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"action resolved against the page", "http://b.example/board/", "http://b.example/board/add",
       "subject=A&token=old&text=B&go=Go", "subject=A&token=n%2Be%26w%3D1%25&text=B&go=Go&extra=7"},
      {"host case and fragment do not matter", "http://b.example/board/", "http://B.EXAMPLE/board/add#x",
       "token=old&extra=1", "token=n%2Be%26w%3D1%25&extra=7"},
      {"action unknown: the form whose names cover the body", "http://b.example/board/",
       "http://elsewhere.example/post", "subject=A&token=old", "subject=A&token=n%2Be%26w%3D1%25&extra=7"},
      {"no form holds the body's names", "http://b.example/board/", "http://elsewhere.example/post",
       "title=A&token=old", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RenewHiddenFields(kPage, c.pageUrl, c.jobUrl, c.body), c.expected) << c.what;
  }
  EXPECT_EQ(RenewHiddenFields("<html>gone</html>", "http://b/", "http://b/add", "a=1"), std::nullopt);

  // The wizard's FRESH=1 test looks at the captured form, not at others.
  EXPECT_TRUE(CapturedFormHasHiddenFields(kPage, "http://b/board/", "http://b/board/add", "subject=A"));
  EXPECT_FALSE(
      CapturedFormHasHiddenFields("<form action=add><input name=a></form><form action=x>"
                                  "<input type=hidden name=t value=1></form>",
                                  "http://b/", "http://b/add", "a=1"));
}

TEST(FreshFormFetch, GetsThePageFollowsRelocationAndKeepsEveryCookie) {
  test::RawServer server(
      test::RawServer::Mode::Reply,
      {"HTTP/1.0 302 Found\r\nSet-Cookie: first=1; Path=/\r\nLocation: /board/\r\n\r\n",
       std::string("HTTP/1.0 200 OK\r\nSet-Cookie: sid=S42\r\nContent-Type: text/html\r\n\r\n") + kPage});
  THttpCli client;
  const FreshForm fresh =
      FetchFreshForm(client, {}, server.Url("/start"), server.Url("/board/add"), "subject=A&token=old");
  ASSERT_TRUE(fresh.ok) << fresh.error;
  EXPECT_EQ(fresh.body, "subject=A&token=n%2Be%26w%3D1%25&extra=7");
  EXPECT_EQ(fresh.cookie, "first=1; sid=S42");
}

TEST(FreshFormFetch, UnreachableOrChangedPageSaysTheFormIsGone) {
  test::RawServer missing(test::RawServer::Mode::Reply, {"HTTP/1.0 404 Not Found\r\n\r\nno"});
  THttpCli client;
  FreshForm fresh = FetchFreshForm(client, {}, missing.Url("/"), missing.Url("/add"), "a=1");
  EXPECT_FALSE(fresh.ok);
  EXPECT_EQ(fresh.error.rfind(FormNotFoundMessage(), 0), 0u) << fresh.error;

  test::RawServer changed(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\n<p>maintenance</p>"});
  fresh = FetchFreshForm(client, {}, changed.Url("/"), changed.Url("/add"), "a=1");
  EXPECT_FALSE(fresh.ok);
  EXPECT_EQ(fresh.error, platform::W("форма не найдена на странице REQUEST"));
}

}  // namespace
}  // namespace adw::engine
