#include "engine/journal/run_journal.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "engine/shell/settings_file.h"
#include "platform/files.h"
#include "platform/range_lock.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

constexpr std::string_view kSchema = R"sql(
CREATE TABLE runs(
  id INTEGER PRIMARY KEY,
  started INTEGER NOT NULL,
  ended INTEGER,
  origin TEXT NOT NULL,
  kind TEXT NOT NULL,
  jobs INTEGER NOT NULL DEFAULT 0,
  ok INTEGER NOT NULL DEFAULT 0,
  failed INTEGER NOT NULL DEFAULT 0,
  unconfirmed INTEGER NOT NULL DEFAULT 0,
  skipped INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE jobs(
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL REFERENCES runs(id),
  seq INTEGER NOT NULL,
  board TEXT NOT NULL,
  board_file TEXT NOT NULL,
  ad TEXT NOT NULL,
  url TEXT NOT NULL,
  referer TEXT NOT NULL,
  label TEXT NOT NULL,
  body BLOB NOT NULL,
  body_hash TEXT NOT NULL,
  state TEXT NOT NULL,
  reason TEXT NOT NULL DEFAULT '',
  http_status INTEGER,
  error TEXT NOT NULL DEFAULT '',
  started INTEGER,
  ended INTEGER,
  latency_ms INTEGER,
  reply_size INTEGER
);
CREATE INDEX jobs_by_run ON jobs(run, seq);
CREATE INDEX jobs_by_board ON jobs(board, run, state, ended, latency_ms);
CREATE INDEX jobs_by_pair ON jobs(board, ad);
CREATE TABLE checks(
  id INTEGER PRIMARY KEY,
  board TEXT NOT NULL,
  checked INTEGER NOT NULL,
  state TEXT NOT NULL,
  detail TEXT NOT NULL
);
CREATE INDEX checks_by_board ON checks(board, checked);
)sql";

constexpr std::string_view kJobColumns =
    "id, run, seq, board, board_file, ad, url, referer, label, body, body_hash, state, reason, "
    "http_status, error, started, ended, latency_ms, reply_size";
constexpr std::string_view kRunColumns =
    "id, started, ended, origin, kind, jobs, ok, failed, unconfirmed, skipped";

std::string Sql(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
  std::string sql(a);
  sql += b;
  sql += c;
  return sql;
}

}  // namespace

std::string JournalFileName(const std::string& settingsFile) {
  return SettingsSiblingFile(settingsFile, ".db");
}

std::string RunLockFileName(const std::string& journalPath) {
  return journalPath + ".lock";
}

std::string_view JobStateName(JobState state) {
  switch (state) {
    case JobState::Pending:
      return "pending";
    case JobState::Sent:
      return "sent";
    case JobState::Ok:
      return "ok";
    case JobState::Failed:
      return "failed";
    case JobState::Unconfirmed:
      return "unconfirmed";
    case JobState::Skipped:
      return "skipped";
  }
  return "failed";
}

std::optional<JobState> ParseJobState(std::string_view name) {
  for (JobState state : {JobState::Pending, JobState::Sent, JobState::Ok, JobState::Failed,
                         JobState::Unconfirmed, JobState::Skipped}) {
    if (JobStateName(state) == name) return state;
  }
  return std::nullopt;
}

bool IsFinal(JobState state) {
  return state != JobState::Pending && state != JobState::Sent;
}

std::string_view RunOriginName(RunOrigin origin) {
  switch (origin) {
    case RunOrigin::Window:
      return "window";
    case RunOrigin::Schedule:
      return "schedule";
    case RunOrigin::Runner:
      return "runner";
  }
  return "window";
}

