#include "engine/base/board_file.h"

#include <cstdint>
#include <limits>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {
constexpr std::string_view kProject = "Project";
constexpr std::string_view kMap = "MAP";
}  // namespace

BoardFile BoardFile::FromText(std::string_view plainText) {
  BoardFile board;
  board.m_doc = platform::IniDocument::Parse(plainText);
  return board;
}

BoardFileNames::BoardFileNames(const std::string& scriptDir) {
  for (const std::string& file : platform::ListFiles(scriptDir, "*.prj")) {
    m_byLowerName.emplace(platform::LowerAscii(file), file);
  }
}

std::optional<std::string> BoardFileNames::Find(std::string_view fileName) const {
  const auto found = m_byLowerName.find(platform::LowerAscii(fileName));
  if (found == m_byLowerName.end()) return std::nullopt;
  return found->second;
}

BoardFile BoardFile::Read(const std::string& scriptDir, const std::string& fileName) {
  return FromText(ReadBoardText(platform::JoinPath(scriptDir, fileName)));
}

std::string BoardFile::ReadProjectKey(std::string_view key, std::string_view def) const {
  return m_doc.ReadString(kProject, key, def);
}

std::string BoardFile::Name() const {
  return ReadProjectKey("NAME", "");
}
std::string BoardFile::Submit() const {
  return ReadProjectKey("SUBMIT", "");
}
std::string BoardFile::SubBody() const {
  return ReadProjectKey("SUBBODY", "");
}
std::string BoardFile::Request() const {
  return ReadProjectKey("REQUEST", "");
}
std::string BoardFile::Code() const {
  return ReadProjectKey("CODE", "win");
}

std::optional<std::string> BoardFile::ReadOptional(std::string_view key) const {
  if (!m_doc.HasKey(kProject, key)) return std::nullopt;
  return ReadProjectKey(key, "");
}

std::optional<std::string> BoardFile::LastSend() const {
  return ReadOptional("LASTSEND");
}
std::optional<std::string> BoardFile::Period() const {
  return ReadOptional("Period");
}

std::vector<std::pair<std::string, std::string>> BoardFile::MapEntries() const {
  return m_doc.ReadSectionValues(kMap);
}

bool IsDue(Date lastSend, long long periodDays, Date today) {
  using std::chrono::days;
  using std::chrono::sys_days;
  return sys_days(today) > sys_days(lastSend) + days(periodDays);
}

std::optional<long long> ParsePeriod(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  if (pos == text.size()) return std::nullopt;
  long long value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    // The interval is a 32-bit integer where it is written by hand; a longer
    // number is refused rather than wrapped into a different interval.
    if (value > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return value;
}

DueCheck CheckDue(const std::optional<std::string>& lastSend, const std::optional<std::string>& period,
                  Date today) {
  DueCheck check;
  Date last = today;
  if (lastSend) {
    const auto parsed = ParseShortDate(*lastSend);
    if (!parsed) {
      check.problem = "LASTSEND: '" + *lastSend + "' is not a valid date";
      return check;
    }
    last = *parsed;
  }
  long long days = 1;
  if (period) {
    const auto parsed = ParsePeriod(*period);
    if (!parsed) {
      check.problem = "Period: '" + *period + "' is not a valid integer value";
      return check;
    }
    days = *parsed;
  }
  check.due = IsDue(last, days, today);
  return check;
}

DueCheck CheckDue(const BoardFile& board, Date today) {
  return CheckDue(board.LastSend(), board.Period(), today);
}

}  // namespace adw::engine
