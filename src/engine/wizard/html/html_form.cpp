#include "engine/wizard/html/html_form.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text1251.h"

namespace adw::engine {

namespace {

std::string Pair(std::string_view name, std::string_view value) {
  std::string pair;
  pair.reserve(name.size() + 1 + value.size());
  pair.append(name);
  pair.push_back('=');
  pair.append(value);
  return pair;
}

}  // namespace

TFormControlObj::TFormControlObj(FormControlKind kind, ThtmlForm& form, std::string name, std::string value)
    : m_value(std::move(value)), m_kind(kind), m_form(&form), m_name(std::move(name)) {}

void TFormControlObj::Changed() {
  m_form->m_events.ControlStateChanged(*this);
}

// --- edit ---

TEditFormControlObj::TEditFormControlObj(ThtmlForm& form, std::string name, std::string value, bool password,
                                         int size, int maxLength)
    : TFormControlObj(FormControlKind::Edit, form, std::move(name), std::move(value)),
      m_password(password),
      m_size(size > 0 ? size : kDefaultSize),
      m_maxLength(maxLength > 0 ? maxLength : 0) {
  SetText(m_value);
}

void TEditFormControlObj::SetText(std::string_view text) {
  // A one-line edit holds no line breaks: a value written across lines in
  // the page would otherwise carry them into the captured body.
  m_text.clear();
  for (char c : text) {
    if (c != '\r' && c != '\n') m_text.push_back(c);
  }
  if (m_maxLength > 0 && m_text.size() > static_cast<std::size_t>(m_maxLength)) m_text.resize(m_maxLength);
}

bool TEditFormControlObj::PressEnter() {
  if (Form().VisibleControlCount() != 1) return false;
  Form().Submit(TSubmitTrigger{});
  return true;
}

void TEditFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger&) const {
  pairs.push_back(Pair(Name(), m_text));
}

bool TEditFormControlObj::Reset() {
  const std::string before = m_text;
  SetText(m_value);
  return before != m_text;
}

// --- hidden ---

THiddenFormControlObj::THiddenFormControlObj(ThtmlForm& form, std::string name, std::string value)
    : TFormControlObj(FormControlKind::Hidden, form, std::move(name), std::move(value)) {}

void THiddenFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger&) const {
  pairs.push_back(Pair(Name(), m_value));
}

// --- check box ---

TCheckBoxFormControlObj::TCheckBoxFormControlObj(ThtmlForm& form, std::string name, std::string value,
                                                 bool checked)
    : TFormControlObj(FormControlKind::CheckBox, form, std::move(name), std::move(value)),
      m_initial(checked),
      m_checked(checked) {}

void TCheckBoxFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger&) const {
  if (m_checked) pairs.push_back(Pair(Name(), m_value));
}

bool TCheckBoxFormControlObj::Reset() {
  const bool changed = m_checked != m_initial;
  m_checked = m_initial;
  return changed;
}

// --- radio button ---

TRadioButtonFormControlObj::TRadioButtonFormControlObj(ThtmlForm& form, std::string name, std::string value,
                                                       bool checked)
    : TFormControlObj(FormControlKind::Radio, form, std::move(name), std::move(value)),
      m_initial(checked),
      m_checked(checked) {}

void TRadioButtonFormControlObj::Click() {
  m_checked = true;
  if (Name().empty()) return;
  for (TRadioButtonFormControlObj* other : Form().m_radios) {
    if (other == this || !other->m_checked) continue;
    if (!platform::EqualsNoCase(other->Name(), Name())) continue;
    other->m_checked = false;
    other->Changed();
  }
}

void TRadioButtonFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger&) const {
  if (m_checked) pairs.push_back(Pair(Name(), m_value));
}

bool TRadioButtonFormControlObj::Reset() {
  const bool changed = m_checked != m_initial;
  m_checked = m_initial;
  return changed;
}

// --- buttons ---

namespace {

std::string ButtonCaption(std::string value, ButtonKind kind) {
  if (!value.empty()) return value;
  switch (kind) {
    case ButtonKind::Submit:
      return "Submit";
    case ButtonKind::Reset:
      return "Reset";
    case ButtonKind::Plain:
      break;
  }
  return "Button";
}

}  // namespace

