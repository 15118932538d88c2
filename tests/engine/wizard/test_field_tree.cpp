#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/wizard/field_tree.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;
using adw::platform::W;
using ::testing::ElementsAre;

// One entry per node: "caption[FieldName=OptionValue]", children with a
// leading "-".
std::vector<std::string> Shape(const TFieldTree& tree) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < tree.Nodes().size(); ++i) {
    const TFieldNode& node = tree.Nodes()[i];
    const FieldRecord& r = tree.Record(i);
    out.push_back((node.parent == TFieldNode::kNoParent ? "" : "-") + node.caption + "[" + r.FieldName + "=" +
                  r.OptionValue + "]");
  }
  return out;
}

std::vector<std::string> Shape(const std::string& page, int formNumber = 1) {
  TFieldTree tree;
  tree.Build(page, formNumber);
  return Shape(tree);
}

ChosenCategory Category(const std::string& text, const std::string& list) {
  ChosenCategory c;
  c.record = TDateRec{list, text};
  return c;
}

TEST(FieldTreeText, CutBetween) {
  struct Case {
    std::string text, start, finish;
    int n, m;
    std::string cut;
  };
  const std::vector<Case> cases = {
      {"a<b>c<b>d</b>", "<b>", "</b>", 1, 1, "c<b>d"},
      {"a<b>c<b>d</b>", "<b>", "</b>", 2, 1, "d"},
      {"a<b>c<b>d</b>", "<b>", "</b>", 3, 1, ""},
      {"a<b>c", "<b>", "</b>", 1, 1, ""},
      {"x[1]2]3]", "[", "]", 1, 2, "1]2"},
      {"x[1]2]3]", "[", "]", 1, 4, ""},
      // Occurrences overlap.
      {"aaaa|", "aa", "|", 3, 1, ""},
      {"aaaa|", "aa", "|", 2, 1, "a"},
      // Finish is searched after the start string, not inside it.
      {"<<>", "<", "<", 1, 1, ""},
      // Only the Latin letters fold.
      {"<FORM Action>x</Form>", "<form", "</form>", 1, 1, " Action>x"},
      {W("ЯxЯ"), W("я"), "x", 1, 1, ""},
      {"abc", "a", "c", 0, 1, ""},
      {"abc", "a", "c", 1, 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutBetween(c.text, c.start, c.finish, c.n, c.m), c.cut)
        << c.text << " " << c.start << " " << c.finish << " " << c.n << " " << c.m;
  }
}

TEST(FieldTreeText, AttributesNeedDoubleQuotesRightAfterTheEqualsSign) {
  EXPECT_EQ(GetNameAttr(" NAME=\"rubr\" value=\"3\""), "rubr");
  EXPECT_EQ(GetNameAttr(" name='rubr'"), "");
  EXPECT_EQ(GetNameAttr(" name=rubr"), "");
  EXPECT_EQ(GetNameAttr(" name = \"rubr\""), "");
  EXPECT_EQ(GetNameAttr(" name=\"unclosed"), "");
  EXPECT_EQ(GetValueAttr(" value=\"\" name=\"x\""), "");
  EXPECT_EQ(GetValueAttr(" Value=\"7\">"), "7");
  EXPECT_EQ(GetTagText(" value=\"7\">week <b>"), "week ");
  EXPECT_EQ(GetTagText(" value=\"7\">week"), "");
}

TEST(FieldTree, WorkedExampleOnTheSecondForm) {
  const std::string page = W(
      "<html><form action=\"search.cgi\"><select name=\"where\"><option value=\"1\">x</option></select></form>\r\n"
      "<form action=\"add.cgi\">\r\n  Рубрика:   <select name=\"rubr\"><option value=\"3\">Ноутбуки</option>"
      "<option value=\"7\">Автомобили</option></select>\r\n<input type=\"radio\" name=\"srok\" value=\"7\">неделя "
      "<input type=\"radio\" name=\"srok\" value=\"30\">месяц <input type=\"checkbox\" name=\"foto\" "
      "value=\"1\">с фото <input type=\"submit\" value=\"OK\"></form></html>");
  TFieldTree tree;
  tree.Build(page, 2);
  EXPECT_THAT(Shape(tree), ElementsAre("rubr[rubr=]", W("-Ноутбуки[rubr=3]"), W("-Автомобили[rubr=7]"),
                                       "srok[srok=7]", W("-неделя [srok=7]"), W("-месяц [srok=30]"),
                                       "foto[foto=1]"));
  EXPECT_EQ(tree.Record(6).OptionText, W("с фото "));
  // The group node and its first button share one record.
  EXPECT_EQ(tree.Nodes()[3].record, tree.Nodes()[4].record);
  EXPECT_EQ(tree.RecordCount(), 6u);
  for (const TFieldNode& node : tree.Nodes()) EXPECT_EQ(node.stateIndex, kMarkUnbound);
  EXPECT_TRUE(tree.BindingLines().empty());
}

