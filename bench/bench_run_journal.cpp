// The run journal's costs: what one job adds to a run (its row written when
// the list is built, marked sent before the request, finished after it,
// each commit of its own as in a real run), and the board statistics over
// a journal of 1,000,000 jobs on 10,000 boards (target: under 200 ms).
// The peers, in the same run: SQLite itself doing the least each task
// needs (one row inserted per commit; one GROUP BY of counts and maxima
// over the same index, which gives no median and no last three runs).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/journal/board_stats.h"
#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "platform/files.h"

namespace {

using namespace adw::engine;

std::string MakeDir() {
  std::string pattern = adw::platform::TempDirectory() + "adweld-bench-XXXXXX";
  return ::mkdtemp(pattern.data());
}

JobResult Outcome(int index) {
  JobResult result;
  result.jobIndex = index;
  result.verdict = (true) ? JobVerdict::Ok : JobVerdict::Failed;
  result.statusCode = 200;
  result.body = std::string(512, 'r');
  return result;
}

// Per job: the share of the list's insert, then its start committed together
// with the previous job's outcome, as a steady run commits them.
void BM_JournalWritePerJob(benchmark::State& state) {
  const std::string dir = MakeDir();
  RunJournal journal(adw::platform::JoinPath(dir, "adwelder.db"));
  const int batch = 1000;
  std::vector<JournalJob> rows(batch);
  for (int k = 0; k < batch; ++k) {
    rows[k].board = "Board" + std::to_string(k % 100);
    rows[k].ad = "Ad" + std::to_string(k);
    rows[k].url = "http://127.0.0.1:8080/add";
    rows[k].label = rows[k].board + "\t/reports";
    rows[k].body = std::string(300, 'b');
  }
  std::int64_t jobs = 0;
  for (auto _ : state) {
    RunRecorder recorder(journal, RunOrigin::Runner, RunKind::Post, rows);
    for (int k = 0; k < batch; ++k) {
      recorder.JobStarting(k);
      recorder.Settle();
      recorder.JobReported(Outcome(k));
    }
    recorder.RunEnded();
    jobs += batch;
  }
  state.SetItemsProcessed(jobs);
  state.counters["us_per_job"] = benchmark::Counter(
      static_cast<double>(jobs), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_JournalWritePerJob)->Unit(benchmark::kMillisecond)->Iterations(5);

// Peer: the same number of commits (one per job), each inserting two small
// rows into a table without indexes, same file settings.
void BM_PeerSqliteCommitPerJob(benchmark::State& state) {
  const std::string dir = MakeDir();
  adw::platform::SqliteDb db(adw::platform::JoinPath(dir, "peer.db"));
  db.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE t(a INTEGER, b TEXT)");
  auto insert = db.Prepare("INSERT INTO t VALUES(?, ?)");
  std::int64_t jobs = 0;
  for (auto _ : state) {
    for (int k = 0; k < 1000; ++k) {
      db.Exec("BEGIN");
      insert.Bind(1, k).Bind(2, "sent");
      insert.Run();
      insert.Bind(1, k).Bind(2, "ok");
      insert.Run();
      db.Exec("COMMIT");
    }
    jobs += 1000;
  }
  state.counters["us_per_job"] = benchmark::Counter(
      static_cast<double>(jobs), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
BENCHMARK(BM_PeerSqliteCommitPerJob)->Unit(benchmark::kMillisecond)->Iterations(5);

constexpr std::int64_t kNow = 1'800'000'000'000LL;
constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;

// 1,000 runs of 1,000 jobs each over 60 days; every board is in 100 runs.
std::string LargeJournal() {
  static const std::string path = [] {
    const std::string file = adw::platform::JoinPath(MakeDir(), "large.db");
    RunJournal journal(file);
    auto& db = journal.Db();
    std::mt19937 random(7);
    adw::platform::SqliteDb::Transaction transaction(db);
    auto run = db.Prepare("INSERT INTO runs(id, started, ended, origin, kind) VALUES(?,?,?,'runner','post')");
    auto job = db.Prepare(
        "INSERT INTO jobs(run, seq, board, board_file, ad, url, referer, label, body, body_hash, state, "
        "error, started, ended, latency_ms, reply_size) VALUES(?,?,?,?,?,'http://127.0.0.1/add','',?,'t=1',"
        "'0000000000000000',?,?,?,?,?,100)");
    const char* states[] = {"ok", "ok", "ok", "ok", "ok", "ok", "ok", "ok", "failed", "unconfirmed"};
    for (int r = 0; r < 1000; ++r) {
      const std::int64_t start = kNow - 60 * kDay + r * (60 * kDay / 1000);
      run.Bind(1, r + 1).Bind(2, start).Bind(3, start + 600'000);
      run.Run();
      for (int j = 0; j < 1000; ++j) {
        const std::string board = "Board" + std::to_string((r * 1000 + j) % 10000);
        const char* state = states[random() % 10];
        const std::int64_t latency = 50 + static_cast<std::int64_t>(random() % 2000);
        job.Bind(1, r + 1)
            .Bind(2, j)
            .Bind(3, board)
            .Bind(4, board + ".prj")
            .Bind(5, "Ad" + std::to_string(j));
        job.Bind(6, board + "\t/reports").Bind(7, state).Bind(8, state[0] == 'o' ? "" : "socket error 111");
        job.Bind(9, start + j).Bind(10, start + j + latency).Bind(11, latency);
        job.Run();
      }
    }
    transaction.Commit();
    return file;
  }();
  return path;
}

void BM_BoardStats1M(benchmark::State& state) {
  const std::string file = LargeJournal();
  RunJournal journal(file);
  std::size_t boards = 0;
  for (auto _ : state) {
    const auto stats = ComputeBoardStats(journal, kNow);
    boards = stats.size();
    benchmark::DoNotOptimize(stats.data());
  }
  state.counters["boards"] = static_cast<double>(boards);
  state.counters["jobs"] = static_cast<double>(journal.Db().QueryInt("SELECT count(*) FROM jobs"));
}
BENCHMARK(BM_BoardStats1M)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_PeerGroupBy1M(benchmark::State& state) {
  RunJournal journal(LargeJournal());
  auto query = journal.Db().Prepare(
      "SELECT board, count(*), sum(state='ok'), max(ended) FROM jobs INDEXED BY jobs_by_board GROUP BY "
      "board");
  std::size_t boards = 0;
  for (auto _ : state) {
    boards = 0;
    while (query.Step()) ++boards;
    query.Reset();
  }
  state.counters["boards"] = static_cast<double>(boards);
}
BENCHMARK(BM_PeerGroupBy1M)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
