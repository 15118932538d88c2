#include "ui/posting/journal_controller.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <exception>

#include "engine/journal/board_stats.h"
#include "engine/posting/run_results.h"
#include "platform/files.h"
#include "platform/text1251.h"
#include "ui/base/board_list_widget.h"
#include "ui/base/board_stats_view.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"
#include "ui/text_convert.h"

namespace adw::ui {

JournalController::JournalController(TfrmMain& window) : m_window(window) {
  m_showChecks = [this](const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Проверить доски"), text,
                                QMessageBox::Ok, &m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  };
  m_ask = [this](const QString& text) {
    return QMessageBox::question(&m_window, QCoreApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  };
}

JournalController::~JournalController() {
  // A check still fetching ends by its time-out; its result is dropped.
  if (m_checkThread.joinable()) m_checkThread.join();
}

adw::engine::RunJournal* JournalController::Journal() {
  if (m_journal || m_failed) return m_journal.get();
  try {
    m_journal =
        std::make_unique<adw::engine::RunJournal>(adw::engine::JournalFileName(m_window.SettingsPath()));
  } catch (const std::exception& error) {
    m_failed = true;
    m_window.ShowError(ToQ(error.what()) + QStringLiteral("\nРазмещение идет без журнала."));
  }
  return m_journal.get();
}

bool JournalController::Ask(const QString& text) {
  return m_ask && m_ask(text);
}

void JournalController::ReportError() {
  if (m_recorder && !m_recorder->Error().empty()) m_window.SetStatusText(ToQ(m_recorder->Error()));
}

adw::engine::JobList JournalController::PrepareRun(adw::engine::JobListBuild& build) {
  const adw::engine::RunOrigin origin =
      m_scheduled ? adw::engine::RunOrigin::Schedule : adw::engine::RunOrigin::Window;
  m_scheduled = false;
  m_recorder.reset();
  adw::engine::RunJournal* journal = Journal();
  // A start that finds nothing to post leaves no run behind.
  if (!journal || build.jobs.Count() == 0) return std::move(build.jobs);
  try {
    std::vector<adw::engine::JournalJob> rows = adw::engine::JournalJobsOf(build.jobs, build.origins);
    adw::engine::GuardOptions guard;
    guard.days = m_window.RxSEdRepeatDays->value();
    guard.force = m_window.cbForce->isChecked();
    guard.nowMs = adw::engine::NowMs();
    adw::engine::ApplyDuplicateGuard(*journal, rows, guard);
    m_recorder = std::make_unique<adw::engine::RunRecorder>(*journal, origin, adw::engine::RunKind::Post,
                                                            std::move(rows));
  } catch (const std::exception& error) {
    m_window.SetStatusText(ToQ(error.what()));
    return std::move(build.jobs);
  }
  build.jobs.Release();
  if (const auto skipped = m_recorder->Skipped().size()) {
    m_window.SetStatusText(QStringLiteral("Пропущено заданий: %1 (уже размещены за последние %2 дн.)")
                               .arg(skipped)
                               .arg(m_window.RxSEdRepeatDays->value()));
  }
  return m_recorder->TakeJobList();
}

void JournalController::StartPool(adw::engine::JobList jobs) {
  PostingController& run = m_window.Posting();
  adw::engine::RunOptions options;
  options.settingsFile = m_window.SettingsPath();
  options.logFile = adw::engine::LogFileName(m_window.SettingsPath());
  options.startMinimised = m_window.cbState->isChecked();
  options.application = QCoreApplication::instance();
  options.companionPath = run.CompanionPath();
  if (run.Pool().Start(std::move(jobs), options) != adw::engine::PostingPool::StartResult::Started &&
      m_recorder) {
    m_recorder->RunEnded();
  }
}

void JournalController::RetryFailed() {
  PostingController& run = m_window.Posting();
  if (run.IsBusy()) {
    m_window.SetStatusText(ToQ(adw::engine::RunActiveHint()));
    return;
  }
  adw::engine::RunJournal* journal = Journal();
  if (!journal) return;
  const std::string scriptDir = ScriptDir();
  std::vector<adw::engine::JournalJob> rows;
  try {
    rows = adw::engine::RetryJobs(*journal, {adw::engine::JobState::Failed}, scriptDir);
    if (rows.empty()) {
      m_window.SetStatusText(QStringLiteral("В последнем размещении нет неудачных заданий"));
      return;
    }
    // Without the board files every job would be held back for good.
    if (!adw::platform::DirectoryExists(scriptDir)) {
      m_window.SetStatusText(QStringLiteral("Каталог скриптов не найден: ") + ToQ(scriptDir));
      return;
    }
    m_recorder.reset();
    m_recorder = std::make_unique<adw::engine::RunRecorder>(*journal, adw::engine::RunOrigin::Window,
                                                            adw::engine::RunKind::Retry, std::move(rows));
  } catch (const std::exception& error) {
    m_window.SetStatusText(ToQ(error.what()));
    return;
  }
  // The guard does not hold back a retry: every skipped row lacks its board.
  ShowHeldBack(m_recorder->Skipped().size());
  m_window.BringToFront(m_window.pViewStat);
  StartPool(m_recorder->TakeJobList());
}

void JournalController::OfferResume() {
  adw::engine::RunJournal* journal = Journal();
  if (!journal || m_window.Posting().IsBusy()) return;
  // Without the board files every job would be held back for good: the run
  // waits for a start that finds them.
  const std::string scriptDir = ScriptDir();
  if (!adw::platform::DirectoryExists(scriptDir)) return;
  std::optional<adw::engine::ResumePlan> plan;
  try {
    plan = adw::engine::PlanResume(*journal, scriptDir);
  } catch (const std::exception& error) {
    m_window.ShowError(ToQ(error.what()));
    return;
  }
  if (!plan) return;
  const QString started = ToQ(adw::engine::FormatStamp(plan->run.started));
  bool resume = false;
  if (!plan->neverStarted.empty()) {
    resume = Ask(QStringLiteral("Размещение, начатое %1, не было завершено: %2 из %3 заданий не отправлены.\n"
                                "Отправить их сейчас?")
                     .arg(started)
                     .arg(plan->neverStarted.size())
                     .arg(plan->run.jobs));
  }
  bool resend = false;
  if (!plan->maybeSent.empty() && (resume || plan->neverStarted.empty())) {
    QString boards;
    for (const auto& job : plan->maybeSent) {
      boards += QStringLiteral("\n") + ToQ(job.board) + QStringLiteral(": ") + ToQ(job.ad);
    }
    resend =
        Ask(QStringLiteral("Размещение, начатое %1, было прервано. Эти задания были отправлены, но ответ "
                           "досок не получен, и они могли дойти:%2\nОтправить их повторно?")
                .arg(started, boards));
    resume = true;
  }
  try {
    m_recorder = std::make_unique<adw::engine::RunRecorder>(*journal, *plan, resend);
    ShowHeldBack(plan->noBoard.size());
    if (!resume) {
      // Declined: the run is closed so that it is not offered again.
      m_recorder->RunEnded();
      m_recorder.reset();
      return;
    }
  } catch (const std::exception& error) {
    m_window.ShowError(ToQ(error.what()));
    m_recorder.reset();
    return;
  }
  m_window.BringToFront(m_window.pViewStat);
  StartPool(m_recorder->TakeJobList());
}

std::string JournalController::ScriptDir() const {
  return adw::platform::Trim(FromQ(m_window.deScript->text()));
}

void JournalController::ShowHeldBack(std::size_t gone) {
  if (gone > 0) {
    m_window.SetStatusText(
        QStringLiteral("Пропущено заданий: %1 (файл доски не найден или не читается)").arg(gone));
  }
}

void JournalController::CheckBoards() {
  if (m_checking) {
    m_window.SetStatusText(QStringLiteral("Проверка досок уже идет"));
    return;
  }
  std::vector<std::string> names;
  for (const auto& row : BoardRowsOf(m_window.CLBMain)) {
    if (row.ticked) names.push_back(row.name);
  }
  if (m_checkThread.joinable()) m_checkThread.join();
  m_checking = true;
  m_window.SetStatusText(QStringLiteral("Идет проверка досок ..."));
  adw::engine::CheckOptions options;
  options.settingsFile = m_window.SettingsPath();
  m_checkThread = std::thread([this, dir = FromQ(m_window.deScript->text()), names, options] {
    std::vector<adw::engine::BoardCheckResult> results;
    try {
      results = adw::engine::CheckBoards(dir, names, options);
    } catch (const std::exception&) {
    }
    QMetaObject::invokeMethod(
        this, [this, results] { m_window.Guarded([&] { ChecksDone(results); }); }, Qt::QueuedConnection);
  });
}

void JournalController::ChecksDone(const std::vector<adw::engine::BoardCheckResult>& results) {
  m_checking = false;
  if (m_checkThread.joinable()) m_checkThread.join();
  int changed = 0;
  int unreachable = 0;
  QString text;
  for (const auto& result : results) {
    changed += result.state == adw::engine::CheckState::Changed ? 1 : 0;
    unreachable += result.state == adw::engine::CheckState::Unreachable ? 1 : 0;
    text += QString::fromLatin1(adw::engine::CheckStateName(result.state).data()) + QLatin1Char('\t') +
            ToQ(result.board) + QLatin1Char('\t') + ToQ(result.detail) + QLatin1Char('\n');
  }
  if (adw::engine::RunJournal* journal = Journal()) {
    try {
      adw::engine::RecordChecks(*journal, results, adw::engine::NowMs());
    } catch (const std::exception& error) {
      m_window.ShowError(ToQ(error.what()));
    }
  }
  RefreshBoardStats();
  m_window.SetStatusText(QStringLiteral("Проверено досок: %1, изменились: %2, недоступны: %3")
                             .arg(results.size())
                             .arg(changed)
                             .arg(unreachable));
  if (m_showChecks) m_showChecks(text);
}

void JournalController::RefreshBoardStats() {
  adw::engine::RunJournal* journal = Journal();
  if (!journal || !m_window.CLBMain) return;
  try {
    ShowBoardStats(m_window.CLBMain, adw::engine::ComputeBoardStats(*journal, adw::engine::NowMs()));
  } catch (const std::exception& error) {
    m_window.SetStatusText(ToQ(error.what()));
  }
}

void JournalController::JobStarting(int jobIndex) {
  if (m_recorder) m_recorder->JobStarting(jobIndex);
}

void JournalController::JobReported(const adw::engine::JobResult& result) {
  if (!m_recorder) return;
  m_recorder->JobReported(result);
  ReportError();
}

void JournalController::SettleRecords() {
  if (!m_recorder) return;
  m_recorder->Settle();
  ReportError();
}

void JournalController::RunEnded(adw::engine::RunEnd how) {
  // A window closed during a run leaves it open in the journal, to be
  // offered at the next start.
  if (!m_recorder || how == adw::engine::RunEnd::Shutdown) return;
  m_recorder->RunEnded();
  ReportError();
  RefreshBoardStats();
}

}  // namespace adw::ui
