#include "ui/shell/qt_translation.h"

#include <QLibraryInfo>
#include <QLocale>

namespace adw::ui {

std::unique_ptr<QTranslator> LoadQtTranslation() {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return nullptr;
  return translator;
}

}  // namespace adw::ui
