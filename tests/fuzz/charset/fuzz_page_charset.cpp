// The input's first line is a reply's Content-Type, the rest the page. The
// charset found must be one of the code page box's entries or none, must
// be a piece of what the header or page wrote, and decoding the page as
// UTF-8 must name every character it replaced, once each.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/replaced_characters.h"
#include "engine/wizard/board_text.h"
#include "engine/wizard/page_charset.h"

using namespace adw::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const std::string_view contentType = newline == std::string_view::npos ? input : input.substr(0, newline);
  const std::string_view page =
      newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);

  const std::string fromHeader = CharsetOfContentType(contentType);
  if (!fromHeader.empty() && contentType.find(fromHeader) == std::string_view::npos) std::abort();
  const std::string fromMeta = CharsetOfMeta(page);
  const int index = DetectPageCodePage(contentType, page);
  if (index < -1 || index >= kCodePageCount) std::abort();
  if (page.starts_with("\xEF\xBB\xBF") && index != 3) std::abort();
  if (index >= 0 && CodePageIndexOfCharset(fromHeader) < 0 && CodePageIndexOfCharset(fromMeta) != index &&
      !page.starts_with("\xEF\xBB\xBF"))
    std::abort();

  std::vector<char32_t> replaced;
  const std::string text = PreparePageText(page, 3, replaced);
  if (text.size() > page.size()) std::abort();
  for (std::size_t i = 0; i < replaced.size(); ++i) {
    if (std::count(replaced.begin(), replaced.end(), replaced[i]) != 1) std::abort();
  }
  const bool questionMarks =
      std::count(text.begin(), text.end(), '?') > std::count(page.begin(), page.end(), '?');
  if (questionMarks != !replaced.empty()) std::abort();
  if (ReplacedCharactersNote(replaced).empty() != replaced.empty()) std::abort();
  return 0;
}
