#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <tuple>

#include "engine/posting/worker_pool.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

// Job URLs name the job and its outcome: "job:7:ok" succeeds, "job:7:fail"
// fails.
std::string JobName(int k, bool ok) {
  return "job:" + std::to_string(k) + (ok ? ":ok" : ":fail");
}

JobList MakeJobs(
    int count, const std::function<bool(int)>& ok = [](int) { return true; }) {
  JobList jobs;
  for (int k = 0; k < count; ++k) jobs.Add(JobName(k, ok(k)), "b", "r", "Board" + std::to_string(k) + "\t");
  return jobs;
}

// The posting side of the tests. Gated posts wait until the test lets their
// job finish (or the request is aborted); ungated ones finish at once.
class FakePosters {
 public:
  explicit FakePosters(bool gated) : m_gated(gated) {}

  JobPosterFactory Factory() {
    return [this](const PostingSettings&) { return std::make_unique<Poster>(*this); };
  }
  void Release(const std::string& url) {
    std::lock_guard lock(m_mutex);
    m_released.insert(url);
    m_changed.notify_all();
  }
  void ReleaseAll() {
    std::lock_guard lock(m_mutex);
    m_gated = false;
    m_changed.notify_all();
  }
  void WaitStarted(std::size_t n) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_started.size() >= n; });
  }
  int MaxInFlight() {
    std::lock_guard lock(m_mutex);
    return m_maxInFlight;
  }
  std::vector<std::string> Started() {
    std::lock_guard lock(m_mutex);
    return m_started;
  }

 private:
  class Poster : public IJobPoster {
   public:
    explicit Poster(FakePosters& owner) : m_owner(owner) {}
    bool Post(const std::string& url, const std::string&, const std::string&) override {
      std::unique_lock lock(m_owner.m_mutex);
      m_owner.m_started.push_back(url);
      m_owner.m_maxInFlight = std::max(m_owner.m_maxInFlight, ++m_owner.m_inFlight);
      m_owner.m_changed.notify_all();
      m_owner.m_changed.wait(lock,
                             [&] { return m_aborted || !m_owner.m_gated || m_owner.m_released.count(url); });
      --m_owner.m_inFlight;
      m_body = "reply to " + url;
      return !m_aborted && url.ends_with(":ok");
    }
    void Abort() override {
      std::lock_guard lock(m_owner.m_mutex);
      m_aborted = true;
      m_owner.m_changed.notify_all();
    }
    std::string TakeBody() override { return std::move(m_body); }
    std::string ReplyText() const override { return ""; }
    int LastSocketError() const override { return 10035; }

   private:
    FakePosters& m_owner;
    bool m_aborted = false;  // guarded by the owner's mutex
    std::string m_body;
  };

  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_gated;
  std::set<std::string> m_released;
  std::vector<std::string> m_started;
  int m_inFlight = 0;
  int m_maxInFlight = 0;
};

// A main thread that also tells how many hand-overs were queued.
class CountingMainThread : public platform::QueueMainThread {
 public:
  void CallBlocking(const std::function<void()>& fn) override {
    {
      std::lock_guard lock(m_mutex);
      ++m_queued;
      m_changed.notify_all();
    }
    QueueMainThread::CallBlocking(fn);
  }
  void WaitQueued(int n) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_queued >= n; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  int m_queued = 0;
};

class RecordingObserver : public IPostingObserver {
 public:
  RunSwitches switches{3, false, false};
  std::vector<int> runningAfterReport;
  std::vector<std::string> reported;
  std::vector<std::string> events;
  RunDisplay last;
  std::function<void()> onReport;

  RunSwitches Switches() override { return switches; }
  void DisplayChanged(const RunDisplay& display) override { last = display; }
  void JobReported(const JobResult& result, const std::string&) override {
    reported.push_back(result.url);
    if (onReport) onReport();
  }
  void RunEnded(RunEnd how) override {
    events.push_back(how == RunEnd::Finished ? "ended" : how == RunEnd::Stopped ? "stopped" : "shutdown");
  }
  void HideToTray() override { events.push_back("hide"); }
  void RestoreFromTray() override { events.push_back("restore"); }
  void TerminateApplication() override { events.push_back("terminate"); }
};

