// The toolbar pButtons and the menu bar of the main window, and the wiring
// of every command to its handler.
#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include "ui/shell/main_window.h"

namespace adw::ui {

namespace {

QToolButton* ToolButton(QWidget* bar, const QString& name, const QString& hint, const QString& glyph) {
  auto* button = new QToolButton(bar);
  button->setObjectName(name);
  button->setToolTip(hint);
  button->setAccessibleName(hint);
  button->setAutoRaise(true);
  button->setFixedSize(45, 41);
  button->setIconSize(QSize(32, 32));
  button->setIcon(QIcon(QStringLiteral(":/icons/%1.png").arg(glyph)));
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QAction* Item(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut = {}) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

}  // namespace

void TfrmMain::BuildToolbar() {
  pButtons = new QWidget;
  pButtons->setObjectName(QStringLiteral("pButtons"));
  pButtons->setFixedHeight(41);
  auto* layout = new QHBoxLayout(pButtons);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  sbtnNew =
      ToolButton(pButtons, QStringLiteral("sbtnNew"), QStringLiteral("Добавить"), QStringLiteral("new"));
  sbtnOpen = ToolButton(pButtons, QStringLiteral("sbtnOpen"), QStringLiteral("Редактировать"),
                        QStringLiteral("edit"));
  sbtnDel =
      ToolButton(pButtons, QStringLiteral("sbtnDel"), QStringLiteral("Удалить"), QStringLiteral("delete"));
  sbtnSave =
      ToolButton(pButtons, QStringLiteral("sbtnSave"), QStringLiteral("Сохранить"), QStringLiteral("save"));
  sbtnProjects = ToolButton(pButtons, QStringLiteral("sbtnProjects"), QStringLiteral("Проекты"),
                            QStringLiteral("projects"));
  sbtnStatus = ToolButton(pButtons, QStringLiteral("sbtnStatus"), QStringLiteral("Статус работы"),
                          QStringLiteral("status"));
  sbtnReports = ToolButton(pButtons, QStringLiteral("sbtnReports"), QStringLiteral("Отчеты"),
                           QStringLiteral("reports"));
  sbtnConfig = ToolButton(pButtons, QStringLiteral("sbtnConfig"), QStringLiteral("Конфигурация"),
                          QStringLiteral("config"));
  sbtnURL = ToolButton(pButtons, QStringLiteral("sbtnURL"), QStringLiteral("Добавить ссылку"),
                       QStringLiteral("addlink"));
  sbtnHelp =
      ToolButton(pButtons, QStringLiteral("sbtnHelp"), QStringLiteral("Помощь"), QStringLiteral("help"));

  for (QToolButton* button : {sbtnNew, sbtnOpen, sbtnDel, sbtnSave}) layout->addWidget(button);
  layout->addSpacing(30);
  for (QToolButton* button : {sbtnProjects, sbtnStatus, sbtnReports, sbtnConfig, sbtnURL})
    layout->addWidget(button);
  layout->addStretch(1);
  layout->addWidget(sbtnHelp);
}

void TfrmMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("mmMain"));

  mmFile = bar->addMenu(QStringLiteral("&Файл"));
  mmFile->setObjectName(QStringLiteral("mmFile"));
  mmUpdateProgram = Item(mmFile, QStringLiteral("mmUpdateProgram"), QStringLiteral("Обновление программы"));
  mmUpdateBase = Item(mmFile, QStringLiteral("mmUpdateBase"), QStringLiteral("Обновление базы досок"));
  mmRetryFailed = Item(mmFile, QStringLiteral("mmRetryFailed"), QStringLiteral("Повторить неудачные"));
  mmCheckBoards = Item(mmFile, QStringLiteral("mmCheckBoards"), QStringLiteral("Проверить доски"));
  mmFile->addSeparator();
  mmExit =
      Item(mmFile, QStringLiteral("mmExit"), QStringLiteral("&Выход"), QKeySequence(Qt::ALT | Qt::Key_F4));

