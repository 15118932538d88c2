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

TEST(FieldTree, WorkedExampleOnTheSecondForm) {
  const std::string page = W(
      "<html><form action=\"search.cgi\"><select name=\"where\"><option "
      "value=\"1\">x</option></select></form>\r\n"
      "<form action=\"add.cgi\">\r\n  Рубрика:   <select name=\"rubr\"><option value=\"3\">Ноутбуки</option>"
      "<option value=\"7\">Автомобили</option></select>\r\n<input type=\"radio\" name=\"srok\" "
      "value=\"7\">неделя "
      "<input type=\"radio\" name=\"srok\" value=\"30\">месяц <input type=\"checkbox\" name=\"foto\" "
      "value=\"1\">с фото <input type=\"submit\" value=\"OK\"></form></html>");
  TFieldTree tree;
  tree.Build(page, 2);
  EXPECT_THAT(Shape(tree),
              ElementsAre("rubr[rubr=]", W("-Ноутбуки[rubr=3]"), W("-Автомобили[rubr=7]"), "srok[srok=7]",
                          W("-неделя [srok=7]"), W("-месяц [srok=30]"), "foto[foto=1]"));
  EXPECT_EQ(tree.Record(6).OptionText, W("с фото "));
  // The group node and its first button share one record.
  EXPECT_EQ(tree.Nodes()[3].record, tree.Nodes()[4].record);
  EXPECT_EQ(tree.RecordCount(), 6u);
  for (const TFieldNode& node : tree.Nodes()) EXPECT_EQ(node.stateIndex, kMarkUnbound);
  EXPECT_TRUE(tree.BindingLines().empty());
}

