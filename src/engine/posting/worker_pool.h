#pragma once
// The posting run after the job list is built: a pool of TThreadHTTP
// workers, each posting one job at a time with a client of its own, handing
// every outcome to the main thread, where JobFinished records it, starts
// further jobs by the refill rule and ends the run when nothing is left.
// Which job starts next is the host schedule's choice: hosts in turn, a
// limit of requests at once per host, each board's DELAY.
//
// The window and adweld-run share this class; they differ only in the
// IMainThread they give it (a blocking queued call into the window's event
// loop, or a QueueMainThread the runner serves) and in the observer.
//
// Threads: Start, Stop, Shutdown and every observer call happen on the main
// thread. Workers touch only their own job and client and reach the run
// state solely through IMainThread::CallBlocking, so no lock guards it.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/posting/host_schedule.h"
#include "engine/posting/job_list.h"
#include "engine/posting/result_writer.h"
#include "engine/posting/run_results.h"
#include "engine/posting/wake_timer.h"
#include "engine/shell/settings_file.h"
#include "platform/companion_library.h"
#include "platform/main_thread.h"

namespace adw::engine {

// The status bar hint for a start (button or schedule) while a run is active.
std::string RunActiveHint();

// One job's request as a worker sends it. The real poster wraps
// HttpPostClient; tests give the pool fakes.
class IJobPoster {
 public:
  virtual ~IJobPoster() = default;
  // On the worker thread. True when the post returned (whatever the HTTP
  // status), false when it failed or was aborted.
  virtual bool Post(const std::string& url, const std::string& body, const std::string& referer) = 0;
  // The final HTTP status of the reply Post read; 0 when none was read.
  virtual int StatusCode() const { return 0; }
  // On the worker thread, before Post, for boards with FRESH=1: fetch the
  // form's page (pageUrl), put its current hidden values into body and
  // keep its cookies for the Post. Returns empty when done, else why not
  // (cp1251); the job then fails without being posted.
  virtual std::string RenewFormState(const std::string& /*pageUrl*/, const std::string& /*postUrl*/,
                                     std::string& /*body*/) {
    return {};
  }
  // From any thread: a running Post fails soon after.
  virtual void Abort() = 0;
  // After Post, read on the main thread while the worker waits.
  virtual std::string TakeBody() = 0;  // the reply body, or "error retrieving page"
  virtual std::string ReplyText() const = 0;
  virtual int LastSocketError() const = 0;
  // Why the last Post failed (empty when it did not, or none is known).
  virtual std::string FailureText() const { return {}; }
  // The reply body was longer than the client keeps and was cut.
  virtual bool BodyCut() const { return false; }
};
using JobPosterFactory = std::function<std::unique_ptr<IJobPoster>(const PostingSettings&)>;
// Posters over HttpPostClient: proxy, time-out of lookup and connect, and
// an abort once the time-out has passed since the job began.
JobPosterFactory HttpJobPosterFactory();

// What the status panel shows.
struct RunDisplay {
  RunCounters counters;      // lbMessageCnt, lbProcessCnt, lbSuccessMsg, lbFailMsg
  std::string currentUrl;    // lbCurrentMsg
  std::string progressText;  // lbProg
  int progressMax = 0;       // pbStat maximum (minimum is 0)
  int progressPosition = 0;  // pbStat position
  bool startVisible = true;  // btnStart
  bool stopVisible = false;  // btnStop
};

// Values the pool reads from the configuration panel's boxes at each report.
struct RunSwitches {
  int threadLimit = 3;   // RxSEdPost "кол. потоков"
  bool reports = false;  // cbReports
  bool log = false;      // cbLogFile
  // Requests at once to one host:port (HostLimit_Value); 0 or less: no
  // limit.
  int hostLimit = 0;
};

enum class RunEnd {
  Finished,  // the last worker reported: bring the report panel to the front
  Stopped,   // Stop: counters reset, panels stay
  Shutdown,  // the owner is going away
};

// The window or the runner. Called on the main thread only.
class IPostingObserver {
 public:
  virtual ~IPostingObserver() = default;
  virtual RunSwitches Switches() = 0;
  virtual void DisplayChanged(const RunDisplay& /*display*/) {}
  // One recorded job; statusText is the result page's path for the status
  // bar (empty when no page was written).
  virtual void JobReported(const JobResult& /*result*/, const std::string& /*statusText*/) {}
  // Job jobIndex is about to be handed to a worker (its request may reach
  // the board from then on); SettleRecords follows before it is handed.
  virtual void JobStarting(int /*jobIndex*/) {}
  // Before jobs announced by JobStarting are handed to their workers, and
  // at the end of every turn of the main thread that took reports: what
  // the observer holds of those starts and reports is to be stored now, in
  // one go. A turn is the run of hand-overs the main thread finds queued
  // one after another.
  virtual void SettleRecords() {}
  virtual void RunEnded(RunEnd /*how*/) {}
  // cbState "запускать свернув": hide to the tray at the start; at every
  // finished run the window comes back when its tray icon is active.
  virtual void HideToTray() {}
  virtual void RestoreFromTray() {}
  // The companion library could not be loaded: the program is to close once
  // control returns to its event loop (the run still starts).
  virtual void TerminateApplication() {}
  // After each worker started at the run's start, so the window stays live.
  virtual void ProcessMessages() {}
};

struct RunOptions {
  std::string settingsFile;     // the workers' proxy and time-out
  std::string logFile;          // where log entries go when the log is on
  bool startMinimised = false;  // cbState
  void* application = nullptr;  // handed to "LoadForm"
  std::string companionPath;    // empty: beside the program
};

class TThreadHTTP;

class PostingPool {
 public:
  struct Hooks {
    // How jobs are posted; default: HttpJobPosterFactory().
    JobPosterFactory posterFactory;
    // Runs the calls workers have queued on the main thread. Shutdown uses
    // it so that no worker stays blocked in its hand-over while the pool
    // waits for it; default: RunPending of a QueueMainThread. The window
    // gives the delivery of its queued calls.
    std::function<void()> servePending;
  };

