// The report panel: the ad list that shares its current ad with the ad
// grid, "Просмотр" writing report.htm and asking the shell to open it,
// "Очистить", and the hints for ads without a report directory.
#include <QDir>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/reports/report_page.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text1251.h"
#include "support/recording_shell.h"
#include "support/temp_dir.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

using adw::platform::W;
using adw::test::TempDir;
using adw::ui::TfrmMain;
using adw::ui::ToQ;

namespace {

using adw::test::RecordingShell;

int CountLines(const std::string& text) {
  int lines = 0;
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++lines;
  return lines;
}

}  // namespace

class TestReportPanel : public QObject {
  Q_OBJECT

 private:
  RecordingShell m_shell;
  std::unique_ptr<TempDir> m_dir;
  std::unique_ptr<TfrmMain> m_w;
  QStringList m_errors;
  QStringList m_questions;
  bool m_answer = true;

  std::string ScriptDir() const { return m_dir->File("script"); }
  std::string Reports() const { return m_dir->File("reports"); }
  std::string ReportPage() const { return adw::platform::JoinPath(Reports(), "report.htm"); }

  void Board(const std::string& file, const std::string& name) const {
    const std::string plain = m_dir->Write("plain/" + file + ".txt", "[Project]\r\nNAME=" + name + "\r\n");
    adw::engine::PackBoardFile(plain, adw::platform::JoinPath(ScriptDir(), file + ".prj"));
  }

  // Three ads: one with two result pages, one without a report directory,
  // one whose directory holds no page.
  TfrmMain& Window() {
    QDir().mkpath(QString::fromStdString(ScriptDir()));
    QDir().mkpath(QString::fromStdString(m_dir->File("empty")));
    Board("Alpha", W("Доска Альфа"));
    Board("Beta", "Beta");
    m_dir->Write("reports/Alpha.htm", "<html>Thank you, the ad is on the board</html>\r\n");
    m_dir->Write("reports/Beta.htm", "<html>\r\nYour posting is inval\r\nid</html>\r\n");
    m_dir->Write("reports/notes.txt", "kept");
    m_dir->Write("script/base.dat", "[" + W("Продам ноутбук") + "]\r\nreppath=" + Reports() + "\r\n[" +
                                        W("Без каталога") + "]\r\nreppath=\r\n[" + W("Пустой каталог") +
                                        "]\r\nreppath=" + m_dir->File("empty") + "\r\n");
    m_dir->Write("adwelder.ini", "[Save]\r\ndeScript_Text=" + ScriptDir() + "\r\n");
    m_w = std::make_unique<TfrmMain>(m_dir->File("adwelder.ini"));
    m_w->SetUserHooks({[this](const QString& text) { m_errors << text; }, [](QDialog&) { return 0; }});
    m_w->SetConfirmHook([this](const QString& question, const QString&, const QString&) {
      m_questions << question;
      return m_answer;
    });
    m_w->show();
    m_w->mmViewReportClick();
    return *m_w;
  }

  void Choose(int row) {
    QListView* list = m_w->RxDBLProject;
    list->setCurrentIndex(list->model()->index(row, 0));
  }

 private slots:
  void initTestCase() { adw::platform::SetShell(&m_shell); }
  void cleanupTestCase() { adw::platform::SetShell(nullptr); }
  void init() {
    m_dir = std::make_unique<TempDir>();
    m_shell.opened.clear();
    m_shell.opens = true;
    m_errors.clear();
    m_questions.clear();
    m_answer = true;
  }
  void cleanup() {
    m_w.reset();
    m_dir.reset();
  }

  void listSharesTheCurrentAdWithTheAdGrid() {
    TfrmMain& w = Window();
    QAbstractItemModel* model = w.RxDBLProject->model();
    QVERIFY(model);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Продам ноутбук"));
    QCOMPARE(model->index(2, 0).data().toString(), QStringLiteral("Пустой каталог"));
    QCOMPARE(w.RxDBLProject->currentIndex().row(), 0);

    Choose(2);
    QCOMPARE(w.RxMD.Current(), std::size_t{2});
    QCOMPARE(w.DBGridMessage->currentIndex().row(), 2);

    w.DBGridMessage->setCurrentIndex(w.DBGridMessage->model()->index(1, 0));
    QCOMPARE(w.RxMD.Current(), std::size_t{1});
    QCOMPARE(w.RxDBLProject->currentIndex().row(), 1);

    // A reload of the ads shows in the list at once.
    w.RxMD.Remove(0);
    QCOMPARE(model->rowCount(), 2);
    w.LoadAds();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(w.RxDBLProject->currentIndex().row(), static_cast<int>(w.RxMD.Current()));
  }

