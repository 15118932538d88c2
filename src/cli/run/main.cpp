// adweld-run: a posting run without the window. It builds the job list by
// the program's rules, runs the same worker pool (its main-thread calls
// served by a queue on this thread), writes result pages and log entries as
// the settings say, and prints one line per finished job and the counts.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/run/journal_run.h"
#include "cli/run/run_arguments.h"
#include "engine/base/ad_store.h"
#include "engine/base/board_list.h"
#include "engine/base/record_set.h"
#include "engine/base/variables_map.h"
#include "engine/posting/host_schedule.h"
#include "engine/posting/job_list.h"
#include "engine/posting/result_write_failures.h"
#include "engine/posting/run_results.h"
#include "engine/posting/worker_pool.h"
#include "engine/shell/settings_file.h"
#include "engine/shell/time_out_setting.h"
#include "platform/companion_library.h"
#include "platform/config_location.h"
#include "platform/files.h"
#include "platform/main_thread.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "product_version.h"

namespace {

using namespace adw;
using cli::kExitAllPosted;
using cli::kExitBadInput;
using cli::kExitSomeFailed;

std::string Out(const std::string& cp1251) {
  return platform::Cp1251ToUtf8(cp1251);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "adweld-run: %s\n", message.c_str());
  return kExitBadInput;
}

class RunnerObserver : public engine::IPostingObserver {
 public:
  RunnerObserver(int threads, bool reports, bool log, int hostLimit)
      : m_switches{threads, reports, log, hostLimit} {}
  engine::RunSwitches Switches() override { return m_switches; }
  void DisplayChanged(const engine::RunDisplay& display) override { m_display = display; }
  void SetRecorder(engine::RunRecorder* recorder) { m_recorder = recorder; }
  void JobStarting(int jobIndex) override {
    if (m_recorder) m_recorder->JobStarting(jobIndex);
  }
  void SettleRecords() override {
    if (m_recorder) m_recorder->Settle();
  }
  void RunEnded(engine::RunEnd how) override {
    if (m_recorder && how != engine::RunEnd::Shutdown) m_recorder->RunEnded();
  }
  void JobReported(const engine::JobResult& result, const std::string&) override {
    if (m_recorder) m_recorder->JobReported(result);
    const auto [board, reportDir] = engine::SplitJobLabel(result.label);
    const std::string_view state = engine::JobVerdictName(result.verdict);
    if (result.verdict == engine::JobVerdict::Ok) {
      std::printf("%.*s\t%s\t%s\n", static_cast<int>(state.size()), state.data(), Out(board).c_str(),
                  Out(result.url).c_str());
    } else {
      std::printf("%.*s\t%s\t%s\t%s\n", static_cast<int>(state.size()), state.data(), Out(board).c_str(),
                  Out(result.url).c_str(), Out(engine::FailureField(result.failureReason)).c_str());
    }
    std::fflush(stdout);
    TellWriteFailures();
  }
  // Result pages and log entries that could not be written, on standard
  // error; true when there were any so far.
  bool TellWriteFailures() {
    const engine::ResultWriteFailures failures = engine::TakeResultWriteFailures();
    for (const auto& failure : failures.kept)
      std::fprintf(stderr, "adweld-run: %s\n", Out(engine::DescribeResultWriteFailure(failure)).c_str());
    if (failures.dropped > 0)
      std::fprintf(stderr, "adweld-run: and %zu more that could not be written\n", failures.dropped);
    if (!failures.Empty()) m_writeFailed = true;
    return m_writeFailed;
  }
  void TerminateApplication() override { m_terminate = true; }
  bool Terminate() const { return m_terminate; }
  const engine::RunDisplay& Display() const { return m_display; }

 private:
  engine::RunSwitches m_switches;
  engine::RunDisplay m_display;
  engine::RunRecorder* m_recorder = nullptr;
  bool m_terminate = false;
  bool m_writeFailed = false;
};

int StoredThreadCount(const std::string& settingsFile) {
  const std::string text = platform::Trim(
      platform::IniFile(settingsFile).ReadString(engine::kSettingsSection, engine::kKeyThreadCount, "3"));
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 1000) return 3;
    value = value * 10 + (c - '0');
  }
  return value < 3 ? 3 : value > 30 ? 30 : value;
}

// Builds the job list from the script directory and the chosen boards and
// ads; an exit status when the inputs cannot be used.
std::optional<int> BuildFromScript(const cli::RunArguments& args, engine::JobListBuild& build,
                                   bool& unreadable) {
  const std::string storePath = engine::AdStorePath(args.scriptDir);
  if (!platform::ReadWholeFile(storePath)) return Fail("cannot read " + storePath);

  engine::BoardList list = engine::LoadBoardList(args.scriptDir);
  for (const auto& failure : list.failures) {
    if (failure.listed && args.boards == cli::RunArguments::Boards::Due) continue;
    std::fprintf(stderr, "adweld-run: cannot read board file %s: %s\n", Out(failure.fileName).c_str(),
                 Out(failure.reason).c_str());
    if (args.boards == cli::RunArguments::Boards::All && !failure.listed) unreadable = true;
  }
  if (args.boards == cli::RunArguments::Boards::All) engine::TickAll(list.rows);
  if (args.boards == cli::RunArguments::Boards::Named) {
    engine::UntickAll(list.rows);
    for (const std::string& name : args.boardNames) {
      bool found = false;
      for (auto& row : list.rows) {
        if (platform::EqualsNoCase(row.name, name)) row.ticked = found = true;
      }
      if (!found) return Fail("no board named " + Out(name) + " in " + args.scriptDir);
    }
  }

  engine::RecordSet ads = engine::MakeAdsRecordSet();
  engine::LoadAds(storePath, ads);
  for (std::size_t row = 0; row < ads.RecordCount(); ++row)
    ads.SetValue(row, "STAT", args.allAds ? "1" : "0");
  for (const std::string& name : args.adNames) {
    bool found = false;
    for (std::size_t row = 0; row < ads.RecordCount(); ++row) {
      if (ads.Value(row, "NAME") == name) {
        ads.SetValue(row, "STAT", "1");
        found = true;
      }
    }
    if (!found) return Fail("no ad named " + Out(name) + " in " + storePath);
  }

  build = engine::BuildJobList(args.scriptDir, engine::VariablesMapPath(args.scriptDir), list.rows, ads);
  for (const auto& skipped : build.skipped) {
    std::fprintf(stderr, "adweld-run: skipped board %s: %s\n", Out(skipped.name).c_str(),
                 Out(skipped.reason).c_str());
    unreadable = true;
  }
  return std::nullopt;
}

