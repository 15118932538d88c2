#pragma once
// What the wizard keeps of a form submission on its page view: the posting
// data of the new board.
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

struct TCapturedSubmission {
  std::string submitURL;  // where the board is posted to
  std::string body;       // the request body
  std::string pageURL;    // the page the form came from
};

// urlBoxText is the URL box's text at the moment of the submission,
// documentBase the page's <base href> (empty when it has none), action the
// form's action as written and results its "name=value" pairs in order.
// The pairs are joined with "&" and blanks and control characters are
// trimmed from both ends of the whole body; the action is read against the
// page the way a browser would send it.
TCapturedSubmission CaptureSubmission(std::string_view urlBoxText, std::string_view documentBase,
                                      std::string_view action, const std::vector<std::string>& results);

}  // namespace adw::engine
