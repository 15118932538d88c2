#include <gtest/gtest.h>

#include "engine/base/board_container.h"
#include "engine/base/board_list.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using platform::W;
using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

const Date kToday{year(2024), month(3), day(10)};

class BoardListTest : public ::testing::Test {
 protected:
  // Stores a board file with the given Project keys ("" leaves a key out).
  std::string Board(const std::string& fileName, const std::string& name, const std::string& lastSend = "",
                    const std::string& period = "") {
    std::string text = "[Project]\r\n";
    if (!name.empty()) text += "NAME=" + name + "\r\n";
    if (!lastSend.empty()) text += "LASTSEND=" + lastSend + "\r\n";
    if (!period.empty()) text += "Period=" + period + "\r\n";
    text += "[MAP]\r\n";
    return Raw(fileName, Packed(text));
  }
  std::string Raw(const std::string& fileName, const std::string& bytes) {
    m_dir.Write(fileName, bytes);
    return bytes;
  }
  static std::string Packed(std::string_view plain) {
    std::string bytes = Tlzrw1::CompressBytes(plain);
    bytes.replace(0, 4, "ADWP");
    return bytes;
  }
  BoardList Load() { return LoadBoardList(m_dir.Path(), kToday); }

  test::TempDir m_dir;
};

std::vector<std::string> Names(const BoardList& list) {
  std::vector<std::string> names;
  for (const BoardRow& row : list.rows) names.push_back(row.name);
  return names;
}

std::vector<bool> Ticks(const std::vector<BoardRow>& rows) {
  std::vector<bool> ticks;
  for (const BoardRow& row : rows) ticks.push_back(row.ticked);
  return ticks;
}

TEST_F(BoardListTest, BoardsWithoutLastSendAreListedInOrderUnticked) {
  Board("c.prj", "Gamma");
  Board("a.prj", "beta");
  Board("b.prj", "Alpha");
  const BoardList list = Load();
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(Ticks(list.rows), (std::vector<bool>{false, false, false}));
  EXPECT_TRUE(list.failures.empty());
}

TEST_F(BoardListTest, RowsSortWithoutRegardToCaseAndKeepTheirOwnDueMarks) {
  // File names run against the names' order; the due boards are spread so
  // that a mark landing on a neighbour's row shows.
  Board("a.prj", W("Яблоко"), "01.03.2024", "2");  // due
  Board("b.prj", W("арбуз"));
  Board("c.prj", W("Банан"), "07.03.2024", "2");  // due
  Board("d.prj", W("ёлка"));
  Board("e.prj", W("Ель"), "07.03.2024", "3");    // the due day itself
  Board("f.prj", W("жук"), std::string(), "-5");  // due
  Board("g.prj", "zebra");
  Board("h.prj", "Apple");
  Board("i.prj", W("Ёж"), "01.01.2024", "1");  // due
  const BoardList list = Load();
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Apple", "zebra", W("арбуз"), W("Банан"), W("Ель"),
                                                   W("Ёж"), W("ёлка"), W("жук"), W("Яблоко")}));
  EXPECT_EQ(Ticks(list.rows), (std::vector<bool>{false, false, false, true, false, true, false, true, true}));
  EXPECT_EQ(list.rows.back().fileName, "a.prj");
}

TEST(BoardNameOrder, FoldsLatinAndCyrillicCase) {
  EXPECT_TRUE(BoardNameLess(W("Бв"), W("бг")));
  EXPECT_TRUE(BoardNameLess(W("бв"), W("Бг")));
  EXPECT_TRUE(BoardNameLess(W("Е"), W("ё")));
  EXPECT_TRUE(BoardNameLess(W("ё"), W("Ж")));
  EXPECT_TRUE(BoardNameLess(W("Іа"), W("іб")));  // Ukrainian І/і fold as well
  EXPECT_TRUE(BoardNameLess("ab", "Abc"));
  EXPECT_TRUE(BoardNameLess("z", W("а")));  // Latin before Cyrillic
}

TEST(BoardNameOrder, NumbersSortByTheirValue) {
  struct Case {
    const char* before;
    const char* after;
  };
  for (const Case& c :
       {Case{"Доска 2", "Доска 11"}, Case{"доска 9", "Доска 10"}, Case{"a2b", "a10a"}, Case{"a", "a1"},
        Case{"1", "a"}, Case{"v1.9", "v1.10"}, Case{"x007", "x8"}, Case{"Доска 99", "Доска 100500"}}) {
    SCOPED_TRACE(c.before);
    EXPECT_TRUE(BoardNameLess(W(c.before), W(c.after)));
    EXPECT_FALSE(BoardNameLess(W(c.after), W(c.before)));
  }
  // Equal values written differently still get a fixed order.
  EXPECT_NE(BoardNameLess("x02", "x2"), BoardNameLess("x2", "x02"));
}

