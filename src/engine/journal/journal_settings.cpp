#include "engine/journal/journal_settings.h"

#include <algorithm>

#include "engine/shell/settings_file.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

int ReadRepeatDays(const std::string& settingsPath) {
  const std::string text =
      platform::Trim(platform::IniFile(settingsPath).ReadString(kSettingsSection, kKeyRepeatDays, ""));
  if (text.empty() || text.size() > 6) return kDefaultRepeatDays;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return kDefaultRepeatDays;
    value = value * 10 + (c - '0');
  }
  return std::min(value, kMaxRepeatDays);
}

void SaveRepeatDays(const std::string& settingsPath, int days) {
  platform::IniFile(settingsPath)
      .WriteString(kSettingsSection, kKeyRepeatDays, std::to_string(std::clamp(days, 0, kMaxRepeatDays)));
}

}  // namespace adw::engine
