#pragma once
// The category chooser's two-level tree, built from the category lists of
// the variables map: each list (top level, text = its caption) with its
// categories under it. The window shows the tree and hands the node the
// user confirmed back as a ChosenCategory.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace adw::engine {

// What every node carries: the list's name as the map writes it ("$"
// included, e.g. "$comp") and the node's own text (the list's caption for
// a top-level node, the category for a child).
struct TDateRec {
  std::string listName;
  std::string text;
};

struct CategoryNode {
  TDateRec record;
  std::vector<CategoryNode> children;  // empty for a child node
};

using CategoryTree = std::vector<CategoryNode>;

// Lists without any category (and every simple variable) are left out, so
// every top-level node has at least one child. A missing map gives an empty
// tree.
CategoryTree BuildCategoryTree(const platform::IniDocument& map);
CategoryTree BuildCategoryTree(const std::string& mapPath);

// A node the user confirmed with "Выбрать".
struct ChosenCategory {
  TDateRec record;
  bool wholeList = false;   // a top-level node
  std::string listCaption;  // the list's caption (the parent's text, or the node's own)
};

inline constexpr std::size_t kWholeListNode = static_cast<std::size_t>(-1);

// The node at tree[list] (item == kWholeListNode) or tree[list].children[item];
// nullopt when there is no such node (an empty tree has nothing selected).
std::optional<ChosenCategory> PickCategory(const CategoryTree& tree, std::size_t list,
                                           std::size_t item = kWholeListNode);

// The ad's category value: "Ноутбуки$comp" for a category, "$comp" for a
// whole list.
std::string CategoryValue(const ChosenCategory& choice);

// The category box text: "Ноутбуки (Компьютеры)" for a category,
// "Компьютеры" for a whole list.
std::string CategoryBoxText(const ChosenCategory& choice);

}  // namespace adw::engine
