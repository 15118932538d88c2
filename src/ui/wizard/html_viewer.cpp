#include "ui/wizard/html_viewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "ui/text_convert.h"
#include "ui/wizard/form_widgets.h"

namespace adw::ui {

using adw::engine::FormControlKind;
using adw::engine::LayoutKind;
using adw::engine::TFormControlObj;
using adw::engine::THtmlDocument;

namespace {

// Widgets are made and placed a little beyond the visible part, so that
// scrolling does not show empty holes first.
constexpr int kPlaceMarginX = 200;
constexpr int kPlaceMarginY = 400;
constexpr int kScrollMargin = 10;

const std::string kNothing;

QRect Rounded(const QRectF& r) {
  return QRect(qRound(r.x()), qRound(r.y()), std::max(1, qRound(r.width())), std::max(1, qRound(r.height())));
}

}  // namespace

THTMLViewer::THTMLViewer(QWidget* parent) : QAbstractScrollArea(parent) {
  // The vertical bar is always there: one that came and went with the page
  // height would change the width and so the layout it depends on.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  QPalette page = viewport()->palette();
  page.setColor(QPalette::Base, Qt::white);
  page.setColor(QPalette::Text, Qt::black);
  viewport()->setPalette(page);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(20);
  horizontalScrollBar()->setSingleStep(20);
  m_forms = std::make_unique<TFormWidgets>(viewport());
  m_forms->OnTextReplaced = [this](const std::vector<char32_t>& replaced) {
    if (OnTextReplaced) OnTextReplaced(*this, replaced);
  };
}

THTMLViewer::~THTMLViewer() {
  // The widgets' handlers refer to the page's controls, which go first.
  DropWidgets();
}

void THTMLViewer::LoadFromFile(const std::string& path) {
  Install(THtmlDocument::LoadFromFile(path));
}

void THTMLViewer::LoadFromString(std::string_view page) {
  Install(THtmlDocument::Parse(page));
}

const std::string& THTMLViewer::DocumentBase() const {
  return m_doc ? m_doc->DocumentBase() : kNothing;
}

const std::string& THTMLViewer::DocumentBaseTarget() const {
  return m_doc ? m_doc->DocumentBaseTarget() : kNothing;
}

void THTMLViewer::DropWidgets() {
  for (auto& [control, widget] : m_widgets) {
    widget->disconnect();
    widget->hide();
    widget->deleteLater();
  }
  m_widgets.clear();
  m_controlOf.clear();
  m_shown.clear();
}

void THTMLViewer::Install(std::unique_ptr<THtmlDocument> doc) {
  DropWidgets();
  m_layout.reset();
  m_boxes.clear();
  m_images.clear();
  m_order.clear();
  m_itemOf.clear();
  m_currentLink.clear();
  m_doc = std::move(doc);

  // The event comes once the click or key that started the submission has
  // been handled; a viewer gone by then raises nothing.
  m_doc->SetPoster([this](std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
  });
  m_doc->SetOnFormSubmit(
      [this](const std::string& action, const std::string& method, std::vector<std::string> results) {
        if (OnFormSubmit) OnFormSubmit(*this, action, method, std::move(results));
      });
  m_doc->SetOnControlChange([this](TFormControlObj& control) {
    if (QWidget* widget = ExistingWidget(control)) m_forms->Sync(control, widget);
  });

  const auto& items = m_doc->Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto& item = items[i];
    const std::string* src = nullptr;
    if (item.kind == LayoutKind::Control) {
      m_order.push_back(item.control);
      m_itemOf.emplace(item.control, i);
      if (item.control->Kind() == FormControlKind::Image)
        src = &static_cast<const adw::engine::TImageFormControlObj*>(item.control)->Src();
    } else if (item.kind == LayoutKind::Image) {
      src = &item.text;
    }
    if (src && OnImageRequest) {
      if (const std::optional<std::string> bytes = OnImageRequest(*this, *src)) {
        QImage image;
        if (image.loadFromData(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()))))
          m_images.emplace(i, std::move(image));
      }
    }
  }

  m_layout =
      std::make_unique<THtmlLayout>(*m_doc, m_fonts, [this](std::size_t item) { return BoxSize(item); });
  Relayout(true);
  horizontalScrollBar()->setValue(0);
  int top = 0;
  if (!m_doc->Position().empty()) {
    if (const auto anchor = m_layout->AnchorTop(m_doc->Position())) top = static_cast<int>(*anchor);
  }
  verticalScrollBar()->setValue(top);
  PlaceControls();
  viewport()->update();
}

