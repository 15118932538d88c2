#include <gtest/gtest.h>

#include "engine/base/ad_store.h"
#include "platform/text1251.h"
#include "support/temp_dir.h"

namespace {

using adw::engine::AdCategory;
using adw::engine::DeriveAdCategory;
using adw::engine::LoadAds;
using adw::engine::MakeAdsRecordSet;
using adw::engine::RecordSet;
using adw::platform::IniDocument;
using adw::platform::W;

const char* const kExampleStore =
    "[Продам ноутбук]\r\n"
    "Имя$NAME=Иван\r\n"
    "Текст$TEXT=Почти новый\r\n"
    "default=Ноутбуки$comp\r\n"
    "reppath=C:\\Отчеты\r\n";

struct Ad {
  std::string name, variab, item, catalog, stat;
  bool operator==(const Ad&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Ad& a) {
  using adw::platform::Cp1251ToUtf8;
  return os << "{" << Cp1251ToUtf8(a.name) << ", " << Cp1251ToUtf8(a.variab) << ", " << Cp1251ToUtf8(a.item)
            << ", " << Cp1251ToUtf8(a.catalog) << ", " << a.stat << "}";
}

std::vector<Ad> Rows(const RecordSet& set) {
  std::vector<Ad> rows;
  for (std::size_t r = 0; r < set.RecordCount(); ++r) {
    rows.push_back({set.Value(r, "NAME"), set.Value(r, "VARIAB"), set.Value(r, "ITEM"),
                    set.Value(r, "CATALOG"), set.Value(r, "STAT")});
  }
  return rows;
}

TEST(AdStore, ExampleLoadsAsStored) {
  adw::test::TempDir dir;
  RecordSet ads = MakeAdsRecordSet();
  LoadAds(dir.Write("base.dat", W(kExampleStore)), ads);
  EXPECT_EQ(Rows(ads),
            (std::vector<Ad>{{W("Продам ноутбук"), "$comp", W("Ноутбуки"), W("C:\\Отчеты"), "0"}}));
  EXPECT_EQ(ads.Current(), 0u);
}

TEST(AdStore, CategoryValueGivesVariabAndItem) {
  struct Case {
    const char* value;
    const char* variab;
    const char* item;
  };
  const Case cases[] = {
      {"Ноутбуки$comp", "$comp", "Ноутбуки"},
      {"$comp", "$comp", ""},
      {"", "", ""},
      {"Без списка", "Без списка", ""},
      // Not (or no longer) in the list: the stored text stays, so a save
      // without a new choice writes the same category back.
      {"Планшеты$comp", "$comp", "Планшеты"},
      {"A$b$c", "$b$c", "A"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const AdCategory category = DeriveAdCategory(W(c.value));
    EXPECT_EQ(category.variab, W(c.variab));
    EXPECT_EQ(category.item, W(c.item));
    EXPECT_EQ(adw::engine::ComposeCategoryValue(category), W(c.value));
  }
}

TEST(AdStore, LoadsEverySectionInFileOrderUntickedWithAbsentKeysEmpty) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("base.dat",
                                     "[Second]\r\ndefault=$comp\r\n"
                                     "[First]\r\nreppath=  /r  \r\n"
                                     "[Third]\r\n");
  RecordSet ads = MakeAdsRecordSet();
  ads.SetValue(ads.Append(), "STAT", "1");
  LoadAds(path, ads);
  EXPECT_EQ(Rows(ads),
            (std::vector<Ad>{
                {"Second", "$comp", "", "", "0"}, {"First", "", "", "/r", "0"}, {"Third", "", "", "", "0"}}));
}

// The system's own section list stops at 16 KiB of names; the store is read
// whole however many ads it holds.
TEST(AdStore, LoadsStoresBeyondSixteenKibOfNames) {
  adw::test::TempDir dir;
  std::string text;
  const std::size_t count = 800;
  for (std::size_t i = 0; i < count; ++i) {
    text += "[Ad number " + std::to_string(i) + " with a fairly long subject]\r\ndefault=$comp\r\n";
  }
  RecordSet ads = MakeAdsRecordSet();
  LoadAds(dir.Write("base.dat", text), ads);
  ASSERT_EQ(ads.RecordCount(), count);
  EXPECT_EQ(ads.Value(count - 1, "NAME"), "Ad number 799 with a fairly long subject");
}

// A view over the set is told of the load once, not once per ad: a grid
// that moves its current row and lays itself out again for every loaded ad
// made the window's start-up several times slower.
TEST(AdStore, LoadTellsAViewOnceWithTheFirstAdCurrent) {
  struct Counter : RecordSet::Listener {
    int resets = 0, others = 0;
    void RecordSetReset() override { ++resets; }
    void RecordInserted(std::size_t) override { ++others; }
    void RecordRemoved(std::size_t) override { ++others; }
    void RecordChanged(std::size_t) override { ++others; }
    void CurrentChanged(std::size_t) override { ++others; }
  } view;
  adw::test::TempDir dir;
  RecordSet ads = MakeAdsRecordSet();
  ads.Append();
  ads.AddListener(&view);
  LoadAds(dir.Write("base.dat", "[A]\r\n[B]\r\n[C]\r\n"), ads);
  ads.RemoveListener(&view);
  EXPECT_EQ(view.resets, 1);
  EXPECT_EQ(view.others, 0);
  ASSERT_EQ(ads.RecordCount(), 3u);
  EXPECT_EQ(ads.Current(), 0u);
}

TEST(AdStore, MissingStoreGivesNoAds) {
  adw::test::TempDir dir;
  RecordSet ads = MakeAdsRecordSet();
  ads.Append();
  LoadAds(dir.File("base.dat"), ads);
  EXPECT_TRUE(ads.IsEmpty());
}

TEST(AdStore, WriteAdPutsFieldsThenCategoryThenReportDirAtTheEnd) {
  IniDocument store = IniDocument::Parse("[Other]\r\nx=1\r\n");
  adw::engine::WriteAd(store, {"New", {{"B$B", "b"}, {"A$A", "line\r\nbreak"}}, "$comp", "/r"});
  EXPECT_EQ(store.Serialize(),
            "[Other]\r\nx=1\r\n[New]\r\nB$B=b\r\nA$A=line  break\r\ndefault=$comp\r\nreppath=/r\r\n");
}

class CountingListener : public RecordSet::Listener {
 public:
  void RecordSetReset() override { log += "reset;"; }
  void RecordInserted(std::size_t row) override { log += "ins" + std::to_string(row) + ";"; }
  void RecordRemoved(std::size_t row) override { log += "rem" + std::to_string(row) + ";"; }
  void RecordChanged(std::size_t row) override { log += "chg" + std::to_string(row) + ";"; }
  void CurrentChanged(std::size_t row) override { log += "cur" + std::to_string(row) + ";"; }
  std::string log;
};

TEST(RecordSet, TextIsCutToItsFieldSizeAndIntegersAreKept) {
  RecordSet ads = MakeAdsRecordSet();
  const std::size_t row = ads.Append();
  ads.SetValue(row, "NAME", std::string(80, 'n'));
  ads.SetValue(row, "CATALOG", std::string(120, 'c'));
  ads.SetValue(row, "STAT", "1");
  EXPECT_EQ(ads.Value(row, "NAME"), std::string(adw::engine::kNameSize, 'n'));
  EXPECT_EQ(ads.Value(row, "CATALOG"), std::string(adw::engine::kCatalogSize, 'c'));
  EXPECT_EQ(ads.Value(row, "STAT"), "1");
  EXPECT_EQ(ads.Value(row, "ID"), "");
  EXPECT_THROW(ads.Value(row, "NOPE"), std::out_of_range);
  EXPECT_THROW(ads.Value(row + 1, "NAME"), std::out_of_range);

  RecordSet fields = adw::engine::MakeFieldsRecordSet();
  fields.SetValue(fields.Append(), "DATA", std::string(600, 'd'));
  EXPECT_EQ(fields.Value(0, "DATA").size(), adw::engine::kFieldDataSize);
}

TEST(RecordSet, CurrentRecordFollowsAppendRemoveAndClear) {
  RecordSet set = MakeAdsRecordSet();
  set.First();  // empty: nothing to move to
  EXPECT_EQ(set.Current(), RecordSet::npos);
  EXPECT_EQ(set.CurrentValue("NAME"), "");
  set.SetCurrentValue("NAME", "ignored");

  CountingListener listener;
  set.AddListener(&listener);
  for (const char* name : {"a", "b", "c"}) set.SetValue(set.Append(), "NAME", name);
  set.SetCurrent(1);
  set.Remove(1);  // the current record goes: its row now holds "c"
  EXPECT_EQ(set.CurrentValue("NAME"), "c");
  set.Remove(1);  // the last one goes: the current moves up
  EXPECT_EQ(set.CurrentValue("NAME"), "a");
  EXPECT_EQ(listener.log, "ins0;cur0;chg0;ins1;cur1;chg1;ins2;cur2;chg2;cur1;rem1;cur1;rem1;cur0;");

  listener.log.clear();
  RecordSet copy = set;  // a copy is not watched by the original's views
  copy.SetValue(0, "NAME", "z");
  EXPECT_EQ(listener.log, "");
  set.Clear();
  EXPECT_EQ(listener.log, "reset;");
  EXPECT_EQ(set.Current(), RecordSet::npos);
  EXPECT_THROW(copy.SetCurrent(5), std::out_of_range);
}

}  // namespace
