// RxTray: the notification-area icon that stands in for the window while a
// run goes on minimised, with its animation and its popup menu pmTray.
#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/shell/main_window.h"
#include "ui/shell/product_info.h"

namespace adw::ui {

namespace {
constexpr int kTrayFrames = 4;
QIcon TrayIcon(int frame) {
  return QIcon(QStringLiteral(":/icons/tray%1.png").arg(frame));
}
}  // namespace

int TfrmMain::TrayFrameCount() {
  return kTrayFrames;
}

void TfrmMain::BuildTray() {
  pmTray = new QMenu(this);
  pmTray->setObjectName(QStringLiteral("pmTray"));
  pmTrayRestore = pmTray->addAction(QStringLiteral("Восстановить"));
  pmTrayRestore->setObjectName(QStringLiteral("pmTrayRestore"));
  pmTrayReport = pmTray->addAction(QStringLiteral("Показать отчет"));
  pmTrayReport->setObjectName(QStringLiteral("pmTrayReport"));
  pmTrayReport->setEnabled(false);
  pmTray->addSeparator();
  pmTrayExit = pmTray->addAction(QStringLiteral("Выход"));
  pmTrayExit->setObjectName(QStringLiteral("pmTrayExit"));
  connect(pmTrayRestore, &QAction::triggered, this, Handler(&TfrmMain::RestoreFromTray));
  connect(pmTrayReport, &QAction::triggered, this, Handler(&TfrmMain::mmViewReportClick));
  connect(pmTrayExit, &QAction::triggered, this, Handler(&TfrmMain::mmExitClick));

  RxTray = new QSystemTrayIcon(TrayIcon(0), this);
  RxTray->setObjectName(QStringLiteral("RxTray"));
  RxTray->setToolTip(kTrayHint);
  RxTray->setContextMenu(pmTray);
  connect(RxTray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) Guarded([this] { RestoreFromTray(); });
  });

  m_trayAnimation = new QTimer(this);
  m_trayAnimation->setObjectName(QStringLiteral("tmTrayAnimation"));
  m_trayAnimation->setInterval(500);
  connect(m_trayAnimation, &QTimer::timeout, this, &TfrmMain::NextTrayFrame);
}

void TfrmMain::NextTrayFrame() {
  m_trayFrame = (m_trayFrame + 1) % kTrayFrames;
  RxTray->setIcon(TrayIcon(m_trayFrame));
}

void TfrmMain::HideToTray() {
  if (m_trayActive) return;
  m_trayActive = true;
  m_trayFrame = 0;
  RxTray->setIcon(TrayIcon(0));
  RxTray->show();
  m_trayAnimation->start();
  showMinimized();
  // Hidden, the window leaves the taskbar; only the tray icon brings it
  // back, so a desktop without a tray keeps the minimised window instead.
  if (m_trayAvailable) hide();
}

void TfrmMain::RestoreFromTray() {
  m_trayActive = false;
  m_trayAnimation->stop();
  RxTray->hide();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
}

}  // namespace adw::ui
