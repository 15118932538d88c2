// The main window's shell: panels and commands, the editing state, the
// window's size rules, the tray, the small windows, the help and about
// links, and the Qt side of the platform (shell targets, main-thread call).
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell.h"
#include "platform/text1251.h"
#include "support/recording_shell.h"
#include "ui/base/category_chooser.h"
#include "ui/platform_qt.h"
#include "ui/shell/download_window.h"
#include "ui/shell/main_window.h"
#include "ui/shell/product_info.h"
#include "ui/shell/qt_translation.h"
#include "ui/shell/wait_window.h"
#include "ui/text_convert.h"

using adw::ui::TfrmMain;
using adw::ui::TViewMode;

namespace {

using adw::test::RecordingShell;

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir m_dir;
  RecordingShell m_shell;
  std::unique_ptr<TfrmMain> m_w;
  QStringList m_errors;
  QStringList m_modals;

  TfrmMain& Shown() {
    m_w = std::make_unique<TfrmMain>(m_dir.filePath(QStringLiteral("adwelder.ini")).toStdString());
    m_w->SetUserHooks({[this](const QString& text) { m_errors << text; },
                       [this](QDialog& dialog) {
                         m_modals << dialog.objectName();
                         return int(QDialog::Accepted);
                       }});
    m_w->show();
    return *m_w;
  }

  // Every command's action or button, looked up by its object name.
  void Fire(const QString& name) {
    if (auto* action = m_w->findChild<QAction*>(name)) {
      action->trigger();
    } else if (auto* button = m_w->findChild<QToolButton*>(name)) {
      button->click();
    } else {
      QFAIL(qPrintable(QStringLiteral("no command ") + name));
    }
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    adw::platform::SetShell(&m_shell);
  }
  void cleanupTestCase() { adw::platform::SetShell(nullptr); }
  void init() {
    // Each test starts as a first start: no settings left by the last one.
    QFile(m_dir.filePath(QStringLiteral("adwelder.ini"))).remove();
    m_shell.opened.clear();
    m_errors.clear();
    m_modals.clear();
  }
  void cleanup() { m_w.reset(); }

