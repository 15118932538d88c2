#include "cli/run/journal_run.h"

#include "engine/journal/journal_settings.h"
#include "engine/shell/settings_file.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::cli {

namespace {

// Where the board files of a run taken from the journal are: --script when
// given, else the script directory the window stored in the settings.
std::string JournalScriptDir(const RunArguments& args, const std::string& settingsFile) {
  if (!args.scriptDir.empty()) return args.scriptDir;
  return platform::Trim(
      platform::IniFile(settingsFile).ReadString(engine::kSettingsSection, engine::kKeyScriptDir, ""));
}

// Thrown before anything is written: without its board files a job would
// be posted without its board's rules.
void RequireScriptDir(const std::string& dir, const std::string& settingsFile, const char* option) {
  if (dir.empty()) {
    throw engine::JournalError(std::string(option) +
                               " reads each board's rules from its board file: give --script DIR "
                               "(no script directory is stored in " +
                               platform::Cp1251ToUtf8(settingsFile) + ")");
  }
  if (!platform::DirectoryExists(dir)) {
    throw engine::JournalError("cannot read the script directory " + platform::Cp1251ToUtf8(dir));
  }
}

}  // namespace

JournalRun PrepareJournalRun(const RunArguments& args, const std::string& settingsFile,
                             engine::JobListBuild& build) {
  JournalRun run;
  run.journal = std::make_unique<engine::RunJournal>(engine::JournalFileName(settingsFile));
  engine::RunJournal& journal = *run.journal;
  if (args.resume) {
    const std::string scriptDir = JournalScriptDir(args, settingsFile);
    const auto plan = engine::PlanResume(journal, scriptDir);
    if (!plan) {
      if (const auto live = journal.LiveRun()) {
        throw engine::JournalError("the run started " + engine::FormatStamp(live->started) +
                                   " is still running in another process; it is not resumed");
      }
      run.note = "no interrupted run to resume in " + journal.Path();
      return run;
    }
    RequireScriptDir(scriptDir, settingsFile, "--resume");
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
    const std::string scriptDir = JournalScriptDir(args, settingsFile);
    rows = engine::RetryJobs(journal, states, scriptDir);
    kind = engine::RunKind::Retry;
    if (rows.empty()) {
      run.note = "the last run in " + journal.Path() + " has no job to post again";
      return run;
    }
    RequireScriptDir(scriptDir, settingsFile, "--retry");
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
