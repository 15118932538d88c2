#pragma once
// Between a built job list and the worker pool: which jobs to post (the
// duplicate guard, "changed ads only", resume and retry choose), and the
// journal rows of the run, kept up to date as the pool starts and reports
// jobs. The window and adweld-run drive the same recorder.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/journal/run_journal.h"
#include "engine/posting/job_list.h"
#include "engine/posting/run_results.h"

namespace adw::engine {

// The journal state of a reported job. It follows OutcomeStateName, the one
// place that names what the pool reports (today success or failure; an
// unconfirmed outcome maps through the same name once the pool has it).
JobState JournalStateOf(const JobResult& result);

// Journal rows for a freshly built job list (not yet written): board from
// each label, ad and board file from the build's origins.
std::vector<JournalJob> JournalJobsOf(const JobList& jobs, const std::vector<JobOrigin>& origins);

struct GuardOptions {
  int days = 7;              // 0: the duplicate guard is off
  bool force = false;        // post anyway
  bool changedOnly = false;  // post only bodies that differ from the last success
  std::int64_t nowMs = 0;
};
// Marks the jobs the guard holds back as skipped, with the reason. A job
// whose body differs from the last success passes the guard when
// changedOnly is on: it is a new text, not a duplicate.
void ApplyDuplicateGuard(RunJournal& journal, std::vector<JournalJob>& jobs, const GuardOptions& options);

// The interrupted run and what finishing it means. Every job to post
// carries its board's rules, read again from its board file in scriptDir.
struct ResumePlan {
  RunInfo run;
  std::vector<JournalJob> neverStarted;  // safe to post
  std::vector<JournalJob> maybeSent;     // sent, no reply recorded: the board may have it
  // Jobs whose board file is gone or cannot be used: they are not posted
  // without their board's rules. Already in their final state: skipped,
  // or unconfirmed when they may have arrived; the reason says why.
  std::vector<JournalJob> noBoard;
};
// The latest interrupted run that no process is posting, claimed by this
// journal handle (see RunJournal::ClaimRun) so that no other process
// offers it while the user decides; nullopt when there is none.
std::optional<ResumePlan> PlanResume(RunJournal& journal, const std::string& scriptDir);

// The jobs in the given states of the last run that posted anything, as new
// rows for a retry run, with their boards' rules from scriptDir; a job
// whose board file cannot be used comes back skipped with the reason.
// Throws JournalError when a retry of that run has not ended: still
// running (in any process) or interrupted, it may have posted some of
// these jobs already.
std::vector<JournalJob> RetryJobs(RunJournal& journal, const std::vector<JobState>& states,
                                  const std::string& scriptDir);

// Records one run. Construct it with the rows, take the job list for the
// pool, and forward the pool's observer calls.
class RunRecorder {
 public:
  // A new run (post or retry): writes the run and all rows, skipped ones
  // included. Throws JournalError/SqliteError when the journal refuses.
  RunRecorder(RunJournal& journal, RunOrigin origin, RunKind kind, std::vector<JournalJob> jobs);
  // Finishes an interrupted run: posts the given rows of it again. Throws
  // JournalError when another process claimed the run meanwhile.
  RunRecorder(RunJournal& journal, const ResumePlan& plan, bool resendMaybeSent);
  // The run stays live (claimed) as long as its recorder exists.
  ~RunRecorder();
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  std::int64_t RunId() const { return m_run; }
  // The rows the guard skipped (or, when resuming, those left unconfirmed).
  const std::vector<JournalJob>& Skipped() const { return m_skipped; }
  // The pool's job list: job k is the k-th row to post.
  JobList TakeJobList();
  int JobCount() const { return static_cast<int>(m_posted.size()); }
  const JournalJob& Job(int index) const { return m_posted[static_cast<std::size_t>(index)]; }

  // Pool events, on the main thread. A journal that fails on the way does
  // not stop the run; the first error is kept for the user. Starts and
  // outcomes are held until Settle, which stores them in one commit: the
  // pool's SettleRecords calls it before announced jobs go to their
  // workers and at the end of each of its turns, so every start is stored
  // before its request can go out.
  void JobStarting(int index);
  void JobReported(const JobResult& result);
  void Settle();
  // finished: the last job reported; otherwise Stop.
  void RunEnded();
  const std::string& Error() const { return m_error; }

  // The clock; tests set their own.
  void SetClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

 private:
  void Guard(const std::function<void()>& step);

  RunJournal& m_journal;
  std::int64_t m_run = 0;
  std::vector<JournalJob> m_posted;
  std::vector<JournalJob> m_skipped;
  std::vector<std::pair<std::int64_t, JobEnd>> m_ended;  // reported, not yet stored
  std::vector<std::int64_t> m_starting;                  // announced, not yet stored
  std::function<std::int64_t()> m_clock = &NowMs;
  std::string m_error;
  bool m_runEnded = false;
};

}  // namespace adw::engine
