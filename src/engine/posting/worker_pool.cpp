#include "engine/posting/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

#include "engine/posting/fresh_form.h"
#include "engine/posting/http/http_post_client.h"
#include "engine/wizard/fetch/http_cli.h"
#include "platform/text1251.h"

namespace adw::engine {

std::string RunActiveHint() {
  return platform::W("Размещение уже идет: дождитесь его окончания или нажмите \"Стоп\"");
}

namespace {

class HttpJobPoster : public IJobPoster {
 public:
  explicit HttpJobPoster(const PostingSettings& settings) : m_settings(settings) {
    m_client.SetBody(kErrorRetrievingPage);
    m_client.SetTimeOut(settings.timeOutMs);
    // The worker's time-out timer: the whole job, not only lookup and
    // connect, ends once the stored time-out has passed.
    m_client.SetAbortAfter(settings.timeOutMs);
    if (!settings.proxyHost.empty()) {
      m_client.SetProxy(settings.proxyHost);
      m_client.SetProxyPort(settings.proxyPort);
    }
    m_client.SetCAFile(settings.caFile);
  }
  bool Post(const std::string& url, const std::string& body, const std::string& referer) override {
    m_client.HeaderInfo().Referer = referer;
    try {
      m_client.Post(url, body);
      return true;
    } catch (const std::exception& e) {
      m_failure = e.what();
      return false;
    }
  }
  int StatusCode() const override { return m_client.StatusCode(); }
  std::string RenewFormState(const std::string& pageUrl, const std::string& postUrl,
                             std::string& body) override {
    FreshFetchSettings fetch;
    fetch.proxyHost = m_settings.proxyHost;
    fetch.proxyPort = m_settings.proxyPort;
    fetch.timeOutMs = m_settings.timeOutMs;
    fetch.caFile = m_settings.caFile;
    // Made only for boards that need it; plain postings stay as light as
    // they were.
    if (!m_page) {
      m_page = std::make_unique<THttpCli>();
      m_pageForAbort.store(m_page.get());
    }
    FreshForm fresh = FetchFreshForm(*m_page, fetch, pageUrl, postUrl, body);
    if (!fresh.ok) return fresh.error;
    body = std::move(fresh.body);
    m_client.HeaderInfo().Cookie = std::move(fresh.cookie);
    return {};
  }
  void Abort() override {
    if (THttpCli* page = m_pageForAbort.load()) page->Abort();
    m_client.Abort();
  }
  // Moved, not copied: a reply body may be megabytes long.
  std::string TakeBody() override { return m_client.TakeBody(); }
  std::string ReplyText() const override { return m_client.ReplyText(); }
  int LastSocketError() const override { return m_client.LastSocketError(); }
  std::string FailureText() const override { return m_failure; }
  bool BodyCut() const override { return m_client.BodyCut(); }

 private:
  PostingSettings m_settings;
  HttpPostClient m_client;
  std::unique_ptr<THttpCli> m_page;                // FRESH boards' form page
  std::atomic<THttpCli*> m_pageForAbort{nullptr};  // read by Abort from other threads
  std::string m_failure;
};

}  // namespace

JobPosterFactory HttpJobPosterFactory() {
  return [](const PostingSettings& settings) { return std::make_unique<HttpJobPoster>(settings); };
}

struct PostingPool::Job {
  std::uint64_t runId = 0;
  int index = 0;
  std::string url;
  std::string body;
  std::string referer;
  std::string label;
  std::shared_ptr<const BoardJobRules> rules;
  std::string ad;
  PostingSettings settings;
};

// The worker of one pool slot. Its thread runs the jobs the main thread
// starts in the slot, one at a time, each with a client of its own, and
// hands each outcome over through the main-thread call. The object owns its
// thread and joins it on destruction, so it is never destroyed under it.
class TThreadHTTP {
 public:
  TThreadHTTP(PostingPool& pool, std::size_t slot) : m_pool(pool), m_slot(slot) {
    m_thread = std::thread([this] { Execute(); });
  }
  ~TThreadHTTP() {
    Quit();
    if (m_thread.joinable()) m_thread.join();
  }
  TThreadHTTP(const TThreadHTTP&) = delete;
  TThreadHTTP& operator=(const TThreadHTTP&) = delete;

  // Main thread: the next job of this slot.
  void Assign(PostingPool::Job job) {
    {
      std::lock_guard lock(m_mutex);
      m_pending.push_back(std::move(job));
    }
    m_wake.notify_one();
  }
  // The job in hand finishes its request and reports nothing; the thread
  // then ends.
  void Quit() {
    {
      std::lock_guard lock(m_mutex);
      m_quit = true;
      m_pending.clear();
    }
    m_wake.notify_one();
  }
  void AbortRequest() {
    std::lock_guard lock(m_mutex);
    if (m_poster) m_poster->Abort();
  }
  bool Exited() const { return m_exited.load(); }

