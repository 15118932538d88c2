// The main window's handlers of the posting run and the scheduled start:
// "Старт" builds the job list from the ticked boards and ads and hands it to
// the worker pool, "Стоп" ends the run early, and the one-minute timer
// presses "Старт" at the set moment. The rules are the engine's.
#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <exception>

#include "engine/base/variables_map.h"
#include "engine/posting/job_list.h"
#include "engine/posting/run_results.h"
#include "engine/posting/schedule.h"
#include "engine/posting/worker_pool.h"
#include "engine/shell/settings_file.h"
#include "platform/text1251.h"
#include "ui/base/board_list_widget.h"
#include "ui/posting/journal_controller.h"
#include "ui/posting/posting_controller.h"
#include "ui/shell/main_window.h"
#include "ui/shell/settings_storage.h"
#include "ui/text_convert.h"

namespace adw::ui {

namespace {

// base.map lives in the stored script directory; with none stored there is
// no map, and a group lookup then finds nothing.
std::string StoredVariablesMap(const std::string& settingsPath) {
  const std::string dir = adw::engine::StoredScriptDir(settingsPath);
  return adw::platform::Trim(dir) == "/" ? std::string() : adw::engine::VariablesMapPath(dir);
}

adw::engine::Date DateOf(const QDate& date) {
  using namespace std::chrono;
  return year_month_day{year{date.year()}, month{static_cast<unsigned>(date.month())},
                        day{static_cast<unsigned>(date.day())}};
}

QString NoJobsHint() {
  return QStringLiteral("Размещать нечего: среди отмеченных досок и объявлений нет подходящих друг другу");
}

}  // namespace

std::shared_ptr<PostingController> TfrmMain::MakePosting(TfrmMain& window) {
  return std::make_shared<PostingController>(window);
}

void TfrmMain::btnStartClick() {
  PostingController& run = Posting();
  if (run.IsBusy()) {
    SetStatusText(ToQ(adw::engine::RunActiveHint()));
    return;
  }

  // The build shows its own progress in lbProg and pbStat; should it fail,
  // the panel gets back what it showed so that "Старт" can be pressed again.
  const QString progressBefore = lbProg->text();
  const auto restorePanel = [this, progressBefore] {
    lbProg->setText(progressBefore);
    pbStat->setValue(pbStat->minimum());
    btnStop->hide();
    btnStart->show();
  };

  btnStart->hide();
  run.SetBuilding(true);
  adw::engine::JobListBuild build;
  try {
    build = adw::engine::BuildJobList(FromQ(deScript->text()), StoredVariablesMap(SettingsPath()),
                                      BoardRowsOf(CLBMain), RxMD, &run.BuildProgress());
  } catch (...) {
    run.SetBuilding(false);
    restorePanel();
    throw;
  }
  run.SetBuilding(false);
  if (build.abandoned) {
    // The window is closing; nothing is started.
    restorePanel();
    return;
  }

  const std::string skipHint = build.SkipHint();
  if (!skipHint.empty()) SetStatusText(ToQ(skipHint));

  adw::engine::RunOptions options;
  options.settingsFile = SettingsPath();
  options.logFile = adw::engine::LogFileName(SettingsPath());
  options.startMinimised = cbState->isChecked();
  options.application = QCoreApplication::instance();
  options.companionPath = run.CompanionPath();
  adw::engine::JobList jobs = run.Journal().PrepareRun(build);
  switch (run.Pool().Start(std::move(jobs), options)) {
    case adw::engine::PostingPool::StartResult::Started:
      break;
    case adw::engine::PostingPool::StartResult::NoJobs:
      if (skipHint.empty() && run.Journal().LastSkipped() == 0) SetStatusText(NoJobsHint());
      run.Journal().RunEnded(adw::engine::RunEnd::Finished);
      break;
    case adw::engine::PostingPool::StartResult::Refused:
      run.Journal().RunEnded(adw::engine::RunEnd::Stopped);
      SetStatusText(ToQ(adw::engine::RunActiveHint()));
      break;
  }
}

void TfrmMain::btnStopClick() {
  Posting().Pool().Stop();
}

void TfrmMain::cbTimeClick() {
  QTimer& timer = Posting().Timer();
  if (!adw::engine::TimerEnabledFor(cbTime->isChecked())) {
    timer.stop();
  } else if (!timer.isActive()) {
    // A repeated tick of the box must not push the next check further off.
    timer.start();
  }
}

void TfrmMain::TimerTimer() {
  PostingController& run = Posting();
  const QString timeText = MainFormStorageAdapter::MaskedText(medTime->displayText(), medTime->inputMask());
  const adw::engine::ScheduleDecision decision =
      adw::engine::CheckScheduledStart(DateOf(edData->date()), FromQ(timeText), run.Now(), run.IsBusy());
  switch (decision.action) {
    case adw::engine::ScheduleDecision::Action::Wait:
      break;
    case adw::engine::ScheduleDecision::Action::Start:
      run.Journal().SetScheduledStart(true);
      btnStartClick();
      run.Timer().stop();
      cbTime->setChecked(false);
      break;
    case adw::engine::ScheduleDecision::Action::Postpone:
      SetStatusText(ToQ(decision.message));
      break;
    case adw::engine::ScheduleDecision::Action::Error:
      // Once per tick; the timer stays armed until the box is fixed.
      ShowError(ToQ(decision.message));
      break;
  }
}

}  // namespace adw::ui
