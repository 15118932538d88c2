// The whole road through the windows on the demo: the demo script
// directory packed from examples/demo with its boards pointed at a local
// demo board server on a free port, boards and ads ticked in the lists,
// "Старт", the counters at the end, the result pages, the log, the ads as
// the boards received them, and "Просмотр" writing report.htm and having
// the shell open it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text1251.h"
#include "support/recording_shell.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"
#include "support/tool_run.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

using adw::platform::Utf8ToCp1251;
using adw::platform::W;
using adw::ui::TfrmMain;

namespace {

using adw::test::RecordingShell;

QByteArray ReadSource(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string Get(int port, const std::string& path) { return adw::test::LoopbackGet(port, path); }

}  // namespace

class TestWholeRoad : public QObject {
  Q_OBJECT

 private:
  RecordingShell m_shell;
  adw::test::TempDir m_dir;
  int m_port = 0;
  std::unique_ptr<adw::test::ChildProcess> m_server;

  std::string ScriptDir() const { return m_dir.File("demo"); }
  std::string ReportsDir() const { return m_dir.File("demo/Reports"); }
  std::string ReportDir(const char* utf8Name) const { return ReportsDir() + "/" + W(utf8Name); }

  // The demo script directory as the demo target makes it, with the boards'
  // port 8765 replaced by the test server's.
  void MakeDemo() {
    const QString source = QStringLiteral(ADWELD_SOURCE_DIR "/examples/demo");
    QVERIFY(QDir().mkpath(QString::fromStdString(ScriptDir())));
    int boards = 0;
    for (QDirIterator it(source + "/boards", {QStringLiteral("*.txt")}); it.hasNext();) {
      const QString path = it.next();
      QByteArray text = ReadSource(path);
      text.replace("127.0.0.1:8765", "127.0.0.1:" + QByteArray::number(m_port));
      const std::string name = Utf8ToCp1251(it.fileInfo().completeBaseName().toStdString());
      // TempDir names files byte for byte; the plain copy keeps to ASCII.
      const std::string plain =
          m_dir.Write("plain/board" + std::to_string(boards) + ".txt", Utf8ToCp1251(text.toStdString()));
      adw::engine::PackBoardFile(plain, adw::platform::JoinPath(ScriptDir(), name + ".prj"));
      ++boards;
    }
    QCOMPARE(boards, 3);
    for (const char* file : {"base.map", "base.dat"}) {
      QByteArray text = ReadSource(source + "/" + file + ".in");
      QVERIFY(!text.isEmpty());
      text.replace("@DEMO_REPORTS@", QByteArray::fromStdString(adw::platform::Cp1251ToUtf8(ReportsDir())));
      m_dir.Write(std::string("demo/") + file, Utf8ToCp1251(text.toStdString()));
    }
    // The ads' report directories, as a user would have chosen existing ones.
    for (const char* dir : {"Ноутбук", "Монитор", "Машина"})
      QVERIFY(QDir().mkpath(QString::fromStdString(adw::platform::NativePath(ReportDir(dir)))));
  }

  static void TickBoards(TfrmMain& w, const QStringList& names) {
    QCOMPARE(w.CLBMain->count(), 3);
    for (int i = 0; i < w.CLBMain->count(); ++i) {
      QListWidgetItem* item = w.CLBMain->item(i);
      item->setCheckState(names.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
    }
  }

  // Ticks an ad in the ad grid the way a user does: choose it, press Space.
  static void TickAd(TfrmMain& w, const QString& name) {
    QAbstractItemModel* model = w.DBGridMessage->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      if (model->index(row, 0).data().toString() != name) continue;
      w.DBGridMessage->setCurrentIndex(model->index(row, 0));
      QTest::keyClick(w.DBGridMessage, Qt::Key_Space);
      QCOMPARE(w.RxMD.Value(static_cast<std::size_t>(row), "STAT"), std::string("1"));
      return;
    }
    QFAIL(qPrintable(QStringLiteral("no ad ") + name));
  }

