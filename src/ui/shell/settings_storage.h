#pragma once
// The window side of the settings file: the main window's controls as the
// form storage sees them (components by name, "Text" and "Checked").
#include <QString>

#include "engine/shell/form_storage.h"

class QWidget;

namespace adw::ui {

class TfrmMain;

class MainFormStorageAdapter : public adw::engine::IFormStorageAdapter {
 public:
  explicit MainFormStorageAdapter(TfrmMain& window) : m_window(window) {}

  std::optional<std::string> FindComponent(std::string_view name) const override;
  std::optional<adw::engine::PropertyInfo> FindProperty(std::string_view component,
                                                        std::string_view property) const override;
  std::string GetText(std::string_view component, std::string_view property) const override;
  void SetText(std::string_view component, std::string_view property, std::string_view cp1251) override;
  bool GetChecked(std::string_view component, std::string_view property) const override;
  void SetChecked(std::string_view component, std::string_view property, bool checked) override;
  adw::engine::WindowPlacement Placement() const override;

  // The text a masked box holds as the settings know it: its places as
  // shown, with the mask's blank character read as a blank.
  static QString MaskedText(const QString& displayText, const QString& inputMask);

 private:
  QWidget* Component(std::string_view name) const;
  TfrmMain& m_window;
};

}  // namespace adw::ui
