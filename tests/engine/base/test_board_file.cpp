#include <gtest/gtest.h>

#include <functional>

#include "engine/base/board_container.h"
#include "engine/base/board_file.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using platform::W;
using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using Entries = std::vector<std::pair<std::string, std::string>>;

// A stored board file: the container with the signature it carries on disk.
std::string PackedBoard(std::string_view plain) {
  std::string bytes = Tlzrw1::CompressBytes(plain);
  bytes.replace(0, 4, "ADWP");
  return bytes;
}

// The example board as the wizard writes it, with CR LF line ends, the
// one-blank line after CODE and three empty lines at the end of MAP.
std::string ExampleBoardText() {
  return W(
      "[Project]\r\n"
      "NAME=Барахолка\r\n"
      "SUBMIT=http://127.0.0.1/add.cgi\r\n"
      "SUBBODY=subject=$TEMA&text=$TEXT&rubr=3&send=Отправить\r\n"
      "REQUEST=http://127.0.0.1/\r\n"
      "CODE=KOI8-R\r\n"
      " \r\n"
      "[MAP]\r\n"
      "3$rubr=Ноутбуки$comp\r\n"
      "7$rubr=Автомобили$auto\r\n"
      "\r\n"
      "\r\n"
      "\r\n");
}

struct KeyCase {
  const char* label;
  std::string text;
  std::function<std::string(const BoardFile&)> read;
  std::string expected;
};

TEST(BoardFileReading, ProjectKeysFollowTheReadingRules) {
  const std::string longBody(3000, 'x');
  const auto name = [](const BoardFile& b) { return b.Name(); };
  const auto code = [](const BoardFile& b) { return b.Code(); };
  const std::vector<KeyCase> cases = {
      {"names without regard to case", "[project]\r\nname=A\r\n", name, "A"},
      {"section in capitals", "[PROJECT]\r\nNaMe=A\r\n", name, "A"},
      {"blanks around key and value", "[Project]\r\n  NAME  =  A b  \r\n", name, "A b"},
      {"double quotes dropped", "[Project]\r\nNAME=\"A\"\r\n", name, "A"},
      {"single quotes dropped", "[Project]\r\nNAME='A'\r\n", name, "A"},
      {"unmatched quotes kept", "[Project]\r\nNAME='A\"\r\n", name, "'A\""},
      {"first line wins", "[Project]\r\nNAME=A\r\nNAME=B\r\n", name, "A"},
      {"key of another section not seen", "[MAP]\r\nNAME=A\r\n[Project]\r\n", name, ""},
      {"blank lines ignored", "\r\n  \r\n[Project]\r\n\r\n \t \r\nNAME=A\r\n", name, "A"},
      {"bare LF line ends", "[Project]\nNAME=A\nSUBMIT=B\n", name, "A"},
      {"missing section reads as empty", "", name, ""},
      {"CODE defaults to win", "[Project]\r\nNAME=A\r\n", code, "win"},
      {"CODE kept as written", "[Project]\r\nCODE=koi8-r\r\n", code, "koi8-r"},
      {"SUBBODY cut to 2,047 characters", "[Project]\r\nSUBBODY=" + longBody + "\r\n",
       [](const BoardFile& b) { return b.SubBody(); }, longBody.substr(0, 2047)},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(c.read(BoardFile::FromText(c.text)), c.expected) << c.label;
  }
}

TEST(BoardFileReading, LastSendAndPeriodTellAbsentFromEmpty) {
  const BoardFile absent = BoardFile::FromText("[Project]\r\nNAME=A\r\n");
  EXPECT_EQ(absent.LastSend(), std::nullopt);
  EXPECT_EQ(absent.Period(), std::nullopt);

  const BoardFile empty = BoardFile::FromText("[Project]\r\nLASTSEND=\r\nPeriod=\r\n");
  EXPECT_EQ(empty.LastSend(), std::optional<std::string>(""));
  EXPECT_EQ(empty.Period(), std::optional<std::string>(""));

  const BoardFile set = BoardFile::FromText("[project]\r\nlastsend=22.01.2000\r\nPERIOD=3\r\n");
  EXPECT_EQ(set.LastSend(), std::optional<std::string>("22.01.2000"));
  EXPECT_EQ(set.Period(), std::optional<std::string>("3"));
}

struct MapCase {
  const char* label;
  std::string mapLines;
  Entries expected;
};

