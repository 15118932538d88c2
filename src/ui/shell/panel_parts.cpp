#include "ui/shell/panel_parts.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>

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

}  // namespace adw::ui
