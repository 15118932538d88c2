#pragma once
// The variables map base.map: section "Variab" lists the variables and the
// category lists under "item1", "item2", ...; a category list has a section
// of its own, named like the list ("$comp"), listing its categories the
// same way. All texts are cp1251.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/record_set.h"
#include "platform/profile.h"

namespace adw::engine {

inline constexpr std::string_view kVariablesSection = "Variab";
inline constexpr std::string_view kVariablesMapFileName = "base.map";

// The map's path in a script directory.
std::string VariablesMapPath(std::string_view scriptDir);

// A "Variab" entry split at its "$" signs: the description is the text
// before the first "$", the name runs from that "$" up to the second one,
// the value is everything after the second "$" (and may hold more "$").
struct MapEntry {
  std::string description;
  std::string name;
  std::string value;
  bool hasValue = false;  // the entry has a second "$"
};
MapEntry SplitMapEntry(std::string_view entry);

// A value as one INI line can hold it: a line break would end the value
// and let the rest be read as further keys or even as a new section, so
// breaks (and NUL) become blanks.
std::string SingleLine(std::string_view value);

// "item" followed by n.
std::string NumberedKey(std::size_t n);

// The values of "item1", "item2", ... of a section, up to (not including)
// the first number whose value is empty or absent. Every numbered list of
// the program is read this way.
std::vector<std::string> ReadNumberedList(const platform::IniDocument& doc, std::string_view section);
std::vector<std::string> ReadNumberedList(const platform::IniFile& file, std::string_view section);

// An entry named `name` is a category list when the map has a section of
// that name whose "item1" is not empty.
bool IsCategoryList(const platform::IniDocument& map, std::string_view name);

// Fills the variables record set (RxMDTemp) with the map's simple
// variables: ID = the entry's number, NAME, DESC, DATA. A missing map gives
// an empty set. The first record is made current.
void LoadVariables(const std::string& mapPath, RecordSet& variables);

// Writes every record with an ID back as "item<ID>" = DESC + NAME + "$" +
// DATA, all in one atomic rewrite of the map. Records without an ID (added
// through the grid) are skipped, since no reader would ever see them; an
// entry whose stored text is longer than the record's fields hold is left
// as it stands when the record still holds what was loaded from it, so a
// load and save never cut it. Throws platform::ProfileWriteError when the
// system refuses the write.
void SaveVariables(const std::string& mapPath, const RecordSet& variables);

// Loads and saves the variables and remembers which map they came from:
// their numbers belong to that map, so they are written back only there,
// even when the stored script directory has changed since.
class VariablesMap {
 public:
  void Load(const std::string& mapPath, RecordSet& variables);
  // Does nothing when nothing was loaded yet.
  void Save(const RecordSet& variables) const;
  const std::string& MapPath() const { return m_mapPath; }

 private:
  std::string m_mapPath;
  bool m_loaded = false;
};

}  // namespace adw::engine
