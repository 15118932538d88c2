#include <gtest/gtest.h>

#include "engine/base/variables_map.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/example_base.h"
#include "support/temp_dir.h"

namespace {

using adw::engine::LoadVariables;
using adw::engine::MakeVariablesRecordSet;
using adw::engine::MapEntry;
using adw::engine::ReadNumberedList;
using adw::engine::RecordSet;
using adw::engine::SaveVariables;
using adw::engine::SplitMapEntry;
using adw::engine::VariablesMap;
using adw::platform::IniDocument;
using adw::platform::W;

using adw::test::kExampleMap;

struct Variable {
  std::string id, name, desc, data;
  bool operator==(const Variable&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Variable& v) {
  return os << "{" << v.id << ", " << adw::platform::Cp1251ToUtf8(v.name) << ", "
            << adw::platform::Cp1251ToUtf8(v.desc) << ", " << adw::platform::Cp1251ToUtf8(v.data) << "}";
}

std::vector<Variable> Rows(const RecordSet& set) {
  std::vector<Variable> rows;
  for (std::size_t r = 0; r < set.RecordCount(); ++r) {
    rows.push_back({set.Value(r, "ID"), set.Value(r, "NAME"), set.Value(r, "DESC"), set.Value(r, "DATA")});
  }
  return rows;
}

TEST(VariablesMap, SplitMapEntryFollowsTheDollarSigns) {
  struct Case {
    const char* entry;
    const char* description;
    const char* name;
    const char* value;
    bool hasValue;
  };
  const Case cases[] = {
      {"Компьютеры$comp", "Компьютеры", "$comp", "", false},
      {"Имя$NAME$Иван", "Имя", "$NAME", "Иван", true},
      {"Текст$TEXT$", "Текст", "$TEXT", "", true},
      {"Цена$PRICE$10$ за штуку", "Цена", "$PRICE", "10$ за штуку", true},
      {"$X$v", "", "$X", "v", true},
      {"Без имени", "Без имени", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const MapEntry e = SplitMapEntry(W(c.entry));
    EXPECT_EQ(e.description, W(c.description));
    EXPECT_EQ(e.name, W(c.name));
    EXPECT_EQ(e.value, W(c.value));
    EXPECT_EQ(e.hasValue, c.hasValue);
  }
}

TEST(VariablesMap, NumberedListStopsAtFirstEmptyOrAbsentNumber) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"[L]\nitem1=a\nitem2=b\nitem4=d\n", {"a", "b"}},
      {"[L]\nitem1=a\nitem2=\nitem3=c\n", {"a"}},
      {"[L]\nitem1=a\nitem2=   \nitem3=c\n", {"a"}},
      {"[L]\nitem2=b\n", {}},
      {"[Other]\nitem1=a\n", {}},
      {"[l]\nITEM1=a\nItem2=b\n", {"a", "b"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ReadNumberedList(IniDocument::Parse(c.text), "L"), c.items);
  }
}

TEST(VariablesMap, ExampleLoadsItsSimpleVariablesAndWritesBackUnchanged) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("base.map", W(kExampleMap));
  RecordSet vars = MakeVariablesRecordSet();
  LoadVariables(path, vars);
  EXPECT_EQ(Rows(vars),
            (std::vector<Variable>{{"2", "$NAME", W("Имя"), W("Иван")}, {"3", "$TEXT", W("Текст"), ""}}));
  EXPECT_EQ(vars.Current(), 0u);

  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), W(kExampleMap));

  vars.SetValue(1, "DATA", W("Новый текст"));
  SaveVariables(path, vars);
  std::string expected = kExampleMap;
  expected.replace(expected.find("Текст$TEXT$"), std::string("Текст$TEXT$").size(), "Текст$TEXT$Новый текст");
  EXPECT_EQ(dir.Read("base.map"), W(expected));
}

TEST(VariablesMap, EntryWithoutValuePartIsWrittenBackWithTrailingDollar) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("base.map", W("[Variab]\r\nitem1=Город$CITY\r\n"));
  RecordSet vars = MakeVariablesRecordSet();
  LoadVariables(path, vars);
  EXPECT_EQ(Rows(vars), (std::vector<Variable>{{"1", "$CITY", W("Город"), ""}}));
  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), W("[Variab]\r\nitem1=Город$CITY$\r\n"));
}

