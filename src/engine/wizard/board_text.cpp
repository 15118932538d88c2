#include "engine/wizard/board_text.h"

#include "engine/posting/letter_tables.h"
#include "platform/text1251.h"

namespace adw::engine {

std::string CodePageText(int codeIndex) {
  switch (codeIndex) {
    case 0:
      return "WIN1251";
    case 1:
      return "KOI8-R";
    case 2:
      return "ISO";
    case 3:
      return "UTF-8";
    default:
      return std::string();
  }
}

std::string PreparePageText(std::string_view bytes, int codeIndex) {
  std::vector<char32_t> replaced;
  return PreparePageText(bytes, codeIndex, replaced);
}

std::string PreparePageText(std::string_view bytes, int codeIndex, std::vector<char32_t>& replaced) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r') {
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      continue;
    }
    // A DOS end-of-file mark means nothing in a web page; cutting the page
    // there would silently lose the form that follows it.
    if (c == '\x1A') continue;
    text.push_back(c);
  }
  switch (codeIndex) {
    case 1:
      return TranslateChars(text, LettersKOI8R(), LettersWin1251());
    case 2:
      return TranslateChars(text, LettersISO88595(), LettersWin1251());
    case 3: {
      std::string_view utf8 = text;
      if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
      return platform::Utf8ToCp1251(utf8, replaced);
    }
    default:
      return text;
  }
}

namespace {

// A line break inside a value would split its key line in the board file
// and cut the value short when it is read back; a page can deliver one in
// a hidden field's value or a link.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

std::vector<std::string> ComposePreviewLines(const TPreviewSource& source) {
  std::vector<std::string> lines;
  lines.reserve(14 + source.bindingLines.size());
  lines.push_back("[Project]");
  lines.push_back(OneLine("NAME=" + source.boardName));
  lines.push_back(OneLine("SUBMIT=" + source.capturedSubmitURL));
  lines.push_back(OneLine("SUBBODY=" + source.capturedBody));
  lines.push_back(OneLine("REQUEST=" + source.capturedPageURL));
  lines.push_back(OneLine("CODE=" + source.codePage));
  lines.push_back(OneLine("OK=" + source.okSuggestion));
  lines.push_back("FAIL=");
  if (source.fresh) lines.push_back("FRESH=1");
  lines.push_back(" ");
  lines.push_back("[MAP]");
  for (const std::string& line : source.bindingLines) lines.push_back(OneLine(line));
  lines.push_back(OneLine(source.currentLinkURL));
  lines.push_back(OneLine(source.documentBase));
  lines.push_back(OneLine(source.documentBaseTarget));
  return lines;
}

std::string JoinPreviewLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace adw::engine
