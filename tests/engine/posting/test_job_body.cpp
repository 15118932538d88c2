#include <gtest/gtest.h>

#include <memory>

#include "engine/posting/http/http_post_client.h"
#include "engine/posting/job_body.h"
#include "engine/posting/letter_tables.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using platform::W;

std::vector<std::string> Lines(std::initializer_list<const char*> utf8) {
  std::vector<std::string> lines;
  for (const char* line : utf8) lines.push_back(W(line));
  return lines;
}

// The ad of the worked example: two fields, its category and report path.
const std::vector<std::string>& ExampleAd() {
  static const std::vector<std::string> lines =
      Lines({"Имя$NAME=Иван", "Текст$TEXT=Почти новый", "default=Ноутбуки$comp", "reppath=C:\\Отчеты"});
  return lines;
}

TEST(BuildJobBodyTest, PutsFieldValuesInForTheirPlaceholders) {
  struct Case {
    const char* name;
    const char* subBody;
    std::vector<std::string> ad;
    const char* expected;
  };
  const Case cases[] = {
      {"worked example", "name=$NAME&rubric=3&text=$TEXT", ExampleAd(),
       "name=Иван&rubric=3&text=Почти новый"},
      {"placeholder twice", "a=$NAME&b=$NAME", ExampleAd(), "a=Иван&b=Иван"},
      {"value holding a later placeholder", "t=$A", Lines({"Первое$A=x $B y", "Второе$B=z"}), "t=x z y"},
      {"a line without $ replaces its key and =", "p=reppath=&n=$NAME", ExampleAd(), "p=C:\\Отчеты&n=Иван"},
      {"the default line replaces nothing", "c=Ноутбуки$comp&default=", ExampleAd(),
       "c=Ноутбуки$comp&default="},
      {"case matters", "n=$name", ExampleAd(), "n=$name"},
      {"an empty value clears its placeholder", "n=$NAME&t=$TEXT", Lines({"Имя$NAME=", "Текст$TEXT=x"}),
       "n=&t=x"},
      {"empty body", "", ExampleAd(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildJobBody(W(c.subBody), c.ad, ""), W(c.expected));
  }
}

TEST(BuildJobBodyTest, EscapesOnlyTheFieldValues) {
  // What the ad's author typed arrives escaped; what the board's form held
  // when it was captured stays as it is.
  std::vector<std::string> ad = {"Text$TEXT=1+1=2 & 50% off", "Name$NAME=Ann"};
  EXPECT_EQ(BuildJobBody("text=$TEXT&who=$NAME&send=C++ 100%", ad, ""),
            "text=1%2B1%3D2 %26 50%25 off&who=Ann&send=C++ 100%");
  EXPECT_EQ(EscapeFieldValue("+&=%$ ok"), "%2B%26%3D%25$ ok");
}

TEST(BuildJobBodyTest, SetsTheMappedField) {
  struct Case {
    const char* name;
    const char* subBody;
    const char* mapLine;
    const char* expected;
  };
  const Case cases[] = {
      {"pair in the middle", "name=$NAME&rubric=3&text=$TEXT", "15$rubric=Компьютеры$comp",
       "name=Иван&rubric=15&text=Почти новый"},
      {"pair last", "name=$NAME&text=$TEXT&rubric=3", "15$rubric=Компьютеры$comp",
       "name=Иван&text=Почти новый&rubric=15"},
      {"pair first", "rubric=3&name=$NAME", "15$rubric=Компьютеры$comp", "rubric=15&name=Иван"},
      // The ad's phone number holds the option value: the named pair is still
      // the one set, the phone stays whole.
      {"option value inside another pair", "phone=1555&rubric=3", "15$rubric=Компьютеры$comp",
       "phone=1555&rubric=15"},
      {"pair name inside another pair's value", "q=xrubric=1&rubric=3", "15$rubric=Компьютеры$comp",
       "q=xrubric=1&rubric=15"},
      // Without a pair of that name the loose search of the option value stays.
      {"no pair of that name", "phone=1555&rub=3", "15$rubric=Компьютеры$comp", "rubric=15&rub=3"},
      {"neither found", "name=$NAME", "15$rubric=Компьютеры$comp", "name=Иван"},
      {"line without $", "name=$NAME&rubric=3", "rubric=Компьютеры", "name=Иван&rubric="},
      {"= before $: no pair prefix", "name=$NAME&rubric=3", "http://b/add=Компьютеры$comp",
       "name=Иван&rubric=3"},
      {"empty body", "", "15$rubric=Компьютеры$comp", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildJobBody(W(c.subBody), ExampleAd(), W(c.mapLine)), W(c.expected));
  }
}

TEST(BuildJobBodyTest, EncodesValuesAsABrowserDoes) {
  EXPECT_EQ(EncodeFormValue("AZaz09*-._"), "AZaz09*-._");
  EXPECT_EQ(EncodeFormValue("a b+c&d=e%f/g~h\x01\xFF"), "a+b%2Bc%26d%3De%25f%2Fg%7Eh%01%FF");
  EXPECT_EQ(EncodeFormValue(""), "");
}

TEST(BuildJobBodyTest, ConvertsTheBodyByTheBoardsCodePage) {
  struct Case {
    const char* code;
    BoardCodePage page;
  };
  const Case codes[] = {{"KOI8-R", BoardCodePage::Koi8R}, {"koi8-r", BoardCodePage::Win1251},
                        {"UTF-8", BoardCodePage::Utf8},   {"utf8", BoardCodePage::Utf8},
                        {"ISO", BoardCodePage::Win1251},  {"", BoardCodePage::Win1251}};
  for (const Case& c : codes) EXPECT_EQ(BoardCodePageOf(c.code), c.page) << c.code;

  const std::vector<std::string> ad = Lines({"Текст$TEXT=Ёлка 1+1", "reppath=C:\\Отчеты"});
  const std::string subBody = W("text=$TEXT&город=Москва&r=3");
  const std::string mapLine = W("15$r=Компьютеры$comp");
  // The existing code pages keep their bytes exactly.
  EXPECT_EQ(BuildJobBody(subBody, ad, mapLine, BoardCodePage::Win1251), BuildJobBody(subBody, ad, mapLine));
  EXPECT_EQ(BuildJobBody(subBody, ad, mapLine, BoardCodePage::Koi8R),
            TranslateChars(BuildJobBody(subBody, ad, mapLine), LettersWin1251(), LettersKOI8R()));
  EXPECT_EQ(BuildJobBody(subBody, ad, mapLine, BoardCodePage::Utf8),
            "text=%D0%81%D0%BB%D0%BA%D0%B0+1%2B1&город=Москва&r=15");
}

TEST(LookupGroupValueTest, FindsTheFirstLineHoldingTheGroupKey) {
  const auto variab =
      Lines({"item1=Имя$NAME$Иван", "item2=Компьютеры$comp", "item3=Ещё$comp", "item4=Авто$car"});
  EXPECT_EQ(LookupGroupValue(W("Ноутбуки$comp"), variab), W("Компьютеры$comp"));
  EXPECT_EQ(LookupGroupValue("$comp", variab), W("Компьютеры$comp"));
  EXPECT_EQ(LookupGroupValue("$car", variab), W("Авто$car"));
  // A value without "$" is searched whole, key part included.
  EXPECT_EQ(LookupGroupValue("item4", variab), W("Авто$car"));
  EXPECT_EQ(LookupGroupValue("$boat", variab), "");
  EXPECT_EQ(LookupGroupValue("", variab), "");
}

TEST(BuildJobBodyFilesTest, ReadsTheBoardAndTheAdStore) {
  test::TempDir dir;
  platform::IniFile board(
      dir.Write("board.txt", W("[Project]\r\nNAME=Доска1\r\nSUBBODY=name=$NAME&rubric=3&text=$TEXT\r\n"
                               "CODE=KOI8-R\r\n[MAP]\r\n15$rubric=Компьютеры$comp\r\n")));
  platform::IniFile store(
      dir.Write("base.dat", W("[Другое]\r\nИмя$NAME=Петр\r\n[Продам ноутбук]\r\nИмя$NAME=Иван\r\n"
                              "Текст$TEXT=Почти новый\r\nПусто$EMPTY=\r\ndefault=Ноутбуки$comp\r\n"
                              "reppath=C:\\Отчеты\r\n")));
  platform::IniFile map(dir.Write("base.map", W("[Variab]\r\nitem1=Компьютеры$comp\r\nitem2=Имя$NAME$Иван\r\n"
                                                "[$comp]\r\nitem1=Ноутбуки\r\n")));

  EXPECT_EQ(ReadSectionLines(store, W("Продам ноутбук")),
            Lines({"Имя$NAME=Иван", "Текст$TEXT=Почти новый", "Пусто$EMPTY=", "default=Ноутбуки$comp",
                   "reppath=C:\\Отчеты"}));
  std::string body = BuildJobBody(board, store, W("Продам ноутбук"), W("15$rubric=Компьютеры$comp"));
  EXPECT_EQ(body, W("name=Иван&rubric=15&text=Почти новый"));
  EXPECT_EQ(TranslateChars(body, LettersWin1251(), LettersKOI8R()).substr(5, 4), "\xE9\xD7\xC1\xCE");
  EXPECT_EQ(LookupGroupValue(map, W("Ноутбуки$comp")), W("Компьютеры$comp"));
  EXPECT_EQ(BuildJobBody(board, store, W("Нет такого"), ""), W("name=$NAME&rubric=3&text=$TEXT"));
}

// The text an ad's author typed reaches the board exactly, as a standard
// form parser (httpbin's) reads it back.
TEST(BuildJobBodyPeerTest, AFormParserReadsBackTheExactAdText) {
  test::HttpbinServer* httpbin = nullptr;
  ASSERT_NO_THROW(httpbin = &test::SharedHttpbin());
  const std::vector<std::string> texts = {"1+1=2 & a=b", "100% sure", "%41 stays %41", "a&b=c+d%e"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    std::string body = BuildJobBody("text=$TEXT&rubric=3", {"Text$TEXT=" + text}, "");
    HttpPostClient client;
    client.Post(httpbin->Url("/post"), body);
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(test::JsonString(client.Body(), {"form", "text"}), text);
    EXPECT_EQ(test::JsonString(client.Body(), {"form", "rubric"}), "3");
  }
}

// A UTF-8 board reads back exactly what the ad's author typed, letters
// outside ASCII included.
TEST(BuildJobBodyPeerTest, AUtf8BoardReadsBackTheExactAdText) {
  test::HttpbinServer* httpbin = nullptr;
  ASSERT_NO_THROW(httpbin = &test::SharedHttpbin());
  const std::vector<std::string> texts = {"Привет, мир! 1+1=2 & ё", "100% «кавычки» — №5", "a&b=c+d%e/~"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::string body =
        BuildJobBody(W("text=$TEXT&city=Москва"), {W("Text$TEXT=" + text)}, "", BoardCodePage::Utf8);
    HttpPostClient client;
    client.Post(httpbin->Url("/post"), body);
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(test::JsonString(client.Body(), {"form", "text"}), text);
    EXPECT_EQ(test::JsonString(client.Body(), {"form", "city"}), "Москва");
  }
}

}  // namespace
}  // namespace adw::engine
