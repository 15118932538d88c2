#pragma once
// The posting time-out as the settings file holds it: whole seconds from 0
// to 999, the three places of the configuration box, blanks trimmed; empty
// means no time-out. Any other text (a sign, a letter, an exponent, more
// than 999) is refused rather than read as some other number: the workers
// then wait the box's design value, 20 seconds, and the window and
// adweld-run say what is wrong.
#include <optional>
#include <string>
#include <string_view>

namespace adw::engine {

inline constexpr int kDefaultTimeOutSeconds = 20;
inline constexpr int kMaxTimeOutSeconds = 999;

// The seconds a stored or typed time-out text stands for (0 for an empty
// text, blanks trimmed); nullopt when it is not a whole number 0..999.
std::optional<int> ParseTimeOutSeconds(std::string_view text);

// The seconds the workers use for a stored value: the parsed value, or
// kDefaultTimeOutSeconds when it is refused.
int StoredTimeOutSeconds(std::string_view stored);

// A refused stored time-out: the key and the value as they stand in the file.
struct TimeOutProblem {
  std::string key;    // "edTimeOut_Text"
  std::string value;  // as stored (cp1251)
};
// nullopt when the file holds no time-out, or a valid one.
std::optional<TimeOutProblem> CheckStoredTimeOut(const std::string& settingsPath);

// The status bar line for a refused stored time-out (cp1251).
std::string TimeOutProblemHint(const TimeOutProblem& problem);

}  // namespace adw::engine