// Remembers the running count after every report (read from the display the
// pool publishes once its refill is done).
class CountingObserver : public RecordingObserver {
 public:
  void DisplayChanged(const RunDisplay& display) override {
    // The position steps once per report and drops to 0 at the end of the run.
    if (display.progressPosition > lastPosition || (display.progressPosition == 0 && lastPosition > 0)) {
      runningAfterReport.push_back(display.counters.running);
    }
    lastPosition = display.progressPosition;
    RecordingObserver::DisplayChanged(display);
  }
  int lastPosition = 0;
};

std::string Companion() {
  return std::string(ADWELD_BIN_DIR) + "/libbanrun.so";
}

RunOptions Options(const std::string& settings = "/nonexistent/adwelder.ini") {
  RunOptions options;
  options.settingsFile = settings;
  options.companionPath = Companion();
  return options;
}

void RunToEnd(platform::QueueMainThread& main, PostingPool& pool) {
  while (pool.IsActive()) main.WaitAndRun(1000);
}

TEST(WorkerPoolRefill, GrowsAfterSuccessesUpToTheLimit) {
  platform::QueueMainThread main;
  CountingObserver observer;
  observer.switches.threadLimit = 10;
  FakePosters posters(false);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  ASSERT_EQ(pool.Start(MakeJobs(100), Options()), PostingPool::StartResult::Started);
  RunToEnd(main, pool);

  // Three at first; each success starts two while fewer than nine run, so
  // the pool grows by one per success to ten, then stays at nine or ten.
  const std::vector<int> growth(observer.runningAfterReport.begin(), observer.runningAfterReport.begin() + 8);
  EXPECT_EQ(growth, (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 9}));
  for (std::size_t i = 6; i < 100 - 10; ++i) {
    EXPECT_TRUE(observer.runningAfterReport[i] == 9 || observer.runningAfterReport[i] == 10) << i;
  }
  EXPECT_LE(posters.MaxInFlight(), 10);
  EXPECT_EQ(observer.last.counters.successes, 100);
  EXPECT_EQ(observer.last.progressText, "100%");
}

TEST(WorkerPoolRefill, NeverMoreThanThreeWithTheSmallestLimit) {
  platform::QueueMainThread main;
  CountingObserver observer;
  FakePosters posters(false);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  pool.Start(MakeJobs(10), Options());
  RunToEnd(main, pool);
  EXPECT_EQ(observer.runningAfterReport, (std::vector<int>{3, 3, 3, 3, 3, 3, 3, 2, 1, 0}));
  EXPECT_LE(posters.MaxInFlight(), 3);
  EXPECT_EQ(observer.reported.size(), 10u);
}

TEST(WorkerPoolRefill, FailuresKeepThreeThenSettleAtFour) {
  platform::QueueMainThread main;
  CountingObserver observer;
  observer.switches.threadLimit = 10;
  FakePosters posters(true);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  // Jobs 0..19 succeed, the rest fail; they finish strictly in job order.
  pool.Start(MakeJobs(40, [](int k) { return k < 20; }), Options());
  for (int k = 0; k < 40; ++k) {
    posters.Release(JobName(k, k < 20));
    while (observer.reported.size() < static_cast<std::size_t>(k + 1)) main.WaitAndRun(1000);
  }
  RunToEnd(main, pool);
  const auto& r = observer.runningAfterReport;
  // Grown to ten by successes, ...
  EXPECT_EQ(std::vector<int>(r.begin(), r.begin() + 8), (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 9}));
  // ... then a series of failures starts nothing until three or fewer run,
  // after which each failure starts one: the pool settles at four.
  const std::vector<int> afterFailures(r.begin() + 20, r.begin() + 30);
  EXPECT_EQ(afterFailures, (std::vector<int>{8, 7, 6, 5, 4, 4, 4, 4, 4, 4}));
  EXPECT_EQ(observer.last.counters.successes, 20);
  EXPECT_EQ(observer.last.counters.failures, 20);

  // Failures only from the start: the pool stays at three.
  CountingObserver failing;
  failing.switches.threadLimit = 10;
  FakePosters failPosters(false);
  PostingPool failPool(main, failing, {failPosters.Factory(), {}});
  failPool.Start(MakeJobs(10, [](int) { return false; }), Options());
  RunToEnd(main, failPool);
  EXPECT_EQ(failing.runningAfterReport, (std::vector<int>{3, 3, 3, 3, 3, 3, 3, 2, 1, 0}));
}

