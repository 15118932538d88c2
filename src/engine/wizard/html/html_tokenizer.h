#pragma once
// Splits a page (Windows-1251 text) into tags, text, comments and the raw
// content of script and style elements. Tag and attribute names are
// lower-cased, so lookups ignore the case the page wrote them in; attribute
// values and text have their character references decoded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

struct THtmlAttribute {
  std::string name;  // lower-cased
  std::string value;
  bool hasValue = false;  // false for a bare CHECKED, SELECTED, MULTIPLE
};

enum class HtmlTokenKind : std::uint8_t {
  Text,  // character data, references decoded
  StartTag,
  EndTag,
  Comment,  // "<!-- -->", "<!DOCTYPE>", "<?...>": text holds what is inside
  RawText,  // content of script and style, exactly as written
};

struct THtmlToken {
  HtmlTokenKind kind = HtmlTokenKind::Text;
  std::string name;                        // tags: lower-cased element name
  std::string text;                        // Text, Comment, RawText
  std::vector<THtmlAttribute> attributes;  // start tags; the first of a name counts
  bool selfClosing = false;                // "<br/>"
  std::size_t offset = 0;                  // where the token begins in the page

  // The first attribute of that (lower-case) name, null when absent.
  const THtmlAttribute* Find(std::string_view lowerName) const;
  bool Has(std::string_view lowerName) const { return Find(lowerName) != nullptr; }
  // Its value, or def when the attribute is absent.
  std::string Attr(std::string_view lowerName, std::string_view def = {}) const;
};

// Pulls tokens one by one so that a large page needs no token list. Text
// between two tags always comes as one token: a "<" that starts no tag is
// part of the text. Inside textarea and title, tags are text; inside script
// and style the content is not decoded at all. An unclosed comment, quoted
// value or script runs to the end of the page; an unclosed tag ends there.
class THtmlTokenizer {
 public:
  explicit THtmlTokenizer(std::string_view page) : m_page(page) {}
  // Fills token with the next token; false at the end of the page.
  bool Next(THtmlToken& token);

 private:
  bool ReadTag(THtmlToken& token, std::size_t lt);
  void ReadAttributes(THtmlToken& token);
  void ReadUntilClosing(THtmlToken& token, bool raw);
  bool StartsMarkup(std::size_t lt) const;
  std::size_t FindMarkup(std::size_t from) const;

  std::string_view m_page;
  std::size_t m_pos = 0;
  std::string m_closingFor;  // element whose content is read as raw/plain text next
  bool m_closingRaw = false;
};

// The whole page as a list: handy where the page is small.
std::vector<THtmlToken> TokenizeHtml(std::string_view page);

}  // namespace adw::engine
