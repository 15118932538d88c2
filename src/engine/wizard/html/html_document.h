#pragma once
// A page as the viewer shows it: a flat list of layout items in document
// order (text runs with their style, breaks, lists, tables, images and
// form controls), the page's forms, its links and its base element. The
// begin and end items of lists, tables, rows and cells always come in
// properly nested pairs, so the viewer can lay the list out recursively
// without checking the page's markup itself.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/wizard/html/html_form.h"

namespace adw::engine {

enum class LayoutKind : std::uint8_t {
  Text,        // text: a run of one style; never holds a line break
  LineBreak,   // br, or a line end inside pre: always starts a new line
  BlockBreak,  // the start of a block: a new line unless one was just begun
  Paragraph,   // as BlockBreak, with a blank line's space
  Rule,        // hr
  Image,       // text: src; alt; width and height
  Control,     // control: a visible form control at its place in the text
  Anchor,      // text: the name of an <a name=...> target
  ListBegin,   // number: 1 for a numbered list, 0 for bullets
  ListItem,    // number: the entry's number in a numbered list, else 0
  ListEnd,
  TableBegin,  // number: border width; width (pixels or percent)
  RowBegin,
  CellBegin,  // colSpan, rowSpan, width, header (th); style.align
  CellEnd,
  RowEnd,
  TableEnd,
};

enum class TextAlign : std::uint8_t { Left, Center, Right };

struct TTextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool monospace = false;     // tt, code, pre and the like
  bool preformatted = false;  // inside pre: blanks are kept as they are
  std::uint8_t heading = 0;   // 1..6 inside h1..h6
  std::uint8_t fontSize = 3;  // HTML font sizes 1..7
  TextAlign align = TextAlign::Left;
  std::uint32_t link = 0;  // index into Links(); 0: not a link
  bool operator==(const TTextStyle&) const = default;
};

struct TLayoutItem {
  LayoutKind kind = LayoutKind::Text;
  TTextStyle style;
  std::string text;
  std::string alt;
  int width = -1;  // -1: not given
  bool widthPercent = false;
  int height = -1;
  int number = 0;
  int colSpan = 1;
  int rowSpan = 1;
  bool header = false;
  TFormControlObj* control = nullptr;
};

// A page file that cannot be loaded: "Can't locate file: " and its name.
class THtmlLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class THtmlDocument final : private TFormEvents {
 public:
  // The form-submit event: the submitted form's action and method texts and
  // the submission's pairs, which the handler keeps.
  using FormSubmitHandler = std::function<void(const std::string& action, const std::string& method,
                                               std::vector<std::string> results)>;
  // Runs a task once the input event being handled is finished (the
  // viewer's message loop). Without one the event is raised at the end of
  // the operation that started the submission.
  using PostFunction = std::function<void(std::function<void()>)>;
  using ControlChangeHandler = std::function<void(TFormControlObj&)>;

  // Nesting deeper than this in lists and tables is laid out flat.
  static constexpr std::size_t kMaxNesting = 64;

  static std::unique_ptr<THtmlDocument> Parse(std::string_view page);
  // Loads a page file. A part of path from a "#" on names a position in the
  // page (Position()), unless the whole path names an existing file.
  // Throws THtmlLoadError.
  static std::unique_ptr<THtmlDocument> LoadFromFile(const std::string& path);

  ~THtmlDocument();
  THtmlDocument(const THtmlDocument&) = delete;
  THtmlDocument& operator=(const THtmlDocument&) = delete;

  const std::vector<TLayoutItem>& Items() const { return m_items; }
  const std::vector<std::unique_ptr<ThtmlForm>>& Forms() const { return m_forms; }
  // Links()[0] is empty; a text run's style.link indexes this list.
  const std::vector<std::string>& Links() const { return m_links; }
  const std::string& Link(std::uint32_t index) const { return m_links.at(index); }
  // The HREF and TARGET of the page's base element, empty without one.
  const std::string& DocumentBase() const { return m_base; }
  const std::string& DocumentBaseTarget() const { return m_baseTarget; }
  const std::string& Title() const { return m_title; }
  // The anchor name after "#" of the loaded path, empty when none.
  const std::string& Position() const { return m_position; }

  void SetOnFormSubmit(FormSubmitHandler handler);
  void SetPoster(PostFunction post);
  void SetOnControlChange(ControlChangeHandler handler) { m_onControlChange = std::move(handler); }

 private:
  friend class THtmlDocumentBuilder;
  struct SubmitRelay;
  THtmlDocument();

  void FormSubmitted(const ThtmlForm& form, std::vector<std::string> results) override;
  void ControlStateChanged(TFormControlObj& control) override;

  std::vector<TLayoutItem> m_items;
  std::vector<std::unique_ptr<ThtmlForm>> m_forms;
  std::vector<std::string> m_links;
  std::string m_base;
  std::string m_baseTarget;
  std::string m_title;
  std::string m_position;
  std::shared_ptr<SubmitRelay> m_relay;
  PostFunction m_post;
  ControlChangeHandler m_onControlChange;
};

}  // namespace adw::engine
