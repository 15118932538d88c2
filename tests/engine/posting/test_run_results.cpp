#include <gtest/gtest.h>

#include "engine/posting/run_results.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using namespace std::chrono;

struct PercentCase {
  int successes, failures, jobs;
  std::optional<int> expected;
};

TEST(RunResultsPercent, RoundsHalvesToEven) {
  const PercentCase cases[] = {
      {1, 0, 3, 33},  {1, 1, 3, 67},           {2, 1, 3, 100},  // three jobs, one failing
      {1, 0, 8, 12},  {2, 1, 8, 38},                            // 12.5 -> 12, 37.5 -> 38
      {0, 5, 8, 62},  {7, 0, 8, 88},                            // 62.5 -> 62, 87.5 -> 88
      {1, 0, 200, 0}, {3, 0, 200, 2},                           // 0.5 -> 0, 1.5 -> 2
      {0, 0, 5, 0},   {1, 0, 0, std::nullopt},                  // no jobs: no percentage
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgressPercent(c.successes, c.failures, c.jobs), c.expected)
        << c.successes << "+" << c.failures << " of " << c.jobs;
  }
  EXPECT_EQ(ProgressText(RunCounters{8, 0, 2, 1}, "12%"), "38%");
  EXPECT_EQ(ProgressText(RunCounters{0, 0, 0, 0}, "12%"), "12%");
}

TEST(RunResultsPages, FileNameStaysInsideTheReportDirectory) {
  EXPECT_EQ(ResultPageFileName("Доска1"), "Доска1.htm");
  EXPECT_EQ(ResultPageFileName("../../etc/passwd"), ".._.._etc_passwd.htm");
  EXPECT_EQ(ResultPageFileName("a\\b"), "a_b.htm");
  EXPECT_EQ(ResultPageFileName(".."), "...htm");
  EXPECT_EQ(ResultPagePath("Доска1\t/tmp/reports"), "/tmp/reports/Доска1.htm");
  EXPECT_EQ(ResultPagePath("../x\t/tmp/reports/"), "/tmp/reports/.._x.htm");
  // An ad without a report directory gets no page at all (not one in "/").
  EXPECT_EQ(ResultPagePath("Доска1\t"), std::nullopt);
  EXPECT_EQ(ResultPagePath("Доска1\t  "), std::nullopt);
  EXPECT_EQ(ResultPagePath("Доска1"), std::nullopt);
  const auto [board, dir] = SplitJobLabel("A\tB\tC");
  EXPECT_EQ(board, "A");
  EXPECT_EQ(dir, "B\tC");
}

TEST(RunResultsPages, RecordWritesPageCountsAndLogsInOrder) {
  test::TempDir dir;
  const std::string log = dir.File("adwelder.log");
  RunCounters counters{3, 0, 0, 0};
  JobResult ok{
      "http://s/", "Board\t" + dir.Path(), JobVerdict::Ok, "<html>ok</html>", "", 10035, "", false, 0};
  EXPECT_EQ(RecordJobResult(ok, {true, true}, log, counters), dir.File("Board.htm"));
  EXPECT_EQ(dir.Read("Board.htm"), "<html>ok</html>\r\n");

  // A later job of the same board and directory replaces the page.
  JobResult failed{"http://s/",
                   "Board\t" + dir.Path(),
                   JobVerdict::Failed,
                   "error retrieving page",
                   "",
                   10061,
                   "",
                   false,
                   0};
  RecordJobResult(failed, {true, false}, log, counters);
  EXPECT_EQ(dir.Read("Board.htm"), "error retrieving page\r\n");

  // Reports off: no page, no status text; a missing directory: no page, but
  // the status text still names it and the run goes on.
  JobResult other{"http://s/", "Other\t" + dir.Path(), JobVerdict::Ok, "x", "", 0, "", false, 0};
  EXPECT_EQ(RecordJobResult(other, {false, false}, log, counters), "");
  EXPECT_FALSE(platform::FileExists(dir.File("Other.htm")));
  JobResult missing{"http://s/", "Other\t" + dir.File("no/such"), JobVerdict::Ok, "x", "", 0, "", false, 0};
  EXPECT_EQ(RecordJobResult(missing, {true, false}, log, counters), dir.File("no/such/Other.htm"));

  EXPECT_EQ(counters.successes, 3);
  EXPECT_EQ(counters.failures, 1);
  EXPECT_EQ(counters.unconfirmed, 0);
  // Only the first job had the log on.
  const std::string logText = dir.Read("adwelder.log");
  // "result=N" first, then the state, the board and the ad.
  EXPECT_NE(logText.find("= result=10035 state=ok board=Board ad=\r\n"), std::string::npos) << logText;
  EXPECT_EQ(logText.find("result=", logText.find("result=") + 1), std::string::npos);
}

