#include "engine/shell/settings_file.h"

#include <charconv>
#include <optional>

#include "engine/shell/time_out_setting.h"
#include "platform/config_location.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

using platform::IniFile;
using platform::Trim;

namespace {

// Decimal whole number with an optional sign; no blanks, no other text.
std::optional<long long> WholeNumber(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  long long v = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ptr != s.data() + s.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) return 1;  // a huge number is still not 0
  if (ec != std::errc()) return std::nullopt;
  return v;
}

// A port outside 1..65535 (the box takes five digits) gives 0 rather than
// a number that a socket address would silently cut to another port.
int Port(std::string_view s) {
  auto v = WholeNumber(s);
  if (!v || *v < 0 || *v > 65535) return 0;
  return static_cast<int>(*v);
}

}  // namespace

std::string SettingsFileName(std::string_view programPath) {
  return platform::ChangeFileExt(programPath, ".ini");
}

std::string SettingsFileName() {
  const std::string beside = SettingsFileName(platform::ProgramFilePath());
  return platform::ConfigFilePath(beside.substr(beside.rfind(platform::kPathSeparator) + 1));
}

std::string StoredScriptDir(const std::string& settingsPath) {
  std::string dir = IniFile(settingsPath).ReadString(kSettingsSection, kKeyScriptDir, "");
  dir.push_back(platform::kPathSeparator);
  return dir;
}

bool SettingsBool(std::string_view value) {
  if (platform::EqualsNoCase(value, "True")) return true;
  auto v = WholeNumber(value);
  return v && *v != 0;
}

bool ReadSettingsBool(const std::string& settingsPath, std::string_view key) {
  return SettingsBool(IniFile(settingsPath).ReadString(kSettingsSection, key, ""));
}

PostingSettings ReadPostingSettings(const std::string& settingsPath) {
  IniFile ini(settingsPath);
  PostingSettings s;
  s.useProxy = SettingsBool(ini.ReadString(kSettingsSection, kKeyUseProxy, ""));
  if (s.useProxy) {
    s.proxyHost = ini.ReadString(kSettingsSection, kKeyProxy, "");
    s.proxyPort = Port(Trim(ini.ReadString(kSettingsSection, kKeyProxyPort, "0")));
  }
  s.timeOutMs = StoredTimeOutSeconds(ini.ReadString(kSettingsSection, kKeyTimeOut, "0")) * 1000;
  s.caFile = ReadCAFile(settingsPath);
  return s;
}

FetchProxySettings ReadFetchProxySettings(const std::string& settingsPath) {
  IniFile ini(settingsPath);
  FetchProxySettings s;
  s.useProxy = SettingsBool(ini.ReadString(kSettingsSection, kKeyUseProxy, ""));
  if (s.useProxy) {
    s.proxy = ini.ReadString(kSettingsSection, kKeyProxy, "");
    s.proxyPort = ini.ReadString(kSettingsSection, kKeyProxyPort, "0");
  }
  s.caFile = ReadCAFile(settingsPath);
  return s;
}

std::string ReadCAFile(const std::string& settingsPath) {
  return Trim(IniFile(settingsPath).ReadString(kSettingsSection, kKeyCAFile, ""));
}

void SaveConfiguration(const std::string& settingsPath, const ConfigurationValues& values) {
  IniFile ini(settingsPath);
  bool writeCAFile = !Trim(values.caFile).empty();
  for (const std::string& key : ini.ReadSectionKeys(kSettingsSection)) {
    if (platform::EqualsNoCase(key, kKeyCAFile)) writeCAFile = true;
  }
  std::vector<std::pair<std::string, std::string>> entries = {
      {std::string(kKeySiteUrl), values.siteUrl},
      {std::string(kKeyScriptDir), values.scriptDir},
      {std::string(kKeyProxy), values.proxy},
      {std::string(kKeyProxyPort), values.proxyPort},
      {std::string(kKeyTimeOut), Trim(values.timeOut)},
      {std::string(kKeyUseProxy), values.useProxy ? "1" : "0"},
      {std::string(kKeyLogFile), values.logFile ? "1" : "0"},
      {std::string(kKeyThreadCount), std::to_string(values.threadCount)},
  };
  if (writeCAFile) entries.emplace_back(std::string(kKeyCAFile), Trim(values.caFile));
  ini.WriteStrings(kSettingsSection, entries);
}

std::string SettingsSiblingFile(const std::string& settingsFile, std::string_view extension) {
  constexpr std::string_view kIni = ".ini";
  const std::size_t slash = settingsFile.find_last_of('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (settingsFile.size() >= nameStart + kIni.size() &&
      platform::EqualsNoCase(std::string_view(settingsFile).substr(settingsFile.size() - kIni.size()),
                             kIni)) {
    return settingsFile.substr(0, settingsFile.size() - kIni.size()) + std::string(extension);
  }
  return settingsFile + std::string(extension);
}

}  // namespace adw::engine
