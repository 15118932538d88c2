#include "cli/run/journal_run.h"

#include "engine/journal/journal_settings.h"
#include "platform/text1251.h"

namespace adw::cli {

JournalRun PrepareJournalRun(const RunArguments& args, const std::string& settingsFile,
                             engine::JobListBuild& build) {
  JournalRun run;
  run.journal = std::make_unique<engine::RunJournal>(engine::JournalFileName(settingsFile));
  engine::RunJournal& journal = *run.journal;
  if (args.resume) {
    const auto plan = engine::PlanResume(journal);
    if (!plan) {
      run.note = "no interrupted run to resume in " + journal.Path();
      return run;
    }
    run.recorder = std::make_unique<engine::RunRecorder>(journal, *plan, args.force);
    return run;
  }

  // A run that never ended is left for --resume; a new run does not hide it.
  if (const auto interrupted = journal.InterruptedRun()) {
    std::fprintf(stderr, "adweld-run: the run started %s did not end; adweld-run --resume finishes it\n",
                 engine::FormatStamp(interrupted->started).c_str());
  }
  engine::GuardOptions guard;
  guard.days = engine::ReadRepeatDays(settingsFile);
  guard.force = args.force;
  guard.changedOnly = args.changedAds;
  guard.nowMs = engine::NowMs();
  std::vector<engine::JournalJob> rows;
  engine::RunKind kind = engine::RunKind::Post;
  if (!args.retryStates.empty()) {
    std::vector<engine::JobState> states;
    for (const std::string& name : args.retryStates) states.push_back(*engine::ParseJobState(name));
    rows = engine::RetryJobs(journal, states);
    kind = engine::RunKind::Retry;
    if (rows.empty()) {
      run.note = "the last run in " + journal.Path() + " has no job to post again";
      return run;
    }
  } else {
    rows = engine::JournalJobsOf(build.jobs, build.origins);
    build.jobs.Release();
    // Nothing matched: no run is recorded, and nothing is said beyond the
    // counts, as before there was a journal.
    if (rows.empty()) return run;
  }
  engine::ApplyDuplicateGuard(journal, rows, guard);
  run.recorder =
      std::make_unique<engine::RunRecorder>(journal, engine::RunOrigin::Runner, kind, std::move(rows));
  return run;
}

void PrintHeldJobs(const std::vector<engine::JournalJob>& held, std::FILE* to) {
  for (const engine::JournalJob& job : held) {
    std::fprintf(to, "%s\t%s\t%s\tad %s: %s\n", std::string(engine::JobStateName(job.state)).c_str(),
                 platform::Cp1251ToUtf8(job.board).c_str(), platform::Cp1251ToUtf8(job.url).c_str(),
                 platform::Cp1251ToUtf8(job.ad).c_str(), platform::Cp1251ToUtf8(job.reason).c_str());
  }
  std::fflush(to);
}

}  // namespace adw::cli
