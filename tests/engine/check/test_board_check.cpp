#include <gtest/gtest.h>

#include <string>

#include "engine/base/board_file.h"
#include "engine/check/board_check.h"
#include "engine/posting/letter_tables.h"
#include "platform/text1251.h"

namespace {

using namespace adw::engine;
using adw::platform::W;

const std::string kPageUrl = "http://127.0.0.1:8765/board/";

std::string Page(const std::string& action, const std::string& extra = "") {
  return "<html><body><form method=post action=\"/search\"><input name=q></form>"
         "<form method=post action=\"" +
         action +
         "\"><input name=subject><input name=phone>"
         "<textarea name=text></textarea><select name=rubr><option value=1>A<option value=2>B</select>"
         "<input type=radio name=kind value=sell><input type=radio name=kind value=buy>"
         "<input type=image name=go src=x.gif>" +
         extra + "</form></body></html>";
}

BoardFile Board(const std::string& subBody, const std::string& mapLines, const std::string& code = "win") {
  return BoardFile::FromText(
      "[Project]\r\nNAME=B\r\nSUBMIT=http://127.0.0.1:8765/board/add\r\nSUBBODY=" + subBody +
      "\r\nREQUEST=" + kPageUrl + "\r\nCODE=" + code + "\r\n[MAP]\r\n" + mapLines);
}

TEST(BoardCheck, ComparesTheFormThatPostsToSubmit) {
  const std::string fields = "subject=$TEMA&phone=$PHONE&text=$TEXT&rubr=1&kind=sell&go.x=1&go.y=1";
  const std::string map = W("1$rubr=Ноутбуки$comp\r\n2$rubr=Мониторы$comp\r\nbuy$kind=Куплю$all\r\n");
  const struct {
    const char* name;
    std::string page;
    std::string subBody;
    std::string map;
    CheckState state;
    std::string detail;
  } cases[] = {
      {"relative action", Page("add"), fields, map, CheckState::Ok, ""},
      {"absolute action, explicit port 80 elsewhere", Page("http://127.0.0.1:8765/board/add#top"), fields,
       map, CheckState::Ok, ""},
      {"a field renamed", Page("add"), fields + "&author=$NAME", map, CheckState::Changed,
       "fields gone: author"},
      {"list values gone", Page("add"), fields, map + "3$rubr=X$y\r\nrent$kind=Y$z\r\n", CheckState::Changed,
       "values gone: rubr=3, kind=rent"},
      {"both", Page("add"), "zip=1&" + fields, map + "3$rubr=X$y\r\n", CheckState::Changed,
       "fields gone: zip; values gone: rubr=3"},
      {"form posts elsewhere", Page("post.php"), fields, map, CheckState::Changed,
       "no form posts to http://127.0.0.1:8765/board/add (forms post to http://127.0.0.1:8765/search, "
       "http://127.0.0.1:8765/board/post.php)"},
      {"URL map lines choose nothing", Page("add"), fields, "http://x/y=Z$q\r\n", CheckState::Ok, ""},
  };
  for (const auto& c : cases) {
    const BoardCheckResult result = CompareBoardWithPage(Board(c.subBody, c.map), c.page, kPageUrl);
    EXPECT_EQ(result.state, c.state) << c.name << ": " << result.detail;
    EXPECT_EQ(result.detail, c.detail) << c.name;
    EXPECT_EQ(result.board, "B");
  }
}

TEST(BoardCheck, ReadsAKoi8PageInTheBoardsLetters) {
  const std::string page = TranslateChars(
      W("<form method=post action=add><select name=rubr><option value=\"Ноутбуки\">x</select></form>"),
      LettersWin1251(), LettersKOI8R());
  const std::string map = W("Ноутбуки$rubr=Ноутбуки$comp\r\n");
  EXPECT_EQ(CompareBoardWithPage(Board("rubr=1", map, "KOI8-R"), page, kPageUrl).state, CheckState::Ok);
  EXPECT_EQ(CompareBoardWithPage(Board("rubr=1", map, "win"), page, kPageUrl).state, CheckState::Changed);
}

TEST(BoardCheck, SubBodyFieldNames) {
  EXPECT_EQ(SubBodyFieldNames("a=1&b=$X&&c&=v"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(SubBodyFieldNames("").empty());
}

}  // namespace
