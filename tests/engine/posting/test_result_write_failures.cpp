#include <gtest/gtest.h>

#include "engine/posting/result_write_failures.h"
#include "engine/posting/run_results.h"
#include "platform/files.h"
#include "support/file_size_cap.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

using Kind = ResultWriteFailure::Kind;

TEST(ResultWriteFailures, PagesAndLogEntriesThatCannotBeWrittenAreToldWithTheirReason) {
  TakeResultWriteFailures();
  test::TempDir dir;
  const std::string log = dir.File("adwelder.log");
  RunCounters counters{4, 0, 0, 0};
  const LocalDateTime now{std::chrono::year(2024) / 3 / 10, TimeOfDay{9, 5, 7}};

  // All written: nothing to tell.
  JobResult ok{"http://s/", "Board\t" + dir.Path(), JobVerdict::Ok, "page", "", 10035, "", false, 0};
  RecordJobResult(ok, {true, true}, log, counters);
  EXPECT_TRUE(TakeResultWriteFailures().Empty());

  // A report directory that is not there.
  JobResult lost{"http://s/", "Lost\t" + dir.File("no/such"), JobVerdict::Ok, "page", "", 0, "", false, 0};
  RecordJobResult(lost, {true, false}, log, counters);

  // A full disk: the page and the log entry both fail, the run still counts.
  {
    test::FileSizeCap cap(8);
    JobResult big{"http://s/",
                  "Big\t" + dir.Path(),
                  JobVerdict::Failed,
                  std::string(4096, 'b'),
                  "",
                  10061,
                  "",
                  false,
                  0};
    RecordJobResult(big, {true, false}, log, counters);
    WriteLogEntry(log, "", 10061, true, now);
  }
  EXPECT_EQ(counters.successes, 2);
  EXPECT_EQ(counters.failures, 1);
  EXPECT_FALSE(platform::FileExists(dir.File("Big.htm")));

  const ResultWriteFailures failures = TakeResultWriteFailures();
  ASSERT_EQ(failures.kept.size(), 3u);
  EXPECT_EQ(failures.kept[0].kind, Kind::ResultPage);
  EXPECT_EQ(DescribeResultWriteFailure(failures.kept[0]),
            "cannot write result page " + dir.File("no/such/Lost.htm") + ": No such file or directory");
  EXPECT_EQ(DescribeResultWriteFailure(failures.kept[1]),
            "cannot write result page " + dir.File("Big.htm") + ": File too large");
  EXPECT_EQ(failures.kept[2].kind, Kind::LogEntry);
  EXPECT_EQ(failures.kept[2].path, log);
  EXPECT_EQ(failures.kept[2].reason, "File too large");
  EXPECT_NE(failures.kept[2].entry.find("= result=10061"), std::string::npos) << failures.kept[2].entry;
  // The log keeps its old end.
  EXPECT_EQ(dir.Read("adwelder.log").find("10061"), std::string::npos);
  EXPECT_NE(ResultWriteFailureHint(failures.Count(), failures.kept.back()).find("File too large"),
            std::string::npos);

  // Taken notes are gone; a flood is kept bounded and still counted.
  EXPECT_TRUE(TakeResultWriteFailures().Empty());
  for (std::size_t i = 0; i < kMaxKeptFailures + 5; ++i)
    NoteResultWriteFailure({Kind::ResultPage, "p", {}, "r"});
  const ResultWriteFailures flood = TakeResultWriteFailures();
  EXPECT_EQ(flood.kept.size(), kMaxKeptFailures);
  EXPECT_EQ(flood.Count(), kMaxKeptFailures + 5);
}

}  // namespace
}  // namespace adw::engine
