#include "engine/wizard/html/html_document.h"

#include <algorithm>
#include <optional>

#include "engine/wizard/html/html_tokenizer.h"
#include "platform/files.h"
#include "platform/text1251.h"

namespace adw::engine {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The number at the start of an attribute value ("20", " 300px", "50%");
// -1 when it does not start with digits.
int LeadingNumber(std::string_view text, bool* percent = nullptr) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  const std::size_t from = i;
  long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = std::min<long>(value * 10 + (text[i] - '0'), 1000000);
    ++i;
  }
  if (i == from) return -1;
  if (percent) *percent = i < text.size() && text[i] == '%';
  return static_cast<int>(value);
}

int NumberAttr(const THtmlToken& t, std::string_view name) {
  const THtmlAttribute* a = t.Find(name);
  return a ? LeadingNumber(a->value) : -1;
}

std::optional<TextAlign> AlignAttr(const THtmlToken& t) {
  const THtmlAttribute* a = t.Find("align");
  if (!a) return std::nullopt;
  const std::string v = platform::LowerAscii(platform::Trim(a->value));
  if (v == "center" || v == "middle") return TextAlign::Center;
  if (v == "right") return TextAlign::Right;
  if (v == "left" || v == "justify") return TextAlign::Left;
  return std::nullopt;
}

bool IsHeading(std::string_view name) {
  return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

}  // namespace

// Walks the tokens once, keeping the styles, the open lists and tables and
// the open form and list control as it goes.
class THtmlDocumentBuilder {
 public:
  explicit THtmlDocumentBuilder(THtmlDocument& doc) : m_doc(doc), m_items(doc.m_items) {}

  void Build(std::string_view page) {
    m_items.reserve(page.size() / 128);
    THtmlTokenizer tokenizer(page);
    THtmlToken t;
    while (tokenizer.Next(t)) {
      const Expect expect = m_expect;
      m_expect = Expect::Nothing;
      switch (t.kind) {
        case HtmlTokenKind::Text:
          OnText(t.text, expect);
          break;
        case HtmlTokenKind::StartTag:
          OnStart(t);
          break;
        case HtmlTokenKind::EndTag:
          OnEnd(t.name);
          break;
        case HtmlTokenKind::Comment:
        case HtmlTokenKind::RawText:
          break;
      }
    }
    CloseSelect();
    CloseButton();
    while (!m_contexts.empty()) {
      if (m_contexts.back().table) {
        CloseTable();
      } else {
        CloseList();
      }
    }
    TrimTrailingSpace();
  }

 private:
  enum class Expect { Nothing, OptionText, TextAreaText, TitleText, FollowingText };

  struct Context {
    bool table = false;
    bool rowOpen = false;
    bool cellOpen = false;
    bool headerCell = false;
    bool ordered = false;
    int counter = 0;
    std::size_t alignDepth = 0;
  };

  struct Tagged {
    std::string tag;
    std::uint8_t value;
  };

  // --- tokens ---

  void OnText(const std::string& text, Expect expect) {
    switch (expect) {
      case Expect::OptionText:
        m_option.Text = platform::Trim(text);
        if (!m_option.Text.empty() && m_select) m_select->AddOption(std::move(m_option));
        return;
      case Expect::TextAreaText: {
        // A line break right after the start tag belongs to the markup.
        std::string_view content = text;
        if (content.starts_with("\r\n")) {
          content.remove_prefix(2);
        } else if (!content.empty() && (content[0] == '\n' || content[0] == '\r')) {
          content.remove_prefix(1);
        }
        if (m_textArea) m_textArea->SetInitialText(std::string(content));
        return;
      }
      case Expect::TitleText:
        if (!m_haveTitle) {
          m_haveTitle = true;
          CollapseInto(m_doc.m_title, text);
        }
        return;
      case Expect::FollowingText:
        if (m_labelled) m_labelled->SetFollowingText(text);
        break;
      case Expect::Nothing:
        break;
    }
    if (m_button) {
      m_buttonCaption += text;
      return;
    }
    if (m_select) return;  // text between the options shows nowhere
    AddText(text);
  }

