#include "engine/wizard/ok_text_suggestion.h"

#include <algorithm>
#include <array>

#include "engine/wizard/html/char_refs.h"
#include "platform/concat.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

constexpr std::size_t kMinLength = 3;
constexpr std::size_t kMaxLength = 120;
// Past this much text without a closing tag the element is not a message.
constexpr std::size_t kMaxScan = 4096;

// The value of attribute name inside a start tag's text, lower-cased.
std::string AttributeValue(std::string_view tagLower, std::string_view name) {
  std::size_t at = 0;
  while ((at = tagLower.find(name, at)) != std::string_view::npos) {
    const bool startsWord = at > 0 && (tagLower[at - 1] == ' ' || tagLower[at - 1] == '\t' ||
                                       tagLower[at - 1] == '\n' || tagLower[at - 1] == '\r');
    std::size_t pos = at + name.size();
    while (pos < tagLower.size() && tagLower[pos] == ' ') ++pos;
    if (!startsWord || pos >= tagLower.size() || tagLower[pos] != '=') {
      at += name.size();
      continue;
    }
    ++pos;
    while (pos < tagLower.size() && tagLower[pos] == ' ') ++pos;
    if (pos >= tagLower.size()) return {};
    const char quote = tagLower[pos];
    if (quote == '"' || quote == '\'') {
      const std::size_t end = tagLower.find(quote, pos + 1);
      return std::string(
          tagLower.substr(pos + 1, end == std::string_view::npos ? std::string_view::npos : end - pos - 1));
    }
    const std::size_t end = tagLower.find_first_of(" \t\r\n>", pos);
    return std::string(
        tagLower.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
  }
  return {};
}

bool NamesSuccess(std::string_view value) {
  // "unsuccessful", "error-success-toggle": a refusal is the worst guess.
  static constexpr std::array<std::string_view, 4> kNegative = {"unsuccess", "error", "fail", "not"};
  for (std::string_view word : kNegative) {
    if (value.find(word) != std::string_view::npos) return false;
  }
  static constexpr std::array<std::string_view, 3> kWords = {"success", "thank", "confirm"};
  for (std::string_view word : kWords) {
    if (value.find(word) != std::string_view::npos) return true;
  }
  return false;
}

bool IsBlockTag(std::string_view tagLower) {
  static constexpr std::array<std::string_view, 16> kBlocks = {
      "div", "p", "br", "li", "ul", "ol", "tr", "td", "th", "table", "h1", "h2", "h3", "h4", "h5", "h6"};
  const std::size_t start = tagLower.find_first_not_of("</");
  if (start == std::string_view::npos) return false;
  std::string_view name = tagLower.substr(start);
  name = name.substr(0, name.find_first_of(" \t\r\n/"));
  for (std::string_view block : kBlocks) {
    if (name == block) return true;
  }
  return false;
}

// The element's text from just after its start tag up to the tag that
// closes it (nested tags dropped), blanks collapsed.
std::string ElementText(std::string_view page, std::size_t from, std::string_view tagName) {
  const std::string closing = "</" + std::string(tagName);
  std::string text;
  int depth = 0;
  bool blank = false;
  std::size_t pos = from;
  const std::size_t limit = std::min(page.size(), from + kMaxScan);
  while (pos < limit) {
    if (page[pos] == '<') {
      const std::size_t close = page.find('>', pos);
      if (close == std::string_view::npos) return {};
      const std::string tag = platform::LowerAscii(page.substr(pos, close - pos));
      if (tag.rfind(closing, 0) == 0) {
        if (depth == 0) return platform::Trim(text);
        --depth;
      } else if (tag.rfind(platform::Concat({"<", tagName}), 0) == 0) {
        ++depth;
      }
      if (IsBlockTag(tag)) blank = true;  // inline tags join their words
      pos = close + 1;
      continue;
    }
    const char c = page[pos++];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blank = true;
      continue;
    }
    if (blank && !text.empty()) text += ' ';
    blank = false;
    text += c;
  }
  return {};
}

}  // namespace

std::string SuggestOkText(std::string_view pageText) {
  std::size_t pos = 0;
  while ((pos = pageText.find('<', pos)) != std::string_view::npos) {
    const std::size_t close = pageText.find('>', pos);
    if (close == std::string_view::npos) break;
    const std::string tag = platform::LowerAscii(pageText.substr(pos + 1, close - pos - 1));
    pos = close + 1;
    if (tag.empty() || tag[0] < 'a' || tag[0] > 'z') continue;
    const std::string name = tag.substr(0, tag.find_first_of(" \t\r\n/"));
    if (name == "script" || name == "style" || name == "input") continue;
    if (!NamesSuccess(AttributeValue(tag, "class")) && !NamesSuccess(AttributeValue(tag, "id"))) continue;
    const std::string text = DecodeCharRefs(ElementText(pageText, pos, name));
    if (text.size() >= kMinLength && text.size() <= kMaxLength) return text;
  }
  return {};
}

}  // namespace adw::engine