TEST(RunResultsPages, UnconfirmedAndRefusedJobsHaveTheirOwnCounterAndLogText) {
  test::TempDir dir;
  const std::string log = dir.File("adwelder.log");
  RunCounters counters{4, 0, 0, 0};
  JobResult unconfirmed{"http://s/",
                        "B\t" + dir.Path(),
                        JobVerdict::Unconfirmed,
                        "<p>?</p>",
                        "",
                        0,
                        platform::W("в ответе доски нет текста OK"),
                        false,
                        200};
  JobResult refused{"http://s/",
                    "B\t" + dir.Path(),
                    JobVerdict::Failed,
                    "<p>no</p>",
                    "",
                    0,
                    platform::W("доска ответила статусом 403"),
                    false,
                    403};
  RecordJobResult(unconfirmed, {true, true}, log, counters);
  EXPECT_EQ(dir.Read("B.htm"), "<p>?</p>\r\n<p>" +
                                   platform::W("Не подтверждено: в ответе доски нет текста OK") +
                                   "</p>\r\n<!-- adwelder-verdict: unconfirmed -->\r\n");
  RecordJobResult(refused, {true, true}, log, counters);
  // The page alone would not tell a 403 from a success: it says so.
  EXPECT_EQ(dir.Read("B.htm"), "<p>no</p>\r\n<p>" + platform::W("Ошибка: доска ответила статусом 403") +
                                   "</p>\r\n<!-- adwelder-verdict: failed -->\r\n");
  EXPECT_EQ(counters.unconfirmed, 1);
  EXPECT_EQ(counters.failures, 1);
  EXPECT_EQ(counters.successes, 0);
  // Both count as finished for the percentage: 2 of 4.
  EXPECT_EQ(ProgressText(counters, "0%"), "50%");
  const std::string logText = dir.Read("adwelder.log");
  EXPECT_NE(
      logText.find(platform::W(
          "= result=0 state=unconfirmed board=B ad= Не подтверждено: в ответе доски нет текста OK\r\n")),
      std::string::npos)
      << logText;
  EXPECT_NE(logText.find(platform::W("= result=0 state=failed board=B ad= доска ответила статусом 403\r\n")),
            std::string::npos);
}

// A failed job's reason and a cut reply reach the page and the log; the
// log value still begins with the socket error.
TEST(RunResultsPages, FailureReasonAndCutReplyAreRecorded) {
  test::TempDir dir;
  const std::string log = dir.File("adwelder.log");
  RunCounters counters{2, 0, 0, 0};
  JobResult failed{"https://s/",
                   "Board\t" + dir.Path(),
                   JobVerdict::Failed,
                   "error retrieving page",
                   "",
                   0,
                   "TLS: certificate verify failed: self-signed <certificate>\r\nX",
                   false,
                   0};
  RecordJobResult(failed, {true, true}, log, counters);
  EXPECT_EQ(dir.Read("Board.htm"),
            "error retrieving page\r\n<p>" + platform::W("Ошибка: ") +
                "TLS: certificate verify failed: self-signed &lt;certificate&gt;  X</p>\r\n");
  EXPECT_EQ(failed.body, "error retrieving page");  // given back as it was
  // After "result=N" and the state, board and ad, the reason ends the value.
  EXPECT_NE(dir.Read("adwelder.log")
                .find("= result=0 state=failed board=Board ad= TLS: certificate verify failed: "
                      "self-signed <certificate>  X\r\n"),
            std::string::npos)
      << dir.Read("adwelder.log");

  JobResult cut{"https://s/", "Cut\t" + dir.Path(), JobVerdict::Ok, "0123", "", 0, "", true, 0};
  RecordJobResult(cut, {true, false}, log, counters);
  EXPECT_EQ(dir.Read("Cut.htm"),
            "0123\r\n<p>" + platform::W("Ответ сервера обрезан: сохранено первых 8 МБ.") + "</p>\r\n");
  EXPECT_EQ(FailureField("a\tb\nc"), "a b c");
  EXPECT_EQ(FailureField(""), "error retrieving page");
}

