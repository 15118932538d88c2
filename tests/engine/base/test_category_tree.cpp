#include <gtest/gtest.h>

#include "engine/base/category_tree.h"
#include "platform/text1251.h"
#include "support/example_base.h"
#include "support/temp_dir.h"

namespace {

using adw::engine::BuildCategoryTree;
using adw::engine::CategoryNode;
using adw::engine::CategoryTree;
using adw::engine::kWholeListNode;
using adw::engine::PickCategory;
using adw::platform::IniDocument;
using adw::platform::W;

// The tree as "list caption: category, category | ..." with each node's
// list name checked on the way.
std::string Describe(const CategoryTree& tree) {
  std::string out;
  for (const CategoryNode& list : tree) {
    if (!out.empty()) out += " | ";
    out += adw::platform::Cp1251ToUtf8(list.record.text) + " " + list.record.listName + ":";
    for (const CategoryNode& item : list.children) {
      out += " " + adw::platform::Cp1251ToUtf8(item.record.text);
      if (item.record.listName != list.record.listName) out += "(wrong list " + item.record.listName + ")";
      if (!item.children.empty()) out += "(has children)";
    }
  }
  return out;
}

using adw::test::kExampleMap;

TEST(CategoryTree, ExampleMapGivesOneListWithItsCategories) {
  adw::test::TempDir dir;
  EXPECT_EQ(Describe(BuildCategoryTree(dir.Write("base.map", W(kExampleMap)))),
            "Компьютеры $comp: Ноутбуки Мониторы");
}

TEST(CategoryTree, OnlyListsWithCategoriesShow) {
  const char* const map =
      "[Variab]\r\n"
      "item1=Пустой$empty\r\n"     // section without item1
      "item2=Без первого$gap\r\n"  // item1 empty
      "item3=Имя$NAME$Иван\r\n"    // simple variable, even with a section $NAME
      "item4=Без знака\r\n"        // no "$" at all
      "item5=Авто$car\r\n"
      "item6=Нет раздела$none\r\n"
      "[$empty]\r\n"
      "item2=x\r\n"
      "[$gap]\r\n"
      "item1=\r\n"
      "item2=y\r\n"
      "[$NAME]\r\n"
      "item1=z\r\n"
      "[$CAR]\r\n"  // section names compare without regard to case
      "item1=Легковые\r\n"
      "item2=Грузовые\r\n"
      "item4=after a gap\r\n";
  EXPECT_EQ(Describe(BuildCategoryTree(IniDocument::Parse(W(map)))), "Авто $car: Легковые Грузовые");
}

TEST(CategoryTree, MissingMapGivesEmptyTreeWithNothingToPick) {
  adw::test::TempDir dir;
  const CategoryTree tree = BuildCategoryTree(dir.File("base.map"));
  EXPECT_TRUE(tree.empty());
  EXPECT_FALSE(PickCategory(tree, 0).has_value());
}

TEST(CategoryTree, PickedNodeGivesCategoryValueAndBoxText) {
  const CategoryTree tree = BuildCategoryTree(IniDocument::Parse(W(kExampleMap)));
  struct Case {
    std::size_t list, item;
    const char* value;
    const char* box;
  };
  const Case cases[] = {
      {0, 0, "Ноутбуки$comp", "Ноутбуки (Компьютеры)"},
      {0, 1, "Мониторы$comp", "Мониторы (Компьютеры)"},
      {0, kWholeListNode, "$comp", "Компьютеры"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const auto choice = PickCategory(tree, c.list, c.item);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(CategoryValue(*choice), W(c.value));
    EXPECT_EQ(CategoryBoxText(*choice), W(c.box));
  }
  EXPECT_FALSE(PickCategory(tree, 0, 2).has_value());
  EXPECT_FALSE(PickCategory(tree, 1).has_value());
}

}  // namespace
