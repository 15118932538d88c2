#pragma once
// Qt's own texts (file dialogs, message box buttons, the edit menu of text
// boxes) in Russian, like the rest of the window.
#include <QTranslator>
#include <memory>

namespace adw::ui {

// Debian's qtbase_ru from Qt's translation folder (qt6-translations-l10n);
// nullptr when it is not installed, and Qt keeps its English texts.
std::unique_ptr<QTranslator> LoadQtTranslation();

}  // namespace adw::ui
