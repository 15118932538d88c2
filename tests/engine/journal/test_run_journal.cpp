#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "platform/files.h"
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

// A board file as the program stores it (packed), for the rows' board_file.
void WriteBoard(const adw::test::TempDir& dir, const std::string& name, const std::string& keys = "") {
  std::string bytes = Tlzrw1::CompressBytes("[Project]\r\nNAME=" + name + "\r\nSUBMIT=http://127.0.0.1:1/" +
                                            name + "\r\nSUBBODY=t=$TEXT\r\n" + keys);
  bytes.replace(0, 4, "ADWP");
  dir.Write(name + ".prj", bytes);
}

// A script directory holding the plain boards A to D.
class Boards {
 public:
  Boards() {
    for (const char* name : {"A", "B", "C", "D"}) WriteBoard(m_dir, name);
  }
  const adw::test::TempDir& Dir() const { return m_dir; }
  const std::string& Path() const { return m_dir.Path(); }

 private:
  adw::test::TempDir m_dir;
};

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
    // Live while its handle is open, interrupted once it is gone.
    EXPECT_FALSE(journal.InterruptedRun());
  }
  RunJournal journal(path);
  ASSERT_TRUE(journal.InterruptedRun());
  EXPECT_EQ(journal.InterruptedRun()->id, run);
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
    recorder.Settle();
    recorder.JobReported(Outcome(0, true));
    recorder.JobReported(Outcome(1, false));
    recorder.RunEnded();  // C: sent without a reply -> unconfirmed
  }
  adw::test::TempDir m_dir;
  RunJournal m_journal;
  Boards m_boards;
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
  const auto failed = RetryJobs(m_journal, {JobState::Failed}, m_boards.Path());
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].board, "B");
  EXPECT_EQ(failed[0].state, JobState::Pending);
  const auto both = RetryJobs(m_journal, {JobState::Failed, JobState::Unconfirmed}, m_boards.Path());
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
  const Boards boards;
  RunJournal journal(dir.File("j.db"));
  EXPECT_FALSE(PlanResume(journal, boards.Path()));
  {
    RunRecorder recorder(journal, RunOrigin::Runner, RunKind::Post,
                         {Row("A", "ad1"), Row("B", "ad1"), Row("C", "ad1"), Row("D", "ad1")});
    recorder.JobStarting(0);
    recorder.Settle();
    recorder.JobStarting(1);
    recorder.Settle();
    recorder.JobReported(Outcome(0, true));
    recorder.Settle();  // the pool's SettleRecords at the end of its turn
    // The process dies here: B sent, C and D never started, no run end.
  }
  {
    // Reopened, as the next start does after the crash.
    RunJournal crashed(dir.File("j.db"));
    const auto plan = PlanResume(crashed, boards.Path());
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
    resumed.Settle();
    resumed.JobReported(Outcome(0, true));
    resumed.JobStarting(1);
    resumed.Settle();
    resumed.JobReported(Outcome(1, false));
    resumed.RunEnded();
    const RunInfo info = *crashed.Run(resumed.RunId());
    EXPECT_TRUE(info.ended);
    EXPECT_EQ(info.ok, 2);
    EXPECT_EQ(info.failed, 1);
    EXPECT_EQ(info.unconfirmed, 1);
    EXPECT_FALSE(PlanResume(crashed, boards.Path()));
  }
}

TEST(RunJournalResume, LaterRunsDoNotHideAnInterruptedOne) {
  adw::test::TempDir dir;
  const Boards boards;
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
  const auto plan = PlanResume(journal, boards.Path());
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->run.id, interrupted);
  EXPECT_EQ(plan->neverStarted.size(), 1u);
}

TEST(RunJournalResume, ConfirmedResendPostsTheMaybeSentJobsToo) {
  adw::test::TempDir dir;
  const Boards boards;
  RunJournal journal(dir.File("j.db"));
  {
    RunRecorder recorder(journal, RunOrigin::Runner, RunKind::Post, {Row("A", "ad1"), Row("B", "ad1")});
    recorder.JobStarting(0);
    recorder.Settle();
  }
  const auto plan = PlanResume(journal, boards.Path());
  ASSERT_TRUE(plan);
  RunRecorder resumed(journal, *plan, true);
  const JobList list = resumed.TakeJobList();
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_TRUE(resumed.Skipped().empty());
}

}  // namespace

