#include <gtest/gtest.h>

#include "engine/shell/settings_file.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

TEST(SettingsFile, NameAndStoredScriptDirectory) {
  EXPECT_EQ(SettingsFileName("/opt/adwelder/adwelder"), "/opt/adwelder/adwelder.ini");
  EXPECT_EQ(SettingsFileName("/opt/adwelder/adwelder.exe"), "/opt/adwelder/adwelder.ini");
  EXPECT_EQ(SettingsFileName("/opt/v1.1/adwelder"), "/opt/v1.1/adwelder.ini");

  adw::test::TempDir dir;
  const std::string ini = dir.File("adwelder.ini");
  EXPECT_EQ(StoredScriptDir(ini), "/");
  dir.Write("adwelder.ini", "[Save]\r\ndeScript_Text=/home/u/scripts\r\n");
  EXPECT_EQ(StoredScriptDir(ini), "/home/u/scripts/");
}

struct BoolCase {
  const char* stored;  // nullptr: key absent
  bool expected;
};

class SettingsBoolRead : public ::testing::TestWithParam<BoolCase> {};

TEST_P(SettingsBoolRead, FollowsTheDirectRule) {
  adw::test::TempDir dir;
  std::string text = "[Save]\r\n";
  if (GetParam().stored) text += std::string("cbUseProxy_Checked=") + GetParam().stored + "\r\n";
  const std::string ini = dir.Write("a.ini", text);
  EXPECT_EQ(ReadSettingsBool(ini, "cbUseProxy_Checked"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsBoolRead,
                         ::testing::Values(BoolCase{"1", true}, BoolCase{"0", false}, BoolCase{"True", true},
                                           BoolCase{"true", true}, BoolCase{"TRUE", true},
                                           BoolCase{"False", false}, BoolCase{"yes", false},
                                           BoolCase{"", false}, BoolCase{nullptr, false},
                                           BoolCase{"-1", true}, BoolCase{"00", false}, BoolCase{"2", true},
                                           BoolCase{"1x", false}, BoolCase{"99999999999999999999", true}));

TEST(SettingsFile, PostingAndFetchReadersTakeTheStoredForms) {
  adw::test::TempDir dir;
  const std::string ini = dir.File("adwelder.ini");
  // No file: no proxy, no time-out.
  PostingSettings none = ReadPostingSettings(ini);
  EXPECT_FALSE(none.useProxy);
  EXPECT_EQ(none.timeOutMs, 0);

  // The configuration save's forms: "1" and an untrimmed five-place port.
  dir.Write("adwelder.ini",
            "[Save]\r\ncbUseProxy_Checked=1\r\nEdProxy_Text=127.0.0.1\r\nEdProxyPort_Text=8888 \r\n"
            "edTimeOut_Text=20\r\n");
  PostingSettings posting = ReadPostingSettings(ini);
  EXPECT_TRUE(posting.useProxy);
  EXPECT_EQ(posting.proxyHost, "127.0.0.1");
  EXPECT_EQ(posting.proxyPort, 8888);
  EXPECT_EQ(posting.timeOutMs, 20000);
  FetchProxySettings fetch = ReadFetchProxySettings(ini);
  EXPECT_TRUE(fetch.useProxy);
  EXPECT_EQ(fetch.proxy, "127.0.0.1");
  EXPECT_EQ(fetch.proxyPort, "8888");  // the INI layer drops the blanks around values

  // The storage's forms after a close: "True", and odd values.
  dir.Write("adwelder.ini",
            "[Save]\r\ncbUseProxy_Checked=True\r\nEdProxy_Text=proxy\r\nEdProxyPort_Text=\"    \"\r\n"
            "edTimeOut_Text=\"   \"\r\n");
  posting = ReadPostingSettings(ini);
  EXPECT_TRUE(posting.useProxy);
  EXPECT_EQ(posting.proxyPort, 0);                           // blank port becomes 0
  EXPECT_EQ(posting.timeOutMs, 0);                           // empty time-out: none
  EXPECT_EQ(ReadFetchProxySettings(ini).proxyPort, "    ");  // the fetch takes it as stored

  dir.Write("adwelder.ini",
            "[Save]\r\ncbUseProxy_Checked=1\r\nEdProxy_Text=p\r\nEdProxyPort_Text=99999\r\n"
            "edTimeOut_Text=abc\r\n");
  posting = ReadPostingSettings(ini);
  EXPECT_EQ(posting.proxyPort, 0);      // out of range, not cut to another port
  EXPECT_EQ(posting.timeOutMs, 20000);  // a refused time-out: the default, not none

  dir.Write("adwelder.ini",
            "[Save]\r\ncbUseProxy_Checked=False\r\nEdProxy_Text=p\r\nEdProxyPort_Text=81\r\n");
  posting = ReadPostingSettings(ini);
  EXPECT_FALSE(posting.useProxy);
  EXPECT_EQ(posting.proxyHost, "");
  EXPECT_EQ(posting.proxyPort, 0);
  EXPECT_EQ(ReadFetchProxySettings(ini).proxy, "");
}

TEST(SettingsFile, ConfigurationSaveWritesEightKeysInOrder) {
  adw::test::TempDir dir;
  const std::string ini = dir.Write("adwelder.ini",
                                    "[Save]\r\nFlags=0\r\ncbUseProxy_Checked=True\r\nedTimeOut_Text=20\r\n"
                                    "[Other]\r\nx=1\r\n");
  ConfigurationValues v;
  v.siteUrl = "http://127.0.0.1/";
  v.scriptDir = "/data/scripts";
  v.proxy = "127.0.0.1";
  v.proxyPort = "8080 ";
  v.timeOut = " 30 ";
  v.useProxy = true;
  v.logFile = false;
  v.threadCount = 7;
  SaveConfiguration(ini, v);
  EXPECT_EQ(dir.Read("adwelder.ini"),
            "[Save]\r\nFlags=0\r\ncbUseProxy_Checked=1\r\nEdTimeOut_Text=30\r\n"
            "edSiteURL_Text=http://127.0.0.1/\r\ndeScript_Text=/data/scripts\r\nEdProxy_Text=127.0.0.1\r\n"
            "EdProxyPort_Text=8080 \r\ncbLogFile_Checked=0\r\nRxSEdPost_Value=7\r\n"
            "[Other]\r\nx=1\r\n");
  EXPECT_EQ(StoredScriptDir(ini), "/data/scripts/");
  EXPECT_EQ(ReadPostingSettings(ini).timeOutMs, 30000);

  try {
    SaveConfiguration(dir.File("missing/adwelder.ini"), v);
    FAIL() << "no error";
  } catch (const platform::ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("missing/adwelder.ini"));
  }
}

// The extra CA file is written only where it was given or stood before,
// and both HTTP clients' readers take it.
TEST(SettingsFile, ExtraCaFileIsSavedOnlyWhenSetAndReadByBothReaders) {
  adw::test::TempDir dir;
  const std::string ini = dir.Write("adwelder.ini", "[Save]\r\nedTimeOut_Text=20\r\n");
  ConfigurationValues v;
  v.timeOut = "20";
  SaveConfiguration(ini, v);
  EXPECT_EQ(dir.Read("adwelder.ini").find("edCAFile_Text"), std::string::npos);

  v.caFile = " /etc/adwelder/ca.pem ";
  SaveConfiguration(ini, v);
  EXPECT_NE(dir.Read("adwelder.ini").find("edCAFile_Text=/etc/adwelder/ca.pem\r\n"), std::string::npos);
  EXPECT_EQ(ReadCAFile(ini), "/etc/adwelder/ca.pem");
  EXPECT_EQ(ReadPostingSettings(ini).caFile, "/etc/adwelder/ca.pem");
  EXPECT_EQ(ReadFetchProxySettings(ini).caFile, "/etc/adwelder/ca.pem");

  // Emptying the box clears the stored path.
  v.caFile.clear();
  SaveConfiguration(ini, v);
  EXPECT_NE(dir.Read("adwelder.ini").find("edCAFile_Text=\r\n"), std::string::npos);
  EXPECT_EQ(ReadPostingSettings(ini).caFile, "");
}

}  // namespace
}  // namespace adw::engine
