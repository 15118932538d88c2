#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/wizard/html/html_document.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;
using adw::platform::W;
using ::testing::ElementsAre;
using Pairs = std::vector<std::string>;

struct Captured {
  std::string action;
  std::string method;
  Pairs results;
};

// A parsed page whose form-submit events are recorded.
class Page {
 public:
  explicit Page(const std::string& html) : m_doc(THtmlDocument::Parse(html)) {
    m_doc->SetOnFormSubmit([this](const std::string& action, const std::string& method, Pairs results) {
      m_events.push_back({action, method, std::move(results)});
    });
  }
  THtmlDocument& Doc() { return *m_doc; }
  ThtmlForm& Form(std::size_t i = 0) { return *m_doc->Forms().at(i); }
  template <typename T>
  T& Control(std::size_t index, std::size_t form = 0) {
    return dynamic_cast<T&>(*Form(form).Controls().at(index));
  }
  // The pairs a click on the form's first submit button delivers (or a
  // submission without a button when it has none).
  Pairs FirstSubmit(std::size_t form = 0) {
    return Form(form).BuildSubmission(TSubmitTrigger{Form(form).FirstSubmitButton(), 0, 0});
  }
  const std::vector<Captured>& Events() const { return m_events; }

 private:
  std::unique_ptr<THtmlDocument> m_doc;
  std::vector<Captured> m_events;
};

TEST(HtmlForm, WorkedExampleDeliversThePairsInOrder) {
  Page page(
      W("<form action=\"add.cgi\" method=\"post\">"
        "<input type=\"text\" name=\"subject\" value=\"$TEMA\">"
        "<input type=\"hidden\" name=\"id\" value=\"17\">"
        "<select name=\"rubr\"><option value=\"1\">Мебель<option value=\"3\" selected>Ноутбуки</select>"
        "<textarea name=\"text\">Продам\nнедорого</textarea>"
        "<input type=\"checkbox\" name=\"urgent\">"
        "<input type=\"submit\" name=\"send\" value=\"Отправить\"></form>"));
  page.Control<TButtonFormControlObj>(5).Click();
  ASSERT_EQ(page.Events().size(), 1u);
  EXPECT_EQ(page.Events()[0].action, "add.cgi");
  EXPECT_EQ(page.Events()[0].method, "post");
  EXPECT_EQ(page.Events()[0].results, (Pairs{"subject=$TEMA", "id=17", "rubr=3", W("text=Продам"),
                                             W("text=недорого"), W("send=Отправить")}));
}