  void OnStart(const THtmlToken& t) {
    const std::string& name = t.name;
    if (m_button) {
      // A button holds phrasing content only; a control or form tag means
      // its end tag was left out.
      if (!IsFormStructure(name)) {
        if (name == "img") m_buttonCaption += " " + t.Attr("alt") + " ";
        return;
      }
      CloseButton();
    }
    if (m_select) {
      if (name == "option") {
        m_option = TOptionObj{};
        m_option.Value = t.Attr("value");
        m_option.Selected = t.Has("selected");
        m_expect = Expect::OptionText;
        return;
      }
      if (name != "select" && name != "input" && name != "textarea" && name != "form" && name != "button")
        return;
      CloseSelect();
    }
    if (name == "input") return OnInput(t);
    if (name == "button") return OnButton(t);
    if (name == "select") return OnSelect(t);
    if (name == "textarea") return OnTextArea(t);
    if (name == "form") {
      m_form = NewForm(t.Find("method") ? &t.Find("method")->value : nullptr, t.Attr("action"));
      return Break(LayoutKind::BlockBreak);
    }
    if (name == "title") {
      m_expect = Expect::TitleText;
      return;
    }
    if (name == "base") {
      if (!m_haveBaseHref && t.Has("href")) m_doc.m_base = t.Attr("href"), m_haveBaseHref = true;
      if (!m_haveBaseTarget && t.Has("target"))
        m_doc.m_baseTarget = t.Attr("target"), m_haveBaseTarget = true;
      return;
    }
    if (name == "a") {
      if (const THtmlAttribute* href = t.Find("href")) {
        m_doc.m_links.push_back(href->value);
        m_style.link = static_cast<std::uint32_t>(m_doc.m_links.size() - 1);
      }
      if (const THtmlAttribute* anchor = t.Find("name"); anchor && !InTableGap()) {
        TLayoutItem& item = Push(LayoutKind::Anchor);
        item.text = anchor->value;
      }
      return;
    }
    if (name == "img") {
      EnsureCell();
      TLayoutItem& item = Push(LayoutKind::Image);
      item.text = t.Attr("src");
      item.alt = t.Attr("alt");
      item.width = NumberAttr(t, "width");
      item.height = NumberAttr(t, "height");
      Inline();
      return;
    }
    if (name == "br") return LineBreak();
    if (name == "hr") {
      if (InTableGap()) return;
      TrimTrailingSpace();
      Push(LayoutKind::Rule);
      m_atLineStart = true;
      return;
    }
    if (name == "p") {
      Break(LayoutKind::Paragraph);
      PopAlign("p");
      if (auto align = AlignAttr(t)) PushAlign("p", *align);
      return;
    }
    if (name == "div") {
      Break(LayoutKind::BlockBreak);
      PushAlign("div", AlignAttr(t).value_or(CurrentAlign()));
      return;
    }
    if (name == "center") {
      Break(LayoutKind::BlockBreak);
      PushAlign("center", TextAlign::Center);
      return;
    }
    if (IsHeading(name)) {
      Break(LayoutKind::Paragraph);
      m_heading = static_cast<std::uint8_t>(name[1] - '0');
      PushAlign(name, AlignAttr(t).value_or(CurrentAlign()));
      return;
    }
    if (name == "pre" || name == "listing" || name == "xmp") {
      Break(LayoutKind::Paragraph);
      ++m_pre;
      m_skipNewline = true;
      return;
    }
    if (name == "blockquote" || name == "dl" || name == "address") {
      if (name == "address") ++m_italic;
      return Break(LayoutKind::Paragraph);
    }
    if (name == "dt" || name == "dd") return Break(LayoutKind::BlockBreak);
    if (name == "ul" || name == "ol" || name == "dir" || name == "menu") return OpenList(name == "ol");
    if (name == "li") return OnListItem();
    if (name == "table") return OpenTable(t);
    if (name == "tr") return OnRow();
    if (name == "td" || name == "th") return OnCell(t, name == "th");
    if (name == "b" || name == "strong") return void(++m_bold);
    if (name == "i" || name == "em" || name == "cite" || name == "var" || name == "dfn")
      return void(++m_italic);
    if (name == "u" || name == "ins") return void(++m_underline);
    if (name == "tt" || name == "code" || name == "kbd" || name == "samp") return void(++m_mono);
    if (name == "font") {
      int size = CurrentFontSize();
      if (const THtmlAttribute* a = t.Find("size")) {
        const std::string v = platform::Trim(a->value);
        const char sign = v.empty() ? '\0' : v[0];
        const bool relative = sign == '+' || sign == '-';
        const int n = LeadingNumber(relative ? std::string_view(v).substr(1) : std::string_view(v));
        if (n >= 0) size = sign == '+' ? 3 + n : sign == '-' ? 3 - n : n;
      }
      return PushFont("font", size);
    }
    if (name == "big") return PushFont("big", CurrentFontSize() + 1);
    if (name == "small") return PushFont("small", CurrentFontSize() - 1);
  }

