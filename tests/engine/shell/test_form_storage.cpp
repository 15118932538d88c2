#include <gtest/gtest.h>

#include <map>

#include "engine/shell/form_storage.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

// A window made of named controls, each with one text or check property.
class FakeWindow : public IFormStorageAdapter {
 public:
  struct Control {
    std::string property;  // declared name
    PropertyKind kind;
    std::string text;
    bool checked = false;
    int clicks = 0;
  };

  FakeWindow() {
    for (const char* name :
         {"cbCateg", "deRepCat", "deScript", "EdProxy", "EdProxyPort", "edSiteURL", "edTimeOut", "medTime"}) {
      controls[name] = {"Text", PropertyKind::Text, "", false, 0};
    }
    for (const char* name :
         {"cbLogFile", "cbReports", "cbState", "cbTemplate", "cbTime", "cbUpDate", "cbUseProxy"}) {
      controls[name] = {"Checked", PropertyKind::Check, "", false, 0};
    }
    controls["edTimeOut"].text = "20 ";
    controls["medTime"].text = ":  :";
  }

  std::optional<std::string> FindComponent(std::string_view name) const override {
    for (const auto& [own, c] : controls) {
      if (platform::EqualsNoCase(own, name)) return own;
    }
    return std::nullopt;
  }
  std::optional<PropertyInfo> FindProperty(std::string_view component,
                                           std::string_view property) const override {
    const Control& c = controls.at(std::string(component));
    if (!platform::EqualsNoCase(c.property, property)) return std::nullopt;
    return PropertyInfo{c.property, c.kind};
  }
  std::string GetText(std::string_view component, std::string_view) const override {
    return controls.at(std::string(component)).text;
  }
  void SetText(std::string_view component, std::string_view, std::string_view text) override {
    controls.at(std::string(component)).text = text;
  }
  bool GetChecked(std::string_view component, std::string_view) const override {
    return controls.at(std::string(component)).checked;
  }
  void SetChecked(std::string_view component, std::string_view, bool checked) override {
    Control& c = controls.at(std::string(component));
    c.checked = checked;
    ++c.clicks;
  }
  WindowPlacement Placement() const override {
    WindowPlacement p;
    p.flags = 0;
    p.showCmd = 1;
    p.pixelsPerInch = 96;
    p.minX = p.minY = p.maxX = p.maxY = -1;
    p.left = 10, p.top = 20, p.right = 650, p.bottom = 500;
    p.visible = true;
    return p;
  }

  std::map<std::string, Control> controls;
};

TEST(FormStorage, FirstSaveCreatesSaveSectionWithPlacementAndAllFifteenKeys) {
  adw::test::TempDir dir;
  const std::string ini = dir.File("adwelder.ini");
  FakeWindow window;
  FormStorage storage(window, ini);
  ASSERT_EQ(storage.Entries().size(), 15u);
  storage.Restore();  // no file: nothing changes
  EXPECT_EQ(window.controls["edTimeOut"].text, "20 ");
  EXPECT_EQ(window.controls["cbTime"].clicks, 0);

  window.controls["deScript"].text = "  /data/scripts \t";
  window.controls["cbUseProxy"].checked = true;
  window.controls["EdProxyPort"].text = "8080 ";
  storage.Save();
  EXPECT_TRUE(storage.HasSaved());
  EXPECT_EQ(dir.Read("adwelder.ini"),
            "[Save]\r\n"
            "Flags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\nMinMaxPos=-1,-1,-1,-1\r\nNormPos=10,20,650,"
            "500\r\nVisible=1\r\n"
            "cbCateg_Text=\r\n"
            "cbLogFile_Checked=False\r\ncbReports_Checked=False\r\ncbState_Checked=False\r\n"
            "cbTemplate_Checked=False\r\ncbTime_Checked=False\r\ncbUpDate_Checked=False\r\n"
            "cbUseProxy_Checked=True\r\n"
            "deRepCat_Text=\r\ndeScript_Text=/data/scripts\r\nEdProxy_Text=\r\nEdProxyPort_Text=8080\r\n"
            "edSiteURL_Text=\r\nedTimeOut_Text=20\r\nmedTime_Text=:  :\r\n");
}

TEST(FormStorage, NeverSavesBeforeRestoring) {
  adw::test::TempDir dir;
  FakeWindow window;
  FormStorage storage(window, dir.File("adwelder.ini"));
  storage.Save();
  EXPECT_FALSE(storage.HasSaved());
  EXPECT_FALSE(platform::FileExists(dir.File("adwelder.ini")));
}

