#include "engine/posting/run_results.h"

#include <cerrno>
#include <exception>
#include <mutex>
#include <unordered_map>

#include "engine/posting/result_write_failures.h"
#include "engine/posting/result_writer.h"
#include "engine/shell/settings_file.h"
#include "platform/atomic_write.h"
#include "platform/files.h"
#include "platform/html_escape.h"
#include "platform/text1251.h"

namespace adw::engine {

std::optional<int> ProgressPercent(int successes, int failures, int jobCount) {
  if (jobCount <= 0) return std::nullopt;
  const long long numerator = (static_cast<long long>(successes) + failures) * 100;
  long long quotient = numerator / jobCount;
  const long long twiceRemainder = 2 * (numerator % jobCount);
  if (twiceRemainder > jobCount || (twiceRemainder == jobCount && quotient % 2 != 0)) ++quotient;
  return static_cast<int>(quotient);
}

std::string ProgressText(const RunCounters& counters, const std::string& previous) {
  const auto percent =
      ProgressPercent(counters.successes + counters.unconfirmed, counters.failures, counters.jobCount);
  if (!percent) return previous;
  return std::to_string(*percent) + "%";
}

std::pair<std::string, std::string> SplitJobLabel(std::string_view label) {
  const std::size_t tab = label.find('\t');
  if (tab == std::string_view::npos) return {std::string(label), std::string()};
  return {std::string(label.substr(0, tab)), std::string(label.substr(tab + 1))};
}

std::string ResultPageFileName(std::string_view boardName) {
  std::string name(boardName);
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == '\0') c = '_';
  }
  return name + ".htm";
}

std::optional<std::string> ResultPagePath(std::string_view label) {
  const auto [boardName, reportDir] = SplitJobLabel(label);
  if (platform::Trim(reportDir).empty()) return std::nullopt;
  return platform::JoinPath(reportDir, ResultPageFileName(boardName));
}

bool WriteResultPageContent(const std::string& path, std::string_view content) {
  // No flush per page: a run writes one per job, and a flush each would
  // bound the run by the disk, not by the wire. The run journal is the
  // durable record of what was posted.
  const platform::WriteOutcome outcome = platform::WriteFileAtomicChecked(path, content, false);
  if (!outcome) {
    NoteResultWriteFailure(
        {ResultWriteFailure::Kind::ResultPage, path, {}, platform::SystemErrorText(outcome.error)});
  }
  return static_cast<bool>(outcome);
}

