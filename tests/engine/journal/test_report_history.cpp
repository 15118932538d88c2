// What the journal adds to report.htm and to the log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/journal/report_history.h"
#include "engine/journal/run_recorder.h"
#include "engine/posting/run_results.h"
#include "engine/reports/report_page.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace {

using namespace adw::engine;
using adw::platform::W;

JournalJob Row(const std::string& board, const std::string& ad, const std::string& reportDir) {
  JournalJob job;
  job.board = board;
  job.ad = ad;
  job.url = "http://127.0.0.1:1/";
  job.label = board + "\t" + reportDir;
  job.body = "t=" + ad;
  return job;
}

JobResult Outcome(int index, bool success) {
  JobResult result;
  result.jobIndex = index;
  result.verdict = (success) ? JobVerdict::Ok : JobVerdict::Failed;
  return result;
}

TEST(ReportHistory, RowsSayWhenTheirResultCameAndTheLastRunsFollow) {
  adw::test::TempDir dir;
  adw::test::TempDir reports;
  adw::test::TempDir script;
  RunJournal journal(dir.File("j.db"));
  std::int64_t clock = 1'800'000'000'000LL;
  const auto post = [&](std::vector<JournalJob> rows, std::vector<bool> outcomes) {
    RunRecorder recorder(journal, RunOrigin::Window, RunKind::Post, std::move(rows));
    recorder.SetClock([&] { return clock; });
    for (std::size_t k = 0; k < outcomes.size(); ++k) {
      recorder.JobStarting(static_cast<int>(k));
      recorder.Settle();
      clock += 1000;
      recorder.JobReported(Outcome(static_cast<int>(k), outcomes[k]));
    }
    recorder.RunEnded();
    clock += 60'000;
  };
  post({Row("Alpha", "Ad1", reports.Path()), Row("Beta", "Ad1", reports.Path()),
        Row("Alpha", "Ad1", "/other")},
       {true, false, true});
  post({Row("Beta", "Ad1", reports.Path())}, {true});

  const ReportHistory history = ReportHistoryFor(journal, reports.Path());
  ASSERT_EQ(history.recent.size(), 3u);  // the other directory's job is not there
  EXPECT_EQ(history.recent[0].board, "Beta");
  EXPECT_EQ(history.recent[0].state, "ok");
  EXPECT_EQ(history.recent[2].board, "Alpha");
  EXPECT_EQ(history.resultTimes.at("beta.htm"), FormatStamp(1'800'000'000'000LL + 3000 + 60'000 + 1000));
  EXPECT_EQ(ReportHistoryFor(journal, reports.Path(), 1).recent.size(), 1u);

  reports.Write("Alpha.htm", "thank you\r\n");
  reports.Write("Beta.htm", "thank you\r\n");
  reports.Write("Gamma.htm", "Error\r\n");  // no job of it in the journal
  ASSERT_EQ(BuildReport(reports.Path(), script.Path(), &history).status, ReportOutcome::Status::Written);
  const std::string page = reports.Read("report.htm");
  const std::string alphaRow = page.substr(
      page.find("<strong>Alpha"), page.find("\r\n", page.find("<strong>Alpha")) - page.find("<strong>Alpha"));
  EXPECT_NE(alphaRow.find(W("Размещено</font></strong><br>&nbsp; <small>") +
                          history.resultTimes.at("alpha.htm") + "</small></td>"),
            std::string::npos)
      << alphaRow;
  const std::size_t gamma = page.find("<strong>Gamma");
  EXPECT_EQ(page.substr(gamma, page.find("\r\n", gamma) - gamma).find("<small>"), std::string::npos);
  // 1 header + 3 x 2 rows + 1 title + 3 history rows + 1 footer.
  std::size_t lines = 0;
  for (std::size_t at = page.find("\r\n"); at != std::string::npos; at = page.find("\r\n", at + 2)) ++lines;
  EXPECT_EQ(lines, 12u);
  EXPECT_NE(page.find(W("Последние размещения")), std::string::npos);
  EXPECT_NE(page.find(W(">Ошибка</font></td><td width=\"237\">&nbsp; ")), std::string::npos);

  // Without a journal the report is the plain one.
  ASSERT_EQ(BuildReport(reports.Path(), script.Path()).status, ReportOutcome::Status::Written);
  EXPECT_EQ(reports.Read("report.htm").find("<small>"), std::string::npos);
}

TEST(LogEntryDetails, NameStateBoardAndAdAfterTheResultNumber) {
  adw::test::TempDir dir;
  JobResult result;
  result.label = W("Доска=1\t/r");
  result.ad = "Ad\r\n1";
  result.lastSocketError = 10035;
  for (const bool success : {true, false}) {
    result.verdict = (success) ? JobVerdict::Ok : JobVerdict::Failed;
    RunCounters counters;
    RecordJobResult(result, ResultSwitches{false, true}, dir.File("a.log"), counters);
  }
  const std::string log = dir.Read("a.log");
  EXPECT_NE(log.find(W("= result=10035 state=ok board=Доска 1 ad=Ad  1\r\n")), std::string::npos) << log;
  EXPECT_NE(log.find(W("= result=10035 state=failed board=Доска 1 ad=Ad  1\r\n")), std::string::npos) << log;
}

}  // namespace