TEST(FormStorage, RestoreTrimsTextAndTakesOnlyTrueOrFalseForChecks) {
  adw::test::TempDir dir;
  const std::string ini = dir.Write("adwelder.ini",
                                    "[save]\r\n"
                                    "EDTIMEOUT_TEXT=\"  20  \"\r\n"
                                    "deScript_Text=  /home/u/s  \r\n"
                                    "cbLogFile_Checked=true\r\n"
                                    "cbReports_Checked=FALSE\r\n"
                                    "cbState_Checked=1\r\n"
                                    "cbTemplate_Checked=maybe\r\n"
                                    "cbTime_Checked=\r\n");
  FakeWindow window;
  window.controls["cbReports"].checked = true;
  window.controls["cbState"].checked = false;
  window.controls["cbTemplate"].checked = true;
  window.controls["cbTime"].checked = true;
  window.controls["EdProxy"].text = "design";
  FormStorage storage(window, ini);
  storage.Restore();
  EXPECT_EQ(window.controls["edTimeOut"].text, "20");  // the window's mask makes it "20 "
  EXPECT_EQ(window.controls["deScript"].text, "/home/u/s");
  EXPECT_TRUE(window.controls["cbLogFile"].checked);
  EXPECT_FALSE(window.controls["cbReports"].checked);
  EXPECT_EQ(window.controls["cbReports"].clicks, 1);
  EXPECT_FALSE(window.controls["cbState"].checked);  // "1" leaves it
  EXPECT_EQ(window.controls["cbState"].clicks, 0);
  EXPECT_TRUE(window.controls["cbTemplate"].checked);    // unknown leaves it
  EXPECT_TRUE(window.controls["cbTime"].checked);        // empty leaves it
  EXPECT_EQ(window.controls["EdProxy"].text, "design");  // absent key leaves it
  EXPECT_EQ(window.controls["cbUseProxy"].clicks, 0);
}

TEST(FormStorage, EntriesResolveByNameRules) {
  adw::test::TempDir dir;
  FakeWindow window;
  window.controls.erase("cbUpDate");
  FormStorage storage(window, dir.File("a.ini"),
                      {"cbUseProxy.Checked", " EdProxyPort . text ", "cbUpDate.Checked", "edsiteurl.TEXT",
                       "cbTime.Text", "medTime"});
  // The missing component is dropped at creation.
  EXPECT_EQ(storage.Entries(), (std::vector<std::string>{"cbUseProxy.Checked", " EdProxyPort . text ",
                                                         "edsiteurl.TEXT", "cbTime.Text", "medTime"}));
  EXPECT_EQ(storage.KeyOf("cbUseProxy.Checked"), "cbUseProxy_Checked");
  EXPECT_EQ(storage.KeyOf(" EdProxyPort . text "), "EdProxyPort_Text");
  EXPECT_EQ(storage.KeyOf("edsiteurl.TEXT"), "edSiteURL_Text");
  EXPECT_EQ(storage.KeyOf("cbTime.Text"), std::nullopt);  // no such property: skipped
  EXPECT_EQ(storage.KeyOf("medTime"), std::nullopt);
  storage.Restore();
  storage.Save();
  platform::IniFile file(dir.File("a.ini"));
  EXPECT_EQ(file.ReadSectionKeys("Save"),
            (std::vector<std::string>{"Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos", "NormPos", "Visible",
                                      "cbUseProxy_Checked", "EdProxyPort_Text", "edSiteURL_Text"}));
}

TEST(FormStorage, RefusedSaveRaisesAndConfigurationFormsAreReplacedInPlace) {
  adw::test::TempDir dir;
  FakeWindow window;
  FormStorage refused(window, dir.File("missing/adwelder.ini"));
  refused.Restore();
  try {
    refused.Save();
    FAIL() << "no error";
  } catch (const platform::ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("missing/adwelder.ini"));
  }

  // After a configuration save ("1", untrimmed port) a close rewrites the
  // same lines in the storage's forms.
  const std::string ini = dir.Write(
      "adwelder.ini", "[Save]\r\ncbUseProxy_Checked=1\r\nEdProxyPort_Text=8080 \r\nRxSEdPost_Value=5\r\n");
  FormStorage storage(window, ini);
  storage.Restore();
  EXPECT_FALSE(window.controls["cbUseProxy"].checked);  // "1" is not a storage form
  window.controls["cbUseProxy"].checked = true;
  storage.Save();
  const std::string text = dir.Read("adwelder.ini");
  EXPECT_EQ(
      text.rfind(
          "[Save]\r\ncbUseProxy_Checked=True\r\nEdProxyPort_Text=8080\r\nRxSEdPost_Value=5\r\nFlags=0\r\n",
          0),
      0u)
      << text;
}

}  // namespace
}  // namespace adw::engine
