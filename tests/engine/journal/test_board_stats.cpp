#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/journal/board_stats.h"
#include "engine/journal/run_recorder.h"
#include "support/temp_dir.h"

namespace {

using namespace adw::engine;

constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kNow = 1'800'000'000'000LL;

// Runs with given outcomes per board, each run a day apart, ending a day
// before kNow; latencies as given.
class StatsJournal : public ::testing::Test {
 protected:
  StatsJournal() : m_journal(m_dir.File("j.db")) {}
  struct Job {
    std::string board;
    bool ok;
    std::int64_t latency;
  };
  void Run(std::int64_t at, const std::vector<Job>& jobs) {
    std::vector<JournalJob> rows;
    for (const Job& job : jobs) {
      JournalJob row;
      row.board = job.board;
      row.ad = "Ad";
      row.label = job.board + "\t";
      rows.push_back(row);
    }
    RunRecorder recorder(m_journal, RunOrigin::Runner, RunKind::Post, rows);
    std::int64_t clock = at;
    recorder.SetClock([&] { return clock; });
    for (std::size_t k = 0; k < jobs.size(); ++k) {
      clock = at;
      recorder.JobStarting(static_cast<int>(k));
      recorder.Settle();
      clock = at + jobs[k].latency;
      JobResult result;
      result.jobIndex = static_cast<int>(k);
      result.verdict = (jobs[k].ok) ? JobVerdict::Ok : JobVerdict::Failed;
      result.lastSocketError = 110;
      recorder.JobReported(result);
    }
    recorder.RunEnded();
  }
  adw::test::TempDir m_dir;
  RunJournal m_journal;
};

TEST_F(StatsJournal, RatesMediansErrorsAndBoardsThatKeepFailing) {
  // An old success outside the 30 days, then three runs in which A always
  // fails and B fails once; C's only run mixes a success and a failure.
  Run(kNow - 40 * kDay, {{"A", true, 100}, {"B", true, 100}});
  Run(kNow - 3 * kDay, {{"A", false, 300}, {"B", true, 200}, {"B", false, 50}});
  Run(kNow - 2 * kDay, {{"A", false, 500}, {"B", true, 400}, {"C", true, 10}, {"C", false, 20}});
  Run(kNow - 1 * kDay, {{"A", false, 700}, {"B", false, 900}});
  // A skipped job and a run that never ended count for nothing.
  {
    JournalJob skipped;
    skipped.board = "A";
    skipped.state = JobState::Skipped;
    RunRecorder recorder(m_journal, RunOrigin::Runner, RunKind::Post, {skipped});
    recorder.RunEnded();
  }

  const auto stats = ComputeBoardStats(m_journal, kNow);
  ASSERT_EQ(stats.size(), 3u);
  const BoardStats& a = stats[0];
  EXPECT_EQ(a.board, "A");
  EXPECT_EQ(a.jobs, 3);
  EXPECT_EQ(a.ok, 0);
  EXPECT_EQ(a.SuccessPercent(), 0);
  EXPECT_EQ(a.lastSuccess, kNow - 40 * kDay + 100);
  EXPECT_EQ(a.lastErrorAt, kNow - 1 * kDay + 700);
  EXPECT_EQ(a.lastError, "failed: socket error 110");
  EXPECT_EQ(a.medianLatencyMs, 500);
  EXPECT_TRUE(a.failedLastThree);

  const BoardStats& b = stats[1];
  EXPECT_EQ(b.jobs, 4);
  EXPECT_EQ(b.SuccessPercent(), 50);
  EXPECT_FALSE(b.failedLastThree);
  EXPECT_EQ(b.lastSuccess, kNow - 2 * kDay + 400);

  EXPECT_EQ(stats[2].board, "C");
  EXPECT_EQ(stats[2].SuccessPercent(), 50);
  EXPECT_FALSE(stats[2].failedLastThree);

  m_journal.RecordCheck("D", "unreachable", "Connection refused", kNow);
  const auto withCheck = ComputeBoardStats(m_journal, kNow);
  ASSERT_EQ(withCheck.size(), 4u);
  EXPECT_EQ(withCheck[3].checkState, "unreachable");
  EXPECT_FALSE(withCheck[3].SuccessPercent());
  EXPECT_EQ(StatsColumnText(withCheck[0]), "0%, 0.5 s !");
  EXPECT_EQ(StatsColumnText(withCheck[3]), "- unreachable");
}

}  // namespace
