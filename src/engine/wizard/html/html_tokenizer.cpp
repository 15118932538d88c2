#include "engine/wizard/html/html_tokenizer.h"

#include "engine/wizard/html/char_refs.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

void AppendLower(std::string& out, std::string_view s) {
  for (char c : s) out.push_back(platform::LowerAscii(c));
}

}  // namespace

const THtmlAttribute* THtmlToken::Find(std::string_view lowerName) const {
  for (const THtmlAttribute& a : attributes) {
    if (a.name == lowerName) return &a;
  }
  return nullptr;
}

std::string THtmlToken::Attr(std::string_view lowerName, std::string_view def) const {
  const THtmlAttribute* a = Find(lowerName);
  return a ? a->value : std::string(def);
}

// Whether the "<" at lt opens markup (a tag, an end tag, a comment or a
// declaration); any other "<" is text, as in "< 1000 руб".
bool THtmlTokenizer::StartsMarkup(std::size_t lt) const {
  if (lt + 1 >= m_page.size()) return false;
  const char c = m_page[lt + 1];
  return IsAlpha(c) || c == '!' || c == '?' || c == '/';
}

// Position of the next "<" that starts markup, or the page's end.
std::size_t THtmlTokenizer::FindMarkup(std::size_t from) const {
  const std::size_t n = m_page.size();
  while (true) {
    const std::size_t lt = m_page.find('<', from);
    if (lt == std::string_view::npos) return n;
    if (StartsMarkup(lt)) return lt;
    from = lt + 1;
  }
}

bool THtmlTokenizer::Next(THtmlToken& token) {
  token.name.clear();
  token.text.clear();
  token.attributes.clear();
  token.selfClosing = false;
  const std::size_t n = m_page.size();
  if (m_pos >= n) return false;
  token.offset = m_pos;

  if (!m_closingFor.empty()) {
    ReadUntilClosing(token, m_closingRaw);
    if (!token.text.empty()) return true;
    if (m_pos >= n) return false;
    token.offset = m_pos;
  }

  while (m_pos < n) {
    if (m_page[m_pos] == '<' && StartsMarkup(m_pos)) {
      if (ReadTag(token, m_pos)) return true;
      continue;  // "</>" is dropped; look again
    }
    // A "<" that opens nothing starts the text itself.
    const std::size_t end = FindMarkup(m_pos + 1);
    token.kind = HtmlTokenKind::Text;
    AppendDecoded(token.text, m_page.substr(m_pos, end - m_pos), false);
    m_pos = end;
    return true;
  }
  return false;
}

// Reads the markup at lt; false when it was dropped and produced no token.
bool THtmlTokenizer::ReadTag(THtmlToken& token, std::size_t lt) {
  const std::size_t n = m_page.size();
  const char c = lt + 1 < n ? m_page[lt + 1] : '\0';
  if (c == '!' && m_page.substr(lt + 2, 2) == "--") {
    token.kind = HtmlTokenKind::Comment;
    std::size_t from = lt + 4;
    // "<!-->" and "<!--->" are empty comments.
    if (m_page.substr(from, 1) == ">") {
      m_pos = from + 1;
      return true;
    }
    if (m_page.substr(from, 2) == "->") {
      m_pos = from + 2;
      return true;
    }
    const std::size_t close = m_page.find("-->", from);
    const std::size_t end = close == std::string_view::npos ? n : close;
    token.text.assign(m_page.substr(from, end - from));
    m_pos = close == std::string_view::npos ? n : close + 3;
    return true;
  }
  if (c == '!' || c == '?' || (c == '/' && !(lt + 2 < n && IsAlpha(m_page[lt + 2])))) {
    if (c == '/' && lt + 2 < n && m_page[lt + 2] == '>') {
      m_pos = lt + 3;
      return false;
    }
    token.kind = HtmlTokenKind::Comment;
    const std::size_t close = m_page.find('>', lt + 2);
    const std::size_t end = close == std::string_view::npos ? n : close;
    token.text.assign(m_page.substr(lt + 2, end - (lt + 2)));
    m_pos = close == std::string_view::npos ? n : close + 1;
    return true;
  }

  const bool endTag = c == '/';
  token.kind = endTag ? HtmlTokenKind::EndTag : HtmlTokenKind::StartTag;
  std::size_t i = lt + (endTag ? 2 : 1);
  const std::size_t nameFrom = i;
  while (i < n && !IsSpace(m_page[i]) && m_page[i] != '/' && m_page[i] != '>') ++i;
  AppendLower(token.name, m_page.substr(nameFrom, i - nameFrom));
  m_pos = i;
  ReadAttributes(token);
  if (endTag) {
    // Attributes of an end tag mean nothing.
    token.attributes.clear();
    token.selfClosing = false;
  } else if (token.name == "script" || token.name == "style") {
    m_closingFor = token.name;
    m_closingRaw = true;
  } else if (token.name == "textarea" || token.name == "title") {
    m_closingFor = token.name;
    m_closingRaw = false;
  }
  return true;
}