TEST(BoardNameFilter, EveryWordMustOccurWhateverTheCase) {
  struct Case {
    const char* name;
    const char* filter;
    bool matches;
  };
  for (const Case& c :
       {Case{"Доска объявлений г. Москва", "", true}, Case{"Доска объявлений г. Москва", "  ", true},
        Case{"Доска объявлений г. Москва", "москва", true},
        Case{"Доска объявлений г. Москва", "МОСК доска", true},
        Case{"Доска объявлений г. Москва", "москва тула", false}, Case{"Ёлки-палки", "елки", true},
        Case{"Елки", "ЁЛ", true}, Case{"Board 11 Avito", "avito 11", true}, Case{"Board 11", "12", false}}) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.filter);
    EXPECT_EQ(BoardNameMatches(W(c.name), W(c.filter)), c.matches);
  }
}

TEST_F(BoardListTest, NameIsShownAsStoredWhateverTheFileName) {
  const std::string fileName = W("Барахолка") + ".prj";
  Board(fileName, W("Барахолка 2"));
  Board("one.prj", "Same");
  Board("two.prj", "Same");
  Board("noname.prj", "");
  const BoardList list = Load();
  EXPECT_EQ(Names(list), (std::vector<std::string>{"", "Same", "Same", W("Барахолка 2")}));
  EXPECT_EQ(list.rows[0].fileName, "noname.prj");
  EXPECT_EQ(list.rows[3].fileName, fileName);
}

TEST_F(BoardListTest, BadBoardsAreReportedAndTheGoodOnesStillListed) {
  Board("good1.prj", "First", "01.03.2024", "2");
  const std::string plain = Raw("plain.prj", "[Project]\r\nNAME=Plain\r\n");
  std::string cut = Packed(std::string(4000, 'q'));
  cut.replace(4, 4, std::string("\x00\x00\x00\x80", 4));  // a size no plain text has
  Raw("cut.prj", cut);
  // Twelve bytes that declare 64 MiB: reported, not listed with an empty name.
  Raw("short.prj", std::string("ADWP\x00\x00\x00\x04\xF6\xFB\xBD\xE0", 12));
  Raw("empty.prj", "");
  Board("baddate.prj", "BadDate", "31.02.2024", "1");
  Board("badperiod.prj", "BadPeriod", std::string(), "two");
  Board("good2.prj", "Second");

  const BoardList list = Load();
  EXPECT_EQ(Names(list), (std::vector<std::string>{"BadDate", "BadPeriod", "First", "Second"}));
  EXPECT_EQ(Ticks(list.rows), (std::vector<bool>{false, false, true, false}));

  ASSERT_EQ(list.failures.size(), 6u);
  std::vector<std::pair<std::string, bool>> failed;
  for (const BoardLoadFailure& f : list.failures) {
    failed.emplace_back(f.fileName, f.listed);
    EXPECT_FALSE(f.reason.empty()) << f.fileName;
  }
  EXPECT_EQ(failed, (std::vector<std::pair<std::string, bool>>{{"baddate.prj", true},
                                                               {"badperiod.prj", true},
                                                               {"cut.prj", false},
                                                               {"empty.prj", false},
                                                               {"plain.prj", false},
                                                               {"short.prj", false}}));
  EXPECT_NE(list.failures[0].reason.find("31.02.2024"), std::string::npos);
  EXPECT_NE(list.failures[5].reason.find("file is cut short"), std::string::npos);

  // Nothing the load could not read is changed on disk.
  EXPECT_EQ(m_dir.Read("plain.prj"), plain);
  EXPECT_EQ(m_dir.Read("cut.prj"), cut);

  EXPECT_EQ(BoardLoadHint(list.failures),
            W("Не удалось прочитать проектов: 6 (первый — baddate.prj: ") + list.failures[0].reason + ")");
  EXPECT_EQ(BoardLoadHint({}), "");
}

TEST_F(BoardListTest, OnlyBoardFilesOfAnExistingDirectoryAreListed) {
  Board("upper.PRJ", "Upper");
  Board("board.prj", "Board");
  Raw("base.dat", "[1]\r\n");
  Raw("notes.prj.txt", "x");
  Raw("sub/inner.prj", Packed("[Project]\r\nNAME=Inner\r\n"));
  EXPECT_EQ(Names(Load()), (std::vector<std::string>{"Board", "Upper"}));

  EXPECT_TRUE(LoadBoardList(m_dir.File("missing"), kToday).rows.empty());
  // An empty box names no directory at all, not the current one.
  const BoardList fromEmptyBox = LoadBoardList("", kToday);
  EXPECT_TRUE(fromEmptyBox.rows.empty());
  EXPECT_TRUE(fromEmptyBox.failures.empty());
}

TEST(BoardTicks, TickUntickAndInvert) {
  std::vector<BoardRow> rows = {{"a", true, ""}, {"b", false, ""}, {"c", true, ""}};
  InvertTicks(rows);
  EXPECT_EQ(Ticks(rows), (std::vector<bool>{false, true, false}));
  InvertTicks(rows);
  EXPECT_EQ(Ticks(rows), (std::vector<bool>{true, false, true}));
  TickAll(rows);
  EXPECT_EQ(Ticks(rows), (std::vector<bool>{true, true, true}));
  UntickAll(rows);
  EXPECT_EQ(Ticks(rows), (std::vector<bool>{false, false, false}));

  std::vector<BoardRow> none;
  TickAll(none);
  InvertTicks(none);
  EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace adw::engine
