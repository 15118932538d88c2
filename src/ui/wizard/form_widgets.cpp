#include "ui/wizard/form_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <functional>

#include "ui/text_convert.h"

namespace adw::ui {

using adw::engine::FormControlKind;
using adw::engine::TButtonFormControlObj;
using adw::engine::TCheckBoxFormControlObj;
using adw::engine::TComboFormControlObj;
using adw::engine::TEditFormControlObj;
using adw::engine::TFormControlObj;
using adw::engine::TImageFormControlObj;
using adw::engine::TListBoxFormControlObj;
using adw::engine::TOptionListFormControlObj;
using adw::engine::TRadioButtonFormControlObj;
using adw::engine::TTextAreaFormControlObj;

namespace {

// A page may ask for any size; a box wider or taller than this helps nobody
// and a million-character edit would make the page unusable.
constexpr int kMaxChars = 200;
constexpr int kMaxRows = 100;
constexpr qreal kMaxImageSide = 4000;

// The text of a text area as the widget shows it: it knows only LF.
QString AreaText(const std::string& cp1251) {
  QString text = ToQ(cp1251);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

// An image input: the image, or its box with the alt text, clickable.
class TImageInput final : public QWidget {
 public:
  TImageInput(QWidget* parent, const QImage* image, QString alt, std::function<void(int, int)> click)
      : QWidget(parent), m_alt(std::move(alt)), m_click(std::move(click)) {
    if (image) m_image = *image;
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    PaintImageBox(painter, QRectF(rect()), m_image.isNull() ? nullptr : &m_image, m_alt, font());
    if (hasFocus()) {
      painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
      painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
  }
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && rect().contains(at)) m_click(at.x(), at.y());
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Space) {
      m_click(0, 0);
      return;
    }
    QWidget::keyPressEvent(event);
  }

 private:
  QImage m_image;
  QString m_alt;
  std::function<void(int, int)> m_click;
};

}  // namespace

void PaintImageBox(QPainter& painter, const QRectF& box, const QImage* image, const QString& alt,
                   const QFont& font) {
  if (image && !image->isNull()) {
    painter.drawImage(box, *image);
    return;
  }
  painter.save();
  painter.setPen(QColor(160, 160, 160));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
  if (!alt.isEmpty() && box.width() > 6) {
    painter.setFont(font);
    painter.setPen(QColor(80, 80, 80));
    const QRectF inner = box.adjusted(3, 1, -3, -1);
    const QString shown = QFontMetricsF(font).elidedText(alt, Qt::ElideRight, inner.width());
    painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  }
  painter.restore();
}

TBoxSize ImageBoxSize(int width, int height, const QImage* image, std::string_view alt,
                      const TPageFont& font) {
  qreal w = width > 0 ? std::min<qreal>(width, kMaxImageSide) : -1;
  qreal h = height > 0 ? std::min<qreal>(height, kMaxImageSide) : -1;
  if (image && !image->isNull()) {
    const qreal iw = image->width();
    const qreal ih = image->height();
    if (w < 0 && h < 0) {
      w = iw;
      h = ih;
    } else if (w < 0) {
      w = iw * h / ih;
    } else if (h < 0) {
      h = ih * w / iw;
    }
  } else {
    if (w < 0) w = alt.empty() ? 16 : std::ceil(font.Width(alt)) + 8;
    if (h < 0) h = alt.empty() ? 16 : std::ceil(font.lineSpacing) + 4;
  }
  TBoxSize size;
  size.w = std::clamp<qreal>(std::round(w), 1, kMaxImageSide);
  size.h = std::clamp<qreal>(std::round(h), 1, kMaxImageSide);
  size.baseline = size.h;
  return size;
}

struct TFormWidgets::Metrics {
  std::unique_ptr<TPageFont> font;
  qreal avgChar = 7;
  int editH = 22;
  int editPad = 8;
  int comboH = 22;
  int comboPad = 30;
  int buttonH = 24;
  int buttonPad = 16;
  QSize check{16, 16};
  QSize radio{16, 16};
  int rowH = 18;
  int listFrame = 4;
  int scrollW = 16;
  int lineH = 16;
  int textPad = 14;

