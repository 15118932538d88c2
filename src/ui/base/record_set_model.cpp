#include "ui/base/record_set_model.h"

#include <charconv>

#include "engine/base/ad_editor.h"
#include "engine/base/replaced_characters.h"
#include "ui/text_convert.h"

namespace adw::ui {

using adw::engine::FieldDef;
using adw::engine::RecordSet;

RecordSetModel::RecordSetModel(RecordSet& set, std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), m_set(set), m_columns(std::move(columns)) {
  const auto& fields = m_set.Fields();
  if (m_columns.empty()) {
    for (const FieldDef& f : fields) {
      if (f.visible) m_columns.push_back({f.name, {}});
    }
  }
  for (Column& c : m_columns) {
    const int index = m_set.FieldIndex(c.field);
    m_fieldIndexes.push_back(index);
    if (c.title.isEmpty() && index >= 0) {
      const FieldDef& f = fields[static_cast<std::size_t>(index)];
      c.title = ToQ(f.displayLabel.empty() ? f.name : f.displayLabel);
    }
  }
  m_rows = static_cast<int>(m_set.RecordCount());
  m_set.AddListener(this);
}

RecordSetModel::~RecordSetModel() {
  m_set.RemoveListener(this);
}

std::string RecordSetModel::FieldOfColumn(int column) const {
  if (column < 0 || column >= static_cast<int>(m_columns.size())) return {};
  return m_columns[static_cast<std::size_t>(column)].field;
}

int RecordSetModel::ColumnOfField(const std::string& field) const {
  for (std::size_t i = 0; i < m_columns.size(); ++i) {
    if (m_columns[i].field == field) return static_cast<int>(i);
  }
  return -1;
}

int RecordSetModel::FieldIndexOfColumn(int column) const {
  if (column < 0 || column >= static_cast<int>(m_fieldIndexes.size())) return -1;
  return m_fieldIndexes[static_cast<std::size_t>(column)];
}

int RecordSetModel::RecordOfRow(int row) const {
  if (row < 0 || row >= m_rows) return -1;
  // Between the begin and end calls of an insertion or removal the views
  // still count rows as before the change, which the set has already made.
  if (m_pendingInsert >= 0 && row >= m_pendingInsert) ++row;
  if (m_pendingRemove >= 0 && row >= m_pendingRemove) {
    if (row == m_pendingRemove) return -1;
    --row;
  }
  return static_cast<std::size_t>(row) < m_set.RecordCount() ? row : -1;
}

bool RecordSetModel::HasRecord(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < m_set.RecordCount();
}

int RecordSetModel::CurrentRow() const {
  const std::size_t current = m_set.Current();
  return current == RecordSet::npos ? -1 : static_cast<int>(current);
}

void RecordSetModel::SetCurrentRow(int row) {
  // While rows come and go the views move their own current index; the set
  // names its current record itself once the change is complete.
  if (m_restructuring) return;
  if (HasRecord(row)) m_set.SetCurrent(static_cast<std::size_t>(row));
}

int RecordSetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int RecordSetModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant RecordSetModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int record = RecordOfRow(index.row());
  const int field = FieldIndexOfColumn(index.column());
  if (record < 0 || field < 0) return {};
  const auto row = static_cast<std::size_t>(record);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return ToQ(m_set.Value(row, field));
    case Qt::CheckStateRole: {
      if (m_checkField.empty() || m_set.FieldIndex(m_checkField) < 0) return {};
      const std::string& v = m_set.Value(row, m_checkField);
      long long n = 0;
      std::from_chars(v.data(), v.data() + v.size(), n);
      return n != 0 ? Qt::Checked : Qt::Unchecked;
    }
    default:
      return {};
  }
}

QVariant RecordSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  if (section < 0 || section >= static_cast<int>(m_columns.size())) return {};
  return m_columns[static_cast<std::size_t>(section)].title;
}

Qt::ItemFlags RecordSetModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Only values can be edited, never descriptions or names.
  if (adw::engine::IsEditableColumn(FieldOfColumn(index.column()))) f |= Qt::ItemIsEditable;
  return f;
}

bool RecordSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || !(flags(index) & Qt::ItemIsEditable)) return false;
  const int record = RecordOfRow(index.row());
  const int field = FieldIndexOfColumn(index.column());
  if (record < 0 || field < 0) return false;
  // The set announces the change itself; dataChanged follows from there.
  std::vector<char32_t> replaced;
  m_set.SetValue(static_cast<std::size_t>(record), field, FromQ(value.toString(), replaced));
  if (!replaced.empty())
    emit TextReplaced(QString::fromStdString(adw::engine::ReplacedCharactersNote(replaced)));
  return true;
}

void RecordSetModel::RecordSetReset() {
  m_restructuring = true;
  beginResetModel();
  m_rows = static_cast<int>(m_set.RecordCount());
  endResetModel();
  m_restructuring = false;
  emit CurrentRowChanged(CurrentRow());
}

void RecordSetModel::RecordInserted(std::size_t row) {
  const int r = static_cast<int>(row);
  m_restructuring = true;
  m_pendingInsert = r;
  beginInsertRows({}, r, r);
  m_pendingInsert = -1;
  ++m_rows;
  endInsertRows();
  m_restructuring = false;
}

void RecordSetModel::RecordRemoved(std::size_t row) {
  const int r = static_cast<int>(row);
  m_restructuring = true;
  m_pendingRemove = r;
  beginRemoveRows({}, r, r);
  m_pendingRemove = -1;
  --m_rows;
  endRemoveRows();
  m_restructuring = false;
  if (m_rows == 0) emit CurrentRowChanged(-1);
}

void RecordSetModel::RecordChanged(std::size_t row) {
  const int r = static_cast<int>(row);
  if (m_columns.empty()) return;
  emit dataChanged(index(r, 0), index(r, static_cast<int>(m_columns.size()) - 1));
}

void RecordSetModel::CurrentChanged(std::size_t row) {
  emit CurrentRowChanged(static_cast<int>(row));
}

}  // namespace adw::ui