std::string BodyHash(std::string_view body) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : body) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string FormatStamp(std::int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

RunJournal::RunJournal(const std::string& path)
    : m_path(path), m_db([&] {
        try {
          return platform::SqliteDb(path);
        } catch (const platform::SqliteError& error) {
          throw JournalError("cannot open the run journal " + path + ": " + error.what());
        }
      }()) {
  try {
    CreateOrCheckSchema();
    // A sent job keeps the state "pending" with its start time set: the
    // start then touches the row alone, none of the indexes, which keeps
    // the commit before every request small.
    m_markSent = m_db.Prepare("UPDATE jobs SET started=? WHERE id=?");
    m_finish = m_db.Prepare(
        "UPDATE jobs SET state=?, reason=?, http_status=?, error=?, ended=?, reply_size=?, "
        "latency_ms=CASE WHEN started IS NULL THEN NULL ELSE ?-started END WHERE id=?");
  } catch (const platform::SqliteError& error) {
    if (error.Damaged()) throw JournalError("the run journal " + path + " is damaged: " + error.what());
    throw JournalError("cannot use the run journal " + path + ": " + error.what());
  }
}

RunJournal::~RunJournal() = default;

void RunJournal::CreateOrCheckSchema() {
  // Reading the header first: a file that is no database fails here, before
  // anything could be written to it.
  const std::int64_t version = m_db.QueryInt("PRAGMA user_version");
  const std::int64_t tables = m_db.QueryInt("SELECT count(*) FROM sqlite_master");
  if (version == 0 && tables > 0) {
    throw JournalError("the file " + m_path + " is not a run journal of this program; it was left as it is");
  }
  if (version != 0 && version < kJournalSchemaVersion) {
    throw JournalError("the run journal " + m_path + " is of an older version (" + std::to_string(version) +
                       "); it was left as it is");
  }
  if (version > kJournalSchemaVersion) {
    throw JournalError("the run journal " + m_path + " was written by a newer version of the program (" +
                       std::to_string(version) + "); it was left as it is");
  }
  m_db.Exec("PRAGMA journal_mode=WAL");
  // In WAL mode NORMAL keeps every committed transaction across a killed
  // process; only a power cut may lose the last few before a checkpoint.
  m_db.Exec("PRAGMA synchronous=NORMAL");
  // Statistics read the whole jobs index; mapped pages spare a read call
  // per page.
  m_db.Exec("PRAGMA mmap_size=268435456");
  // Checkpoints (each waits for the disk) run on a thread of their own, not
  // on the thread that commits before every request.
  m_checkpoint = std::make_unique<JournalCheckpoint>(m_path);
  m_db.SetWalHook([checkpoint = m_checkpoint.get()](int pages) { checkpoint->Committed(pages); });
  if (version == 0) {
    platform::SqliteDb::Transaction transaction(m_db);
    m_db.Exec(kSchema);
    m_db.Exec("PRAGMA user_version=" + std::to_string(kJournalSchemaVersion));
    transaction.Commit();
  }
}

std::int64_t RunJournal::BeginRun(RunOrigin origin, RunKind kind, std::int64_t nowMs) {
  platform::SqliteDb::Transaction transaction(m_db);
  auto insert = m_db.Prepare("INSERT INTO runs(started, origin, kind) VALUES(?, ?, ?)");
  insert.Bind(1, nowMs).Bind(2, RunOriginName(origin)).Bind(3, kind == RunKind::Retry ? "retry" : "post");
  insert.Run();
  const std::int64_t run = m_db.LastInsertId();
  // Claimed while the row is still uncommitted: no other process sees it
  // unclaimed, and so none offers it for resuming.
  if (!ClaimRun(run)) {
    throw JournalError("the new run " + std::to_string(run) + " is claimed already in " +
                       RunLockFileName(m_path));
  }
  try {
    transaction.Commit();
  } catch (...) {
    ReleaseRun(run);
    throw;
  }
  return run;
}

void RunJournal::AddJobs(std::int64_t run, std::vector<JournalJob>& jobs) {
  platform::SqliteDb::Transaction transaction(m_db);
  auto insert = m_db.Prepare(
      "INSERT INTO jobs(run, seq, board, board_file, ad, url, referer, label, body, body_hash, state, "
      "reason, "
      "ended) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?)");
  int seq = static_cast<int>(
      m_db.QueryInt("SELECT coalesce(max(seq)+1, 0) FROM jobs WHERE run=" + std::to_string(run)));
  for (JournalJob& job : jobs) {
    job.run = run;
    job.seq = seq++;
    if (job.bodyHash.empty()) job.bodyHash = BodyHash(job.body);
    insert.Bind(1, run).Bind(2, job.seq).Bind(3, job.board).Bind(4, job.boardFile).Bind(5, job.ad);
    insert.Bind(6, job.url).Bind(7, job.referer).Bind(8, job.label).BindBlob(9, job.body);
    insert.Bind(10, job.bodyHash).Bind(11, JobStateName(job.state)).Bind(12, job.reason).Bind(13, job.ended);
    insert.Run();
    job.id = m_db.LastInsertId();
  }
  m_db.Exec("UPDATE runs SET jobs=(SELECT count(*) FROM jobs WHERE run=" + std::to_string(run) +
            ") WHERE id=" + std::to_string(run));
  transaction.Commit();
}

void RunJournal::MarkSent(std::int64_t jobId, std::int64_t nowMs) {
  m_markSent.Bind(1, nowMs).Bind(2, jobId);
  m_markSent.Run();
}

void RunJournal::FinishJob(std::int64_t jobId, const JobEnd& end) {
  m_finish.Bind(1, JobStateName(end.state)).Bind(2, end.reason);
  if (end.httpStatus > 0) {
    m_finish.Bind(3, end.httpStatus);
  } else {
    m_finish.BindNull(3);
  }
  m_finish.Bind(4, end.error).Bind(5, end.endedMs).Bind(6, end.replySize).Bind(7, end.endedMs).Bind(8, jobId);
  m_finish.Run();
}

void RunJournal::RecordProgress(const std::vector<std::pair<std::int64_t, JobEnd>>& ended,
                                const std::vector<std::int64_t>& started, std::int64_t nowMs) {
  platform::SqliteDb::Transaction transaction(m_db);
  // Starts first: a job started and ended within one turn gets its latency.
  for (const std::int64_t jobId : started) MarkSent(jobId, nowMs);
  for (const auto& [jobId, end] : ended) FinishJob(jobId, end);
  transaction.Commit();
}

void RunJournal::SetState(std::int64_t jobId, JobState state, std::string_view reason, std::int64_t nowMs) {
  auto update = m_db.Prepare("UPDATE jobs SET state=?, reason=?, ended=? WHERE id=?");
  update.Bind(1, JobStateName(state)).Bind(2, reason).Bind(3, nowMs).Bind(4, jobId);
  update.Run();
}

void RunJournal::EndRun(std::int64_t run, std::int64_t nowMs, std::string_view pendingReason,
                        std::string_view sentReason) {
  platform::SqliteDb::Transaction transaction(m_db);
  auto close = m_db.Prepare(
      "UPDATE jobs SET state=?, reason=?, ended=? WHERE run=? AND state='pending' AND (started IS NULL) = ?");
  close.Bind(1, "unconfirmed").Bind(2, sentReason).Bind(3, nowMs).Bind(4, run).Bind(5, 0);
  close.Run();
  close.Bind(1, "skipped").Bind(2, pendingReason).Bind(3, nowMs).Bind(4, run).Bind(5, 1);
  close.Run();
  auto counts = m_db.Prepare(
      "UPDATE runs SET ended=?, "
      "jobs=(SELECT count(*) FROM jobs WHERE run=?2), "
      "ok=(SELECT count(*) FROM jobs WHERE run=?2 AND state='ok'), "
      "failed=(SELECT count(*) FROM jobs WHERE run=?2 AND state='failed'), "
      "unconfirmed=(SELECT count(*) FROM jobs WHERE run=?2 AND state='unconfirmed'), "
      "skipped=(SELECT count(*) FROM jobs WHERE run=?2 AND state='skipped') WHERE id=?2");
  counts.Bind(1, nowMs).Bind(2, run);
  counts.Run();
  transaction.Commit();
}

RunInfo RunJournal::ReadRun(platform::SqliteStatement& s) {
  RunInfo info;
  info.id = s.Int(0);
  info.started = s.Int(1);
  info.ended = s.OptInt(2);
  info.origin = s.Text(3);
  info.kind = s.Text(4);
  info.jobs = static_cast<int>(s.Int(5));
  info.ok = static_cast<int>(s.Int(6));
  info.failed = static_cast<int>(s.Int(7));
  info.unconfirmed = static_cast<int>(s.Int(8));
  info.skipped = static_cast<int>(s.Int(9));
  return info;
}

JournalJob RunJournal::ReadJob(platform::SqliteStatement& s) {
  JournalJob job;
  job.id = s.Int(0);
  job.run = s.Int(1);
  job.seq = static_cast<int>(s.Int(2));
  job.board = s.Text(3);
  job.boardFile = s.Text(4);
  job.ad = s.Text(5);
  job.url = s.Text(6);
  job.referer = s.Text(7);
  job.label = s.Text(8);
  job.body = s.Text(9);
  job.bodyHash = s.Text(10);
  job.state = ParseJobState(s.Text(11)).value_or(JobState::Failed);
  job.reason = s.Text(12);
  job.httpStatus = static_cast<int>(s.Int(13));
  job.error = s.Text(14);
  job.started = s.OptInt(15);
  if (job.state == JobState::Pending && job.started) job.state = JobState::Sent;
  job.ended = s.OptInt(16);
  job.latencyMs = s.OptInt(17);
  job.replySize = s.OptInt(18);
  return job;
}

std::optional<RunInfo> RunJournal::Run(std::int64_t run) {
  auto s = m_db.Prepare(Sql("SELECT ", kRunColumns, " FROM runs WHERE id=?"));
  s.Bind(1, run);
  if (!s.Step()) return std::nullopt;
  return ReadRun(s);
}

std::optional<RunInfo> RunJournal::LastRun() {
  auto s = m_db.Prepare(Sql("SELECT ", kRunColumns, " FROM runs ORDER BY id DESC LIMIT 1"));
  if (!s.Step()) return std::nullopt;
  return ReadRun(s);
}

std::optional<RunInfo> RunJournal::LatestOpenRun(bool live) {
  // Also when later runs came after it. Open runs are few: those running
  // now and those interrupted and never resumed.
  auto s = m_db.Prepare(Sql("SELECT ", kRunColumns, " FROM runs WHERE ended IS NULL ORDER BY id DESC"));
  while (s.Step()) {
    RunInfo run = ReadRun(s);
    if (IsLive(run.id) == live) return run;
  }
  return std::nullopt;
}

std::optional<RunInfo> RunJournal::InterruptedRun() {
  return LatestOpenRun(false);
}

std::optional<RunInfo> RunJournal::LiveRun() {
  return LatestOpenRun(true);
}

platform::RangeLockFile* RunJournal::RunLocks() {
  if (!m_runLocks && !m_noRunLocks) {
    try {
      m_runLocks = std::make_unique<platform::RangeLockFile>(RunLockFileName(m_path));
    } catch (const std::exception&) {
      // Posting goes on as it did before runs were locked: a lock file
      // that cannot be made must not stop every run.
      m_noRunLocks = true;
    }
  }
  return m_runLocks.get();
}

bool RunJournal::ClaimRun(std::int64_t run) {
  if (platform::RangeLockFile* locks = RunLocks()) {
    try {
      if (!locks->TryHold(run)) return false;
    } catch (const std::exception&) {
      // A file system without record locks: as above.
      m_runLocks.reset();
      m_noRunLocks = true;
    }
  }
  m_claimed.insert(run);
  return true;
}

void RunJournal::ReleaseRun(std::int64_t run) noexcept {
  if (m_claimed.erase(run) == 0 || !m_runLocks) return;
  m_runLocks->Release(run);
}

bool RunJournal::IsLive(std::int64_t run) {
  if (m_claimed.count(run) != 0) return true;
  platform::RangeLockFile* locks = RunLocks();
  if (!locks) return false;
  try {
    return locks->HeldElsewhere(run);
  } catch (const std::exception&) {
    m_runLocks.reset();
    m_noRunLocks = true;
    return false;
  }
}

std::vector<RunInfo> RunJournal::RecentRuns(int count) {
  auto s = m_db.Prepare(Sql("SELECT ", kRunColumns, " FROM runs ORDER BY id DESC LIMIT ?"));
  s.Bind(1, count);
  std::vector<RunInfo> runs;
  while (s.Step()) runs.push_back(ReadRun(s));
  return runs;
}

std::vector<JournalJob> RunJournal::Jobs(std::int64_t run) {
  auto s = m_db.Prepare(Sql("SELECT ", kJobColumns, " FROM jobs WHERE run=? ORDER BY seq"));
  s.Bind(1, run);
  std::vector<JournalJob> jobs;
  while (s.Step()) jobs.push_back(ReadJob(s));
  return jobs;
}

std::optional<JournalJob> RunJournal::LastSuccess(std::string_view board, std::string_view ad) {
  auto s = m_db.Prepare(Sql("SELECT ", kJobColumns,
                            " FROM jobs WHERE board=? AND ad=? AND state='ok' ORDER BY ended DESC LIMIT 1"));
  s.Bind(1, board).Bind(2, ad);
  if (!s.Step()) return std::nullopt;
  return ReadJob(s);
}

void RunJournal::RecordCheck(std::string_view board, std::string_view state, std::string_view detail,
                             std::int64_t nowMs) {
  auto s = m_db.Prepare("INSERT INTO checks(board, checked, state, detail) VALUES(?,?,?,?)");
  s.Bind(1, board).Bind(2, nowMs).Bind(3, state).Bind(4, detail);
  s.Run();
}

}  // namespace adw::engine
