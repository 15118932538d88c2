#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/posting/letter_tables.h"
#include "engine/wizard/board_text.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;
using adw::platform::W;

TEST(BoardText, TheExampleBoardByteForByte) {
  TPreviewSource source;
  source.boardName = W("Барахолка");
  source.capturedSubmitURL = "U/add.cgi";
  source.capturedBody = W("subject=$TEMA&text=$TEXT&rubr=3&send=Отправить");
  source.capturedPageURL = "U";
  source.codePage = CodePageText(1);
  source.bindingLines = {W("3$rubr=Ноутбуки$comp"), W("7$rubr=Автомобили$auto")};
  EXPECT_EQ(JoinPreviewLines(ComposePreviewLines(source)),
            W("[Project]\r\n"
              "NAME=Барахолка\r\n"
              "SUBMIT=U/add.cgi\r\n"
              "SUBBODY=subject=$TEMA&text=$TEXT&rubr=3&send=Отправить\r\n"
              "REQUEST=U\r\n"
              "CODE=KOI8-R\r\n"
              "OK=\r\n"
              "FAIL=\r\n"
              " \r\n"
              "[MAP]\r\n"
              "3$rubr=Ноутбуки$comp\r\n"
              "7$rubr=Автомобили$auto\r\n"
              "\r\n"
              "\r\n"
              "\r\n"));
}

TEST(BoardText, LinesKeepTheBoxesAsTypedAndNeverBreakInsideAValue) {
  TPreviewSource source;
  source.boardName = "  Board ";
  source.capturedBody = "id=1\r\n2&x=\n";
  source.bindingLines = {"1$a=B$b"};
  source.currentLinkURL = "http://b/x.html?a=1";
  source.documentBase = "http://b/\n";
  source.documentBaseTarget = "_top";
  source.okSuggestion = "Thanks,\r\nposted";
  source.fresh = true;
  EXPECT_EQ(ComposePreviewLines(source),
            (std::vector<std::string>{"[Project]", "NAME=  Board ", "SUBMIT=", "SUBBODY=id=1  2&x= ",
                                      "REQUEST=", "CODE=", "OK=Thanks,  posted", "FAIL=", "FRESH=1", " ",
                                      "[MAP]", "1$a=B$b", "http://b/x.html?a=1", "http://b/ ", "_top"}));
}

TEST(BoardText, CodePageNames) {
  EXPECT_EQ(CodePageText(0), "WIN1251");
  EXPECT_EQ(CodePageText(1), "KOI8-R");
  EXPECT_EQ(CodePageText(2), "ISO");
  EXPECT_EQ(CodePageText(-1), "");
}

TEST(BoardText, PreparingThePage) {
  const std::string word = W("Продам");
  struct Case {
    const char* what;
    std::string bytes;
    int codeIndex;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"CR LF joins lines with nothing between", "<p>Pro\r\ndam\r\n</p>", 0, "<p>Prodam</p>"},
      {"a bare LF stays", "a\nb\n", 0, "a\nb\n"},
      {"a bare CR ends a line too", "a\rb\r\r\nc", 0, "abc"},
      {"Ctrl+Z is dropped, the rest kept", "<form>\x1A<input></form>", 0, "<form><input></form>"},
      {"WIN1251 and nothing picked leave the bytes", word + "\xFF", 0, word + "\xFF"},
      {"nothing picked", word, -1, word},
      {"KOI8-R", TranslateChars(word, LettersWin1251(), LettersKOI8R()) + "\r\n!", 1, word + "!"},
      {"ISO", TranslateChars(word, LettersWin1251(), LettersISO88595()), 2, word},
  };
  for (const Case& c : cases) EXPECT_EQ(PreparePageText(c.bytes, c.codeIndex), c.text) << c.what;
}

}  // namespace