TEST(FieldTree, ReadsTheFormAsTheFormModelDoes) {
  struct Case {
    const char* what;
    std::string page;
    int formNumber;
    std::vector<std::string> shape;
  };
  const std::vector<Case> cases = {
      {"capital letters",
       "<FORM><SELECT NAME=\"a\"><OPTION VALUE=\"1\">One</OPTION></SELECT></FORM>",
       1,
       {"a[a=]", "-One[a=1]"}},
      {"form number beyond the page's forms", "<form><select name=\"a\"></select></form>", 2, {}},
      {"form number 0", "<form><select name=\"a\"><option value=\"1\">x</option></select></form>", 0, {}},
      {"controls outside any form are no numbered form",
       "<select name=\"o\"><option>x</select><form><select name=\"a\"><option value=\"1\">x</select></form>",
       1,
       {"a[a=]", "-x[a=1]"}},
      {"no closing form tag",
       "<form><select name=\"a\"><option value=\"1\">x</option></select>",
       1,
       {"a[a=]", "-x[a=1]"}},
      {"last option without a closing tag is kept",
       "<form><select name=\"a\"><option value=\"1\">One<option value=\"2\">Two</select></form>",
       1,
       {"a[a=]", "-One[a=1]", "-Two[a=2]"}},
      {"an option without a value stands for its text",
       "<form><select name=a><option>One</option></select></form>",
       1,
       {"a[a=]", "-One[a=One]"}},
      {"two identical lists are two lists",
       "<form><select name=a><option value=1>x</select><select name=a><option value=1>x</select></form>",
       1,
       {"a[a=]", "-x[a=1]", "a[a=]", "-x[a=1]"}},
      {"line breaks and runs of blanks become one blank",
       "<form><select name=\"s\"><option value=\"1\">a\r\n\r\n   b</option></select></form>",
       1,
       {"s[s=]", "-a b[s=1]"}},
      {"type after name, unquoted and upper-case attributes",
       "<form><input name=\"r\" type=\"radio\" value=\"1\">a <INPUT TYPE=RADIO NAME=r VALUE=2>b "
       "<input type='radio' name='r' value='3'>c <Input Type=CheckBox Name=c Value=7>d</form>",
       1,
       {"r[r=1]", "-a [r=1]", "-b [r=2]", "-c [r=3]", "c[c=7]"}},
      {"a radio button with only blanks after it is captioned with its value",
       "<form><input type=radio name=r value=1>  </form>",
       1,
       {"r[r=1]", "-1[r=1]"}},
      {"groups of one name split by another name",
       "<form><input type=\"radio\" name=\"a\" value=\"1\">x<input type=\"radio\" name=\"b\" value=\"2\">y"
       "<input type=\"radio\" name=\"a\" value=\"3\">z<br></form>",
       1,
       {"a[a=1]", "-x[a=1]", "b[b=2]", "-y[b=2]", "a[a=3]", "-z[a=3]"}},
      {"group names compare case-sensitively",
       "<form><input type=\"radio\" name=\"a\" value=\"1\">x<input type=\"radio\" name=\"A\" "
       "value=\"2\">y<br>"
       "</form>",
       1,
       {"a[a=1]", "-x[a=1]", "A[A=2]", "-y[A=2]"}},
      {"lists first, then radio groups, then check boxes",
       "<form><input type=\"checkbox\" name=\"c\" value=\"1\">c<input type=\"radio\" name=\"r\" value=\"2\">r"
       "<select name=\"s\"><option value=\"3\">s</option></select></form>",
       1,
       {"s[s=]", "-s[s=3]", "r[r=2]", "-r[r=2]", "c[c=1]"}},
      {"a check box without a value sends On", "<form><input type=checkbox name=c></form>", 1, {"c[c=On]"}},
      {"controls without a name are left out",
       "<form><select><option value=1>x</select><input type=radio value=2>y<input type=checkbox value=3>z"
       "<input type=checkbox name=k value=4></form>",
       1,
       {"k[k=4]"}},
      {"a text less-than sign keeps the options apart",
       "<form><select name=p><option value=1 selected>< 1000</option><option "
       "value=2>more</option></select></form>",
       1,
       {"p[p=]", "-< 1000[p=1]", "-more[p=2]"}},
      {"option values are kept whole",
       "<form><select name=p><option value=" + std::string(100, '9') + ">x</option></select></form>",
       1,
       {"p[p=]", "-x[p=" + std::string(100, '9') + "]"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Shape(c.page, c.formNumber), c.shape) << c.what;
}

TEST(FieldTree, UpperCaseUnquotedPagesGiveTheSameTreeAndLines) {
  const std::string quoted =
      "<form><select name=\"rubr\"><option value=\"3\">A</option></select>"
      "<input type=\"radio\" name=\"srok\" value=\"7\">week <input type=\"checkbox\" name=\"foto\" "
      "value=\"1\">photo </form>";
  const std::string shouted =
      "<FORM><SELECT NAME=rubr><OPTION VALUE=3>A</OPTION></SELECT>"
      "<INPUT NAME=srok TYPE=RADIO VALUE=7>week <INPUT VALUE=1 TYPE=CHECKBOX NAME=foto>photo </FORM>";
  TFieldTree a;
  TFieldTree b;
  a.Build(quoted, 1);
  b.Build(shouted, 1);
  EXPECT_EQ(Shape(a), Shape(b));
  for (std::size_t i = 0; i < a.Nodes().size(); ++i) {
    a.Bind(i, "X", "$x");
    b.Bind(i, "X", "$x");
  }
  EXPECT_THAT(b.BindingLines(),
              ElementsAre("$rubr=X$x", "3$rubr=X$x", "7$srok=X$x", "7$srok=X$x", "1$foto=X$x"));
  EXPECT_EQ(a.BindingLines(), b.BindingLines());
}

TEST(FieldTree, BindingsBecomeMapLinesInTreeOrder) {
  TFieldTree tree;
  tree.Build(
      W("<form><select name=\"rubr\"><option value=\"3\">Ноутбуки</option><option value=\"7\">Авто"
        "</option></select><input type=\"radio\" name=\"srok\" value=\"7\">неделя <input type=\"radio\" "
        "name=\"srok\" value=\"30\">месяц <input type=\"checkbox\" name=\"foto\" value=\"1\">фото "
        "<br></form>"),
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
