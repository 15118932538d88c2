#include "ui/shell/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStringDecoder>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <stdexcept>

#include "engine/shell/form_storage.h"
#include "engine/shell/settings_file.h"
#include "platform/shell.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/download_window.h"
#include "ui/shell/product_info.h"
#include "ui/shell/settings_storage.h"
#include "ui/shell/wait_window.h"
#include "ui/text_convert.h"

// The icons are compiled into the static window library, whose resource
// registration the linker would drop unless something refers to it.
static void InitResources() {
  Q_INIT_RESOURCE(adweld);
}

namespace adw::ui {

TfrmMain::TfrmMain(std::string settingsPath, QWidget* parent)
    : QMainWindow(parent), m_settingsPath(std::move(settingsPath)) {
  InitResources();
  if (m_settingsPath.empty()) m_settingsPath = adw::engine::SettingsFileName();
  setObjectName(QStringLiteral("frmMain"));
  QIcon icon(QStringLiteral(":/icons/adwelder.png"));
  icon.addFile(QStringLiteral(":/icons/adwelder64.png"));
  setWindowIcon(icon);

  m_hooks.ShowError = [this](const QString& text) { QMessageBox::critical(this, windowTitle(), text); };
  m_hooks.ExecModal = [](QDialog& dialog) { return dialog.exec(); };
  m_confirm = [this](const QString& question, const QString& yes, const QString& no) {
    QMessageBox box(QMessageBox::Question, windowTitle(), question, QMessageBox::NoButton, this);
    QPushButton* yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton* noButton = box.addButton(no, QMessageBox::RejectRole);
    // The safe answer is the one Enter gives.
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
  };

  BuildToolbar();
  BuildMenus();

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("pClient"));
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(pButtons);
  auto* rule = new QFrame(central);
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  layout->addWidget(rule);
  pPanels = new QStackedWidget(central);
  pPanels->setObjectName(QStringLiteral("pPanels"));
  for (QWidget* panel : {BuildProjectsPanel(), BuildEditorPanel(), BuildReportsPanel(), BuildStatusPanel(),
                         BuildConfigPanel(), BuildWizardPanel(), BuildAboutPanel()})
    pPanels->addWidget(panel);
  layout->addWidget(pPanels, 1);
  setCentralWidget(central);

  statusBar()->setObjectName(QStringLiteral("sbMainBar"));
  sbMain = new QLabel(statusBar());
  sbMain->setObjectName(QStringLiteral("sbMain"));
  sbMain->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addWidget(sbMain, 1);

  BuildTray();
  ConnectCommands();
  SetCommandStates(true, true, false, true);

  setMinimumSize(578, 371);
  m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
  m_frmDownLoad = new TfrmDownLoad(this);
  FormCreate();
  Guarded([this] { RestoreLayout(); });
}

TfrmMain::~TfrmMain() {
  if (fsMain && fsMain->HasRestored() && !m_storageSaved)
    Guarded([this] {
      SaveStoredValues();
      SaveLayout();
    });
  FormDestroy();
  delete m_frmWait.data();
}

TfrmWait* TfrmMain::frmWait() const {
  return m_frmWait.data();
}

void TfrmMain::SetUserHooks(UserHooks hooks) {
  if (hooks.ShowError) m_hooks.ShowError = std::move(hooks.ShowError);
  if (hooks.ExecModal) m_hooks.ExecModal = std::move(hooks.ExecModal);
}

// -- window events -----------------------------------------------------------

void TfrmMain::FormCreate() {
  m_frmWait = new TfrmWait;
  m_frmWait->setAttribute(Qt::WA_DeleteOnClose);
  m_frmWait->show();
  // Let the wait window paint before the start-up load keeps the thread busy.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

  BringToFront(pTree);
  m_viewMode = vmProjects;
  lbBuild->setText(BuildCaption());
  setWindowTitle(QStringLiteral("Adwelder ") + lbBuild->text());

  m_storageAdapter = std::make_unique<MainFormStorageAdapter>(*this);
  fsMain = std::make_unique<adw::engine::FormStorage>(*m_storageAdapter, m_settingsPath);

  edData->setDate(QDate::currentDate());
  cbTime->setChecked(false);
}

