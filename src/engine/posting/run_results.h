#pragma once
// What a posting run leaves behind and shows: the counters and percentage of
// the status panel, one result page per finished job and one log entry per
// finished job. Everything here runs on the main thread.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/base/short_date.h"
#include "engine/posting/reply_verdict.h"

namespace adw::engine {

// The numbers of the status panel's labels.
struct RunCounters {
  int jobCount = 0;     // lbMessageCnt
  int running = 0;      // lbProcessCnt
  int successes = 0;    // lbSuccessMsg
  int failures = 0;     // lbFailMsg
  int unconfirmed = 0;  // lbUnconfirmedMsg "Не подтверждено"
};

// (successes + failures) * 100 / jobCount, rounded to the nearest whole
// number with halves going to the even one; nullopt when jobCount is 0.
std::optional<int> ProgressPercent(int successes, int failures, int jobCount);
// lbProg's text for the counters ("38%"), every finished job counted
// whatever its state; previous when no percentage can be formed, so the
// label keeps what it showed.
std::string ProgressText(const RunCounters& counters, const std::string& previous);

// A job label split at its first TAB: board name and report directory.
std::pair<std::string, std::string> SplitJobLabel(std::string_view label);

// The result page's file name for a board: its name with every path
// separator ("/" and "\") and NUL turned into "_", then ".htm", so whatever
// a board file's NAME holds the page stays inside the report directory.
std::string ResultPageFileName(std::string_view boardName);

// Path of the job's result page; nullopt when the label's report directory
// is empty (an ad without one gets no pages, never pages in the root).
std::optional<std::string> ResultPagePath(std::string_view label);

// A page's whole content (ResultPageContent), written whole or not at all.
// False when it could not be written (e.g. a missing directory); the
// failure is also noted for TakeResultWriteFailures.
bool WriteResultPageContent(const std::string& path, std::string_view content);

// The log beside the settings file: the same name with ".log" in place of
// ".ini" (appended when the name has no ".ini").
std::string LogFileName(const std::string& settingsFile);

// The log value: the reply text, " result=", the socket error in decimal,
// then, for a failed job whose reason is known, a blank and the reason.
std::string LogEntryValue(std::string_view replyText, int lastSocketError, std::string_view reason = {});

// Appends one log entry when enabled: section the short date, key the long
// time, value LogEntryValue. An error never stops the caller; it is noted
// for TakeResultWriteFailures. The entry is added at the file's end without
// rewriting it, so its cost does not grow with the log.
void WriteLogEntry(const std::string& logPath, std::string_view text, int number, bool enabled);
void WriteLogEntry(const std::string& logPath, std::string_view text, int number, bool enabled,
                   const LocalDateTime& now, std::string_view reason = {});

// One log entry as WriteLogEntry takes it.
struct LogEntry {
  LocalDateTime now;
  std::string text;
  int number = 0;
  std::string reason;
};
// Several entries in one append, in their order, each under the section of
// its own date; a failed append notes every entry of it.
void WriteLogEntries(const std::string& logPath, const std::vector<LogEntry>& entries);

// One finished job as JobFinished sees it.
struct JobResult {
  std::string url;
  std::string label;
  JobVerdict verdict = JobVerdict::Failed;
  std::string body;       // the client's Body after the job
  std::string replyText;  // the client's ReplyText (always empty for this client)
  int lastSocketError = 0;
  // Why a job failed ("TLS: host name mismatch", "доска ответила статусом
  // 403") or stays unconfirmed; may be empty.
  std::string failureReason;
  bool bodyCut = false;  // the reply body went past what the client keeps
  int statusCode = 0;    // the final HTTP status, 0 when none was read
  std::string ad = {};   // the ad's NAME, when the job list says it
  int jobIndex = -1;     // the job's number in the run's job list
};

// A failure reason as one field of a TAB-separated line: TAB, CR, LF and
// NUL become blanks; an unknown reason reads "error retrieving page".
std::string FailureField(std::string_view reason);

// What the result page adds after the reply body: a line saying why the job
// failed or stays unconfirmed, one saying that the reply was cut, and the
// verdict mark (VerdictMarkLine) of a reply judged by its status or the
// board's texts; empty when none applies.
std::string ResultPageTrailer(const JobResult& result);

// The job's final state as the log, adweld-run and the run journal name it:
// "ok", "failed" or "unconfirmed".
std::string_view OutcomeStateName(const JobResult& result);

// What the log value says after "result=N": " state=ok board=NAME ad=NAME"
// (line breaks and "=" of the names kept out, so the value stays one line
// that reads back key by key).
std::string LogEntryDetails(const JobResult& result);
// The log value's part after "result=N ": the details, then a failed job's
// reason.
std::string LogEntryReason(const JobResult& result);

// What the job's result page holds: the reply body, the trailer, CR LF.
std::string ResultPageContent(const JobResult& result);

class ResultWriter;

struct ResultSwitches {
  bool reports = false;  // cbReports "создавать отчеты"
  bool log = false;      // cbLogFile "вести журнал"
};

// Records one finished job in the order JobFinished does: result page (when
// reports are on), counter of its state, log entry. The page and the log
// entry go to the writer, which puts them on the disk in their order soon
// after; the caller never waits on the disk. Returns the status bar text:
// the page's path when reports are on and the ad has a report directory,
// else empty. Never throws for a page or log entry that cannot be written.
std::string RecordJobResult(const JobResult& result, const ResultSwitches& switches,
                            const std::string& logPath, RunCounters& counters, ResultWriter& writer);
// The same, written before it returns.
std::string RecordJobResult(const JobResult& result, const ResultSwitches& switches,
                            const std::string& logPath, RunCounters& counters);

}  // namespace adw::engine