TEST(BoardFileReading, MapEntriesFollowTheReadingRules) {
  const std::string comp = W("Ноутбуки$comp");
  const std::vector<MapCase> cases = {
      {"no lines", "", {}},
      {"empty binding left out", "5$rubr=\r\n3$rubr=" + comp + "\r\n", {{"3$rubr", comp}}},
      {"line without = left out", "just text\r\n3$rubr=" + comp + "\r\n", {{"3$rubr", comp}}},
      {"keys differing in case give the first binding",
       "3$rubr=" + comp + "\r\n3$RUBR=" + W("Планшеты$comp") + "\r\n",
       {{"3$rubr", comp}}},
      {"duplicate lines give one entry",
       "3$rubr=" + comp + "\r\n3$rubr=" + comp + "\r\n",
       {{"3$rubr", comp}}},
      {"a whole-list binding has an empty option value", "$rubr=" + comp + "\r\n", {{"$rubr", comp}}},
      {"an = inside a trailing URL makes one more entry",
       "3$rubr=" + comp + "\r\nhttp://127.0.0.1/a?b=c\r\n\r\n",
       {{"3$rubr", comp}, {"http://127.0.0.1/a?b", "c"}}},
      {"blank lines between entries ignored",
       "\r\n3$rubr=" + comp + "\r\n   \r\n7$rubr=x$auto\r\n",
       {{"3$rubr", comp}, {"7$rubr", "x$auto"}}},
  };
  for (const MapCase& c : cases) {
    const BoardFile board = BoardFile::FromText("[Project]\r\nNAME=A\r\n[MAP]\r\n" + c.mapLines);
    EXPECT_EQ(board.MapEntries(), c.expected) << c.label;
  }
}

TEST(BoardFileReading, MapKeysBeyondTheListingBoundAreNotSeen) {
  // 200 keys of 99 characters: each takes 100 bytes of the 16,384-byte
  // listing, so the first 163 are seen and the rest are not.
  std::string text = "[MAP]\r\n";
  for (int i = 0; i < 200; ++i) {
    std::string key = "k" + std::to_string(1000 + i);
    key.resize(99, 'x');
    text += key + "=v\r\n";
  }
  const Entries entries = BoardFile::FromText(text).MapEntries();
  ASSERT_EQ(entries.size(), 163u);
  EXPECT_EQ(entries.front().first.substr(0, 5), "k1000");
  EXPECT_EQ(entries.back().first.substr(0, 5), "k1162");
}

TEST(BoardFileReading, TrailingLinesOfTheWizardChangeNothing) {
  std::string without = ExampleBoardText();
  without.resize(without.size() - 6);  // the three empty lines
  const BoardFile a = BoardFile::FromText(ExampleBoardText());
  const BoardFile b = BoardFile::FromText(without);
  EXPECT_EQ(a.MapEntries(), b.MapEntries());
  EXPECT_EQ(a.Name(), b.Name());
  EXPECT_EQ(a.Code(), b.Code());
}

TEST(BoardFileStored, ExampleBoardReadsBack) {
  test::TempDir dir;
  const std::string fileName = W("Барахолка") + ".prj";
  dir.Write(fileName, PackedBoard(ExampleBoardText()));

  const BoardFile board = BoardFile::Read(dir.Path(), fileName);
  EXPECT_EQ(board.Name(), W("Барахолка"));
  EXPECT_EQ(board.Submit(), "http://127.0.0.1/add.cgi");
  EXPECT_EQ(board.SubBody(), W("subject=$TEMA&text=$TEXT&rubr=3&send=Отправить"));
  EXPECT_EQ(board.Request(), "http://127.0.0.1/");
  EXPECT_EQ(board.Code(), "KOI8-R");
  EXPECT_EQ(board.MapEntries(), (Entries{{"3$rubr", W("Ноутбуки$comp")}, {"7$rubr", W("Автомобили$auto")}}));
  // Without LASTSEND and Period the defaults (today, one day) never make it due.
  const Date today{year(2024), month(3), day(10)};
  EXPECT_FALSE(CheckDue(board, today).due);
  EXPECT_TRUE(CheckDue(board, today).problem.empty());
}

