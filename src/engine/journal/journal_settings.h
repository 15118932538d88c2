#pragma once
// The settings the run journal adds to section "Save" of the settings file.
#include <string>
#include <string_view>

namespace adw::engine {

// "не повторять ранее, чем через N дней": the spin box on the configuration
// panel and its stored value; 0 turns the duplicate guard off.
inline constexpr std::string_view kKeyRepeatDays = "RxSEdRepeatDays_Value";
inline constexpr int kDefaultRepeatDays = 7;
inline constexpr int kMaxRepeatDays = 3650;

// The stored value; the default when absent or not a whole number,
// capped to 0..kMaxRepeatDays.
int ReadRepeatDays(const std::string& settingsPath);
// Throws platform::ProfileWriteError when the file cannot be written.
void SaveRepeatDays(const std::string& settingsPath, int days);

}  // namespace adw::engine