  PostingPool(platform::IMainThread& mainThread, IPostingObserver& observer);
  PostingPool(platform::IMainThread& mainThread, IPostingObserver& observer, Hooks hooks);
  ~PostingPool();  // Shutdown()
  PostingPool(const PostingPool&) = delete;
  PostingPool& operator=(const PostingPool&) = delete;

  enum class StartResult {
    Started,
    NoJobs,   // the run ended at once; the library was not loaded
    Refused,  // a run is active: show RunActiveHint(), nothing changed
  };
  // The rest of btnStartClick: takes the job list and starts the workers.
  StartResult Start(JobList jobs, const RunOptions& options);
  // btnStopClick: running workers finish their request and report nothing.
  void Stop();
  // For the window's destructor and the runner's exit: ends the run, aborts
  // every request, serves pending hand-overs and joins every worker thread.
  // Observers hear nothing from it but RunEnded(Shutdown) when a run was
  // active. The pool can still start runs afterwards.
  void Shutdown();

  bool IsActive() const { return m_active; }
  const RunDisplay& Display() const { return m_display; }
  // Workers started in the current run (for the benchmarks and tests).
  int MaxRunningSeen() const { return m_maxRunning; }
  bool CompanionHeld() const { return m_library.IsLoaded(); }

 private:
  friend class TThreadHTTP;
  struct Job;
  void StartInitialJobs();
  // Starts as many of the owed jobs as the schedule lets start now, the
  // first in the preferred slot when it is free; arms the wake timer for
  // jobs a board's DELAY holds back.
  static constexpr std::size_t kAnySlot = static_cast<std::size_t>(-1);
  void StartOwedJobs(std::size_t preferredSlot, int maxStarts = 1 << 30);
  // Takes the job for the slot; it goes to the worker with the rest of the
  // turn's starts in DispatchStarts.
  void StartJob(std::size_t slot, int index);
  void DispatchStarts();
  // After a hand-over: dispatches the turn's starts unless another
  // hand-over is already queued (then it ends the turn).
  void EndTurn();
  // A worker's or the wake timer's call into the main thread; every such
  // call ends with DispatchStarts or EndTurn.
  void HandOver(const std::function<void()>& call);
  static constexpr std::size_t kMaxUndispatched = 8;
  std::optional<std::size_t> FreeSlot() const;
  // On the main thread, while the reporting worker waits.
  void JobFinished(std::uint64_t runId, std::size_t slot, int index, JobResult& result);
  void HandleResult(std::size_t slot, int index, JobResult& result);
  void DelayPassed(std::uint64_t runId);
  void DrainFailedStarts();
  void EndOfRun();
  void ReleaseCompanion();
  void RetireWorkers();
  void ReapRetired();
  void ServePending();
  void Publish();
  void WorkerExited();

  platform::IMainThread& m_mainThread;
  IPostingObserver& m_observer;
  Hooks m_hooks;

  // Run state: main thread only.
  JobList m_jobs;
  RunOptions m_options;
  RunDisplay m_display;
  bool m_active = false;
  std::uint64_t m_runId = 0;
  int m_runningJobs = 0;
  // Starts the refill rule asked for that the schedule held back (a host
  // at its limit, a board within its DELAY); they start as soon as it
  // lets them, so the pool keeps the size the rule gives it.
  int m_owedJobs = 0;
  HostSchedule m_schedule;
  // Result pages and log entries go to the disk from here, off the main
  // thread; every run end drains it before the observer hears of the end.
  ResultWriter m_writer;
  int m_maxRunning = 0;
  std::vector<std::unique_ptr<TThreadHTTP>> m_slots;  // WorkerSlots
  std::vector<bool> m_slotBusy;
  std::deque<std::pair<std::size_t, int>> m_failedStarts;   // slot, job
  std::vector<std::pair<std::size_t, Job>> m_undispatched;  // slot, job: started, not yet handed over
  std::vector<std::unique_ptr<TThreadHTTP>> m_retired;      // finishing, joined later
  platform::CompanionLibrary m_library;

  // Seen by workers before they hand over.
  std::atomic<bool> m_shuttingDown{false};
  std::mutex m_exitMutex;
  std::condition_variable m_exitCv;
  std::atomic<std::uint64_t> m_wakeRunId{0};
  std::atomic<int> m_queuedHandOvers{0};
  WakeTimer m_wake;
};

}  // namespace adw::engine
