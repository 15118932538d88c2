#include "ui/shell/settings_storage.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>
#include <QStackedWidget>

#include "engine/journal/journal_settings.h"
#include "engine/posting/host_schedule.h"
#include "engine/shell/settings_file.h"
#include "platform/text1251.h"
#include "ui/shell/main_window.h"
#include "ui/shell/time_out_box.h"
#include "ui/text_convert.h"

namespace adw::ui {

using adw::engine::PropertyInfo;
using adw::engine::PropertyKind;
using adw::platform::EqualsNoCase;

namespace {

const std::string kText = "Text";
const std::string kChecked = "Checked";

bool HasTextProperty(const QWidget* widget) {
  return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
         qobject_cast<const QAbstractSpinBox*>(widget);
}

}  // namespace

QString MainFormStorageAdapter::MaskedText(const QString& displayText, const QString& inputMask) {
  if (inputMask.isEmpty()) return displayText;
  const qsizetype separator = inputMask.lastIndexOf(QLatin1Char(';'));
  const QChar blank =
      (separator >= 0 && separator + 1 < inputMask.size()) ? inputMask.at(separator + 1) : QLatin1Char(' ');
  QString text = displayText;
  text.replace(blank, QLatin1Char(' '));
  return text;
}

QWidget* MainFormStorageAdapter::Component(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (QWidget* widget : m_window.findChildren<QWidget*>()) {
    if (EqualsNoCase(widget->objectName().toStdString(), name)) return widget;
  }
  return nullptr;
}

std::optional<std::string> MainFormStorageAdapter::FindComponent(std::string_view name) const {
  const QWidget* widget = Component(name);
  if (!widget) return std::nullopt;
  return FromQ(widget->objectName());
}

std::optional<PropertyInfo> MainFormStorageAdapter::FindProperty(std::string_view component,
                                                                 std::string_view property) const {
  const QWidget* widget = Component(component);
  if (!widget) return std::nullopt;
  if (qobject_cast<const QCheckBox*>(widget) && EqualsNoCase(property, kChecked))
    return PropertyInfo{kChecked, PropertyKind::Check};
  if (HasTextProperty(widget) && EqualsNoCase(property, kText))
    return PropertyInfo{kText, PropertyKind::Text};
  return std::nullopt;
}

std::string MainFormStorageAdapter::GetText(std::string_view component, std::string_view) const {
  const QWidget* widget = Component(component);
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    return FromQ(edit->inputMask().isEmpty() ? edit->text()
                                             : MaskedText(edit->displayText(), edit->inputMask()));
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return FromQ(combo->currentText());
  if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget)) return FromQ(spin->text());
  return {};
}

void MainFormStorageAdapter::SetText(std::string_view component, std::string_view, std::string_view cp1251) {
  QWidget* widget = Component(component);
  const QString text = ToQ(cp1251);
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    // A masked box lays the text into its places again ("20" -> "20 ").
    edit->setText(text);
    edit->setCursorPosition(0);  // a long path shows from its start
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    if (combo->isEditable())
      combo->setEditText(text);
    else
      combo->setCurrentIndex(combo->findText(text));
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (ok) spin->setValue(value);
  }
}

bool MainFormStorageAdapter::GetChecked(std::string_view component, std::string_view) const {
  const auto* box = qobject_cast<const QCheckBox*>(Component(component));
  return box && box->isChecked();
}

void MainFormStorageAdapter::SetChecked(std::string_view component, std::string_view, bool checked) {
  // The box's handler listens to its state changes, so it runs exactly as
  // after a click by the user.
  if (auto* box = qobject_cast<QCheckBox*>(Component(component))) box->setChecked(checked);
}

adw::engine::WindowPlacement MainFormStorageAdapter::Placement() const {
  adw::engine::WindowPlacement placement;
  const Qt::WindowStates state = m_window.windowState();
  placement.showCmd = (state & Qt::WindowMinimized) ? 2 : (state & Qt::WindowMaximized) ? 3 : 1;
  if (const QScreen* screen = m_window.screen())
    placement.pixelsPerInch = qRound(screen->logicalDotsPerInchY());
  const QRect normal = m_window.normalGeometry().isValid() ? m_window.normalGeometry() : m_window.geometry();
  placement.left = normal.left();
  placement.top = normal.top();
  placement.right = normal.left() + normal.width();
  placement.bottom = normal.top() + normal.height();
  placement.visible = m_window.isVisible();
  return placement;
}

// -- the window's side -------------------------------------------------------------

void TfrmMain::RestoreStoredValues() {
  RxSEdHostLimit->setValue(adw::engine::ReadHostLimit(m_settingsPath));
  if (fsMain) fsMain->Restore();
  CheckRestoredTimeOut(*this);
  if (edCAFile) edCAFile->setText(ToQ(adw::engine::ReadCAFile(m_settingsPath)));
}

void TfrmMain::SaveStoredValues() {
  if (!fsMain || !fsMain->HasRestored()) return;
  // Counted as done even when refused, so a failed save at close is not
  // tried and reported a second time when the window is destroyed.
  m_storageSaved = true;
  fsMain->Save();
}

void TfrmMain::SaveConfiguration() {
  adw::engine::ConfigurationValues values;
  values.siteUrl = FromQ(edSiteURL->text());
  values.scriptDir = FromQ(deScript->text());
  values.proxy = FromQ(EdProxy->text());
  values.proxyPort =
      FromQ(MainFormStorageAdapter::MaskedText(EdProxyPort->displayText(), EdProxyPort->inputMask()));
  values.timeOut =
      FromQ(MainFormStorageAdapter::MaskedText(edTimeOut->displayText(), edTimeOut->inputMask()));
  values.useProxy = cbUseProxy->isChecked();
  values.logFile = cbLogFile->isChecked();
  values.threadCount = RxSEdPost->value();
  if (edCAFile) values.caFile = FromQ(edCAFile->text());
  adw::engine::SaveConfiguration(m_settingsPath, values);
  adw::engine::SaveHostLimit(m_settingsPath, RxSEdHostLimit->value());
  adw::engine::SaveRepeatDays(m_settingsPath, RxSEdRepeatDays->value());
  SaveVariables();
  const TickMemory ticks = RememberTicks();
  FormShow();
  RestoreTicks(ticks);
  BringToFront(pTree);
}

}  // namespace adw::ui
