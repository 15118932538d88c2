#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/config_location.h"

namespace {

using adw::platform::ConfigDirectory;
using adw::platform::ConfigPlace;

TEST(ConfigLocation, BesideAWritableProgramElseTheUsersFolder) {
  struct Case {
    const char* what;
    ConfigPlace place;
    const char* dir;
  };
  const std::vector<Case> cases = {
      {"unpacked into a folder of its own",
       {"/home/u/adwelder/", true, "/usr/bin/", "", "/home/u"},
       "/home/u/adwelder/"},
      {"folder not writable",
       {"/opt/adwelder/", false, "/usr/bin/", "", "/home/u"},
       "/home/u/.config/adwelder/"},
      {"installed, even when root may write there",
       {"/usr/bin/", true, "/usr/bin/", "", "/root"},
       "/root/.config/adwelder/"},
      {"install folder named without its separator",
       {"/usr/local/bin/", true, "/usr/local/bin", "", "/home/u"},
       "/home/u/.config/adwelder/"},
      {"XDG_CONFIG_HOME set",
       {"/usr/bin/", false, "/usr/bin/", "/home/u/cfg", "/home/u"},
       "/home/u/cfg/adwelder/"},
      {"XDG_CONFIG_HOME with a separator",
       {"/usr/bin/", false, "", "/home/u/cfg/", "/home/u"},
       "/home/u/cfg/adwelder/"},
      {"a relative XDG_CONFIG_HOME is ignored",
       {"/usr/bin/", false, "", "cfg", "/home/u"},
       "/home/u/.config/adwelder/"},
      {"no install folder known", {"/usr/bin/", true, "", "", "/home/u"}, "/usr/bin/"},
  };
  for (const Case& c : cases) EXPECT_EQ(ConfigDirectory(c.place), c.dir) << c.what;
}

TEST(ConfigLocation, TheTestProgramsFolderIsWritableSoSettingsStayBesideIt) {
  // The build folder is writable and not the install folder: the running
  // rule picks the program's own folder, as a program unpacked there does.
  EXPECT_EQ(adw::platform::ConfigFilePath("adwelder.ini"), std::string(ADWELD_BIN_DIR) + "/adwelder.ini");
}

}  // namespace