 private:
  void Execute() {
    for (;;) {
      PostingPool::Job job;
      {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [&] { return m_quit || !m_pending.empty(); });
        if (m_quit) break;
        job = std::move(m_pending.front());
        m_pending.pop_front();
      }
      RunJob(job);
    }
    m_exited.store(true);
    m_pool.WorkerExited();
  }

  // The fresh form state first when the board asks for it, then the post,
  // then the board's verdict on the reply.
  static void PostWithVerdict(IJobPoster& poster, PostingPool::Job& job, JobResult& result) {
    if (job.rules->fresh) {
      std::string why = poster.RenewFormState(job.referer, job.url, job.body);
      if (!why.empty()) {
        result.verdict = JobVerdict::Failed;
        result.failureReason = why;
        // No reply to show: the result page says why, under the words that
        // mark a failed request in reports.
        poster.TakeBody();
        result.body = std::string(kErrorRetrievingPage) + "\r\n" + why;
        return;
      }
    }
    const bool posted = poster.Post(job.url, job.body, job.referer);
    result.body = poster.TakeBody();
    result.statusCode = posted ? poster.StatusCode() : 0;
    ReplyVerdict verdict = JudgeReply(posted, result.statusCode, result.body, job.rules->reply);
    result.verdict = verdict.verdict;
    result.failureReason = posted ? std::move(verdict.reason) : poster.FailureText();
  }

  void RunJob(PostingPool::Job& job) {
    std::unique_ptr<IJobPoster> poster;
    try {
      poster = m_pool.m_hooks.posterFactory(job.settings);
    } catch (const std::exception&) {
    }
    JobResult result;
    result.url = job.url;
    result.label = std::move(job.label);
    result.jobIndex = job.index;
    result.ad = std::move(job.ad);
    if (poster) {
      {
        std::lock_guard lock(m_mutex);
        m_poster = poster.get();
        if (m_quit && m_pool.m_shuttingDown.load()) poster->Abort();
      }
      PostWithVerdict(*poster, job, result);
      result.replyText = poster->ReplyText();
      result.lastSocketError = poster->LastSocketError();
      result.bodyCut = poster->BodyCut();
      std::lock_guard lock(m_mutex);
      m_poster = nullptr;
    } else {
      result.body = kErrorRetrievingPage;
    }
    job.body.clear();
    {
      std::lock_guard lock(m_mutex);
      if (m_quit) return;  // stopped while posting: the outcome is not reported
    }
    if (m_pool.m_shuttingDown.load()) return;
    m_pool.HandOver([&] { m_pool.JobFinished(job.runId, m_slot, job.index, result); });
  }

  PostingPool& m_pool;
  const std::size_t m_slot;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<PostingPool::Job> m_pending;
  bool m_quit = false;
  IJobPoster* m_poster = nullptr;
  std::atomic<bool> m_exited{false};
  std::thread m_thread;
};

PostingPool::PostingPool(platform::IMainThread& mainThread, IPostingObserver& observer)
    : PostingPool(mainThread, observer, Hooks{}) {}

PostingPool::PostingPool(platform::IMainThread& mainThread, IPostingObserver& observer, Hooks hooks)
    : m_mainThread(mainThread), m_observer(observer), m_hooks(std::move(hooks)), m_wake([this] {
        if (m_shuttingDown.load()) return;
        const std::uint64_t runId = m_wakeRunId.load();
        HandOver([this, runId] { DelayPassed(runId); });
      }) {
  if (!m_hooks.posterFactory) m_hooks.posterFactory = HttpJobPosterFactory();
  if (!m_hooks.servePending) {
    if (auto* queue = dynamic_cast<platform::QueueMainThread*>(&m_mainThread)) {
      m_hooks.servePending = [queue] { queue->RunPending(); };
    }
  }
}

PostingPool::~PostingPool() {
  Shutdown();
}

