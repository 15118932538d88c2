#include "ui/base/board_list_widget.h"

#include <QListWidget>

#include "engine/base/kept_ticks.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// The board file a row came from, kept for messages.
constexpr int kFileNameRole = Qt::UserRole + 1;
// A row's name in cp1251 exactly as the board file holds it: a name with
// characters that have no Unicode counterpart must still find its file.
constexpr int kNameRole = Qt::UserRole + 2;
// The name folded for the filter once, not at every keystroke.
constexpr int kFoldedRole = Qt::UserRole + 3;

QListWidgetItem* MakeRow(const adw::engine::BoardRow& row) {
  auto* item = new QListWidgetItem(ToQ(row.name));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  item->setCheckState(row.ticked ? Qt::Checked : Qt::Unchecked);
  item->setData(kFileNameRole, QByteArray::fromStdString(row.fileName));
  item->setData(kNameRole, QByteArray::fromStdString(row.name));
  item->setData(kFoldedRole, QByteArray::fromStdString(adw::engine::FoldForSearch(row.name)));
  // A long name is cut to the column; the tip shows it whole, with the
  // file it comes from.
  item->setToolTip(row.fileName.empty() ? item->text()
                                        : item->text() + QLatin1Char('\n') + ToQ(row.fileName));
  return item;
}

std::string NameOf(const QListWidgetItem* item) {
  const QVariant name = item->data(kNameRole);
  return name.isValid() ? name.toByteArray().toStdString() : FromQ(item->text());
}

}  // namespace

void SetUpBoardList(QListWidget* list) {
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setUniformItemSizes(true);
  list->setSortingEnabled(false);  // the engine's order (letter case ignored) is the list's order
  list->setTextElideMode(Qt::ElideRight);
}

void ShowBoardRows(QListWidget* list, const std::vector<adw::engine::BoardRow>& rows) {
  list->clear();
  for (const auto& row : rows) list->addItem(MakeRow(row));
}

QListWidgetItem* PlaceBoardRow(QListWidget* list, const adw::engine::BoardRow& row) {
  // A board saved again under its file replaces its old row.
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->data(kFileNameRole).toByteArray().toStdString() == row.fileName) {
      delete list->takeItem(i);
      break;
    }
  }
  int lo = 0, hi = list->count();
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (adw::engine::BoardNameLess(row.name, NameOf(list->item(mid))))
      hi = mid;
    else
      lo = mid + 1;
  }
  QListWidgetItem* item = MakeRow(row);
  list->insertItem(lo, item);
  return item;
}

void ApplyBoardFilter(QListWidget* list, const QString& filter) {
  const std::string folded = adw::engine::FoldForSearch(FromQ(filter));
  const bool wasEnabled = list->updatesEnabled();
  list->setUpdatesEnabled(false);
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    const QByteArray name = item->data(kFoldedRole).toByteArray();
    const bool hide =
        !adw::engine::FoldedNameMatches(std::string_view(name.constData(), name.size()), folded);
    if (item->isHidden() != hide) item->setHidden(hide);
  }
  list->setUpdatesEnabled(wasEnabled);
}

std::vector<adw::engine::BoardRow> BoardRowsOf(const QListWidget* list) {
  std::vector<adw::engine::BoardRow> rows;
  rows.reserve(static_cast<std::size_t>(list->count()));
  for (int i = 0; i < list->count(); ++i) {
    const QListWidgetItem* item = list->item(i);
    adw::engine::BoardRow row;
    row.name = NameOf(item);
    row.ticked = item->checkState() == Qt::Checked;
    row.fileName = item->data(kFileNameRole).toByteArray().toStdString();
    rows.push_back(std::move(row));
  }
  return rows;
}

void KeepBoardTicks(QListWidget* list, const std::vector<adw::engine::BoardRow>& before) {
  std::vector<adw::engine::BoardRow> rows = BoardRowsOf(list);
  adw::engine::KeepBoardTicks(rows, before);
  for (int i = 0; i < list->count(); ++i)
    list->item(i)->setCheckState(rows[static_cast<std::size_t>(i)].ticked ? Qt::Checked : Qt::Unchecked);
}

void ChangeBoardTicks(QListWidget* list, void (*rule)(std::vector<adw::engine::BoardRow>&)) {
  // While a filter hides rows, the commands act on the rows shown: "tick
  // all" after typing "москва" ticks the Moscow boards, not every board.
  std::vector<QListWidgetItem*> shown;
  std::vector<adw::engine::BoardRow> rows;
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    if (item->isHidden()) continue;
    shown.push_back(item);
    rows.push_back({NameOf(item), item->checkState() == Qt::Checked, {}});
  }
  rule(rows);
  for (std::size_t i = 0; i < shown.size(); ++i)
    shown[i]->setCheckState(rows[i].ticked ? Qt::Checked : Qt::Unchecked);
}

}  // namespace adw::ui