  int TextBaseline(int h) const {
    return static_cast<int>(std::lround((h + font->ascent - font->descent) / 2));
  }
};

TFormWidgets::TFormWidgets(QWidget* host) : m_host(host), m_metrics(std::make_unique<Metrics>()) {
  // The sizes come from widgets of each kind made once, in the host's font
  // and style, so the boxes fit the widgets that later fill them.
  Metrics& m = *m_metrics;
  const QFont font = host->font();
  m.font = TPageFonts::Make(font);
  const QFontMetricsF fm(font);
  m.avgChar = fm.averageCharWidth();
  {
    QLineEdit edit;
    edit.setFont(font);
    const QSize hint = edit.sizeHint();
    m.editH = hint.height();
    m.editPad = std::max(
        4, hint.width() - static_cast<int>(std::lround(fm.horizontalAdvance(QLatin1Char('x')) * 17)));
  }
  {
    QComboBox combo;
    combo.setFont(font);
    combo.addItem(QStringLiteral("X"));
    const QSize hint = combo.sizeHint();
    m.comboH = hint.height();
    m.comboPad =
        std::max(16, hint.width() - static_cast<int>(std::ceil(fm.horizontalAdvance(QStringLiteral("X")))));
  }
  {
    const QString sample(20, QLatin1Char('X'));
    QPushButton button(sample);
    button.setFont(font);
    const QSize hint = button.sizeHint();
    m.buttonH = hint.height();
    m.buttonPad = std::max(8, hint.width() - static_cast<int>(std::ceil(fm.horizontalAdvance(sample))));
  }
  {
    QCheckBox check;
    m.check = check.sizeHint().expandedTo(QSize(13, 13));
    QRadioButton radio;
    m.radio = radio.sizeHint().expandedTo(QSize(13, 13));
  }
  {
    QListWidget list;
    list.setFont(font);
    list.addItem(QStringLiteral("X"));
    const int row = list.sizeHintForRow(0);
    m.rowH = row > 0 ? row : static_cast<int>(std::ceil(fm.height())) + 2;
    m.listFrame = 2 * list.frameWidth();
    m.scrollW = list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &list);
  }
  {
    QPlainTextEdit area;
    area.setFont(font);
    m.lineH = static_cast<int>(std::ceil(fm.lineSpacing()));
    m.textPad =
        2 * area.frameWidth() + 2 * static_cast<int>(std::ceil(area.document()->documentMargin())) + 2;
  }
}

TFormWidgets::~TFormWidgets() = default;

