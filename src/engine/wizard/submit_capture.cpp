#include "engine/wizard/submit_capture.h"

#include "engine/wizard/submit_url.h"
#include "platform/text1251.h"

namespace adw::engine {

TCapturedSubmission CaptureSubmission(std::string_view urlBoxText, std::string_view documentBase,
                                      std::string_view action, const std::vector<std::string>& results) {
  std::string body;
  for (std::size_t i = 0; i < results.size(); ++i) {
    if (i > 0) body += '&';
    body += results[i];
  }
  TCapturedSubmission capture;
  capture.body = adw::platform::Trim(body);
  capture.submitURL = ResolveFormAction(urlBoxText, documentBase, action);
  capture.pageURL = std::string(urlBoxText);
  return capture;
}

}  // namespace adw::engine