TEST(VariablesMap, GapInNumberingHidesLaterEntriesFromLoadAndSave) {
  adw::test::TempDir dir;
  const std::string text = "[Variab]\r\nitem1=A$A$1\r\nitem2=B$B$2\r\nitem4=D$D$4\r\n";
  const std::string path = dir.Write("base.map", text);
  RecordSet vars = MakeVariablesRecordSet();
  LoadVariables(path, vars);
  ASSERT_EQ(vars.RecordCount(), 2u);
  vars.SetValue(1, "DATA", "two");
  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), "[Variab]\r\nitem1=A$A$1\r\nitem2=B$B$two\r\nitem4=D$D$4\r\n");
}

TEST(VariablesMap, GridAddedAndDeletedRecordsLeaveTheMapAlone) {
  adw::test::TempDir dir;
  const std::string text = "[Variab]\r\nitem1=A$A$1\r\nitem2=B$B$2\r\n";
  const std::string path = dir.Write("base.map", text);
  RecordSet vars = MakeVariablesRecordSet();
  LoadVariables(path, vars);
  vars.Remove(0);
  const std::size_t added = vars.Append();  // no ID: "item" would never be read
  vars.SetValue(added, "DESC", "New");
  vars.SetValue(added, "NAME", "$NEW");
  vars.SetValue(added, "DATA", "x");
  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), text);
}

TEST(VariablesMap, EntryLongerThanTheFieldsIsNotCutByLoadAndSave) {
  adw::test::TempDir dir;
  const std::string longValue(300, 'v');
  const std::string text = "[Variab]\r\nitem1=Long$LONG$" + longValue + "\r\nitem2=B$B$2\r\n";
  const std::string path = dir.Write("base.map", text);
  RecordSet vars = MakeVariablesRecordSet();
  LoadVariables(path, vars);
  EXPECT_EQ(vars.Value(0, "DATA"), std::string(adw::engine::kVariableDataSize, 'v'));
  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), text);

  vars.SetValue(0, "DATA", "short");  // a real edit is written
  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), "[Variab]\r\nitem1=Long$LONG$short\r\nitem2=B$B$2\r\n");
}

TEST(VariablesMap, LineBreakInValueCannotBreakTheMap) {
  adw::test::TempDir dir;
  const std::string path = dir.Write("base.map", "[Variab]\r\nitem1=A$A$1\r\n");
  RecordSet vars = MakeVariablesRecordSet();
  LoadVariables(path, vars);
  vars.SetValue(0, "DATA", "x\r\n[Variab]\r\nitem1=evil");
  SaveVariables(path, vars);
  EXPECT_EQ(dir.Read("base.map"), "[Variab]\r\nitem1=A$A$x  [Variab]  item1=evil\r\n");
}

TEST(VariablesMap, MissingMapReadsEmptyAndIsNotCreated) {
  adw::test::TempDir dir;
  RecordSet vars = MakeVariablesRecordSet();
  vars.Append();
  LoadVariables(dir.File("base.map"), vars);
  EXPECT_TRUE(vars.IsEmpty());
  EXPECT_EQ(vars.Current(), RecordSet::npos);
  SaveVariables(dir.File("base.map"), vars);
  EXPECT_FALSE(adw::platform::FileExists(dir.File("base.map")));
}

// The variables' numbers belong to the map they came from: after the stored
// script directory changed they must go back there, not into the new map.
TEST(VariablesMap, SavesOnlyIntoTheMapTheVariablesCameFrom) {
  adw::test::TempDir dir;
  const std::string oldMap = dir.Write("old/base.map", "[Variab]\r\nitem1=A$A$1\r\n");
  const std::string newText = "[Variab]\r\nitem1=Other$O$keep\r\n";
  dir.Write("new/base.map", newText);

  VariablesMap map;
  RecordSet vars = MakeVariablesRecordSet();
  map.Save(vars);  // nothing loaded yet: nothing to write anywhere
  map.Load(oldMap, vars);
  vars.SetValue(0, "DATA", "changed");
  map.Save(vars);
  EXPECT_EQ(map.MapPath(), oldMap);
  EXPECT_EQ(dir.Read("old/base.map"), "[Variab]\r\nitem1=A$A$changed\r\n");
  EXPECT_EQ(dir.Read("new/base.map"), newText);
}

TEST(VariablesMap, RefusedWriteRaisesUnableToWrite) {
  adw::test::TempDir dir;
  const std::string path = dir.File("base.map");
  dir.Write("base.map/placeholder", "");  // the map's path is a directory
  RecordSet vars = MakeVariablesRecordSet();
  const std::size_t row = vars.Append();
  vars.SetValue(row, "ID", "1");
  vars.SetValue(row, "NAME", "$A");
  try {
    SaveVariables(path, vars);
    FAIL() << "no error";
  } catch (const adw::platform::ProfileWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
}

}  // namespace
