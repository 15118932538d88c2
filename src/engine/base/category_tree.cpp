#include "engine/base/category_tree.h"

#include "engine/base/variables_map.h"

namespace adw::engine {

CategoryTree BuildCategoryTree(const platform::IniDocument& map) {
  CategoryTree tree;
  for (const std::string& entry : ReadNumberedList(map, kVariablesSection)) {
    // The list's name is the whole rest of the entry: a simple variable's
    // value part makes it name no section, so it never shows here.
    const std::size_t dollar = entry.find('$');
    if (dollar == std::string::npos) continue;
    const std::string caption = entry.substr(0, dollar);
    const std::string listName = entry.substr(dollar);
    CategoryNode list{{listName, caption}, {}};
    for (std::string& item : ReadNumberedList(map, listName)) {
      list.children.push_back({{listName, std::move(item)}, {}});
    }
    if (!list.children.empty()) tree.push_back(std::move(list));
  }
  return tree;
}

CategoryTree BuildCategoryTree(const std::string& mapPath) {
  return BuildCategoryTree(platform::IniFile(mapPath).Snapshot());
}

std::optional<ChosenCategory> PickCategory(const CategoryTree& tree, std::size_t list, std::size_t item) {
  if (list >= tree.size()) return std::nullopt;
  const CategoryNode& listNode = tree[list];
  if (item == kWholeListNode) return ChosenCategory{listNode.record, true, listNode.record.text};
  if (item >= listNode.children.size()) return std::nullopt;
  return ChosenCategory{listNode.children[item].record, false, listNode.record.text};
}

std::string CategoryValue(const ChosenCategory& choice) {
  return choice.wholeList ? choice.record.listName : choice.record.text + choice.record.listName;
}

std::string CategoryBoxText(const ChosenCategory& choice) {
  return choice.wholeList ? choice.record.text : choice.record.text + " (" + choice.listCaption + ")";
}

}  // namespace adw::engine