PostingPool::StartResult PostingPool::Start(JobList jobs, const RunOptions& options) {
  if (m_active) return StartResult::Refused;
  ReapRetired();
  m_jobs = std::move(jobs);
  m_options = options;
  const int jobCount = static_cast<int>(m_jobs.Count());

  m_display = RunDisplay{};
  m_display.counters.jobCount = jobCount;
  m_display.progressMax = jobCount;
  m_display.progressText = "0%";

  m_runningJobs = 0;
  m_owedJobs = std::min(jobCount, 3);
  m_maxRunning = 0;
  // At least the three slots the first workers take, whatever the box says.
  const int limit = std::max(m_observer.Switches().threadLimit, 3);
  m_slots.clear();
  m_slots.resize(static_cast<std::size_t>(limit));
  m_slotBusy.assign(static_cast<std::size_t>(limit), false);
  m_display.counters.running = m_owedJobs;

  if (m_owedJobs == 0) {
    m_display.startVisible = true;
    m_display.stopVisible = false;
    m_display.progressText.clear();
    m_jobs.Release();
    Publish();
    return StartResult::NoJobs;
  }

  m_display.startVisible = false;
  m_display.stopVisible = true;
  m_schedule = HostSchedule(m_jobs.JobURLs, m_jobs.JobLabels, m_jobs.JobDelays);
  m_active = true;
  ++m_runId;
  m_wakeRunId.store(m_runId);
  Publish();

  if (!m_library.Load(m_options.companionPath)) {
    m_observer.TerminateApplication();
  } else {
    if (m_library.HasLoadForm()) {
      m_library.CallLoadForm(m_options.application);
    } else {
      m_library.Release();
    }
    if (!m_library.HasUnloadForm()) m_library.Release();
  }

  StartInitialJobs();
  if (m_active && m_options.startMinimised) m_observer.HideToTray();
  return StartResult::Started;
}

void PostingPool::StartInitialJobs() {
  // The window processes its messages after each start, so a report may
  // come in between; the owed count keeps the refill rule right meanwhile.
  const std::uint64_t runId = m_runId;
  while (m_owedJobs > 0) {
    const int running = m_runningJobs;
    StartOwedJobs(kAnySlot, 1);
    DispatchStarts();
    if (m_runningJobs == running) break;  // the rest waits for the schedule
    m_observer.ProcessMessages();
    // The window may have stopped or closed the run meanwhile.
    if (!m_active || m_runId != runId) return;
  }
}

void PostingPool::StartOwedJobs(std::size_t preferredSlot, int maxStarts) {
  // A start needs a free slot; one the rule asked for without a free slot
  // is dropped, as the second start of a growth step is when none is free.
  const int freeSlots = static_cast<int>(m_slots.size()) - m_runningJobs;
  m_owedJobs = std::min({m_owedJobs, freeSlots, static_cast<int>(m_schedule.Waiting())});
  if (m_owedJobs <= 0) {
    m_owedJobs = 0;
    return;
  }
  const int hostLimit = m_observer.Switches().hostLimit;
  const auto now = HostSchedule::Clock::now();
  for (int started = 0; m_owedJobs > 0 && started < maxStarts; ++started) {
    const std::optional<int> index = m_schedule.Next(now, hostLimit);
    if (!index) break;
    std::optional<std::size_t> slot;
    if (preferredSlot < m_slotBusy.size() && !m_slotBusy[preferredSlot]) {
      slot = preferredSlot;
    } else {
      slot = FreeSlot();
    }
    if (!slot) break;
    preferredSlot = kAnySlot;
    --m_owedJobs;
    ++m_runningJobs;
    m_maxRunning = std::max(m_maxRunning, m_runningJobs);
    StartJob(*slot, *index);
  }
  // Held back by a board's DELAY alone: nothing running may end to bring
  // the pool back, so a timer does. Held back by a host's limit: the end
  // of a running job to that host does.
  if (m_owedJobs > 0) {
    if (const auto due = m_schedule.NextDelayEnd(now, hostLimit)) m_wake.At(*due);
  }
}

void PostingPool::DelayPassed(std::uint64_t runId) {
  if (!m_active || m_shuttingDown.load()) return;
  try {
    if (runId == m_runId) StartOwedJobs(kAnySlot);
    // Also for a stale call: it may be the last of a turn that holds starts.
    DispatchStarts();
    m_display.counters.running = m_runningJobs;
    Publish();
  } catch (const std::exception&) {
  }
}

void PostingPool::StartJob(std::size_t slot, int index) {
  m_slotBusy[slot] = true;
  const auto at = static_cast<std::size_t>(index);
  Job job;
  job.runId = m_runId;
  job.index = index;
  job.url = m_jobs.JobURLs[at];
  // The body is needed only by the request; the worker takes it over.
  job.body = std::move(m_jobs.JobBodies[at]);
  job.referer = m_jobs.JobReferers[at];
  job.label = m_jobs.JobLabels[at];
  job.rules = m_jobs.Rules(at);
  if (at < m_jobs.JobAds.size()) job.ad = m_jobs.JobAds[at];
  // Handed to its worker by the end of this turn (DispatchStarts).
  m_undispatched.emplace_back(slot, std::move(job));
}

