#pragma once
// The form model of the page viewer: the forms of a page, their controls
// with their current state, what each control contributes to a submission
// and when a submission starts. The viewer widget mirrors the controls'
// state into its widgets and forwards the user's input to the operations
// here (SetText, Click, PressEnter, ...); everything else happens in this
// model. Texts are Windows-1251 bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace adw::engine {

class ThtmlForm;
class TFormControlObj;

enum class FormControlKind : std::uint8_t {
  Edit,      // TEditFormControlObj
  Hidden,    // THiddenFormControlObj
  CheckBox,  // TCheckBoxFormControlObj
  Radio,     // TRadioButtonFormControlObj
  Button,    // TButtonFormControlObj
  Image,     // TImageFormControlObj
  Combo,     // TComboFormControlObj
  ListBox,   // TListBoxFormControlObj
  TextArea,  // TTextAreaFormControlObj
};

// What started a submission: a submit button, an image input (with the
// click's position in the image), or nothing (the Enter key in a form with
// one visible control).
struct TSubmitTrigger {
  const TFormControlObj* control = nullptr;
  int x = 0;
  int y = 0;
};

// Where a form reports what happens to it; the page document implements it.
class TFormEvents {
 public:
  virtual void FormSubmitted(const ThtmlForm& form, std::vector<std::string> results) = 0;
  // A control's state was changed by the model itself (a reset, a radio
  // button of the same group being checked), not by the control's own
  // setter, so the widget showing it must be refreshed.
  virtual void ControlStateChanged(TFormControlObj& control) = 0;

 protected:
  ~TFormEvents() = default;
};

class TFormControlObj {
 public:
  virtual ~TFormControlObj() = default;
  TFormControlObj(const TFormControlObj&) = delete;
  TFormControlObj& operator=(const TFormControlObj&) = delete;

  FormControlKind Kind() const { return m_kind; }
  // The NAME and VALUE attributes, empty when absent.
  const std::string& Name() const { return m_name; }
  const std::string& Value() const { return m_value; }
  ThtmlForm& Form() const { return *m_form; }
  bool IsHidden() const { return m_kind == FormControlKind::Hidden; }
  // The page's text right after the control's tag, up to the next tag
  // (references decoded, not trimmed): what a check box or radio button is
  // labelled with.
  const std::string& FollowingText() const { return m_followingText; }
  void SetFollowingText(std::string text) { m_followingText = std::move(text); }

  // Appends the pairs ("name=value") this control contributes to a
  // submission started by trigger, in order.
  virtual void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const = 0;
  // Back to the state the page gave it; true when the state changed.
  virtual bool Reset() = 0;

 protected:
  TFormControlObj(FormControlKind kind, ThtmlForm& form, std::string name, std::string value);
  void Changed();  // reports a model-made change to the form's events

  std::string m_value;

 private:
  friend class ThtmlForm;
  FormControlKind m_kind;
  ThtmlForm* m_form;
  std::string m_name;
  std::string m_followingText;
};

// input type="text", "password", any type not named below, or no type.
class TEditFormControlObj final : public TFormControlObj {
 public:
  static constexpr int kDefaultSize = 20;
  TEditFormControlObj(ThtmlForm& form, std::string name, std::string value, bool password, int size,
                      int maxLength);
  bool IsPassword() const { return m_password; }  // shown as "*"
  int Size() const { return m_size; }             // width in characters
  int MaxLength() const { return m_maxLength; }   // 0: no limit
  const std::string& Text() const { return m_text; }
  // Line breaks are dropped; cut to MaxLength characters when one is given.
  void SetText(std::string_view text);
  // The Enter key: submits the form when it has exactly one visible
  // control. True when a submission started.
  bool PressEnter();

  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override;

 private:
  bool m_password;
  int m_size;
  int m_maxLength;
  std::string m_text;
};

class THiddenFormControlObj final : public TFormControlObj {
 public:
  THiddenFormControlObj(ThtmlForm& form, std::string name, std::string value);
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override { return false; }
};

