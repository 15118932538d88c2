#include "engine/base/short_date.h"

#include <ctime>

namespace adw::engine {

namespace {

void AppendTwoDigits(std::string& out, unsigned value) {
  out.push_back(static_cast<char>('0' + value / 10 % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

// Reads 1..maxDigits decimal digits at pos; nullopt when there are none or
// more than maxDigits.
std::optional<int> ReadNumber(std::string_view text, std::size_t& pos, std::size_t maxDigits,
                              std::size_t& digits) {
  int value = 0;
  digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (++digits > maxDigits) return std::nullopt;
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

}  // namespace

std::string FormatShortDate(Date date) {
  std::string out;
  out.reserve(10);
  AppendTwoDigits(out, static_cast<unsigned>(date.day()));
  out.push_back('.');
  AppendTwoDigits(out, static_cast<unsigned>(date.month()));
  out.push_back('.');
  const int year = static_cast<int>(date.year());
  AppendTwoDigits(out, static_cast<unsigned>(year / 100));
  AppendTwoDigits(out, static_cast<unsigned>(year % 100));
  return out;
}

std::optional<Date> ParseShortDate(std::string_view text) {
  std::size_t pos = 0;
  std::size_t digits = 0;
  const auto day = ReadNumber(text, pos, 2, digits);
  if (!day || pos >= text.size() || text[pos++] != '.') return std::nullopt;
  const auto month = ReadNumber(text, pos, 2, digits);
  if (!month || pos >= text.size() || text[pos++] != '.') return std::nullopt;
  auto year = ReadNumber(text, pos, 4, digits);
  if (!year || pos != text.size() || digits == 3) return std::nullopt;
  if (digits <= 2) *year += 2000;
  if (*year < 1) return std::nullopt;
  const Date date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                  std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  return date;
}

std::string FormatLongTime(TimeOfDay time) {
  std::string out = std::to_string(time.hour);
  out.push_back(':');
  AppendTwoDigits(out, static_cast<unsigned>(time.minute));
  out.push_back(':');
  AppendTwoDigits(out, static_cast<unsigned>(time.second));
  return out;
}

LocalDateTime CurrentLocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  LocalDateTime result;
  result.date = Date{std::chrono::year(local.tm_year + 1900),
                     std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                     std::chrono::day(static_cast<unsigned>(local.tm_mday))};
  // A leap second (tm_sec 60) is written as the last second of its minute.
  result.time = TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec};
  return result;
}

Date Today() {
  return CurrentLocalDateTime().date;
}

}  // namespace adw::engine