TEST(HtmlForm, WhatEachControlContributes) {
  struct Case {
    const char* what;
    std::string controls;
    Pairs pairs;
  };
  const std::vector<Case> cases = {
      {"edit, also empty",
       "<input name=a value=x><input type=password name=p><input type=TEXT name=t value=\"\">",
       {"a=x", "p=", "t="}},
      {"controls without a name contribute nothing",
       "<input value=v><input type=hidden value=h><input type=checkbox checked><input type=radio value=r "
       "checked>"
       "<select><option>A</select><select multiple><option selected>B</select><textarea>T</textarea>",
       {}},
      {"any other type is an edit",
       "<input type=file name=f value=1><input type=\"Text \" name=g>",
       {"f=1", "g="}},
      {"type compared in lower case",
       "<input type=CHECKBOX name=c checked><input type=checkboxes name=e>",
       {"c=On", "e="}},
      {"hidden always", "<input type=hidden name=h value=7><input type=hidden name=e>", {"h=7", "e="}},
      {"check box: On without a value, nothing unchecked",
       "<input type=checkbox name=a checked><input type=checkbox name=b value=1><input type=checkbox name=c "
       "value=\"\" checked>",
       {"a=On", "c="}},
      {"radio: checked ones only, empty value kept",
       "<input type=radio name=r value=1><input type=radio name=r value=2><input type=radio name=s checked>",
       {"s="}},
      {"buttons contribute nothing by themselves",
       "<input type=reset name=r><input type=button name=b value=B><input type=image name=i src=x.gif>",
       {}},
      {"combo: the last marked option",
       "<select name=c><option value=1 selected>A<option value=2 selected>B<option value=3>C</select>",
       {"c=2"}},
      {"combo: the first option when none is marked",
       "<select name=c><option value=1>A<option value=2>B</select>",
       {"c=1"}},
      {"combo: the text when the value is empty",
       "<select name=c><option value=\"\">  Any  </option><option>B</select>",
       {"c=Any"}},
      {"options without text are not listed",
       "<select name=c><option value=9></option><option value=8>  </option><option value=7>G</select>",
       {"c=7"}},
      {"option text ends at the next tag", "<select name=c><option><b>X</b>Y<option>Z</select>", {"c=Z"}},
      {"list without options", "<select name=c></select><select name=m multiple></select>", {}},
      {"multiple: each marked entry in order",
       "<select name=m multiple><option selected>A<option>B<option selected value=c>C</select>",
       {"m=A", "m=c"}},
      {"multiple without a marked entry", "<select name=m multiple size=1><option>A<option>B</select>", {}},
      {"list box of one choice: last marked, else first",
       "<select name=l size=3><option>A<option>B</select><select name=k size=2><option selected>A<option "
       "selected>B</select>",
       {"l=A", "k=B"}},
      {"textarea: one pair per line, none when empty",
       "<textarea name=t>\na\n\nc</textarea><textarea name=e></textarea><textarea name=n>\n</textarea>",
       {"t=a", "t=", "t=c"}},
  };
  for (const Case& c : cases) {
    Page page("<form>" + c.controls + "</form>");
    EXPECT_EQ(page.FirstSubmit(), c.pairs) << c.what;
  }
}

TEST(HtmlForm, OptionsSubmitTheirWholeValueAndShowAtMost80Characters) {
  const std::string longValue(90, 'v');
  const std::string longText(100, 'a');
  Page page("<select name=s><option value=" + longValue + ">  " + longText +
            "  </select>"
            "<select name=t><option>" +
            longText + "</select>");
  const auto& combo = page.Control<TComboFormControlObj>(0);
  ASSERT_EQ(combo.Options().size(), 1u);
  EXPECT_EQ(combo.Options()[0].DisplayText(), std::string(80, 'a'));
  EXPECT_EQ(page.FirstSubmit(), (Pairs{"s=" + longValue, "t=" + longText}));
}