  mmRedo = bar->addMenu(QStringLiteral("&Редакция"));
  mmRedo->setObjectName(QStringLiteral("mmRedo"));
  mmRedoNew = Item(mmRedo, QStringLiteral("mmRedoNew"), QStringLiteral("Новая запись"),
                   QKeySequence(Qt::CTRL | Qt::Key_N));
  mmRedoOpen = Item(mmRedo, QStringLiteral("mmRedoOpen"), QStringLiteral("Редакция записи"),
                    QKeySequence(Qt::CTRL | Qt::Key_O));
  mmRedoSave = Item(mmRedo, QStringLiteral("mmRedoSave"), QStringLiteral("Сохранение "),
                    QKeySequence(Qt::CTRL | Qt::Key_S));
  mmRedoDel = Item(mmRedo, QStringLiteral("mmRedoDel"), QStringLiteral("Удаление записи"),
                   QKeySequence(Qt::CTRL | Qt::Key_D));
  mmRedo->addSeparator();
  mmRedoSelAll = Item(mmRedo, QStringLiteral("mmRedoSelAll"), QStringLiteral("Отметить все проекты"),
                      QKeySequence(Qt::CTRL | Qt::Key_Insert));
  mmRedoUnSelAll = Item(mmRedo, QStringLiteral("mmRedoUnSelAll"), QStringLiteral("Отменить все проекты"),
                        QKeySequence(Qt::CTRL | Qt::Key_Delete));
  mmRedoInvert = Item(mmRedo, QStringLiteral("mmRedoInvert"), QStringLiteral("Инвертация выделенного"),
                      QKeySequence(Qt::CTRL | Qt::Key_I));

  mmRedo->addSeparator();
  mmRedoSelAllAds = Item(mmRedo, QStringLiteral("mmRedoSelAllAds"), QStringLiteral("Отметить все объявления"),
                         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Insert));
  mmRedoUnSelAllAds =
      Item(mmRedo, QStringLiteral("mmRedoUnSelAllAds"), QStringLiteral("Отменить все объявления"),
           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));

  mmView = bar->addMenu(QStringLiteral("&Просмотр"));
  mmView->setObjectName(QStringLiteral("mmView"));
  mmViewReport = Item(mmView, QStringLiteral("mmViewReport"), QStringLiteral("Отчет размещения"),
                      QKeySequence(Qt::CTRL | Qt::Key_R));
  mmViewStatus = Item(mmView, QStringLiteral("mmViewStatus"), QStringLiteral("Статус работы"),
                      QKeySequence(Qt::CTRL | Qt::Key_V));
  mmViewProjects = Item(mmView, QStringLiteral("mmViewProjects"), QStringLiteral("Проекты"),
                        QKeySequence(Qt::CTRL | Qt::Key_P));
  mmViewBoardStats = Item(mmView, QStringLiteral("mmViewBoardStats"), QStringLiteral("Статистика досок"));
  mmViewBoardStats->setCheckable(true);

  mmOption = bar->addMenu(QStringLiteral("&Настройка"));
  mmOption->setObjectName(QStringLiteral("mmOption"));
  mmLanguages = mmOption->addMenu(QStringLiteral("Языки"));
  mmLanguages->setObjectName(QStringLiteral("mmLanguages"));
  mmLangRussian = Item(mmLanguages, QStringLiteral("mmLangRussian"), QStringLiteral("Русский"));
  mmLangRussian->setCheckable(true);
  mmLangRussian->setChecked(true);
  mmLangEnglish = Item(mmLanguages, QStringLiteral("mmLangEnglish"), QStringLiteral("Английский"));
  mmLangEnglish->setCheckable(true);
  // The program speaks Russian only; the choice is shown but never offered.
  mmLanguages->menuAction()->setEnabled(false);
  mmOptionConfig = Item(mmOption, QStringLiteral("mmOptionConfig"), QStringLiteral("Конфигурация ..."));
  mmOptionAddDO = Item(mmOption, QStringLiteral("mmOptionAddDO"), QStringLiteral("Добавить доску"));

  mmHelp = bar->addMenu(QStringLiteral("&Помощь"));
  mmHelp->setObjectName(QStringLiteral("mmHelp"));
  mmHelpOnline = Item(mmHelp, QStringLiteral("mmHelpOnline"), QStringLiteral("Помощь (on-line)"));
  mmHelp->addSeparator();
  mmHelpAbout = Item(mmHelp, QStringLiteral("mmHelpAbout"), QStringLiteral("О Программе ..."));
}

std::function<void()> TfrmMain::Handler(void (TfrmMain::*handler)()) {
  return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
}