// Tells whether each request went out after the start it belongs to was
// stored, and how many stores the run made.
class SettlingObserver : public RecordingObserver {
 public:
  void JobStarting(int index) override {
    std::lock_guard lock(mutex);
    announced.push_back(index);
  }
  void JobReported(const JobResult& result, const std::string& text) override {
    ++reportsHeld;
    RecordingObserver::JobReported(result, text);
  }
  void SettleRecords() override {
    std::lock_guard lock(mutex);
    if (announced.empty() && reportsHeld == 0) return;
    ++stores;
    settled.insert(announced.begin(), announced.end());
    announced.clear();
    reportsHeld = 0;
  }
  bool Settled(int index) {
    std::lock_guard lock(mutex);
    return settled.count(index) > 0;
  }

  std::mutex mutex;
  std::vector<int> announced;
  std::set<int> settled;
  int reportsHeld = 0;
  int stores = 0;
};

TEST(WorkerPoolRun, StartsAreStoredBeforeTheirRequestAndATurnStoresOnce) {
  CountingMainThread main;
  SettlingObserver observer;
  observer.switches.threadLimit = 10;
  FakePosters posters(true);
  std::atomic<int> unsettledPosts{0};
  // Each post first checks that its job's start was stored.
  auto factory = [&](const PostingSettings& settings) {
    class Checking : public IJobPoster {
     public:
      Checking(std::unique_ptr<IJobPoster> inner, SettlingObserver& observer, std::atomic<int>& unsettled)
          : m_inner(std::move(inner)), m_observer(observer), m_unsettled(unsettled) {}
      bool Post(const std::string& url, const std::string& body, const std::string& referer) override {
        const int index = std::stoi(url.substr(4));
        if (!m_observer.Settled(index)) ++m_unsettled;
        return m_inner->Post(url, body, referer);
      }
      void Abort() override { m_inner->Abort(); }
      std::string TakeBody() override { return m_inner->TakeBody(); }
      std::string ReplyText() const override { return m_inner->ReplyText(); }
      int LastSocketError() const override { return m_inner->LastSocketError(); }

     private:
      std::unique_ptr<IJobPoster> m_inner;
      SettlingObserver& m_observer;
      std::atomic<int>& m_unsettled;
    };
    return std::make_unique<Checking>(posters.Factory()(settings), observer, unsettledPosts);
  };
  PostingPool pool(main, observer, {factory, {}});
  pool.Start(MakeJobs(40), Options());
  posters.WaitStarted(3);
  EXPECT_EQ(observer.stores, 3) << "each of the first three goes out on its own";

  // Three reports queued together make one turn: their outcomes and the
  // starts they lead to are stored once.
  for (int k = 0; k < 3; ++k) posters.Release(JobName(k, true));
  main.WaitQueued(3);
  while (observer.reported.size() < 3) main.WaitAndRun(1000);
  EXPECT_EQ(observer.stores, 4);
  EXPECT_GT(observer.settled.size(), 3u);

  posters.ReleaseAll();
  RunToEnd(main, pool);
  EXPECT_EQ(observer.reported.size(), 40u);
  EXPECT_EQ(unsettledPosts.load(), 0);
  EXPECT_EQ(observer.settled.size(), 40u);
  EXPECT_EQ(observer.reportsHeld, 0) << "every outcome was stored by the end of the run";
}

TEST(WorkerPoolRun, EndOfRunSequenceAfterTheLastReport) {
  platform::QueueMainThread main;
  RecordingObserver observer;
  observer.switches.reports = true;
  FakePosters posters(true);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  RunOptions options = Options();
  options.startMinimised = true;
  ASSERT_EQ(pool.Start(MakeJobs(1), options), PostingPool::StartResult::Started);
  EXPECT_TRUE(pool.IsActive());
  EXPECT_FALSE(observer.last.startVisible);
  EXPECT_TRUE(observer.last.stopVisible);
  EXPECT_EQ(observer.last.counters.jobCount, 1);
  EXPECT_EQ(observer.last.counters.running, 1);
  EXPECT_EQ(observer.last.progressText, "0%");
  EXPECT_TRUE(pool.CompanionHeld()) << "the companion library is built beside the tests: " << Companion();
  EXPECT_EQ(observer.events, std::vector<std::string>{"hide"});
  // A second start while running is refused and changes nothing.
  EXPECT_EQ(pool.Start(MakeJobs(5), options), PostingPool::StartResult::Refused);
  EXPECT_EQ(observer.last.counters.jobCount, 1);

  posters.Release(JobName(0, true));
  RunToEnd(main, pool);
  EXPECT_EQ(observer.events, (std::vector<std::string>{"hide", "restore", "ended"}));
  EXPECT_FALSE(pool.CompanionHeld());
  EXPECT_TRUE(observer.last.startVisible);
  EXPECT_FALSE(observer.last.stopVisible);
  EXPECT_EQ(observer.last.progressPosition, 0);
  // The counters, the percentage and the last URL stay on display.
  EXPECT_EQ(observer.last.counters.successes, 1);
  EXPECT_EQ(observer.last.progressText, "100%");
  EXPECT_EQ(observer.last.currentUrl, JobName(0, true));
}

