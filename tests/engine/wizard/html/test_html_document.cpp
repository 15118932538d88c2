#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/wizard/html/html_document.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace {

using namespace adw::engine;

std::string Flags(const TTextStyle& s) {
  std::string f;
  const auto add = [&](const std::string& flag) { f += (f.empty() ? "" : ",") + flag; };
  if (s.bold) add("b");
  if (s.italic) add("i");
  if (s.underline) add("u");
  if (s.monospace) add("m");
  if (s.preformatted) add("pre");
  if (s.heading) add("h" + std::to_string(s.heading));
  if (s.fontSize != 3) add("s" + std::to_string(s.fontSize));
  if (s.align == TextAlign::Center) add("center");
  if (s.align == TextAlign::Right) add("right");
  if (s.link) add("a" + std::to_string(s.link));
  return f.empty() ? "" : "{" + f + "}";
}

// The layout list in one line, items separated by blanks.
std::string Layout(const THtmlDocument& doc) {
  std::string out;
  for (const TLayoutItem& item : doc.Items()) {
    if (!out.empty()) out += ' ';
    switch (item.kind) {
      case LayoutKind::Text:
        out += Flags(item.style) + "\"" + item.text + "\"";
        break;
      case LayoutKind::LineBreak:
        out += "BR";
        break;
      case LayoutKind::BlockBreak:
        out += "/";
        break;
      case LayoutKind::Paragraph:
        out += "P";
        break;
      case LayoutKind::Rule:
        out += "HR";
        break;
      case LayoutKind::Image:
        out += "IMG(" + item.text + "," + item.alt + "," + std::to_string(item.width) + "," +
               std::to_string(item.height) + ")" + Flags(item.style);
        break;
      case LayoutKind::Control:
        out += "CTL(" + item.control->Name() + ")";
        break;
      case LayoutKind::Anchor:
        out += "#" + item.text;
        break;
      case LayoutKind::ListBegin:
        out += item.number ? "OL" : "UL";
        break;
      case LayoutKind::ListItem:
        out += "LI" + (item.number ? std::to_string(item.number) : "");
        break;
      case LayoutKind::ListEnd:
        out += "/UL";
        break;
      case LayoutKind::TableBegin:
        out += "TABLE";
        break;
      case LayoutKind::RowBegin:
        out += "TR";
        break;
      case LayoutKind::CellBegin:
        out += item.header ? "TH" : "TD";
        break;
      case LayoutKind::CellEnd:
        out += "/TD";
        break;
      case LayoutKind::RowEnd:
        out += "/TR";
        break;
      case LayoutKind::TableEnd:
        out += "/TABLE";
        break;
    }
  }
  return out;
}

std::string Layout(const std::string& page) {
  return Layout(*THtmlDocument::Parse(page));
}