TBoxSize TFormWidgets::Size(const TFormControlObj& control, const QImage* image) const {
  const Metrics& m = *m_metrics;
  const auto optionsWidth = [&m](const TOptionListFormControlObj& list) {
    qreal widest = 0;
    for (const auto& option : list.Options()) widest = std::max(widest, m.font->Width(option.DisplayText()));
    return static_cast<int>(std::ceil(widest));
  };
  TBoxSize size;
  switch (control.Kind()) {
    case FormControlKind::Edit: {
      const auto& edit = static_cast<const TEditFormControlObj&>(control);
      size.w = std::ceil(std::clamp(edit.Size(), 1, kMaxChars) * m.avgChar) + m.editPad;
      size.h = m.editH;
      size.baseline = m.TextBaseline(m.editH);
      break;
    }
    case FormControlKind::CheckBox:
    case FormControlKind::Radio: {
      const QSize box = control.Kind() == FormControlKind::CheckBox ? m.check : m.radio;
      size.w = box.width();
      size.h = box.height();
      size.baseline = std::max(1, box.height() - 3);
      break;
    }
    case FormControlKind::Button: {
      const auto& button = static_cast<const TButtonFormControlObj&>(control);
      size.w = std::ceil(m.font->Width(button.Caption())) + m.buttonPad;
      size.h = m.buttonH;
      size.baseline = m.TextBaseline(m.buttonH);
      break;
    }
    case FormControlKind::Image: {
      const auto& input = static_cast<const TImageFormControlObj&>(control);
      size = ImageBoxSize(input.Width(), input.Height(), image, input.Caption(), *m.font);
      break;
    }
    case FormControlKind::Combo: {
      const auto& combo = static_cast<const TComboFormControlObj&>(control);
      size.w = std::max(optionsWidth(combo), 12) + m.comboPad;
      size.h = m.comboH;
      size.baseline = m.TextBaseline(m.comboH);
      break;
    }
    case FormControlKind::ListBox: {
      const auto& list = static_cast<const TListBoxFormControlObj&>(control);
      size.w = std::max(optionsWidth(list), 12) + m.scrollW + m.listFrame + 10;
      size.h = std::clamp(list.Rows(), 1, kMaxRows) * m.rowH + m.listFrame;
      size.baseline = size.h - 4;
      break;
    }
    case FormControlKind::TextArea: {
      const auto& area = static_cast<const TTextAreaFormControlObj&>(control);
      size.w = std::ceil(std::clamp(area.Cols(), 1, kMaxChars) * m.avgChar) + m.scrollW + m.textPad;
      size.h = std::clamp(area.Rows(), 1, kMaxRows) * m.lineH + m.textPad;
      size.baseline = size.h - 4;
      break;
    }
    case FormControlKind::Hidden:
      break;
  }
  return size;
}

QWidget* TFormWidgets::Make(TFormControlObj& control, const QImage* image) {
  QWidget* widget = nullptr;
  switch (control.Kind()) {
    case FormControlKind::Edit: {
      auto& edit = static_cast<TEditFormControlObj&>(control);
      auto* box = new QLineEdit(m_host);
      if (edit.IsPassword()) box->setEchoMode(QLineEdit::Password);
      if (edit.MaxLength() > 0) box->setMaxLength(edit.MaxLength());
      QObject::connect(box, &QLineEdit::textEdited, box, [this, &edit, box](const QString& text) {
        std::vector<char32_t> replaced;
        edit.SetText(FromQ(text, replaced));
        if (!replaced.empty() && OnTextReplaced) OnTextReplaced(replaced);
        // The model drops line breaks a paste may bring; show what it kept.
        if (ToQ(edit.Text()) != text) Sync(edit, box);
      });
      QObject::connect(box, &QLineEdit::returnPressed, box, [&edit] { edit.PressEnter(); });
      widget = box;
      break;
    }
    case FormControlKind::CheckBox: {
      auto& check = static_cast<TCheckBoxFormControlObj&>(control);
      auto* box = new QCheckBox(m_host);
      QObject::connect(box, &QCheckBox::clicked, box, [&check](bool checked) { check.SetChecked(checked); });
      widget = box;
      break;
    }
    case FormControlKind::Radio: {
      auto& radio = static_cast<TRadioButtonFormControlObj&>(control);
      auto* box = new QRadioButton(m_host);
      // The group rule is the form model's (names compared without regard
      // to case, within one form); Qt's own grouping would be another rule.
      box->setAutoExclusive(false);
      QObject::connect(box, &QRadioButton::clicked, box, [this, &radio, box] {
        radio.Click();
        Sync(radio, box);
      });
      widget = box;
      break;
    }
    case FormControlKind::Button: {
      auto& button = static_cast<TButtonFormControlObj&>(control);
      auto* box = new QPushButton(ToQ(button.Caption()), m_host);
      box->setAutoDefault(false);
      QObject::connect(box, &QPushButton::clicked, box, [&button] { button.Click(); });
      widget = box;
      break;
    }
    case FormControlKind::Image: {
      auto& input = static_cast<TImageFormControlObj&>(control);
      widget = new TImageInput(m_host, image, ToQ(input.Caption()), [&input](int, int) { input.Click(); });
      break;
    }
    case FormControlKind::Combo: {
      auto& combo = static_cast<TComboFormControlObj&>(control);
      auto* box = new QComboBox(m_host);
      QStringList texts;
      texts.reserve(static_cast<qsizetype>(combo.Options().size()));
      for (const auto& option : combo.Options()) texts << ToQ(option.DisplayText());
      box->addItems(texts);
      QObject::connect(box, &QComboBox::currentIndexChanged, box, [this, &combo](int index) {
        if (m_syncing || index < 0) return;
        combo.SetSelectedIndex(static_cast<std::size_t>(index));
      });
      widget = box;
      break;
    }
    case FormControlKind::ListBox: {
      auto& list = static_cast<TListBoxFormControlObj&>(control);
      auto* box = new QListWidget(m_host);
      box->setSelectionMode(list.Multiple() ? QAbstractItemView::MultiSelection
                                            : QAbstractItemView::SingleSelection);
      for (const auto& option : list.Options()) box->addItem(ToQ(option.DisplayText()));
      QObject::connect(box, &QListWidget::itemSelectionChanged, box, [this, &list, box] {
        if (m_syncing) return;
        for (int row = 0; row < box->count(); ++row) {
          const bool selected = box->item(row)->isSelected();
          if (selected != list.IsSelected(static_cast<std::size_t>(row)))
            list.SetSelected(static_cast<std::size_t>(row), selected);
        }
        Sync(list, box);
      });
      widget = box;
      break;
    }
    case FormControlKind::TextArea: {
      auto& area = static_cast<TTextAreaFormControlObj&>(control);
      auto* box = new QPlainTextEdit(m_host);
      box->setTabChangesFocus(true);
      box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      QObject::connect(box, &QPlainTextEdit::textChanged, box, [this, &area, box] {
        if (m_syncing) return;
        std::vector<char32_t> replaced;
        area.SetText(FromQ(box->toPlainText(), replaced));
        if (!replaced.empty() && OnTextReplaced) OnTextReplaced(replaced);
      });
      widget = box;
      break;
    }
    case FormControlKind::Hidden:
      return nullptr;
  }
  widget->hide();
  Sync(control, widget);
  return widget;
}