TEST(RunResultsLog, EntryHasDateSectionTimeKeyAndKeepsEveryJob) {
  test::TempDir dir;
  const std::string log = dir.File("adwelder.log");
  const Date d{year(2024), month(1), day(22)};
  WriteLogEntry(log, "", 10035, false, {d, {9, 5, 7}});
  EXPECT_FALSE(platform::FileExists(log)) << "log off creates no file";

  WriteLogEntry(log, "", 10035, true, {d, {9, 5, 7}});
  WriteLogEntry(log, "", 10061, true, {d, {9, 5, 7}});  // the same second
  WriteLogEntry(log, "", 0, true, {d, {10, 0, 0}});
  WriteLogEntry(log, "", 0, true, {Date{year(2024), month(1), day(23)}, {0, 0, 1}});
  EXPECT_EQ(dir.Read("adwelder.log"),
            "[22.01.2024]\r\n9:05:07= result=10035\r\n9:05:07= result=10061\r\n10:00:00= result=0\r\n"
            "[23.01.2024]\r\n0:00:01= result=0\r\n");
  const platform::IniFile logFile(log);
  EXPECT_EQ(logFile.ReadString("22.01.2024", "10:00:00"), "result=0");
}

TEST(RunResultsLog, AppendsAfterAFileWrittenByOthers) {
  test::TempDir dir;
  const Date d{year(2024), month(1), day(22)};
  // The last section of an existing log is found again, and a last line
  // without a line break is ended first.
  dir.Write("a.log", "[21.01.2024]\r\n1:00:00= result=0\r\n[22.01.2024]\r\n2:00:00= result=1");
  WriteLogEntry(dir.File("a.log"), "", 7, true, {d, {3, 0, 0}});
  EXPECT_EQ(
      dir.Read("a.log"),
      "[21.01.2024]\r\n1:00:00= result=0\r\n[22.01.2024]\r\n2:00:00= result=1\r\n3:00:00= result=7\r\n");
  // A change behind the writer's back is noticed.
  dir.Write("a.log", "[22.01.2024]\r\n");
  dir.Write("a.log", "[ 21.01.2024 ]\n");
  WriteLogEntry(dir.File("a.log"), "", 8, true, {d, {4, 0, 0}});
  EXPECT_EQ(dir.Read("a.log"), "[ 21.01.2024 ]\n[22.01.2024]\r\n4:00:00= result=8\r\n");
  // An unwritable log is ignored.
  WriteLogEntry(dir.File("no/such/dir.log"), "", 0, true, {d, {4, 0, 0}});
}

TEST(RunResultsLog, LogNameFollowsTheSettingsFile) {
  EXPECT_EQ(LogFileName("/opt/adw/adwelder.ini"), "/opt/adw/adwelder.log");
  EXPECT_EQ(LogFileName("/opt/adw/adwelder.INI"), "/opt/adw/adwelder.log");
  EXPECT_EQ(LogFileName("/opt/adw.d/adwelder"), "/opt/adw.d/adwelder.log");
}

}  // namespace
}  // namespace adw::engine
