#pragma once
// The program's date and time texts. Board files (LASTSEND) and the posting
// log carry dates as dd.MM.yyyy (22.01.2000) and times as H:mm:ss (9:05:07),
// the forms a Russian desktop writes; they are fixed here, not taken from
// the machine's locale, so files written on one machine read on another.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace adw::engine {

using Date = std::chrono::year_month_day;

struct TimeOfDay {
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
};

struct LocalDateTime {
  Date date;
  TimeOfDay time;
};

// "22.01.2000": day and month with two digits, the year with four.
std::string FormatShortDate(Date date);

// Reads a date as the short date format gives it. Also takes one-digit day
// and month ("1.2.2000") and a two-digit year, counted in the 2000s
// ("22.01.24" is 22.01.2024). Anything else, or a day the calendar lacks
// ("31.02.2000"), gives nullopt.
std::optional<Date> ParseShortDate(std::string_view text);

// "9:05:07": the hour without a leading zero.
std::string FormatLongTime(TimeOfDay time);

// The machine's local date and time, read once so that a date and a time
// taken together never straddle midnight.
LocalDateTime CurrentLocalDateTime();
Date Today();

}  // namespace adw::engine
