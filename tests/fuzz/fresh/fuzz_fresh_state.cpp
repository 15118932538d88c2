// Whatever a board sends back, the fresh-state posting must build a sane
// request from it: a Cookie line without line breaks or NULs and within
// the jar's limits, a body that keeps every stored pair, and a verdict for
// any reply in any code page. Never a crash or a hang.
//
// Input: Set-Cookie header lines, a NUL, the page; the page also serves as
// a reply body.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/posting/cookie_jar.h"
#include "engine/posting/fresh_form.h"
#include "engine/posting/reply_verdict.h"
#include "engine/wizard/ok_text_suggestion.h"

using namespace adw::engine;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::size_t CountPairs(std::string_view body) {
  std::size_t pairs = 0;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    if (end > start) ++pairs;
    start = end + 1;
  }
  return pairs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view headers = input.substr(0, split);
  const std::string_view page =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  CookieJar jar;
  std::size_t start = 0;
  while (start < headers.size()) {
    std::size_t end = headers.find('\n', start);
    if (end == std::string_view::npos) end = headers.size();
    jar.TakeHeaderLine(headers.substr(start, end - start));
    start = end + 1;
  }
  const std::string line = jar.CookieLine();
  Check(jar.Count() <= CookieJar::kMaxCookies);
  Check(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
  Check(line.size() <= CookieJar::kMaxCookies * (CookieJar::kMaxCookieLength + 3));

  const std::string_view stored = "subject=$TEMA&token=old&text=$TEXT";
  if (const auto body =
          RenewHiddenFields(page, "http://b.example/board/", "http://b.example/board/add", stored)) {
    Check(CountPairs(*body) >= CountPairs(stored));
  }

  const std::string guess = SuggestOkText(page);
  Check(guess.empty() || (guess.size() >= 3 && guess.size() <= 120));

  ReplyRules rules;
  rules.okTexts = SplitReplyTexts(headers);
  rules.hasOkKey = !rules.okTexts.empty();
  rules.failTexts = {"FAIL"};
  for (const char* code : {"WIN1251", "KOI8-R", "ISO", "UTF-8"}) {
    rules.code = code;
    const ReplyVerdict verdict = JudgeReply(true, 200, page, rules);
    Check(verdict.verdict != JobVerdict::Skipped);
  }
  return 0;
}
