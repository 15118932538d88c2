#include "ui/base/board_stats_view.h"

#include <QBrush>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <unordered_map>

#include "ui/base/board_list_widget.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// The row's own tooltip (its name and file), kept so the statistics are
// added to it rather than put in its place.
constexpr int kOwnTipRole = kBoardStatsRole + 1;

// Draws the row as usual and the figures right-aligned over its end.
class BoardStatsDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const QString text = index.data(kBoardStatsRole).toString();
    if (text.isEmpty()) return;
    painter->save();
    painter->setPen(option.palette.color(QPalette::Disabled, QPalette::Text));
    painter->drawText(option.rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter, text);
    painter->restore();
  }
};

}  // namespace

void ShowBoardStats(QListWidget* list, const std::vector<adw::engine::BoardStats>& stats) {
  std::unordered_map<std::string, const adw::engine::BoardStats*> byName;
  for (const auto& entry : stats) byName.emplace(entry.board, &entry);
  const auto rows = BoardRowsOf(list);
  for (int i = 0; i < list->count() && static_cast<std::size_t>(i) < rows.size(); ++i) {
    QListWidgetItem* item = list->item(i);
    if (!item->data(kOwnTipRole).isValid()) item->setData(kOwnTipRole, item->toolTip());
    const QString ownTip = item->data(kOwnTipRole).toString();
    const auto found = byName.find(rows[static_cast<std::size_t>(i)].name);
    if (found == byName.end()) {
      item->setToolTip(ownTip);
      item->setData(kBoardStatsRole, QVariant());
      item->setData(Qt::ForegroundRole, QVariant());
      continue;
    }
    const QString stats = ToQ(adw::engine::StatsTooltip(*found->second));
    item->setToolTip(ownTip.isEmpty() ? stats : ownTip + QStringLiteral("\n\n") + stats);
    item->setData(kBoardStatsRole, ToQ(adw::engine::StatsColumnText(*found->second)));
    if (found->second->failedLastThree) {
      item->setForeground(QBrush(Qt::red));
    } else {
      item->setData(Qt::ForegroundRole, QVariant());
    }
  }
}

void SetBoardStatsColumnVisible(QListWidget* list, bool visible) {
  if (visible == BoardStatsColumnVisible(list)) return;
  if (visible) {
    list->setItemDelegate(new BoardStatsDelegate(list));
  } else {
    QAbstractItemDelegate* old = list->itemDelegate();
    list->setItemDelegate(new QStyledItemDelegate(list));
    delete old;
  }
  list->viewport()->update();
}

bool BoardStatsColumnVisible(const QListWidget* list) {
  return dynamic_cast<const BoardStatsDelegate*>(list->itemDelegate()) != nullptr;
}

}  // namespace adw::ui
