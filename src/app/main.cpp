// Adwelder: posts classified ads to many web bulletin boards at once.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "platform/shell.h"
#include "product_version.h"
#include "ui/platform_qt.h"
#include "ui/shell/main_window.h"
#include "ui/shell/product_info.h"
#include "ui/shell/qt_translation.h"

int main(int argc, char* argv[]) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("adwelder %s\n", adw::kVersionText);
    return 0;
  }
  QApplication app(argc, argv);
  const std::unique_ptr<QTranslator> qtTexts = adw::ui::LoadQtTranslation();
  if (qtTexts) QCoreApplication::installTranslator(qtTexts.get());
  // The program's title is its main window's caption. It is not made the
  // application's display name: X11 would append that to every other
  // window's title and cut short the small windows' own captions.
  // The window may sit hidden in the tray while a dialog closes; the
  // program ends when the main window closes, not when no window is shown.
  QApplication::setQuitOnLastWindowClosed(false);

  adw::ui::QtShell shell;
  adw::platform::SetShell(&shell);

  int result = 0;
  {
    adw::ui::TfrmMain frmMain;
    QObject::connect(&frmMain, &adw::ui::TfrmMain::Closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    frmMain.show();
    result = QApplication::exec();
  }
  adw::platform::SetShell(nullptr);
  return result;
}
