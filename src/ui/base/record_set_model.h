#pragma once
// A table model over one of the main window's record sets. The engine owns
// the records (cp1251 text); the model follows every change the set
// announces and converts text at its edge, so several views can show the
// same set and always agree with it.
#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "engine/base/record_set.h"

namespace adw::ui {

class RecordSetModel : public QAbstractTableModel, private adw::engine::RecordSet::Listener {
  Q_OBJECT

 public:
  // One shown column: a field of the set and its title. An empty title
  // takes the field's display label (or its name).
  struct Column {
    std::string field;
    QString title;
  };

  // Without columns the model shows every visible field under its label.
  explicit RecordSetModel(adw::engine::RecordSet& set, std::vector<Column> columns = {},
                          QObject* parent = nullptr);
  ~RecordSetModel() override;

  adw::engine::RecordSet& Set() const { return m_set; }
  // The field shown in a column ("" for a column out of range).
  std::string FieldOfColumn(int column) const;
  int ColumnOfField(const std::string& field) const;

  // A check field makes Qt::CheckStateRole report Checked when the field's
  // whole-number value is not 0 (an empty value counts as 0).
  void SetCheckField(std::string field) { m_checkField = std::move(field); }

  // The record set's current record as a row, -1 while the set is empty.
  int CurrentRow() const;
  // Moves the record set's current record (ignored out of range).
  void SetCurrentRow(int row);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 signals:
  // The record set moved its current record (row -1: the set became empty).
  void CurrentRowChanged(int row);
  // Typed text held characters that Windows-1251 lacks; note names them.
  void TextReplaced(const QString& note);

 private:
  void RecordSetReset() override;
  void RecordInserted(std::size_t row) override;
  void RecordRemoved(std::size_t row) override;
  void RecordChanged(std::size_t row) override;
  void CurrentChanged(std::size_t row) override;

  bool HasRecord(int row) const;
  // The set's record shown in a model row, -1 when there is none.
  int RecordOfRow(int row) const;
  int FieldIndexOfColumn(int column) const;

  adw::engine::RecordSet& m_set;
  std::vector<Column> m_columns;
  std::vector<int> m_fieldIndexes;
  std::string m_checkField;
  // The set announces a change after making it; views still have to see
  // the old row count between the begin and end calls, so the model keeps
  // its own.
  int m_rows = 0;
  bool m_restructuring = false;
  int m_pendingInsert = -1;
  int m_pendingRemove = -1;
};

}  // namespace adw::ui