TEST(WorkerPoolRun, NoJobsEndsAtOnceAndAMissingCompanionAsksToTerminate) {
  platform::QueueMainThread main;
  RecordingObserver observer;
  FakePosters posters(false);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  RunOptions options = Options();
  options.companionPath = "/nonexistent/libbanrun.so";
  EXPECT_EQ(pool.Start(JobList{}, options), PostingPool::StartResult::NoJobs);
  EXPECT_FALSE(pool.IsActive());
  EXPECT_TRUE(observer.last.startVisible);
  EXPECT_EQ(observer.last.progressText, "");
  EXPECT_TRUE(observer.events.empty());

  // The run still starts and finishes; the program is told to close.
  EXPECT_EQ(pool.Start(MakeJobs(2), options), PostingPool::StartResult::Started);
  RunToEnd(main, pool);
  EXPECT_EQ(observer.events, (std::vector<std::string>{"terminate", "restore", "ended"}));
  EXPECT_EQ(observer.last.counters.successes, 2);
}

TEST(WorkerPoolStop, ResetsCountersAndIgnoresLaterResults) {
  CountingMainThread main;
  RecordingObserver observer;
  FakePosters posters(true);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  pool.Start(MakeJobs(6), Options());
  posters.WaitStarted(3);
  posters.Release(JobName(0, true));
  main.WaitQueued(1);  // job 0 waits in its hand-over
  pool.Stop();
  EXPECT_FALSE(pool.IsActive());
  EXPECT_FALSE(pool.CompanionHeld());
  EXPECT_EQ(observer.events, std::vector<std::string>{"stopped"});
  for (int value : {observer.last.counters.jobCount, observer.last.counters.running,
                    observer.last.counters.successes, observer.last.counters.failures}) {
    EXPECT_EQ(value, 0);
  }
  EXPECT_EQ(observer.last.progressText, "0%");
  EXPECT_EQ(observer.last.currentUrl, "");
  EXPECT_TRUE(observer.last.startVisible);
  EXPECT_FALSE(observer.last.stopVisible);

  // The queued result and those of the requests still on their way change
  // nothing; no further job starts.
  main.RunPending();
  posters.ReleaseAll();
  pool.Shutdown();
  main.RunPending();
  EXPECT_TRUE(observer.reported.empty());
  EXPECT_EQ(observer.last.counters.successes, 0);
  EXPECT_EQ(posters.Started().size(), 3u);

  // The pool runs again after a Stop.
  RecordingObserver again;
  PostingPool second(main, again, {posters.Factory(), {}});
  second.Start(MakeJobs(4), Options());
  RunToEnd(main, second);
  EXPECT_EQ(again.last.counters.successes, 4);
}

TEST(WorkerPoolShutdown, EndsWhileRequestsHangAndHandOversWait) {
  CountingMainThread main;
  RecordingObserver observer;
  FakePosters posters(true);
  auto pool = std::make_unique<PostingPool>(main, observer, PostingPool::Hooks{posters.Factory(), {}});
  pool->Start(MakeJobs(10), Options());
  posters.WaitStarted(3);
  posters.Release(JobName(1, true));
  main.WaitQueued(1);  // one worker blocked in its hand-over, two requests hanging
  pool->Shutdown();    // the window's destructor
  EXPECT_FALSE(pool->IsActive());
  EXPECT_FALSE(pool->CompanionHeld());
  EXPECT_EQ(observer.events, std::vector<std::string>{"shutdown"});
  EXPECT_TRUE(observer.reported.empty());
  pool.reset();
  EXPECT_EQ(main.RunPending(), 0);
}

