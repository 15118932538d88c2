#pragma once
// Binding of a table view to a record set model: the view's current row and
// the set's current record follow each other, and the grids of values
// (the ad's fields, the variables) edit their value column only.
#include <QStyledItemDelegate>

class QTableView;

namespace adw::ui {

class RecordSetModel;

// Puts the model into the view and keeps the view's current row and the
// record set's current record in step, both ways.
void ShowRecordSet(QTableView* view, RecordSetModel* model);

// The value-column rule: whenever the current column changes, editing is
// switched on if that column shows DATA and off otherwise. Typed values are
// limited to the field's size, so nothing is cut silently when stored.
void ApplyValueColumnRule(QTableView* view);

// An edit box no longer than the edited field holds.
class FieldLengthDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
};

}  // namespace adw::ui
