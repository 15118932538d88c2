#pragma once
// adweld-run's side of the run journal: opening it beside the settings file,
// choosing the jobs (new build through the duplicate guard, resume, retry)
// and printing the jobs held back.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/run/run_arguments.h"
#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "engine/posting/job_list.h"

namespace adw::cli {

struct JournalRun {
  std::unique_ptr<engine::RunJournal> journal;
  std::unique_ptr<engine::RunRecorder> recorder;  // none: nothing to run
  std::string note;                               // why there is nothing to run
};

// Opens the journal and writes the run's rows. build is the fresh job list
// (ignored for --resume and --retry). Throws engine::JournalError (the
// message says which file and why) or platform::SqliteError.
JournalRun PrepareJournalRun(const RunArguments& args, const std::string& settingsFile,
                             engine::JobListBuild& build);

// One line per job held back: "skipped" or "unconfirmed", TAB, board, TAB,
// URL, TAB, the ad and the reason (UTF-8).
void PrintHeldJobs(const std::vector<engine::JournalJob>& held, std::FILE* to);

}  // namespace adw::cli
