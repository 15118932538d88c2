#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/wizard/submit_url.h"

namespace {

using adw::engine::ResolveFormAction;

TEST(SubmitUrl, FormActionIsReadAgainstThePage) {
  struct Case {
    const char* page;
    const char* base;
    const char* action;
    const char* url;
  };
  const std::vector<Case> cases = {
      {"http://h/board/", "", "add", "http://h/board/add"},
      {"http://h/board/index.html?x=1", "", "add.cgi?a=b", "http://h/board/add.cgi?a=b"},
      {"http://h/board", "", "add", "http://h/add"},
      {"http://h:8080", "", "add", "http://h:8080/add"},
      {"http://h?q=1", "", "add", "http://h/add"},
      {"http://h/board/", "", "http://other/add.cgi", "http://other/add.cgi"},
      {"https://h/board/", "", "//other/add.cgi", "https://other/add.cgi"},
      {"https://h/board/", "", "//other", "https://other/"},
      {"http://h/board/x/", "", "/cgi/add", "http://h/cgi/add"},
      {"http://h/a/b/c", "", "../add", "http://h/a/add"},
      {"http://h/a/b/", "", "./x/../../../../add", "http://h/add"},
      {"http://h/a/b/", "", "..", "http://h/a/"},
      {"http://h/a/b/", "", "/a/./b/../c?d=../e", "http://h/a/c?d=../e"},
      {"http://h/board/page", "", "?go=1", "http://h/board/page?go=1"},
      {"http://h/board/page", "", "add#top", "http://h/board/add"},
      {"http://h/board/page?x=1#here", "", "", "http://h/board/page?x=1"},
      {"http://h/board/page", "", "#top", "http://h/board/page"},
      {"http://h/board/", "", "  add \n", "http://h/board/add"},
      // A URL box without a scheme keeps its host.
      {"h:8080/board/", "", "add", "h:8080/board/add"},
      {"h/board/", "", "/add", "h/add"},
      {"h/board/", "", "//other/add", "http://other/add"},
      // A colon after a slash or a question mark is no scheme.
      {"http://h/b/", "", "add.cgi?t=1:2", "http://h/b/add.cgi?t=1:2"},
      // The page's base stands in for the URL box, but not for an empty action.
      {"http://h/board/", "http://cgi.h/bin/", "add", "http://cgi.h/bin/add"},
      {"http://h/board/", "http://cgi.h/bin/index", "/post", "http://cgi.h/post"},
      {"http://h/board/", "../cgi/", "add", "http://h/cgi/add"},
      {"http://h/board/", "http://cgi.h/bin/", "", "http://h/board/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResolveFormAction(c.page, c.base, c.action), c.url)
        << c.page << " + base " << c.base << " + " << c.action;
}

}  // namespace