void PostingPool::DispatchStarts() {
  while (!m_undispatched.empty()) {
    std::vector<std::pair<std::size_t, Job>> batch;
    batch.swap(m_undispatched);
    // Every start of the batch is announced, and whatever the observer
    // keeps of them and of the reports before them is stored in one go,
    // before the first request can go out.
    for (const auto& [slot, job] : batch) m_observer.JobStarting(job.index);
    m_observer.SettleRecords();
    // The proxy and time-out are read from the settings file for each turn,
    // so a change made during the run holds from the next jobs on.
    std::optional<PostingSettings> settings;
    try {
      settings = ReadPostingSettings(m_options.settingsFile);
    } catch (const std::exception&) {
      // Every job of the turn fails below, as each would have on its own.
    }
    for (auto& [slot, job] : batch) {
      const int index = job.index;
      try {
        if (!settings) throw std::runtime_error("settings not readable");
        job.settings = *settings;
        if (!m_slots[slot]) m_slots[slot] = std::make_unique<TThreadHTTP>(*this, slot);
        m_slots[slot]->Assign(std::move(job));
      } catch (const std::exception&) {
        // A worker that cannot be started fails its job, so the counters
        // still add up to the job count and the run still ends.
        m_failedStarts.emplace_back(slot, index);
      }
    }
    // Failed starts are reported at once and may start further jobs.
    DrainFailedStarts();
  }
  m_observer.SettleRecords();
}

void PostingPool::HandOver(const std::function<void()>& call) {
  // Counted until it begins to run on the main thread, so a turn there
  // knows that another hand-over follows; one that never runs (the call
  // failed, or the dispatcher dropped it) is taken off the count here.
  bool ran = false;
  ++m_queuedHandOvers;
  try {
    m_mainThread.CallBlocking([&] {
      ran = true;
      --m_queuedHandOvers;
      call();
    });
  } catch (...) {
    // The main thread's handling never comes back to the caller.
  }
  if (!ran) --m_queuedHandOvers;
}

void PostingPool::EndTurn() {
  // Another hand-over already waits, and it ends with a turn's end of its
  // own: its report and starts join this turn's, so one store covers them
  // all. A bound keeps workers from waiting on a long queue.
  if (m_queuedHandOvers.load() > 0 && m_undispatched.size() < kMaxUndispatched) return;
  DispatchStarts();
}

std::optional<std::size_t> PostingPool::FreeSlot() const {
  for (std::size_t slot = 0; slot < m_slotBusy.size(); ++slot) {
    if (!m_slotBusy[slot]) return slot;
  }
  return std::nullopt;
}

void PostingPool::JobFinished(std::uint64_t runId, std::size_t slot, int index, JobResult& result) {
  try {
    // A report of a stopped run (it was already queued when Stop came) or
    // one arriving while the pool shuts down changes nothing, but it may be
    // the last call of a turn that still holds starts.
    if (m_active && runId == m_runId && !m_shuttingDown.load()) HandleResult(slot, index, result);
    if (m_active && !m_shuttingDown.load()) EndTurn();
  } catch (const std::exception&) {
    // Nothing of the main thread's handling may fall back into the worker.
  }
}

void PostingPool::HandleResult(std::size_t slot, int index, JobResult& result) {
  m_schedule.Finished(index, HostSchedule::Clock::now());
  m_display.currentUrl = result.url;
  if (slot < m_slotBusy.size()) m_slotBusy[slot] = false;
  --m_runningJobs;
  ++m_display.progressPosition;

  const RunSwitches switches = m_observer.Switches();
  const std::string statusText = RecordJobResult(result, ResultSwitches{switches.reports, switches.log},
                                                 m_options.logFile, m_display.counters, m_writer);
  m_observer.JobReported(result, statusText);
  if (!m_active) return;  // the observer stopped the run

  // Refill: grow by one after a success while below the limit, otherwise
  // keep at most four going. Starts the schedule holds back count as
  // running here, so a pool waiting on a busy host neither shrinks nor
  // grows past the rule.
  const int limit = switches.threadLimit;
  const int size = m_runningJobs + m_owedJobs;
  // A board that answered without confirming still answered: the pool
  // grows as after a success.
  if (result.verdict != JobVerdict::Failed && size < limit - 1) {
    m_owedJobs += 2;
  } else if (size <= 3) {
    m_owedJobs += 1;
  }
  // Nothing left running must still leave the run a way on.
  if (m_runningJobs == 0 && m_owedJobs == 0) m_owedJobs = 1;
  StartOwedJobs(slot);

  m_display.counters.running = m_runningJobs;
  m_display.progressText = ProgressText(m_display.counters, m_display.progressText);
  if (m_runningJobs == 0 && m_schedule.Waiting() == 0) {
    EndOfRun();
  } else {
    Publish();
  }
}

