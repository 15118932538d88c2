#include <gtest/gtest.h>

#include "engine/base/board_container.h"
#include "engine/reports/report_page.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using platform::W;

class RecordingShell : public platform::IShell {
 public:
  std::vector<std::string> opened;
  void Open(std::string_view target) override { opened.emplace_back(target); }
  void SetClipboardText(std::string_view) override {}
};

// A script directory with board files and a report directory of one ad.
class ReportFixture : public testing::Test {
 protected:
  void Board(std::string_view fileUtf8, std::string_view nameUtf8, std::string_view moreUtf8 = "") {
    std::string bytes = Tlzrw1::CompressBytes("[Project]\r\nNAME=" + W(nameUtf8) + "\r\n" + W(moreUtf8));
    bytes.replace(0, 4, "ADWP");
    m_script.Write(W(fileUtf8), bytes);
  }
  void Page(std::string_view fileUtf8, std::string_view content) { m_reports.Write(W(fileUtf8), content); }
  ReportOutcome Build() { return BuildReport(m_reports.Path(), m_script.Path()); }
  std::string Report() { return m_reports.Read("report.htm"); }
  std::string Link(std::string_view fileUtf8) { return m_reports.Path() + "/" + W(fileUtf8); }

  test::TempDir m_script;
  test::TempDir m_reports;
};

const std::string kSuccess =
    W(R"x(<td width="105">&nbsp; <strong><font color="#008040">Размещено</font></strong></td>)x");
const std::string kFailure =
    W(R"x(<td width="105">&nbsp; <strong><font color="#FF0000">Ошибка</font></strong></td>)x");
const std::string kSeparator =
    R"x(<tr><td width="100%" colspan="3"><hr size="1" color="#808080" noshade></td></tr>)x";

TEST_F(ReportFixture, ThreePagesGiveEightLinesWithExactPieces) {
  Board("Доска1.prj", "Доска Один");
  Board("Доска2.prj", "Доска Два");
  Board("Доска3.prj", "Доска Три");
  Page("Доска1.htm", "<html>Спасибо, объявление добавлено</html>\r\n");
  Page("Доска2.htm", "<html>Page not\r\nfound... Error 404</html>\r\n");
  Page("Доска3.htm", "<html>ok</html>\r\n");

  const ReportOutcome outcome = Build();
  ASSERT_EQ(outcome.status, ReportOutcome::Status::Written);
  EXPECT_EQ(outcome.rows, 3);
  const std::string expected =
      W(R"x(<html><head><title>Adwelder Pro report</title></head><body bgcolor="#FFFFFF"><div align="center"><center><table border="0" cellspacing="1" width="100%"><tr><td bgcolor="#8000FF" width="100%" colspan="3"><p align="center"><strong><font color="#FFFFFF">Adwelder Pro report</font></strong></td></tr><tr><td width="248" bgcolor="#808080"><font color="#FFFFFF">&nbsp; Наименование проекта</font></td><td width="105" bgcolor="#808080"><p align="center"><font color="#FFFFFF">Статус</font></td><td width="237" bgcolor="#808080"><font color="#FFFFFF">&nbsp; Результат работы</font></td></tr>)x") +
      "\r\n" + W(R"x(<tr><td width="248">&nbsp; <strong>Доска Один</strong></td>)x") + kSuccess +
      R"x(<td width="237">&nbsp; <a href=")x" + Link("Доска1.htm") + "\">" + W("Доска Один") +
      "</a></td></tr>\r\n" + kSeparator + "\r\n" +
      W(R"x(<tr><td width="248">&nbsp; <strong>Доска Два</strong></td>)x") + kFailure +
      R"x(<td width="237">&nbsp; <a href=")x" + Link("Доска2.htm") + "\">" + W("Доска Два") +
      "</a></td></tr>\r\n" + kSeparator + "\r\n" +
      W(R"x(<tr><td width="248">&nbsp; <strong>Доска Три</strong></td>)x") + kSuccess +
      R"x(<td width="237">&nbsp; <a href=")x" + Link("Доска3.htm") + "\">" + W("Доска Три") +
      "</a></td></tr>\r\n" + kSeparator + "\r\n</table></center></div></body></html>\r\n";
  EXPECT_EQ(Report(), expected);
  EXPECT_EQ(outcome.openTarget, "file://" + m_reports.Path() + "/report.htm");
}

TEST(ReportClassification, WordsInTheJoinedTextInAnyLatinCase) {
  struct Case {
    const char* page;
    bool failure;
  };
  const Case cases[] = {
      {"Page Not Found", true}, {"errors were found", true}, {"INVALID e-mail", true},
      {"all fine", false},      {"ERR\r\nOR", true},         {"NOT\r\nFOUND", false},
      {"not  found", false},    {"Ошибка", false},           {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PageReportsFailure(JoinPageLines(W(c.page))), c.failure) << c.page;
  }
}

