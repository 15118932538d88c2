#include <gtest/gtest.h>

#include "engine/base/board_file.h"
#include "engine/posting/letter_tables.h"
#include "engine/posting/reply_verdict.h"
#include "platform/text1251.h"

namespace adw::engine {
namespace {

using platform::W;

ReplyRules Rules(std::string_view boardUtf8) {
  return ReadReplyRules(BoardFile::FromText(W(boardUtf8)));
}

TEST(ReplyRulesFromBoard, KeysSplitTrimmedAndAbsentOkToldFromEmpty) {
  const ReplyRules both =
      Rules("[Project]\r\nOK= Спасибо | принято ||\r\nFAIL=Ошибка|закрыта\r\nCODE=KOI8-R\r\n");
  EXPECT_TRUE(both.hasOkKey);
  EXPECT_EQ(both.okTexts, (std::vector<std::string>{W("Спасибо"), W("принято")}));
  EXPECT_EQ(both.failTexts, (std::vector<std::string>{W("Ошибка"), W("закрыта")}));
  EXPECT_EQ(both.code, "KOI8-R");

  const ReplyRules none = Rules("[Project]\r\nNAME=x\r\n");
  EXPECT_FALSE(none.hasOkKey);
  EXPECT_TRUE(none.Empty());
  // Written but empty, as the wizard offers the lines: no rule at all.
  const ReplyRules emptyKeys = Rules("[Project]\r\nOK=\r\nFAIL= | \r\n");
  EXPECT_FALSE(emptyKeys.hasOkKey);
  EXPECT_TRUE(emptyKeys.Empty());
  EXPECT_EQ(JudgeReply(true, 200, "anything", emptyKeys).verdict, JobVerdict::Ok);
}

TEST(ReplyVerdictRule, StatusFailAndOkTextsDecideInThatOrder) {
  const ReplyRules okAndFail = Rules("[Project]\r\nOK=Спасибо|Thank you\r\nFAIL=Доска закрыта\r\n");
  const ReplyRules failOnly = Rules("[Project]\r\nFAIL=refused\r\n");
  const ReplyRules none;
  struct Case {
    const char* what;
    bool posted;
    int status;
    std::string body;
    const ReplyRules& rules;
    JobVerdict expected;
  };
  const Case cases[] = {
      {"post failed", false, 0, W("Спасибо"), okAndFail, JobVerdict::Failed},
      {"403 even with an OK text", true, 403, W("Спасибо"), okAndFail, JobVerdict::Failed},
      {"500 without rules", true, 500, "<html></html>", none, JobVerdict::Failed},
      {"399 is no failure", true, 399, "x", none, JobVerdict::Ok},
      {"200 without rules", true, 200, "Error 42", none, JobVerdict::Ok},
      {"FAIL wins over OK", true, 200, W("Спасибо, но Доска закрыта"), okAndFail, JobVerdict::Failed},
      {"OK text", true, 200, W("<p>Спасибо!</p>"), okAndFail, JobVerdict::Ok},
      {"OK text, Latin case folded", true, 200, "THANK YOU", okAndFail, JobVerdict::Ok},
      {"OK key, no OK text", true, 200, W("<p>Подождите</p>"), okAndFail, JobVerdict::Unconfirmed},
      {"FAIL only, not found", true, 200, "fine", failOnly, JobVerdict::Ok},
      {"FAIL only, found", true, 200, "You were REFUSED", failOnly, JobVerdict::Failed},
      // Cyrillic letters are not folded: a capital is another letter.
      {"Cyrillic case kept", true, 200, W("СПАСИБО"), okAndFail, JobVerdict::Unconfirmed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JudgeReply(c.posted, c.status, c.body, c.rules).verdict, c.expected) << c.what;
  }
  EXPECT_EQ(JudgeReply(true, 403, "", none).reason, W("доска ответила статусом 403"));
  EXPECT_EQ(JudgeReply(true, 200, W("Доска закрыта"), okAndFail).reason,
            W("в ответе доски найден текст FAIL: Доска закрыта"));
  EXPECT_EQ(JudgeReply(true, 200, "", okAndFail).reason, W("в ответе доски нет текста OK"));
  EXPECT_EQ(JudgeReply(true, 200, W("Спасибо"), okAndFail).reason, "");
}

TEST(ReplyVerdictRule, BodyDecodedByTheBoardsCodePage) {
  const std::string koiThanks = TranslateChars(W("Спасибо"), LettersWin1251(), LettersKOI8R());
  const std::string isoThanks = TranslateChars(W("Спасибо"), LettersWin1251(), LettersISO88595());
  const std::string utf8Thanks = "Спасибо";
  struct Case {
    const char* code;
    std::string body;
  };
  for (const Case& c : {Case{"KOI8-R", koiThanks}, Case{"ISO", isoThanks}, Case{"UTF-8", utf8Thanks},
                        Case{"WIN1251", W("Спасибо")}}) {
    const ReplyRules rules = Rules(std::string("[Project]\r\nOK=Спасибо\r\nCODE=") + c.code + "\r\n");
    EXPECT_EQ(JudgeReply(true, 200, c.body, rules).verdict, JobVerdict::Ok) << c.code;
  }
  // The same bytes read as the wrong code page do not confirm.
  EXPECT_EQ(JudgeReply(true, 200, koiThanks, Rules("[Project]\r\nOK=Спасибо\r\nCODE=WIN1251\r\n")).verdict,
            JobVerdict::Unconfirmed);
}

}  // namespace
}  // namespace adw::engine
