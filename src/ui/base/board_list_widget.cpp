#include "ui/base/board_list_widget.h"

#include <QListWidget>

#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// The board file a row came from, kept for messages.
constexpr int kFileNameRole = Qt::UserRole + 1;
// A row's name in cp1251 exactly as the board file holds it: a name with
// characters that have no Unicode counterpart must still find its file.
constexpr int kNameRole = Qt::UserRole + 2;

}  // namespace

void SetUpBoardList(QListWidget* list) {
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setUniformItemSizes(true);
  list->setSortingEnabled(false);  // the engine's order (letter case ignored) is the list's order
}

void ShowBoardRows(QListWidget* list, const std::vector<adw::engine::BoardRow>& rows) {
  list->clear();
  for (const auto& row : rows) {
    auto* item = new QListWidgetItem(ToQ(row.name));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(row.ticked ? Qt::Checked : Qt::Unchecked);
    item->setData(kFileNameRole, QByteArray::fromStdString(row.fileName));
    item->setData(kNameRole, QByteArray::fromStdString(row.name));
    list->addItem(item);
  }
}

std::vector<adw::engine::BoardRow> BoardRowsOf(const QListWidget* list) {
  std::vector<adw::engine::BoardRow> rows;
  rows.reserve(static_cast<std::size_t>(list->count()));
  for (int i = 0; i < list->count(); ++i) {
    const QListWidgetItem* item = list->item(i);
    adw::engine::BoardRow row;
    const QVariant name = item->data(kNameRole);
    row.name = name.isValid() ? name.toByteArray().toStdString() : FromQ(item->text());
    row.ticked = item->checkState() == Qt::Checked;
    row.fileName = item->data(kFileNameRole).toByteArray().toStdString();
    rows.push_back(std::move(row));
  }
  return rows;
}

void ChangeBoardTicks(QListWidget* list, void (*rule)(std::vector<adw::engine::BoardRow>&)) {
  std::vector<adw::engine::BoardRow> rows = BoardRowsOf(list);
  rule(rows);
  for (int i = 0; i < list->count() && static_cast<std::size_t>(i) < rows.size(); ++i) {
    list->item(i)->setCheckState(rows[static_cast<std::size_t>(i)].ticked ? Qt::Checked : Qt::Unchecked);
  }
}

}  // namespace adw::ui