TButtonFormControlObj::TButtonFormControlObj(ThtmlForm& form, std::string name, std::string value,
                                             ButtonKind kind)
    : TFormControlObj(FormControlKind::Button, form, std::move(name), ButtonCaption(std::move(value), kind)),
      m_buttonKind(kind),
      m_caption(m_value) {}

TButtonFormControlObj::TButtonFormControlObj(ThtmlForm& form, std::string name, std::string value,
                                             ButtonKind kind, Element)
    : TFormControlObj(FormControlKind::Button, form, std::move(name), std::move(value)), m_buttonKind(kind) {
  SetCaption({});
}

void TButtonFormControlObj::SetCaption(std::string_view caption) {
  m_caption = platform::Trim(caption);
  if (m_caption.empty()) m_caption = ButtonCaption(m_value, m_buttonKind);
}

void TButtonFormControlObj::Click() {
  switch (m_buttonKind) {
    case ButtonKind::Submit:
      Form().Submit(TSubmitTrigger{this, 0, 0});
      break;
    case ButtonKind::Reset:
      Form().ResetControls();
      break;
    case ButtonKind::Plain:
      break;
  }
}

// A submit button's own pair is added last by the form, and only for the
// button that started the submission.
void TButtonFormControlObj::AppendPairs(std::vector<std::string>&, const TSubmitTrigger&) const {}

// --- image ---

TImageFormControlObj::TImageFormControlObj(ThtmlForm& form, std::string name, std::string value,
                                           std::string src, std::string alt, int width, int height)
    : TFormControlObj(FormControlKind::Image, form, std::move(name), std::move(value)),
      m_src(std::move(src)),
      m_alt(std::move(alt)),
      m_width(width),
      m_height(height) {}

std::string TImageFormControlObj::Caption() const {
  if (!platform::Trim(m_alt).empty()) return m_alt;
  if (!platform::Trim(m_value).empty()) return m_value;
  return "Submit";
}

void TImageFormControlObj::Click() {
  Form().Submit(TSubmitTrigger{this, 0, 0});
}

void TImageFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const {
  if (trigger.control != this) return;
  const std::string prefix = Name().empty() ? std::string() : Name() + ".";
  pairs.push_back(prefix + "x=" + std::to_string(trigger.x));
  pairs.push_back(prefix + "y=" + std::to_string(trigger.y));
}

// --- lists ---

void TOptionListFormControlObj::AddOption(TOptionObj option) {
  m_options.push_back(std::move(option));
}

std::size_t TOptionListFormControlObj::LastMarkedOrFirst() const {
  if (m_options.empty()) return std::string::npos;
  for (std::size_t i = m_options.size(); i-- > 0;) {
    if (m_options[i].Selected) return i;
  }
  return 0;
}

void TOptionListFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger&) const {
  for (std::size_t i = 0; i < m_options.size(); ++i) {
    if (m_selected[i]) pairs.push_back(Pair(Name(), m_options[i].Submitted()));
  }
}

bool TOptionListFormControlObj::Reset() {
  const bool changed = m_selected != m_initial;
  m_selected = m_initial;
  return changed;
}

TComboFormControlObj::TComboFormControlObj(ThtmlForm& form, std::string name)
    : TOptionListFormControlObj(FormControlKind::Combo, form, std::move(name), std::string()) {}

void TComboFormControlObj::Finish() {
  m_initial.assign(m_options.size(), false);
  const std::size_t chosen = LastMarkedOrFirst();
  if (chosen != std::string::npos) m_initial[chosen] = true;
  m_selected = m_initial;
}

std::size_t TComboFormControlObj::SelectedIndex() const {
  const auto it = std::find(m_selected.begin(), m_selected.end(), true);
  return it == m_selected.end() ? std::string::npos : static_cast<std::size_t>(it - m_selected.begin());
}

void TComboFormControlObj::SetSelectedIndex(std::size_t index) {
  if (index >= m_options.size())
    throw std::out_of_range("no option " + std::to_string(index) + " in the list");
  m_selected.assign(m_options.size(), false);
  m_selected[index] = true;
}

TListBoxFormControlObj::TListBoxFormControlObj(ThtmlForm& form, std::string name, bool multiple, int size)
    : TOptionListFormControlObj(FormControlKind::ListBox, form, std::move(name), std::string()),
      m_multiple(multiple),
      m_size(size > 0 ? size : 0) {}

