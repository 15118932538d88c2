#pragma once
// The field tree of the wizard's HTMLView page: the lists, radio groups and
// check boxes of the chosen form, read through the viewer's form model,
// each node bindable to an ad category. Bound nodes become the board's MAP
// lines.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/category_tree.h"

namespace adw::engine {

struct FieldRecord {
  std::string FieldName;
  std::string OptionValue;
  std::string OptionText;
  std::string Binding;  // caption and "$"-section of the category; empty: unbound
};

// The state marks of the image list ilState.
inline constexpr int kMarkUnbound = 1;
inline constexpr int kMarkBound = 2;

struct TFieldNode {
  static constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
  std::string caption;
  std::size_t record = 0;          // index into the tree's records
  std::size_t parent = kNoParent;  // a top-level node has none
  int stateIndex = kMarkUnbound;
};

class TFieldTree {
 public:
  // Clears the tree and fills it from the formNumber-th form tag of the
  // page text (1 = the first): all lists with their options, then all radio
  // groups with their buttons, then all check boxes, each named.
  void Build(std::string_view pageText, int formNumber);
  void Clear();

  // Nodes in tree order: each top-level node followed by its children, so a
  // node's parent always comes before it.
  const std::vector<TFieldNode>& Nodes() const { return m_nodes; }
  const FieldRecord& Record(std::size_t node) const { return m_records.at(m_nodes.at(node).record); }
  // A radio group's node and its first button's node share one record.
  std::size_t RecordCount() const { return m_records.size(); }

  // Binds the node's record to the category (caption and section name,
  // each trimmed) and ticks the node's mark.
  void Bind(std::size_t node, std::string_view caption, std::string_view section);
  void Bind(std::size_t node, const ChosenCategory& category);
  void Unbind(std::size_t node);
  // A click on the node's state mark: a ticked node is unbound; otherwise
  // chooseCategory asks the category chooser and, when it gives a choice,
  // the node is bound to it. True when the node changed.
  bool ClickStateMark(std::size_t node, const std::function<std::optional<ChosenCategory>()>& chooseCategory);

  // The status bar text when the node is about to be selected.
  std::string StatusText(std::size_t node) const;
  // One MAP line per node whose binding is not blank, in tree order.
  std::vector<std::string> BindingLines() const;

 private:
  std::size_t AddRecord(FieldRecord record);
  std::size_t AddNode(std::string caption, std::size_t record, std::size_t parent);

  std::vector<FieldRecord> m_records;
  std::vector<TFieldNode> m_nodes;
};

}  // namespace adw::engine
