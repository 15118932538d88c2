#pragma once
// The report panel's two commands: join an ad's result pages into
// report.htm (one row per board: its name, whether the posting there
// succeeded, a link to the page) and open it; delete the result pages.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/record_set.h"
#include "engine/posting/reply_verdict.h"
#include "platform/html_escape.h"
#include "platform/shell.h"

namespace adw::engine {

inline constexpr std::string_view kReportPageName = "report.htm";

// The status bar hint for an ad without a report directory (cp1251).
std::string NoReportDirectoryHint();

using platform::HtmlEscape;
// A path as a link target: HTML-escaped, and "%", "#" and "?" written as
// %25, %23 and %3F so the browser takes them as part of the file name.
std::string HtmlLinkTarget(std::string_view path);

// A result page's text with its line ends dropped, the lines joined.
std::string JoinPageLines(std::string_view text);
// Failure when the joined text holds "ERROR", "NOT FOUND" or "INVALID" in
// any Latin letter case.
bool PageReportsFailure(std::string_view joinedText);

// A result page's state for its row. The run's mark at the page's end
// decides when there is one. Otherwise boards without OK= and FAIL= keep the
// words test above; with them, a FAIL text or the words make it a failure,
// an OK text a success, and an OK key whose text is missing leaves it
// unconfirmed. The page is decoded by the board's code page first.
JobVerdict JudgeResultPage(std::string_view joinedText, const ReplyRules& rules);

// The fixed pieces of report.htm (cp1251, without their CR LF).
std::string ReportHeaderLine();
std::string ReportSeparatorLine();
std::string ReportFooterLine();
std::string ReportRowLine(std::string_view boardName, bool failure, std::string_view linkTarget);
// The status cell says "Размещено", "Ошибка" or "Не подтверждено".
std::string ReportRowLine(std::string_view boardName, JobVerdict state, std::string_view linkTarget);

// The result pages of a report directory: every "*.htm" file but the report
// page itself, in the listing's order.
std::vector<std::string> ListResultPages(const std::string& reportDir);

struct ReportOutcome {
  enum class Status {
    Written,            // report.htm is there; open openTarget
    NoPages,            // the directory holds no result page: nothing written or opened
    NoReportDirectory,  // the ad has none: hint
    WriteFailed,        // report.htm could not be written: hint, nothing opened
    NoRecord,           // the ad record set is empty
  };
  Status status = Status::NoRecord;
  std::string reportPath;
  std::string openTarget;  // "file://" and the report page's absolute path
  std::string hint;        // for the status bar; empty when there is nothing to say
  int rows = 0;
};

// What the run journal knows about a report directory: when each result
// page's job ended, and the jobs of the last runs that posted into it.
struct ReportHistory {
  // By result page file name in lower case (ResultPageFileName of the
  // board): the date and time of its latest result, "2026-12-10 08:05:03".
  std::map<std::string, std::string> resultTimes;
  struct Entry {
    std::string when;   // the job's end
    std::string board;  // NAME
    std::string ad;     // NAME
    std::string state;  // ok, failed, unconfirmed, skipped
  };
  std::vector<Entry> recent;  // newest first
};

// The history block of report.htm: a title row, then one row per entry
// (board, state, date and time with the ad); no line when there is none.
std::vector<std::string> ReportHistoryLines(const ReportHistory& history);

// Assembles reportDir/report.htm from the result pages; each row's name is
// the NAME of the board file of the same name in scriptDir, or the page's
// own name when that board file is gone or unreadable. With a history, each
// row's status also says when the result came, and the last runs follow
// the rows.
ReportOutcome BuildReport(const std::string& reportDir, const std::string& scriptDir,
                          const ReportHistory* history = nullptr);

// btnViewRep: the report of the current ad of the ad record set, opened
// through the shell when it was written.
ReportOutcome ViewReport(const RecordSet& ads, const std::string& scriptDir, platform::IShell& shell,
                         const ReportHistory* history = nullptr);

// The current ad's report directory (its CATALOG); empty without a record.
std::string CurrentReportDirectory(const RecordSet& ads);

struct ClearOutcome {
  int deleted = 0;
  int kept = 0;      // files that could not be deleted (left in place)
  std::string hint;  // NoReportDirectoryHint() for an ad without one
};
// Deletes every "*.htm" file of reportDir (result pages and report.htm).
ClearOutcome ClearReports(const std::string& reportDir);
// btnEmpty: for the current ad of the ad record set.
ClearOutcome ClearReport(const RecordSet& ads);

}  // namespace adw::engine