void TListBoxFormControlObj::Finish() {
  m_initial.assign(m_options.size(), false);
  if (m_multiple) {
    for (std::size_t i = 0; i < m_options.size(); ++i) m_initial[i] = m_options[i].Selected;
  } else {
    const std::size_t chosen = LastMarkedOrFirst();
    if (chosen != std::string::npos) m_initial[chosen] = true;
  }
  m_selected = m_initial;
  m_rows = m_size > 0 ? m_size : static_cast<int>(std::clamp<std::size_t>(m_options.size(), 1, 8));
}

void TListBoxFormControlObj::SetSelected(std::size_t index, bool selected) {
  if (index >= m_options.size())
    throw std::out_of_range("no option " + std::to_string(index) + " in the list");
  if (selected && !m_multiple) m_selected.assign(m_options.size(), false);
  m_selected[index] = selected;
}

// --- text area ---

TTextAreaFormControlObj::TTextAreaFormControlObj(ThtmlForm& form, std::string name, int rows, int cols)
    : TFormControlObj(FormControlKind::TextArea, form, std::move(name), std::string()),
      m_rows(rows > 0 ? rows : kDefaultRows),
      m_cols(cols > 0 ? cols : kDefaultCols) {}

void TTextAreaFormControlObj::SetInitialText(std::string text) {
  m_initial = std::move(text);
  m_text = m_initial;
}

std::vector<std::string> TTextAreaFormControlObj::Lines() const {
  std::vector<std::string> lines;
  std::size_t from = 0;
  const std::size_t n = m_text.size();
  while (from < n) {
    std::size_t end = m_text.find_first_of("\r\n", from);
    if (end == std::string::npos) end = n;
    lines.emplace_back(m_text, from, end - from);
    if (end < n && m_text[end] == '\r' && end + 1 < n && m_text[end + 1] == '\n') ++end;
    from = end + 1;
  }
  return lines;
}

void TTextAreaFormControlObj::AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger&) const {
  for (const std::string& line : Lines()) pairs.push_back(Pair(Name(), line));
}

bool TTextAreaFormControlObj::Reset() {
  const bool changed = m_text != m_initial;
  m_text = m_initial;
  return changed;
}

// --- form ---

ThtmlForm::ThtmlForm(TFormEvents& events, const std::string* method, std::string action, bool fromFormTag)
    : m_events(events),
      m_method(method ? method->substr(0, kMethodLength) : std::string("Get")),
      m_action(std::move(action)),
      m_fromFormTag(fromFormTag) {}

const TButtonFormControlObj* ThtmlForm::FirstSubmitButton() const {
  for (const auto& control : m_controls) {
    if (control->Kind() != FormControlKind::Button) continue;
    const auto& button = static_cast<const TButtonFormControlObj&>(*control);
    if (button.ButtonType() == ButtonKind::Submit) return &button;
  }
  return nullptr;
}

const TFormControlObj* ThtmlForm::FirstSubmitter() const {
  for (const auto& control : m_controls) {
    if (control->Kind() == FormControlKind::Image) return control.get();
    if (control->Kind() != FormControlKind::Button) continue;
    if (static_cast<const TButtonFormControlObj&>(*control).ButtonType() == ButtonKind::Submit)
      return control.get();
  }
  return nullptr;
}

std::vector<std::string> ThtmlForm::BuildSubmission(const TSubmitTrigger& trigger) const {
  std::vector<std::string> pairs;
  for (const auto& control : m_controls) {
    if (control->Name().empty() && control->Kind() != FormControlKind::Image) continue;
    control->AppendPairs(pairs, trigger);
  }
  std::erase_if(pairs, [](const std::string& p) { return p.empty(); });
  if (trigger.control && trigger.control->Kind() == FormControlKind::Button &&
      !trigger.control->Name().empty()) {
    pairs.push_back(Pair(trigger.control->Name(), trigger.control->Value()));
  }
  return pairs;
}

void ThtmlForm::Submit(const TSubmitTrigger& trigger) {
  m_events.FormSubmitted(*this, BuildSubmission(trigger));
}

void ThtmlForm::ResetControls() {
  for (const auto& control : m_controls) {
    if (control->Reset()) control->Changed();
  }
}

}  // namespace adw::engine
