// The words the wizard finds for a page that could not be fetched.
#include <gtest/gtest.h>

#include "engine/wizard/fetch/http_cli.h"
#include "engine/wizard/fetch_failure.h"
#include "platform/text1251.h"

namespace adw::engine {
namespace {

using platform::W;

TEST(FetchFailure, ReasonNamesTheServersAnswerOnlyWhenThereWasOne) {
  struct Case {
    HttpCliError failure;
    bool answered;
    std::string reason;
  };
  const Case cases[] = {
      {HttpCliError("Not Found", 404), true, W("сервер ответил 404 Not Found")},
      {HttpCliError("", 503), true, W("сервер ответил 503")},
      {HttpCliError("Connection refused (Error #111)", 404), false, "Connection refused (Error #111)"},
      {HttpCliError(kHttpCliCantResolve, 404), false, kHttpCliCantResolve},
      {HttpCliError("HTTP request timed out after 20 s", kHttpCliErrTimedOut), true,
       "HTTP request timed out after 20 s"},
      {HttpCliError("", kHttpCliErrNoReply), false, W("неизвестная ошибка")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure.what());
    EXPECT_EQ(FetchFailureReason(c.failure, c.answered), c.reason);
    EXPECT_EQ(FetchFailureStatus(c.failure, c.answered), W("Страница не загружена: ") + c.reason);
  }
}

TEST(FetchFailure, PageEscapesWhatItQuotes) {
  const std::string page =
      FetchFailurePage(HttpCliError("<b>Bad</b> & worse", 500), true, "http://x/?a=1&b=<2>");
  EXPECT_NE(page.find("&lt;b&gt;Bad&lt;/b&gt; &amp; worse"), std::string::npos);
  EXPECT_NE(page.find("http://x/?a=1&amp;b=&lt;2&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_NE(page.find(W("Страница не загружена")), std::string::npos);
}

}  // namespace
}  // namespace adw::engine
