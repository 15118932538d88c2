#pragma once
// Statistics per board from the run journal: how often postings there
// succeeded over the last days, the last success, the last error, the
// median time a request took, whether the board failed its last three
// runs, and its last health check.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/journal/run_journal.h"

namespace adw::engine {

inline constexpr int kStatsDays = 30;

struct BoardStats {
  std::string board;  // NAME
  // Final jobs that were sent (ok, failed, unconfirmed) in the period.
  int jobs = 0;
  int ok = 0;
  std::optional<std::int64_t> lastSuccess;  // ms since the epoch, any time
  std::optional<std::int64_t> lastErrorAt;
  std::string lastError;                        // state and error text of the last job that did not succeed
  std::optional<std::int64_t> medianLatencyMs;  // over the period
  // The board's last three runs each ended with failures and no success.
  bool failedLastThree = false;
  std::string checkState;  // the last health check: ok, changed, unreachable; empty when none
  std::string checkDetail;
  std::optional<std::int64_t> checkedAt;

  // ok * 100 / jobs, rounded down; none without jobs in the period.
  std::optional<int> SuccessPercent() const;
};

// One entry per board the journal knows, sorted by board name. One pass
// over an index of the jobs, so it stays fast on large journals.
std::vector<BoardStats> ComputeBoardStats(RunJournal& journal, std::int64_t nowMs, int days = kStatsDays);

// The table adweld-board stats prints: a header line, then one line per
// board, fields separated by TAB (dates as FormatStamp, "-" when none).
std::string FormatStatsTable(const std::vector<BoardStats>& stats);

// The board list's tooltip for a board (cp1251, several lines).
std::string StatsTooltip(const BoardStats& stats);
// The board list's column text: "87% · 1.2 s" style, short (cp1251).
std::string StatsColumnText(const BoardStats& stats);

}  // namespace adw::engine
