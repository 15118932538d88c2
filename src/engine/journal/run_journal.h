#pragma once
// The run journal: every posting run and every job of it, kept in an SQLite
// file beside the settings file (adwelder.ini -> adwelder.db). A job's row
// is written when the job list is built and updated when the request goes
// out and again when its outcome comes back, each in a transaction of its
// own, so a process killed at any moment leaves a journal that opens and
// says which jobs ended, which may have reached their board, and which
// never started.
//
// The journal belongs to the main thread, like the run state.
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/journal/journal_checkpoint.h"
#include "platform/sqlite_db.h"

namespace adw::platform {
class RangeLockFile;
}

namespace adw::engine {

// The journal's schema version, kept in SQLite's user_version.
inline constexpr int kJournalSchemaVersion = 1;

// adwelder.ini -> adwelder.db beside it (".db" appended when the name has
// no ".ini"), so the journal follows whichever settings file is in use.
std::string JournalFileName(const std::string& settingsFile);

// The journal's lock file beside it (adwelder.db -> adwelder.db.lock). A
// process holds a lock in it for every run it is posting, so another
// process never takes a live run for an interrupted one; the system drops
// the locks of a process that dies in any way.
std::string RunLockFileName(const std::string& journalPath);

// A journal that cannot be used as it is: older or newer schema, another
// program's database, or a damaged file. The file is left untouched.
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// pending: built, not started. sent: handed to a worker, no outcome yet (the
// request may have reached the board). The other four are final.
enum class JobState { Pending, Sent, Ok, Failed, Unconfirmed, Skipped };
std::string_view JobStateName(JobState state);
std::optional<JobState> ParseJobState(std::string_view name);
bool IsFinal(JobState state);

enum class RunOrigin { Window, Schedule, Runner };
std::string_view RunOriginName(RunOrigin origin);

// post: a new job list; retry: jobs of an earlier run posted again.
enum class RunKind { Post, Retry };

struct BoardJobRules;

struct JournalJob {
  std::int64_t id = 0;
  std::int64_t run = 0;
  int seq = 0;            // position in the run
  std::string board;      // the board's NAME (cp1251)
  std::string boardFile;  // its file name in the script directory
  std::string ad;         // the ad's NAME, its subject (cp1251)
  std::string url;
  std::string referer;
  std::string label;     // board NAME, TAB, report directory
  std::string body;      // the request body as sent
  std::string bodyHash;  // BodyHash(body)
  JobState state = JobState::Pending;
  std::string reason;                   // why skipped, unconfirmed or failed
  int httpStatus = 0;                   // 0: no status line read
  std::string error;                    // the client's error text
  std::optional<std::int64_t> started;  // ms since the epoch
  std::optional<std::int64_t> ended;
  std::optional<std::int64_t> latencyMs;
  std::optional<std::int64_t> replySize;
  // Not stored: what the board file says of its jobs (reply texts, FRESH,
  // DELAY). Jobs read back from the journal to be posted again get them
  // from the board file as it is then (BoardRulesLookup).
  std::shared_ptr<const BoardJobRules> rules;
  int delayMs = 0;
};

struct RunInfo {
  std::int64_t id = 0;
  std::int64_t started = 0;
  std::optional<std::int64_t> ended;  // none: still running or interrupted
  std::string origin;                 // window, schedule, runner
  std::string kind;                   // post, retry
  int jobs = 0;
  int ok = 0;
  int failed = 0;
  int unconfirmed = 0;
  int skipped = 0;
};

// The outcome of one job as the journal keeps it.
struct JobEnd {
  JobState state = JobState::Failed;
  std::string reason;
  int httpStatus = 0;
  std::string error;
  std::int64_t endedMs = 0;
  std::int64_t replySize = 0;
};

// A stable hash of a request body (FNV-1a, 64 bits, as 16 hex digits), the
// same on every machine and build.
std::string BodyHash(std::string_view body);

// Milliseconds since the epoch, now.
std::int64_t NowMs();
// "2026-12-10 08:05:03" in local time.
std::string FormatStamp(std::int64_t ms);

class RunJournal {
 public:
  // Opens or creates the journal; throws JournalError when the file holds an
  // older or newer schema, is no journal, or is damaged.
  explicit RunJournal(const std::string& path);
  ~RunJournal();
  const std::string& Path() const { return m_path; }

