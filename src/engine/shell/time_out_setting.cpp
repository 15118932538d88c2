#include "engine/shell/time_out_setting.h"

#include "engine/shell/settings_file.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

std::optional<int> ParseTimeOutSeconds(std::string_view text) {
  const std::string trimmed = platform::Trim(text);
  if (trimmed.empty()) return 0;
  // Leading zeros are harmless ("020"), but the length check must not let
  // a long run of digits overflow.
  int value = 0;
  for (char c : trimmed) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > kMaxTimeOutSeconds) return std::nullopt;
  }
  return value;
}

int StoredTimeOutSeconds(std::string_view stored) {
  return ParseTimeOutSeconds(stored).value_or(kDefaultTimeOutSeconds);
}

std::optional<TimeOutProblem> CheckStoredTimeOut(const std::string& settingsPath) {
  const std::string stored = platform::IniFile(settingsPath).ReadString(kSettingsSection, kKeyTimeOut, "");
  if (ParseTimeOutSeconds(stored)) return std::nullopt;
  // Named as the form storage writes it, the spelling a user finds in the file.
  return TimeOutProblem{"edTimeOut_Text", stored};
}

std::string TimeOutProblemHint(const TimeOutProblem& problem) {
  return platform::W("Тайм-аут в файле настроек не принят: ") + problem.key + "=\"" + problem.value +
         platform::W("\" (нужно целое число секунд от 0 до 999); действует ") +
         std::to_string(kDefaultTimeOutSeconds) + platform::W(" с до сохранения верного значения");
}

}  // namespace adw::engine