void TfrmMain::FormShow() {
  // Each step of the load depends on the others only through the script
  // directory, so a failing step is reported and the next one still runs;
  // the wait window must not stay up over a half-loaded window.
  QStringList errors;
  for (void (TfrmMain::*step)() : {&TfrmMain::LoadBoardList, &TfrmMain::LoadVariables, &TfrmMain::LoadAds}) {
    try {
      (this->*step)();
    } catch (...) {
      errors << ErrorText(std::current_exception());
    }
  }
  CloseWaitWindow();
  m_viewMode = vmProjects;
  FormResize();
  for (const QString& error : errors) ShowError(error);
}

void TfrmMain::CloseWaitWindow() {
  if (!m_frmWait) return;
  try {
    m_frmWait->close();
  } catch (...) {
    // Closing the wait window may fail in no way that matters to the user.
  }
}

void TfrmMain::FormResize() {
  if (m_viewMode == vmProjects && DBGridMessage && DBGridMessage->model() &&
      DBGridMessage->model()->columnCount() > 0) {
    DBGridMessage->setColumnWidth(0, std::max(0, DBGridMessage->width() - 5));
  } else if (m_viewMode == vmEditor && DBGridFields && DBGridFields->model() &&
             DBGridFields->model()->columnCount() > 1) {
    DBGridFields->setColumnWidth(1, std::max(0, DBGridFields->width() - DBGridFields->columnWidth(0) - 23));
  }
}

void TfrmMain::FormDestroy() {
  Guarded([this] { SaveVariables(); });
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (m_firstShowDone) return;
  m_firstShowDone = true;
  Guarded([this] { RestoreStoredValues(); });
  FormShow();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!CloseQuestionsAnswered()) {
    event->ignore();
    return;
  }
  if (m_trayActive) {
    m_trayActive = false;
    m_trayAnimation->stop();
    RxTray->hide();
  }
  // A settings file that cannot be written is reported, but the user still
  // gets to leave the program.
  // The layout goes after the stored values and only when they could be
  // written: one refused file is one message.
  Guarded([this] {
    SaveStoredValues();
    SaveLayout();
  });
  event->accept();
  emit Closed();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  if ((windowState() & Qt::WindowMinimized) && !m_trayActive && m_runInProgress && cbState &&
      cbState->isChecked()) {
    // Hiding from inside the state change confuses some window managers;
    // the window goes to the tray once the minimising is done.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (isMinimized() && !m_trayActive) Guarded([this] { HideToTray(); });
        },
        Qt::QueuedConnection);
  }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && (watched == DBGridMessage || watched == DBGridFields)) {
    // The grids change size with the window and with their splitter; the
    // column rule follows both.
    FormResize();
  } else if (event->type() == QEvent::MouseButtonRelease && (watched == lbURL || watched == lbEMail)) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      if (watched == lbURL)
        Guarded([this] { lbURLClick(); });
      else
        Guarded([this] { lbEMailClick(); });
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// -- state ---------------------------------------------------------------------

void TfrmMain::BringToFront(QWidget* panel) {
  pPanels->setCurrentWidget(panel);
}

QWidget* TfrmMain::PanelInFront() const {
  return pPanels->currentWidget();
}

void TfrmMain::SetCommandStates(bool normal, bool open, bool save, bool del) {
  for (QMenu* menu : {mmFile, mmView, mmOption, mmHelp}) menu->menuAction()->setEnabled(normal);
  for (QAction* item :
       {mmRedoNew, mmRedoSelAll, mmRedoUnSelAll, mmRedoInvert, mmRedoSelAllAds, mmRedoUnSelAllAds})
    item->setEnabled(normal);
  for (QToolButton* button : {sbtnNew, sbtnProjects, sbtnStatus, sbtnReports, sbtnConfig, sbtnURL})
    button->setEnabled(normal);
  mmRedoOpen->setEnabled(open);
  sbtnOpen->setEnabled(open);
  mmRedoSave->setEnabled(save);
  sbtnSave->setEnabled(save);
  mmRedoDel->setEnabled(del);
  sbtnDel->setEnabled(del);
}