void THTMLViewer::Relayout(bool force) {
  if (!m_layout) {
    UpdateScrollBars();
    return;
  }
  const qreal width = viewport()->width();
  if (!force && width == m_layoutWidth) return;
  // Keep the reader where he was when the width changes.
  const int oldMax = verticalScrollBar()->maximum();
  const double place = oldMax > 0 ? static_cast<double>(verticalScrollBar()->value()) / oldMax : 0;
  m_layout->Run(width);
  m_layoutWidth = width;
  UpdateScrollBars();
  if (!force)
    verticalScrollBar()->setValue(static_cast<int>(std::lround(place * verticalScrollBar()->maximum())));
}

void THTMLViewer::UpdateScrollBars() {
  const QSize view = viewport()->size();
  const QSize page = DocumentSize();
  horizontalScrollBar()->setRange(0, std::max(0, page.width() - view.width()));
  horizontalScrollBar()->setPageStep(std::max(1, view.width()));
  verticalScrollBar()->setRange(0, std::max(0, page.height() - view.height()));
  verticalScrollBar()->setPageStep(std::max(1, view.height()));
}

QSize THTMLViewer::DocumentSize() const {
  if (!m_layout) return QSize();
  const QSizeF size = m_layout->Size();
  return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
}

QPoint THTMLViewer::ToViewport(QPointF page) const {
  return (page - QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value())).toPoint();
}

QPointF THTMLViewer::ToPage(QPoint viewport) const {
  return QPointF(viewport) + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

TBoxSize THTMLViewer::BoxSize(std::size_t item) {
  if (const auto it = m_boxes.find(item); it != m_boxes.end()) return it->second;
  const auto& layoutItem = m_doc->Items()[item];
  TBoxSize size;
  if (layoutItem.kind == LayoutKind::Control) {
    size = m_forms->Size(*layoutItem.control, ImageOf(item));
  } else {
    size = ImageBoxSize(layoutItem.width, layoutItem.height, ImageOf(item), layoutItem.alt,
                        m_fonts.Font(m_fonts.Index(layoutItem.style)));
  }
  m_boxes.emplace(item, size);
  return size;
}

const QImage* THTMLViewer::ImageOf(std::size_t item) const {
  const auto it = m_images.find(item);
  return it == m_images.end() ? nullptr : &it->second;
}

void THTMLViewer::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRect exposed = event->rect();
  painter.fillRect(exposed, viewport()->palette().color(QPalette::Base));
  if (!m_layout) return;
  const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
  painter.translate(-offset);
  m_layout->FragsIn(QRectF(exposed).translated(offset), m_scratch);
  const QColor textColor = viewport()->palette().color(QPalette::Text);
  const QColor linkColor(0, 0, 238);
  const auto& items = m_doc->Items();
  int font = -1;
  for (std::uint32_t index : m_scratch) {
    const TFrag& f = m_layout->Frag(index);
    switch (f.kind) {
      case FragKind::Text:
      case FragKind::Marker:
        if (f.font != font) {
          painter.setFont(m_fonts.Font(f.font).font);
          font = f.font;
        }
        painter.setPen(f.link != 0 ? linkColor : textColor);
        painter.drawText(QPointF(f.x, f.baseline), PageText(std::string_view(f.text, f.length)));
        break;
      case FragKind::Rule:
        painter.fillRect(QRectF(f.x, f.y, f.w, 1), QColor(150, 150, 150));
        painter.fillRect(QRectF(f.x, f.y + 1, f.w, 1), QColor(225, 225, 225));
        break;
      case FragKind::Box: {
        const qreal width = std::max<qreal>(1, f.length);
        painter.setPen(QPen(QColor(160, 160, 160), width));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(f.Rect().adjusted(width / 2, width / 2, -width / 2, -width / 2));
        break;
      }
      case FragKind::Image: {
        const auto& item = items[f.item];
        PaintImageBox(painter, f.Rect(), ImageOf(f.item), PageText(item.alt),
                      m_fonts.Font(m_fonts.Index(item.style)).font);
        font = -1;
        break;
      }
      case FragKind::Control:
      case FragKind::Anchor:
        break;
    }
  }
}