void PostingPool::DrainFailedStarts() {
  while (m_active && !m_failedStarts.empty()) {
    const auto [slot, index] = m_failedStarts.front();
    m_failedStarts.pop_front();
    JobResult failed;
    failed.url = m_jobs.JobURLs[static_cast<std::size_t>(index)];
    failed.label = m_jobs.JobLabels[static_cast<std::size_t>(index)];
    failed.body = kErrorRetrievingPage;
    failed.jobIndex = index;
    if (static_cast<std::size_t>(index) < m_jobs.JobAds.size())
      failed.ad = m_jobs.JobAds[static_cast<std::size_t>(index)];
    HandleResult(slot, index, failed);
  }
}

void PostingPool::EndOfRun() {
  m_active = false;
  m_failedStarts.clear();
  m_undispatched.clear();
  m_owedJobs = 0;
  m_wake.Cancel();
  ReleaseCompanion();
  m_observer.RestoreFromTray();
  m_display.stopVisible = false;
  m_display.progressPosition = 0;
  m_display.startVisible = true;
  m_jobs.Release();
  RetireWorkers();
  m_writer.Drain();
  Publish();
  m_observer.SettleRecords();
  m_observer.RunEnded(RunEnd::Finished);
}

void PostingPool::Stop() {
  if (!m_active) return;
  m_active = false;
  m_failedStarts.clear();
  m_undispatched.clear();
  m_owedJobs = 0;
  m_wake.Cancel();
  RetireWorkers();
  m_jobs.Release();
  m_display.counters = RunCounters{};
  m_display.currentUrl.clear();
  m_display.progressText = "0%";
  m_display.startVisible = true;
  m_display.progressPosition = 0;
  m_display.stopVisible = false;
  ReleaseCompanion();
  m_writer.Drain();
  Publish();
  m_observer.SettleRecords();
  m_observer.RunEnded(RunEnd::Stopped);
}

void PostingPool::Shutdown() {
  const bool wasActive = m_active;
  m_active = false;
  m_shuttingDown.store(true);
  m_failedStarts.clear();
  m_undispatched.clear();
  m_owedJobs = 0;
  m_wake.Quit();
  RetireWorkers();
  m_jobs.Release();
  ReleaseCompanion();
  // Abort every request and keep serving hand-overs that were queued before
  // the workers saw the shutdown, until every worker thread has ended.
  for (;;) {
    bool allExited = true;
    for (auto& worker : m_retired) {
      if (!worker->Exited()) {
        allExited = false;
        // Repeated: a request that was just starting may have missed the
        // first one.
        worker->AbortRequest();
      }
    }
    if (allExited && m_wake.Idle()) break;
    ServePending();
    std::unique_lock lock(m_exitMutex);
    m_exitCv.wait_for(lock, std::chrono::milliseconds(1));
  }
  m_retired.clear();
  m_wake.Reap();
  m_writer.Drain();
  m_shuttingDown.store(false);
  if (wasActive) {
    m_display.startVisible = true;
    m_display.stopVisible = false;
    m_display.progressPosition = 0;
    m_observer.SettleRecords();
    m_observer.RunEnded(RunEnd::Shutdown);
  }
}

void PostingPool::ReleaseCompanion() {
  if (!m_library.IsLoaded()) return;
  m_library.CallUnloadForm(1);
  m_library.Release();
}

void PostingPool::RetireWorkers() {
  for (auto& worker : m_slots) {
    if (!worker) continue;
    worker->Quit();
    m_retired.push_back(std::move(worker));
  }
  std::fill(m_slotBusy.begin(), m_slotBusy.end(), false);
}

void PostingPool::ReapRetired() {
  // Only threads that have ended are joined here, so the main thread never
  // waits for a request still on its way.
  std::erase_if(m_retired, [](const std::unique_ptr<TThreadHTTP>& worker) { return worker->Exited(); });
}

void PostingPool::ServePending() {
  if (m_hooks.servePending) m_hooks.servePending();
}

void PostingPool::Publish() {
  m_observer.DisplayChanged(m_display);
}

void PostingPool::WorkerExited() {
  { std::lock_guard lock(m_exitMutex); }
  m_exitCv.notify_all();
}

}  // namespace adw::engine
