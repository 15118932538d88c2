#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "platform/sqlite_db.h"
#include "support/temp_dir.h"

namespace {

using namespace adw::engine;

constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kNow = 1'800'000'000'000LL;

JournalJob Row(const std::string& board, const std::string& ad, const std::string& body = "t=1") {
  JournalJob job;
  job.board = board;
  job.boardFile = board + ".prj";
  job.ad = ad;
  job.url = "http://127.0.0.1:1/" + board;
  job.referer = "http://127.0.0.1:1/form";
  job.label = board + "\t/reports";
  job.body = body;
  return job;
}

JobResult Outcome(int index, bool success, std::string body = "reply") {
  JobResult result;
  result.jobIndex = index;
  result.verdict = (success) ? JobVerdict::Ok : JobVerdict::Failed;
  result.body = std::move(body);
  result.statusCode = success ? 200 : 0;
  result.lastSocketError = success ? 0 : 111;
  return result;
}

TEST(RunJournalFile, NameFollowsTheSettingsFile) {
  EXPECT_EQ(JournalFileName("/opt/a/adwelder.ini"), "/opt/a/adwelder.db");
  EXPECT_EQ(JournalFileName("/opt/a/X.INI"), "/opt/a/X.db");
  EXPECT_EQ(JournalFileName("/opt/a.ini/settings"), "/opt/a.ini/settings.db");
}

TEST(RunJournalFile, RowsSurviveReopeningWithEveryField) {
  adw::test::TempDir dir;
  const std::string path = dir.File("adwelder.db");
  std::int64_t run = 0;
  {
    RunJournal journal(path);
    run = journal.BeginRun(RunOrigin::Runner, RunKind::Post, kNow);
    std::vector<JournalJob> jobs = {Row("A", "ad1", "x=\xCF\xF0\xE8"), Row("B", "ad1"), Row("C", "ad2")};
    journal.AddJobs(run, jobs);
    journal.MarkSent(jobs[0].id, kNow + 10);
    JobEnd end;
    end.state = JobState::Ok;
    end.httpStatus = 201;
    end.endedMs = kNow + 250;
    end.replySize = 42;
    journal.FinishJob(jobs[0].id, end);
    journal.MarkSent(jobs[1].id, kNow + 20);
    ASSERT_FALSE(journal.Run(run)->ended);
    EXPECT_EQ(journal.InterruptedRun()->id, run);
  }
  RunJournal journal(path);
  const auto rows = journal.Jobs(run);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].state, JobState::Ok);
  EXPECT_EQ(rows[0].body, "x=\xCF\xF0\xE8");
  EXPECT_EQ(rows[0].bodyHash, BodyHash(rows[0].body));
  EXPECT_EQ(rows[0].httpStatus, 201);
  EXPECT_EQ(rows[0].latencyMs, 240);
  EXPECT_EQ(rows[0].replySize, 42);
  EXPECT_EQ(rows[1].state, JobState::Sent);
  EXPECT_EQ(rows[2].state, JobState::Pending);
  EXPECT_EQ(rows[2].seq, 2);

  journal.EndRun(run, kNow + 1000);
  const auto ended = journal.Jobs(run);
  EXPECT_EQ(ended[1].state, JobState::Unconfirmed);
  EXPECT_EQ(ended[2].state, JobState::Skipped);
  const RunInfo info = *journal.Run(run);
  EXPECT_EQ(info.ended, kNow + 1000);
  EXPECT_EQ(info.jobs, 3);
  EXPECT_EQ(info.ok, 1);
  EXPECT_EQ(info.unconfirmed, 1);
  EXPECT_EQ(info.skipped, 1);
  EXPECT_FALSE(journal.InterruptedRun());
}

TEST(RunJournalFile, UnusableFilesAreReportedAndLeftAsTheyAre) {
  adw::test::TempDir dir;
  {
    adw::platform::SqliteDb other(dir.File("foreign.db"));
    other.Exec("CREATE TABLE notes(x)");
  }
  {
    adw::platform::SqliteDb newer(dir.File("newer.db"));
    newer.Exec("CREATE TABLE runs(x); PRAGMA user_version=99");
  }
  dir.Write("garbage.db", std::string(4096, 'Z'));
  const struct {
    const char* file;
    const char* says;
  } cases[] = {
      {"foreign.db", "not a run journal"},
      {"newer.db", "newer version"},
      {"garbage.db", "damaged"},
  };
  for (const auto& c : cases) {
    const std::string before = dir.Read(c.file);
    try {
      RunJournal journal(dir.File(c.file));
      ADD_FAILURE() << c.file << " was accepted";
    } catch (const JournalError& error) {
      EXPECT_NE(std::string(error.what()).find(c.says), std::string::npos) << c.file << ": " << error.what();
    }
    EXPECT_EQ(dir.Read(c.file), before) << c.file;
  }
}

// The journal has one run, finished, in which "A"/"ad1" succeeded two days
// before kNow with body t=1.
class JournalWithHistory : public ::testing::Test {
 protected:
  JournalWithHistory() : m_journal(m_dir.File("j.db")) {
    RunRecorder recorder(m_journal, RunOrigin::Window, RunKind::Post,
                         {Row("A", "ad1"), Row("B", "ad1"), Row("C", "ad1")});
    recorder.SetClock([] { return kNow - 2 * kDay; });
    for (int k = 0; k < 3; ++k) recorder.JobStarting(k);
    recorder.JobReported(Outcome(0, true));
    recorder.JobReported(Outcome(1, false));
    recorder.RunEnded();  // C: sent without a reply -> unconfirmed
  }
  adw::test::TempDir m_dir;
  RunJournal m_journal;
};