void THTMLViewer::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Relayout(false);
  UpdateScrollBars();
  PlaceControls();
}

void THTMLViewer::scrollContentsBy(int, int) {
  viewport()->update();
  PlaceControls();
}

QWidget* THTMLViewer::ExistingWidget(const TFormControlObj& control) const {
  const auto it = m_widgets.find(&control);
  return it == m_widgets.end() ? nullptr : it->second;
}

QWidget* THTMLViewer::WidgetFor(TFormControlObj& control) {
  if (QWidget* widget = ExistingWidget(control)) return widget;
  const auto item = m_itemOf.find(&control);
  if (item == m_itemOf.end()) return nullptr;
  QWidget* widget = m_forms->Make(control, ImageOf(item->second));
  if (!widget) return nullptr;
  m_widgets.emplace(&control, widget);
  m_controlOf.emplace(widget, &control);
  return widget;
}

TFormControlObj* THTMLViewer::ControlOfWidget(QWidget* widget) const {
  for (; widget && widget != viewport() && widget != this; widget = widget->parentWidget()) {
    if (const auto it = m_controlOf.find(widget); it != m_controlOf.end()) return it->second;
  }
  return nullptr;
}

void THTMLViewer::PlaceControls() {
  if (!m_layout) return;
  const QPointF offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const QRectF area(offset.x() - kPlaceMarginX, offset.y() - kPlaceMarginY,
                    viewport()->width() + 2 * kPlaceMarginX, viewport()->height() + 2 * kPlaceMarginY);
  m_layout->FragsIn(area, m_scratch);
  const auto& items = m_doc->Items();
  std::vector<QWidget*> now;
  const auto place = [&](TFormControlObj& control, const TFrag& frag) {
    QWidget* widget = WidgetFor(control);
    if (!widget) return;
    widget->setGeometry(Rounded(frag.Rect().translated(-offset)));
    now.push_back(widget);
  };
  for (std::uint32_t index : m_scratch) {
    const TFrag& f = m_layout->Frag(index);
    if (f.kind == FragKind::Control) place(*items[f.item].control, f);
  }
  // The control being typed into stays, even when scrolled far away.
  if (TFormControlObj* focused = ControlOfWidget(QApplication::focusWidget())) {
    QWidget* widget = ExistingWidget(*focused);
    if (std::find(now.begin(), now.end(), widget) == now.end()) {
      if (const auto frag = m_layout->FragOfItem(m_itemOf.at(focused)))
        place(*focused, m_layout->Frag(*frag));
    }
  }
  std::sort(now.begin(), now.end());
  for (QWidget* widget : m_shown) {
    if (!std::binary_search(now.begin(), now.end(), widget)) widget->hide();
  }
  for (QWidget* widget : now) {
    if (widget->isHidden()) widget->show();
  }
  m_shown = std::move(now);
}

void THTMLViewer::UpdateLink(QPoint viewportPos) {
  const std::uint32_t link = m_layout ? m_layout->LinkAt(ToPage(viewportPos)) : 0;
  m_currentLink = link != 0 ? m_doc->Link(link) : std::string();
  if ((link != 0) != m_overLink) {
    m_overLink = link != 0;
    viewport()->setCursor(m_overLink ? Qt::PointingHandCursor : Qt::ArrowCursor);
  }
}