  void panelCommandsBringTheirPanelToTheFront_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("mode");
    QTest::newRow("menu Отчет размещения") << "mmViewReport"
                                           << "pViewResult" << int(adw::ui::vmReport);
    QTest::newRow("toolbar Отчеты") << "sbtnReports"
                                    << "pViewResult" << int(adw::ui::vmReport);
    QTest::newRow("menu Статус работы") << "mmViewStatus"
                                        << "pViewStat" << int(adw::ui::vmStatus);
    QTest::newRow("toolbar Статус работы") << "sbtnStatus"
                                           << "pViewStat" << int(adw::ui::vmStatus);
    QTest::newRow("menu Проекты") << "mmViewProjects"
                                  << "pTree" << int(adw::ui::vmProjects);
    QTest::newRow("toolbar Проекты") << "sbtnProjects"
                                     << "pTree" << int(adw::ui::vmProjects);
    QTest::newRow("menu Конфигурация") << "mmOptionConfig"
                                       << "pNSTR" << int(adw::ui::vmConfig);
    QTest::newRow("toolbar Конфигурация") << "sbtnConfig"
                                          << "pNSTR" << int(adw::ui::vmConfig);
    QTest::newRow("menu Добавить доску") << "mmOptionAddDO"
                                         << "pAddDO" << int(adw::ui::vmWizard);
    QTest::newRow("toolbar Добавить ссылку") << "sbtnURL"
                                             << "pAddDO" << int(adw::ui::vmWizard);
    QTest::newRow("menu О Программе") << "mmHelpAbout"
                                      << "pHelpAbout" << int(adw::ui::vmAbout);
  }

  void panelCommandsBringTheirPanelToTheFront() {
    QFETCH(QString, command);
    QFETCH(QString, panel);
    QFETCH(int, mode);
    TfrmMain& w = Shown();
    // Start from a panel that is not the expected one.
    Fire(panel == QLatin1String("pHelpAbout") ? QStringLiteral("mmViewReport")
                                              : QStringLiteral("mmHelpAbout"));
    QVERIFY(w.PanelInFront()->objectName() != panel);
    w.HasCapture = true;
    Fire(command);
    QCOMPARE(w.PanelInFront()->objectName(), panel);
    QCOMPARE(int(w.ViewMode()), mode);
    for (QWidget* other : w.pPanels->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (other->objectName() != panel && other->objectName().startsWith(QLatin1Char('p')))
        QVERIFY2(!other->isVisible(), qPrintable(other->objectName()));
    // Opening the wizard forgets an earlier capture.
    if (mode == adw::ui::vmWizard) QVERIFY(!w.HasCapture);
  }

  void updateItemsShowTheNoticeAndKeepThePanel_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("mode");
    QTest::newRow("Обновление программы") << "mmUpdateProgram" << int(adw::ui::vmUpdateProgram);
    QTest::newRow("Обновление базы досок") << "mmUpdateBase" << int(adw::ui::vmUpdateBase);
  }

  void updateItemsShowTheNoticeAndKeepThePanel() {
    QFETCH(QString, command);
    QFETCH(int, mode);
    TfrmMain& w = Shown();
    Fire(QStringLiteral("mmViewStatus"));
    Fire(command);
    QCOMPARE(m_modals, QStringList{QStringLiteral("frmDownLoad")});
    QCOMPARE(w.PanelInFront(), w.pViewStat);
    QCOMPARE(int(w.ViewMode()), mode);
  }

  void statusCommandFocusesTheVisibleRunButton() {
    TfrmMain& w = Shown();
    Fire(QStringLiteral("mmViewStatus"));
    QCOMPARE(w.focusWidget(), w.btnStart);
    // During a run Stop stands in Start's place.
    w.btnStart->hide();
    w.btnStop->show();
    Fire(QStringLiteral("mmViewProjects"));
    Fire(QStringLiteral("sbtnStatus"));
    QCOMPARE(w.focusWidget(), w.btnStop);
  }

  void editingStateLeavesOnlySaveAndHelp() {
    TfrmMain& w = Shown();
    Fire(QStringLiteral("sbtnConfig"));
    for (QMenu* menu : {w.mmFile, w.mmView, w.mmOption, w.mmHelp})
      QVERIFY2(!menu->menuAction()->isEnabled(), qPrintable(menu->objectName()));
    QVERIFY(w.mmRedo->menuAction()->isEnabled());
    for (QAction* item : w.mmRedo->actions()) {
      if (item->isSeparator()) continue;
      QCOMPARE(item->isEnabled(), item == w.mmRedoSave);
    }
    for (QToolButton* button : w.pButtons->findChildren<QToolButton*>())
      QCOMPARE(button->isEnabled(), button == w.sbtnSave || button == w.sbtnHelp);
    QCOMPARE(w.mmRedoSave->text(), QStringLiteral("Сохранение "));

    // The shortcut of an item in a disabled menu does nothing.
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(w.PanelInFront(), w.pNSTR);

    // Help stays usable.
    w.sbtnHelp->click();
    QCOMPARE(m_shell.opened, std::vector<std::string>{adw::ui::FromQ(adw::ui::kHelpPageUrl)});

    // Save restores the normal state, with Save itself disabled again.
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(w.PanelInFront(), w.pTree);
    for (QMenu* menu : {w.mmFile, w.mmView, w.mmOption, w.mmHelp}) QVERIFY(menu->menuAction()->isEnabled());
    for (QToolButton* button : w.pButtons->findChildren<QToolButton*>())
      QCOMPARE(button->isEnabled(), button != w.sbtnSave);
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(w.PanelInFront(), w.pViewResult);
    QVERIFY(m_errors.isEmpty());
  }

  void editorSaveOfNothingSaysWhyAndCancelReturnsToTheProjects() {
    TfrmMain& w = Shown();
    w.mmRedoNew->trigger();
    w.mmRedoSave->trigger();
    QCOMPARE(w.PanelInFront(), w.pRedo);
    QVERIFY(!w.StatusText().isEmpty());
    QVERIFY(w.mmRedoSave->isEnabled());
    w.btnRedoCancel->click();
    QCOMPARE(w.PanelInFront(), w.pTree);
    QCOMPARE(w.ViewMode(), adw::ui::vmProjects);
    QVERIFY(w.mmRedoOpen->isEnabled());
    QVERIFY(!w.mmRedoSave->isEnabled());
    QVERIFY(w.StatusText().isEmpty());
  }

  void firstStartIsRoomyAndTheSmallestWindowScrolls() {
    TfrmMain& w = Shown();
    // The offscreen screen has room for it.
    QCOMPARE(w.size(), QSize(800, 560));
    QCOMPARE(w.minimumSize(), QSize(578, 371));
    w.resize(300, 200);
    QCOMPARE(w.size(), QSize(578, 371));
    // At the smallest size the panels with the most rows scroll rather
    // than hide or squeeze them.
    for (QWidget* panel : {w.pNSTR, w.pViewStat}) {
      w.BringToFront(panel);
      QCoreApplication::processEvents();
      auto* scroll = panel->findChild<QScrollArea*>();
      QVERIFY2(scroll, qPrintable(panel->objectName()));
      QVERIFY(scroll->widget()->height() >= scroll->widget()->minimumSizeHint().height());
    }
    w.BringToFront(w.pNSTR);
    QCoreApplication::processEvents();
    QVERIFY(w.DBGridTemplate->height() >= 4 * w.DBGridTemplate->verticalHeader()->defaultSectionSize());
  }

  void layoutAndThreadCountComeBackAtTheNextStart() {
    {
      TfrmMain& w = Shown();
      w.setGeometry(40, 30, 700, 500);
      w.spTree->setSizes({260, 440});
      w.DBGridFields->setColumnWidth(0, 170);
      w.DBGridTemplate->setColumnWidth(0, 150);
      w.mmOptionConfigClick();
      w.RxSEdPost->setValue(12);
      w.mmRedoSave->trigger();
      QVERIFY(w.close());
      m_w.reset();
    }
    TfrmMain& w = Shown();
    QCOMPARE(w.geometry(), QRect(40, 30, 700, 500));
    QCOMPARE(w.spTree->sizes().first(), 260);
    QCOMPARE(w.DBGridFields->columnWidth(0), 170);
    QCOMPARE(w.DBGridTemplate->columnWidth(0), 150);
    QCOMPARE(w.RxSEdPost->value(), 12);
    QVERIFY(m_errors.isEmpty());
  }

  void smallDialogsHaveOnlyACloseBoxAndThePortBoxTakesDigitsWhereverClicked() {
    TfrmMain& w = Shown();
    for (QWidget* dialog :
         std::initializer_list<QWidget*>{w.frmDownLoad(), w.findChild<adw::ui::TfrmVariab*>()}) {
      if (!dialog) continue;
      const Qt::WindowFlags flags = dialog->windowFlags();
      QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)),
               qPrintable(dialog->objectName()));
      QVERIFY(dialog->minimumSize() == dialog->maximumSize());
    }
    // X11 appends an application display name to every other window's
    // title, which cut the chooser's "Категории"; the program sets none.
    QVERIFY(!QGuiApplication::applicationDisplayName().contains(QStringLiteral("Adwelder")));
    w.mmOptionConfigClick();
    QCoreApplication::processEvents();
    QLineEdit* port = w.EdProxyPort;
    QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(port->width() - 4, port->height() / 2));
    QTest::keyClicks(port, QStringLiteral("8080"));
    QCOMPARE(port->text(), QStringLiteral("8080"));
    QTest::mouseClick(port, Qt::LeftButton, {}, QPoint(port->width() - 4, port->height() / 2));
    QTest::keyClicks(port, QStringLiteral("1"));
    QCOMPARE(port->text(), QStringLiteral("80801"));
  }

  void adListColumnFollowsTheGrid_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger") << QSize(900, 640);
    QTest::newRow("smallest") << QSize(578, 371);
    QTest::newRow("wide") << QSize(1200, 400);
  }

  void adListColumnFollowsTheGrid() {
    QFETCH(QSize, size);
    TfrmMain& w = Shown();
    w.resize(size);
    QCOMPARE(w.DBGridMessage->columnWidth(0), w.DBGridMessage->width() - 5);

    // Moving the splitter changes the grid, and the column follows.
    w.spTree->setSizes({260, w.spTree->width() - 260});
    QCOMPARE(w.DBGridMessage->columnWidth(0), w.DBGridMessage->width() - 5);

    // In the editor the value column of the fields grid takes the rest.
    w.BringToFront(w.pRedo);
    w.SetViewMode(adw::ui::vmEditor);
    w.resize(size + QSize(40, 20));
    QCOMPARE(w.DBGridFields->columnWidth(1), w.DBGridFields->width() - w.DBGridFields->columnWidth(0) - 23);

    // Elsewhere nothing changes.
    w.mmViewReport->trigger();
    const int ads = w.DBGridMessage->columnWidth(0);
    const int fields = w.DBGridFields->columnWidth(1);
    w.resize(size + QSize(100, 60));
    QCOMPARE(w.DBGridMessage->columnWidth(0), ads);
    QCOMPARE(w.DBGridFields->columnWidth(1), fields);
  }

  void languagesAndTrayReportStayDisabled() {
    TfrmMain& w = Shown();
    w.SetTrayAvailable(true);
    const auto check = [&w] {
      QVERIFY(!w.mmLanguages->menuAction()->isEnabled());
      QVERIFY(w.mmLangRussian->isChecked());
      QVERIFY(!w.pmTrayReport->isEnabled());
    };
    check();
    w.EnterEditingState();
    check();
    w.EnterNormalState();
    check();
    w.HideToTray();
    check();
    w.RestoreFromTray();
    check();
    QStringList captions;
    for (QAction* item : w.pmTray->actions())
      captions << (item->isSeparator() ? QStringLiteral("-") : item->text());
    QCOMPARE(captions, (QStringList{QStringLiteral("Восстановить"), QStringLiteral("Показать отчет"),
                                    QStringLiteral("-"), QStringLiteral("Выход")}));
    QCOMPARE(w.RxTray->toolTip(), QStringLiteral("Adwelder v1.05"));
  }

  void hideToTrayAndRestore() {
    TfrmMain& w = Shown();
    w.SetTrayAvailable(true);
    auto* animation = w.findChild<QTimer*>(QStringLiteral("tmTrayAnimation"));
    QVERIFY(animation);
    QVERIFY(!w.IsTrayActive());
    QVERIFY(!animation->isActive());

    w.HideToTray();
    QVERIFY(w.IsTrayActive());
    QVERIFY(w.isHidden());
    QVERIFY(animation->isActive());
    QCOMPARE(animation->interval(), 500);
    QTRY_VERIFY_WITH_TIMEOUT(w.TrayFrame() != 0, 5000);

    w.pmTrayRestore->trigger();
    QVERIFY(!w.IsTrayActive());
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!animation->isActive());

    // A double click on the icon restores as well.
    w.HideToTray();
    emit w.RxTray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(!w.IsTrayActive());
    QVERIFY(w.isVisible());
  }

  void withoutATrayTheWindowOnlyMinimises() {
    TfrmMain& w = Shown();
    w.SetTrayAvailable(false);
    w.HideToTray();
    QVERIFY(w.IsTrayActive());
    QVERIFY(w.isVisible());
    QVERIFY(w.isMinimized());
    w.RestoreFromTray();
    QVERIFY(!w.isMinimized());
  }

  void minimisingHidesToTrayOnlyDuringARunWithStartMinimised_data() {
    QTest::addColumn<bool>("startMinimised");
    QTest::addColumn<bool>("running");
    QTest::newRow("ticked, running") << true << true;
    QTest::newRow("ticked, idle") << true << false;
    QTest::newRow("unticked, running") << false << true;
    QTest::newRow("unticked, idle") << false << false;
  }

  void minimisingHidesToTrayOnlyDuringARunWithStartMinimised() {
    QFETCH(bool, startMinimised);
    QFETCH(bool, running);
    TfrmMain& w = Shown();
    w.SetTrayAvailable(true);
    w.cbState->setChecked(startMinimised);
    w.SetRunInProgress(running);
    w.showMinimized();
    QCoreApplication::processEvents();
    const bool toTray = startMinimised && running;
    QCOMPARE(w.IsTrayActive(), toTray);
    QCOMPARE(w.isHidden(), toTray);
  }

  void exitClosesTheWindow_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("menu Выход") << "mmExit";
    QTest::newRow("tray Выход") << "pmTrayExit";
  }

  void exitClosesTheWindow() {
    QFETCH(QString, command);
    TfrmMain& w = Shown();
    w.SetTrayAvailable(true);
    QSignalSpy closed(&w, &TfrmMain::Closed);
    if (command == QLatin1String("pmTrayExit")) w.HideToTray();
    Fire(command);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!w.isVisible());
    QVERIFY(!w.IsTrayActive());
    QCOMPARE(w.mmExit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_F4));
  }

  void waitWindowLastsUntilTheStartUpLoadEnds() {
    m_w = std::make_unique<TfrmMain>(m_dir.filePath(QStringLiteral("adwelder.ini")).toStdString());
    QPointer<adw::ui::TfrmWait> wait = m_w->frmWait();
    QVERIFY(wait);
    QVERIFY(wait->isVisible());
    QCOMPARE(wait->size(), QSize(284, 49));
    QVERIFY(wait->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(wait->lbWait->text(), QStringLiteral("Подождите, идет загрузка \nдосок объявлений ..."));
    QCOMPARE(wait->cursor().shape(), Qt::BusyCursor);
    m_w->show();
    QVERIFY(!wait || !wait->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!wait);
    QCOMPARE(m_w->ViewMode(), adw::ui::vmProjects);
  }

  void noticeWindowPointsAtTheSite() {
    TfrmMain& w = Shown();
    adw::ui::TfrmDownLoad& notice = *w.frmDownLoad();
    QCOMPARE(notice.windowTitle(), QStringLiteral(" "));
    QVERIFY(notice.lbText->text().contains(
        QStringLiteral("Извините, но пока автоматическое скачивание не готово, просто зайдите на")));
    QVERIFY(notice.lbText->text().contains(adw::ui::kMakerSiteUrl));
    emit notice.lbText->linkActivated(adw::ui::kMakerSiteUrl);
    QCOMPARE(m_shell.opened, std::vector<std::string>{adw::ui::FromQ(adw::ui::kMakerSiteUrl)});
    QCOMPARE(notice.btnClose->text(), QStringLiteral("Закрыть"));
    QVERIFY(notice.btnClose->isDefault());
    QTimer::singleShot(0, notice.btnClose, &QPushButton::click);
    QCOMPARE(notice.exec(), int(QDialog::Accepted));
  }

  void qtsOwnMenusAndButtonsSpeakRussian() {
    const std::unique_ptr<QTranslator> qtTexts = adw::ui::LoadQtTranslation();
    QVERIFY2(qtTexts, "qtbase_ru from qt6-translations-l10n is missing");
    QCoreApplication::installTranslator(qtTexts.get());
    QLineEdit box;
    const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList texts;
    // "&Копировать\tCtrl+C": the text without its mnemonic and shortcut.
    for (QAction* action : menu->actions())
      texts << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    const QString cancel = buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
    QCoreApplication::removeTranslator(qtTexts.get());
    QVERIFY2(texts.contains(QStringLiteral("Копировать")), qPrintable(texts.join(QLatin1Char('|'))));
    QCOMPARE(cancel, QStringLiteral("Отмена"));
  }

  void aboutPanelLinksOpenTheMakersAddresses() {
    TfrmMain& w = Shown();
    w.mmHelpAbout->trigger();
    QCOMPARE(w.lbBuild->text(), QStringLiteral("ver. 1.1 "));
    auto* settingsFile = w.pHelpAbout->findChild<QLabel*>(QStringLiteral("lbSettingsFile"));
    QVERIFY(settingsFile);
    QCOMPARE(settingsFile->text(),
             QStringLiteral("Файл настроек: ") + m_dir.filePath(QStringLiteral("adwelder.ini")));
    QTest::mouseClick(w.lbURL, Qt::LeftButton);
    QTest::mouseClick(w.lbEMail, Qt::LeftButton);
    w.mmHelpOnline->trigger();
    const std::vector<std::string> expected = {
        adw::ui::FromQ(adw::ui::kMakerSiteUrl),
        adw::ui::FromQ(QStringLiteral("mailto:") + adw::ui::kMakerEMail),
        adw::ui::FromQ(adw::ui::kHelpPageUrl)};
    QCOMPARE(m_shell.opened, expected);
  }

  void toolbarLayout() {
    TfrmMain& w = Shown();
    QCOMPARE(w.pButtons->height(), 41);
    const QStringList hints = {QStringLiteral("Добавить"),        QStringLiteral("Редактировать"),
                               QStringLiteral("Удалить"),         QStringLiteral("Сохранить"),
                               QStringLiteral("Проекты"),         QStringLiteral("Статус работы"),
                               QStringLiteral("Отчеты"),          QStringLiteral("Конфигурация"),
                               QStringLiteral("Добавить ссылку"), QStringLiteral("Помощь")};
    const QList<QToolButton*> buttons = {w.sbtnNew,      w.sbtnOpen,   w.sbtnDel,     w.sbtnSave,
                                         w.sbtnProjects, w.sbtnStatus, w.sbtnReports, w.sbtnConfig,
                                         w.sbtnURL,      w.sbtnHelp};
    for (int i = 0; i < buttons.size(); ++i) {
      QCOMPARE(buttons[i]->toolTip(), hints[i]);
      QCOMPARE(buttons[i]->size(), QSize(45, 41));
      QVERIFY(buttons[i]->autoRaise());
      QVERIFY(!buttons[i]->icon().isNull());
      if (i > 0 && i < 9) {
        const int gap = buttons[i]->x() - (buttons[i - 1]->x() + 45);
        QCOMPARE(gap, i == 4 ? 30 : 0);
      }
    }
    // "Помощь" keeps to the right edge however wide the window is.
    w.resize(900, 500);
    QCOMPARE(w.sbtnHelp->geometry().right(), w.pButtons->width() - 1);
  }

  void shellTargetsBecomeDesktopUrls_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("url");
    QTest::newRow("web page") << "http://www.example.com/help page.html"
                              << "http://www.example.com/help%20page.html";
    QTest::newRow("mail link with Cyrillic body")
        << "mailto:boards@example.com?subject=New message board&body=Нажмите Shift+Ins"
        << "mailto:boards@example.com?subject=New%20message%20board&body=%D0%9D%D0%B0%D0%B6%D0%BC%D0%B8%D1%"
           "82%D0%B5%20Shift+Ins";
    QTest::newRow("report page") << "file:///tmp/Отчеты/report.htm"
                                 << "file:///tmp/%D0%9E%D1%82%D1%87%D0%B5%D1%82%D1%8B/report.htm";
    QTest::newRow("bare path") << "/tmp/a b.htm"
                               << "file:///tmp/a%20b.htm";
  }

  void shellTargetsBecomeDesktopUrls() {
    QFETCH(QString, target);
    QFETCH(QString, url);
    QCOMPARE(adw::ui::QtShell::TargetToUrlText(adw::ui::FromQ(target)), url);
  }

  void errorTextsReadInEitherEncoding_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("engine text in Windows-1251")
        << QByteArray::fromStdString("Cannot open file /tmp/" + adw::platform::W("Доска") + ".prj")
        << QStringLiteral("Cannot open file /tmp/Доска.prj");
    QTest::newRow("system path in UTF-8")
        << QStringLiteral("Unable to write to /home/Иван/adwelder.ini").toUtf8()
        << QStringLiteral("Unable to write to /home/Иван/adwelder.ini");
    QTest::newRow("plain ASCII") << QByteArray("Unable to write to /tmp/a.ini")
                                 << QStringLiteral("Unable to write to /tmp/a.ini");
  }

  void errorTextsReadInEitherEncoding() {
    QFETCH(QByteArray, message);
    QFETCH(QString, shown);
    const auto error = std::make_exception_ptr(std::runtime_error(message.toStdString()));
    QCOMPARE(TfrmMain::ErrorText(error), shown);
  }

  void mainThreadCallRunsOnTheMainThreadAndWaits() {
    adw::ui::QtMainThread mainThread;
    QThread* ranOn = nullptr;
    mainThread.CallBlocking([&ranOn] { ranOn = QThread::currentThread(); });
    QCOMPARE(ranOn, QThread::currentThread());

    std::atomic<bool> done{false};
    std::atomic<int> order{0};
    int seenByWorker = -1;
    bool failureCarried = false;
    std::thread worker([&] {
      mainThread.CallBlocking([&] {
        ranOn = QThread::currentThread();
        order = 1;
      });
      seenByWorker = order;  // the call has run when CallBlocking returns
      try {
        mainThread.CallBlocking([] { throw std::runtime_error("refused"); });
      } catch (const std::runtime_error&) {
        failureCarried = true;
      }
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
    worker.join();
    QCOMPARE(ranOn, QThread::currentThread());
    QCOMPARE(seenByWorker, 1);
    QVERIFY(failureCarried);
  }

  // Not a check: with ADWELD_SHOT_DIR set, saves a picture of every panel
  // there, for a person to look at.
  void renderPanels() {
    const QByteArray dir = qgetenv("ADWELD_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("set ADWELD_SHOT_DIR to save pictures of the panels");
    TfrmMain& w = Shown();
    for (QWidget* panel : {w.pTree, w.pRedo, w.pViewResult, w.pViewStat, w.pNSTR, w.pAddDO, w.pHelpAbout}) {
      w.BringToFront(panel);
      QCoreApplication::processEvents();
      QVERIFY(w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + panel->objectName() +
                            QStringLiteral(".png")));
    }
    for (int page = 0; page < w.nbAddDO->count(); ++page) {
      w.BringToFront(w.pAddDO);
      w.nbAddDO->setCurrentIndex(page);
      QCoreApplication::processEvents();
      QVERIFY(w.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/pAddDO-%1.png").arg(page)));
    }
    w.nbAddDO->setCurrentIndex(0);
    w.resize(578, 371);
    for (QWidget* panel : {w.pTree, w.pRedo, w.pViewResult, w.pViewStat, w.pNSTR, w.pAddDO, w.pHelpAbout}) {
      w.BringToFront(panel);
      QCoreApplication::processEvents();
      QVERIFY(w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + panel->objectName() +
                            QStringLiteral("-smallest.png")));
    }
    adw::ui::TfrmDownLoad& notice = *w.frmDownLoad();
    notice.show();
    QCoreApplication::processEvents();
    QVERIFY(notice.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frmDownLoad.png")));
    notice.hide();
    adw::ui::TfrmWait wait;
    wait.show();
    QCoreApplication::processEvents();
    QVERIFY(wait.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/frmWait.png")));
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
