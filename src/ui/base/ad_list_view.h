#pragma once
// The ad list DBGridMessage: one column NAME, each cell painted with a
// tick box in its left 20 pixels (ticked when the ad's STAT is not 0) and
// the ad's subject after it. Space, a double click on an ad and a press
// on an ad within the left 20 pixels flip the current ad's tick.
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>

class QTableView;

namespace adw::ui {

class RecordSetModel;

// Width of the tick box strip at the left of every cell.
inline constexpr int kTickStripWidth = 20;

class AdListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Watches the view's keys and mouse presses and flips ticks through the
// engine.
class AdListTicker : public QObject {
  Q_OBJECT

 public:
  AdListTicker(QTableView* view, RecordSetModel* model);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Toggle();
  QTableView* m_view;
  QWidget* m_viewport;
  QPointer<RecordSetModel> m_model;
};

// Makes a plain table view the ad list over the ads record set: model,
// current-record binding, painting, tick keys and presses, and the look of
// the grid (read-only, titles, no grid lines, no row indicator).
void AttachAdList(QTableView* view, RecordSetModel* model);

}  // namespace adw::ui
