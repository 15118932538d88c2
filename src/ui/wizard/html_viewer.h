#pragma once
// THTMLViewer: shows a page loaded from a file, laid out from the engine's
// page model, with every form control of the page as a real widget in its
// place. It loads nothing over the network: a submission of a form is
// handed to OnFormSubmit with what the form model delivers, images are
// asked of OnImageRequest, and a click on a link goes nowhere.
//
// The text is painted, not made of widgets, and a control's widget is made
// only when its place comes near the visible part of the page, so a page of
// megabytes with thousands of controls opens quickly.
#include <QAbstractScrollArea>
#include <QImage>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/wizard/html/html_document.h"
#include "ui/wizard/html_layout.h"

namespace adw::ui {

class TFormWidgets;

class THTMLViewer : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // The form-submit event: the form's action and method texts and the
  // submission's pairs, which the handler keeps. Raised after the click or
  // key that started the submission has been handled.
  using FormSubmitEvent = std::function<void(THTMLViewer& sender, const std::string& action,
                                             const std::string& method, std::vector<std::string> results)>;
  // Asked for every image the page shows, with its source text; returns the
  // image's bytes, or nothing to have it drawn as missing (its alt text).
  using ImageRequestEvent =
      std::function<std::optional<std::string>(THTMLViewer& sender, const std::string& src)>;

  explicit THTMLViewer(QWidget* parent = nullptr);
  ~THTMLViewer() override;

  // Text typed into the page's form held characters that Windows-1251
  // lacks; they became "?".
  using TextReplacedEvent = std::function<void(THTMLViewer& sender, const std::vector<char32_t>& replaced)>;

  FormSubmitEvent OnFormSubmit;
  ImageRequestEvent OnImageRequest;
  TextReplacedEvent OnTextReplaced;

  // Loads the page file at path (Windows-1251 text) and shows it; a part
  // from "#" on names a position in the page. Throws engine::THtmlLoadError
  // ("Can't locate file: ..."), and then the shown page stays.
  void LoadFromFile(const std::string& path);
  // Shows a page given as text.
  void LoadFromString(std::string_view page);

  // The link the pointer was over at its last movement over the page (empty
  // when it was over no link), as the page writes it.
  const std::string& CurrentLinkURL() const { return m_currentLink; }
  // The HREF and TARGET of the page's base element; empty without one.
  const std::string& DocumentBase() const;
  const std::string& DocumentBaseTarget() const;

  // The page shown; null before the first load.
  adw::engine::THtmlDocument* Document() const { return m_doc.get(); }
  const THtmlLayout* Layout() const { return m_layout.get(); }
  // The size of the laid-out page.
  QSize DocumentSize() const;
  // Page coordinates to the viewport's and back.
  QPoint ToViewport(QPointF page) const;
  QPointF ToPage(QPoint viewport) const;
  // Where the first piece of text holding that (Windows-1251) text lies in
  // the page; nullopt when no single piece holds it.
  std::optional<QRectF> TextRect(std::string_view text) const;
  // The box of a control in the page; empty for a hidden one.
  QRectF ControlRect(const adw::engine::TFormControlObj& control) const;
  // Scrolls the control into view and returns its widget; null for a
  // hidden control.
  QWidget* ControlWidget(adw::engine::TFormControlObj& control);
  // The widget of a control when it has been made, else null.
  QWidget* ExistingWidget(const adw::engine::TFormControlObj& control) const;
  // How many control widgets exist now.
  std::size_t WidgetCount() const { return m_widgets.size(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void Install(std::unique_ptr<adw::engine::THtmlDocument> doc);
  void DropWidgets();
  void Relayout(bool force);
  void UpdateScrollBars();
  void PlaceControls();
  void UpdateLink(QPoint viewportPos);
  TBoxSize BoxSize(std::size_t item);
  const QImage* ImageOf(std::size_t item) const;
  QWidget* WidgetFor(adw::engine::TFormControlObj& control);
  adw::engine::TFormControlObj* ControlOfWidget(QWidget* widget) const;
  void EnsureVisible(const QRectF& box);

  std::unique_ptr<adw::engine::THtmlDocument> m_doc;
  TPageFonts m_fonts;
  std::unique_ptr<THtmlLayout> m_layout;
  std::unique_ptr<TFormWidgets> m_forms;
  qreal m_layoutWidth = -1;

  // Controls in page order with their layout items, for Tab and look-ups.
  std::vector<adw::engine::TFormControlObj*> m_order;
  std::unordered_map<const adw::engine::TFormControlObj*, std::size_t> m_itemOf;
  std::unordered_map<const adw::engine::TFormControlObj*, QWidget*> m_widgets;
  std::unordered_map<const QWidget*, adw::engine::TFormControlObj*> m_controlOf;
  std::vector<QWidget*> m_shown;
  std::unordered_map<std::size_t, TBoxSize> m_boxes;
  std::unordered_map<std::size_t, QImage> m_images;
  std::vector<std::uint32_t> m_scratch;

  std::string m_currentLink;
  bool m_overLink = false;
};

}  // namespace adw::ui