void TfrmMain::ConnectCommands() {
  const auto onTrigger = [this](QAction* action, void (TfrmMain::*handler)()) {
    connect(action, &QAction::triggered, this, Handler(handler));
  };
  const auto onClick = [this](QAbstractButton* button, void (TfrmMain::*handler)()) {
    connect(button, &QAbstractButton::clicked, this, Handler(handler));
  };

  onTrigger(mmUpdateProgram, &TfrmMain::mmUpdateProgramClick);
  onTrigger(mmUpdateBase, &TfrmMain::mmUpdateBaseClick);
  onTrigger(mmExit, &TfrmMain::mmExitClick);
  onTrigger(mmRedoNew, &TfrmMain::mmRedoNewClick);
  onTrigger(mmRedoOpen, &TfrmMain::mmRedoOpenClick);
  onTrigger(mmRedoSave, &TfrmMain::mmRedoSaveClick);
  onTrigger(mmRedoDel, &TfrmMain::mmRedoDelClick);
  onTrigger(mmRedoSelAll, &TfrmMain::mmRedoSelAllClick);
  onTrigger(mmRedoUnSelAll, &TfrmMain::mmRedoUnSelAllClick);
  onTrigger(mmRedoInvert, &TfrmMain::mmRedoInvertClick);
  onTrigger(mmRedoSelAllAds, &TfrmMain::mmRedoSelAllAdsClick);
  onTrigger(mmRedoUnSelAllAds, &TfrmMain::mmRedoUnSelAllAdsClick);
  onTrigger(mmViewReport, &TfrmMain::mmViewReportClick);
  onTrigger(mmViewStatus, &TfrmMain::mmViewStatusClick);
  onTrigger(mmViewProjects, &TfrmMain::mmViewProjectsClick);
  onTrigger(mmOptionConfig, &TfrmMain::mmOptionConfigClick);
  onTrigger(mmOptionAddDO, &TfrmMain::mmOptionAddDOClick);
  onTrigger(mmHelpOnline, &TfrmMain::mmHelpOnlineClick);
  onTrigger(mmHelpAbout, &TfrmMain::mmHelpAboutClick);

  onClick(sbtnNew, &TfrmMain::mmRedoNewClick);
  onClick(sbtnOpen, &TfrmMain::mmRedoOpenClick);
  onClick(sbtnDel, &TfrmMain::mmRedoDelClick);
  onClick(sbtnSave, &TfrmMain::mmRedoSaveClick);
  onClick(sbtnProjects, &TfrmMain::mmViewProjectsClick);
  onClick(sbtnStatus, &TfrmMain::mmViewStatusClick);
  onClick(sbtnReports, &TfrmMain::mmViewReportClick);
  onClick(sbtnConfig, &TfrmMain::mmOptionConfigClick);
  onClick(sbtnURL, &TfrmMain::mmOptionAddDOClick);
  onClick(sbtnHelp, &TfrmMain::mmHelpOnlineClick);

  onClick(btnSelAll, &TfrmMain::mmRedoSelAllClick);
  onClick(btnUnSelAll, &TfrmMain::mmRedoUnSelAllClick);
  onClick(btnInvert, &TfrmMain::mmRedoInvertClick);
  onClick(cbCategButton, &TfrmMain::cbCategButtonClick);
  onClick(btnViewRep, &TfrmMain::btnViewRepClick);
  onClick(btnEmpty, &TfrmMain::btnEmptyClick);
  onClick(btnStart, &TfrmMain::btnStartClick);
  onClick(btnStop, &TfrmMain::btnStopClick);
  onClick(btnNext, &TfrmMain::btnNextClick);
  onClick(btnPrev, &TfrmMain::btnPrevClick);
  onClick(btnCancel, &TfrmMain::btnCancelClick);
  onClick(btnRedoCancel, &TfrmMain::btnRedoCancelClick);
  connect(edFilter, &QLineEdit::textChanged, this, Handler(&TfrmMain::edFilterChange));
  // The tick commands also under the right mouse button of each list.
  CLBMain->setContextMenuPolicy(Qt::ActionsContextMenu);
  CLBMain->addActions({mmRedoSelAll, mmRedoUnSelAll, mmRedoInvert});
  DBGridMessage->setContextMenuPolicy(Qt::ActionsContextMenu);
  DBGridMessage->addActions({mmRedoSelAllAds, mmRedoUnSelAllAds});
  // A check box's handler runs on every change of its state, whether the
  // user clicked it or the stored settings set it.
  connect(cbTime, &QCheckBox::toggled, this, Handler(&TfrmMain::cbTimeClick));
}

}  // namespace adw::ui
