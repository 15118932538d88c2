#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/wizard/html/char_refs.h"
#include "engine/wizard/html/html_tokenizer.h"
#include "platform/text1251.h"

namespace {

using adw::engine::HtmlTokenKind;
using adw::engine::THtmlToken;
using adw::engine::TokenizeHtml;
using adw::platform::W;

// One line per token: "S:name[a=v b]" for a start tag ("/" after the name
// when self-closing), "E:name", "T:text", "C:comment", "R:raw".
std::string Summary(const std::string& page) {
  std::string out;
  for (const THtmlToken& t : TokenizeHtml(page)) {
    if (!out.empty()) out += '|';
    switch (t.kind) {
      case HtmlTokenKind::StartTag:
        out += "S:" + t.name + (t.selfClosing ? "/" : "");
        if (!t.attributes.empty()) {
          out += '[';
          for (std::size_t i = 0; i < t.attributes.size(); ++i) {
            if (i) out += ' ';
            out += t.attributes[i].name;
            if (t.attributes[i].hasValue) out += "=" + t.attributes[i].value;
          }
          out += ']';
        }
        break;
      case HtmlTokenKind::EndTag:
        out += "E:" + t.name;
        break;
      case HtmlTokenKind::Text:
        out += "T:" + t.text;
        break;
      case HtmlTokenKind::Comment:
        out += "C:" + t.text;
        break;
      case HtmlTokenKind::RawText:
        out += "R:" + t.text;
        break;
    }
  }
  return out;
}

TEST(HtmlTokenizer, TagsAttributesCommentsAndRawContent) {
  struct Case {
    const char* what;
    std::string page;
    std::string tokens;
  };
  const std::vector<Case> cases = {
      {"names lower-cased, values as written", "<INPUT Type=\"TEXT\" NAME=q>", "S:input[type=TEXT name=q]"},
      {"single quotes", "<a href='x y'>", "S:a[href=x y]"},
      {"bare values end at a blank or >", "<td width=50% nowrap bgcolor=#fff>",
       "S:td[width=50% nowrap bgcolor=#fff]"},
      {"bare value keeps slashes", "<a href=/cgi/a.pl?x=1>", "S:a[href=/cgi/a.pl?x=1]"},
      {"blanks around =", "<p align = center >", "S:p[align=center]"},
      {"attribute right after a quoted value", "<input type=\"text\"name=\"x\">",
       "S:input[type=text name=x]"},
      {"line breaks between attributes", "<input\ntype=text\r\nname=x>", "S:input[type=text name=x]"},
      {"empty quoted value", "<option value=\"\" selected>", "S:option[value= selected]"},
      {"self-closing", "<br/><hr />", "S:br/|S:hr/"},
      {"end tag drops its attributes", "</FORM foo=1>", "E:form"},
      {"text between tags", "a <b>bold</b> c", "T:a |S:b|T:bold|E:b|T: c"},
      {"a < that starts no tag is text", "a < b <3 <", "T:a < b <3 <"},
      {"comment hides tags", "a<!-- <form> -->c", "T:a|C: <form> |T:c"},
      {"empty comments", "<!--><!--->x", "C:|C:|T:x"},
      {"unclosed comment runs to the end", "a<!-- <b>", "T:a|C: <b>"},
      {"declaration and processing instruction", "<!DOCTYPE html><?xml x?>", "C:DOCTYPE html|C:xml x?"},
      {"script content is raw", "<script>if (a<b) x=\"</form>&amp;\"</script>z",
       "S:script|R:if (a<b) x=\"</form>&amp;\"|E:script|T:z"},
      {"style closed in any case", "<STYLE>p>a{}</Style >y", "S:style|R:p>a{}|E:style|T:y"},
      {"unclosed script runs to the end", "<script>a<b", "S:script|R:a<b"},
      {"script not closed by a longer name", "<script>a</scripts>b</script>",
       "S:script|R:a</scripts>b|E:script"},
      {"textarea content is text with references", "<textarea>a<b>&amp;</textarea>",
       "S:textarea|T:a<b>&|E:textarea"},
      {"title content is text", "<title>a <i>b</i></title>", "S:title|T:a <i>b</i>|E:title"},
      {"unclosed quote runs to the end", "<input value=\"abc>x", "S:input[value=abc>x]"},
      {"unclosed tag ends at the page's end", "x<input name=a", "T:x|S:input[name=a]"},
  };
  for (const Case& c : cases) EXPECT_EQ(Summary(c.page), c.tokens) << c.what;
}

TEST(HtmlTokenizer, FirstAttributeOfANameCounts) {
  const std::vector<THtmlToken> tokens = TokenizeHtml("<input NAME=a name=b Checked>");
  ASSERT_EQ(tokens.size(), 1u);
  EXPECT_EQ(tokens[0].Attr("name"), "a");
  EXPECT_TRUE(tokens[0].Has("checked"));
  EXPECT_FALSE(tokens[0].Find("checked")->hasValue);
  EXPECT_EQ(tokens[0].Attr("value", "none"), "none");
}

TEST(CharRefs, DecodeIntoWindows1251) {
  struct Case {
    std::string text;
    bool inAttribute;
    std::string decoded;
  };
  const std::vector<Case> cases = {
      {"&lt;&gt;&amp;&quot;&apos;", false, "<>&\"'"},
      {"&#1055;&#x440;&#X438;", false, W("При")},
      {"&nbsp;&copy;&laquo;&raquo;&numero;&euro;&mdash;", false, W("\u00A0©«»№€—")},
      // Letters that Windows-1251 lacks become '?'.
      {"&eacute;&alpha;&#x4E2D;&#128512;", false, "????"},
      // 128..159 name the Windows characters there.
      {"&#150;&#151;&#128;&#153;", false, W("–—€™")},
      {"&#0;&#xD800;&#99999999999;&#129;", false, "????"},
      {"&#65&#x42 x", false, "AB x"},
      // Not references: stay as written.
      {"& &# &#x; &foo; &Copy; &amp", false, "& &# &#x; &foo; &Copy; &"},
      {"&copy 2024 &copy2", false, W("© 2024 &copy2")},
      {"a.cgi?x=1&copy=2&amp;y=&lt;&nbspz", true, "a.cgi?x=1&copy=2&y=<&nbspz"},
      {"&AMP;&LT;&eacutex;", false, "&<&eacutex;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(adw::engine::DecodeCharRefs(c.text, c.inAttribute), c.decoded) << c.text;
  }
}

TEST(CharRefs, ReachTextAndAttributesButNotScripts) {
  EXPECT_EQ(Summary("<a title=\"&#1044;&amp;\">&#1044;</a><script>&#1044;</script>"),
            "S:a[title=" + W("Д") + "&]|T:" + W("Д") + "|E:a|S:script|R:&#1044;|E:script");
}

}  // namespace
