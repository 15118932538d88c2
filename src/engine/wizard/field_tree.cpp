#include "engine/wizard/field_tree.h"

#include "platform/text1251.h"

namespace adw::engine {

namespace {

using platform::FindNoCase;
constexpr std::size_t npos = std::string_view::npos;

bool IsBlankOnly(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

// Finds a string at or after positions that only ever grow, remembering
// the last find, so a scan over many starts reads the text once.
class ForwardFinder {
 public:
  ForwardFinder(std::string_view text, std::string_view needle) : m_text(text), m_needle(needle) {}
  std::size_t From(std::size_t pos) {
    if (m_exhausted) return npos;
    if (m_found != npos && m_found >= pos) return m_found;
    m_found = FindNoCase(m_text, m_needle, pos);
    if (m_found == npos) m_exhausted = true;
    return m_found;
  }

 private:
  std::string_view m_text;
  std::string_view m_needle;
  std::size_t m_found = npos;
  bool m_exhausted = false;
};

// The pieces "CutBetween(text, start, finish, k, 1)" for k = 1, 2, ...,
// one after the other, in linear time over the whole scan.
class CutScanner {
 public:
  CutScanner(std::string_view text, std::string_view start, std::string_view finish)
      : m_text(text), m_start(start), m_finish(text, finish) {}
  // The next piece; nullopt once start or finish is missing.
  std::optional<std::string_view> Next() {
    if (m_done) return std::nullopt;
    const std::size_t at = FindNoCase(m_text, m_start, m_from);
    if (at == npos) {
      m_done = true;
      return std::nullopt;
    }
    m_from = at + 1;
    const std::size_t after = at + m_start.size();
    const std::size_t end = m_finish.From(after);
    if (end == npos) {
      m_done = true;
      return std::nullopt;
    }
    return m_text.substr(after, end - after);
  }

 private:
  std::string_view m_text;
  std::string_view m_start;
  ForwardFinder m_finish;
  std::size_t m_from = 0;
  bool m_done = false;
};

// The tag text of a piece that the scan cut before a "<", as if that "<"
// were still there: everything after the piece's first ">".
std::string TagTextOfPiece(std::string_view piece) {
  const std::size_t gt = piece.find('>');
  return gt == npos ? std::string() : std::string(piece.substr(gt + 1));
}

// CR and LF become blanks and every run of blanks one blank.
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

const std::string kRadioStart = "<input type=\"radio\"";
const std::string kCheckBoxStart = "<input type=\"checkbox\"";

}  // namespace

std::string CutBetween(std::string_view text, std::string_view start, std::string_view finish, int n, int m) {
  if (n < 1 || m < 1) return std::string();
  std::size_t at = npos;
  std::size_t from = 0;
  for (int k = 0; k < n; ++k) {
    at = FindNoCase(text, start, from);
    if (at == npos) return std::string();
    from = at + 1;
  }
  const std::size_t after = at + start.size();
  std::size_t end = npos;
  from = after;
  for (int k = 0; k < m; ++k) {
    end = FindNoCase(text, finish, from);
    if (end == npos) return std::string();
    from = end + 1;
  }
  return std::string(text.substr(after, end - after));
}

std::string GetNameAttr(std::string_view text) { return CutBetween(text, "name=\"", "\"", 1, 1); }
std::string GetValueAttr(std::string_view text) { return CutBetween(text, "value=\"", "\"", 1, 1); }
std::string GetTagText(std::string_view text) { return CutBetween(text, ">", "<", 1, 1); }

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
  const std::string form = Flatten(CutBetween(pageText, "<form", "</form>", formNumber, 1));
  if (form.empty()) return;
  const std::string_view f = form;

  // Lists. The scan ends at the first list that is missing or that has the
  // same text as the list after it.
  CutScanner lists(f, "<select", "</select>");
  std::optional<std::string_view> list = lists.Next();
  while (list && !list->empty()) {
    if (!IsBlankOnly(*list)) {
      const std::string name = GetNameAttr(*list);
      const std::size_t listNode = AddNode(name, AddRecord(FieldRecord{name, {}, {}, {}}), TFieldNode::kNoParent);
      CutScanner options(*list, "<option", "<");
      for (std::optional<std::string_view> option = options.Next(); option && !option->empty();
           option = options.Next()) {
        if (IsBlankOnly(*option)) continue;
        FieldRecord record{name, GetValueAttr(*option), TagTextOfPiece(*option), {}};
        std::string caption = IsBlankOnly(record.OptionText) ? record.OptionValue : record.OptionText;
        AddNode(std::move(caption), AddRecord(std::move(record)), listNode);
      }
    }
    const std::optional<std::string_view> next = lists.Next();
    if (!next || *next == *list) break;
    list = next;
  }

  // Radio buttons: consecutive buttons of one name form a group, whose node
  // shares its record with the group's first button.
  CutScanner radios(f, kRadioStart, "<");
  std::string group;
  std::size_t groupNode = TFieldNode::kNoParent;
  for (std::optional<std::string_view> radio = radios.Next(); radio && !IsBlankOnly(*radio); radio = radios.Next()) {
    FieldRecord record{GetNameAttr(*radio), GetValueAttr(*radio), TagTextOfPiece(*radio), {}};
    std::string caption = IsBlankOnly(record.OptionText) ? record.OptionValue : record.OptionText;
    const bool sameGroup = !group.empty() && group == record.FieldName;
    const std::size_t index = AddRecord(std::move(record));
    if (!sameGroup) {
      group = m_records[index].FieldName;
      groupNode = AddNode(group, index, TFieldNode::kNoParent);
    }
    AddNode(std::move(caption), index, groupNode);
  }

  CutScanner checkBoxes(f, kCheckBoxStart, "<");
  for (std::optional<std::string_view> box = checkBoxes.Next(); box && !IsBlankOnly(*box); box = checkBoxes.Next()) {
    FieldRecord record{GetNameAttr(*box), GetValueAttr(*box), TagTextOfPiece(*box), {}};
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