  // The new run is claimed (see ClaimRun) before any other process can
  // see its row.
  std::int64_t BeginRun(RunOrigin origin, RunKind kind, std::int64_t nowMs);
  // Writes the rows in one transaction; sets each job's run, seq and id.
  void AddJobs(std::int64_t run, std::vector<JournalJob>& jobs);
  // One job's start and one job's outcome, each committed on its own; a
  // run stores them through RecordProgress.
  void MarkSent(std::int64_t jobId, std::int64_t nowMs);
  void FinishJob(std::int64_t jobId, const JobEnd& end);
  // Ended jobs and started ones in one commit: a run commits once for all
  // the reports and starts of one turn of its main thread, not twice a job.
  void RecordProgress(const std::vector<std::pair<std::int64_t, JobEnd>>& ended,
                      const std::vector<std::int64_t>& started, std::int64_t nowMs);
  // Sets a row's final state without a request (resume, stop).
  void SetState(std::int64_t jobId, JobState state, std::string_view reason, std::int64_t nowMs);
  // The run ends: counts recorded. Rows still pending become skipped and
  // rows still sent become unconfirmed, each with the reason given.
  void EndRun(std::int64_t run, std::int64_t nowMs, std::string_view pendingReason = "run stopped",
              std::string_view sentReason = "stopped while posting; no reply recorded");

  std::optional<RunInfo> Run(std::int64_t run);
  std::optional<RunInfo> LastRun();
  // The latest run that never ended (kill, power loss, closed window) and
  // that no process is posting now.
  std::optional<RunInfo> InterruptedRun();
  // The latest run that never ended and that a process is still posting.
  std::optional<RunInfo> LiveRun();

  // A run is live while a handle claims it: this one, or one in this or
  // another process. ClaimRun is false when another handle has the run
  // already; the claim lasts until ReleaseRun or this handle closes.
  bool ClaimRun(std::int64_t run);
  void ReleaseRun(std::int64_t run) noexcept;
  bool IsLive(std::int64_t run);
  std::vector<RunInfo> RecentRuns(int count);
  std::vector<JournalJob> Jobs(std::int64_t run);
  // The latest successful job of an ad on a board.
  std::optional<JournalJob> LastSuccess(std::string_view board, std::string_view ad);

  // Health check results, one row per board and check.
  void RecordCheck(std::string_view board, std::string_view state, std::string_view detail,
                   std::int64_t nowMs);

  platform::SqliteDb& Db() { return m_db; }
  JournalCheckpoint& Checkpoint() { return *m_checkpoint; }

 private:
  void CreateOrCheckSchema();
  RunInfo ReadRun(platform::SqliteStatement& statement);
  std::optional<RunInfo> LatestOpenRun(bool live);
  // Null when the lock file cannot be used (a file system without record
  // locks): runs are then live only to the handle that posts them.
  platform::RangeLockFile* RunLocks();
  JournalJob ReadJob(platform::SqliteStatement& statement);

  std::string m_path;
  platform::SqliteDb m_db;
  platform::SqliteStatement m_markSent;
  platform::SqliteStatement m_finish;
  // Opened at the first need: a handle that only reads never creates it.
  std::unique_ptr<platform::RangeLockFile> m_runLocks;
  bool m_noRunLocks = false;
  std::set<std::int64_t> m_claimed;
  // Declared after the connection: it ends first.
  std::unique_ptr<JournalCheckpoint> m_checkpoint;
};

}  // namespace adw::engine