void TfrmMain::SetStatusText(const QString& text) {
  sbMain->setText(text);
}

QString TfrmMain::StatusText() const {
  return sbMain->text();
}

void TfrmMain::ShowError(const QString& text) {
  if (m_hooks.ShowError) m_hooks.ShowError(text);
}

void TfrmMain::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ShowError(ErrorText(std::current_exception()));
  }
}

QString TfrmMain::ErrorText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    // Engine messages are Windows-1251, but a path taken from the system
    // (the settings file beside the program) is in the system's UTF-8.
    // Cyrillic Windows-1251 text is never valid UTF-8, so the bytes tell.
    const QByteArray bytes(e.what());
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? ToQ(e.what()) : decoded;
  } catch (...) {
    return QStringLiteral("Unknown error");
  }
}

bool TfrmMain::Confirm(const QString& question, const QString& yes, const QString& no) {
  return m_confirm && m_confirm(question, yes, no);
}

bool TfrmMain::CloseQuestionsAnswered() {
  if (Posting().IsBusy() &&
      !Confirm(QStringLiteral("Идет размещение объявлений. Остановить его и закрыть программу?"),
               QStringLiteral("Остановить и закрыть"), QStringLiteral("Продолжить размещение")))
    return false;
  if (HasUnsavedAd() &&
      !Confirm(QStringLiteral("Объявление не сохранено. Закрыть программу без сохранения?"),
               QStringLiteral("Закрыть без сохранения"), QStringLiteral("Вернуться к объявлению")))
    return false;
  return true;
}

int TfrmMain::ExecModal(QDialog& dialog) {
  return m_hooks.ExecModal ? m_hooks.ExecModal(dialog) : 0;
}

// -- commands --------------------------------------------------------------------

void TfrmMain::mmUpdateProgramClick() {
  ExecModal(*m_frmDownLoad);
  m_viewMode = vmUpdateProgram;
}

void TfrmMain::mmUpdateBaseClick() {
  ExecModal(*m_frmDownLoad);
  m_viewMode = vmUpdateBase;
}

void TfrmMain::mmExitClick() {
  close();
}

void TfrmMain::mmRedoSaveClick() {
  EnterNormalState();
  if (m_viewMode == vmConfig)
    SaveConfiguration();
  else if (m_viewMode == vmEditor)
    SaveEditedAd();
}

void TfrmMain::mmViewReportClick() {
  BringToFront(pViewResult);
  m_viewMode = vmReport;
}

void TfrmMain::mmViewStatusClick() {
  BringToFront(pViewStat);
  m_viewMode = vmStatus;
  (btnStart->isVisibleTo(pViewStat) ? btnStart : btnStop)->setFocus();
}

void TfrmMain::mmViewProjectsClick() {
  BringToFront(pTree);
  m_viewMode = vmProjects;
}

void TfrmMain::mmOptionConfigClick() {
  BringToFront(pNSTR);
  m_viewMode = vmConfig;
  EnterEditingState();
}

void TfrmMain::mmOptionAddDOClick() {
  BringToFront(pAddDO);
  m_viewMode = vmWizard;
  HasCapture = false;
}

void TfrmMain::mmHelpAboutClick() {
  BringToFront(pHelpAbout);
  m_viewMode = vmAbout;
}

void TfrmMain::mmHelpOnlineClick() {
  adw::platform::Shell().Open(FromQ(kHelpPageUrl));
}

void TfrmMain::lbURLClick() {
  adw::platform::Shell().Open(FromQ(kMakerSiteUrl));
}

void TfrmMain::lbEMailClick() {
  adw::platform::Shell().Open(FromQ(QStringLiteral("mailto:") + kMakerEMail));
}

}  // namespace adw::ui
