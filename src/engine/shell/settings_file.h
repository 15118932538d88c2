#pragma once
// The settings file: its name beside the program, the stored script
// directory, the direct readers of the posting threads and the page fetch,
// and the configuration save. Every key lives in section "Save". The window
// side of the file (the stored control values) is FormStorage.
#include <string>
#include <string_view>

namespace adw::engine {

inline constexpr std::string_view kSettingsSection = "Save";

// Keys read or written outside the form storage.
inline constexpr std::string_view kKeySiteUrl = "edSiteURL_Text";
inline constexpr std::string_view kKeyScriptDir = "deScript_Text";
inline constexpr std::string_view kKeyProxy = "EdProxy_Text";
inline constexpr std::string_view kKeyProxyPort = "EdProxyPort_Text";
// The configuration save spells it with a capital E; keys compare without
// regard to case, so it is the storage's edTimeOut_Text.
inline constexpr std::string_view kKeyTimeOut = "EdTimeOut_Text";
inline constexpr std::string_view kKeyUseProxy = "cbUseProxy_Checked";
inline constexpr std::string_view kKeyLogFile = "cbLogFile_Checked";
inline constexpr std::string_view kKeyThreadCount = "RxSEdPost_Value";
// A PEM file of CA certificates that https trusts beside the system store.
inline constexpr std::string_view kKeyCAFile = "edCAFile_Text";

// The program file's path with its extension replaced by ".ini" (appended
// when it has none): "/opt/adwelder/adwelder" -> "/opt/adwelder/adwelder.ini".
std::string SettingsFileName(std::string_view programPath);
// The settings file of the running program: that name beside it, or in the
// user's configuration folder when the program's folder is not for
// settings (platform/config_location.h).
std::string SettingsFileName();
// A file that lives beside the settings file under its name: ".ini"
// (any case) replaced by extension, or extension appended when the name
// does not end in ".ini" ("adwelder.ini" -> "adwelder.log", "adwelder.db").
std::string SettingsSiblingFile(const std::string& settingsFile, std::string_view extension);

// The stored "deScript_Text" (default empty) followed by the separator. It
// is "/" alone when nothing is stored: callers that write there should
// treat an empty stored directory as "none set".
std::string StoredScriptDir(const std::string& settingsPath);

// The direct boolean rule: true for a whole number other than 0 or for
// "True" in any letter case; false for anything else.
bool SettingsBool(std::string_view value);
// The direct boolean read of a key; an absent key or file is false.
bool ReadSettingsBool(const std::string& settingsPath, std::string_view key);

// What a posting worker takes from the stored settings when it is created.
struct PostingSettings {
  bool useProxy = false;
  std::string proxyHost;  // empty unless useProxy; a proxy is used only when not empty
  int proxyPort = 0;      // 0 unless useProxy; blank, non-numeric or out-of-range text gives 0
  int timeOutMs = 0;      // 0: no time-out (an empty value); a refused value gives the default 20 s
  std::string caFile;     // edCAFile_Text, trimmed; empty: the system store alone
};
PostingSettings ReadPostingSettings(const std::string& settingsPath);

// What the wizard's page fetch takes: when useProxy is false the fetch goes
// direct (its proxy is emptied and its port left as it was); otherwise the
// host and the port text exactly as stored (port default "0", not trimmed).
struct FetchProxySettings {
  bool useProxy = false;
  std::string proxy;
  std::string proxyPort;
  std::string caFile;  // edCAFile_Text, as for the posting workers
};
FetchProxySettings ReadFetchProxySettings(const std::string& settingsPath);

// The configuration panel's values as the configuration save writes them.
struct ConfigurationValues {
  std::string siteUrl;    // edSiteURL's text
  std::string scriptDir;  // deScript's text
  std::string proxy;      // EdProxy's text
  std::string proxyPort;  // EdProxyPort's text as shown (blanks in unfilled places)
  std::string timeOut;    // edTimeOut's text; written with blanks trimmed
  bool useProxy = false;
  bool logFile = false;
  int threadCount = 3;
  // The extra CA file box; its key is written only when it holds a path or
  // the file has the key already, so files without one stay as they were.
  std::string caFile;
};
// The stored extra CA file, trimmed; empty when none.
std::string ReadCAFile(const std::string& settingsPath);
// Writes the eight keys in their order in one atomic rewrite; throws
// platform::ProfileWriteError "Unable to write to <path>" when refused, and
// then the file is as it was.
void SaveConfiguration(const std::string& settingsPath, const ConfigurationValues& values);

}  // namespace adw::engine