TEST(HtmlForm, MethodActionAndInitialStates) {
  struct Case {
    std::string formTag;
    std::string method;
    std::string action;
  };
  const std::vector<Case> cases = {
      {"<form>", "Get", ""},
      {"<FORM METHOD=\"post\" ACTION=\"/cgi-bin/add.pl?a=1&amp;b=2\">", "post", "/cgi-bin/add.pl?a=1&b=2"},
      {"<form method=POSTAL action=http://other.example/x.cgi>", "POST", "http://other.example/x.cgi"},
      {"<form method=\"\">", "", ""},
      {"<form method>", "", ""},
  };
  for (const Case& c : cases) {
    Page page(c.formTag + "</form>");
    EXPECT_EQ(page.Form().Method(), c.method) << c.formTag;
    EXPECT_EQ(page.Form().Action(), c.action) << c.formTag;
  }

  Page page(
      "<form><input name=e size=7 maxlength=3 value=abcdef><input type=submit>"
      "<input type=reset value=R><input type=button><select name=l multiple><option>1<option>2</select>"
      "<select name=s size=0 multiple></select><textarea rows=2 cols=9></textarea><input type=image "
      "src=i.gif "
      "alt=Go width=12 height=x></form>");
  const auto& edit = page.Control<TEditFormControlObj>(0);
  EXPECT_EQ(edit.Size(), 7);
  EXPECT_EQ(edit.Text(), "abc");
  EXPECT_EQ(page.Control<TButtonFormControlObj>(1).Caption(), "Submit");
  EXPECT_EQ(page.Control<TButtonFormControlObj>(2).Caption(), "R");
  EXPECT_EQ(page.Control<TButtonFormControlObj>(3).Caption(), "Button");
  EXPECT_EQ(page.Control<TListBoxFormControlObj>(4).Rows(), 2);
  EXPECT_EQ(page.Control<TListBoxFormControlObj>(5).Rows(), 1);
  EXPECT_EQ(page.Control<TTextAreaFormControlObj>(6).Rows(), 2);
  EXPECT_EQ(page.Control<TTextAreaFormControlObj>(6).Cols(), 9);
  const auto& image = page.Control<TImageFormControlObj>(7);
  EXPECT_EQ(image.Src(), "i.gif");
  EXPECT_EQ(image.Alt(), "Go");
  EXPECT_EQ(image.Width(), 12);
  EXPECT_EQ(image.Height(), -1);

  Page defaults(
      "<input><textarea></textarea><select name=b multiple>" +
      std::string("<option>1<option>2<option>3<option>4<option>5<option>6<option>7<option>8<option>9") +
      "</select>");
  EXPECT_EQ(defaults.Control<TEditFormControlObj>(0).Size(), 20);
  EXPECT_EQ(defaults.Control<TEditFormControlObj>(0).MaxLength(), 0);
  EXPECT_EQ(defaults.Control<TTextAreaFormControlObj>(1).Rows(), 5);
  EXPECT_EQ(defaults.Control<TTextAreaFormControlObj>(1).Cols(), 30);
  EXPECT_EQ(defaults.Control<TListBoxFormControlObj>(2).Rows(), 8);
}

TEST(HtmlForm, FormsDoNotNestAndStrayControlsShareAForm) {
  Page page(
      "<input name=p><input name=q>"
      "<form action=a><input name=x><form action=b><input name=y></form>"
      "<input name=z><form action=c></form><input name=r>");
  const auto& forms = page.Doc().Forms();
  std::vector<std::string> seen;
  for (const auto& form : forms) {
    std::string names = form->Action() + ":";
    for (const auto& control : form->Controls()) names += control->Name();
    seen.push_back(names);
  }
  EXPECT_THAT(seen, ElementsAre(":pq", "a:x", "b:y", ":z", "c:", ":r"));
  EXPECT_EQ(forms[0]->Method(), "Get");
}

TEST(HtmlForm, TheClickedSubmitButtonAddsItsPairLast) {
  Page page(
      "<form><input type=submit name=act value=A><input name=t value=1>"
      "<input type=submit name=act value=B><input type=submit value=C></form>");
  page.Control<TButtonFormControlObj>(2).Click();
  page.Control<TButtonFormControlObj>(3).Click();
  page.Control<TButtonFormControlObj>(0).Click();
  ASSERT_EQ(page.Events().size(), 3u);
  EXPECT_EQ(page.Events()[0].results, (Pairs{"t=1", "act=B"}));
  EXPECT_EQ(page.Events()[1].results, (Pairs{"t=1"}));
  EXPECT_EQ(page.Events()[2].results, (Pairs{"t=1", "act=A"}));
}