namespace {

// One finished run whose jobs all failed, one per board file named in
// boardFiles, and the jobs a retry rebuilds from it.
std::vector<JournalJob> RetriedFrom(RunJournal& journal, const std::vector<std::string>& boardFiles,
                                    const std::string& scriptDir) {
  std::vector<JournalJob> rows;
  for (const std::string& file : boardFiles) {
    JournalJob row = Row(file.substr(0, file.find('.')), "ad1");
    row.boardFile = file;
    rows.push_back(row);
  }
  RunRecorder run(journal, RunOrigin::Runner, RunKind::Post, rows);
  for (int k = 0; k < static_cast<int>(rows.size()); ++k) {
    run.JobStarting(k);
    run.Settle();
    run.JobReported(Outcome(k, false));
  }
  run.RunEnded();
  return RetryJobs(journal, {JobState::Failed}, scriptDir);
}

}  // namespace

TEST(RunJournalRebuiltJobs, CarryTheirBoardsCurrentRulesOrAreHeldBackWithTheReason) {
  adw::test::TempDir script;
  WriteBoard(script, "Fail", "FAIL=refused|banned\r\n");
  WriteBoard(script, "Fresh", "FRESH=1\r\nREQUEST=http://127.0.0.1:1/form\r\n");
  WriteBoard(script, "Slow", "DELAY=2.5\r\n");
  WriteBoard(script, "Upper", "OK=thanks\r\n");
  WriteBoard(script, "BadDelay", "DELAY=soon\r\n");
  script.Write("Broken.prj", "not a board file");
  adw::test::TempDir dir;
  RunJournal journal(dir.File("j.db"));
  const auto rows = RetriedFrom(journal,
                                {"Fail.prj", "Fresh.prj", "Slow.prj", "upper.PRJ", "Fail.prj", "Gone.prj",
                                 "BadDelay.prj", "Broken.prj"},
                                script.Path());
  ASSERT_EQ(rows.size(), 8u);

  const struct {
    std::size_t row;
    const char* reason;  // empty: posted with rules
  } cases[] = {{0, ""},
               {1, ""},
               {2, ""},
               {3, ""},
               {4, ""},
               {5, "board file Gone.prj is not in "},
               {6, "DELAY is not a number of seconds: soon"},
               {7, "board file Broken.prj cannot be read: "}};
  for (const auto& c : cases) {
    const JournalJob& job = rows[c.row];
    SCOPED_TRACE(job.boardFile);
    if (*c.reason == '\0') {
      EXPECT_EQ(job.state, JobState::Pending);
      EXPECT_TRUE(job.rules);
    } else {
      EXPECT_EQ(job.state, JobState::Skipped);
      EXPECT_FALSE(job.rules);
      EXPECT_NE(job.reason.find(c.reason), std::string::npos) << job.reason;
      EXPECT_NE(job.reason.find("not posted without the board's rules"), std::string::npos) << job.reason;
      EXPECT_TRUE(job.ended);
    }
  }
  EXPECT_EQ(rows[0].rules->reply.failTexts, (std::vector<std::string>{"refused", "banned"}));
  EXPECT_FALSE(rows[0].rules->fresh);
  EXPECT_TRUE(rows[1].rules->fresh);
  EXPECT_EQ(rows[2].delayMs, 2500);
  EXPECT_EQ(rows[0].delayMs, 0);
  EXPECT_EQ(rows[3].rules->reply.okTexts, (std::vector<std::string>{"thanks"}));
  // One read per board file, shared by its jobs.
  EXPECT_EQ(rows[0].rules, rows[4].rules);

  // The retry run keeps the held-back rows, skipped; the pool gets the
  // others with their rules and spacing.
  RunRecorder retry(journal, RunOrigin::Runner, RunKind::Retry, rows);
  EXPECT_EQ(retry.Skipped().size(), 3u);
  const JobList list = retry.TakeJobList();
  ASSERT_EQ(list.Count(), 5u);
  EXPECT_TRUE(list.Rules(1)->fresh);
  EXPECT_EQ(list.JobDelays[2], 2500);
  const auto stored = journal.Jobs(retry.RunId());
  EXPECT_EQ(stored[5].state, JobState::Skipped);
  EXPECT_EQ(stored[5].reason, rows[5].reason);
}