TEST(FieldTree, WhatTheTextSearchesFindAndMiss) {
  struct Case {
    const char* what;
    std::string page;
    int formNumber;
    std::vector<std::string> shape;
  };
  const std::vector<Case> cases = {
      {"capital letters", "<FORM><SELECT NAME=\"a\"><OPTION VALUE=\"1\">One</OPTION></SELECT></FORM>", 1,
       {"a[a=]", "-One[a=1]"}},
      {"form number beyond the page's forms", "<form><select name=\"a\"></select></form>", 2, {}},
      {"form number 0", "<form><select name=\"a\"><option value=\"1\">x</option></select></form>", 0, {}},
      {"no closing form tag", "<form><select name=\"a\"><option value=\"1\">x</option></select>", 1, {}},
      {"last option without a closing tag is lost",
       "<form><select name=\"a\"><option value=\"1\">One<option value=\"2\">Two</select></form>", 1,
       {"a[a=]", "-One[a=1]"}},
      {"unquoted list name", "<form><select name=a><option value=\"1\">x</option></select></form>", 1,
       {"[=]", "-x[=1]"}},
      {"the list scan ends at two identical lists",
       "<form><select name=\"a\"><option value=\"1\">x</option></select><select name=\"a\"><option "
       "value=\"1\">x</option></select><select name=\"b\"><option value=\"2\">y</option></select></form>",
       1, {"a[a=]", "-x[a=1]"}},
      {"option of blanks captioned with its value; blank pieces skipped",
       "<form><select name=\"s\"><option <option value=\"3\">   </option></select></form>", 1,
       {"s[s=]", "-3[s=3]"}},
      {"line breaks and runs of blanks become one blank",
       "<form><select name=\"s\"><option value=\"1\">a\r\n\r\n   b</option></select></form>", 1,
       {"s[s=]", "-a b[s=1]"}},
      {"radio buttons with type after name or unquoted are not found",
       "<form><input name=\"r\" type=\"radio\" value=\"1\">a <input type=radio name=\"r\" value=\"2\">b "
       "<input type=\"radio\" name=\"r\" value=\"3\">c <br></form>",
       1, {"r[r=3]", "-c [r=3]"}},
      {"a radio button with no tag after it ends the scan",
       "<form><input type=\"radio\" name=\"r\" value=\"1\">a</form>", 1, {}},
      {"groups of one name split by another name",
       "<form><input type=\"radio\" name=\"a\" value=\"1\">x<input type=\"radio\" name=\"b\" value=\"2\">y"
       "<input type=\"radio\" name=\"a\" value=\"3\">z<br></form>",
       1, {"a[a=1]", "-x[a=1]", "b[b=2]", "-y[b=2]", "a[a=3]", "-z[a=3]"}},
      {"group names compare case-sensitively",
       "<form><input type=\"radio\" name=\"a\" value=\"1\">x<input type=\"radio\" name=\"A\" value=\"2\">y<br>"
       "</form>",
       1, {"a[a=1]", "-x[a=1]", "A[A=2]", "-y[A=2]"}},
      {"lists first, then radio groups, then check boxes",
       "<form><input type=\"checkbox\" name=\"c\" value=\"1\">c<input type=\"radio\" name=\"r\" value=\"2\">r"
       "<select name=\"s\"><option value=\"3\">s</option></select></form>",
       1, {"s[s=]", "-s[s=3]", "r[r=2]", "-r[r=2]", "c[c=1]"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Shape(c.page, c.formNumber), c.shape) << c.what;
}

TEST(FieldTree, BindingsBecomeMapLinesInTreeOrder) {
  TFieldTree tree;
  tree.Build(W("<form><select name=\"rubr\"><option value=\"3\">Ноутбуки</option><option value=\"7\">Авто"
               "</option></select><input type=\"radio\" name=\"srok\" value=\"7\">неделя <input type=\"radio\" "
               "name=\"srok\" value=\"30\">месяц <input type=\"checkbox\" name=\"foto\" value=\"1\">фото <br></form>"),
             1);
  ASSERT_EQ(tree.Nodes().size(), 7u);
  int asked = 0;
  const auto choose = [&](std::optional<ChosenCategory> answer) {
    return [&asked, answer]() {
      ++asked;
      return answer;
    };
  };

  // The group node: its record is the first button's, so two lines.
  EXPECT_TRUE(tree.ClickStateMark(3, choose(Category(W(" Неделя "), " $srok "))));
  EXPECT_TRUE(tree.ClickStateMark(2, choose(Category(W("Автомобили"), "$auto"))));
  EXPECT_TRUE(tree.ClickStateMark(1, choose(Category(W("Компьютеры"), "$comp"))));
  // "Отмена" leaves the node unbound.
  EXPECT_FALSE(tree.ClickStateMark(6, choose(std::nullopt)));
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(tree.Nodes()[3].stateIndex, kMarkBound);
  EXPECT_EQ(tree.Nodes()[4].stateIndex, kMarkUnbound);
  EXPECT_EQ(tree.Nodes()[6].stateIndex, kMarkUnbound);
  EXPECT_THAT(tree.BindingLines(), ElementsAre(W("3$rubr=Компьютеры$comp"), W("7$rubr=Автомобили$auto"),
                                               W("7$srok=Неделя$srok"), W("7$srok=Неделя$srok")));
  EXPECT_EQ(tree.StatusText(4), W("7 неделя  Неделя$srok"));

  // A ticked node is unbound without asking the chooser.
  EXPECT_TRUE(tree.ClickStateMark(2, choose(Category("X", "$x"))));
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(tree.Nodes()[2].stateIndex, kMarkUnbound);
  tree.Bind(0, "Whole", "$list");
  EXPECT_THAT(tree.BindingLines(), ElementsAre(W("$rubr=Whole$list"), W("3$rubr=Компьютеры$comp"),
                                               W("7$srok=Неделя$srok"), W("7$srok=Неделя$srok")));

  // A new build drops every node and binding.
  tree.Build("<form><input type=\"checkbox\" name=\"c\" value=\"1\">c<br></form>", 1);
  EXPECT_THAT(Shape(tree), ElementsAre("c[c=1]"));
  EXPECT_TRUE(tree.BindingLines().empty());
  EXPECT_EQ(tree.RecordCount(), 1u);
}

}  // namespace
