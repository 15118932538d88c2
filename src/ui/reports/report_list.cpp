#include "ui/reports/report_list.h"

#include <QItemSelectionModel>
#include <QListView>

#include "ui/base/record_set_model.h"

namespace adw::ui {

namespace {

void FollowRecordSet(QListView* view, RecordSetModel* model, int row) {
  QItemSelectionModel* selection = view->selectionModel();
  if (!selection || row < 0 || row >= model->rowCount()) return;
  if (selection->currentIndex().row() == row) return;
  selection->setCurrentIndex(model->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

}  // namespace

ReportList::ReportList(QListView* view, adw::engine::RecordSet& ads)
    : m_view(view),
      m_model(std::make_unique<RecordSetModel>(ads, std::vector<RecordSetModel::Column>{{"NAME", {}}})) {
  RecordSetModel* model = m_model.get();
  view->setModel(model);
  view->setModelColumn(0);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, model,
                   [model](const QModelIndex& current) {
                     if (current.isValid()) model->SetCurrentRow(current.row());
                   });
  QObject::connect(model, &RecordSetModel::CurrentRowChanged, view,
                   [view, model](int row) { FollowRecordSet(view, model, row); });
  // A reload rebuilds the set; the list then shows its current record again.
  QObject::connect(model, &QAbstractItemModel::modelReset, view,
                   [view, model] { FollowRecordSet(view, model, model->CurrentRow()); });
  FollowRecordSet(view, model, model->CurrentRow());
}

ReportList::~ReportList() {
  // The view outlives the model (it belongs to the window's widgets).
  if (m_view && m_view->model() == m_model.get()) m_view->setModel(nullptr);
}

}  // namespace adw::ui
