#include "ui/base/ad_list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTableView>

#include "engine/base/ad_editor.h"
#include "ui/base/record_grid.h"
#include "ui/base/record_set_model.h"

namespace adw::ui {

void AdListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  const auto* model = qobject_cast<const RecordSetModel*>(index.model());
  if (!model || model->Set().IsEmpty()) return;

  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // The background and selection as the view would draw them, without the
  // view's own text and check mark.
  item.text.clear();
  item.features &= ~QStyleOptionViewItem::HasCheckIndicator;
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  const int box = std::min({13, kTickStripWidth - 4, option.rect.height() - 2});
  QStyleOptionButton check;
  check.rect = QRect(option.rect.left() + (kTickStripWidth - box) / 2,
                     option.rect.top() + (option.rect.height() - box) / 2, box, box);
  check.state = QStyle::State_Enabled;
  check.state |= index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
  check.palette = option.palette;
  style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &check, painter, widget);

  const QRect textRect = option.rect.adjusted(kTickStripWidth, 0, -2, 0);
  const bool selected = option.state & QStyle::State_Selected;
  painter->save();
  painter->setFont(option.font);
  painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  const QString text =
      option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, textRect.width());
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
  painter->restore();
}

AdListTicker::AdListTicker(QTableView* view, RecordSetModel* model)
    : QObject(view), m_view(view), m_viewport(view->viewport()), m_model(model) {
  view->installEventFilter(this);
  m_viewport->installEventFilter(this);
}

void AdListTicker::Toggle() {
  if (!m_model) return;
  adw::engine::ToggleCurrentTick(m_model->Set());
  m_view->viewport()->update();
}

bool AdListTicker::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_view && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      Toggle();
      return true;
    }
    return false;
  }
  // Compared, not asked: the filter also sees the events of the view's own
  // destruction, when it can no longer answer.
  if (watched != m_viewport) return false;
  if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint pos = mouse->position().toPoint();
  const QModelIndex index = m_view->indexAt(pos);
  // Presses beside the ads (below the last row) name no ad, so they flip
  // nothing rather than the tick of whichever ad happens to be current.
  if (mouse->button() != Qt::LeftButton || !index.isValid()) return false;
  const bool onTickStrip = pos.x() >= 0 && pos.x() <= kTickStripWidth;
  if (event->type() == QEvent::MouseButtonPress) {
    if (onTickStrip) {
      // The pressed ad becomes current first, so the tick lands on it.
      m_view->setCurrentIndex(index);
      Toggle();
    }
  } else if (!onTickStrip) {
    m_view->setCurrentIndex(index);
    Toggle();
  }
  // A double click on the tick strip is a second press on the box and a
  // double click at once; the two flips cancel, so the whole gesture flips
  // the tick once, as everywhere else in the row.
  return false;
}

void AttachAdList(QTableView* view, RecordSetModel* model) {
  model->SetCheckField("STAT");
  ShowRecordSet(view, model);
  view->setItemDelegate(new AdListDelegate(view));
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setShowGrid(false);
  view->verticalHeader()->hide();
  view->horizontalHeader()->show();
  view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  view->setTabKeyNavigation(false);
  new AdListTicker(view, model);
}

}  // namespace adw::ui