TEST_F(JournalWithHistory, DuplicateGuardDecidesPerBoardAndAd) {
  const struct {
    const char* name;
    GuardOptions options;
    std::string body;
    bool skipped;
    const char* reason;
  } cases[] = {
      {"within the days", {7, false, false, kNow}, "t=1", true, "not again within 7 days"},
      {"days passed", {1, false, false, kNow}, "t=1", false, ""},
      {"guard off", {0, false, false, kNow}, "t=1", false, ""},
      {"forced", {7, true, false, kNow}, "t=1", false, ""},
      {"changed only, same body", {0, false, true, kNow}, "t=1", true, "unchanged since"},
      {"changed only, new body", {7, false, true, kNow}, "t=2", false, ""},
  };
  for (const auto& c : cases) {
    std::vector<JournalJob> jobs = {Row("A", "ad1", c.body), Row("B", "ad1", c.body),
                                    Row("A", "ad2", c.body)};
    ApplyDuplicateGuard(m_journal, jobs, c.options);
    EXPECT_EQ(jobs[0].state == JobState::Skipped, c.skipped) << c.name;
    EXPECT_NE(jobs[0].reason.find(c.reason), std::string::npos) << c.name << ": " << jobs[0].reason;
    // B failed and ad2 was never posted: nothing holds them back.
    EXPECT_EQ(jobs[1].state, JobState::Pending) << c.name;
    EXPECT_EQ(jobs[2].state, JobState::Pending) << c.name;
  }
}

TEST_F(JournalWithHistory, RetryTakesTheLastRunsJobsInTheChosenStates) {
  {
    // A later start whose jobs the guard all held back hides nothing.
    JournalJob held = Row("A", "ad1");
    held.state = JobState::Skipped;
    RunRecorder recorder(m_journal, RunOrigin::Window, RunKind::Post, {held});
    recorder.RunEnded();
  }
  const auto failed = RetryJobs(m_journal, {JobState::Failed});
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].board, "B");
  EXPECT_EQ(failed[0].state, JobState::Pending);
  const auto both = RetryJobs(m_journal, {JobState::Failed, JobState::Unconfirmed});
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].board, "C");

  RunRecorder retry(m_journal, RunOrigin::Runner, RunKind::Retry, both);
  EXPECT_EQ(m_journal.RecentRuns(3)[1].skipped, 1);
  const JobList list = retry.TakeJobList();
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.JobURLs[0], "http://127.0.0.1:1/B");
  EXPECT_EQ(list.JobBodies[1], "t=1");
  EXPECT_EQ(m_journal.LastRun()->kind, "retry");
}

TEST(RunJournalResume, PostsWhatNeverStartedAndHoldsBackWhatMayHaveArrived) {
  adw::test::TempDir dir;
  RunJournal journal(dir.File("j.db"));
  EXPECT_FALSE(PlanResume(journal));
  {
    RunRecorder recorder(journal, RunOrigin::Runner, RunKind::Post,
                         {Row("A", "ad1"), Row("B", "ad1"), Row("C", "ad1"), Row("D", "ad1")});
    recorder.JobStarting(0);
    recorder.JobStarting(1);
    recorder.JobReported(Outcome(0, true));
    recorder.Settle();  // the pool's ReportHandled, before it takes another hand-over
    // The process dies here: B sent, C and D never started, no run end.
  }
  {
    // Reopened, as the next start does after the crash.
    RunJournal crashed(dir.File("j.db"));
    const auto plan = PlanResume(crashed);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->neverStarted.size(), 2u);
    ASSERT_EQ(plan->maybeSent.size(), 1u);
    EXPECT_EQ(plan->maybeSent[0].board, "B");

    RunRecorder resumed(crashed, *plan, false);
    const JobList list = resumed.TakeJobList();
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.JobURLs[0], "http://127.0.0.1:1/C");
    ASSERT_EQ(resumed.Skipped().size(), 1u);
    EXPECT_EQ(resumed.Skipped()[0].state, JobState::Unconfirmed);
    resumed.JobStarting(0);
    resumed.JobReported(Outcome(0, true));
    resumed.JobStarting(1);
    resumed.JobReported(Outcome(1, false));
    resumed.RunEnded();
    const RunInfo info = *crashed.Run(resumed.RunId());
    EXPECT_TRUE(info.ended);
    EXPECT_EQ(info.ok, 2);
    EXPECT_EQ(info.failed, 1);
    EXPECT_EQ(info.unconfirmed, 1);
    EXPECT_FALSE(PlanResume(crashed));
  }
}

TEST(RunJournalResume, LaterRunsDoNotHideAnInterruptedOne) {
  adw::test::TempDir dir;
  RunJournal journal(dir.File("j.db"));
  std::int64_t interrupted = 0;
  {
    RunRecorder recorder(journal, RunOrigin::Runner, RunKind::Post, {Row("A", "ad1")});
    interrupted = recorder.RunId();
  }
  {
    RunRecorder later(journal, RunOrigin::Window, RunKind::Post, {Row("B", "ad1")});
    later.RunEnded();
  }
  const auto plan = PlanResume(journal);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->run.id, interrupted);
  EXPECT_EQ(plan->neverStarted.size(), 1u);
}

TEST(RunJournalResume, ConfirmedResendPostsTheMaybeSentJobsToo) {
  adw::test::TempDir dir;
  RunJournal journal(dir.File("j.db"));
  {
    RunRecorder recorder(journal, RunOrigin::Runner, RunKind::Post, {Row("A", "ad1"), Row("B", "ad1")});
    recorder.JobStarting(0);
  }
  const auto plan = PlanResume(journal);
  ASSERT_TRUE(plan);
  RunRecorder resumed(journal, *plan, true);
  const JobList list = resumed.TakeJobList();
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_TRUE(resumed.Skipped().empty());
}

}  // namespace
