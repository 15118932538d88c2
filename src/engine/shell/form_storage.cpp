#include "engine/shell/form_storage.h"

#include <cstdio>
#include <utility>

#include "platform/profile.h"
#include "platform/text1251.h"

namespace adw::engine {

using platform::IniFile;
using platform::Trim;

namespace {

std::pair<std::string, std::string> SplitEntry(std::string_view entry) {
  std::size_t dot = entry.find('.');
  if (dot == std::string_view::npos) return {Trim(entry), std::string()};
  return {Trim(entry.substr(0, dot)), Trim(entry.substr(dot + 1))};
}

// A text box holds one line; a line break that slipped in (a paste) would
// end the key's line in the file, so it is stored as a blank.
std::string StoredText(std::string_view text) {
  std::string out = Trim(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return out;
}

std::string FourNumbers(int a, int b, int c, int d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", a, b, c, d);
  return buf;
}

}  // namespace

const std::vector<std::string>& FormStorage::MainEntries() {
  static const std::vector<std::string> entries = {
      "cbCateg.Text",   "cbLogFile.Checked", "cbReports.Checked",  "cbState.Checked", "cbTemplate.Checked",
      "cbTime.Checked", "cbUpDate.Checked",  "cbUseProxy.Checked", "deRepCat.Text",   "deScript.Text",
      "EdProxy.Text",   "EdProxyPort.Text",  "edSiteURL.Text",     "edTimeOut.Text",  "medTime.Text",
  };
  return entries;
}

FormStorage::FormStorage(IFormStorageAdapter& adapter, std::string iniFileName,
                         std::vector<std::string> entries, std::string section)
    : m_adapter(adapter), m_iniFileName(std::move(iniFileName)), m_section(std::move(section)) {
  for (std::string& entry : entries) {
    if (m_adapter.FindComponent(SplitEntry(entry).first)) m_entries.push_back(std::move(entry));
  }
}

std::optional<FormStorage::Resolved> FormStorage::Resolve(std::string_view entry) const {
  auto [componentName, propertyName] = SplitEntry(entry);
  auto component = m_adapter.FindComponent(componentName);
  if (!component) return std::nullopt;
  auto property = m_adapter.FindProperty(*component, propertyName);
  if (!property) return std::nullopt;
  return Resolved{std::move(*component), std::move(*property)};
}

std::optional<std::string> FormStorage::KeyOf(std::string_view entry) const {
  auto r = Resolve(entry);
  if (!r) return std::nullopt;
  return r->component + "_" + r->property.declaredName;
}

void FormStorage::Restore() {
  // One parse serves every entry.
  const platform::IniDocument doc = IniFile(m_iniFileName).Snapshot();
  for (const std::string& entry : m_entries) {
    auto r = Resolve(entry);
    if (!r) continue;
    const std::string key = r->component + "_" + r->property.declaredName;
    if (!doc.HasKey(m_section, key)) continue;
    const std::string stored = doc.ReadString(m_section, key, "");
    if (r->property.kind == PropertyKind::Text) {
      m_adapter.SetText(r->component, r->property.declaredName, Trim(stored));
    } else if (platform::EqualsNoCase(stored, "True")) {
      m_adapter.SetChecked(r->component, r->property.declaredName, true);
    } else if (platform::EqualsNoCase(stored, "False")) {
      m_adapter.SetChecked(r->component, r->property.declaredName, false);
    }
  }
  m_restored = true;
}

void FormStorage::Save() {
  // A window that was never shown has nothing of the user's to keep.
  if (!m_restored) return;
  const WindowPlacement p = m_adapter.Placement();
  std::vector<std::pair<std::string, std::string>> values = {
      {"Flags", std::to_string(p.flags)},
      {"ShowCmd", std::to_string(p.showCmd)},
      {"PixelsPerInch", std::to_string(p.pixelsPerInch)},
      {"MinMaxPos", FourNumbers(p.minX, p.minY, p.maxX, p.maxY)},
      {"NormPos", FourNumbers(p.left, p.top, p.right, p.bottom)},
      {"Visible", p.visible ? "1" : "0"},
  };
  for (const std::string& entry : m_entries) {
    auto r = Resolve(entry);
    if (!r) continue;
    std::string key = r->component + "_" + r->property.declaredName;
    if (r->property.kind == PropertyKind::Text) {
      values.emplace_back(std::move(key),
                          StoredText(m_adapter.GetText(r->component, r->property.declaredName)));
    } else {
      values.emplace_back(std::move(key),
                          m_adapter.GetChecked(r->component, r->property.declaredName) ? "True" : "False");
    }
  }
  IniFile(m_iniFileName).WriteStrings(m_section, values);
  m_saved = true;
}

}  // namespace adw::engine
