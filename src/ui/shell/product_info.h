#pragma once
// Fixed values of the product: its version, the maker's addresses and the
// texts built from them. Everything that shows or opens one of them reads
// it from here.
#include <QString>

#include "product_version.h"

namespace adw::ui {

using adw::kVersionMajor;
using adw::kVersionMinor;

// Taskbar text until the main window names itself.
inline const QString kStartTitle = QStringLiteral("Adweld ver %1.%2").arg(kVersionMajor).arg(kVersionMinor);
// The tray icon's hint keeps the version it was introduced with.
inline const QString kTrayHint = QStringLiteral("Adwelder v1.05");

inline const QString kMakerSiteUrl = QStringLiteral("http://www.example.com/adwelder/");
inline const QString kMakerEMail = QStringLiteral("adwelder@example.com");
inline const QString kHelpPageUrl = QStringLiteral("http://www.example.com/adwelder/help.html");
inline const QString kMakerPhone = QStringLiteral("+7 (000) 123-45-67");
// Mailbox that receives boards sent in from the add-board wizard.
inline const QString kBoardSubmissionEMail = QStringLiteral("boards@example.com");
// The wizard's URL box starts with a proxy endpoint the user replaces.
inline const QString kWizardUrlPreset = QStringLiteral("proxy.example.org:3128");

// "ver. " with the major and minor digits and one blank, as the about
// panel and the window caption show it.
inline QString BuildCaption() {
  return QStringLiteral("ver. %1.%2 ").arg(kVersionMajor).arg(kVersionMinor);
}

}  // namespace adw::ui