  void OnEnd(const std::string& name) {
    if (m_button) {
      if (name == "button") return CloseButton();
      if (name != "form") return;
      CloseButton();
    }
    if (m_select) {
      if (name == "select") return CloseSelect();
      if (name != "form" && name != "table" && name != "tr" && name != "td" && name != "th") return;
      CloseSelect();
    }
    if (name == "form") {
      m_form = nullptr;
      return Break(LayoutKind::BlockBreak);
    }
    if (name == "a") {
      m_style.link = 0;
      return;
    }
    if (name == "br") return LineBreak();
    if (name == "p") {
      Break(LayoutKind::Paragraph);
      return PopAlign("p");
    }
    if (name == "div" || name == "center") {
      Break(LayoutKind::BlockBreak);
      return PopAlign(name);
    }
    if (IsHeading(name)) {
      m_heading = 0;
      Break(LayoutKind::Paragraph);
      for (char level = '1'; level <= '6'; ++level) PopAlign(std::string("h") + level);
      return;
    }
    if (name == "pre" || name == "listing" || name == "xmp") {
      if (m_pre > 0) --m_pre;
      return Break(LayoutKind::Paragraph);
    }
    if (name == "blockquote" || name == "dl" || name == "address") {
      if (name == "address" && m_italic > 0) --m_italic;
      return Break(LayoutKind::Paragraph);
    }
    if (name == "ul" || name == "ol" || name == "dir" || name == "menu") return CloseList();
    if (name == "table") return CloseTable();
    if (name == "tr") {
      if (!TopIsTable()) return;
      CloseCell();
      return CloseRow();
    }
    if (name == "td" || name == "th") {
      if (TopIsTable()) CloseCell();
      return;
    }
    if (name == "b" || name == "strong") return Decrement(m_bold);
    if (name == "i" || name == "em" || name == "cite" || name == "var" || name == "dfn")
      return Decrement(m_italic);
    if (name == "u" || name == "ins") return Decrement(m_underline);
    if (name == "tt" || name == "code" || name == "kbd" || name == "samp") return Decrement(m_mono);
    if (name == "font" || name == "big" || name == "small") return PopTagged(m_fonts, name);
  }

  // --- form controls ---

  ThtmlForm* NewForm(const std::string* method, std::string action, bool fromFormTag = true) {
    TFormEvents& events = m_doc;
    m_doc.m_forms.push_back(std::make_unique<ThtmlForm>(events, method, std::move(action), fromFormTag));
    return m_doc.m_forms.back().get();
  }

  // A control outside any form joins the attribute-less form that the
  // first such control started.
  ThtmlForm& CurrentForm() {
    if (!m_form) m_form = NewForm(nullptr, std::string(), false);
    return *m_form;
  }

  void PlaceControl(TFormControlObj& control) {
    EnsureCell();
    Push(LayoutKind::Control).control = &control;
    Inline();
  }

