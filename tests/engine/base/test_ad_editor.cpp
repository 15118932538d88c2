#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "engine/base/ad_editor.h"
#include "engine/base/ad_store.h"
#include "engine/base/unsaved_ad.h"
#include "engine/base/variables_map.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/example_base.h"
#include "support/file_size_cap.h"
#include "support/temp_dir.h"

namespace {

using namespace adw::engine;
using adw::platform::W;

const char* const kMap = adw::test::kExampleMap;

const char* const kLaptop =
    "[Продам ноутбук]\r\n"
    "Имя$NAME=Иван\r\n"
    "Текст$TEXT=Почти новый\r\n"
    "default=Ноутбуки$comp\r\n"
    "reppath=C:\\Отчеты\r\n";

const char* const kAnyComputer =
    "[Куплю компьютер]\r\n"
    "Имя$NAME=Петр\r\n"
    "default=$comp\r\n"
    "reppath=/reports\r\n";

// A script directory with the map and a store of two ads, loaded into the
// record sets as the main window holds them.
class AdEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mapPath = dir.Write("base.map", W(kMap));
    storePath = dir.Write("base.dat", W(std::string(kLaptop) + kAnyComputer));
    LoadVariables(mapPath, variables);
    LoadAds(storePath, ads);
  }

  std::string Store() const { return dir.Read("base.dat"); }

  AdForm Open(std::size_t row) {
    ads.SetCurrent(row);
    auto form = OpenAd(state, ads, fields, storePath, mapPath);
    EXPECT_TRUE(form.has_value());
    return form.value_or(AdForm{});
  }

  ChosenCategory Choice(std::size_t item) const {
    return PickCategory(BuildCategoryTree(mapPath), 0, item).value();
  }

  adw::test::TempDir dir;
  std::string mapPath, storePath;
  RecordSet variables = MakeVariablesRecordSet();
  RecordSet ads = MakeAdsRecordSet();
  RecordSet fields = MakeFieldsRecordSet();
  AdEditorState state;
};

TEST_F(AdEditorTest, NewCopiesTheVariablesWithOrWithoutTheirValues) {
  state.chosenCategory = Choice(0);  // from an earlier edit: forgotten
  for (bool useTemplate : {true, false}) {
    SCOPED_TRACE(useTemplate);
    const AdForm form = NewAd(state, variables, fields, useTemplate, "/opt/adwelder/");
    EXPECT_EQ(form.subject, "");
    EXPECT_EQ(form.category, "");
    EXPECT_EQ(form.reportDir, "/opt/adwelder/Reports");
    EXPECT_FALSE(state.EditingExisting);
    EXPECT_FALSE(state.chosenCategory.has_value());
    ASSERT_EQ(fields.RecordCount(), 2u);
    EXPECT_EQ(fields.Value(0, "ID"), "2");
    EXPECT_EQ(fields.Value(0, "NAME"), "$NAME");
    EXPECT_EQ(fields.Value(0, "DESC"), W("Имя"));
    EXPECT_EQ(fields.Value(0, "DATA"), useTemplate ? W("Иван") : "");
    EXPECT_EQ(fields.Value(1, "NAME"), "$TEXT");
  }
}

TEST_F(AdEditorTest, OpenShowsTheAdWithItsCategoryInBoxForm) {
  AdForm form = Open(0);
  EXPECT_EQ(form.subject, W("Продам ноутбук"));
  EXPECT_EQ(form.category, W("Ноутбуки (Компьютеры)"));
  EXPECT_EQ(form.reportDir, W("C:\\Отчеты"));
  EXPECT_TRUE(state.EditingExisting);
  EXPECT_EQ(state.OldName, W("Продам ноутбук"));
  ASSERT_EQ(fields.RecordCount(), 2u);
  EXPECT_EQ(fields.Value(0, "DESC") + fields.Value(0, "NAME") + "=" + fields.Value(0, "DATA"),
            W("Имя$NAME=Иван"));
  EXPECT_EQ(fields.Value(1, "DESC") + fields.Value(1, "NAME") + "=" + fields.Value(1, "DATA"),
            W("Текст$TEXT=Почти новый"));
  EXPECT_EQ(fields.Value(0, "ID"), "");

  form = Open(1);
  EXPECT_EQ(form.category, W("Компьютеры"));
  EXPECT_EQ(fields.Value(1, "DATA"), "");  // key absent in the ad's section
}

