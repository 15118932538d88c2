#include <gtest/gtest.h>

#include "engine/wizard/ok_text_suggestion.h"
#include "platform/text1251.h"

namespace adw::engine {
namespace {

using platform::W;

TEST(OkTextSuggestion, MessageElementsOfThePageOrNothing) {
  struct Case {
    const char* page;
    const char* expected;
  };
  const Case cases[] = {
      {"<form></form><div class=\"msg success\" style=\"display:none\">Спасибо!\r\n  Объявление "
       "<b>принято</b>.</div>",
       "Спасибо! Объявление принято."},
      {"<P ID=ThankYou>Thanks &amp; welcome</P>", "Thanks & welcome"},
      {"<div class='confirm-box'><div>inner</div>Ваше объявление добавлено</div>",
       "inner Ваше объявление добавлено"},
      // Nothing to go by: no guess rather than a wrong one.
      {"<html><body><form><input name=q></form><p>Thank you for visiting</p></body></html>", ""},
      {"<div class=\"success\">ok</div>", ""},                    // too short to tell
      {"<input type=hidden class=success value=x><b>x</b>", ""},  // no element text
      {"<span class=success>never closed", ""},
      {"<div class=success><>Готово <></div>", "Готово"},
      {"<div class=unsuccessful>Ошибка при отправке</div>", ""},  // a refusal is no OK text
      {"<div class=\"error\">x</div><div class=\"success\">Готово, спасибо</div>", "Готово, спасибо"},
  };
  for (const Case& c : cases) EXPECT_EQ(SuggestOkText(W(c.page)), W(c.expected)) << c.page;
}

}  // namespace
}  // namespace adw::engine