  void OnInput(const THtmlToken& t) {
    std::string type = platform::LowerAscii(t.Attr("type"));
    if (type.size() > 20) type.resize(20);
    ThtmlForm& form = CurrentForm();
    std::string name = t.Attr("name");
    const THtmlAttribute* value = t.Find("value");
    std::string valueText = value ? value->value : std::string();
    if (type == "hidden") {
      form.Add<THiddenFormControlObj>(std::move(name), std::move(valueText));
      return;
    }
    if (type == "checkbox") {
      if (!value) valueText = "On";
      return PlaceLabelled(
          form.Add<TCheckBoxFormControlObj>(std::move(name), std::move(valueText), t.Has("checked")));
    }
    if (type == "radio") {
      return PlaceLabelled(
          form.Add<TRadioButtonFormControlObj>(std::move(name), std::move(valueText), t.Has("checked")));
    }
    if (type == "submit" || type == "reset" || type == "button") {
      const ButtonKind kind = type == "submit"  ? ButtonKind::Submit
                              : type == "reset" ? ButtonKind::Reset
                                                : ButtonKind::Plain;
      return PlaceControl(form.Add<TButtonFormControlObj>(std::move(name), std::move(valueText), kind));
    }
    if (type == "image") {
      return PlaceControl(form.Add<TImageFormControlObj>(std::move(name), std::move(valueText), t.Attr("src"),
                                                         t.Attr("alt"), NumberAttr(t, "width"),
                                                         NumberAttr(t, "height")));
    }
    PlaceControl(form.Add<TEditFormControlObj>(std::move(name), std::move(valueText), type == "password",
                                               NumberAttr(t, "size"), NumberAttr(t, "maxlength")));
  }

  // The text right after a check box or radio button is its label.
  void PlaceLabelled(TFormControlObj& control) {
    PlaceControl(control);
    m_labelled = &control;
    m_expect = Expect::FollowingText;
  }

  static bool IsFormStructure(const std::string& name) {
    return name == "button" || name == "input" || name == "select" || name == "textarea" || name == "form";
  }

  // A button element without a TYPE, or with an unknown one, submits.
  void OnButton(const THtmlToken& t) {
    const std::string type = platform::LowerAscii(platform::Trim(t.Attr("type")));
    const ButtonKind kind = type == "reset"    ? ButtonKind::Reset
                            : type == "button" ? ButtonKind::Plain
                                               : ButtonKind::Submit;
    m_button = &CurrentForm().Add<TButtonFormControlObj>(t.Attr("name"), t.Attr("value"), kind,
                                                         TButtonFormControlObj::Element{});
    m_buttonCaption.clear();
    PlaceControl(*m_button);
  }

  void CloseButton() {
    if (!m_button) return;
    std::string caption;
    CollapseInto(caption, m_buttonCaption);
    m_button->SetCaption(caption);
    m_button = nullptr;
  }

  void OnSelect(const THtmlToken& t) {
    ThtmlForm& form = CurrentForm();
    const bool multiple = t.Has("multiple");
    const int size = NumberAttr(t, "size");
    if (multiple || size > 1) {
      m_select = &form.Add<TListBoxFormControlObj>(t.Attr("name"), multiple, size);
    } else {
      m_select = &form.Add<TComboFormControlObj>(t.Attr("name"));
    }
    PlaceControl(*m_select);
  }

  void CloseSelect() {
    if (!m_select) return;
    m_select->Finish();
    m_select = nullptr;
  }

  void OnTextArea(const THtmlToken& t) {
    m_textArea = &CurrentForm().Add<TTextAreaFormControlObj>(t.Attr("name"), NumberAttr(t, "rows"),
                                                             NumberAttr(t, "cols"));
    PlaceControl(*m_textArea);
    m_expect = Expect::TextAreaText;
  }

  // --- text and breaks ---

  TTextStyle CurrentStyle() const {
    TTextStyle s = m_style;
    s.bold = m_bold > 0 || m_heading > 0;
    s.italic = m_italic > 0;
    s.underline = m_underline > 0;
    s.preformatted = m_pre > 0;
    s.monospace = m_mono > 0 || m_pre > 0;
    s.heading = m_heading;
    s.fontSize = static_cast<std::uint8_t>(CurrentFontSize());
    s.align = CurrentAlign();
    return s;
  }

  TLayoutItem& Push(LayoutKind kind) {
    TLayoutItem& item = m_items.emplace_back();
    item.kind = kind;
    item.style = CurrentStyle();
    return item;
  }

  std::string& Run() {
    const TTextStyle style = CurrentStyle();
    if (!m_items.empty() && m_items.back().kind == LayoutKind::Text && m_items.back().style == style) {
      return m_items.back().text;
    }
    TLayoutItem& item = m_items.emplace_back();
    item.style = style;
    return item.text;
  }