// The list's caption comes from the entry of exactly that list, not from the
// first entry that merely contains its name.
TEST_F(AdEditorTest, OpenFindsTheCaptionOfExactlyTheAdsList) {
  dir.Write("base.map", W("[Variab]\r\nitem1=Техника$computers\r\nitem2=Компьютеры$comp\r\n"
                          "[$computers]\r\nitem1=x\r\n[$comp]\r\nitem1=Ноутбуки\r\n"));
  EXPECT_EQ(Open(0).category, W("Ноутбуки (Компьютеры)"));
}

TEST_F(AdEditorTest, OpenWithoutAdsDoesNothing) {
  RecordSet none = MakeAdsRecordSet();
  fields.Append();
  EXPECT_FALSE(OpenAd(state, none, fields, storePath, mapPath).has_value());
  EXPECT_EQ(fields.RecordCount(), 1u);
}

TEST_F(AdEditorTest, SaveRewritesTheOpenedAdAtTheEndAndUpdatesItsRecordAtOnce) {
  AdForm form = Open(0);
  fields.SetValue(1, "DATA", W("Как новый"));
  form.reportDir = "  /new/reports  ";
  ASSERT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  EXPECT_EQ(Store(),
            W(std::string(kAnyComputer) + "[Продам ноутбук]\r\nИмя$NAME=Иван\r\nТекст$TEXT=Как новый\r\n"
                                          "default=Ноутбуки$comp\r\nreppath=/new/reports\r\n"));
  // The record keeps its place until the next load.
  EXPECT_EQ(ads.Value(0, "NAME"), W("Продам ноутбук"));
  EXPECT_EQ(ads.Value(0, "CATALOG"), "/new/reports");
  EXPECT_EQ(ads.Value(0, "ITEM"), W("Ноутбуки"));
  EXPECT_EQ(ads.RecordCount(), 2u);
}

TEST_F(AdEditorTest, SaveUnderANewSubjectReplacesTheOldSection) {
  AdForm form = Open(0);
  form.subject = W("Продам ноутбук срочно");
  ASSERT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  EXPECT_EQ(Store(), W(std::string(kAnyComputer) + "[Продам ноутбук срочно]" +
                       (std::string(kLaptop).substr(std::string("[Продам ноутбук]").size()))));
  EXPECT_EQ(ads.Value(0, "NAME"), W("Продам ноутбук срочно"));
}

