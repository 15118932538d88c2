#include "engine/journal/report_history.h"

#include <exception>
#include <set>

#include "engine/posting/run_results.h"
#include "platform/text1251.h"

namespace adw::engine {

ReportHistory ReportHistoryFor(RunJournal& journal, const std::string& reportDir, int runs) {
  ReportHistory history;
  try {
    // The label is the board's NAME, a TAB and the report directory.
    auto s = journal.Db().Prepare(
        "SELECT board, ad, state, ended, run FROM jobs "
        "WHERE substr(label, instr(label, char(9)) + 1) = ? AND instr(label, char(9)) > 0 "
        "AND state IN ('ok', 'failed', 'unconfirmed', 'skipped') AND ended IS NOT NULL "
        "ORDER BY run DESC, ended DESC, id DESC");
    s.Bind(1, reportDir);
    std::set<std::int64_t> seenRuns;
    while (s.Step()) {
      const std::string board = s.Text(0);
      const std::string state = s.Text(2);
      const std::int64_t ended = s.Int(3);
      const std::int64_t run = s.Int(4);
      // A skipped job wrote no page, so it gives no time to one.
      if (state != "skipped") {
        const std::string page = platform::LowerAscii(ResultPageFileName(board));
        if (!history.resultTimes.contains(page)) history.resultTimes[page] = FormatStamp(ended);
      }
      if (!seenRuns.contains(run)) {
        if (static_cast<int>(seenRuns.size()) >= runs) continue;
        seenRuns.insert(run);
      }
      history.recent.push_back({FormatStamp(ended), board, s.Text(1), state});
    }
  } catch (const std::exception&) {
    return ReportHistory{};
  }
  return history;
}

}  // namespace adw::engine