TEST(BoardFileStored, UnreadableFilesThrowAndStayUntouched) {
  test::TempDir dir;
  const std::string plain = "[Project]\r\nNAME=plain\r\n";
  // A size field no plain text can have; a cut stream, by contrast, still
  // decodes (it reads as zero bits past its end).
  std::string damaged = PackedBoard(std::string(5000, 'a'));
  damaged.replace(4, 4, "\xff\xff\xff\xff");
  dir.Write("plain.prj", plain);
  dir.Write("damaged.prj", damaged);
  dir.Write("empty.prj", "");
  dir.Write("short.prj", "ADWP\x01");

  for (const char* name : {"plain.prj", "damaged.prj", "empty.prj", "short.prj", "missing.prj"}) {
    EXPECT_ANY_THROW(BoardFile::Read(dir.Path(), name)) << name;
  }
  EXPECT_EQ(dir.Read("plain.prj"), plain);
  EXPECT_EQ(dir.Read("damaged.prj"), damaged);
}

struct DueCase {
  const char* label;
  std::optional<std::string> lastSend;
  std::optional<std::string> period;
  bool due;
  bool problem;
};

TEST(DueRule, TableOfMarks) {
  const Date today{year(2024), month(3), day(10)};
  const std::vector<DueCase> cases = {
      {"3 days ago, period 2", "07.03.2024", "2", true, false},
      {"3 days ago, period 3: the due day itself", "07.03.2024", "3", false, false},
      {"3 days ago, period 4", "07.03.2024", "4", false, false},
      {"3 days ago, default period", "07.03.2024", std::nullopt, true, false},
      {"no LASTSEND, period 0", std::nullopt, "0", false, false},
      {"no LASTSEND, no period", std::nullopt, std::nullopt, false, false},
      {"no LASTSEND, negative period", std::nullopt, "-1", true, false},
      {"across a leap February, due day", "31.12.2023", "70", false, false},
      {"across a leap February, one day later", "31.12.2023", "69", true, false},
      {"one-digit day and month", "1.3.2024", "8", true, false},
      {"two-digit year", "07.03.24", "2", true, false},
      {"signed period", "07.03.2024", "+2", true, false},
      {"largest period", "07.03.2024", "2147483647", false, false},
      {"smallest period", "07.03.2024", "-2147483648", true, false},
      {"future LASTSEND", "10.03.2025", "1", false, false},
      {"day beyond the month", "30.02.2024", "1", false, true},
      {"not a date", "yesterday", "1", false, true},
      {"ISO order", "2024-03-07", "1", false, true},
      {"empty LASTSEND", "", "1", false, true},
      {"fractional period", "07.03.2024", "2.5", false, true},
      {"period with letters", "07.03.2024", "2d", false, true},
      {"empty period", "07.03.2024", "", false, true},
      {"period beyond 32 bits", "07.03.2024", "2147483648", false, true},
      {"hex period", std::nullopt, "$10", false, true},
  };
  for (const DueCase& c : cases) {
    const DueCheck check = CheckDue(c.lastSend, c.period, today);
    EXPECT_EQ(check.due, c.due) << c.label;
    EXPECT_EQ(!check.problem.empty(), c.problem) << c.label << ": " << check.problem;
  }
}

TEST(ShortDate, FormatsAndParses) {
  EXPECT_EQ(FormatShortDate(Date{year(2000), month(1), day(22)}), "22.01.2000");
  EXPECT_EQ(FormatShortDate(Date{year(987), month(12), day(5)}), "05.12.0987");
  EXPECT_EQ(ParseShortDate("22.01.2000"), (Date{year(2000), month(1), day(22)}));
  EXPECT_EQ(ParseShortDate("29.02.2024"), (Date{year(2024), month(2), day(29)}));
  EXPECT_EQ(ParseShortDate("1.2.99"), (Date{year(2099), month(2), day(1)}));
  for (const char* bad :
       {"", "22.01", "22.01.", "22-01-2000", "22.01.2000 ", "x22.01.2000", "2000.01.22", "29.02.2023",
        "00.01.2000", "22.00.2000", "22.13.2000", "22.01.200", "22.01.00000", "01.01.0000", "-1.01.2000"}) {
    EXPECT_EQ(ParseShortDate(bad), std::nullopt) << bad;
  }
  const Date today = Today();
  EXPECT_TRUE(today.ok());
  EXPECT_EQ(ParseShortDate(FormatShortDate(today)), today);
}

TEST(ShortDate, LongTimeHasNoLeadingZeroHour) {
  EXPECT_EQ(FormatLongTime({9, 5, 7}), "9:05:07");
  EXPECT_EQ(FormatLongTime({0, 0, 0}), "0:00:00");
  EXPECT_EQ(FormatLongTime({23, 59, 59}), "23:59:59");
}

}  // namespace
}  // namespace adw::engine
