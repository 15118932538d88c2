// The posting run through the main window: "Старт" over ticked boards and
// ads against local servers, what the status panel shows during and after
// it, the result pages and the log, "Стоп", a start refused while a run
// goes on, closing during a run, the tray, the companion library and the
// scheduled start driven with a fixed clock.
#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/board_container.h"
#include "engine/posting/job_list.h"
#include "engine/posting/worker_pool.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "support/http_peers.h"
#include "support/temp_dir.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

using adw::platform::W;
using adw::test::RawServer;
using adw::test::TempDir;
using adw::ui::TfrmMain;
using adw::ui::ToQ;

namespace {

constexpr int kRunTimeoutMs = 30000;

const std::string kAcceptedPage = "<html><body>Thank you, your ad is on the board</body></html>";
const std::string kRefusedPage = "<html><body>Error: postings are closed</body></html>";

std::string Reply(const std::string& body) {
  return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

std::string Url(int port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

struct Ad {
  std::string name;
  std::string reportDir;  // relative to the fixture's directory; empty: none
};

// A script directory, its report directories and a settings file, all in
// one temporary directory.
class Fixture {
 public:
  Fixture() { QDir().mkpath(QString::fromStdString(ScriptDir())); }
  std::string ScriptDir() const { return m_dir.File("script"); }
  std::string SettingsPath() const { return m_dir.File("adwelder.ini"); }
  std::string LogPath() const { return m_dir.File("adwelder.log"); }
  std::string Path(const std::string& name) const { return m_dir.File(name); }

  // A board without MAP lines: every ticked ad gets a job on it.
  void Board(const std::string& name, const std::string& submit, const std::string& extraLines = "") const {
    const std::string plain =
        m_dir.Write("plain/" + name + ".txt", "[Project]\r\nNAME=" + name + "\r\nSUBMIT=" + submit +
                                                  W("\r\nSUBBODY=text=$TEXT\r\nREQUEST=") + submit +
                                                  "\r\nCODE=win\r\n" + extraLines + "[MAP]\r\n");
    adw::engine::PackBoardFile(plain, adw::platform::JoinPath(ScriptDir(), name + ".prj"));
  }

  void Ads(const std::vector<Ad>& ads) const {
    std::string text;
    for (const Ad& ad : ads) {
      text += "[" + ad.name + "]\r\n" + W("Текст$TEXT=Продаю почти новое\r\ndefault=Ноутбуки$comp\r\n");
      text += "reppath=" + (ad.reportDir.empty() ? std::string() : m_dir.File(ad.reportDir)) + "\r\n";
      if (!ad.reportDir.empty()) QDir().mkpath(QString::fromStdString(m_dir.File(ad.reportDir)));
    }
    m_dir.Write("script/base.dat", text);
  }

  // One local server stands for every board here, so it may take as many
  // requests at once as the pool has threads.
  void Settings(const std::string& extraLines) const {
    m_dir.Write("adwelder.ini",
                "[Save]\r\ndeScript_Text=" + ScriptDir() + "\r\nHostLimit_Value=30\r\n" + extraLines);
  }

  std::vector<std::string> Pages(const std::string& reportDir) const {
    return adw::platform::ListFiles(m_dir.File(reportDir), "*.htm");
  }

 private:
  TempDir m_dir;
};

// Counts the posters the workers are done with, so a test can wait until a
// stopped run's requests have really ended.
class CountingPoster : public adw::engine::IJobPoster {
 public:
  CountingPoster(std::unique_ptr<adw::engine::IJobPoster> inner, std::atomic<int>& done)
      : m_inner(std::move(inner)), m_done(done) {}
  ~CountingPoster() override { m_done.fetch_add(1); }
  bool Post(const std::string& url, const std::string& body, const std::string& referer) override {
    return m_inner->Post(url, body, referer);
  }
  int StatusCode() const override { return m_inner->StatusCode(); }
  std::string RenewFormState(const std::string& pageUrl, const std::string& postUrl,
                             std::string& body) override {
    return m_inner->RenewFormState(pageUrl, postUrl, body);
  }
  void Abort() override { m_inner->Abort(); }
  std::string TakeBody() override { return m_inner->TakeBody(); }
  std::string ReplyText() const override { return m_inner->ReplyText(); }
  int LastSocketError() const override { return m_inner->LastSocketError(); }

 private:
  std::unique_ptr<adw::engine::IJobPoster> m_inner;
  std::atomic<int>& m_done;
};

adw::engine::LocalDateTime At(const QDate& date, int hour, int minute, int second) {
  using namespace std::chrono;
  return {year_month_day{year{date.year()}, month{static_cast<unsigned>(date.month())},
                         day{static_cast<unsigned>(date.day())}},
          {hour, minute, second}};
}

}  // namespace

class TestPostingWindow : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Fixture> m_fx;
  std::unique_ptr<TfrmMain> m_w;
  QStringList m_errors;
  QStringList m_questions;
  bool m_answer = true;
  int m_terminations = 0;

  // The window over the fixture, shown and loaded, with the given boards
  // ticked (every other one unticked) and the given ads ticked.
  TfrmMain& Window(const QStringList& tickedBoards, const std::vector<std::string>& tickedAds) {
    m_w = std::make_unique<TfrmMain>(m_fx->SettingsPath());
    m_w->SetUserHooks({[this](const QString& text) { m_errors << text; }, [](QDialog&) { return 0; }});
    m_w->SetConfirmHook([this](const QString& question, const QString&, const QString&) {
      m_questions << question;
      return m_answer;
    });
    m_w->Posting().SetTerminateHook([this] { ++m_terminations; });
    m_w->show();
    for (int i = 0; i < m_w->CLBMain->count(); ++i) {
      QListWidgetItem* item = m_w->CLBMain->item(i);
      item->setCheckState(tickedBoards.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
    }
    for (std::size_t row = 0; row < m_w->RxMD.RecordCount(); ++row) {
      const bool ticked =
          std::find(tickedAds.begin(), tickedAds.end(), m_w->RxMD.Value(row, "NAME")) != tickedAds.end();
      m_w->RxMD.SetValue(row, "STAT", ticked ? "1" : "0");
    }
    m_w->mmViewStatusClick();
    return *m_w;
  }

  bool RunOver() const {
    return !m_w->Posting().Pool().IsActive() && !m_w->btnStart->isHidden() && m_w->btnStop->isHidden();
  }

  void VerifyCounters(const char* jobs, const char* running, const char* successes, const char* failures) {
    QCOMPARE(m_w->lbMessageCnt->text(), QString::fromLatin1(jobs));
    QCOMPARE(m_w->lbProcessCnt->text(), QString::fromLatin1(running));
    QCOMPARE(m_w->lbSuccessMsg->text(), QString::fromLatin1(successes));
    QCOMPARE(m_w->lbFailMsg->text(), QString::fromLatin1(failures));
  }

 private slots:
  void init() {
    m_fx = std::make_unique<Fixture>();
    m_errors.clear();
    m_questions.clear();
    m_answer = true;
    m_terminations = 0;
  }
  void cleanup() {
    m_w.reset();
    m_fx.reset();
  }

  void startPostsEveryPairAndRecordsTheResults_data() {
    QTest::addColumn<bool>("reports");
    QTest::addColumn<bool>("log");
    QTest::newRow("reports and log on") << true << true;
    QTest::newRow("reports and log off") << false << false;
  }

  void startPostsEveryPairAndRecordsTheResults() {
    QFETCH(bool, reports);
    QFETCH(bool, log);
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    RawServer refusing(RawServer::Mode::Reply, {Reply(kRefusedPage)});
    const int closedPort = adw::test::FreeLoopbackPort();
    m_fx->Board("Alpha", accepting.Url("/add"));
    m_fx->Board("Beta", refusing.Url("/add"));
    m_fx->Board("Gamma", Url(closedPort, "/add"));
    m_fx->Board("Delta", accepting.Url("/unticked"));
    m_fx->Ads({{"Ad1", "rep1"}, {"Ad2", "rep2"}});
    m_fx->Settings(std::string("cbReports_Checked=") + (reports ? "True" : "False") +
                   "\r\ncbLogFile_Checked=" + (log ? "True" : "False") + "\r\n");
    TfrmMain& w = Window({"Alpha", "Beta", "Gamma"}, {"Ad1"});
    QCOMPARE(w.cbReports->isChecked(), reports);

    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);

    VerifyCounters("3", "0", "2", "1");
    QCOMPARE(w.lbProg->text(), QStringLiteral("100%"));
    // The bar stays full with the label at 100%.
    QCOMPARE(w.pbStat->value(), w.pbStat->maximum());
    QCOMPARE(w.pbStat->maximum(), 3);
    QVERIFY(QStringList({ToQ(accepting.Url("/add")), ToQ(refusing.Url("/add")), ToQ(Url(closedPort, "/add"))})
                .contains(w.lbCurrentMsg->text()));
    QCOMPARE(w.PanelInFront(), w.pViewResult);
    QVERIFY(!w.RunInProgress());
    QVERIFY(m_errors.isEmpty());
    QVERIFY2(m_terminations == 0, "libbanrun.so belongs beside the test program (build target banrun)");
    QCOMPARE(accepting.Requests().size(), std::size_t{1});  // the unticked board got nothing

    if (reports) {
      QCOMPARE(m_fx->Pages("rep1"), (std::vector<std::string>{"Alpha.htm", "Beta.htm", "Gamma.htm"}));
      QCOMPARE(adw::platform::ReadWholeFile(m_fx->Path("rep1/Alpha.htm")).value_or(""),
               kAcceptedPage + "\r\n");
      QCOMPARE(adw::platform::ReadWholeFile(m_fx->Path("rep1/Beta.htm")).value_or(""), kRefusedPage + "\r\n");
      // The failed job's page says why it failed.
      QCOMPARE(adw::platform::ReadWholeFile(m_fx->Path("rep1/Gamma.htm")).value_or(""),
               "error retrieving page\r\n<p>" + adw::platform::W("Ошибка: ") + "Connection Failed</p>\r\n");
    } else {
      QVERIFY(m_fx->Pages("rep1").empty());
    }
    QVERIFY(m_fx->Pages("rep2").empty());  // the unticked ad
    // No result page's path is left under the panels: the run's outcome is.
    QCOMPARE(w.StatusText(), QStringLiteral("Размещение завершено: удачных 2, неудачных 1"));

    const auto logText = adw::platform::ReadWholeFile(m_fx->LogPath());
    QCOMPARE(logText.has_value(), log);
    if (log) QVERIFY2(logText->find(" result=") != std::string::npos, logText->c_str());
    // "result=N", the state, board and ad, then the reason.
    if (log)
      QVERIFY2(logText->find(" result=10061 state=failed board=Gamma") != std::string::npos,
               logText->c_str());
    if (log) QVERIFY2(logText->find(" Connection Failed\r\n") != std::string::npos, logText->c_str());
  }

  // A reply without the board's OK text is neither a success nor a
  // failure; a FAIL text makes a failure of a 200 reply.
  void repliesAreJudgedByTheBoardsTexts() {
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    RawServer refusing(RawServer::Mode::Reply, {Reply(kRefusedPage)});
    m_fx->Board("Confirmed", accepting.Url("/add"), "OK=Thank you\r\n");
    m_fx->Board("Unconfirmed", accepting.Url("/add"), "OK=Your ad number\r\n");
    m_fx->Board("Refused", refusing.Url("/add"), "OK=Thank you\r\nFAIL=postings are closed\r\n");
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("cbLogFile_Checked=True\r\n");
    TfrmMain& w = Window({"Confirmed", "Unconfirmed", "Refused"}, {"Ad1"});
    QCOMPARE(w.lbUnconfirmedMsg->text(), QStringLiteral("0"));

    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    VerifyCounters("3", "0", "1", "1");
    QCOMPARE(w.lbUnconfirmedMsg->text(), QStringLiteral("1"));
    QCOMPARE(w.lbProg->text(), QStringLiteral("100%"));
    const std::string log = adw::platform::ReadWholeFile(m_fx->LogPath()).value_or("");
    QVERIFY2(log.find(W(" result=0 state=unconfirmed board=Unconfirmed ad=Ad1 Не подтверждено: в ответе "
                        "доски нет текста OK\r\n")) != std::string::npos,
             log.c_str());
    QVERIFY(log.find(W(" result=0 state=failed board=Refused ad=Ad1 в ответе доски найден текст FAIL: "
                       "postings are closed\r\n")) != std::string::npos);
  }

  void pagesAndLogEntriesThatCannotBeWrittenAreToldInTheStatusBar() {
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    m_fx->Board("Alpha", accepting.Url("/add"));
    m_fx->Board("Beta", accepting.Url("/add"));
    m_fx->Ads({{"Ad1", "rep1"}});
    // The second run posts the same pairs again: the duplicate guard is off.
    m_fx->Settings("cbReports_Checked=True\r\ncbLogFile_Checked=True\r\nRxSEdRepeatDays_Value=0\r\n");
    // Directories where the first page and the log should go: refused even for root.
    QVERIFY(QDir().mkpath(ToQ(m_fx->Path("rep1/Alpha.htm"))));
    QVERIFY(QDir().mkpath(ToQ(m_fx->LogPath())));
    TfrmMain& w = Window({"Alpha", "Beta"}, {"Ad1"});

    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);

    // The run went on: both posted, the page that could be written is there,
    // and the status bar still counts what was lost after Beta's page path.
    VerifyCounters("2", "0", "2", "0");
    QCOMPARE(m_fx->Pages("rep1"), (std::vector<std::string>{"Beta.htm"}));
    QVERIFY(m_errors.isEmpty());
    const QString status = w.StatusText();
    QVERIFY2(status.startsWith(QStringLiteral("Не записано отчетов и записей журнала: 3 ")),
             qPrintable(status));
    QVERIFY2(status.contains(QStringLiteral("Is a directory")), qPrintable(status));

    // The next run counts afresh.
    QDir(ToQ(m_fx->LogPath())).removeRecursively();
    QDir(ToQ(m_fx->Path("rep1/Alpha.htm"))).removeRecursively();
    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    QCOMPARE(w.StatusText(), QStringLiteral("Размещение завершено: удачных 2, неудачных 0"));
  }