// Boards with OK= or FAIL= are judged by their own texts; their pages can
// end up "Не подтверждено", the others keep the words test.
TEST_F(ReportFixture, BoardTextsGiveTheThirdState) {
  Board("Strict.prj", "Strict", "OK=Спасибо\r\nFAIL=закрыта\r\nCODE=KOI8-R\r\n");
  Board("Plain.prj", "Plain");
  struct Case {
    const char* board;
    std::string page;
    const char* state;
  };
  const Case cases[] = {
      // KOI8-R bytes of "Спасибо": found after decoding, and beats the words.
      {"Strict", "\xF3\xD0\xC1\xD3\xC9\xC2\xCF (no errors)", "Размещено"},
      {"Strict", "\xDA\xC1\xCB\xD2\xD9\xD4\xC1", "Ошибка"},  // "закрыта"
      {"Strict", "Please wait", "Не подтверждено"},
      {"Strict", "error retrieving page", "Ошибка"},
      {"Plain", "Please wait", "Размещено"},
      {"Plain", "Error", "Ошибка"},
      // The run's mark at the end decides; the same text inside the reply
      // does not.
      {"Plain", "<p>ok</p>\r\n<!-- adwelder-verdict: failed -->\r\n", "Ошибка"},
      {"Strict", "\xF3\xD0\xC1\xD3\xC9\xC2\xCF\r\n<!-- adwelder-verdict: unconfirmed -->\r\n",
       "Не подтверждено"},
      {"Plain", "<!-- adwelder-verdict: failed --> and more", "Размещено"},
  };
  for (const Case& c : cases) {
    Page(std::string(c.board) + ".htm", c.page);
    ASSERT_EQ(Build().status, ReportOutcome::Status::Written);
    const std::string report = Report();
    const std::size_t at = report.find(W("<strong>") + c.board + "</strong>");
    ASSERT_NE(at, std::string::npos) << c.board;
    const std::string row = report.substr(at, report.find("</tr>", at) - at);
    EXPECT_NE(row.find(">" + W(c.state) + "</font>"), std::string::npos) << c.board << ": " << c.page;
  }
}

TEST_F(ReportFixture, EscapesNamesAndPathsAndSurvivesAMissingBoardFile) {
  Board("Amp.prj", "<b>Tom & Jerry</b>");
  Page("Amp.htm", "ok");
  Page("Gone#1.htm", "ok");  // its board file was deleted
  ASSERT_EQ(Build().status, ReportOutcome::Status::Written);
  const std::string report = Report();
  EXPECT_NE(report.find("<strong>&lt;b&gt;Tom &amp; Jerry&lt;/b&gt;</strong>"), std::string::npos);
  EXPECT_EQ(report.find("<b>Tom"), std::string::npos);
  EXPECT_NE(report.find("<strong>Gone#1</strong>"), std::string::npos);
  EXPECT_NE(report.find("href=\"" + m_reports.Path() + "/Gone%231.htm\""), std::string::npos);
  EXPECT_EQ(HtmlLinkTarget("/a b/\"x\"?.htm"), "/a b/&quot;x&quot;%3F.htm");
}

TEST_F(ReportFixture, NoPagesNoReportAndTheOldOneIsGone) {
  Page("report.htm", "old report");  // also what a board named "report" leaves
  m_reports.Write("notes.txt", "x");
  RecordSet ads = MakeAdsRecordSet();
  ads.SetValue(ads.Append(), "CATALOG", m_reports.Path());
  RecordingShell shell;
  EXPECT_EQ(ViewReport(ads, m_script.Path(), shell).status, ReportOutcome::Status::NoPages);
  EXPECT_FALSE(platform::FileExists(m_reports.File("report.htm")));
  EXPECT_TRUE(shell.opened.empty());

  // With a page, the report is written and opened.
  Page("B.htm", "ok");
  EXPECT_EQ(ViewReport(ads, m_script.Path(), shell).status, ReportOutcome::Status::Written);
  EXPECT_EQ(shell.opened, std::vector<std::string>{"file://" + m_reports.Path() + "/report.htm"});

  // Clear removes the pages and the report, and leaves other files; then
  // View shows nothing.
  const ClearOutcome cleared = ClearReport(ads);
  EXPECT_EQ(cleared.deleted, 2);
  EXPECT_TRUE(platform::ListFiles(m_reports.Path(), "*.htm").empty());
  EXPECT_TRUE(platform::FileExists(m_reports.File("notes.txt")));
  EXPECT_EQ(ViewReport(ads, m_script.Path(), shell).status, ReportOutcome::Status::NoPages);
  EXPECT_EQ(shell.opened.size(), 1u);
}

TEST_F(ReportFixture, AdWithoutReportDirectoryIsRefusedWithAHint) {
  RecordSet ads = MakeAdsRecordSet();
  RecordingShell shell;
  EXPECT_EQ(ViewReport(ads, m_script.Path(), shell).status, ReportOutcome::Status::NoRecord);
  ads.SetValue(ads.Append(), "CATALOG", " ");
  const ReportOutcome view = ViewReport(ads, m_script.Path(), shell);
  EXPECT_EQ(view.status, ReportOutcome::Status::NoReportDirectory);
  EXPECT_EQ(view.hint, W("Для этого проекта не задан каталог отчетов"));
  EXPECT_EQ(ClearReport(ads).hint, W("Для этого проекта не задан каталог отчетов"));
  EXPECT_EQ(ClearReport(ads).deleted, 0);
  EXPECT_TRUE(shell.opened.empty());
}

TEST_F(ReportFixture, UnwritableReportIsReportedAndNotOpened) {
  Page("B.htm", "ok");
  m_reports.Write("report.htm/blocker", "a directory where the report should go");
  const ReportOutcome outcome = Build();
  EXPECT_EQ(outcome.status, ReportOutcome::Status::WriteFailed);
  EXPECT_EQ(outcome.hint, "Unable to write to " + m_reports.Path() + "/report.htm");
  EXPECT_TRUE(outcome.openTarget.empty());
}

}  // namespace
}  // namespace adw::engine