TEST(WorkerPoolShutdown, ReportThatStopsTheRunFromTheObserver) {
  platform::QueueMainThread main;
  RecordingObserver observer;
  FakePosters posters(false);
  PostingPool pool(main, observer, {posters.Factory(), {}});
  observer.onReport = [&] { pool.Stop(); };
  pool.Start(MakeJobs(20), Options());
  RunToEnd(main, pool);
  EXPECT_EQ(observer.reported.size(), 1u);
  EXPECT_EQ(observer.events, std::vector<std::string>{"stopped"});
}

TEST(WorkerPoolHttp, RealRunWritesPagesAndLogAndTimesOut) {
  test::TempDir dir;
  test::RawServer server(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\n<html>posted</html>"});
  test::RawServer silent(test::RawServer::Mode::NeverAnswer);
  const std::string settings = dir.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=1\r\n");
  JobList jobs;
  for (int k = 0; k < 4; ++k) {
    jobs.Add(server.Url("/add"), "a=" + std::to_string(k), "http://ref/",
             "B" + std::to_string(k) + "\t" + dir.Path());
  }
  jobs.Add(silent.Url("/add"), "a=x", "", "Silent\t" + dir.Path());

  platform::QueueMainThread main;
  RecordingObserver observer;
  observer.switches = {3, true, true};
  PostingPool pool(main, observer);
  RunOptions options = Options(settings);
  options.logFile = dir.File("adwelder.log");
  ASSERT_EQ(pool.Start(std::move(jobs), options), PostingPool::StartResult::Started);
  RunToEnd(main, pool);

  EXPECT_EQ(observer.last.counters.successes, 4);
  EXPECT_EQ(observer.last.counters.failures, 1);
  EXPECT_EQ(dir.Read("B2.htm"), "<html>posted</html>\r\n");
  // The page of the job that timed out says why it failed.
  EXPECT_EQ(dir.Read("Silent.htm"),
            "error retrieving page\r\n<p>" + platform::W("Ошибка: ") + "Socket readln aborted</p>\r\n");
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_NE(requests[0].find("Referer: http://ref/\r\n"), std::string::npos);
  const std::string log = dir.Read("adwelder.log");
  std::size_t entries = 0;
  for (std::size_t at = log.find(" result="); at != std::string::npos; at = log.find(" result=", at + 1))
    ++entries;
  EXPECT_EQ(entries, 5u);
  // After "result=N" and the state, board and ad, the reason ends the value.
  EXPECT_NE(log.find(" result=0 state=failed board="), std::string::npos) << log;
  EXPECT_NE(log.find(" Socket readln aborted\r\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace adw::engine

namespace adw::engine {
namespace {

std::shared_ptr<const BoardJobRules> MakeRules(std::vector<std::string> ok, std::vector<std::string> fail,
                                               bool fresh = false) {
  auto rules = std::make_shared<BoardJobRules>();
  rules->reply.hasOkKey = !ok.empty();
  rules->reply.okTexts = std::move(ok);
  rules->reply.failTexts = std::move(fail);
  rules->fresh = fresh;
  return rules;
}

class VerdictObserver : public RecordingObserver {
 public:
  std::map<std::string, JobVerdict> verdicts;
  std::map<std::string, std::string> reasons;
  void JobReported(const JobResult& result, const std::string& status) override {
    RecordingObserver::JobReported(result, status);
    const std::string board = SplitJobLabel(result.label).first;
    verdicts[board] = result.verdict;
    reasons[board] = result.failureReason;
  }
};

TEST(WorkerPoolVerdict, StatusAndBoardTextsDecideEachJob) {
  test::TempDir dir;
  test::RawServer refused(test::RawServer::Mode::Reply, {"HTTP/1.0 403 Forbidden\r\n\r\nThank you"});
  test::RawServer failText(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nBoard is closed"});
  test::RawServer silentOk(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nPlease wait"});
  test::RawServer confirmed(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\nThank you!"});
  const std::string settings = dir.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=10\r\n");
  const auto rules = MakeRules({"Thank you"}, {"closed"});
  JobList jobs;
  jobs.Add(refused.Url("/add"), "a=1", "", "refused\t", rules);
  jobs.Add(failText.Url("/add"), "a=1", "", "failText\t", rules);
  jobs.Add(silentOk.Url("/add"), "a=1", "", "silentOk\t", rules);
  jobs.Add(confirmed.Url("/add"), "a=1", "", "confirmed\t", rules);
  jobs.Add(refused.Url("/add"), "a=1", "", "noRules\t");  // still 403: failed

  platform::QueueMainThread main;
  VerdictObserver observer;
  PostingPool pool(main, observer);
  ASSERT_EQ(pool.Start(std::move(jobs), Options(settings)), PostingPool::StartResult::Started);
  RunToEnd(main, pool);

  EXPECT_EQ(observer.verdicts["refused"], JobVerdict::Failed);
  EXPECT_EQ(observer.verdicts["failText"], JobVerdict::Failed);
  EXPECT_EQ(observer.verdicts["silentOk"], JobVerdict::Unconfirmed);
  EXPECT_EQ(observer.verdicts["confirmed"], JobVerdict::Ok);
  EXPECT_EQ(observer.verdicts["noRules"], JobVerdict::Failed);
  EXPECT_EQ(observer.reasons["refused"], platform::W("доска ответила статусом 403"));
  EXPECT_EQ(observer.last.counters.successes, 1);
  EXPECT_EQ(observer.last.counters.failures, 3);
  EXPECT_EQ(observer.last.counters.unconfirmed, 1);
  EXPECT_EQ(observer.last.progressText, "100%");
}

// Two jobs of a board that wants fresh state, each from a server of its
// own: each posting carries its own page's token and cookie, and only them.
TEST(WorkerPoolFreshForm, EachJobPostsItsOwnPagesTokenAndCookie) {
  test::TempDir dir;
  const std::string settings = dir.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=10\r\n");
  auto page = [](const std::string& token, const std::string& cookie) {
    return "HTTP/1.0 200 OK\r\nSet-Cookie: sid=" + cookie +
           "; Path=/\r\n\r\n<form method=post action=add><input type=hidden name=tok value=" + token +
           "><input name=subject></form>";
  };
  test::RawServer first(test::RawServer::Mode::Reply, {page("T1", "C1"), "HTTP/1.0 200 OK\r\n\r\nok"});
  test::RawServer second(test::RawServer::Mode::Reply, {page("T2", "C2"), "HTTP/1.0 200 OK\r\n\r\nok"});
  test::RawServer gone(test::RawServer::Mode::Reply, {"HTTP/1.0 200 OK\r\n\r\n<p>no form here</p>"});
  const auto rules = MakeRules({}, {}, true);
  JobList jobs;
  jobs.Add(first.Url("/b/add"), "subject=x&tok=stale", first.Url("/b/"), "first\t", rules);
  jobs.Add(second.Url("/b/add"), "subject=y&tok=stale", second.Url("/b/"), "second\t", rules);
  jobs.Add(gone.Url("/b/add"), "subject=z&tok=stale", gone.Url("/b/"), "gone\t", rules);

  platform::QueueMainThread main;
  VerdictObserver observer;
  PostingPool pool(main, observer);
  pool.Start(std::move(jobs), Options(settings));
  RunToEnd(main, pool);

  for (auto [server, token, cookie, other] :
       {std::tuple{&first, "T1", "C1", "C2"}, std::tuple{&second, "T2", "C2", "C1"}}) {
    const auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 2u) << "one page GET and one POST per job";
    EXPECT_EQ(requests[0].rfind("GET /b/ ", 0), 0u) << requests[0];
    const std::string& post = requests[1];
    EXPECT_EQ(post.rfind("POST /b/add ", 0), 0u) << post;
    EXPECT_NE(post.find(std::string("\r\nCookie: sid=") + cookie + "\r\n"), std::string::npos) << post;
    EXPECT_EQ(post.find(other), std::string::npos) << post;
    EXPECT_TRUE(
        post.ends_with(std::string("\r\n\r\nsubject=") + (token[1] == '1' ? "x" : "y") + "&tok=" + token))
        << post;
  }
  EXPECT_EQ(observer.verdicts["first"], JobVerdict::Ok);
  EXPECT_EQ(observer.verdicts["second"], JobVerdict::Ok);
  EXPECT_EQ(observer.verdicts["gone"], JobVerdict::Failed);
  EXPECT_EQ(observer.reasons["gone"], platform::W("форма не найдена на странице REQUEST"));
  EXPECT_EQ(gone.Requests().size(), 1u) << "nothing is posted without the form";
}

}  // namespace
}  // namespace adw::engine