  void viewWritesTheReportAndHasTheShellOpenIt() {
    TfrmMain& w = Window();
    Choose(0);
    w.btnViewRep->click();

    const auto report = adw::platform::ReadWholeFile(ReportPage());
    QVERIFY(report);
    QCOMPARE(CountLines(*report), 1 + 2 * 2 + 1);
    QVERIFY(report->find(W("<strong>Доска Альфа</strong></td><td width=\"105\">&nbsp; <strong><font "
                           "color=\"#008040\">Размещено</font>")) != std::string::npos);
    // "inval" and "id" join across the line end into INVALID.
    QVERIFY(report->find(W("<strong>Beta</strong></td><td width=\"105\">&nbsp; <strong><font "
                           "color=\"#FF0000\">Ошибка</font>")) != std::string::npos);
    QVERIFY(report->find(adw::platform::JoinPath(Reports(), "Alpha.htm")) != std::string::npos);
    QCOMPARE(m_shell.opened, std::vector<std::string>{"file://" + ReportPage()});
    QVERIFY(m_errors.isEmpty());

    // A second view rebuilds the page instead of listing it as a board.
    w.btnViewRep->click();
    QCOMPARE(CountLines(adw::platform::ReadWholeFile(ReportPage()).value_or("")), 6);
    QCOMPARE(m_shell.opened.size(), std::size_t{2});
  }

  void clearAsksThenDeletesThePagesAndTheReport() {
    TfrmMain& w = Window();
    Choose(0);
    w.btnViewRep->click();
    QVERIFY(adw::platform::FileExists(ReportPage()));

    m_answer = false;
    w.btnEmpty->click();
    QCOMPARE(m_questions,
             QStringList{QStringLiteral("Удалить страницы результатов объявления «Продам ноутбук»?")});
    QCOMPARE(adw::platform::ListFiles(Reports(), "*.htm").size(), std::size_t{3});

    m_answer = true;
    w.btnEmpty->click();
    QVERIFY(adw::platform::ListFiles(Reports(), "*.htm").empty());
    QVERIFY(adw::platform::FileExists(adw::platform::JoinPath(Reports(), "notes.txt")));
    QVERIFY(adw::platform::FileExists(adw::platform::JoinPath(ScriptDir(), "Alpha.prj")));

    // Nothing left to report: nothing is written or opened, and the user
    // is told so.
    m_shell.opened.clear();
    w.btnViewRep->click();
    QVERIFY(!adw::platform::FileExists(ReportPage()));
    QVERIFY(m_shell.opened.empty());
    QCOMPARE(w.StatusText(),
             QStringLiteral("Отчета нет: у объявления «Продам ноутбук» нет страниц результатов"));
    QVERIFY(m_errors.isEmpty());
  }

  void viewSaysWhereTheReportIsWhenNoBrowserStarts() {
    TfrmMain& w = Window();
    m_shell.opens = false;
    Choose(0);
    w.btnViewRep->click();
    QCOMPARE(m_shell.opened, std::vector<std::string>{"file://" + ReportPage()});
    QCOMPARE(w.StatusText(),
             QStringLiteral("Не удалось запустить браузер; отчет сохранен в ") + ToQ(ReportPage()));
    m_shell.opens = true;
    w.btnViewRep->click();
    QCOMPARE(w.StatusText(), QString());
  }

  void commandsForAnAdWithoutReportDirectoryOnlyHint_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("Просмотр") << "btnViewRep";
    QTest::newRow("Очистить") << "btnEmpty";
  }

  void commandsForAnAdWithoutReportDirectoryOnlyHint() {
    QFETCH(QString, button);
    TfrmMain& w = Window();
    Choose(1);
    w.findChild<QPushButton*>(button)->click();
    QCOMPARE(w.StatusText(), ToQ(adw::engine::NoReportDirectoryHint()));
    QVERIFY(m_shell.opened.empty());
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(adw::platform::ListFiles(Reports(), "*.htm").size(), std::size_t{2});
  }

  void reportThatCannotBeWrittenIsAnErrorAndNotOpened() {
    TfrmMain& w = Window();
    // A directory in the report page's place: it can be neither deleted
    // nor replaced by a file.
    QVERIFY(QDir().mkpath(QString::fromStdString(ReportPage())));
    Choose(0);
    w.btnViewRep->click();
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors.front().startsWith(QStringLiteral("Unable to write to ")),
             qPrintable(m_errors.front()));
    QVERIFY(m_shell.opened.empty());
  }

  void commandsWithoutAnyAdDoNothing() {
    TfrmMain& w = Window();
    w.RxMD.Clear();
    w.btnEmpty->click();
    QCOMPARE(w.StatusText(), QString());
    w.btnViewRep->click();
    QVERIFY(m_shell.opened.empty());
    QVERIFY(m_errors.isEmpty());
    QVERIFY(m_questions.isEmpty());
    QCOMPARE(w.StatusText(), QStringLiteral("Нет объявлений для отчета"));
    QCOMPARE(adw::platform::ListFiles(Reports(), "*.htm").size(), std::size_t{2});
  }
};

QTEST_MAIN(TestReportPanel)
#include "test_report_panel.moc"
