#include "engine/wizard/field_tree.h"

#include <memory>

#include "engine/wizard/html/html_document.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

bool IsBlankOnly(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

// CR and LF become blanks and every run of blanks one blank, so a label
// written across lines reads as one line in the status bar.
std::string Flatten(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out.push_back(c);
  }
  return out;
}

// The formNumber-th form that a form tag starts (controls outside any form
// gather in forms of their own, which the user cannot count on the page).
const ThtmlForm* NthPageForm(const THtmlDocument& doc, int formNumber) {
  if (formNumber < 1) return nullptr;
  int seen = 0;
  for (const auto& form : doc.Forms()) {
    if (form->FromFormTag() && ++seen == formNumber) return form.get();
  }
  return nullptr;
}

}  // namespace

void TFieldTree::Clear() {
  m_nodes.clear();
  m_records.clear();
}

std::size_t TFieldTree::AddRecord(FieldRecord record) {
  m_records.push_back(std::move(record));
  return m_records.size() - 1;
}

std::size_t TFieldTree::AddNode(std::string caption, std::size_t record, std::size_t parent) {
  TFieldNode& node = m_nodes.emplace_back();
  node.caption = std::move(caption);
  node.record = record;
  node.parent = parent;
  return m_nodes.size() - 1;
}

void TFieldTree::Build(std::string_view pageText, int formNumber) {
  Clear();
  // The tree reads the form as the viewer's form model does, so the case,
  // quoting and order of attributes do not matter. A control without a
  // name submits nothing, so binding it could set nothing.
  const std::unique_ptr<THtmlDocument> doc = THtmlDocument::Parse(pageText);
  const ThtmlForm* form = NthPageForm(*doc, formNumber);
  if (!form) return;
  const auto& controls = form->Controls();

  for (const auto& control : controls) {
    if (control->Name().empty()) continue;
    if (control->Kind() != FormControlKind::Combo && control->Kind() != FormControlKind::ListBox) continue;
    const auto& list = static_cast<const TOptionListFormControlObj&>(*control);
    const std::string& name = list.Name();
    const std::size_t listNode =
        AddNode(name, AddRecord(FieldRecord{name, {}, {}, {}}), TFieldNode::kNoParent);
    for (const TOptionObj& option : list.Options()) {
      // The value the board receives for the entry, which is its text when
      // the page gives it no value.
      AddNode(Flatten(option.Text),
              AddRecord(FieldRecord{name, option.Submitted(), Flatten(option.Text), {}}), listNode);
    }
  }

  // Radio buttons: consecutive buttons of one name form a group, whose node
  // shares its record with the group's first button.
  std::string group;
  std::size_t groupNode = TFieldNode::kNoParent;
  for (const auto& control : controls) {
    if (control->Kind() != FormControlKind::Radio || control->Name().empty()) continue;
    FieldRecord record{control->Name(), control->Value(), Flatten(control->FollowingText()), {}};
    std::string caption = IsBlankOnly(record.OptionText) ? record.OptionValue : record.OptionText;
    const bool sameGroup = group == record.FieldName;
    const std::size_t index = AddRecord(std::move(record));
    if (!sameGroup) {
      group = m_records[index].FieldName;
      groupNode = AddNode(group, index, TFieldNode::kNoParent);
    }
    AddNode(std::move(caption), index, groupNode);
  }

  for (const auto& control : controls) {
    if (control->Kind() != FormControlKind::CheckBox || control->Name().empty()) continue;
    FieldRecord record{control->Name(), control->Value(), Flatten(control->FollowingText()), {}};
    std::string caption = record.FieldName;
    AddNode(std::move(caption), AddRecord(std::move(record)), TFieldNode::kNoParent);
  }
}

void TFieldTree::Bind(std::size_t node, std::string_view caption, std::string_view section) {
  TFieldNode& n = m_nodes.at(node);
  m_records.at(n.record).Binding = platform::Trim(caption) + platform::Trim(section);
  n.stateIndex = kMarkBound;
}

void TFieldTree::Bind(std::size_t node, const ChosenCategory& category) {
  Bind(node, category.record.text, category.record.listName);
}

void TFieldTree::Unbind(std::size_t node) {
  TFieldNode& n = m_nodes.at(node);
  m_records.at(n.record).Binding.clear();
  n.stateIndex = kMarkUnbound;
}

bool TFieldTree::ClickStateMark(std::size_t node,
                                const std::function<std::optional<ChosenCategory>()>& chooseCategory) {
  if (m_nodes.at(node).stateIndex == kMarkBound) {
    Unbind(node);
    return true;
  }
  const std::optional<ChosenCategory> choice = chooseCategory ? chooseCategory() : std::nullopt;
  if (!choice) return false;
  Bind(node, *choice);
  return true;
}

std::string TFieldTree::StatusText(std::size_t node) const {
  const FieldRecord& r = Record(node);
  return r.OptionValue + " " + r.OptionText + " " + r.Binding;
}

std::vector<std::string> TFieldTree::BindingLines() const {
  std::vector<std::string> lines;
  for (const TFieldNode& node : m_nodes) {
    const FieldRecord& r = m_records[node.record];
    if (IsBlankOnly(r.Binding)) continue;
    lines.push_back(r.OptionValue + "$" + r.FieldName + "=" + r.Binding);
  }
  return lines;
}

}  // namespace adw::engine