int Run(const cli::RunArguments& args) {
  if (!args.FromJournal() && !platform::DirectoryExists(args.scriptDir))
    return Fail("cannot read the script directory " + args.scriptDir);
  std::string settingsFile = args.settingsFile;
  if (settingsFile.empty()) {
    settingsFile = platform::ConfigFilePath("adwelder.ini");
  } else if (!platform::ReadWholeFile(settingsFile)) {
    return Fail("cannot read the settings file " + settingsFile);
  }
  if (const auto problem = engine::CheckStoredTimeOut(settingsFile)) {
    return Fail("settings file " + Out(settingsFile) + ": " + problem->key + "=\"" + Out(problem->value) +
                "\" is not a whole number of seconds from 0 to 999");
  }
  bool unreadable = false;
  engine::JobListBuild build;
  if (!args.FromJournal()) {
    if (const auto status = BuildFromScript(args, build, unreadable)) return *status;
  }
  cli::JournalRun journalRun;
  try {
    journalRun = cli::PrepareJournalRun(args, settingsFile, build);
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
  if (!journalRun.recorder) {
    if (!journalRun.note.empty()) std::fprintf(stderr, "adweld-run: %s\n", journalRun.note.c_str());
    std::printf("jobs=0 succeeded=0 failed=0\n");
    return unreadable ? kExitBadInput : kExitAllPosted;
  }
  engine::RunRecorder& recorder = *journalRun.recorder;
  cli::PrintHeldJobs(recorder.Skipped(), stdout);

  const int threads = args.threads ? *args.threads : StoredThreadCount(settingsFile);
  RunnerObserver observer(threads, engine::ReadSettingsBool(settingsFile, "cbReports_Checked"),
                          engine::ReadSettingsBool(settingsFile, engine::kKeyLogFile),
                          engine::ReadHostLimit(settingsFile));
  observer.SetRecorder(&recorder);
  platform::QueueMainThread mainThread;
  engine::PostingPool pool(mainThread, observer);
  engine::RunOptions options;
  options.settingsFile = settingsFile;
  options.logFile = engine::LogFileName(settingsFile);
  engine::JobList jobs = recorder.TakeJobList();
  const int jobCount = static_cast<int>(jobs.Count());
  if (pool.Start(std::move(jobs), options) != engine::PostingPool::StartResult::Started) recorder.RunEnded();
  while (pool.IsActive() && !observer.Terminate()) mainThread.WaitAndRun(200);
  pool.Shutdown();
  if (observer.Terminate()) {
    return Fail("cannot load the companion library " + platform::CompanionLibrary::DefaultPath());
  }

  const engine::RunCounters& counters = observer.Display().counters;
  // Jobs held back by the journal: skipped by the guard, or left unconfirmed
  // because they may have reached their board before an interruption.
  int skipped = 0;
  int unconfirmed = counters.unconfirmed;
  for (const auto& job : recorder.Skipped()) {
    if (job.state == engine::JobState::Skipped) ++skipped;
    if (job.state == engine::JobState::Unconfirmed) ++unconfirmed;
  }
  std::printf("jobs=%d succeeded=%d failed=%d unconfirmed=%d", jobCount, counters.successes,
              counters.failures, unconfirmed);
  if (skipped > 0) std::printf(" skipped=%d", skipped);
  std::printf("\n");
  if (!recorder.Error().empty()) std::fprintf(stderr, "adweld-run: %s\n", recorder.Error().c_str());
  const bool writeFailed = observer.TellWriteFailures();
  if (unreadable) return kExitBadInput;
  if (counters.failures > 0 || writeFailed) return kExitSomeFailed;
  // Jobs held back unsent do not make the run unconfirmed: this run did not post them.
  return counters.unconfirmed > 0 ? cli::kExitSomeUnconfirmed : kExitAllPosted;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("adweld-run %s\n", adw::kVersionText);
    return 0;
  }
  // The command line arrives in UTF-8; paths, board and ad names are
  // Windows-1251 text inside the program.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(adw::platform::FromNativePath(argv[i]));
  std::string error;
  const auto parsed = cli::ParseRunArguments(args, error);
  if (!parsed) {
    std::fprintf(stderr, "adweld-run: %s\n", error.c_str());
    cli::PrintRunUsage(stderr);
    return kExitBadInput;
  }
  return Run(*parsed);
}
