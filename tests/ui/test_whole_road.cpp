// The whole road through the windows and through adweld-run on the demo:
// the demo script directory packed from examples/demo with its boards
// pointed at a local demo board server (http and https on free ports, the
// https side with a certificate of the demo's own test CA, which the
// settings trust), every board and ad ticked, "Старт", and the counters at
// the end matching exactly what the server took and refused; then the
// result pages, the log and "Просмотр" writing report.htm.
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
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/board_container.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/recording_shell.h"
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

std::string Get(int port, const std::string& path) {
  return adw::test::LoopbackGet(port, path);
}

// What the demo server has taken and refused, per board.
using BoardCounts = std::map<std::string, std::pair<int, int>>;

BoardCounts Stats(int port) {
  const std::string reply = Get(port, "/stats");
  std::istringstream lines(reply.substr(reply.find("\r\n\r\n") + 4));
  BoardCounts counts;
  std::string board;
  int taken = 0;
  int refused = 0;
  while (lines >> board >> taken >> refused) counts[board] = {taken, refused};
  return counts;
}

// "board taken/refused" per board, for a comparison that shows the numbers.
QString Since(const BoardCounts& before, const BoardCounts& after) {
  QStringList delta;
  for (const auto& [board, counts] : after) {
    const auto was = before.count(board) ? before.at(board) : std::pair{0, 0};
    delta << QStringLiteral("%1 %2/%3")
                 .arg(QString::fromStdString(board))
                 .arg(counts.first - was.first)
                 .arg(counts.second - was.second);
  }
  return delta.join(QStringLiteral(", "));
}

// Every ad to every board: the boards without lists take all three ads,
// Барахолка and the closed board one job per ad through their MAP lines.
// Only the closed board refuses; each other board takes its three.
const QString kExpected =
    QStringLiteral("baraholka 3/0, closed 0/3, fresh 3/0, gorod 3/0, secure 3/0, utf8 3/0");

const QStringList kBoards = {QStringLiteral("Барахолка"),      QStringLiteral("Городская доска"),
                             QStringLiteral("Закрытая доска"), QStringLiteral("Защищённая доска"),
                             QStringLiteral("Доска UTF-8"),    QStringLiteral("Доска с токеном")};

}  // namespace

class TestWholeRoad : public QObject {
  Q_OBJECT

