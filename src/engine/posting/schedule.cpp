#include "engine/posting/schedule.h"

#include "engine/posting/worker_pool.h"
#include "platform/concat.h"

namespace adw::engine {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '_' || c == '\t';
}

// One part of the time: blanks, one or two digits, blanks.
std::optional<int> ReadPart(std::string_view part) {
  std::size_t begin = 0;
  std::size_t end = part.size();
  while (begin < end && IsBlank(part[begin])) ++begin;
  while (end > begin && IsBlank(part[end - 1])) --end;
  if (end == begin || end - begin > 2) return std::nullopt;
  int value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    if (part[i] < '0' || part[i] > '9') return std::nullopt;
    value = value * 10 + (part[i] - '0');
  }
  return value;
}

bool NotBefore(const TimeOfDay& now, const TimeOfDay& set) {
  if (now.hour != set.hour) return now.hour > set.hour;
  if (now.minute != set.minute) return now.minute > set.minute;
  return now.second >= set.second;
}

}  // namespace

std::optional<TimeOfDay> ParseTimeText(std::string_view text) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  std::size_t pos = 0;
  while (true) {
    const std::size_t colon = text.find(':', pos);
    if (count == 3) return std::nullopt;
    const auto value = ReadPart(text.substr(pos, colon == std::string_view::npos ? text.npos : colon - pos));
    if (!value) return std::nullopt;
    parts[count++] = *value;
    if (colon == std::string_view::npos) break;
    pos = colon + 1;
  }
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return TimeOfDay{parts[0], parts[1], parts[2]};
}

std::string InvalidTimeMessage(std::string_view text) {
  return platform::Concat({"'", text, "' is not a valid time"});
}

ScheduleDecision CheckScheduledStart(Date dateBox, std::string_view timeText, const LocalDateTime& now,
                                     bool runActive) {
  ScheduleDecision decision;
  const auto setTime = ParseTimeText(timeText);
  if (!setTime) {
    decision.action = ScheduleDecision::Action::Error;
    decision.message = InvalidTimeMessage(timeText);
    return decision;
  }
  if (now.date != dateBox || !NotBefore(now.time, *setTime)) return decision;
  if (runActive) {
    decision.action = ScheduleDecision::Action::Postpone;
    decision.message = RunActiveHint();
    return decision;
  }
  decision.action = ScheduleDecision::Action::Start;
  return decision;
}

}  // namespace adw::engine