void THtmlTokenizer::ReadAttributes(THtmlToken& token) {
  const std::size_t n = m_page.size();
  std::size_t i = m_pos;
  while (i < n) {
    while (i < n && (IsSpace(m_page[i]) || m_page[i] == '/')) {
      if (m_page[i] == '/' && i + 1 < n && m_page[i + 1] == '>') token.selfClosing = true;
      ++i;
    }
    if (i >= n) break;
    if (m_page[i] == '>') {
      ++i;
      break;
    }
    // The first character may be "=" itself: it then belongs to the name.
    const std::size_t nameFrom = i++;
    while (i < n && !IsSpace(m_page[i]) && m_page[i] != '/' && m_page[i] != '>' && m_page[i] != '=') ++i;
    THtmlAttribute& attr = token.attributes.emplace_back();
    AppendLower(attr.name, m_page.substr(nameFrom, i - nameFrom));
    std::size_t j = i;
    while (j < n && IsSpace(m_page[j])) ++j;
    if (j >= n || m_page[j] != '=') continue;
    ++j;
    while (j < n && IsSpace(m_page[j])) ++j;
    attr.hasValue = true;
    if (j < n && (m_page[j] == '"' || m_page[j] == '\'')) {
      const char quote = m_page[j];
      const std::size_t close = m_page.find(quote, j + 1);
      const std::size_t end = close == std::string_view::npos ? n : close;
      AppendDecoded(attr.value, m_page.substr(j + 1, end - (j + 1)), true);
      i = close == std::string_view::npos ? n : close + 1;
    } else {
      const std::size_t from = j;
      while (j < n && !IsSpace(m_page[j]) && m_page[j] != '>') ++j;
      AppendDecoded(attr.value, m_page.substr(from, j - from), true);
      i = j;
    }
  }
  m_pos = i;
}

// The content of script, style, textarea or title, up to the end tag of the
// same name, which is then read as the next token.
void THtmlTokenizer::ReadUntilClosing(THtmlToken& token, bool raw) {
  const std::size_t n = m_page.size();
  const std::string closing = "</" + m_closingFor;
  std::size_t from = m_pos;
  std::size_t end = n;
  while (true) {
    const std::size_t at = platform::FindNoCase(m_page, closing, from);
    if (at == std::string_view::npos) break;
    const std::size_t after = at + closing.size();
    if (after >= n || IsSpace(m_page[after]) || m_page[after] == '/' || m_page[after] == '>') {
      end = at;
      break;
    }
    from = at + 1;
  }
  const std::string_view content = m_page.substr(m_pos, end - m_pos);
  if (raw) {
    token.kind = HtmlTokenKind::RawText;
    token.text.assign(content);
  } else {
    token.kind = HtmlTokenKind::Text;
    AppendDecoded(token.text, content, false);
  }
  m_pos = end;
  m_closingFor.clear();
}

std::vector<THtmlToken> TokenizeHtml(std::string_view page) {
  std::vector<THtmlToken> tokens;
  THtmlTokenizer tokenizer(page);
  THtmlToken token;
  while (tokenizer.Next(token)) tokens.push_back(token);
  return tokens;
}

}  // namespace adw::engine
