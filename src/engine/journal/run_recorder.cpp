#include "engine/journal/run_recorder.h"

#include <exception>
#include <utility>

#include "engine/journal/board_rules_lookup.h"

namespace adw::engine {

JobState JournalStateOf(const JobResult& result) {
  return ParseJobState(OutcomeStateName(result)).value_or(JobState::Failed);
}

std::vector<JournalJob> JournalJobsOf(const JobList& jobs, const std::vector<JobOrigin>& origins) {
  std::vector<JournalJob> rows;
  rows.reserve(jobs.Count());
  for (std::size_t k = 0; k < jobs.Count(); ++k) {
    JournalJob row;
    row.board = SplitJobLabel(jobs.JobLabels[k]).first;
    if (k < origins.size()) {
      row.boardFile = origins[k].boardFile;
      row.ad = origins[k].ad;
    }
    row.url = jobs.JobURLs[k];
    row.referer = jobs.JobReferers[k];
    row.label = jobs.JobLabels[k];
    row.body = jobs.JobBodies[k];
    row.bodyHash = BodyHash(row.body);
    row.rules = jobs.Rules(k);
    row.delayMs = k < jobs.JobDelays.size() ? jobs.JobDelays[k] : 0;
    rows.push_back(std::move(row));
  }
  return rows;
}

void ApplyDuplicateGuard(RunJournal& journal, std::vector<JournalJob>& jobs, const GuardOptions& options) {
  const bool guardOn = options.days > 0 && !options.force;
  if (!guardOn && !options.changedOnly) return;
  const std::int64_t window = static_cast<std::int64_t>(options.days) * 24 * 60 * 60 * 1000;
  for (JournalJob& job : jobs) {
    if (job.state != JobState::Pending) continue;
    const auto last = journal.LastSuccess(job.board, job.ad);
    if (!last) continue;
    if (job.bodyHash.empty()) job.bodyHash = BodyHash(job.body);
    const std::string when = last->ended ? FormatStamp(*last->ended) : std::string("?");
    const bool same = last->bodyHash == job.bodyHash;
    if (options.changedOnly && same) {
      job.state = JobState::Skipped;
      job.reason = "unchanged since it was posted on " + when;
    } else if (guardOn && !options.changedOnly && last->ended && options.nowMs - *last->ended < window) {
      job.state = JobState::Skipped;
      job.reason = "posted on " + when + ", not again within " + std::to_string(options.days) + " days";
    }
    if (job.state == JobState::Skipped) job.ended = options.nowMs;
  }
}

namespace {

// Why a job is held back when its board file cannot be used.
std::string NoRulesReason(const std::string& problem) {
  return problem + "; not posted without the board's rules";
}

}  // namespace

std::optional<ResumePlan> PlanResume(RunJournal& journal, const std::string& scriptDir) {
  std::optional<RunInfo> run;
  // A claim lost to another process means the run became live: the next
  // look passes it over. Bounded all the same: a lock that is both free and
  // taken would otherwise spin here.
  for (int look = 0;; ++look) {
    run = journal.InterruptedRun();
    if (!run || look == 8) return std::nullopt;
    if (journal.ClaimRun(run->id)) break;
  }
  ResumePlan plan;
  plan.run = *run;
  BoardRulesLookup boards(scriptDir);
  const std::int64_t now = NowMs();
  for (JournalJob& job : journal.Jobs(run->id)) {
    if (job.state != JobState::Pending && job.state != JobState::Sent) continue;
    const std::string problem = boards.Attach(job);
    if (!problem.empty()) {
      if (job.state == JobState::Sent) {
        job.state = JobState::Unconfirmed;
        job.reason = "sent before the run was interrupted; no reply recorded; not sent again: " + problem;
      } else {
        job.state = JobState::Skipped;
        job.reason = NoRulesReason(problem);
      }
      job.ended = now;
      plan.noBoard.push_back(std::move(job));
    } else if (job.state == JobState::Pending) {
      plan.neverStarted.push_back(std::move(job));
    } else {
      plan.maybeSent.push_back(std::move(job));
    }
  }
  return plan;
}

std::vector<JournalJob> RetryJobs(RunJournal& journal, const std::vector<JobState>& states,
                                  const std::string& scriptDir) {
  std::vector<JournalJob> rows;
  // The last run that posted anything: a start whose jobs were all held
  // back by the guard does not hide the failures before it.
  const std::int64_t last = journal.Db().QueryInt(
      "SELECT id FROM runs WHERE ok + failed + unconfirmed > 0 ORDER BY id DESC LIMIT 1", 0);
  if (last == 0) return rows;
  // A retry after it that has not ended counts nothing yet, so the same
  // jobs would be chosen again though it may have posted them.
  auto retries = journal.Db().Prepare(
      "SELECT id, started FROM runs WHERE kind='retry' AND ended IS NULL AND id > ? ORDER BY id DESC");
  retries.Bind(1, last);
  while (retries.Step()) {
    const std::string started = FormatStamp(retries.Int(1));
    if (journal.IsLive(retries.Int(0))) {
      throw JournalError("the retry started " + started + " is still running; its jobs are not posted again");
    }
    throw JournalError("the retry started " + started + " did not end; resume it first");
  }
  BoardRulesLookup boards(scriptDir);
  const std::int64_t now = NowMs();
  for (JournalJob& job : journal.Jobs(last)) {
    bool wanted = false;
    for (JobState state : states) wanted = wanted || job.state == state;
    if (!wanted) continue;
    JournalJob fresh;
    fresh.board = std::move(job.board);
    fresh.boardFile = std::move(job.boardFile);
    fresh.ad = std::move(job.ad);
    fresh.url = std::move(job.url);
    fresh.referer = std::move(job.referer);
    fresh.label = std::move(job.label);
    fresh.body = std::move(job.body);
    fresh.bodyHash = std::move(job.bodyHash);
    if (const std::string problem = boards.Attach(fresh); !problem.empty()) {
      fresh.state = JobState::Skipped;
      fresh.reason = NoRulesReason(problem);
      fresh.ended = now;
    }
    rows.push_back(std::move(fresh));
  }
  return rows;
}

RunRecorder::RunRecorder(RunJournal& journal, RunOrigin origin, RunKind kind, std::vector<JournalJob> jobs)
    : m_journal(journal) {
  m_run = m_journal.BeginRun(origin, kind, m_clock());
  try {
    m_journal.AddJobs(m_run, jobs);
  } catch (...) {
    m_journal.ReleaseRun(m_run);
    throw;
  }
  for (JournalJob& job : jobs) {
    if (job.state == JobState::Skipped) {
      m_skipped.push_back(std::move(job));
    } else {
      m_posted.push_back(std::move(job));
    }
  }
}

RunRecorder::RunRecorder(RunJournal& journal, const ResumePlan& plan, bool resendMaybeSent)
    : m_journal(journal), m_run(plan.run.id) {
  // Claimed already when this handle made the plan; another handle's
  // claim means another process is finishing the run.
  if (!m_journal.ClaimRun(m_run)) {
    throw JournalError("the run started " + FormatStamp(plan.run.started) + " is being finished elsewhere");
  }
  try {
    m_posted = plan.neverStarted;
    if (resendMaybeSent) m_posted.insert(m_posted.end(), plan.maybeSent.begin(), plan.maybeSent.end());
    platform::SqliteDb::Transaction transaction(m_journal.Db());
    for (const JournalJob& job : plan.noBoard) {
      m_journal.SetState(job.id, job.state, job.reason, m_clock());
      m_skipped.push_back(job);
    }
    if (!resendMaybeSent) {
      for (JournalJob job : plan.maybeSent) {
        job.state = JobState::Unconfirmed;
        job.reason = "sent before the run was interrupted; no reply recorded; not sent again";
        m_journal.SetState(job.id, job.state, job.reason, m_clock());
        m_skipped.push_back(std::move(job));
      }
    }
    transaction.Commit();
  } catch (...) {
    m_journal.ReleaseRun(m_run);
    throw;
  }
}

RunRecorder::~RunRecorder() {
  m_journal.ReleaseRun(m_run);
}

JobList RunRecorder::TakeJobList() {
  JobList list;
  for (const JournalJob& job : m_posted) {
    list.Add(job.url, job.body, job.referer, job.label, job.rules, job.delayMs);
    list.JobAds.push_back(job.ad);
  }
  return list;
}

void RunRecorder::Guard(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& error) {
    if (m_error.empty()) m_error = std::string("run journal ") + m_journal.Path() + ": " + error.what();
  }
}

