#include "engine/wizard/page_charset.h"

#include <array>

#include "engine/wizard/html/html_tokenizer.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

struct LabelEntry {
  std::string_view label;
  int index;
};

// The labels browsers know for the four code pages.
constexpr std::array<LabelEntry, 19> kLabels = {{
    {"windows-1251", 0},
    {"cp1251", 0},
    {"x-cp1251", 0},
    {"win-1251", 0},
    {"win1251", 0},
    {"koi8-r", 1},
    {"koi8r", 1},
    {"koi8", 1},
    {"cskoi8r", 1},
    // KOI8-U differs from KOI8-R only in Ukrainian letters.
    {"koi8-u", 1},
    {"iso-8859-5", 2},
    {"iso8859-5", 2},
    {"iso_8859-5", 2},
    {"iso-ir-144", 2},
    {"cyrillic", 2},
    {"csisolatincyrillic", 2},
    {"utf-8", 3},
    {"utf8", 3},
    {"unicode-1-1-utf-8", 3},
}};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view TrimSpace(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Meta elements count only in the head: a page's body may quote markup.
bool EndsTheHead(const THtmlToken& token) {
  return token.kind == HtmlTokenKind::StartTag && (token.name == "body" || token.name == "form");
}

}  // namespace

int CodePageIndexOfCharset(std::string_view label) {
  label = TrimSpace(label);
  for (const LabelEntry& entry : kLabels) {
    if (platform::EqualsNoCase(label, entry.label)) return entry.index;
  }
  return -1;
}

std::string CharsetOfContentType(std::string_view contentType) {
  std::size_t at = 0;
  while (true) {
    const std::size_t semicolon = contentType.find(';', at);
    if (semicolon == std::string_view::npos) return {};
    std::size_t i = semicolon + 1;
    while (i < contentType.size() && IsSpace(contentType[i])) ++i;
    const std::size_t equals = contentType.find('=', i);
    if (equals == std::string_view::npos) return {};
    at = i;
    if (!platform::EqualsNoCase(TrimSpace(contentType.substr(i, equals - i)), "charset")) continue;
    std::size_t from = equals + 1;
    while (from < contentType.size() && IsSpace(contentType[from])) ++from;
    if (from < contentType.size() && (contentType[from] == '"' || contentType[from] == '\'')) {
      const char quote = contentType[from];
      const std::size_t close = contentType.find(quote, from + 1);
      const std::size_t end = close == std::string_view::npos ? contentType.size() : close;
      return std::string(TrimSpace(contentType.substr(from + 1, end - from - 1)));
    }
    std::size_t end = from;
    while (end < contentType.size() && contentType[end] != ';' && !IsSpace(contentType[end])) ++end;
    return std::string(contentType.substr(from, end - from));
  }
}

std::string CharsetOfMeta(std::string_view page) {
  THtmlTokenizer tokenizer(page);
  THtmlToken token;
  while (tokenizer.Next(token)) {
    if (EndsTheHead(token)) return {};
    if (token.kind != HtmlTokenKind::StartTag || token.name != "meta") continue;
    if (const THtmlAttribute* charset = token.Find("charset")) {
      const std::string_view label = TrimSpace(charset->value);
      if (!label.empty()) return std::string(label);
    }
    const THtmlAttribute* equiv = token.Find("http-equiv");
    if (equiv && platform::EqualsNoCase(TrimSpace(equiv->value), "content-type")) {
      std::string label = CharsetOfContentType(token.Attr("content"));
      if (!label.empty()) return label;
    }
  }
  return {};
}

int DetectPageCodePage(std::string_view contentType, std::string_view page) {
  if (page.starts_with("\xEF\xBB\xBF")) return CodePageIndexOfCharset("utf-8");
  const std::string fromHeader = CharsetOfContentType(contentType);
  if (!fromHeader.empty()) {
    const int index = CodePageIndexOfCharset(fromHeader);
    if (index >= 0) return index;
  }
  return CodePageIndexOfCharset(CharsetOfMeta(page));
}

}  // namespace adw::engine