TEST(HtmlForm, AnImageSubmitsLikeASubmitButtonAtZeroZero) {
  Page page(
      "<form><input name=a value=1><input type=image name=go src=g.gif><input type=image src=h.gif>"
      "<input name=b value=2></form>");
  page.Control<TImageFormControlObj>(1).Click();
  page.Control<TImageFormControlObj>(2).Click();
  ASSERT_EQ(page.Events().size(), 2u);
  EXPECT_EQ(page.Events()[0].results, (Pairs{"a=1", "go.x=0", "go.y=0", "b=2"}));
  EXPECT_EQ(page.Events()[1].results, (Pairs{"a=1", "x=0", "y=0", "b=2"}));
  // A form whose only button is an image has it as its submitter.
  EXPECT_EQ(page.Form().FirstSubmitter(), &page.Control<TImageFormControlObj>(1));
  EXPECT_EQ(page.FirstSubmit(), (Pairs{"a=1", "b=2"}));

  Page captions("<input type=image alt=Go><input type=image value=V><input type=image>");
  EXPECT_EQ(captions.Control<TImageFormControlObj>(0).Caption(), "Go");
  EXPECT_EQ(captions.Control<TImageFormControlObj>(1).Caption(), "V");
  EXPECT_EQ(captions.Control<TImageFormControlObj>(2).Caption(), "Submit");
}

TEST(HtmlForm, ButtonElementsActAsBrowsersDo) {
  Page page(
      W("<form action=add.cgi><input name=t value=1>"
        "<button name=go value=send>  Отправить <b>объявление</b></button>"
        "<BUTTON NAME=preview>Просмотр</BUTTON>"
        "<button type=reset name=r value=x>Сброс</button>"
        "<button type=button name=b value=y>Ничего</button>"
        "<button type=bogus name=o value=z><img src=ok.gif alt=OK></button>"
        "<button name=k><img src=k.gif></button></form>"));
  ASSERT_EQ(page.Form().Controls().size(), 7u);
  const auto& submit = page.Control<TButtonFormControlObj>(1);
  EXPECT_EQ(submit.ButtonType(), ButtonKind::Submit);
  EXPECT_EQ(submit.Caption(), W("Отправить объявление"));
  EXPECT_EQ(page.Control<TButtonFormControlObj>(3).ButtonType(), ButtonKind::Reset);
  EXPECT_EQ(page.Control<TButtonFormControlObj>(4).ButtonType(), ButtonKind::Plain);
  EXPECT_EQ(page.Control<TButtonFormControlObj>(5).ButtonType(), ButtonKind::Submit);
  EXPECT_EQ(page.Control<TButtonFormControlObj>(5).Caption(), "OK");
  // A button showing only an image without text still has a caption.
  EXPECT_EQ(page.Control<TButtonFormControlObj>(6).Caption(), "Submit");
  EXPECT_EQ(page.Form().FirstSubmitter(), &submit);

  page.Control<TEditFormControlObj>(0).SetText("2");
  page.Control<TButtonFormControlObj>(4).Click();  // type=button: nothing
  page.Control<TButtonFormControlObj>(3).Click();  // type=reset: back to 1
  page.Control<TButtonFormControlObj>(1).Click();
  page.Control<TButtonFormControlObj>(2).Click();
  ASSERT_EQ(page.Events().size(), 2u);
  EXPECT_EQ(page.Events()[0].action, "add.cgi");
  EXPECT_EQ(page.Events()[0].results, (Pairs{"t=1", "go=send"}));
  EXPECT_EQ(page.Events()[1].results, (Pairs{"t=1", "preview="}));

  // The content of a button shows nowhere else on the page, and a button
  // left open ends at the next control.
  Page unclosed("<form><button name=a value=1>A<input name=t value=x></form>");
  EXPECT_EQ(unclosed.Form().Controls().size(), 2u);
  EXPECT_EQ(unclosed.Control<TButtonFormControlObj>(0).Caption(), "A");
  for (const TLayoutItem& item : unclosed.Doc().Items()) EXPECT_NE(item.kind, LayoutKind::Text) << item.text;
}

