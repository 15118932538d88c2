// Adwelder: posts classified ads to many web bulletin boards at once.
#include <QApplication>

#include "platform/shell.h"
#include "ui/platform_qt.h"
#include "ui/shell/main_window.h"
#include "ui/shell/product_info.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
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
    QObject::connect(&frmMain, &adw::ui::TfrmMain::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    frmMain.show();
    result = QApplication::exec();
  }
  adw::platform::SetShell(nullptr);
  return result;
}