std::string FailureField(std::string_view reason) {
  if (reason.empty()) return "error retrieving page";
  std::string field(reason);
  for (char& c : field) {
    if (c == '\t' || c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return field;
}

std::string ResultPageTrailer(const JobResult& result) {
  // The reason stays on one line of the page, then is escaped like every page text.
  auto escaped = [](std::string_view text) {
    std::string line(text);
    for (char& c : line) {
      if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    return platform::HtmlEscape(line);
  };
  std::string trailer;
  if (result.verdict != JobVerdict::Ok && !result.failureReason.empty()) {
    trailer += "\r\n<p>" + JobVerdictCaption(result.verdict) + ": " + escaped(result.failureReason) + "</p>";
  }
  if (result.bodyCut) {
    trailer += "\r\n<p>" + platform::W("Ответ сервера обрезан: сохранено первых 8 МБ.") + "</p>";
  }
  // A reply the board's status or texts judged ends with the verdict: the
  // page alone would not tell (a 403 page need not say "error"), and the
  // report must agree with the run. A request that failed on the way leaves
  // no mark; its page says "error retrieving page".
  if (result.verdict == JobVerdict::Unconfirmed ||
      (result.verdict == JobVerdict::Failed && result.statusCode != 0)) {
    trailer += "\r\n" + VerdictMarkLine(result.verdict);
  }
  return trailer;
}

std::string LogFileName(const std::string& settingsFile) {
  return SettingsSiblingFile(settingsFile, ".log");
}

std::string LogEntryValue(std::string_view replyText, int lastSocketError, std::string_view reason) {
  std::string value = std::string(replyText) + " result=" + std::to_string(lastSocketError);
  if (!reason.empty()) {
    value += ' ';
    value += reason;
  }
  return value;
}

void WriteLogEntry(const std::string& logPath, std::string_view text, int number, bool enabled) {
  if (!enabled) return;
  WriteLogEntry(logPath, text, number, enabled, CurrentLocalDateTime());
}

namespace {

// What the end of a log file looks like: the section its last lines belong
// to and whether it ends with a line break. Remembered per file together
// with the size and time it had after our own append, so the next entry
// needs no read of the file at all.
struct LogTail {
  platform::FileStamp stamp;
  std::string lastSection;
  bool hasSection = false;
  bool endsWithBreak = true;
};

struct LogTailCache {
  std::mutex mutex;
  std::unordered_map<std::string, LogTail> tails;
};

LogTailCache& TailCache() {
  static LogTailCache cache;
  return cache;
}

// The section name of a header line ("[name]" with blanks around), or
// nullopt for any other line.
std::optional<std::string> HeaderName(std::string_view line) {
  const std::string text = platform::Trim(line);
  if (text.size() < 2 || text.front() != '[') return std::nullopt;
  const std::size_t close = text.find(']');
  if (close == std::string::npos) return std::nullopt;
  return platform::Trim(std::string_view(text).substr(1, close - 1));
}

// Reads the file backwards in chunks until the last header line is found.
LogTail ScanTail(const std::string& path, const platform::FileStamp& stamp) {
  LogTail tail;
  tail.stamp = stamp;
  if (stamp.size == 0) return tail;
  constexpr std::int64_t kChunk = 64 * 1024;
  std::string carry;  // the start of a line cut at the previous chunk's start
  std::int64_t start = stamp.size;
  while (start > 0) {
    const std::int64_t from = start > kChunk ? start - kChunk : 0;
    auto chunk = platform::ReadFileRange(path, from, static_cast<std::size_t>(start - from));
    if (!chunk || chunk->size() != static_cast<std::size_t>(start - from)) return tail;
    std::string data = std::move(*chunk);
    if (start == stamp.size) tail.endsWithBreak = data.back() == '\n' || data.back() == '\r';
    data += carry;
    std::size_t end = data.size();
    while (end > 0) {
      const std::size_t lineBreak = data.find_last_of("\r\n", end - 1);
      if (lineBreak == std::string::npos) break;
      if (const auto name = HeaderName(std::string_view(data).substr(lineBreak + 1, end - lineBreak - 1))) {
        tail.lastSection = *name;
        tail.hasSection = true;
        return tail;
      }
      end = lineBreak;
    }
    carry = data.substr(0, end);
    start = from;
  }
  if (const auto name = HeaderName(carry)) {
    tail.lastSection = *name;
    tail.hasSection = true;
  }
  return tail;
}

std::string OneLine(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return line;
}

}  // namespace

void WriteLogEntry(const std::string& logPath, std::string_view text, int number, bool enabled,
                   const LocalDateTime& now, std::string_view reason) {
  if (!enabled) return;
  WriteLogEntries(logPath, {LogEntry{now, std::string(text), number, std::string(reason)}});
}

void WriteLogEntries(const std::string& logPath, const std::vector<LogEntry>& entries) {
  if (entries.empty()) return;
  // Every entry is added at the end of the file, also when an entry of the
  // same second is already there: a rewrite in place would cost a copy of
  // the whole log and would lose the earlier job's entry.
  try {
    LogTailCache& cache = TailCache();
    std::lock_guard lock(cache.mutex);
    const platform::FileStamp stamp = platform::StatFile(logPath).value_or(platform::FileStamp{});
    const std::int64_t size = stamp.size;
    auto found = cache.tails.find(logPath);
    if (found == cache.tails.end() || !(found->second.stamp == stamp)) {
      found = cache.tails.insert_or_assign(logPath, ScanTail(logPath, stamp)).first;
    }
    LogTail& tail = found->second;
    // One append for the whole batch: the entries keep their order, each
    // under the section of its own date.
    std::string bytes;
    std::vector<std::string> lines;
    lines.reserve(entries.size());
    if (size > 0 && !tail.endsWithBreak) bytes += "\r\n";
    std::string section = tail.lastSection;
    bool hasSection = tail.hasSection;
    for (const LogEntry& entry : entries) {
      std::string entrySection = FormatShortDate(entry.now.date);
      if (!hasSection || !platform::EqualsNoCase(section, entrySection)) {
        bytes += "[" + entrySection + "]\r\n";
        section = std::move(entrySection);
        hasSection = true;
      }
      lines.push_back(FormatLongTime(entry.now.time) + "=" +
                      LogEntryValue(OneLine(entry.text), entry.number, OneLine(entry.reason)));
      bytes += lines.back();
      bytes += "\r\n";
    }
    if (!platform::AppendToFile(logPath, bytes)) {
      // The append reports no reason of its own; errno still holds the
      // failing call's.
      const std::string reason = platform::SystemErrorText(errno);
      cache.tails.erase(logPath);
      for (std::string& line : lines) {
        NoteResultWriteFailure({ResultWriteFailure::Kind::LogEntry, logPath, std::move(line), reason});
      }
      return;
    }
    const auto after = platform::StatFile(logPath);
    if (!after) {
      cache.tails.erase(logPath);
      return;
    }
    tail.stamp = *after;
    tail.lastSection = section;
    tail.hasSection = true;
    tail.endsWithBreak = true;
  } catch (const std::exception& e) {
    // A log that cannot be written never disturbs a run; it is only told.
    NoteResultWriteFailure({ResultWriteFailure::Kind::LogEntry, logPath, {}, e.what()});
  }
}

std::string RecordJobResult(const JobResult& result, const ResultSwitches& switches,
                            const std::string& logPath, RunCounters& counters) {
  ResultWriter writer(1);
  std::string statusText = RecordJobResult(result, switches, logPath, counters, writer);
  writer.Drain();
  return statusText;
}

std::string ResultPageContent(const JobResult& result) {
  const std::string trailer = ResultPageTrailer(result);
  std::string content;
  content.reserve(result.body.size() + trailer.size() + 2);
  content.append(result.body).append(trailer).append("\r\n");
  return content;
}

std::string RecordJobResult(const JobResult& result, const ResultSwitches& switches,
                            const std::string& logPath, RunCounters& counters, ResultWriter& writer) {
  std::string statusText;
  if (switches.reports) {
    if (auto page = ResultPagePath(result.label)) {
      statusText = *page;
      writer.WritePage(std::move(*page), ResultPageContent(result));
    }
  }
  switch (result.verdict) {
    case JobVerdict::Ok:
      ++counters.successes;
      break;
    case JobVerdict::Unconfirmed:
      ++counters.unconfirmed;
      break;
    default:
      ++counters.failures;
      break;
  }
  if (switches.log) {
    writer.WriteLogEntry(logPath, LogEntry{CurrentLocalDateTime(), result.replyText, result.lastSocketError,
                                           LogEntryReason(result)});
  }
  return statusText;
}

std::string LogEntryReason(const JobResult& result) {
  // The details without their leading blank: LogEntryValue puts one there.
  std::string reason = LogEntryDetails(result).substr(1);
  // A failed job's log value ends with its reason as it stands; an
  // unconfirmed one says so before its reason.
  if (result.verdict == JobVerdict::Unconfirmed) {
    reason.push_back(' ');
    reason.append(JobVerdictCaption(result.verdict));
    if (!result.failureReason.empty()) reason.append(": ").append(result.failureReason);
  } else if (result.verdict != JobVerdict::Ok && !result.failureReason.empty()) {
    reason.push_back(' ');
    reason.append(result.failureReason);
  }
  return reason;
}

std::string_view OutcomeStateName(const JobResult& result) {
  return JobVerdictName(result.verdict);
}

std::string LogEntryDetails(const JobResult& result) {
  const auto clean = [](std::string_view text) {
    std::string out(text);
    for (char& c : out) {
      if (c == '\r' || c == '\n' || c == '=') c = ' ';
    }
    return out;
  };
  std::string details = " state=";
  details += OutcomeStateName(result);
  details += " board=" + clean(SplitJobLabel(result.label).first);
  details += " ad=" + clean(result.ad);
  return details;
}

}  // namespace adw::engine