  // Only a timer brings the pool back when a board's DELAY holds its next
  // job and nothing else runs; the timer's call reaches the window's event
  // loop like a worker's.
  void aBoardsDelayIsWaitedOutAndTheRunEnds() {
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    m_fx->Board("Slow", accepting.Url("/add"), "DELAY=0.1\r\n");
    m_fx->Ads({{"Ad1", "rep"}, {"Ad2", "rep"}, {"Ad3", "rep"}});
    m_fx->Settings("");
    TfrmMain& w = Window({"Slow"}, {"Ad1", "Ad2", "Ad3"});
    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    VerifyCounters("3", "0", "3", "0");
    QCOMPARE(accepting.Requests().size(), std::size_t{3});
  }

  void stopKeepsTheCountsReachedAndLaterResultsChangeNothing() {
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    RawServer silent(RawServer::Mode::NeverAnswer);
    m_fx->Board("Alpha", accepting.Url("/add"));
    m_fx->Board("Silent", silent.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}, {"Ad2", "rep"}, {"Ad3", "rep"}});
    // The stopped requests end by their one-second time-out; had they been
    // reported, the failure counter, the pages and the log would show them.
    m_fx->Settings(
        "cbReports_Checked=True\r\ncbLogFile_Checked=True\r\nedTimeOut_Text=1\r\ncbState_Checked=True\r\n");
    TfrmMain& w = Window({"Alpha", "Silent"}, {"Ad1", "Ad2", "Ad3"});
    std::atomic<int> done{0};
    w.Posting().SetPosterFactory([real = adw::engine::HttpJobPosterFactory(), &done](const auto& settings) {
      return std::make_unique<CountingPoster>(real(settings), done);
    });

    w.btnStart->click();
    // The three Alpha jobs go first; each success starts a Silent one.
    QTRY_COMPARE_WITH_TIMEOUT(w.lbSuccessMsg->text(), QStringLiteral("3"), kRunTimeoutMs);
    silent.WaitForConnections(3);
    VerifyCounters("6", "3", "3", "0");
    QVERIFY(w.btnStart->isHidden());
    QVERIFY(!w.btnStop->isHidden());
    QVERIFY(w.IsTrayActive());

    w.btnStop->click();
    VerifyCounters("6", "0", "3", "0");
    QCOMPARE(w.lbUnconfirmedMsg->text(), QStringLiteral("0"));
    QCOMPARE(w.lbCurrentMsg->text(), QString());
    QCOMPARE(w.lbProg->text(), QStringLiteral("остановлено"));
    QCOMPARE(w.pbStat->value(), 3);
    QCOMPARE(w.pbStat->maximum(), 6);
    QCOMPARE(w.StatusText(), QStringLiteral("Размещение остановлено: удачных 3, неудачных 0"));
    QVERIFY(!w.btnStart->isHidden());
    QVERIFY(w.btnStop->isHidden());
    QVERIFY(!w.Posting().Pool().IsActive());
    // Stop neither brings the window back nor switches panels.
    QVERIFY(w.IsTrayActive());
    QCOMPARE(w.PanelInFront(), w.pViewStat);

    QTRY_COMPARE_WITH_TIMEOUT(done.load(), 6, kRunTimeoutMs);
    QCoreApplication::processEvents();
    VerifyCounters("6", "0", "3", "0");
    QCOMPARE(m_fx->Pages("rep"), std::vector<std::string>{"Alpha.htm"});
    const std::string log = adw::platform::ReadWholeFile(m_fx->LogPath()).value_or("");
    QVERIFY2(log.find("Silent") == std::string::npos, log.c_str());
  }

  void startIsRefusedWhileARunIsGoingOn() {
    RawServer silent(RawServer::Mode::NeverAnswer);
    m_fx->Board("Silent", silent.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("");
    TfrmMain& w = Window({"Silent"}, {"Ad1"});
    w.btnStart->click();
    silent.WaitForConnections(1);

    // The button is hidden during a run, but the handler can still be
    // reached (the schedule presses it whether it is visible or not).
    w.btnStartClick();
    QCOMPARE(w.StatusText(), ToQ(adw::engine::RunActiveHint()));
    VerifyCounters("1", "1", "0", "0");
    QVERIFY(w.Posting().Pool().IsActive());

    // A scheduled start that falls into the run waits for a later tick.
    w.SetStatusText({});
    w.edData->setDate(QDate(2024, 5, 20));
    w.medTime->setText(QStringLiteral("10:00:00"));
    w.cbTime->setChecked(true);
    w.Posting().SetClock([] { return At(QDate(2024, 5, 20), 10, 0, 30); });
    w.TimerTimer();
    QCOMPARE(w.StatusText(), ToQ(adw::engine::RunActiveHint()));
    QVERIFY(w.cbTime->isChecked());
    QVERIFY(w.Posting().Timer().isActive());
    VerifyCounters("1", "1", "0", "0");
    QCOMPARE(silent.Requests().size(), std::size_t{0});
  }

  void closingDuringARunEndsItCleanly() {
    // No time-out is stored: only the shutdown at close can end the request.
    RawServer silent(RawServer::Mode::NeverAnswer);
    m_fx->Board("Silent", silent.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}, {"Ad2", "rep"}});
    m_fx->Settings("cbReports_Checked=True\r\ncbLogFile_Checked=True\r\n");
    TfrmMain& w = Window({"Silent"}, {"Ad1", "Ad2"});
    w.btnStart->click();
    silent.WaitForConnections(2);

    // Asked first: going on leaves the run and the window as they were.
    m_answer = false;
    QVERIFY(!w.close());
    QCOMPARE(m_questions,
             QStringList{QStringLiteral("Идет размещение объявлений. Остановить его и закрыть программу?")});
    QVERIFY(w.isVisible());
    QVERIFY(w.Posting().Pool().IsActive());
    VerifyCounters("2", "2", "0", "0");

    m_answer = true;
    QVERIFY(w.close());
    QVERIFY(!w.Posting().Pool().IsActive());
    QVERIFY(!w.RunInProgress());
    QVERIFY(!w.btnStart->isHidden());
    m_w.reset();  // joins nothing left: every worker ended at close
    QVERIFY(m_fx->Pages("rep").empty());
    QVERIFY(!adw::platform::FileExists(m_fx->LogPath()));
    QVERIFY(m_errors.isEmpty());
  }

  void destroyingTheWindowDuringARunEndsItCleanly() {
    RawServer silent(RawServer::Mode::NeverAnswer);
    m_fx->Board("Silent", silent.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("");
    Window({"Silent"}, {"Ad1"});
    m_w->btnStart->click();
    silent.WaitForConnections(1);
    m_w.reset();
  }

  void minimisedRunGoesToTheTrayAndComesBackAtItsEnd() {
    RawServer silent(RawServer::Mode::NeverAnswer);
    m_fx->Board("Silent", silent.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("cbState_Checked=True\r\nedTimeOut_Text=1\r\n");
    TfrmMain& w = Window({"Silent"}, {"Ad1"});
    QVERIFY(w.cbState->isChecked());

    w.btnStart->click();
    QVERIFY(w.IsTrayActive());
    QVERIFY(w.RunInProgress());
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    VerifyCounters("1", "0", "0", "1");
    QVERIFY(!w.IsTrayActive());
    QVERIFY(!w.isMinimized());
    QCOMPARE(w.PanelInFront(), w.pViewResult);
  }

  void missingCompanionLibraryAsksTheProgramToEnd() {
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    m_fx->Board("Alpha", accepting.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("");
    TfrmMain& w = Window({"Alpha"}, {"Ad1"});
    w.Posting().SetCompanionPath(m_fx->Path("no-such-dir/libbanrun.so"));

    w.btnStart->click();
    QCOMPARE(m_terminations, 1);
    // The run itself still goes on until the program ends.
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    VerifyCounters("1", "0", "1", "0");
  }

  void skippedBoardsAndEmptyJobListsAreHinted() {
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    m_fx->Board("Alpha", accepting.Url("/add"));
    m_fx->Board("Lost", accepting.Url("/lost"));
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("");
    TfrmMain& w = Window({"Alpha", "Lost"}, {"Ad1"});
    // The board's file goes away after the list was loaded.
    adw::platform::RemoveFileQuiet(adw::platform::JoinPath(m_fx->ScriptDir(), "Lost.prj"));

    w.btnStart->click();
    QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
    VerifyCounters("1", "0", "1", "0");
    QCOMPARE(w.StatusText(), QStringLiteral("Пропущено досок: 1, первая: Lost"));

    // No ticked ad: no run, an empty percentage and a hint.
    w.RxMD.SetValue(0, "STAT", "0");
    w.CLBMain->item(1)->setCheckState(Qt::Unchecked);
    w.mmViewStatusClick();
    w.btnStart->click();
    QVERIFY(!w.Posting().Pool().IsActive());
    QVERIFY(!w.btnStart->isHidden());
    QVERIFY(w.btnStop->isHidden());
    QCOMPARE(w.lbProg->text(), QString());
    QCOMPARE(w.lbMessageCnt->text(), QStringLiteral("0"));
    QVERIFY(w.StatusText().startsWith(QStringLiteral("Размещать нечего")));
    QCOMPARE(w.PanelInFront(), w.pViewStat);
    QCOMPARE(accepting.Requests().size(), std::size_t{1});
  }

  void scheduleTickStartsTheRunAtTheSetMoment_data() {
    QTest::addColumn<int>("dayOffset");  // of the date box from the clock's date
    QTest::addColumn<QString>("timeText");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<QString>("expected");  // "start", "wait" or the error message
    const QTime noon(12, 0, 0);
    QTest::newRow("a second early") << 0 << "12:00:00" << QTime(11, 59, 59) << "wait";
    QTest::newRow("at the moment") << 0 << "12:00:00" << noon << "start";
    QTest::newRow("passed on the set day") << 0 << "09:30:00" << noon << "start";
    QTest::newRow("set day is over") << -1 << "09:30:00" << noon << "wait";
    QTest::newRow("set day to come") << 1 << "09:30:00" << noon << "wait";
    QTest::newRow("empty time box") << 0 << "" << noon << "'  :  :  ' is not a valid time";
    QTest::newRow("no such hour") << 0 << "25:00:00" << noon << "'25:00:00' is not a valid time";
  }

  void scheduleTickStartsTheRunAtTheSetMoment() {
    QFETCH(int, dayOffset);
    QFETCH(QString, timeText);
    QFETCH(QTime, now);
    QFETCH(QString, expected);
    RawServer accepting(RawServer::Mode::Reply, {Reply(kAcceptedPage)});
    m_fx->Board("Alpha", accepting.Url("/add"));
    m_fx->Ads({{"Ad1", "rep"}});
    m_fx->Settings("");
    TfrmMain& w = Window({"Alpha"}, {"Ad1"});
    const QDate today(2024, 5, 20);
    w.Posting().SetClock([today, now] { return At(today, now.hour(), now.minute(), now.second()); });
    w.edData->setDate(today.addDays(dayOffset));
    w.medTime->setText(timeText);
    QVERIFY(!w.Posting().Timer().isActive());
    w.cbTime->setChecked(true);
    QVERIFY(w.Posting().Timer().isActive());
    QCOMPARE(w.Posting().Timer().interval(), 60000);

    w.TimerTimer();
    if (expected == QLatin1String("start")) {
      QVERIFY(!w.cbTime->isChecked());
      QVERIFY(!w.Posting().Timer().isActive());
      QTRY_VERIFY_WITH_TIMEOUT(RunOver(), kRunTimeoutMs);
      VerifyCounters("1", "0", "1", "0");
      QVERIFY(m_errors.isEmpty());
      return;
    }
    w.TimerTimer();  // a second tick changes nothing more
    QVERIFY(w.cbTime->isChecked());
    QVERIFY(w.Posting().Timer().isActive());
    QCOMPARE(w.lbMessageCnt->text(), QStringLiteral("0"));
    QVERIFY(!w.Posting().Pool().IsActive());
    if (expected == QLatin1String("wait")) {
      QVERIFY(m_errors.isEmpty());
    } else {
      QCOMPARE(m_errors, QStringList({expected, expected}));  // one message per tick
    }
    w.cbTime->setChecked(false);
    QVERIFY(!w.Posting().Timer().isActive());
    QCOMPARE(accepting.Requests().size(), std::size_t{0});
  }
};

QTEST_MAIN(TestPostingWindow)
#include "test_posting_window.moc"
