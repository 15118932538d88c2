#include "ui/shell/panel_parts.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace adw::ui {

QLabel* MakeLabel(const QString& caption, QWidget* parent, const QString& name) {
  auto* label = new QLabel(caption, parent);
  if (!name.isEmpty()) label->setObjectName(name);
  return label;
}

QWidget* MakeBoxWithButton(QLineEdit* edit, QToolButton* button, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  edit->setParent(row);
  button->setParent(row);
  button->setText(QStringLiteral("…"));
  button->setFocusPolicy(Qt::TabFocus);
  layout->addWidget(edit, 1);
  layout->addWidget(button);
  return row;
}

QWidget* MakeScrollingPanel(QWidget* panel, const QString& scrollName) {
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(panel);
  scroll->setObjectName(scrollName);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  panelLayout->addWidget(scroll);
  auto* content = new QWidget;
  content->setObjectName(panel->objectName() + QStringLiteral("Content"));
  scroll->setWidget(content);
  return content;
}

void SetUpGrid(QTableView* grid, const QStringList& titles) {
  auto* model = new QStandardItemModel(0, static_cast<int>(titles.size()), grid);
  model->setHorizontalHeaderLabels(titles);
  grid->setModel(model);
  grid->verticalHeader()->hide();
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->horizontalHeader()->setHighlightSections(false);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
}

PanelButtons::PanelButtons(QWidget* panel, QAbstractButton* defaultButton, QAbstractButton* cancelButton)
    : QObject(panel), m_default(defaultButton), m_cancel(cancelButton) {
  panel->installEventFilter(this);
}

bool PanelButtons::eventFilter(QObject* watched, QEvent* event) {
  // Key presses reach the panel only when the control with the focus left
  // them unused, so a multi-line box keeps its Enter.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_default &&
        m_default->isEnabled() && m_default->isVisible()) {
      m_default->click();
      return true;
    }
    if (plain && key->key() == Qt::Key_Escape && m_cancel && m_cancel->isEnabled() && m_cancel->isVisible()) {
      m_cancel->click();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

MaskedBoxCursor::MaskedBoxCursor(QLineEdit* edit) : QObject(edit), m_edit(edit) {
  edit->installEventFilter(this);
}

int MaskedBoxCursor::FirstBlankPlace(const QString& displayText, const QString& inputMask) {
  const qsizetype separator = inputMask.lastIndexOf(QLatin1Char(';'));
  const QChar blank =
      (separator >= 0 && separator + 1 < inputMask.size()) ? inputMask.at(separator + 1) : QLatin1Char(' ');
  return static_cast<int>(displayText.indexOf(blank));
}

bool MaskedBoxCursor::eventFilter(QObject* watched, QEvent* event) {
  // The press has placed the cursor by the time the button is released.
  if (watched == m_edit && event->type() == QEvent::MouseButtonRelease && !m_edit->hasSelectedText()) {
    const int blank = FirstBlankPlace(m_edit->displayText(), m_edit->inputMask());
    if (blank >= 0 && m_edit->cursorPosition() > blank) m_edit->setCursorPosition(blank);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace adw::ui