 private:
  RecordingShell m_shell;
  adw::test::TempDir m_dir;
  int m_port = 0;
  int m_tlsPort = 0;
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
      text.replace("127.0.0.1:8766", "127.0.0.1:" + QByteArray::number(m_tlsPort));
      const std::string name = Utf8ToCp1251(it.fileInfo().completeBaseName().toStdString());
      // TempDir names files byte for byte; the plain copy keeps to ASCII.
      const std::string plain =
          m_dir.Write("plain/board" + std::to_string(boards) + ".txt", Utf8ToCp1251(text.toStdString()));
      adw::engine::PackBoardFile(plain, adw::platform::JoinPath(ScriptDir(), name + ".prj"));
      ++boards;
    }
    QCOMPARE(boards, 6);
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

  // The settings the demo comes with: reports and log on, and the demo's
  // test CA trusted beside the system's.
  std::string Settings() const {
    return "[Save]\r\ndeScript_Text=" + ScriptDir() +
           "\r\ncbReports_Checked=True\r\ncbLogFile_Checked=True\r\nedTimeOut_Text=20\r\nedCAFile_Text=" +
           m_dir.File("tls/demo-ca.pem") + "\r\n";
  }

  static void TickBoards(TfrmMain& w, const QStringList& names) {
    QCOMPARE(w.CLBMain->count(), 6);
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
    // The certificates as the build makes them for the demo.
    QProcess certs;
    certs.start(QStringLiteral(ADWELD_SOURCE_DIR "/tools/make-demo-certs"),
                {QString::fromStdString(m_dir.File("tls"))});
    QVERIFY(certs.waitForFinished(60000));
    QVERIFY2(certs.exitCode() == 0, certs.readAllStandardError().constData());
    m_port = adw::test::FreeLoopbackPort();
    do {
      m_tlsPort = adw::test::FreeLoopbackPort();
    } while (m_tlsPort == m_port);
    m_server = std::make_unique<adw::test::ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", ADWELD_SOURCE_DIR "/tools/demo-board", "--port",
                                 std::to_string(m_port), "--tls-port", std::to_string(m_tlsPort), "--cert",
                                 m_dir.File("tls/server.pem"), "--key", m_dir.File("tls/server.key"),
                                 "--quiet"},
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
    m_dir.Write("adwelder.ini", Settings());
    QStringList errors;
    TfrmMain w(m_dir.File("adwelder.ini"));
    w.SetUserHooks({[&errors](const QString& text) { errors << text; }, [](QDialog&) { return 0; }});
    int terminations = 0;
    w.Posting().SetTerminateHook([&terminations] { ++terminations; });
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    TickBoards(w, kBoards);
    TickAd(w, QStringLiteral("Продам ноутбук"));
    TickAd(w, QStringLiteral("Продам монитор"));
    TickAd(w, QStringLiteral("Продам машину"));

    const BoardCounts before = Stats(m_port);
    w.sbtnStatus->click();
    QCOMPARE(w.PanelInFront(), w.pViewStat);
    QTest::mouseClick(w.btnStart, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Posting().Pool().IsActive() && w.btnStop->isHidden(), 120000);

    // The counters say what the boards did: every posting the server took
    // is a success, every one it refused a failure.
    QCOMPARE(Since(before, Stats(m_port)), kExpected);
    QCOMPARE(w.lbMessageCnt->text(), QStringLiteral("18"));
    QCOMPARE(w.lbSuccessMsg->text(), QStringLiteral("15"));
    QCOMPARE(w.lbFailMsg->text(), QStringLiteral("3"));
    QCOMPARE(w.lbUnconfirmedMsg->text(), QStringLiteral("0"));
    QCOMPARE(w.lbProcessCnt->text(), QStringLiteral("0"));
    QCOMPARE(w.lbProg->text(), QStringLiteral("100%"));
    QCOMPARE(w.PanelInFront(), w.pViewResult);
    QVERIFY(!w.btnStart->isHidden());
    QVERIFY(errors.isEmpty());
    QVERIFY2(terminations == 0, "libbanrun.so belongs beside the test program (build target banrun)");

    std::vector<std::string> pages;
    for (const QString& board : kBoards) pages.push_back(adw::ui::FromQ(board) + ".htm");
    std::sort(pages.begin(), pages.end());
    for (const char* dir : {"Ноутбук", "Монитор", "Машина"}) {
      auto listed = adw::platform::ListFiles(ReportDir(dir), "*.htm");
      std::sort(listed.begin(), listed.end());
      QCOMPARE(listed, pages);
    }
    const std::string log = m_dir.Read("adwelder.log");
    QVERIFY2(log.find(W(" state=failed board=Закрытая доска ad=")) != std::string::npos, log.c_str());

    // The boards received the ads as their users would read them, the
    // UTF-8 board in UTF-8.
    const QString boards = QString::fromStdString(Get(m_port, "/"));
    QVERIFY2(boards.contains(QStringLiteral("Продам ноутбук, почти новый")), qPrintable(boards));
    QVERIFY(boards.contains(QStringLiteral("Легковой автомобиль")));
    const QString utf8 = QString::fromStdString(Get(m_port, "/utf8/list"));
    QVERIFY2(utf8.contains(QStringLiteral("Монитор без битых пикселей")), qPrintable(utf8));

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
    for (const QString& board : kBoards) {
      const std::string state = board == QStringLiteral("Закрытая доска")
                                    ? W("color=\"#FF0000\">Ошибка</font>")
                                    : W("color=\"#008040\">Размещено</font>");
      const std::string row = W("<strong>") + adw::ui::FromQ(board) +
                              W("</strong></td><td width=\"105\">&nbsp; <strong><font ") + state;
      QVERIFY2(report->find(row) != std::string::npos, qPrintable(board));
    }
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
    m_dir.Write("runner.ini", Settings());
    const BoardCounts before = Stats(m_port);
    const adw::test::ToolRun run = adw::test::RunTool(
        "adweld-run",
        {"--script", ScriptDir(), "--settings", m_dir.File("runner.ini"), "--boards", "all", "--ads", "all"},
        m_dir);
    QCOMPARE(Since(before, Stats(m_port)), kExpected);
    // Some jobs failed (the closed board): exit 1.
    QVERIFY2(run.status == 1, (run.out + run.err).c_str());
    QVERIFY2(run.out.ends_with("jobs=18 succeeded=15 failed=3 unconfirmed=0\n"), run.out.c_str());
    int okLines = 0;
    int refusedLines = 0;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("ok\t")) ++okLines;
      if (line.starts_with("failed\tЗакрытая доска\t") && line.ends_with("\tдоска ответила статусом 403"))
        ++refusedLines;
    }
    QCOMPARE(okLines, 15);
    QCOMPARE(refusedLines, 3);

    for (const char* dir : {"Ноутбук", "Монитор", "Машина"})
      QCOMPARE(adw::platform::ListFiles(ReportDir(dir), "*.htm").size(), std::size_t{6});
    // The closed board's page holds its refusal, the one its FAIL= names.
    const auto closed = adw::platform::ReadWholeFile(ReportDir("Ноутбук") + "/" + W("Закрытая доска.htm"));
    QVERIFY(closed && closed->find(W("Доска закрыта")) != std::string::npos);
    const std::string log = m_dir.Read("runner.log");
    QVERIFY2(log.find(" result=") != std::string::npos, log.c_str());
  }
};

QTEST_MAIN(TestWholeRoad)
#include "test_whole_road.moc"
