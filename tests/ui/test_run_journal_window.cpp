// The run journal through the main window: a repeated start skips what was
// posted unless forced, "Повторить неудачные" posts the last failures
// again, a run that never ended is offered at the next start (the jobs that
// may have reached a board only when the user agrees), and the days of the
// guard are saved with the configuration.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/journal/journal_settings.h"
#include "engine/journal/run_journal.h"
#include "engine/journal/run_recorder.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"
#include "ui/base/board_stats_view.h"
#include "ui/posting/journal_controller.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"

using adw::platform::W;
using adw::test::RawServer;
using adw::ui::TfrmMain;

namespace {

constexpr int kRunTimeoutMs = 30000;

std::string Reply() {
  return "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
}

}  // namespace

class TestRunJournalWindow : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<adw::test::TempDir> m_dir;
  std::unique_ptr<TfrmMain> m_w;
  QStringList m_errors;
  QStringList m_questions;
  std::vector<bool> m_answers;

  std::string Settings() const { return m_dir->File("adwelder.ini"); }
  std::string Script() const { return m_dir->File("script"); }

  void Board(const std::string& name, const std::string& submit, const std::string& request = "",
             const std::string& keys = "") {
    const std::string plain = m_dir->Write(
        "plain/" + name + ".txt", "[Project]\r\nNAME=" + name + "\r\nSUBMIT=" + submit +
                                      "\r\nSUBBODY=text=$TEXT\r\nREQUEST=" + request + "\r\n" + keys);
    adw::engine::PackBoardFile(plain, adw::platform::JoinPath(Script(), name + ".prj"));
  }

  TfrmMain& Window() {
    m_w = std::make_unique<TfrmMain>(Settings());
    m_w->SetUserHooks({[this](const QString& text) { m_errors << text; }, [](QDialog&) { return 0; }});
    // Closing during a run is confirmed.
    m_w->SetConfirmHook([](const QString&, const QString&, const QString&) { return true; });
    m_w->Posting().Journal().SetAskHook([this](const QString& text) {
      m_questions << text;
      const bool answer = !m_answers.empty() && m_answers.front();
      if (!m_answers.empty()) m_answers.erase(m_answers.begin());
      return answer;
    });
    m_w->show();
    for (int i = 0; i < m_w->CLBMain->count(); ++i) m_w->CLBMain->item(i)->setCheckState(Qt::Checked);
    for (std::size_t row = 0; row < m_w->RxMD.RecordCount(); ++row) m_w->RxMD.SetValue(row, "STAT", "1");
    m_w->mmViewStatusClick();
    return *m_w;
  }

  bool RunOver() const { return !m_w->Posting().Pool().IsActive() && !m_w->btnStart->isHidden(); }

 private slots:
  void init() {
    m_dir = std::make_unique<adw::test::TempDir>();
    QDir().mkpath(QString::fromStdString(Script()));
    m_dir->Write("script/base.dat", W("[Ad1]\r\nТекст$TEXT=one\r\n[Ad2]\r\nТекст$TEXT=two\r\n"));
    m_dir->Write("adwelder.ini", "[Save]\r\ndeScript_Text=" + Script() + "\r\nedTimeOut_Text=10\r\n");
    m_errors.clear();
    m_questions.clear();
    m_answers.clear();
  }
  void cleanup() {
    m_w.reset();
    m_dir.reset();
  }

  void repeatedStartSkipsWhatWasPostedUnlessForced() {
    RawServer server(RawServer::Mode::Reply, {Reply()});
    Board("Alpha", server.Url("/add"));
    TfrmMain& w = Window();
    QCOMPARE(w.RxSEdRepeatDays->value(), 7);

    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(server.Requests().size(), std::size_t{2});

    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(server.Requests().size(), std::size_t{2});
    QVERIFY2(w.StatusText().startsWith(QStringLiteral("Пропущено заданий: 2")), qPrintable(w.StatusText()));

    w.cbForce->setChecked(true);
    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(server.Requests().size(), std::size_t{4});
    QCOMPARE(w.lbSuccessMsg->text(), QStringLiteral("2"));
    QVERIFY(m_errors.isEmpty());

    adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
    const auto runs = journal.RecentRuns(3);
    QCOMPARE(runs.size(), std::size_t{3});
    QCOMPARE(runs[1].skipped, 2);
    QCOMPARE(runs[0].ok, 2);
    QCOMPARE(runs[0].origin, std::string("window"));
  }

  void retryPostsOnlyTheLastFailures() {
    RawServer good(RawServer::Mode::Reply, {Reply()});
    RawServer bad(RawServer::Mode::CloseAtOnce);
    Board("Good", good.Url("/add"));
    Board("Bad", bad.Url("/add"));
    TfrmMain& w = Window();
    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(w.lbFailMsg->text(), QStringLiteral("2"));
    bad.WaitForConnections(2);

    w.btnRetry->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    bad.WaitForConnections(4);
    QCOMPARE(good.Requests().size(), std::size_t{2});
    QCOMPARE(w.lbMessageCnt->text(), QStringLiteral("2"));
    QCOMPARE(w.lbFailMsg->text(), QStringLiteral("2"));
    adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
    QCOMPARE(journal.LastRun()->kind, std::string("retry"));
  }

  // The retry judges replies by the board's FAIL= texts, as the first run did.
  void retryJudgesRepliesByTheBoardsRules() {
    const std::string refusal = "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\nrefused";
    RawServer server(RawServer::Mode::Reply, {refusal, refusal, refusal, refusal});
    Board("Strict", server.Url("/add"), "", "FAIL=refused\r\n");
    TfrmMain& w = Window();
    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(w.lbFailMsg->text(), QStringLiteral("2"));

    w.btnRetry->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(server.Requests().size(), std::size_t{4});
    QCOMPARE(w.lbFailMsg->text(), QStringLiteral("2"));
    adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
    QCOMPARE(journal.LastRun()->kind, std::string("retry"));
    QCOMPARE(journal.LastRun()->failed, 2);
    QCOMPARE(journal.LastRun()->ok, 0);
  }

  // A run that adweld-run is still posting is not offered; once its process
  // is gone it is.
  void runLiveInAnotherProcessIsNotOffered() {
    RawServer server(RawServer::Mode::Reply, {Reply()});
    Board("Alpha", server.Url("/add"));
    adw::engine::JournalJob row;
    row.board = "Alpha";
    row.boardFile = "Alpha.prj";
    row.ad = "Ad1";
    row.url = server.Url("/add");
    row.label = "Alpha\t";
    row.body = "text=1";
    auto runner = std::make_unique<adw::engine::RunJournal>(adw::engine::JournalFileName(Settings()));
    auto live = std::make_unique<adw::engine::RunRecorder>(*runner, adw::engine::RunOrigin::Runner,
                                                           adw::engine::RunKind::Post,
                                                           std::vector<adw::engine::JournalJob>{row});
    m_answers = {true};
    TfrmMain& w = Window();
    w.Posting().Journal().OfferResume();
    QVERIFY(m_questions.isEmpty());

    live.reset();  // the other process dies
    runner.reset();
    w.Posting().Journal().OfferResume();
    QCOMPARE(m_questions.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), std::size_t{1}, kRunTimeoutMs);
  }

  void interruptedRunIsOfferedAndMaybeSentJobsNeedConsent_data() {
    QTest::addColumn<bool>("resend");
    QTest::newRow("declined") << false;
    QTest::newRow("agreed") << true;
  }

  void interruptedRunIsOfferedAndMaybeSentJobsNeedConsent() {
    QFETCH(bool, resend);
    RawServer server(RawServer::Mode::Reply, {Reply()});
    Board("Alpha", server.Url("/add"));
    {
      // A run that died with one job sent and two never started.
      adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
      std::vector<adw::engine::JournalJob> rows(3);
      for (int k = 0; k < 3; ++k) {
        rows[k].board = "Alpha";
        rows[k].boardFile = "Alpha.prj";
        rows[k].ad = "Ad" + std::to_string(k);
        rows[k].url = server.Url("/add");
        rows[k].label = "Alpha\t";
        rows[k].body = "text=" + std::to_string(k);
      }
      adw::engine::RunRecorder recorder(journal, adw::engine::RunOrigin::Window, adw::engine::RunKind::Post,
                                        rows);
      recorder.JobStarting(0);
      recorder.Settle();
    }
    m_answers = {true, resend};
    Window();
    QTRY_COMPARE_WITH_TIMEOUT(m_questions.size(), 2, kRunTimeoutMs);
    QVERIFY2(m_questions[0].contains(QStringLiteral("2 из 3")), qPrintable(m_questions[0]));
    QVERIFY2(m_questions[1].contains(QStringLiteral("Alpha: Ad0")), qPrintable(m_questions[1]));
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), std::size_t{resend ? 3u : 2u}, kRunTimeoutMs);
    bool sentZero = false;
    for (const std::string& request : server.Requests()) sentZero = sentZero || request.ends_with("text=0");
    QCOMPARE(sentZero, resend);

    adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
    QVERIFY(!journal.InterruptedRun());
    QCOMPARE(journal.LastRun()->ok, resend ? 3 : 2);
    QCOMPARE(journal.LastRun()->unconfirmed, resend ? 0 : 1);
    QVERIFY(m_errors.isEmpty());
  }

  void windowClosedDuringARunLeavesItToBeOffered() {
    RawServer silent(RawServer::Mode::NeverAnswer);
    Board("Silent", silent.Url("/add"));
    TfrmMain& w = Window();
    w.btnStart->click();
    silent.WaitForConnections(2);
    w.close();
    m_w.reset();
    {
      adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
      QVERIFY(journal.InterruptedRun());
    }
    m_answers = {false};  // the maybe-sent jobs are not sent again
    Window();
    QTRY_COMPARE_WITH_TIMEOUT(m_questions.size(), 1, kRunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(silent.Requests().size(), std::size_t{0});
    adw::engine::RunJournal journal(adw::engine::JournalFileName(Settings()));
    QVERIFY(!journal.InterruptedRun());
    QCOMPARE(journal.LastRun()->unconfirmed, 2);
  }

  void repeatDaysAreSavedWithTheConfiguration() {
    TfrmMain& w = Window();
    w.RxSEdRepeatDays->setValue(0);
    w.SaveConfiguration();
    QCOMPARE(adw::engine::ReadRepeatDays(Settings()), 0);
    m_w.reset();
    QCOMPARE(Window().RxSEdRepeatDays->value(), 0);
  }

  void boardListShowsStatisticsAndMarksBoardsThatKeepFailing() {
    RawServer good(RawServer::Mode::Reply, {Reply()});
    RawServer bad(RawServer::Mode::CloseAtOnce);
    Board("Good", good.Url("/add"));
    Board("Bad", bad.Url("/add"));
    m_dir->Write("adwelder.ini", "[Save]\r\ndeScript_Text=" + Script() +
                                     "\r\nedTimeOut_Text=10\r\nRxSEdRepeatDays_Value=0\r\n");
    TfrmMain& w = Window();
    for (int run = 0; run < 3; ++run) {
      w.btnStart->click();
      QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    }
    QListWidgetItem* badItem = w.CLBMain->findItems(QStringLiteral("Bad"), Qt::MatchExactly).value(0);
    QListWidgetItem* goodItem = w.CLBMain->findItems(QStringLiteral("Good"), Qt::MatchExactly).value(0);
    QVERIFY(badItem && goodItem);
    QVERIFY2(badItem->toolTip().contains(QStringLiteral("Успешно за 30 дней: 0% (0 из 6)")),
             qPrintable(badItem->toolTip()));
    QVERIFY(badItem->toolTip().contains(QStringLiteral("Три последних размещения неудачны")));
    QCOMPARE(badItem->foreground().color(), QColor(Qt::red));
    QVERIFY2(goodItem->toolTip().contains(QStringLiteral("100% (6 из 6)")), qPrintable(goodItem->toolTip()));
    // The row's own tip (its name and file) stays ahead of the figures.
    QVERIFY2(goodItem->toolTip().startsWith(QStringLiteral("Good\nGood.prj\n\n")),
             qPrintable(goodItem->toolTip()));
    QVERIFY(goodItem->data(Qt::ForegroundRole).isNull());
    QVERIFY(badItem->data(adw::ui::kBoardStatsRole).toString().startsWith(QStringLiteral("0%")));

    QVERIFY(!adw::ui::BoardStatsColumnVisible(w.CLBMain));
    w.mmViewBoardStats->trigger();
    QVERIFY(adw::ui::BoardStatsColumnVisible(w.CLBMain));
    w.mmViewBoardStats->trigger();
    QVERIFY(!adw::ui::BoardStatsColumnVisible(w.CLBMain));

    // A reload of the list (the configuration save) keeps the statistics.
    w.SaveConfiguration();
    QTRY_VERIFY_WITH_TIMEOUT(
        !w.CLBMain->findItems(QStringLiteral("Bad"), Qt::MatchExactly).value(0)->toolTip().isEmpty(),
        kRunTimeoutMs);
  }

  void checkBoardsFromTheMenuKeepsTheResults() {
    const std::string page = "<html><form method=post action=add><input name=text></form></html>";
    RawServer pages(
        RawServer::Mode::Reply,
        {"HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page});
    const int closed = adw::test::FreeLoopbackPort();
    Board("Alpha", pages.Url("/board/add"), pages.Url("/board/"));
    Board("Gone", "http://127.0.0.1:" + std::to_string(closed) + "/add",
          "http://127.0.0.1:" + std::to_string(closed) + "/");
    TfrmMain& w = Window();
    QString shown;
    w.Posting().Journal().SetShowChecksHook([&shown](const QString& text) { shown = text; });
    w.mmCheckBoards->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), kRunTimeoutMs);
    QVERIFY2(shown.contains(QStringLiteral("ok\tAlpha\t\n")), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("unreachable\tGone\t")), qPrintable(shown));
    QCOMPARE(w.StatusText(), QStringLiteral("Проверено досок: 2, изменились: 0, недоступны: 1"));
    QListWidgetItem* gone = w.CLBMain->findItems(QStringLiteral("Gone"), Qt::MatchExactly).value(0);
    QVERIFY2(gone->toolTip().contains(QStringLiteral(": unreachable")), qPrintable(gone->toolTip()));
    QVERIFY(pages.Requests().at(0).starts_with("GET /board/ HTTP/1.0"));
  }

  void unusableJournalIsReportedOnceAndPostingGoesOn() {
    RawServer server(RawServer::Mode::Reply, {Reply()});
    Board("Alpha", server.Url("/add"));
    const std::string garbage(4096, 'x');
    m_dir->Write("adwelder.db", garbage);
    TfrmMain& w = Window();
    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(server.Requests().size(), std::size_t{2});
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors[0].contains(QStringLiteral("damaged")), qPrintable(m_errors[0]));
    QCOMPARE(m_dir->Read("adwelder.db"), garbage);
  }
};

QTEST_MAIN(TestRunJournalWindow)
#include "test_run_journal_window.moc"
