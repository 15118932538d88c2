#include "ui/base/record_grid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>

#include "engine/base/ad_editor.h"
#include "ui/base/record_set_model.h"

namespace adw::ui {

namespace {

RecordSetModel* ModelOf(const QTableView* view) {
  return qobject_cast<RecordSetModel*>(view->model());
}

void FollowRecordSet(QTableView* view, RecordSetModel* model, int row) {
  QItemSelectionModel* selection = view->selectionModel();
  if (!selection) return;
  if (row < 0 || row >= model->rowCount()) return;
  if (selection->currentIndex().row() == row) return;
  const int column = std::max(0, selection->currentIndex().column());
  selection->setCurrentIndex(model->index(row, column),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace

void ShowRecordSet(QTableView* view, RecordSetModel* model) {
  view->setModel(model);
  QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
                   [model](const QModelIndex& current) {
                     if (current.isValid()) model->SetCurrentRow(current.row());
                   });
  QObject::connect(model, &RecordSetModel::CurrentRowChanged, view,
                   [view, model](int row) { FollowRecordSet(view, model, row); });
  FollowRecordSet(view, model, model->CurrentRow());
}

void ApplyValueColumnRule(QTableView* view) {
  const auto update = [view](const QModelIndex& current) {
    RecordSetModel* model = ModelOf(view);
    const bool value =
        model && current.isValid() && adw::engine::IsEditableColumn(model->FieldOfColumn(current.column()));
    view->setEditTriggers(value ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                      QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked
                                : QAbstractItemView::NoEditTriggers);
  };
  view->setItemDelegate(new FieldLengthDelegate(view));
  QObject::connect(view->selectionModel(), &QItemSelectionModel::currentChanged, view, update);
  update(view->currentIndex());
}

QWidget* FieldLengthDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const {
  QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
  auto* line = qobject_cast<QLineEdit*>(editor);
  const auto* model = qobject_cast<const RecordSetModel*>(index.model());
  if (line && model) {
    const auto& fields = model->Set().Fields();
    const int field = model->Set().FieldIndex(model->FieldOfColumn(index.column()));
    if (field >= 0 && fields[static_cast<std::size_t>(field)].size > 0) {
      line->setMaxLength(static_cast<int>(fields[static_cast<std::size_t>(field)].size));
    }
  }
  return editor;
}

}  // namespace adw::ui