class TCheckBoxFormControlObj final : public TFormControlObj {
 public:
  // value: "On" when the page gives no VALUE.
  TCheckBoxFormControlObj(ThtmlForm& form, std::string name, std::string value, bool checked);
  bool Checked() const { return m_checked; }
  void SetChecked(bool checked) { m_checked = checked; }
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override;

 private:
  bool m_initial;
  bool m_checked;
};

class TRadioButtonFormControlObj final : public TFormControlObj {
 public:
  TRadioButtonFormControlObj(ThtmlForm& form, std::string name, std::string value, bool checked);
  bool Checked() const { return m_checked; }
  // Checks this button and unchecks every other radio button of the form
  // whose name is equal without regard to case; a button without a name
  // unchecks no other.
  void Click();
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override;

 private:
  friend class ThtmlForm;
  bool m_initial;
  bool m_checked;
};

enum class ButtonKind : std::uint8_t { Submit, Reset, Plain };

// input type="submit", "reset" or "button", and the button element. An
// input without a VALUE is captioned "Submit", "Reset" or "Button", and
// that caption is its value. A button element submits its VALUE as
// written (empty when absent) and is captioned with its content.
class TButtonFormControlObj final : public TFormControlObj {
 public:
  TButtonFormControlObj(ThtmlForm& form, std::string name, std::string value, ButtonKind kind);
  // The button element; its caption comes with SetCaption once its content
  // has been read.
  struct Element {};
  TButtonFormControlObj(ThtmlForm& form, std::string name, std::string value, ButtonKind kind, Element);
  ButtonKind ButtonType() const { return m_buttonKind; }
  const std::string& Caption() const { return m_caption; }
  // Building only. A caption that is blank (a button showing only an
  // image) becomes the value, else the input's default caption, so the
  // button can still be seen and clicked.
  void SetCaption(std::string_view caption);
  // Submit: starts a submission; Reset: resets the form; Plain: nothing.
  void Click();
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override { return false; }

 private:
  ButtonKind m_buttonKind;
  std::string m_caption;
};

class TImageFormControlObj final : public TFormControlObj {
 public:
  TImageFormControlObj(ThtmlForm& form, std::string name, std::string value, std::string src, std::string alt,
                       int width, int height);
  const std::string& Src() const { return m_src; }
  const std::string& Alt() const { return m_alt; }
  int Width() const { return m_width; }    // -1 when the page gives none
  int Height() const { return m_height; }  // -1 when the page gives none
  // What stands in the image's place while it is not shown: the ALT text,
  // else the VALUE, else "Submit".
  std::string Caption() const;
  // A click submits the form like a submit button, at the position 0, 0: a
  // captured body must not depend on where the pointer happened to be.
  void Click();
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override { return false; }

 private:
  std::string m_src;
  std::string m_alt;
  int m_width;
  int m_height;
};

// An entry of a list control. Text and value are kept whole: a board knows
// its entries by the exact value, and a cut one names no entry.
struct TOptionObj {
  static constexpr std::size_t kMaxDisplayLength = 80;
  std::string Text;       // trimmed, never empty
  std::string Value;      // the VALUE attribute; empty when absent
  bool Selected = false;  // marked SELECTED in the page
  // What the entry submits: its value, or its text when the value is empty.
  const std::string& Submitted() const { return Value.empty() ? Text : Value; }
  // What the list shows: the text, at most 80 characters.
  std::string_view DisplayText() const { return std::string_view(Text).substr(0, kMaxDisplayLength); }
};

// What the two list controls share: the options and which are selected.
class TOptionListFormControlObj : public TFormControlObj {
 public:
  const std::vector<TOptionObj>& Options() const { return m_options; }
  bool IsSelected(std::size_t index) const { return m_selected.at(index); }
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override;

  // Building only: the page's parser adds the options, then closes the list.
  void AddOption(TOptionObj option);
  virtual void Finish() = 0;

 protected:
  using TFormControlObj::TFormControlObj;
  // The last option marked SELECTED, else the first; npos without options.
  std::size_t LastMarkedOrFirst() const;

  std::vector<TOptionObj> m_options;
  std::vector<bool> m_selected;
  std::vector<bool> m_initial;
};