TEST(RunJournalRebuiltJobs, ResumeHoldsBackJobsWhoseBoardIsGoneInTheirFinalState) {
  adw::test::TempDir script;
  WriteBoard(script, "A", "FAIL=refused\r\n");
  adw::test::TempDir dir;
  RunJournal journal(dir.File("j.db"));
  {
    // Killed with B sent and A, C never started.
    RunRecorder run(journal, RunOrigin::Runner, RunKind::Post,
                    {Row("B", "ad1"), Row("A", "ad1"), Row("C", "ad1")});
    run.JobStarting(0);
    run.Settle();
  }
  const auto plan = PlanResume(journal, script.Path());
  ASSERT_TRUE(plan);
  ASSERT_EQ(plan->neverStarted.size(), 1u);
  EXPECT_EQ(plan->neverStarted[0].rules->reply.failTexts, std::vector<std::string>{"refused"});
  EXPECT_TRUE(plan->maybeSent.empty());
  ASSERT_EQ(plan->noBoard.size(), 2u);
  EXPECT_EQ(plan->noBoard[0].state, JobState::Unconfirmed);  // B: it may have arrived
  EXPECT_EQ(plan->noBoard[1].state, JobState::Skipped);      // C: never sent

  // Resending what may have arrived does not post a job without its rules.
  RunRecorder resumed(journal, *plan, true);
  EXPECT_EQ(resumed.TakeJobList().Count(), 1u);
  EXPECT_EQ(resumed.Skipped().size(), 2u);
  resumed.RunEnded();
  const auto jobs = journal.Jobs(resumed.RunId());
  EXPECT_EQ(jobs[0].state, JobState::Unconfirmed);
  EXPECT_NE(jobs[0].reason.find("board file B.prj is not in"), std::string::npos) << jobs[0].reason;
  EXPECT_EQ(jobs[2].state, JobState::Skipped);
  EXPECT_NE(jobs[2].reason.find("board file C.prj is not in"), std::string::npos) << jobs[2].reason;
}

// Two handles on one journal stand for two processes (the window and
// adweld-run): a run one of them posts is live to the other.
TEST(RunJournalLiveRuns, AreNeitherResumedNorRetriedByAnotherHandle) {
  adw::test::TempDir dir;
  const Boards boards;
  RunJournal window(dir.File("j.db"));
  RunJournal runner(dir.File("j.db"));
  {
    auto live = std::make_unique<RunRecorder>(window, RunOrigin::Window, RunKind::Post,
                                              std::vector<JournalJob>{Row("A", "ad1"), Row("B", "ad1")});
    live->JobStarting(0);
    live->Settle();
    EXPECT_FALSE(PlanResume(runner, boards.Path()));
    EXPECT_FALSE(runner.InterruptedRun());
    ASSERT_TRUE(runner.LiveRun());
    EXPECT_EQ(runner.LiveRun()->id, live->RunId());
    // Nor does the owner take its own run for an interrupted one.
    EXPECT_FALSE(window.InterruptedRun());
    // The owner goes without ending the run (a crash, a closed window).
  }
  EXPECT_FALSE(runner.LiveRun());
  auto plan = PlanResume(runner, boards.Path());
  ASSERT_TRUE(plan);
  // While the runner holds the plan, a third start does not offer it.
  {
    RunJournal third(dir.File("j.db"));
    EXPECT_FALSE(PlanResume(third, boards.Path()));
    EXPECT_TRUE(third.LiveRun());
    EXPECT_THROW(RunRecorder(third, *plan, false), JournalError);
  }
  {
    RunRecorder resumed(runner, *plan, false);
    resumed.JobStarting(0);
    resumed.Settle();
    resumed.JobReported(Outcome(0, false));
    resumed.RunEnded();
  }
  EXPECT_FALSE(window.LiveRun());
  EXPECT_FALSE(PlanResume(window, boards.Path()));

  // A retry of that run's failures while another retry of them is running,
  // or was interrupted before it ended, would post them twice.
  ASSERT_EQ(RetryJobs(window, {JobState::Failed}, boards.Path()).size(), 1u);
  {
    RunRecorder retrying(runner, RunOrigin::Runner, RunKind::Retry,
                         RetryJobs(runner, {JobState::Failed}, boards.Path()));
    try {
      RetryJobs(window, {JobState::Failed}, boards.Path());
      ADD_FAILURE() << "a running retry was retried";
    } catch (const JournalError& error) {
      EXPECT_NE(std::string(error.what()).find("is still running"), std::string::npos) << error.what();
    }
  }
  try {
    RetryJobs(window, {JobState::Failed}, boards.Path());
    ADD_FAILURE() << "an interrupted retry was retried";
  } catch (const JournalError& error) {
    EXPECT_NE(std::string(error.what()).find("did not end; resume it first"), std::string::npos)
        << error.what();
  }
  EXPECT_TRUE(adw::platform::FileExists(RunLockFileName(dir.File("j.db"))));
}

TEST(RunJournalLiveRuns, ALockFileThatCannotBeMadeDoesNotStopPosting) {
  adw::test::TempDir dir;
  const Boards boards;
  dir.Write("j.db.lock/in-the-way", "");  // a directory where the lock file would be
  RunJournal journal(dir.File("j.db"));
  {
    RunRecorder run(journal, RunOrigin::Runner, RunKind::Post, {Row("A", "ad1")});
    EXPECT_TRUE(journal.IsLive(run.RunId()));
    EXPECT_FALSE(PlanResume(journal, boards.Path()));
  }
  const auto plan = PlanResume(journal, boards.Path());
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->neverStarted.size(), 1u);
}