TEST(HtmlForm, ALessThanSignThatOpensNoTagIsText) {
  Page page(
      W("<form><select name=price><option value=1 selected>< 1000 руб</option>"
        "<option value=2><= 5000</option><option value=3>> 5000</option></select></form>"));
  const auto& combo = page.Control<TComboFormControlObj>(0);
  ASSERT_EQ(combo.Options().size(), 3u);
  EXPECT_EQ(combo.Options()[0].Text, W("< 1000 руб"));
  EXPECT_EQ(combo.Options()[1].Text, "<= 5000");
  EXPECT_EQ(page.FirstSubmit(), (Pairs{"price=1"}));
}

TEST(HtmlForm, EnterSubmitsOnlyAFormWithOneVisibleControl) {
  Page page(
      "<form action=one><input name=q value=x><input type=hidden name=h value=1></form>"
      "<form action=two><input name=t><input type=submit name=s></form>");
  EXPECT_EQ(page.Form(0).VisibleControlCount(), 1u);
  EXPECT_TRUE(page.Control<TEditFormControlObj>(0, 0).PressEnter());
  EXPECT_FALSE(page.Control<TEditFormControlObj>(0, 1).PressEnter());
  ASSERT_EQ(page.Events().size(), 1u);
  EXPECT_EQ(page.Events()[0].action, "one");
  EXPECT_EQ(page.Events()[0].results, (Pairs{"q=x", "h=1"}));
}

TEST(HtmlForm, ASubmitButtonSubmitsOnlyItsOwnForm) {
  Page page(
      "<form action=first method=get><input name=a value=1><input type=submit></form>"
      "<form action=second method=post><input name=b value=2><input type=submit name=go value=Go></form>");
  page.Control<TButtonFormControlObj>(1, 1).Click();
  ASSERT_EQ(page.Events().size(), 1u);
  EXPECT_EQ(page.Events()[0].action, "second");
  EXPECT_EQ(page.Events()[0].method, "post");
  EXPECT_EQ(page.Events()[0].results, (Pairs{"b=2", "go=Go"}));
}

TEST(HtmlForm, RadioClickUnchecksTheSameNameInTheSameFormOnly) {
  Page page(
      "<form><input type=radio name=r value=1 checked><input type=radio name=R value=2>"
      "<input type=radio name=q value=3 checked><input type=radio value=4 checked>"
      "<input type=radio value=5></form>"
      "<form><input type=radio name=r value=9 checked></form>");
  std::vector<const TFormControlObj*> refreshed;
  page.Doc().SetOnControlChange([&](TFormControlObj& c) { refreshed.push_back(&c); });

  page.Control<TRadioButtonFormControlObj>(1).Click();
  EXPECT_EQ(page.FirstSubmit(), (Pairs{"R=2", "q=3"}));
  ASSERT_EQ(refreshed.size(), 1u);
  EXPECT_EQ(refreshed[0], &page.Control<TRadioButtonFormControlObj>(0));

  // A button without a name unchecks no other.
  page.Control<TRadioButtonFormControlObj>(4).Click();
  EXPECT_TRUE(page.Control<TRadioButtonFormControlObj>(3).Checked());
  EXPECT_TRUE(page.Control<TRadioButtonFormControlObj>(4).Checked());
  EXPECT_EQ(page.FirstSubmit(1), (Pairs{"r=9"}));
}