void TFormWidgets::Sync(const TFormControlObj& control, QWidget* widget) {
  if (!widget) return;
  const bool outer = m_syncing;
  m_syncing = true;
  switch (control.Kind()) {
    case FormControlKind::Edit: {
      const QString text = ToQ(static_cast<const TEditFormControlObj&>(control).Text());
      auto* box = static_cast<QLineEdit*>(widget);
      if (box->text() != text) box->setText(text);
      break;
    }
    case FormControlKind::CheckBox:
      static_cast<QCheckBox*>(widget)->setChecked(
          static_cast<const TCheckBoxFormControlObj&>(control).Checked());
      break;
    case FormControlKind::Radio:
      static_cast<QRadioButton*>(widget)->setChecked(
          static_cast<const TRadioButtonFormControlObj&>(control).Checked());
      break;
    case FormControlKind::Combo: {
      const std::size_t index = static_cast<const TComboFormControlObj&>(control).SelectedIndex();
      static_cast<QComboBox*>(widget)->setCurrentIndex(index == std::string::npos ? -1
                                                                                  : static_cast<int>(index));
      break;
    }
    case FormControlKind::ListBox: {
      const auto& list = static_cast<const TListBoxFormControlObj&>(control);
      auto* box = static_cast<QListWidget*>(widget);
      for (int row = 0; row < box->count(); ++row) {
        const bool selected = list.IsSelected(static_cast<std::size_t>(row));
        if (box->item(row)->isSelected() != selected) box->item(row)->setSelected(selected);
      }
      break;
    }
    case FormControlKind::TextArea: {
      const auto& area = static_cast<const TTextAreaFormControlObj&>(control);
      auto* box = static_cast<QPlainTextEdit*>(widget);
      if (FromQ(box->toPlainText()) != area.Text()) box->setPlainText(AreaText(area.Text()));
      break;
    }
    case FormControlKind::Button:
    case FormControlKind::Image:
    case FormControlKind::Hidden:
      break;
  }
  m_syncing = outer;
}

}  // namespace adw::ui
