#include "ui/posting/posting_controller.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "platform/text1251.h"
#include "ui/base/board_stats_view.h"
#include "ui/posting/journal_controller.h"
#include "ui/posting/result_write_notice.h"
#include "ui/reports/report_list.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

constexpr int kScheduleTickMs = 60000;

// A range of 0..0 makes Qt draw a busy indicator; an empty bar is meant.
void SetProgressRange(QProgressBar* bar, int maximum) {
  bar->setRange(0, std::max(maximum, 1));
}

}  // namespace

class PostingController::Progress : public adw::engine::IJobListProgress {
 public:
  explicit Progress(PostingController& owner) : m_owner(owner) {}

  void BuildStarted(int boardCount) override {
    TfrmMain& w = m_owner.m_window;
    w.lbProg->setText(ToQ(adw::engine::CheckingCaption()));
    SetProgressRange(w.pbStat, boardCount - 1);
    w.pbStat->setValue(0);
  }
  bool ProcessMessages() override {
    QCoreApplication::processEvents();
    return !m_owner.m_closing;
  }
  void BoardVisited(int position) override { m_owner.m_window.pbStat->setValue(position); }

 private:
  PostingController& m_owner;
};

PostingController::PostingController(TfrmMain& window)
    : m_window(window),
      m_clock(&adw::engine::CurrentLocalDateTime),
      m_posterFactory(adw::engine::HttpJobPosterFactory()),
      m_buildProgress(std::make_unique<Progress>(*this)),
      m_journal(std::make_unique<JournalController>(window)) {
  m_timer.setObjectName(QStringLiteral("Timer"));
  m_timer.setInterval(kScheduleTickMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { m_window.Guarded([this] { m_window.TimerTimer(); }); });

  // The default reaction to a missing companion library: the program ends
  // once the handler that started the run has returned to the event loop.
  m_terminate = [] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
  };

  adw::engine::PostingPool::Hooks hooks;
  hooks.posterFactory = [this](const adw::engine::PostingSettings& settings) {
    return m_posterFactory(settings);
  };
  // A worker may already wait in its hand-over when the pool shuts down;
  // those hand-overs are queued calls on the application object.
  hooks.servePending = [] {
    if (QCoreApplication* app = QCoreApplication::instance())
      QCoreApplication::sendPostedEvents(app, QEvent::MetaCall);
  };
  m_pool = std::make_unique<adw::engine::PostingPool>(window.MainThread(), *this, std::move(hooks));

  window.installEventFilter(this);
  // Closing ends the run at once: requests are aborted and every worker
  // thread is joined while the window and its controls are still whole.
  connect(&window, &TfrmMain::Closed, this, [this] {
    m_closing = true;
    m_pool->Shutdown();
  });
}

PostingController::~PostingController() {
  m_destroying = true;
  m_pool->Shutdown();
  m_pool.reset();
  m_reports.reset();
  m_journal.reset();
}

adw::engine::IJobListProgress& PostingController::BuildProgress() {
  return *m_buildProgress;
}

ReportList& PostingController::Reports() {
  if (!m_reports) m_reports = std::make_unique<ReportList>(m_window.RxDBLProject, m_window.RxMD);
  return *m_reports;
}

bool PostingController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_window && event->type() == QEvent::Show) {
    m_closing = false;
    // Before the window's own show handling loads the ads, so the list
    // follows the load.
    if (m_window.RxDBLProject) Reports();
    if (!m_journalWired && m_window.btnRetry) {
      // The controls exist only once the window is built; the first show
      // wires them, and after the start-up load a run that never ended is
      // offered for finishing.
      m_journalWired = true;
      const auto retry = [this] { m_window.Guarded([this] { m_journal->RetryFailed(); }); };
      connect(m_window.btnRetry, &QPushButton::clicked, this, retry);
      connect(m_window.mmRetryFailed, &QAction::triggered, this, retry);
      connect(m_window.mmCheckBoards, &QAction::triggered, this,
              [this] { m_window.Guarded([this] { m_journal->CheckBoards(); }); });
      connect(m_window.mmViewBoardStats, &QAction::toggled, this,
              [this](bool on) { SetBoardStatsColumnVisible(m_window.CLBMain, on); });
      // Every (re)load of the board list gets the statistics once the
      // load is over.
      connect(m_window.CLBMain->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_statsPending) return;
        m_statsPending = true;
        QTimer::singleShot(0, this, [this] {
          m_statsPending = false;
          m_window.Guarded([this] { m_journal->RefreshBoardStats(); });
        });
      });
      QTimer::singleShot(0, this, [this] { m_window.Guarded([this] { m_journal->OfferResume(); }); });
    }
  }
  return QObject::eventFilter(watched, event);
}

