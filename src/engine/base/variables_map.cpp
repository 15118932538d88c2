#include "engine/base/variables_map.h"

#include <algorithm>
#include <charconv>

#include "platform/files.h"

namespace adw::engine {

namespace {

template <typename Source>
std::vector<std::string> ReadList(const Source& source, std::string_view section) {
  std::vector<std::string> items;
  for (std::size_t n = 1;; ++n) {
    std::string value = source.ReadString(section, NumberedKey(n), "");
    if (value.empty()) break;
    items.push_back(std::move(value));
  }
  return items;
}

// The entry number held by a record's ID; 0 when it has none.
std::size_t EntryNumber(const std::string& id) {
  std::size_t n = 0;
  const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), n);
  if (ec != std::errc() || end != id.data() + id.size()) return 0;
  return n;
}

std::string_view Cut(std::string_view s, std::size_t size) {
  return s.substr(0, std::min(s.size(), size));
}

// True when the stored entry is longer than the record's fields can hold and
// the record still holds exactly what was loaded from it: writing it back
// would cut the stored text.
bool WouldCutUnchangedEntry(const std::string& stored, const RecordSet& variables, std::size_t row) {
  if (stored.empty()) return false;
  const MapEntry e = SplitMapEntry(stored);
  if (e.description.size() <= kNameSize && e.name.size() <= kNameSize &&
      e.value.size() <= kVariableDataSize) {
    return false;
  }
  return variables.Value(row, "DESC") == Cut(e.description, kNameSize) &&
         variables.Value(row, "NAME") == Cut(e.name, kNameSize) &&
         variables.Value(row, "DATA") == Cut(e.value, kVariableDataSize);
}

}  // namespace

std::string VariablesMapPath(std::string_view scriptDir) {
  return platform::JoinPath(scriptDir, kVariablesMapFileName);
}

MapEntry SplitMapEntry(std::string_view entry) {
  MapEntry e;
  const std::size_t first = entry.find('$');
  if (first == std::string_view::npos) {
    e.description = entry;
    return e;
  }
  e.description = entry.substr(0, first);
  const std::size_t second = entry.find('$', first + 1);
  if (second == std::string_view::npos) {
    e.name = entry.substr(first);
    return e;
  }
  e.name = entry.substr(first, second - first);
  e.value = entry.substr(second + 1);
  e.hasValue = true;
  return e;
}

std::string SingleLine(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return out;
}

std::string NumberedKey(std::size_t n) {
  return "item" + std::to_string(n);
}

std::vector<std::string> ReadNumberedList(const platform::IniDocument& doc, std::string_view section) {
  return ReadList(doc, section);
}

std::vector<std::string> ReadNumberedList(const platform::IniFile& file, std::string_view section) {
  return ReadNumberedList(file.Snapshot(), section);
}

bool IsCategoryList(const platform::IniDocument& map, std::string_view name) {
  return !map.ReadString(name, NumberedKey(1), "").empty();
}

void LoadVariables(const std::string& mapPath, RecordSet& variables) {
  const platform::IniDocument map = platform::IniFile(mapPath).Snapshot();
  variables.Clear();
  const std::vector<std::string> entries = ReadNumberedList(map, kVariablesSection);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const MapEntry e = SplitMapEntry(entries[i]);
    if (IsCategoryList(map, e.name)) continue;
    const std::size_t row = variables.Append();
    variables.SetValue(row, "ID", std::to_string(i + 1));
    variables.SetValue(row, "NAME", e.name);
    variables.SetValue(row, "DESC", e.description);
    variables.SetValue(row, "DATA", e.value);
  }
  variables.First();
}

void SaveVariables(const std::string& mapPath, const RecordSet& variables) {
  platform::IniFile file(mapPath);
  platform::IniDocument map = file.Snapshot();
  bool changed = false;
  for (std::size_t row = 0; row < variables.RecordCount(); ++row) {
    const std::size_t n = EntryNumber(variables.Value(row, "ID"));
    if (n == 0) continue;
    const std::string key = NumberedKey(n);
    const std::string stored = map.ReadString(kVariablesSection, key, "");
    if (WouldCutUnchangedEntry(stored, variables, row)) continue;
    const std::string value = SingleLine(variables.Value(row, "DESC") + variables.Value(row, "NAME") + "$" +
                                         variables.Value(row, "DATA"));
    if (value == stored) continue;
    map.WriteString(kVariablesSection, key, value);
    changed = true;
  }
  // An unchanged map is not rewritten, so closing the program never
  // touches a map the user did not edit.
  if (changed) file.Store(map);
}

void VariablesMap::Load(const std::string& mapPath, RecordSet& variables) {
  LoadVariables(mapPath, variables);
  m_mapPath = mapPath;
  m_loaded = true;
}

void VariablesMap::Save(const RecordSet& variables) const {
  if (m_loaded) SaveVariables(m_mapPath, variables);
}

}  // namespace adw::engine