TEST(HtmlForm, ResetRestoresEveryControlAndReportsTheChangedOnes) {
  Page page(
      "<form><input name=e value=init><input type=checkbox name=c checked>"
      "<input type=radio name=r value=1 checked><input type=radio name=r value=2>"
      "<select name=s><option>A<option selected>B</select>"
      "<select name=m multiple><option>X<option>Y</select>"
      "<textarea name=t>one</textarea><input type=hidden name=h value=7>"
      "<input type=reset><input type=button value=nothing><input type=submit></form>");
  const Pairs initial = page.FirstSubmit();
  page.Control<TEditFormControlObj>(0).SetText("typed");
  page.Control<TCheckBoxFormControlObj>(1).SetChecked(false);
  page.Control<TRadioButtonFormControlObj>(3).Click();
  page.Control<TComboFormControlObj>(4).SetSelectedIndex(0);
  page.Control<TListBoxFormControlObj>(5).SetSelected(1, true);
  page.Control<TTextAreaFormControlObj>(6).SetText("two\r\nlines");
  EXPECT_EQ(page.FirstSubmit(), (Pairs{"e=typed", "r=2", "s=A", "m=Y", "t=two", "t=lines", "h=7"}));

  page.Control<TButtonFormControlObj>(9).Click();  // a plain button does nothing
  EXPECT_EQ(page.FirstSubmit().front(), "e=typed");

  std::vector<std::string> refreshed;
  page.Doc().SetOnControlChange([&](TFormControlObj& c) { refreshed.push_back(c.Name()); });
  page.Control<TButtonFormControlObj>(8).Click();
  EXPECT_EQ(page.FirstSubmit(), initial);
  EXPECT_THAT(refreshed, ElementsAre("e", "c", "r", "r", "s", "m", "t"));
  EXPECT_TRUE(page.Events().empty());
}

TEST(HtmlForm, UserInputIsKeptWithinTheControlsRules) {
  Page page(
      "<form><input name=e maxlength=4><select name=s><option>A</select>"
      "<select name=l size=3><option>A<option>B</select><select name=m multiple><option>A<option>B</select>"
      "</form>");
  auto& edit = page.Control<TEditFormControlObj>(0);
  edit.SetText("ab\r\ncdef");
  EXPECT_EQ(edit.Text(), "abcd");
  EXPECT_THROW(page.Control<TComboFormControlObj>(1).SetSelectedIndex(1), std::out_of_range);

  auto& single = page.Control<TListBoxFormControlObj>(2);
  single.SetSelected(1, true);
  EXPECT_FALSE(single.IsSelected(0));
  auto& multiple = page.Control<TListBoxFormControlObj>(3);
  multiple.SetSelected(0, true);
  multiple.SetSelected(1, true);
  EXPECT_EQ(page.FirstSubmit(), (Pairs{"e=abcd", "s=A", "l=B", "m=A", "m=B"}));
  EXPECT_THROW(multiple.SetSelected(2, true), std::out_of_range);
}

TEST(HtmlForm, TheEventComesAfterTheInputWasHandled) {
  Page page("<form action=a.cgi><input name=t value=1><input type=submit name=s value=S></form>");
  std::vector<std::function<void()>> posted;
  page.Doc().SetPoster([&](std::function<void()> task) { posted.push_back(std::move(task)); });

  page.Control<TButtonFormControlObj>(1).Click();
  // What the form held at the click is what is delivered.
  page.Control<TEditFormControlObj>(0).SetText("changed later");
  EXPECT_TRUE(page.Events().empty());
  ASSERT_EQ(posted.size(), 1u);
  posted[0]();
  ASSERT_EQ(page.Events().size(), 1u);
  EXPECT_EQ(page.Events()[0].results, (Pairs{"t=1", "s=S"}));
}

TEST(HtmlForm, ASubmissionWithoutHandlerOrPageDoesNothing) {
  std::vector<std::function<void()>> posted;
  {
    auto doc = THtmlDocument::Parse("<form><input type=submit></form>");
    doc->SetPoster([&](std::function<void()> task) { posted.push_back(std::move(task)); });
    static_cast<TButtonFormControlObj&>(*doc->Forms()[0]->Controls()[0]).Click();
    bool raised = false;
    doc->SetOnFormSubmit([&](const std::string&, const std::string&, Pairs) { raised = true; });
    static_cast<TButtonFormControlObj&>(*doc->Forms()[0]->Controls()[0]).Click();
    doc->SetOnFormSubmit(nullptr);
    ASSERT_EQ(posted.size(), 2u);
    posted[0]();
    EXPECT_FALSE(raised);
  }
  // The page was replaced before the message arrived.
  posted[1]();
}

}  // namespace