  void Inline() {
    m_atLineStart = false;
    m_lastWasSpace = false;
    m_skipNewline = false;
  }

  void AddText(std::string_view text) {
    if (InTableGap()) {
      if (std::all_of(text.begin(), text.end(), IsSpace)) return;
      EnsureCell();
    }
    if (m_pre > 0) return AddPreformatted(text);
    std::size_t i = 0;
    while (i < text.size()) {
      if (IsSpace(text[i])) {
        while (i < text.size() && IsSpace(text[i])) ++i;
        if (!m_atLineStart && !m_lastWasSpace) {
          Run().push_back(' ');
          m_lastWasSpace = true;
        }
        continue;
      }
      const std::size_t from = i;
      while (i < text.size() && !IsSpace(text[i])) ++i;
      Run().append(text.substr(from, i - from));
      Inline();
    }
  }

  void AddPreformatted(std::string_view text) {
    std::size_t i = 0;
    if (m_skipNewline && !text.empty() && text[0] == '\n') i = 1;
    m_skipNewline = false;
    while (i < text.size()) {
      const std::size_t end = std::min(text.find('\n', i), text.size());
      std::string_view line = text.substr(i, end - i);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (!line.empty()) {
        Run().append(line);
        m_atLineStart = false;
        m_lastWasSpace = false;
      }
      if (end < text.size()) {
        Push(LayoutKind::LineBreak);
        m_atLineStart = true;
      }
      i = end + 1;
    }
  }

  void CollapseInto(std::string& out, std::string_view text) {
    bool space = false;
    for (char c : text) {
      if (IsSpace(c)) {
        space = !out.empty();
        continue;
      }
      if (space) out.push_back(' ');
      space = false;
      out.push_back(c);
    }
  }

  void TrimTrailingSpace() {
    if (m_items.empty() || m_items.back().kind != LayoutKind::Text || m_items.back().style.preformatted)
      return;
    std::string& text = m_items.back().text;
    if (!text.empty() && text.back() == ' ') text.pop_back();
    if (text.empty()) m_items.pop_back();
  }

  void Break(LayoutKind kind) {
    if (InTableGap()) return;
    TrimTrailingSpace();
    m_atLineStart = true;
    m_lastWasSpace = false;
    if (m_items.empty()) return;
    TLayoutItem& last = m_items.back();
    switch (last.kind) {
      case LayoutKind::BlockBreak:
        if (kind == LayoutKind::Paragraph) last.kind = kind;
        return;
      case LayoutKind::Paragraph:
      case LayoutKind::ListBegin:
      case LayoutKind::ListItem:
      case LayoutKind::CellBegin:
        return;
      default:
        break;
    }
    Push(kind);
  }

