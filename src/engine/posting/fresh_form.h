#pragma once
// Fresh form state for boards that hand out a one-time token in a hidden
// field and a session in a cookie: a body captured once carries a token
// the board no longer accepts. Before such a board's posting the worker
// fetches the form's page again and posts the page's current hidden values
// with the page's cookies.
#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "engine/posting/cookie_jar.h"

namespace adw::engine {

class THttpCli;

// The failure text of a page that cannot be fetched or lacks the form
// (cp1251): "форма не найдена на странице REQUEST".
std::string FormNotFoundMessage();

// The stored body with the values of the page's hidden fields put in place
// of the stored ones (the k-th hidden field of a name replaces the k-th
// pair of that name; a hidden field the body lacks is added at its end).
// The form is the one whose action, resolved against pageUrl and the
// page's base, is jobUrl; failing that, the first whose field names cover
// every name of the body. nullopt when the page holds no such form.
std::optional<std::string> RenewHiddenFields(std::string_view page, std::string_view pageUrl,
                                             std::string_view jobUrl, std::string_view storedBody);

// The wizard's test for FRESH=1: the form a capture came from (found as
// RenewHiddenFields finds it) has a named hidden field.
bool CapturedFormHasHiddenFields(std::string_view page, std::string_view pageUrl, std::string_view submitUrl,
                                 std::string_view body);

// What the posting needs after the page was fetched.
struct FreshForm {
  bool ok = false;
  std::string body;    // the renewed body
  std::string cookie;  // the Cookie line for the posting, may be empty
  std::string error;   // cp1251, when not ok
};

struct FreshFetchSettings {
  std::string proxyHost;  // empty: direct
  int proxyPort = 0;
  int timeOutMs = 0;   // 0: the fetch client's own limit
  std::string caFile;  // an extra trusted CA file (PEM); empty: the system store alone
};

// Fetches pageUrl with client (blocking, relocations followed, every
// Set-Cookie on the way kept in a jar of this call's own) and renews the
// body. The client may be aborted from another thread meanwhile.
FreshForm FetchFreshForm(THttpCli& client, const FreshFetchSettings& settings, const std::string& pageUrl,
                         const std::string& jobUrl, const std::string& storedBody);

}  // namespace adw::engine