// A choice confirmed for one ad must not leak into the next edit.
TEST_F(AdEditorTest, SaveKeepsTheCategoryWhenTheChooserWasNotConfirmedInThisEdit) {
  AdForm form = Open(1);
  form.category = ConfirmCategory(state, Choice(1));
  EXPECT_EQ(form.category, W("Мониторы (Компьютеры)"));
  ASSERT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  EXPECT_EQ(ads.Value(1, "ITEM"), W("Мониторы"));

  Open(1);
  ConfirmCategory(state, Choice(kWholeListNode));  // confirmed, but that edit is never saved
  ASSERT_EQ(SaveAd(state, Open(0), ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  adw::platform::IniFile store(storePath);
  EXPECT_EQ(store.ReadString(W("Продам ноутбук"), "default"), W("Ноутбуки$comp"));
  EXPECT_EQ(store.ReadString(W("Куплю компьютер"), "default"), W("Мониторы$comp"));
  EXPECT_EQ(ads.Value(0, "ITEM"), W("Ноутбуки"));
}

TEST_F(AdEditorTest, SaveOfANewAdAppendsItToListAndStore) {
  AdForm form = NewAd(state, variables, fields, true, "/opt/");
  form.subject = W("Отдам даром");
  form.category = ConfirmCategory(state, Choice(kWholeListNode));
  fields.Append();  // a row added below the last field: nothing is written for it
  ASSERT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  EXPECT_EQ(Store(),
            W(std::string(kLaptop) + kAnyComputer +
              "[Отдам даром]\r\nИмя$NAME=Иван\r\nТекст$TEXT=\r\ndefault=$comp\r\nreppath=/opt/Reports\r\n"));
  ASSERT_EQ(ads.RecordCount(), 3u);
  EXPECT_EQ(ads.Current(), 2u);
  EXPECT_EQ(ads.Value(2, "NAME"), W("Отдам даром"));
  EXPECT_EQ(ads.Value(2, "VARIAB"), "$comp");
  EXPECT_EQ(ads.Value(2, "ITEM"), "");
  EXPECT_EQ(ads.Value(2, "CATALOG"), "/opt/Reports");
  EXPECT_EQ(ads.Value(2, "STAT"), "0");
}

TEST_F(AdEditorTest, SaveWithoutSubjectOrCategoryIsRefusedWithTheReason) {
  const std::string before = Store();
  struct Case {
    const char* subject;
    const char* category;
    std::string hint;
  };
  for (const Case& c : {Case{"", "Компьютеры", MissingSubjectHint()}, Case{" \t ", "", MissingSubjectHint()},
                        Case{"Тема", "  ", MissingCategoryHint()}}) {
    SCOPED_TRACE(c.subject);
    AdForm form = NewAd(state, variables, fields, true, "/opt/");
    form.subject = W(c.subject);
    form.category = W(c.category);
    const SaveAdResult result = SaveAd(state, form, ads, fields, storePath);
    EXPECT_EQ(result.outcome, SaveAdOutcome::Refused);
    EXPECT_EQ(result.hint, c.hint);
  }
  EXPECT_EQ(Store(), before);
  EXPECT_EQ(ads.RecordCount(), 2u);
}

TEST_F(AdEditorTest, UnsavedChangesAreWhatTheUserTypedOrChose) {
  AdForm form = NewAd(state, variables, fields, false, "/opt/");
  const AdEditSnapshot snapshot = TakeAdEditSnapshot(form, fields);
  EXPECT_FALSE(HasUnsavedChanges(snapshot, form, fields));

  AdForm padded = form;
  padded.reportDir += "  ";
  EXPECT_FALSE(HasUnsavedChanges(snapshot, padded, fields)) << "blanks that Save trims are no change";

  struct Case {
    const char* what;
    std::string AdForm::*box;
  };
  for (const Case& c : {Case{"subject", &AdForm::subject}, Case{"category", &AdForm::category},
                        Case{"report directory", &AdForm::reportDir}}) {
    SCOPED_TRACE(c.what);
    AdForm changed = form;
    changed.*c.box += "x";
    EXPECT_TRUE(HasUnsavedChanges(snapshot, changed, fields));
  }

  fields.SetValue(0, "DATA", W("Иван"));
  EXPECT_TRUE(HasUnsavedChanges(snapshot, form, fields));
  fields.SetValue(0, "DATA", snapshot.values[0]);
  EXPECT_FALSE(HasUnsavedChanges(snapshot, form, fields));
  fields.Append();
  EXPECT_TRUE(HasUnsavedChanges(snapshot, form, fields)) << "a row added below the last field";
}

TEST_F(AdEditorTest, SaveRefusesSubjectsThatWouldClashOrBreakTheStore) {
  const std::string before = Store();
  struct Case {
    const char* subject;
    bool duplicate;
  };
  const Case cases[] = {
      {"Куплю компьютер", true},
      {"  Куплю компьютер ", true},
      {"Тема]со скобкой", false},
      {"Тема\r\n[Чужая]", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.subject);
    AdForm form = Open(0);
    form.subject = W(c.subject);
    const SaveAdResult result = SaveAd(state, form, ads, fields, storePath);
    EXPECT_EQ(result.outcome, SaveAdOutcome::Refused);
    EXPECT_EQ(result.hint, c.duplicate ? DuplicateSubjectHint() : BadSubjectHint());
    EXPECT_TRUE(state.EditingExisting);  // the edit is kept for the user to correct
    EXPECT_EQ(Store(), before);
  }
}

TEST_F(AdEditorTest, SubjectsCompareWithoutLatinCaseAndBlanks) {
  dir.Write("base.dat", "[Sale PC]\r\ndefault=$comp\r\n[Buy PC]\r\ndefault=$comp\r\n");
  LoadAds(storePath, ads);
  AdForm form = Open(0);
  form.subject = "  buy pc ";
  EXPECT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Refused);
  form.subject = "  SALE pc ";  // its own subject in another case
  EXPECT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  EXPECT_EQ(Store(), W("[Buy PC]\r\ndefault=$comp\r\n"
                       "[SALE pc]\r\nИмя$NAME=\r\nТекст$TEXT=\r\ndefault=$comp\r\nreppath=\r\n"));
  EXPECT_EQ(ads.Value(0, "NAME"), "SALE pc");
}

TEST_F(AdEditorTest, SaveKeepsStoredValuesLongerThanTheGridHoldsUnlessEdited) {
  const std::string longText(700, 't');
  dir.Write("base.dat", "[Long]\r\n" + W("Текст$TEXT=") + longText + "\r\ndefault=$comp\r\n");
  LoadAds(storePath, ads);
  AdForm form = Open(0);
  ASSERT_EQ(fields.Value(1, "DATA").size(), kFieldDataSize);
  ASSERT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  adw::platform::IniFile store(storePath);
  EXPECT_EQ(store.ReadString("Long", W("Текст$TEXT")), longText);

  form = Open(0);
  fields.SetValue(1, "DATA", "short");
  ASSERT_EQ(SaveAd(state, form, ads, fields, storePath).outcome, SaveAdOutcome::Saved);
  EXPECT_EQ(store.ReadString("Long", W("Текст$TEXT")), "short");
}

using adw::test::FileSizeCap;

TEST_F(AdEditorTest, RefusedWriteLeavesStoreAndRecordsAsTheyWere) {
  const std::string before = Store();
  AdForm form = NewAd(state, variables, fields, true, "/opt/");
  form.subject = "New";
  form.category = ConfirmCategory(state, Choice(0));
  {
    FileSizeCap cap(before.size());
    EXPECT_THROW(SaveAd(state, form, ads, fields, storePath), adw::platform::ProfileWriteError);
  }
  EXPECT_EQ(Store(), before);
  EXPECT_EQ(ads.RecordCount(), 2u);
}

TEST_F(AdEditorTest, DeleteErasesTheCurrentAdAndDoesNothingWithoutAds) {
  ads.SetCurrent(0);
  EXPECT_TRUE(DeleteAd(ads, storePath));
  EXPECT_EQ(Store(), W(kAnyComputer));
  ASSERT_EQ(ads.RecordCount(), 1u);
  EXPECT_EQ(ads.CurrentValue("NAME"), W("Куплю компьютер"));
  EXPECT_TRUE(DeleteAd(ads, storePath));
  EXPECT_EQ(Store(), "");
  EXPECT_FALSE(DeleteAd(ads, storePath));
  EXPECT_TRUE(ads.IsEmpty());
}

TEST_F(AdEditorTest, TickTogglesTheCurrentAdOnlyAndNothingOnAnEmptyList) {
  ads.SetCurrent(1);
  ToggleCurrentTick(ads);
  EXPECT_EQ(ads.Value(1, "STAT"), "1");
  EXPECT_EQ(ads.Value(0, "STAT"), "0");
  ToggleCurrentTick(ads);
  EXPECT_EQ(ads.Value(1, "STAT"), "0");

  RecordSet none = MakeAdsRecordSet();
  ToggleCurrentTick(none);
  EXPECT_TRUE(none.IsEmpty());
}

}  // namespace