  void LineBreak() {
    if (InTableGap()) return;
    TrimTrailingSpace();
    Push(LayoutKind::LineBreak);
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  // --- lists and tables ---

  bool TopIsTable() const { return !m_contexts.empty() && m_contexts.back().table; }
  bool InTableGap() const { return TopIsTable() && !m_contexts.back().cellOpen; }

  void EnsureCell() {
    if (!InTableGap()) return;
    Context& c = m_contexts.back();
    if (!c.rowOpen) {
      Push(LayoutKind::RowBegin);
      c.rowOpen = true;
    }
    Push(LayoutKind::CellBegin);
    c.cellOpen = true;
    c.headerCell = false;
    c.alignDepth = m_aligns.size();
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void OpenList(bool ordered) {
    if (m_contexts.size() >= THtmlDocument::kMaxNesting) {
      ++m_ignoredLists;
      return Break(LayoutKind::BlockBreak);
    }
    EnsureCell();
    TrimTrailingSpace();
    Push(LayoutKind::ListBegin).number = ordered ? 1 : 0;
    Context c;
    c.ordered = ordered;
    m_contexts.push_back(c);
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void CloseList() {
    if (m_ignoredLists > 0) {
      --m_ignoredLists;
      return Break(LayoutKind::BlockBreak);
    }
    if (m_contexts.empty() || m_contexts.back().table) return;
    TrimTrailingSpace();
    Push(LayoutKind::ListEnd);
    m_contexts.pop_back();
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void OnListItem() {
    if (m_contexts.empty() || m_contexts.back().table) return Break(LayoutKind::BlockBreak);
    TrimTrailingSpace();
    Context& c = m_contexts.back();
    ++c.counter;
    Push(LayoutKind::ListItem).number = c.ordered ? c.counter : 0;
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void OpenTable(const THtmlToken& t) {
    if (m_contexts.size() >= THtmlDocument::kMaxNesting) {
      ++m_ignoredTables;
      return Break(LayoutKind::BlockBreak);
    }
    EnsureCell();
    TrimTrailingSpace();
    TLayoutItem& item = Push(LayoutKind::TableBegin);
    // Layout tables of board pages say border="0" and must stay unlined; a bare
    // or unreadable border attribute still asks for the default thin line.
    if (const THtmlAttribute* border = t.Find("border")) {
      const int width = LeadingNumber(border->value);
      item.number = width < 0 ? 1 : width;
    }
    if (const THtmlAttribute* width = t.Find("width"))
      item.width = LeadingNumber(width->value, &item.widthPercent);
    Context c;
    c.table = true;
    m_contexts.push_back(c);
  }

  void CloseTable() {
    if (m_ignoredTables > 0) {
      --m_ignoredTables;
      return Break(LayoutKind::BlockBreak);
    }
    const auto table =
        std::find_if(m_contexts.rbegin(), m_contexts.rend(), [](const Context& c) { return c.table; });
    if (table == m_contexts.rend()) return;
    while (!m_contexts.back().table) CloseList();
    CloseCell();
    CloseRow();
    Push(LayoutKind::TableEnd);
    m_contexts.pop_back();
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void OnRow() {
    if (!TopIsTable()) return;
    CloseCell();
    CloseRow();
    Push(LayoutKind::RowBegin);
    m_contexts.back().rowOpen = true;
  }

  void OnCell(const THtmlToken& t, bool header) {
    if (!TopIsTable()) return;
    CloseCell();
    Context& c = m_contexts.back();
    if (!c.rowOpen) {
      Push(LayoutKind::RowBegin);
      c.rowOpen = true;
    }
    c.alignDepth = m_aligns.size();
    PushAlign("td", AlignAttr(t).value_or(header ? TextAlign::Center : TextAlign::Left));
    c.headerCell = header;
    if (header) ++m_bold;
    TLayoutItem& item = Push(LayoutKind::CellBegin);
    item.header = header;
    item.colSpan = std::max(NumberAttr(t, "colspan"), 1);
    item.rowSpan = std::max(NumberAttr(t, "rowspan"), 1);
    if (const THtmlAttribute* width = t.Find("width"))
      item.width = LeadingNumber(width->value, &item.widthPercent);
    c.cellOpen = true;
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void CloseCell() {
    Context& c = m_contexts.back();
    if (!c.cellOpen) return;
    TrimTrailingSpace();
    m_aligns.resize(std::min(m_aligns.size(), c.alignDepth));
    if (c.headerCell) Decrement(m_bold);
    c.headerCell = false;
    Push(LayoutKind::CellEnd);
    c.cellOpen = false;
    m_atLineStart = true;
    m_lastWasSpace = false;
  }

  void CloseRow() {
    Context& c = m_contexts.back();
    if (!c.rowOpen) return;
    Push(LayoutKind::RowEnd);
    c.rowOpen = false;
  }

  // --- style stacks ---

  static void Decrement(int& counter) {
    if (counter > 0) --counter;
  }

  int CurrentFontSize() const { return m_fonts.empty() ? 3 : m_fonts.back().value; }
  void PushFont(const char* tag, int size) {
    m_fonts.push_back({tag, static_cast<std::uint8_t>(std::clamp(size, 1, 7))});
  }

  TextAlign CurrentAlign() const {
    return m_aligns.empty() ? TextAlign::Left : static_cast<TextAlign>(m_aligns.back().value);
  }
  void PushAlign(const std::string& tag, TextAlign align) {
    m_aligns.push_back({tag, static_cast<std::uint8_t>(align)});
  }
  // Closes the innermost element of that name, and whatever was opened
  // inside it; but never an alignment that a still-open cell began with.
  void PopAlign(const std::string& tag) {
    const std::size_t floor = TopIsTable() && m_contexts.back().cellOpen ? m_contexts.back().alignDepth : 0;
    for (std::size_t i = m_aligns.size(); i-- > floor;) {
      if (m_aligns[i].tag == tag) {
        m_aligns.resize(i);
        return;
      }
    }
  }
  static void PopTagged(std::vector<Tagged>& stack, const std::string& tag) {
    for (std::size_t i = stack.size(); i-- > 0;) {
      if (stack[i].tag == tag) {
        stack.resize(i);
        return;
      }
    }
  }

  THtmlDocument& m_doc;
  std::vector<TLayoutItem>& m_items;
  Expect m_expect = Expect::Nothing;

  ThtmlForm* m_form = nullptr;
  TOptionListFormControlObj* m_select = nullptr;
  TTextAreaFormControlObj* m_textArea = nullptr;
  TButtonFormControlObj* m_button = nullptr;
  std::string m_buttonCaption;
  TFormControlObj* m_labelled = nullptr;
  TOptionObj m_option;

  TTextStyle m_style;  // carries the link; the rest comes from the counters
  int m_bold = 0;
  int m_italic = 0;
  int m_underline = 0;
  int m_mono = 0;
  int m_pre = 0;
  std::uint8_t m_heading = 0;
  std::vector<Tagged> m_fonts;
  std::vector<Tagged> m_aligns;

  std::vector<Context> m_contexts;
  int m_ignoredLists = 0;
  int m_ignoredTables = 0;

  bool m_atLineStart = true;
  bool m_lastWasSpace = false;
  bool m_skipNewline = false;
  bool m_haveTitle = false;
  bool m_haveBaseHref = false;
  bool m_haveBaseTarget = false;
};

struct THtmlDocument::SubmitRelay {
  FormSubmitHandler handler;
};

THtmlDocument::THtmlDocument() : m_links(1), m_relay(std::make_shared<SubmitRelay>()) {}
THtmlDocument::~THtmlDocument() = default;

std::unique_ptr<THtmlDocument> THtmlDocument::Parse(std::string_view page) {
  std::unique_ptr<THtmlDocument> doc(new THtmlDocument());
  THtmlDocumentBuilder(*doc).Build(page);
  return doc;
}

std::unique_ptr<THtmlDocument> THtmlDocument::LoadFromFile(const std::string& path) {
  std::string file = path;
  std::string position;
  if (!platform::FileExists(path)) {
    const std::size_t hash = path.find('#');
    if (hash != std::string::npos) {
      file = path.substr(0, hash);
      position = path.substr(hash + 1);
    }
  }
  if (!platform::FileExists(file)) throw THtmlLoadError("Can't locate file: " + file);
  const std::optional<std::string> bytes = platform::ReadWholeFile(file);
  if (!bytes) throw THtmlLoadError("Can't read file: " + file);
  std::unique_ptr<THtmlDocument> doc = Parse(*bytes);
  doc->m_position = std::move(position);
  return doc;
}

void THtmlDocument::SetOnFormSubmit(FormSubmitHandler handler) {
  m_relay->handler = std::move(handler);
}

void THtmlDocument::SetPoster(PostFunction post) {
  m_post = std::move(post);
}

void THtmlDocument::FormSubmitted(const ThtmlForm& form, std::vector<std::string> results) {
  // The task may run after this page was replaced: it then finds no relay
  // and does nothing.
  std::function<void()> raise = [relay = std::weak_ptr<SubmitRelay>(m_relay), action = form.Action(),
                                 method = form.Method(), results = std::move(results)]() mutable {
    const std::shared_ptr<SubmitRelay> live = relay.lock();
    if (live && live->handler) live->handler(action, method, std::move(results));
  };
  if (m_post) {
    m_post(std::move(raise));
  } else {
    raise();
  }
}

void THtmlDocument::ControlStateChanged(TFormControlObj& control) {
  if (m_onControlChange) m_onControlChange(control);
}

}  // namespace adw::engine
