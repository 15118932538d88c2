#include "engine/posting/run_results.h"

#include <exception>

#include "platform/files.h"
#include "platform/profile.h"
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
  const auto percent = ProgressPercent(counters.successes, counters.failures, counters.jobCount);
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

bool WriteResultPage(const std::string& path, std::string_view body) {
  std::string content;
  content.reserve(body.size() + 2);
  content.append(body);
  content.append("\r\n");
  return platform::WriteFileAtomic(path, content);
}

std::string LogFileName(const std::string& settingsFile) {
  constexpr std::string_view kIni = ".ini";
  const std::size_t slash = settingsFile.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (settingsFile.size() >= nameStart + kIni.size() &&
      platform::EqualsNoCase(std::string_view(settingsFile).substr(settingsFile.size() - kIni.size()), kIni)) {
    return settingsFile.substr(0, settingsFile.size() - kIni.size()) + ".log";
  }
  return settingsFile + ".log";
}

std::string LogEntryValue(std::string_view replyText, int lastSocketError) {
  return std::string(replyText) + " result=" + std::to_string(lastSocketError);
}

void WriteLogEntry(const std::string& logPath, std::string_view text, int number, bool enabled) {
  if (!enabled) return;
  WriteLogEntry(logPath, text, number, enabled, CurrentLocalDateTime());
}

void WriteLogEntry(const std::string& logPath, std::string_view text, int number, bool enabled,
                   const LocalDateTime& now) {
  if (!enabled) return;
  try {
    platform::IniFile log(logPath);
    log.AppendString(FormatShortDate(now.date), FormatLongTime(now.time), LogEntryValue(text, number));
  } catch (const std::exception&) {
    // A log that cannot be written never disturbs a run.
  }
}

std::string RecordJobResult(const JobResult& result, const ResultSwitches& switches, const std::string& logPath,
                            RunCounters& counters) {
  std::string statusText;
  if (switches.reports) {
    if (const auto page = ResultPagePath(result.label)) {
      statusText = *page;
      WriteResultPage(*page, result.body);
    }
  }
  if (result.success) {
    ++counters.successes;
  } else {
    ++counters.failures;
  }
  WriteLogEntry(logPath, result.replyText, result.lastSocketError, switches.log);
  return statusText;
}

}  // namespace adw::engine