void THTMLViewer::mouseMoveEvent(QMouseEvent* event) {
  UpdateLink(event->position().toPoint());
  QAbstractScrollArea::mouseMoveEvent(event);
}

void THTMLViewer::mousePressEvent(QMouseEvent* event) {
  UpdateLink(event->position().toPoint());
  setFocus(Qt::MouseFocusReason);
  QAbstractScrollArea::mousePressEvent(event);
}

void THTMLViewer::keyPressEvent(QKeyEvent* event) {
  // Enter in a control of the page belongs to the page (it may submit the
  // form); it must not reach the window around it as a default button.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && ControlOfWidget(QApplication::focusWidget())) {
    event->accept();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

bool THTMLViewer::focusNextPrevChild(bool next) {
  // Widgets are made as they come into view, so their order of making says
  // nothing; Tab follows the page's order instead.
  QWidget* focus = QApplication::focusWidget();
  TFormControlObj* current = ControlOfWidget(focus);
  std::ptrdiff_t index = -1;
  if (current) {
    index = std::find(m_order.begin(), m_order.end(), current) - m_order.begin();
  } else if (focus != this || !next) {
    return QAbstractScrollArea::focusNextPrevChild(next);
  }
  const std::ptrdiff_t step = next ? 1 : -1;
  for (std::ptrdiff_t i = index + step; i >= 0 && i < static_cast<std::ptrdiff_t>(m_order.size());
       i += step) {
    TFormControlObj* control = m_order[static_cast<std::size_t>(i)];
    if (control->IsHidden()) continue;
    if (QWidget* widget = ControlWidget(*control)) {
      widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return QAbstractScrollArea::focusNextPrevChild(next);
}

std::optional<QRectF> THTMLViewer::TextRect(std::string_view text) const {
  if (!m_layout) return std::nullopt;
  for (const TFrag& f : m_layout->Frags()) {
    if ((f.kind == FragKind::Text || f.kind == FragKind::Marker) &&
        std::string_view(f.text, f.length).find(text) != std::string_view::npos)
      return f.Rect();
  }
  return std::nullopt;
}

QRectF THTMLViewer::ControlRect(const TFormControlObj& control) const {
  const auto item = m_itemOf.find(&control);
  if (!m_layout || item == m_itemOf.end()) return QRectF();
  const auto frag = m_layout->FragOfItem(item->second);
  return frag ? m_layout->Frag(*frag).Rect() : QRectF();
}

void THTMLViewer::EnsureVisible(const QRectF& box) {
  const QSize view = viewport()->size();
  int x = horizontalScrollBar()->value();
  int y = verticalScrollBar()->value();
  if (box.top() < y + kScrollMargin) {
    y = static_cast<int>(box.top()) - kScrollMargin;
  } else if (box.bottom() > y + view.height() - kScrollMargin) {
    y = static_cast<int>(std::ceil(box.bottom())) - view.height() + kScrollMargin;
  }
  if (box.left() < x + kScrollMargin) {
    x = static_cast<int>(box.left()) - kScrollMargin;
  } else if (box.right() > x + view.width() - kScrollMargin) {
    x = static_cast<int>(std::ceil(box.right())) - view.width() + kScrollMargin;
  }
  horizontalScrollBar()->setValue(x);
  verticalScrollBar()->setValue(y);
}

QWidget* THTMLViewer::ControlWidget(TFormControlObj& control) {
  const QRectF box = ControlRect(control);
  if (box.isEmpty()) return nullptr;
  EnsureVisible(box);
  PlaceControls();
  QWidget* widget = WidgetFor(control);
  if (widget && widget->isHidden()) {
    // Only when the viewer is too small to hold the control in view.
    widget->setGeometry(
        Rounded(box.translated(-QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()))));
    widget->show();
    m_shown.insert(std::upper_bound(m_shown.begin(), m_shown.end(), widget), widget);
  }
  return widget;
}

}  // namespace adw::ui
