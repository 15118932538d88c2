#pragma once
// In-memory tables of the main window (ads, variables, fields of the ad
// being edited). Values are cp1251 text; integer fields hold decimal text,
// and an integer field that was never set is empty. A text value longer
// than its field's size is cut to that size when assigned. Windows show a
// record set through a model that listens to its changes.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

// Field sizes the windows use to limit their input boxes, so nothing typed
// is ever cut silently on assignment.
inline constexpr std::size_t kNameSize = 50;           // NAME of every set, VARIAB, ITEM, DESC
inline constexpr std::size_t kCatalogSize = 100;       // CATALOG of RxMD
inline constexpr std::size_t kVariableDataSize = 100;  // DATA of RxMDTemp
inline constexpr std::size_t kFieldDataSize = 500;     // DATA of RxMDFields

struct FieldDef {
  enum class Type { Integer, Text };
  std::string name;  // "ID", "NAME", ...
  Type type = Type::Text;
  std::size_t size = 0;      // maximum length of a text value in characters
  std::string displayLabel;  // column title (cp1251), empty: the name
  bool visible = true;
  int displayWidth = 0;  // in characters, 0: not set
};

class RecordSet {
 public:
  // Told about every change, so a view can follow.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void RecordSetReset() = 0;                 // cleared or rebuilt
    virtual void RecordInserted(std::size_t row) = 0;  // a record now at row
    virtual void RecordRemoved(std::size_t row) = 0;   // the record at row is gone
    virtual void RecordChanged(std::size_t row) = 0;   // values of row changed
    virtual void CurrentChanged(std::size_t row) = 0;  // current record moved
  };

  explicit RecordSet(std::vector<FieldDef> fields);
  // Copies take the fields, records and current record, never the
  // listeners: a view follows the one set it was attached to. Assigning
  // into a set tells its own listeners that it was rebuilt.
  RecordSet(const RecordSet& other);
  RecordSet& operator=(const RecordSet& other);
  RecordSet(RecordSet&& other) noexcept;
  RecordSet& operator=(RecordSet&& other) noexcept;
  ~RecordSet() = default;

  const std::vector<FieldDef>& Fields() const { return m_fields; }
  // Index of a field by name (exact); -1 when there is none.
  int FieldIndex(std::string_view name) const;

  std::size_t RecordCount() const { return m_rows.size(); }
  bool IsEmpty() const { return m_rows.empty(); }
  // Row or field out of range throws std::out_of_range.
  const std::string& Value(std::size_t row, std::string_view field) const;
  const std::string& Value(std::size_t row, int field) const;
  void SetValue(std::size_t row, std::string_view field, std::string_view value);
  void SetValue(std::size_t row, int field, std::string_view value);

  // Appends an empty record, makes it current and returns its row.
  std::size_t Append();
  // Removes the record at row; the current record stays on the same row
  // (or the last one).
  void Remove(std::size_t row);
  void Clear();

  // The current record; npos when the set is empty.
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  std::size_t Current() const { return m_current; }
  // Does nothing on an empty set (so First() is always safe); a row beyond
  // the last throws std::out_of_range.
  void SetCurrent(std::size_t row);
  void First() { SetCurrent(0); }
  // Value of the current record's field ("" when the set is empty).
  const std::string& CurrentValue(std::string_view field) const;
  // Sets a field of the current record; does nothing on an empty set.
  void SetCurrentValue(std::string_view field, std::string_view value);

  void AddListener(Listener* listener);
  void RemoveListener(Listener* listener);

 private:
  std::size_t CheckedField(std::string_view name) const;
  std::size_t CheckedField(int field) const;
  void CheckRow(std::size_t row) const;
  template <typename F>
  void Notify(F&& call);

  std::vector<FieldDef> m_fields;
  std::vector<std::vector<std::string>> m_rows;
  std::size_t m_current = npos;
  std::vector<Listener*> m_listeners;
};

// The three record sets with their fields, sizes and labels.
RecordSet MakeAdsRecordSet();        // RxMD: ID, NAME 50, VARIAB 50, ITEM 50, CATALOG 100, STAT
RecordSet MakeVariablesRecordSet();  // RxMDTemp: ID, NAME 50, DESC 50, DATA 100
RecordSet MakeFieldsRecordSet();     // RxMDFields: ID, NAME 50, DESC 50, DATA 500

}  // namespace adw::engine