// select without MULTIPLE and with SIZE absent or at most 1.
class TComboFormControlObj final : public TOptionListFormControlObj {
 public:
  TComboFormControlObj(ThtmlForm& form, std::string name);
  // The selected entry; npos when the list has no options.
  std::size_t SelectedIndex() const;
  void SetSelectedIndex(std::size_t index);  // throws std::out_of_range
  void Finish() override;
};

// select with MULTIPLE, or with SIZE greater than 1.
class TListBoxFormControlObj final : public TOptionListFormControlObj {
 public:
  // size: the SIZE attribute, 0 when absent.
  TListBoxFormControlObj(ThtmlForm& form, std::string name, bool multiple, int size);
  bool Multiple() const { return m_multiple; }
  // Rows shown: SIZE, or the number of options between 1 and 8.
  int Rows() const { return m_rows; }
  // In a single-choice list selecting an entry deselects the others.
  void SetSelected(std::size_t index, bool selected);  // throws std::out_of_range
  void Finish() override;

 private:
  bool m_multiple;
  int m_size;
  int m_rows = 1;
};

class TTextAreaFormControlObj final : public TFormControlObj {
 public:
  static constexpr int kDefaultRows = 5;
  static constexpr int kDefaultCols = 30;
  TTextAreaFormControlObj(ThtmlForm& form, std::string name, int rows, int cols);
  int Rows() const { return m_rows; }
  int Cols() const { return m_cols; }
  // The text, lines separated by LF (CR LF and CR as typed are kept).
  const std::string& Text() const { return m_text; }
  void SetText(std::string_view text) { m_text.assign(text); }
  // The lines as entered: a line break at the very end starts no line.
  std::vector<std::string> Lines() const;
  void AppendPairs(std::vector<std::string>& pairs, const TSubmitTrigger& trigger) const override;
  bool Reset() override;

  // Building only: the element's content.
  void SetInitialText(std::string text);

 private:
  int m_rows;
  int m_cols;
  std::string m_initial;
  std::string m_text;
};

class ThtmlForm {
 public:
  static constexpr std::size_t kMethodLength = 4;

  // method: the METHOD attribute, or nullptr when absent ("Get");
  // fromFormTag: false for the form that gathers controls outside any form.
  ThtmlForm(TFormEvents& events, const std::string* method, std::string action, bool fromFormTag = true);
  ThtmlForm(const ThtmlForm&) = delete;
  ThtmlForm& operator=(const ThtmlForm&) = delete;

  const std::string& Method() const { return m_method; }
  const std::string& Action() const { return m_action; }
  const std::vector<std::unique_ptr<TFormControlObj>>& Controls() const { return m_controls; }
  std::size_t VisibleControlCount() const { return m_visible; }
  bool FromFormTag() const { return m_fromFormTag; }
  // The first submit button, null when the form has none.
  const TButtonFormControlObj* FirstSubmitButton() const;
  // The first control that submits the form when clicked (a submit button
  // or an image input), null when the form has none.
  const TFormControlObj* FirstSubmitter() const;

  // The pairs a submission started by trigger delivers, in order. A
  // control without a name contributes nothing, as in a browser; an image
  // input still gives its "x=" and "y=".
  std::vector<std::string> BuildSubmission(const TSubmitTrigger& trigger) const;
  // Builds the submission and hands it to the events.
  void Submit(const TSubmitTrigger& trigger);
  // Every control back to its initial state.
  void ResetControls();

  // Building only: the control joins the form, in document order.
  template <typename T, typename... Args>
  T& Add(Args&&... args) {
    auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T& ref = *control;
    if (!ref.IsHidden()) ++m_visible;
    if constexpr (std::is_same_v<T, TRadioButtonFormControlObj>) m_radios.push_back(&ref);
    m_controls.push_back(std::move(control));
    return ref;
  }

 private:
  friend class TFormControlObj;
  friend class TRadioButtonFormControlObj;
  TFormEvents& m_events;
  std::string m_method;
  std::string m_action;
  std::vector<std::unique_ptr<TFormControlObj>> m_controls;
  std::vector<TRadioButtonFormControlObj*> m_radios;
  std::size_t m_visible = 0;
  bool m_fromFormTag;
};

}  // namespace adw::engine
