#include "engine/base/record_set.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "platform/text1251.h"

namespace adw::engine {

using platform::W;

RecordSet::RecordSet(std::vector<FieldDef> fields) : m_fields(std::move(fields)) {}

RecordSet::RecordSet(const RecordSet& other)
    : m_fields(other.m_fields), m_rows(other.m_rows), m_current(other.m_current) {}

RecordSet& RecordSet::operator=(const RecordSet& other) {
  if (this != &other) {
    m_fields = other.m_fields;
    m_rows = other.m_rows;
    m_current = other.m_current;
    Notify([](Listener* l) { l->RecordSetReset(); });
  }
  return *this;
}

RecordSet::RecordSet(RecordSet&& other) noexcept
    : m_fields(std::move(other.m_fields)), m_rows(std::move(other.m_rows)), m_current(other.m_current) {
  other.m_rows.clear();
  other.m_current = npos;
}

RecordSet& RecordSet::operator=(RecordSet&& other) noexcept {
  if (this != &other) {
    m_fields = std::move(other.m_fields);
    m_rows = std::move(other.m_rows);
    m_current = other.m_current;
    other.m_rows.clear();
    other.m_current = npos;
    Notify([](Listener* l) { l->RecordSetReset(); });
  }
  return *this;
}

int RecordSet::FieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (m_fields[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::size_t RecordSet::CheckedField(std::string_view name) const {
  const int index = FieldIndex(name);
  if (index < 0) throw std::out_of_range("Field '" + std::string(name) + "' not found");
  return static_cast<std::size_t>(index);
}

std::size_t RecordSet::CheckedField(int field) const {
  if (field < 0 || static_cast<std::size_t>(field) >= m_fields.size()) {
    throw std::out_of_range("Field index out of range");
  }
  return static_cast<std::size_t>(field);
}

void RecordSet::CheckRow(std::size_t row) const {
  if (row >= m_rows.size()) throw std::out_of_range("Record index out of range");
}

template <typename F>
void RecordSet::Notify(F&& call) {
  // A listener may detach itself while being told, so walk a copy.
  const std::vector<Listener*> listeners = m_listeners;
  for (Listener* l : listeners) call(l);
}

const std::string& RecordSet::Value(std::size_t row, std::string_view field) const {
  CheckRow(row);
  return m_rows[row][CheckedField(field)];
}

const std::string& RecordSet::Value(std::size_t row, int field) const {
  CheckRow(row);
  return m_rows[row][CheckedField(field)];
}

void RecordSet::SetValue(std::size_t row, std::string_view field, std::string_view value) {
  SetValue(row, static_cast<int>(CheckedField(field)), value);
}

void RecordSet::SetValue(std::size_t row, int field, std::string_view value) {
  CheckRow(row);
  const std::size_t index = CheckedField(field);
  const FieldDef& def = m_fields[index];
  if (def.type == FieldDef::Type::Text && value.size() > def.size) value = value.substr(0, def.size);
  std::string& slot = m_rows[row][index];
  if (slot == value) return;
  slot.assign(value);
  Notify([row](Listener* l) { l->RecordChanged(row); });
}

std::size_t RecordSet::Append() {
  m_rows.emplace_back(m_fields.size());
  const std::size_t row = m_rows.size() - 1;
  Notify([row](Listener* l) { l->RecordInserted(row); });
  m_current = row;
  Notify([row](Listener* l) { l->CurrentChanged(row); });
  return row;
}

void RecordSet::Remove(std::size_t row) {
  CheckRow(row);
  m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(row));
  Notify([row](Listener* l) { l->RecordRemoved(row); });
  if (m_rows.empty()) {
    m_current = npos;
    return;
  }
  // Rows below the removed one moved up, so the current row number may now
  // name another record; tell the views either way.
  if (m_current != npos && m_current > row) --m_current;
  m_current = std::min(m_current == npos ? row : m_current, m_rows.size() - 1);
  const std::size_t current = m_current;
  Notify([current](Listener* l) { l->CurrentChanged(current); });
}

void RecordSet::Clear() {
  m_rows.clear();
  m_current = npos;
  Notify([](Listener* l) { l->RecordSetReset(); });
}

void RecordSet::SetCurrent(std::size_t row) {
  if (m_rows.empty()) return;
  CheckRow(row);
  if (row == m_current) return;
  m_current = row;
  Notify([row](Listener* l) { l->CurrentChanged(row); });
}

const std::string& RecordSet::CurrentValue(std::string_view field) const {
  static const std::string empty;
  if (m_current == npos) return empty;
  return Value(m_current, field);
}

void RecordSet::SetCurrentValue(std::string_view field, std::string_view value) {
  if (m_current == npos) return;
  SetValue(m_current, field, value);
}

void RecordSet::AddListener(Listener* listener) {
  if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
    m_listeners.push_back(listener);
  }
}

void RecordSet::RemoveListener(Listener* listener) {
  m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

namespace {

FieldDef Integer(std::string name) {
  FieldDef f;
  f.name = std::move(name);
  f.type = FieldDef::Type::Integer;
  return f;
}

FieldDef Text(std::string name, std::size_t size, std::string label = {}, bool visible = true,
              int width = 0) {
  FieldDef f;
  f.name = std::move(name);
  f.type = FieldDef::Type::Text;
  f.size = size;
  f.displayLabel = std::move(label);
  f.visible = visible;
  f.displayWidth = width;
  return f;
}

}  // namespace

RecordSet MakeAdsRecordSet() {
  return RecordSet({Integer("ID"), Text("NAME", kNameSize, W("Тема объявления")), Text("VARIAB", kNameSize),
                    Text("ITEM", kNameSize), Text("CATALOG", kCatalogSize), Integer("STAT")});
}

RecordSet MakeVariablesRecordSet() {
  return RecordSet({Integer("ID"), Text("NAME", kNameSize, W("Имя переменной"), false),
                    Text("DESC", kNameSize, W("Переменная"), true, 22),
                    Text("DATA", kVariableDataSize, W("Значение"), true, 120)});
}

RecordSet MakeFieldsRecordSet() {
  return RecordSet({Integer("ID"), Text("NAME", kNameSize, W("Имя поля"), false),
                    Text("DESC", kNameSize, W("Переменная"), true, 22),
                    Text("DATA", kFieldDataSize, W("Значение"), true, 120)});
}

}  // namespace adw::engine
