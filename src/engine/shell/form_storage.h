#pragma once
// The main window's form storage (fsMain): saves a fixed list of control
// values into the settings file when the window closes and restores them
// when it is first shown. The rules live here; the window implements
// IFormStorageAdapter over its controls.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace adw::engine {

enum class PropertyKind { Text, Check };

struct PropertyInfo {
  std::string declaredName;  // "Text", "Checked": the case the control declares
  PropertyKind kind = PropertyKind::Text;
};

// The window's placement, saved with the values and never read back.
struct WindowPlacement {
  int flags = 0;
  int showCmd = 1;
  int pixelsPerInch = 96;
  int minX = -1, minY = -1;                      // minimised position
  int maxX = -1, maxY = -1;                      // maximised position
  int left = 0, top = 0, right = 0, bottom = 0;  // normal rectangle
  bool visible = false;
};

class IFormStorageAdapter {
 public:
  virtual ~IFormStorageAdapter() = default;
  // The component's own name when the window has a component of that name
  // (names compare without regard to case); nullopt otherwise.
  virtual std::optional<std::string> FindComponent(std::string_view name) const = 0;
  // The property of the component whose name equals property without regard
  // to case; nullopt when the component has none.
  virtual std::optional<PropertyInfo> FindProperty(std::string_view component,
                                                   std::string_view property) const = 0;
  // Values in Windows-1251. component is the own name, property the declared
  // name, as the two lookups above gave them.
  virtual std::string GetText(std::string_view component, std::string_view property) const = 0;
  virtual void SetText(std::string_view component, std::string_view property, std::string_view cp1251) = 0;
  virtual bool GetChecked(std::string_view component, std::string_view property) const = 0;
  // Must behave as a click by the user (the control's click handler runs).
  virtual void SetChecked(std::string_view component, std::string_view property, bool checked) = 0;
  virtual WindowPlacement Placement() const = 0;
};

class FormStorage {
 public:
  // The fifteen entries of fsMain, "component.property", in order.
  static const std::vector<std::string>& MainEntries();

  // Entries whose component the window lacks are dropped here, once.
  FormStorage(IFormStorageAdapter& adapter, std::string iniFileName,
              std::vector<std::string> entries = MainEntries(), std::string section = "Save");

  const std::string& IniFileName() const { return m_iniFileName; }
  void SetIniFileName(std::string path) { m_iniFileName = std::move(path); }
  // The entries kept at creation.
  const std::vector<std::string>& Entries() const { return m_entries; }
  // The key of an entry: the component's own name, "_", the property's
  // declared name; nullopt when the entry names a property the component
  // does not have.
  std::optional<std::string> KeyOf(std::string_view entry) const;

  // Assigns the stored values to the controls, entry by entry: text trimmed,
  // check states "True"/"False" without regard to case; an absent key or an
  // unknown check value leaves the control as it is.
  void Restore();
  // Writes the placement keys and then every entry, in one atomic rewrite.
  // Does nothing until Restore has run once. Throws
  // platform::ProfileWriteError "Unable to write to <path>" when refused.
  void Save();

  bool HasRestored() const { return m_restored; }
  bool HasSaved() const { return m_saved; }

 private:
  struct Resolved {
    std::string component;  // own name
    PropertyInfo property;
  };
  std::optional<Resolved> Resolve(std::string_view entry) const;

  IFormStorageAdapter& m_adapter;
  std::string m_iniFileName;
  std::vector<std::string> m_entries;
  std::string m_section;
  bool m_restored = false;
  bool m_saved = false;
};

}  // namespace adw::engine
