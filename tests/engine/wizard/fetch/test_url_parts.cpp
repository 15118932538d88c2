// How the page fetch client reads URL, proxy and port texts, and the
// Base64 form of Basic authorization.
#include <gtest/gtest.h>

#include "engine/wizard/fetch/url_parts.h"

namespace adw::engine {
namespace {

struct SplitCase {
  const char* url;
  const char* scheme;
  const char* user;
  const char* password;
  const char* host;
  const char* port;
  const char* path;
};

TEST(SplitUrlTest, FollowsTheSplittingRules) {
  const SplitCase cases[] = {
      // The URL box's preset form: a host and a port, no scheme, no path.
      {"proxy.example:3128", "", "", "", "proxy.example", "3128", ""},
      {"http://board.example/add.cgi?a=1&b=12:30", "http", "", "", "board.example", "",
       "/add.cgi?a=1&b=12:30"},
      {"http://user:pw@board.example:8080/x", "http", "user", "pw", "board.example", "8080", "/x"},
      // The last "@" and ":" decide; the password keeps later colons.
      {"a:b:c@h:1:2/p", "", "a", "b:c", "h:1", "2", "/p"},
      {"me@board.example", "", "me", "", "board.example", "", ""},
      {"https://secure.example", "https", "", "", "secure.example", "", ""},
      {"board.example:", "", "", "", "board.example", "", ""},
      // A path alone, even with a colon in it.
      {"/form.html?t=12:30", "http", "", "", "", "", "/form.html?t=12:30"},
      // "//" keeps the authority empty: the rest is all path.
      {"//board.example/x", "http", "", "", "", "", "/board.example/x"},
      {"HTTP:/x", "http", "", "", "", "", "/x"},
      {"http:a/b", "http", "", "", "", "", "/b"},
      {"MAILTO:me@mail.example", "mailto", "me", "", "mail.example", "", ""},
      {"", "", "", "", "", "", ""},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.url);
    UrlParts parts = SplitUrl(c.url);
    EXPECT_EQ(parts.scheme, c.scheme);
    EXPECT_EQ(parts.user, c.user);
    EXPECT_EQ(parts.password, c.password);
    EXPECT_EQ(parts.host, c.host);
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.path, c.path);
  }
}

TEST(PortFromTextTest, ReadsLeadingDigitsOrAServiceName) {
  const struct {
    const char* text;
    std::optional<std::uint16_t> port;
  } cases[] = {
      {"3128 ", 3128},  // a stored port with its blank
      {"80abc", 80},
      {"0", 0},
      {"65535", 65535},
      {"65536", std::nullopt},  // must not wrap round to port 0
      {"999999999999", std::nullopt},
      {"http", 80},
      {"no-such-service-here", std::nullopt},
      {"", std::nullopt},
      {" 80", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(PortFromText(c.text), c.port);
  }
}

TEST(EncodeBase64Test, PadsToWholeQuads) {
  const struct {
    std::string in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"user:passwd", "dXNlcjpwYXNzd2Q="},
      {std::string("\xFF\xFE\x00", 3), "//4A"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeBase64(c.in), c.out);
}

}  // namespace
}  // namespace adw::engine