 private slots:
  void initTestCase() {
    adw::platform::SetShell(&m_shell);
    m_port = adw::test::FreeLoopbackPort();
    m_server = std::make_unique<adw::test::ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", ADWELD_SOURCE_DIR "/tools/demo-board", "--port",
                                 std::to_string(m_port), "--quiet"},
        m_dir.File("demo-board.log"));
    QTRY_VERIFY2_WITH_TIMEOUT(!Get(m_port, "/").empty() || m_server->HasExited(),
                              "the demo board server does not answer", 30000);
    QVERIFY2(!m_server->HasExited(), m_dir.Read("demo-board.log").c_str());
  }

  void cleanupTestCase() {
    m_server.reset();
    adw::platform::SetShell(nullptr);
  }

  void postThroughTheWindowsAndViewTheReport() {
    MakeDemo();
    m_dir.Write("adwelder.ini",
                "[Save]\r\ndeScript_Text=" + ScriptDir() +
                    "\r\ncbReports_Checked=True\r\ncbLogFile_Checked=True\r\nedTimeOut_Text=20\r\n");
    QStringList errors;
    TfrmMain w(m_dir.File("adwelder.ini"));
    w.SetUserHooks({[&errors](const QString& text) { errors << text; }, [](QDialog&) { return 0; }});
    int terminations = 0;
    w.Posting().SetTerminateHook([&terminations] { ++terminations; });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    TickBoards(w, {QStringLiteral("Барахолка"), QStringLiteral("Городская доска"),
                   QStringLiteral("Закрытая доска")});
    TickAd(w, QStringLiteral("Продам ноутбук"));
    TickAd(w, QStringLiteral("Продам машину"));

    w.sbtnStatus->click();
    QCOMPARE(w.PanelInFront(), w.pViewStat);
    QTest::mouseClick(w.btnStart, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Posting().Pool().IsActive() && w.btnStop->isHidden(), 60000);

    // Every board takes both ads (the board without lists takes every ad,
    // the others by their MAP lines); the closed board answers with an
    // error page, which still counts as posted.
    QCOMPARE(w.lbMessageCnt->text(), QStringLiteral("6"));
    QCOMPARE(w.lbSuccessMsg->text(), QStringLiteral("6"));
    QCOMPARE(w.lbFailMsg->text(), QStringLiteral("0"));
    QCOMPARE(w.lbProcessCnt->text(), QStringLiteral("0"));
    QCOMPARE(w.lbProg->text(), QStringLiteral("100%"));
    QCOMPARE(w.PanelInFront(), w.pViewResult);
    QVERIFY(!w.btnStart->isHidden());
    QVERIFY(errors.isEmpty());
    QVERIFY2(terminations == 0, "libbanrun.so belongs beside the test program (build target banrun)");

    const std::vector<std::string> pages = {W("Барахолка.htm"), W("Городская доска.htm"),
                                            W("Закрытая доска.htm")};
    QCOMPARE(adw::platform::ListFiles(ReportDir("Ноутбук"), "*.htm"), pages);
    QCOMPARE(adw::platform::ListFiles(ReportDir("Машина"), "*.htm"), pages);
    QVERIFY(adw::platform::ListFiles(ReportDir("Монитор"), "*.htm").empty());
    const std::string log = m_dir.Read("adwelder.log");
    QVERIFY2(log.find(" result=") != std::string::npos, log.c_str());

    // The boards received the ads in their own code pages.
    const QString boards = QString::fromStdString(Get(m_port, "/"));
    QVERIFY2(boards.contains(QStringLiteral("Продам ноутбук, почти новый")), qPrintable(boards));
    QVERIFY(boards.contains(QStringLiteral("Легковой автомобиль")));
    QVERIFY(boards.contains(QStringLiteral("Иван")));

    // The report of the laptop ad.
    QAbstractItemModel* ads = w.RxDBLProject->model();
    for (int row = 0; row < ads->rowCount(); ++row) {
      if (ads->index(row, 0).data().toString() == QStringLiteral("Продам ноутбук"))
        w.RxDBLProject->setCurrentIndex(ads->index(row, 0));
    }
    QTest::mouseClick(w.btnViewRep, Qt::LeftButton);
    const std::string reportPath = ReportDir("Ноутбук") + "/report.htm";
    const auto report = adw::platform::ReadWholeFile(reportPath);
    QVERIFY(report);
    QVERIFY(report->find(W("<strong>Барахолка</strong></td><td width=\"105\">&nbsp; <strong><font "
                           "color=\"#008040\">Размещено</font>")) != std::string::npos);
    QVERIFY(report->find(W("<strong>Городская доска</strong></td><td width=\"105\">&nbsp; <strong><font "
                           "color=\"#008040\">Размещено</font>")) != std::string::npos);
    QVERIFY(report->find(W("<strong>Закрытая доска</strong></td><td width=\"105\">&nbsp; <strong><font "
                           "color=\"#FF0000\">Ошибка</font>")) != std::string::npos);
    QCOMPARE(m_shell.opened, std::vector<std::string>{"file://" + reportPath});
    QVERIFY(errors.isEmpty());
  }

  // The same road through adweld-run: the same jobs, counts and pages.
  void postWithTheRunner() {
    MakeDemo();
    for (const char* dir : {"Ноутбук", "Монитор", "Машина"}) {
      for (const std::string& page : adw::platform::ListFiles(ReportDir(dir), "*.htm"))
        adw::platform::RemoveFileQuiet(ReportDir(dir) + "/" + page);
    }
    m_dir.Write("runner.ini", "[Save]\r\ncbReports_Checked=True\r\ncbLogFile_Checked=True\r\nedTimeOut_Text=20\r\n");
    const adw::test::ToolRun run = adw::test::RunTool(
        "adweld-run",
        {"--script", ScriptDir(), "--settings", m_dir.File("runner.ini"), "--boards", "all", "--ads",
         W("Продам ноутбук,Продам машину")},
        m_dir);
    QVERIFY2(run.status == 0, (run.out + run.err).c_str());
    QVERIFY2(run.out.find("jobs=6 succeeded=6 failed=0\n") != std::string::npos, run.out.c_str());

    const std::vector<std::string> pages = {W("Барахолка.htm"), W("Городская доска.htm"),
                                            W("Закрытая доска.htm")};
    QCOMPARE(adw::platform::ListFiles(ReportDir("Ноутбук"), "*.htm"), pages);
    QCOMPARE(adw::platform::ListFiles(ReportDir("Машина"), "*.htm"), pages);
    QVERIFY(adw::platform::ListFiles(ReportDir("Монитор"), "*.htm").empty());
    // The closed board's page is the one a report marks "Ошибка".
    const auto closed = adw::platform::ReadWholeFile(ReportDir("Ноутбук") + "/" + W("Закрытая доска.htm"));
    QVERIFY(closed && closed->find("Error") != std::string::npos);
    const auto posted = adw::platform::ReadWholeFile(ReportDir("Ноутбук") + "/" + W("Барахолка.htm"));
    QVERIFY(posted && posted->find("Error") == std::string::npos);
    const std::string log = m_dir.Read("runner.log");
    QVERIFY2(log.find(" result=") != std::string::npos, log.c_str());
  }
};

QTEST_MAIN(TestWholeRoad)
#include "test_whole_road.moc"