TEST(HtmlDocument, TextRunsWithTheirStyles) {
  struct Case {
    const char* what;
    std::string page;
    std::string layout;
  };
  const std::vector<Case> cases = {
      {"blanks collapse, runs split by style", "<p>  Hello \n  <b>big  world</b> !</p><p>x</p>",
       "\"Hello \" {b}\"big world\" \" !\" P \"x\" P"},
      {"headings, centring, links, anchors, fonts",
       "<center><h2>Title</h2></center><a name=top></a><a href=\"x.html\">go <i>now</i></a> "
       "<font size=+2>big</font><tt>mono</tt><u>u</u>",
       "{b,h2,center}\"Title\" P #top {a1}\"go \" {i,a1}\"now\" \" \" {s5}\"big\" {m}\"mono\" {u}\"u\""},
      {"pre keeps blanks and line ends", "<pre>\n a  b\n\n c</pre>after",
       "{m,pre}\" a  b\" BR BR {m,pre}\" c\" P \"after\""},
      {"line breaks, rules, paragraphs", "a <br> b<hr>c<div align=right>d</div><p></p><p>e",
       "\"a\" BR \"b\" HR \"c\" / {right}\"d\" P \"e\""},
      {"scripts, styles, comments, options and text areas show no text",
       "<style>p{}</style><script>document.write('x')</script><!-- hidden -->Shown "
       "<select name=s><option>Opt</select><textarea name=t>in area</textarea>",
       "\"Shown \" CTL(s) CTL(t)"},
      {"controls in the text; hidden fields have no place",
       "<form>Name: <input name=n> <input type=hidden name=h><br><input type=submit name=go></form>",
       "\"Name: \" CTL(n) BR CTL(go) /"},
      {"images keep their link", "<a href=l.html><img src=\"a.gif\" alt=\"A\" width=10 height=20></a>",
       "IMG(a.gif,A,10,20){a1}"},
      {"numbered and bulleted lists", "<ol><li>a<li>b<ul><li>c</ul></ol>x",
       "OL LI1 \"a\" LI2 \"b\" UL LI \"c\" /UL /UL \"x\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Layout(c.page), c.layout) << c.what;
}

TEST(HtmlDocument, TablesComeAsNestedRowsAndCells) {
  const auto doc = THtmlDocument::Parse(
      "<table border width=80%> <tr><th>H<td align=right "
      "colspan=2>R</tr>stray<tr><td><ul><li>a<li>b</table>after");
  EXPECT_EQ(Layout(*doc),
            "TABLE TR TH {b,center}\"H\" /TD TD {right}\"R\" /TD /TR TR TD \"stray\" /TD /TR "
            "TR TD UL LI \"a\" LI \"b\" /UL /TD /TR /TABLE \"after\"");
  const TLayoutItem& table = doc->Items().front();
  EXPECT_EQ(table.number, 1);
  EXPECT_EQ(table.width, 80);
  EXPECT_TRUE(table.widthPercent);
  EXPECT_EQ(doc->Items()[5].colSpan, 2);

  // The border width: absent or 0 draws none, a bare attribute the thin default.
  const std::vector<std::pair<std::string, int>> borders = {
      {"", 0}, {" border=0", 0}, {" border=\"0\"", 0}, {" border", 1}, {" border=\"\"", 1}, {" border=3", 3}};
  for (const auto& [attr, width] : borders)
    EXPECT_EQ(THtmlDocument::Parse("<table" + attr + "><tr><td>x</table>")->Items().front().number, width)
        << attr;

  // An end tag of a list opened outside the table is ignored inside it.
  EXPECT_EQ(Layout("<ul><li><table><tr><td>a</ul>b</table></ul>"),
            "UL LI TABLE TR TD \"ab\" /TD /TR /TABLE /UL");
  // Unclosed structures are closed at the end of the page.
  EXPECT_EQ(Layout("<table><tr><td><ol><li>x"), "TABLE TR TD OL LI1 \"x\" /UL /TD /TR /TABLE");
}

TEST(HtmlDocument, DeepNestingIsCappedAndStaysBalanced) {
  std::string page;
  for (int i = 0; i < 500; ++i) page += "<table><tr><td><ul><li>";
  page += "deep";
  for (int i = 0; i < 500; ++i) page += "</ul></table>";
  const auto doc = THtmlDocument::Parse(page);
  int depth = 0;
  int deepest = 0;
  bool sawText = false;
  for (const TLayoutItem& item : doc->Items()) {
    if (item.kind == LayoutKind::TableBegin || item.kind == LayoutKind::ListBegin) ++depth;
    if (item.kind == LayoutKind::TableEnd || item.kind == LayoutKind::ListEnd) --depth;
    ASSERT_GE(depth, 0);
    deepest = std::max(deepest, depth);
    sawText = sawText || item.text == "deep";
  }
  EXPECT_EQ(depth, 0);
  EXPECT_EQ(deepest, static_cast<int>(THtmlDocument::kMaxNesting));
  EXPECT_TRUE(sawText);
}

TEST(HtmlDocument, BaseTitleAndLinks) {
  const auto doc = THtmlDocument::Parse(
      "<head><title> My \n <b>Board</b> </title><base href=\"http://board.example/cgi/\" target=\"_blank\">"
      "<base href=second target=other></head><a href=\"add.html?a=1&amp;b=2\">add</a>");
  EXPECT_EQ(doc->DocumentBase(), "http://board.example/cgi/");
  EXPECT_EQ(doc->DocumentBaseTarget(), "_blank");
  EXPECT_EQ(doc->Title(), "My <b>Board</b>");
  EXPECT_EQ(doc->Link(1), "add.html?a=1&b=2");

  const auto none = THtmlDocument::Parse("<p>no base</p>");
  EXPECT_EQ(none->DocumentBase(), "");
  EXPECT_EQ(none->DocumentBaseTarget(), "");
}

TEST(HtmlDocument, LoadFromFileTakesAPositionAfterHash) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("temp.html", "<a name=there></a><form><input name=q></form>");
  const auto doc = THtmlDocument::LoadFromFile(path + "#there");
  EXPECT_EQ(doc->Position(), "there");
  ASSERT_EQ(doc->Forms().size(), 1u);

  const std::string hashName = dir.Write("a#b.html", "<input name=h>");
  EXPECT_EQ(THtmlDocument::LoadFromFile(hashName)->Forms()[0]->Controls()[0]->Name(), "h");

  const std::string missing = dir.File("missing.html");
  try {
    THtmlDocument::LoadFromFile(missing + "#top");
    FAIL() << "a missing file loaded";
  } catch (const THtmlLoadError& e) {
    EXPECT_EQ(std::string(e.what()), "Can't locate file: " + missing);
  }
}

}  // namespace