void RunRecorder::JobStarting(int index) {
  if (index < 0 || index >= JobCount()) return;
  m_starting.push_back(m_posted[static_cast<std::size_t>(index)].id);
}

void RunRecorder::Settle() {
  if (m_ended.empty() && m_starting.empty()) return;
  Guard([&] { m_journal.RecordProgress(m_ended, m_starting, m_clock()); });
  m_ended.clear();
  m_starting.clear();
}

void RunRecorder::JobReported(const JobResult& result) {
  if (result.jobIndex < 0 || result.jobIndex >= JobCount()) return;
  JournalJob& job = m_posted[static_cast<std::size_t>(result.jobIndex)];
  JobEnd end;
  end.state = JournalStateOf(result);
  end.httpStatus = result.statusCode;
  end.endedMs = m_clock();
  end.replySize = static_cast<std::int64_t>(result.body.size());
  if (end.state != JobState::Ok) {
    end.error = result.replyText.empty() ? "socket error " + std::to_string(result.lastSocketError)
                                         : result.replyText;
  }
  job.state = end.state;
  m_ended.emplace_back(job.id, std::move(end));
}

void RunRecorder::RunEnded() {
  Settle();
  if (m_runEnded) return;
  m_runEnded = true;
  Guard([&] { m_journal.EndRun(m_run, m_clock()); });
}

}  // namespace adw::engine