// -- the pool's observer ------------------------------------------------------

adw::engine::RunSwitches PostingController::Switches() {
  adw::engine::RunSwitches switches;
  switches.threadLimit = m_window.RxSEdPost->value();
  switches.hostLimit = m_window.RxSEdHostLimit->value();
  switches.reports = m_window.cbReports->isChecked();
  switches.log = m_window.cbLogFile->isChecked();
  return switches;
}

void PostingController::DisplayChanged(const adw::engine::RunDisplay& display) {
  if (m_destroying) return;
  m_window.SetRunInProgress(m_pool->IsActive());
  if (m_pool->IsActive()) m_runDisplay = display;
  ShowDisplay(display);
}

void PostingController::ShowDisplay(const adw::engine::RunDisplay& display) {
  TfrmMain& w = m_window;
  w.lbMessageCnt->setText(QString::number(display.counters.jobCount));
  w.lbProcessCnt->setText(QString::number(display.counters.running));
  w.lbSuccessMsg->setText(QString::number(display.counters.successes));
  w.lbFailMsg->setText(QString::number(display.counters.failures));
  w.lbUnconfirmedMsg->setText(QString::number(display.counters.unconfirmed));
  w.lbCurrentMsg->setText(ToQ(display.currentUrl));
  w.lbProg->setText(ToQ(display.progressText));
  SetProgressRange(w.pbStat, display.progressMax);
  w.pbStat->setValue(display.progressPosition);
  w.btnStart->setVisible(display.startVisible);
  w.btnStop->setVisible(display.stopVisible);
}

void PostingController::JobStarting(int jobIndex) {
  m_journal->JobStarting(jobIndex);
}

void PostingController::SettleRecords() {
  m_journal->SettleRecords();
}

void PostingController::JobReported(const adw::engine::JobResult& result, const std::string& statusText) {
  if (m_destroying) return;
  m_journal->JobReported(result);
  if (!statusText.empty()) {
    m_resultPageText = ToQ(statusText);
    m_window.SetStatusText(m_resultPageText);
  }
  ShowResultWriteNotice(m_window);
}

void PostingController::RunEnded(adw::engine::RunEnd how) {
  m_journal->RunEnded(how);
  if (m_destroying) return;
  EndResultWriteNotice(m_window);
  m_window.SetRunInProgress(false);
  if (how == adw::engine::RunEnd::Shutdown) {
    ShowDisplay(m_pool->Display());
    return;
  }
  const adw::engine::RunDisplay& reached =
      how == adw::engine::RunEnd::Finished ? m_pool->Display() : m_runDisplay;
  ShowRunEnd(reached, how == adw::engine::RunEnd::Stopped);
  if (how == adw::engine::RunEnd::Finished) m_window.BringToFront(m_window.pViewResult);
}

void PostingController::ShowRunEnd(const adw::engine::RunDisplay& reached, bool stopped) {
  TfrmMain& w = m_window;
  const adw::engine::RunCounters& c = reached.counters;
  // What the run reached stays in view: a finished run's bar stays full,
  // a stopped run keeps its counts and says it was stopped.
  adw::engine::RunDisplay shown = reached;
  shown.counters.running = 0;
  shown.startVisible = true;
  shown.stopVisible = false;
  if (stopped) {
    shown.currentUrl.clear();
    shown.progressText = adw::platform::W("остановлено");
    shown.progressMax = std::max(c.jobCount, 1);
    shown.progressPosition = std::min(c.successes + c.failures, shown.progressMax);
  } else {
    shown.progressMax = std::max(c.jobCount, 1);
    shown.progressPosition = shown.progressMax;
  }
  ShowDisplay(shown);
  // The last result page's path would stay under every panel; the run's
  // outcome takes its place (a hint put there since, such as skipped
  // boards, stays).
  if (w.StatusText().isEmpty() || w.StatusText() == m_resultPageText) {
    w.SetStatusText(
        QStringLiteral("%1: удачных %2, неудачных %3")
            .arg(stopped ? QStringLiteral("Размещение остановлено") : QStringLiteral("Размещение завершено"))
            .arg(c.successes)
            .arg(c.failures));
  }
  m_resultPageText.clear();
}

void PostingController::HideToTray() {
  if (!m_destroying) m_window.HideToTray();
}

void PostingController::RestoreFromTray() {
  if (!m_destroying && m_window.IsTrayActive()) m_window.RestoreFromTray();
}

void PostingController::TerminateApplication() {
  if (m_terminate) m_terminate();
}

void PostingController::ProcessMessages() {
  QCoreApplication::processEvents();
}

}  // namespace adw::ui
