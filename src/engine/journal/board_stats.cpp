#include "engine/journal/board_stats.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "platform/text1251.h"

namespace adw::engine {

namespace {

struct Accumulator {
  BoardStats stats;
  std::vector<std::int64_t> latencies;
  std::int64_t currentRun = -1;
  bool runOk = false;
  bool runFailed = false;
  int failedStreak = 0;  // runs in a row, latest last, that failed
  std::int64_t lastErrorId = 0;

  void CloseRun() {
    if (currentRun < 0) return;
    if (runOk) {
      failedStreak = 0;
    } else if (runFailed) {
      ++failedStreak;
    }
    runOk = runFailed = false;
  }
};

std::string Stamp(const std::optional<std::int64_t>& ms) {
  return ms ? FormatStamp(*ms) : std::string("-");
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

}  // namespace

std::optional<int> BoardStats::SuccessPercent() const {
  if (jobs <= 0) return std::nullopt;
  return ok * 100 / jobs;
}

std::vector<BoardStats> ComputeBoardStats(RunJournal& journal, std::int64_t nowMs, int days) {
  const std::int64_t since = nowMs - static_cast<std::int64_t>(days) * 24 * 60 * 60 * 1000;
  std::vector<Accumulator> boards;
  // Rows come grouped by board and, within it, by run, straight from the
  // covering index: no sort and no table lookups.
  auto s = journal.Db().Prepare(
      "SELECT board, run, state, ended, latency_ms, id FROM jobs INDEXED BY jobs_by_board "
      "ORDER BY board, run");
  while (s.Step()) {
    const std::string_view board = s.TextView(0);
    if (boards.empty() || boards.back().stats.board != board) {
      if (!boards.empty()) boards.back().CloseRun();
      boards.emplace_back();
      boards.back().stats.board = std::string(board);
    }
    Accumulator& a = boards.back();
    const std::string_view stateName = s.TextView(2);
    const bool ok = stateName == "ok";
    const bool failed = stateName == "failed";
    const bool unconfirmed = stateName == "unconfirmed";
    if (!ok && !failed && !unconfirmed) continue;
    const std::int64_t run = s.Int(1);
    if (run != a.currentRun) {
      a.CloseRun();
      a.currentRun = run;
    }
    a.runOk = a.runOk || ok;
    a.runFailed = a.runFailed || failed;
    const std::int64_t ended = s.Int(3);
    if (ok) {
      if (!a.stats.lastSuccess || ended > *a.stats.lastSuccess) a.stats.lastSuccess = ended;
    } else if (!a.stats.lastErrorAt || ended >= *a.stats.lastErrorAt) {
      a.stats.lastErrorAt = ended;
      a.lastErrorId = s.Int(5);
    }
    if (ended >= since) {
      ++a.stats.jobs;
      if (ok) ++a.stats.ok;
      if (!s.IsNull(4)) a.latencies.push_back(s.Int(4));
    }
  }
  if (!boards.empty()) boards.back().CloseRun();

  auto errorText = journal.Db().Prepare("SELECT state, error, reason FROM jobs WHERE id=?");
  std::vector<BoardStats> result;
  result.reserve(boards.size());
  std::unordered_map<std::string, std::size_t> byName;
  for (Accumulator& a : boards) {
    if (!a.latencies.empty()) {
      auto middle = a.latencies.begin() + static_cast<std::ptrdiff_t>(a.latencies.size() / 2);
      std::nth_element(a.latencies.begin(), middle, a.latencies.end());
      a.stats.medianLatencyMs = *middle;
    }
    a.stats.failedLastThree = a.failedStreak >= 3;
    if (a.lastErrorId) {
      errorText.Bind(1, a.lastErrorId);
      if (errorText.Step()) {
        std::string text = errorText.Text(0);
        const std::string detail = errorText.Text(1).empty() ? errorText.Text(2) : errorText.Text(1);
        if (!detail.empty()) text += ": " + detail;
        a.stats.lastError = OneLine(text);
      }
      errorText.Reset();
    }
    byName.emplace(a.stats.board, result.size());
    result.push_back(std::move(a.stats));
  }

  // The last health check of each board; a board known only from checks
  // gets an entry of its own.
  auto checks =
      journal.Db().Prepare("SELECT board, state, detail, checked FROM checks ORDER BY board, checked");
  while (checks.Step()) {
    const std::string board = checks.Text(0);
    auto found = byName.find(board);
    if (found == byName.end()) {
      found = byName.emplace(board, result.size()).first;
      result.emplace_back();
      result.back().board = board;
    }
    BoardStats& stats = result[found->second];
    stats.checkState = checks.Text(1);
    stats.checkDetail = OneLine(checks.Text(2));
    stats.checkedAt = checks.Int(3);
  }
  std::sort(result.begin(), result.end(),
            [](const BoardStats& a, const BoardStats& b) { return a.board < b.board; });
  return result;
}

std::string FormatStatsTable(const std::vector<BoardStats>& stats) {
  std::string table =
      "board\tsuccess_30d\tjobs_30d\tlast_success\tmedian_ms\tlast3\tlast_error_at\tlast_error\tcheck\n";
  for (const BoardStats& b : stats) {
    const auto percent = b.SuccessPercent();
    table +=
        b.board + "\t" + (percent ? std::to_string(*percent) + "%" : std::string("-")) + "\t" +
        std::to_string(b.jobs) + "\t" + Stamp(b.lastSuccess) + "\t" +
        (b.medianLatencyMs ? std::to_string(*b.medianLatencyMs) : std::string("-")) + "\t" +
        (b.failedLastThree ? "failed" : "-") + "\t" + Stamp(b.lastErrorAt) + "\t" +
        (b.lastError.empty() ? std::string("-") : b.lastError) + "\t" +
        (b.checkState.empty() ? std::string("-")
                              : b.checkState + (b.checkDetail.empty() ? "" : " (" + b.checkDetail + ")")) +
        "\n";
  }
  return table;
}

std::string StatsTooltip(const BoardStats& b) {
  using platform::W;
  std::string text;
  const auto percent = b.SuccessPercent();
  text += W("Успешно за 30 дней: ") + (percent ? std::to_string(*percent) + "% (" + std::to_string(b.ok) +
                                                     W(" из ") + std::to_string(b.jobs) + ")"
                                               : W("нет размещений"));
  text += W("\nПоследний успех: ") + (b.lastSuccess ? FormatStamp(*b.lastSuccess) : W("нет"));
  if (b.lastErrorAt) text += W("\nПоследняя ошибка: ") + FormatStamp(*b.lastErrorAt) + ", " + b.lastError;
  if (b.medianLatencyMs) text += W("\nМедиана ответа: ") + std::to_string(*b.medianLatencyMs) + W(" мс");
  if (b.failedLastThree) text += W("\nТри последних размещения неудачны");
  if (!b.checkState.empty()) {
    text += W("\nПроверка ") + Stamp(b.checkedAt) + ": " + b.checkState;
    if (!b.checkDetail.empty()) text += " (" + b.checkDetail + ")";
  }
  return text;
}

std::string StatsColumnText(const BoardStats& b) {
  std::string text;
  const auto percent = b.SuccessPercent();
  text += percent ? std::to_string(*percent) + "%" : std::string("-");
  if (b.medianLatencyMs) {
    char latency[32];
    std::snprintf(latency, sizeof latency, ", %.1f s", static_cast<double>(*b.medianLatencyMs) / 1000.0);
    text += latency;
  }
  if (b.failedLastThree) text += " !";
  if (b.checkState == "changed" || b.checkState == "unreachable") text += " " + b.checkState;
  return text;
}

}  // namespace adw::engine
