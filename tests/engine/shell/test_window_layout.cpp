// Reading the window's layout back: the stored normal rectangle, fitted to
// the screen it opens on, and the kept splitter and column sizes.
#include <gtest/gtest.h>

#include "engine/shell/window_layout.h"
#include "platform/profile.h"
#include "support/temp_dir.h"

namespace adw::engine {
namespace {

bool Same(const LayoutRect& a, const LayoutRect& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST(WindowLayout, NormPosIsReadAsTheStorageWritesIt) {
  const auto r = ParseNormPos("100,50,900,610");
  ASSERT_TRUE(r);
  EXPECT_TRUE(Same(*r, {100, 50, 800, 560}));
  EXPECT_TRUE(ParseNormPos(" -20 , 0 , 600 , 450 "));
  for (const char* bad :
       {"", "1,2,3", "1,2,3,4,5", "a,b,c,d", "10,10,10,400", "0,0,600,-1", "0,0,99999999,1"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseNormPos(bad));
  }
}

TEST(WindowLayout, WindowOpensWholeOnTheScreen) {
  const LayoutRect screen{0, 0, 1920, 1040};
  const LayoutRect small{0, 0, 1024, 600};
  struct Case {
    const char* what;
    std::optional<LayoutRect> stored;
    LayoutRect screen;
    LayoutRect expected;
  };
  const Case cases[] = {
      {"first start: default size, centred", std::nullopt, screen, {560, 240, 800, 560}},
      {"first start on a small screen: as much as there is",
       std::nullopt,
       {0, 0, 700, 500},
       {0, 0, 700, 500}},
      {"stored rectangle on the screen is kept", LayoutRect{30, 40, 900, 700}, screen, {30, 40, 900, 700}},
      {"beyond the right edge: moved back", LayoutRect{1800, 100, 800, 560}, screen, {1120, 100, 800, 560}},
      {"above and left of the screen: moved on", LayoutRect{-500, -300, 800, 560}, screen, {0, 0, 800, 560}},
      {"larger than the screen: shrunk", LayoutRect{0, 0, 1900, 1000}, small, {0, 0, 1024, 600}},
      {"smaller than the minimum: grown", LayoutRect{10, 10, 100, 100}, screen, {10, 10, 578, 371}},
      {"second monitor gone", LayoutRect{2500, 200, 800, 560}, screen, {1120, 200, 800, 560}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const LayoutRect r = RestoredWindowRect(c.stored, c.screen, 578, 371);
    EXPECT_TRUE(Same(r, c.expected)) << r.left << "," << r.top << " " << r.width << "x" << r.height;
  }
}

TEST(WindowLayout, SizesRoundTripAndBadTextIsIgnored) {
  EXPECT_EQ(ParseSizes(FormatSizes({185, 412})), (std::vector<int>{185, 412}));
  EXPECT_EQ(ParseSizes("131"), std::vector<int>{131});
  for (const char* bad : {"", "185,", ",412", "185;412", "-5,10", "1e3", "200000"}) {
    SCOPED_TRACE(bad);
    EXPECT_TRUE(ParseSizes(bad).empty());
  }
  EXPECT_TRUE(StoredMaximised("3"));
  EXPECT_FALSE(StoredMaximised("1"));
}

TEST(WindowLayout, StoredLayoutIsReadFromTheSettingsFile) {
  adw::test::TempDir dir;
  const std::string ini = dir.Write("adwelder.ini",
                                    "[Save]\r\nShowCmd=3\r\nNormPos=10,20,810,580\r\nRxSEdPost_Value=12\r\n"
                                    "spTree_Sizes=300,500\r\nDBGridFields_Widths=oops\r\n");
  const StoredLayout layout =
      ReadStoredLayout(ini, {SizesKey("spTree"), WidthsKey("DBGridFields"), "absent"});
  ASSERT_TRUE(layout.normal);
  EXPECT_TRUE(Same(*layout.normal, {10, 20, 800, 560}));
  EXPECT_TRUE(layout.maximised);
  EXPECT_EQ(layout.threadCount, 12);
  ASSERT_EQ(layout.sizes.size(), 1u);
  EXPECT_EQ(layout.sizes[0].first, "spTree_Sizes");
  EXPECT_EQ(layout.sizes[0].second, (std::vector<int>{300, 500}));

  WriteLayoutSizes(ini, {{SizesKey("spTree"), {200, 600}}});
  EXPECT_EQ(platform::IniFile(ini).ReadString("Save", "spTree_Sizes"), "200,600");
  EXPECT_EQ(platform::IniFile(ini).ReadString("Save", "NormPos"), "10,20,810,580");
}

}  // namespace
}  // namespace adw::engine
